#include "chroma_median_definition.h"

#include <algorithm>
#include <cstring>
#include <vector>

void DefinitionChromaMedian(const uint8_t* in, uint8_t* out, FrameSize size, int32_t count)
{
    std::memcpy(out, in, FrameBytes(size));
    const int32_t h = count / 2;
    const int32_t a = count - 1 - h;
    const size_t rowBytes = 2 * static_cast<size_t>(size.width);
    const size_t stripBytes = 16 * static_cast<size_t>(size.width / 8);
    std::vector<uint8_t> window(count);
    for (size_t column = 1; column < stripBytes; column += 2) {
        for (int32_t r = 0; r < size.height; ++r) {
            for (int32_t i = 0; i < count; ++i) {
                const int32_t row = std::clamp(r - a + i, 0, size.height - 1);
                window[i] = in[row * rowBytes + column];
            }
            std::sort(window.begin(), window.end());
            out[r * rowBytes + column] = window[h];
        }
    }
}
