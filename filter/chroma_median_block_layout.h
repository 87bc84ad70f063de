#pragma once

#include <cstddef>
#include <cstdint>

#include "filter/chroma_median.h"

// Scratch layout of the sorted-block kernel. The clamped column is cut into blocks of `count` rows; every
// window is the tail of one block plus the head of the next, and its rank-h value is selected from the two
// sorted parts. Of a sorted tail of t rows a window only ever reads the values of rank TailLow(t) ...
// TailHigh(t); only those are kept, between a guard entry below (0, less than or equal to anything) and one
// above (255, greater than or equal to anything) so that loops need no end cases. Per column of 16 lanes
// the scratch holds, in 16-byte entries:
//   rows  - the current block's rows as they arrived (count entries),
//   heads - the sorted head of the current block, ranks -1 (guard) ... h,
//   tails - the sorted tails of the previous block, t = 0 ... count, each with its two guards.
struct ChromaBlockLayout {
    int32_t count;
    int32_t h;  // rank selected, rows below the output row
    int32_t a;  // rows above the output row

    constexpr explicit ChromaBlockLayout(int32_t windowSize)
        : count(windowSize), h(windowSize / 2), a(windowSize - 1 - windowSize / 2)
    {
    }

    constexpr int32_t TailLow(int32_t t) const { return t - a - 1 > 0 ? t - a - 1 : 0; }
    constexpr int32_t TailHigh(int32_t t) const { return t - 1 < h ? t - 1 : h; }
    constexpr int32_t TailEntries(int32_t t) const { return TailHigh(t) - TailLow(t) + 3; }

    // Entry, within the tails, of rank j of the tail of t rows (TailLow(t) - 1 <= j <= TailHigh(t) + 1).
    constexpr int32_t TailEntry(int32_t t, int32_t j) const
    {
        int32_t start = 0;
        for (int32_t shorter = 0; shorter < t; ++shorter)
            start += TailEntries(shorter);
        return start + j - (TailLow(t) - 1);
    }

    constexpr int32_t RowsStart() const { return 0; }
    constexpr int32_t HeadsStart() const { return count; }  // the guard of rank -1
    constexpr int32_t TailsStart() const { return HeadsStart() + h + 2; }
    constexpr int32_t Entries() const { return TailsStart() + TailEntry(count + 1, TailLow(count + 1) - 1); }
};

// Columns walked down the frame together: 4 columns of 32 frame bytes, two whole cache lines, so each line
// of a cold frame is fetched once (fewer columns per walk measured slower).
constexpr int32_t kChromaBlockColumnsPerWalk = 4;

constexpr int32_t MaxChromaBlockEntries()
{
    int32_t most = 0;
    for (int32_t count = 1; count <= kMaxMedianWindow; ++count) {
        const int32_t entries = ChromaBlockLayout(count).Entries();
        most = entries > most ? entries : most;
    }
    return most;
}

constexpr size_t kChromaBlockScratchBytes = size_t{16} * kChromaBlockColumnsPerWalk * MaxChromaBlockEntries();
