#pragma once

// The plane filter written straight from its definition: every sample of every column becomes the value at
// rank count/2 of its sorted window of rows r - (count - 1 - count/2) ... r + count/2, row numbers clamped
// to the plane, however few rows it has. Samples of any width: uint8_t, or uint16_t for 9 to 16 bits.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace reference {

// In place; rows are stride samples apart.
template <class Sample>
void ChromaMedianPlane(Sample* plane, ptrdiff_t stride, int width, int height, int count)
{
    const int h = count / 2, a = count - 1 - h;
    std::vector<Sample> in(static_cast<size_t>(width) * height);
    for (int r = 0; r < height; ++r)
        std::copy(plane + stride * r, plane + stride * r + width, in.begin() + static_cast<ptrdiff_t>(width) * r);
    std::vector<Sample> window(count);
    for (int x = 0; x < width; ++x) {
        for (int r = 0; r < height; ++r) {
            for (int i = 0; i < count; ++i)
                window[i] = in[static_cast<size_t>(std::clamp(r - a + i, 0, height - 1)) * width + x];
            std::sort(window.begin(), window.end());
            plane[stride * r + x] = window[h];
        }
    }
}

// A planar frame (luma, then the U and V planes of chromaWidth x chromaHeight) filtered as a whole or
// field by field (even rows, odd rows).
inline void ChromaMedianPlanarFrame(uint8_t* frame, size_t lumaBytes, int chromaWidth, int chromaHeight, int count,
                                    bool fields)
{
    uint8_t* plane = frame + lumaBytes;
    for (int p = 0; p < 2; ++p, plane += static_cast<size_t>(chromaWidth) * chromaHeight) {
        if (fields) {
            ChromaMedianPlane(plane, 2 * chromaWidth, chromaWidth, (chromaHeight + 1) / 2, count);
            ChromaMedianPlane(plane + chromaWidth, 2 * chromaWidth, chromaWidth, chromaHeight / 2, count);
        } else {
            ChromaMedianPlane(plane, chromaWidth, chromaWidth, chromaHeight, count);
        }
    }
}

}  // namespace reference
