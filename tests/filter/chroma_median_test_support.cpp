#include "chroma_median_test_support.h"

#include <algorithm>

const char* PatternName(Pattern pattern)
{
    switch (pattern) {
    case Pattern::Random: return "random";
    case Pattern::FewValues: return "few values";
    case Pattern::AllZero: return "all 0";
    case Pattern::AllMax: return "all 255";
    case Pattern::Spikes: return "spikes";
    }
    return "?";
}

void FillFrame(uint8_t* frame, FrameSize size, Pattern pattern, std::mt19937& random)
{
    const size_t bytes = Yuy2Bytes(size);
    const size_t rowBytes = 2 * static_cast<size_t>(size.width);
    std::uniform_int_distribution<int> anyByte(0, 255);
    for (size_t i = 0; i < bytes; i += 2)
        frame[i] = static_cast<uint8_t>(anyByte(random));

    // Three values, two of them neighbours, so that ties and near-ties are everywhere.
    static constexpr uint8_t kFew[] = {0x40, 0x41, 0x80};
    std::uniform_int_distribution<int> fewIndex(0, 2);
    for (size_t i = 1; i < bytes; i += 2) {
        switch (pattern) {
        case Pattern::Random: frame[i] = static_cast<uint8_t>(anyByte(random)); break;
        case Pattern::FewValues: frame[i] = kFew[fewIndex(random)]; break;
        case Pattern::AllZero: frame[i] = 0; break;
        case Pattern::AllMax: frame[i] = 255; break;
        case Pattern::Spikes: frame[i] = 100; break;
        }
    }
    if (pattern != Pattern::Spikes)
        return;
    // Spikes of one and two rows, to 0 and to 255, at random chroma bytes, some at the frame's edges.
    std::uniform_int_distribution<size_t> column(0, rowBytes / 2 - 1);
    std::uniform_int_distribution<int32_t> row(0, size.height - 1);
    const size_t spikes = std::max<size_t>(4, bytes / 64);
    for (size_t k = 0; k < spikes; ++k) {
        const size_t at = 2 * column(random) + 1;
        const int32_t r = k % 4 == 0 ? 0 : k % 4 == 1 ? size.height - 1 : row(random);
        const uint8_t value = k % 2 ? 255 : 0;
        frame[r * rowBytes + at] = value;
        if (k % 3 == 0 && r + 1 < size.height)
            frame[(r + 1) * rowBytes + at] = value;
    }
}

long FirstDifference(const uint8_t* actual, const uint8_t* expected, size_t bytes)
{
    const auto mismatch = std::mismatch(actual, actual + bytes, expected);
    return mismatch.first == actual + bytes ? -1 : static_cast<long>(mismatch.first - actual);
}
