#include "rank_table_u64.h"

#include <cstring>

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHigh = 0x8080808080808080ull;
constexpr uint64_t kMarked = 0xFEFEFEFEFEFEFEFEull;  // rank -2 in every lane

// Byte-lane comparisons without carries between lanes; the answer is each lane's high bit.
uint64_t AtLeastU8(uint64_t x, uint64_t y)
{
    // High bit of (x | 0x80) - (y & 0x7F) tells x's low 7 bits >= y's, and no lane borrows from the next.
    const uint64_t lowAtLeast = (x | kHigh) - (y & ~kHigh);
    return ((x & ~y) | (~(x ^ y) & lowAtLeast)) & kHigh;
}
uint64_t GreaterU8(uint64_t x, uint64_t y) { return ~AtLeastU8(y, x) & kHigh; }
// Signed bytes order like unsigned ones with the sign bit flipped.
uint64_t GreaterS8(uint64_t x, uint64_t y) { return GreaterU8(x ^ kHigh, y ^ kHigh); }
uint64_t EqualU8(uint64_t x, uint64_t y)
{
    const uint64_t z = x ^ y;
    return ~(((z & ~kHigh) + ~kHigh) | z) & kHigh;
}
// 0x80 in a lane becomes 0xFF, 0 stays 0.
uint64_t Widen(uint64_t highBits) { return highBits | (highBits - (highBits >> 7)); }

// The strip's 8 chroma bytes (the odd ones of 16) as one lane each.
uint64_t GatherChroma(const uint8_t* stripRow)
{
    uint64_t half[2];
    std::memcpy(half, stripRow, 16);
    uint64_t lanes = 0;
    for (int i = 0; i < 2; ++i) {
        uint64_t v = (half[i] >> 8) & 0x00FF00FF00FF00FFull;
        v = (v | (v >> 8)) & 0x0000FFFF0000FFFFull;
        v = (v | (v >> 16)) & 0x00000000FFFFFFFFull;
        lanes |= v << (32 * i);
    }
    return lanes;
}

void ScatterChroma(uint8_t* stripRow, uint64_t lanes)
{
    uint64_t half[2];
    std::memcpy(half, stripRow, 16);
    for (int i = 0; i < 2; ++i) {
        uint64_t v = (lanes >> (32 * i)) & 0xFFFFFFFFull;
        v = (v | (v << 16)) & 0x0000FFFF0000FFFFull;
        v = (v | (v << 8)) & 0x00FF00FF00FF00FFull;
        half[i] = (half[i] & 0x00FF00FF00FF00FFull) | (v << 8);
    }
    std::memcpy(stripRow, half, 16);
}

struct RankTable {
    uint64_t rank[30];
    uint64_t sample[30];
    int count;
    uint64_t h;  // the selected rank in every lane
    int cursor;

    void Reset(uint64_t row0)
    {
        for (int j = 0; j < count; ++j) {
            rank[j] = kOnes * static_cast<uint64_t>(j);
            sample[j] = row0;
        }
        cursor = 0;
    }

    uint64_t Insert(uint64_t x)
    {
        const int k = cursor;
        const uint64_t old = rank[k];
        sample[k] = x;
        rank[k] = kMarked;
        uint64_t newRank = 0, selected = 0;
        for (int j = 0; j < count; ++j) {
            uint64_t r = rank[j];
            r -= (GreaterS8(r, old) >> 7);
            const uint64_t below = GreaterU8(x, sample[j]) >> 7;
            newRank += below;
            r += below ^ kOnes;
            rank[j] = r;
            const uint64_t hit = Widen(EqualU8(r, h));
            selected = (selected & ~hit) | (sample[j] & hit);
        }
        rank[k] = newRank;
        const uint64_t hit = Widen(EqualU8(newRank, h));
        selected = (selected & ~hit) | (x & hit);
        cursor = cursor + 1 == count ? 0 : cursor + 1;
        return selected;
    }
};

}  // namespace

void ChromaMedianRankTableU64(uint8_t* frame, const FrameSize* size, uint8_t*, int32_t count)
{
    const int32_t height = size->height;
    const int32_t h = count / 2;
    const size_t rowBytes = 2 * static_cast<size_t>(size->width);
    RankTable table;
    table.count = count;
    table.h = kOnes * static_cast<uint64_t>(h);
    for (int32_t s = 0; s < size->width / 8; ++s) {
        uint8_t* strip = frame + 16 * static_cast<size_t>(s);
        auto row = [&](int32_t r) { return strip + rowBytes * static_cast<size_t>(r); };
        table.Reset(GatherChroma(row(0)));
        for (int32_t r = 0; r < h; ++r)
            table.Insert(GatherChroma(row(r)));
        for (int32_t r = 0; r < height - h; ++r)
            ScatterChroma(row(r), table.Insert(GatherChroma(row(r + h))));
        for (int32_t r = height - h; r < height; ++r)
            ScatterChroma(row(r), table.Insert(GatherChroma(row(height - 1))));
    }
}
