#pragma once

#include <cstddef>
#include <cstdint>

#include "filter/chroma_median.h"

// Scratch layout of the sorted-block kernel. The clamped column is cut into blocks of `count` rows; every
// window is the tail of one block plus the head of the next, and its rank-h value is selected from the two
// sorted parts. Per column of 16 lanes the scratch holds, in 16-byte entries:
//   rows  - the current block's rows as they arrived (count entries),
//   heads - the sorted head of the current block, only its h + 1 smallest (larger ones never reach rank h),
//   tails - for every tail length t of the previous block, its sorted a + 1 largest (smaller ones never do).
struct ChromaBlockLayout {
    int32_t count;
    int32_t h;  // rank selected, rows below the output row
    int32_t a;  // rows above the output row

    constexpr explicit ChromaBlockLayout(int32_t windowSize)
        : count(windowSize), h(windowSize / 2), a(windowSize - 1 - windowSize / 2)
    {
    }

    constexpr int32_t HeadCapacity() const { return h + 1; }
    constexpr int32_t TailKept(int32_t t) const { return t < a + 1 ? t : a + 1; }

    // Entry index, within the tails, of the list for tail length t (1 ... count).
    constexpr int32_t TailStart(int32_t t) const
    {
        const int32_t full = a + 1;
        const int32_t shorter = t - 1;
        if (shorter <= full)
            return shorter * (shorter + 1) / 2;
        return full * (full + 1) / 2 + (shorter - full) * full;
    }

    constexpr int32_t RowsStart() const { return 0; }
    constexpr int32_t HeadsStart() const { return count; }
    constexpr int32_t TailsStart() const { return count + HeadCapacity(); }
    constexpr int32_t Entries() const { return TailsStart() + TailStart(count + 1); }
};

// Columns walked down the frame together: 64 frame bytes, a cache line's width, so each line of a cold
// frame is fetched once.
constexpr int32_t kChromaBlockColumnsPerWalk = 2;

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
