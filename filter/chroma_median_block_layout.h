#pragma once

#include <cstddef>
#include <cstdint>

#include "filter/chroma_median.h"

// Scratch layout of the sorted-block kernel; filter/chroma_median_sse2.cpp says what blocks, heads and
// tails are. Per column the scratch holds, in entries of one vector register each:
//   block rows - the current block's rows as they arrived (count entries);
//   head       - the sorted head of the current block, ranks -1 (a guard) ... h;
//   tails      - the sorted tails of the previous block, one for each length 0 ... count, each kept to the
//                ranks a window reads, between a guard below (0, no larger than anything) and one above
//                (255, no smaller than anything), so that loops need no end cases.
struct ChromaBlockLayout {
    int32_t count;
    int32_t h;  // rank selected, rows below the output row
    int32_t a;  // rows above the output row

    constexpr explicit ChromaBlockLayout(int32_t count) : count(count), h(count / 2), a(count - 1 - count / 2)
    {
    }

    // Beside a head of count - tailRows rows, a window reads the tail's ranks h - 1 - j for the head's
    // ranks j = 0 ... min(h, headRows - 1), and its rank h alone when the tail may hold the value by itself:
    // ranks LowestKeptRank ... HighestKeptRank, no others.
    constexpr int32_t LowestKeptRank(int32_t tailRows) const { return tailRows - a - 1 > 0 ? tailRows - a - 1 : 0; }
    constexpr int32_t HighestKeptRank(int32_t tailRows) const { return tailRows - 1 < h ? tailRows - 1 : h; }
    constexpr int32_t TailEntries(int32_t tailRows) const
    {
        return HighestKeptRank(tailRows) - LowestKeptRank(tailRows) + 3;
    }

    // Entry, within the tails, of the given rank of the tail of tailRows rows
    // (LowestKeptRank - 1 <= rank <= HighestKeptRank + 1, the guards included).
    constexpr int32_t TailEntry(int32_t tailRows, int32_t rank) const
    {
        int32_t start = 0;
        for (int32_t shorter = 0; shorter < tailRows; ++shorter)
            start += TailEntries(shorter);
        return start + rank - (LowestKeptRank(tailRows) - 1);
    }

    constexpr int32_t BlockRowsStart() const { return 0; }
    constexpr int32_t HeadStart() const { return count; }  // the guard of rank -1
    constexpr int32_t TailsStart() const { return HeadStart() + h + 2; }
    constexpr int32_t Entries() const
    {
        return TailsStart() + TailEntry(count + 1, LowestKeptRank(count + 1) - 1);
    }
};

// Columns walked down the frame together: 4 columns of 32 frame bytes, two whole cache lines, so each line
// of a cold frame is fetched once.
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
