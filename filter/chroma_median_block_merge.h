#pragma once

// The register work of the sorted-block median (filter/chroma_median_sse2.cpp says what blocks, heads and
// tails are): the tables built once per call, the guards, the tail sort and the head insertion, apart from
// the walk's row access and loop. The planes' walk (filter/chroma_median_plane_walk.h) keeps a copy, for
// the reason given there. Internal linkage on purpose: each includer is compiled with its own
// instruction-set flags, and an inline function shared between them would let the linker keep either copy.
//
// The vector type V gives Reg, Min, Max (unsigned bytes), Zero and Full (every byte 0 or 255).

#include <algorithm>
#include <cstdint>

#include "filter/chroma_median_block_layout.h"
#include "filter/chroma_median_vector_common.h"

namespace {

template <class V>
class BlockMerge {
public:
    using Reg = typename V::Reg;

    explicit BlockMerge(int32_t count) : m_layout(count)
    {
        const ChromaBlockLayout& layout = m_layout;
        for (int32_t tailRows = 0; tailRows <= count; ++tailRows)
            m_tailLowestEntry[tailRows] = layout.TailEntry(tailRows, layout.LowestKeptRank(tailRows));
        for (int32_t tailRows = 1; tailRows <= count; ++tailRows) {
            const int32_t lowest = layout.LowestKeptRank(tailRows);
            m_tailSorts[tailRows] = {layout.TailEntry(tailRows - 1, lowest), m_tailLowestEntry[tailRows],
                                     layout.HighestKeptRank(tailRows) - lowest + 1};
        }
        for (int32_t headRows = 1; headRows < count; ++headRows) {
            const int32_t tailRows = count - headRows;
            HeadInsertion& insertion = m_headInsertions[headRows - 1];
            insertion.topRank = std::min(layout.h, headRows - 1);
            insertion.ranks = insertion.topRank - std::max(0, headRows - layout.a - 1) + 1;
            insertion.topRankIsNew = insertion.topRank == headRows - 1;
            insertion.pairedTailEntry = layout.TailEntry(tailRows, layout.h - 1 - insertion.topRank);
            insertion.tailAloneEntry = headRows <= layout.a ? layout.TailEntry(tailRows, layout.h) : -1;
        }
    }

    const ChromaBlockLayout& Layout() const { return m_layout; }

    // The entry of the full tail's one kept rank: the value of the window that is a whole block.
    int32_t WholeBlockEntry() const { return m_tailLowestEntry[m_layout.count]; }

    // Guards never change within a call: 0 below every list, 255 above.
    template <int G>
    void WriteGuards(Reg* head, Reg* tails) const
    {
        const Reg zero = V::Zero();
        const Reg full = V::Full();
        ForEachIndex<G>([&](int g) { head[g - G] = zero; });
        for (int32_t tailRows = 0; tailRows <= m_layout.count; ++tailRows) {
            Reg* lowest = tails + G * m_tailLowestEntry[tailRows];
            Reg* aboveHighest =
                lowest + G * (m_layout.HighestKeptRank(tailRows) - m_layout.LowestKeptRank(tailRows) + 1);
            ForEachIndex<G>([&](int g) {
                lowest[g - G] = zero;
                aboveHighest[g] = full;
            });
        }
    }

    // Sorts every tail of the completed block, shortest first, each from the one before with the next row
    // up inserted; only the ranks a window reads are computed.
    template <int G>
    void SortTails(const Reg* blockRows, Reg* tails) const
    {
        const int32_t count = m_layout.count;
        for (int32_t tailRows = 1; tailRows <= count; ++tailRows) {
            const TailSort sort = m_tailSorts[tailRows];
            const Reg* shorter = tails + G * sort.shorterFrom;
            Reg* longer = tails + G * sort.longerFrom;
            const Reg* const shorterEnd = shorter + G * sort.ranks;
            Reg y[G];
            ForEachIndex<G>([&](int g) { y[g] = blockRows[G * (count - tailRows) + g]; });
            for (; shorter != shorterEnd; shorter += G, longer += G) {
                ForEachIndex<G>([&](int g) { longer[g] = V::Max(shorter[g - G], V::Min(shorter[g], y[g])); });
            }
        }
    }

    // The head has taken its row inBlock, x: inserts it, from rank topRank down, and selects as it goes.
    template <int G>
    void InsertIntoHeadAndSelect(int32_t inBlock, Reg* head, const Reg* tails, const Reg* x, Reg* selected) const
    {
        InsertIntoHeadAndSelect<G>(m_headInsertions[inBlock], head, tails, x, selected);
    }

private:
    // The head of headRows rows (index headRows - 1) takes its newest row into ranks topRank down to
    // topRank - ranks + 1 and pairs each with a tail rank for the selection.
    struct HeadInsertion {
        int32_t topRank;
        int32_t ranks;
        bool topRankIsNew;        // the head reaches rank topRank only now: its old value counts as 255
        int32_t pairedTailEntry;  // tail entry paired with topRank: rank h - 1 - topRank
        int32_t tailAloneEntry;   // tail entry of rank h when the tail alone may hold the value, else -1
    };

    template <int G>
    static void InsertIntoHeadAndSelect(const HeadInsertion& insertion, Reg* head, const Reg* tails, const Reg* x,
                                        Reg* selected)
    {
        // A copy: stores through vector pointers may alias anything, so the fields would be read again.
        const HeadInsertion local = insertion;
        Reg* rank = head + G * local.topRank;
        const Reg* tail = tails + G * local.pairedTailEntry;
        const Reg* const tailEnd = tail + G * local.ranks;
        Reg best[G];
        ForEachIndex<G>([&](int g) {
            if (local.topRankIsNew)
                rank[g] = V::Full();
            best[g] = V::Full();
        });
        for (; tail != tailEnd; rank -= G, tail += G) {
            ForEachIndex<G>([&](int g) {
                const Reg inserted = V::Max(rank[g - G], V::Min(rank[g], x[g]));
                rank[g] = inserted;
                best[g] = V::Min(best[g], V::Max(tail[g], inserted));
            });
        }
        if (local.tailAloneEntry >= 0)
            ForEachIndex<G>([&](int g) { best[g] = V::Min(best[g], tails[G * local.tailAloneEntry + g]); });
        ForEachIndex<G>([&](int g) { selected[g] = best[g]; });
    }

    // The tail of tailRows rows is sorted from the one of tailRows - 1: entries from the lowest kept rank on.
    struct TailSort {
        int32_t shorterFrom;
        int32_t longerFrom;
        int32_t ranks;
    };

    ChromaBlockLayout m_layout;
    int32_t m_tailLowestEntry[kMaxMedianWindow + 1];
    TailSort m_tailSorts[kMaxMedianWindow + 1];
    HeadInsertion m_headInsertions[kMaxMedianWindow];
};

}  // namespace
