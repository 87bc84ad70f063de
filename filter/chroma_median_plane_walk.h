#pragma once

// The plane kernels' walks, written once over a vector type and included by one translation unit per
// instruction set. Everything here has internal linkage on purpose: each includer compiles it with its own
// instruction-set flags, and an inline function shared between them would let the linker keep either copy.
//
// The vector type V gives: Reg, Sample, kLanes (columns per register), Load, Store, Min, Max (in the
// samples' order), Zero and Full (the lowest and the highest sample in every lane).
//
// A walk takes G registers' worth of neighbouring columns down the whole plane. A plane whose width is not
// a multiple of kLanes ends in a register that overlaps its left neighbour; it walks in the same walk as
// that neighbour, so both read every row before either writes it and both write the same values.

#include <xmmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "filter/chroma_median_block_layout.h"
#include "filter/chroma_median_plane.h"
#include "filter/chroma_median_plane_scratch.h"
#include "filter/chroma_median_vector_common.h"

namespace {

// Where the walk's registers sit in a row: side by side from `first`, the last one at `last`.
template <class V, int G>
struct WalkColumns {
    size_t first;
    size_t last;
    size_t operator[](int g) const { return g == G - 1 ? last : first + V::kLanes * g; }
};

// The plane as a walk sees it: position q holds row q - above, clamped to the plane.
template <class Sample>
class ClampedRows {
public:
    ClampedRows(Sample* plane, ptrdiff_t stride, int32_t height, int32_t above)
        : m_plane(plane), m_stride(stride), m_height(height), m_above(above)
    {
    }
    const Sample* At(int32_t q) const { return m_plane + m_stride * std::clamp(q - m_above, 0, m_height - 1); }
    Sample* Row(int32_t r) const { return m_plane + m_stride * r; }
    ptrdiff_t Stride() const { return m_stride; }

private:
    Sample* m_plane;
    ptrdiff_t m_stride;
    int32_t m_height;
    int32_t m_above;
};

template <class V, int G>
inline void PrefetchWalk(const typename V::Sample* row, const WalkColumns<V, G>& columns)
{
    const char* begin = reinterpret_cast<const char*>(row + columns.first);
    const char* end = reinterpret_cast<const char*>(row + columns.last + V::kLanes);
    for (const char* p = begin; p < end; p += 64)
        _mm_prefetch(p, _MM_HINT_T0);
    _mm_prefetch(end - 1, _MM_HINT_T0);
}

// Sorted blocks merged with min/max, as in the packed kernel (filter/chroma_median_sse2.cpp explains the
// two identities): each window is the tail of one block of `count` rows plus the head of the next.
// The register work is a copy of BlockMerge's (filter/chroma_median_block_merge.h), kept apart because with
// BlockMerge in this translation unit GCC inlines the network walks below differently, and the 32-bit plane
// network ran twice as slow at window 5.
template <class V>
class PlaneBlockWalker {
public:
    using Reg = typename V::Reg;
    using Sample = typename V::Sample;

    PlaneBlockWalker(Sample* plane, ptrdiff_t stride, int32_t height, int32_t count, uint8_t* scratch)
        : m_rows(plane, stride, height, count - 1 - count / 2),
          m_height(height),
          m_layout(count),
          m_scratch(reinterpret_cast<Reg*>(scratch))
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

    // Filters the walk's columns down the plane.
    template <int G>
    void Run(const WalkColumns<V, G>& columns) const
    {
        const ChromaBlockLayout layout = m_layout;
        const int32_t count = layout.count;
        const int32_t wholeBlockEntry = m_tailLowestEntry[count];
        Reg* const blockRows = m_scratch + G * layout.BlockRowsStart();
        Reg* const head = m_scratch + G * (layout.HeadStart() + 1);
        Reg* const tails = m_scratch + G * layout.TailsStart();
        WriteGuards<G>(head, tails);

        // The window ending at position q belongs to output row q - (count - 1).
        int32_t q = 0;
        // Reads the next position into the block's rows.
        auto loadRow = [&](int32_t inBlock) {
            PrefetchWalk<V, G>(m_rows.At(q + kPrefetchRows), columns);
            const Sample* row = m_rows.At(q++);
            ForEachIndex<G>([&](int g) { blockRows[G * inBlock + g] = V::Load(row + columns[g]); });
        };
        Sample* out = m_rows.Row(0);
        auto storeRow = [&](const Reg* selected) {
            ForEachIndex<G>([&](int g) { V::Store(out + columns[g], selected[g]); });
            out += m_rows.Stride();
        };
        // The block is complete: sorts its tails and writes the window that is the whole block, whose value
        // is the one rank the full tail keeps.
        auto finishBlock = [&] {
            SortTails<G>(blockRows, tails);
            storeRow(tails + G * wholeBlockEntry);
        };

        for (int32_t inBlock = 0; inBlock < count; ++inBlock)
            loadRow(inBlock);
        finishBlock();
        for (int32_t rowsLeft = m_height - 1; rowsLeft > 0;) {
            for (int32_t inBlock = 0; inBlock < count - 1 && rowsLeft > 0; ++inBlock, --rowsLeft) {
                loadRow(inBlock);
                // The head has taken its row inBlock: inserts it and writes the window of tail and head.
                Reg selected[G];
                InsertIntoHeadAndSelect<G>(m_headInsertions[inBlock], head, tails, blockRows + G * inBlock,
                                           selected);
                storeRow(selected);
            }
            if (rowsLeft > 0) {
                loadRow(count - 1);
                finishBlock();
                --rowsLeft;
            }
        }
    }

private:
    // The head of headRows rows (index headRows - 1) takes its newest row into ranks topRank down to
    // topRank - ranks + 1 and pairs each with a tail rank for the selection.
    struct HeadInsertion {
        int32_t topRank;
        int32_t ranks;
        bool topRankIsNew;        // the head reaches rank topRank only now: its old value counts as Full
        int32_t pairedTailEntry;  // tail entry paired with topRank: rank h - 1 - topRank
        int32_t tailAloneEntry;   // tail entry of rank h when the tail alone may hold the value, else -1
    };

    // The tail of tailRows rows is sorted from the one of tailRows - 1: entries from the lowest kept rank on.
    struct TailSort {
        int32_t shorterFrom;
        int32_t longerFrom;
        int32_t ranks;
    };

    // Guards never change within a call: Zero below every list, Full above.
    template <int G>
    void WriteGuards(Reg* head, Reg* tails) const
    {
        ForEachIndex<G>([&](int g) { head[g - G] = V::Zero(); });
        for (int32_t tailRows = 0; tailRows <= m_layout.count; ++tailRows) {
            Reg* lowest = tails + G * m_tailLowestEntry[tailRows];
            Reg* aboveHighest =
                lowest + G * (m_layout.HighestKeptRank(tailRows) - m_layout.LowestKeptRank(tailRows) + 1);
            ForEachIndex<G>([&](int g) {
                lowest[g - G] = V::Zero();
                aboveHighest[g] = V::Full();
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

    // Inserts x into the head, from rank topRank down, and selects as it goes.
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

    ClampedRows<Sample> m_rows;
    int32_t m_height;
    ChromaBlockLayout m_layout;
    Reg* m_scratch;
    int32_t m_tailLowestEntry[kMaxMedianWindow + 1];
    TailSort m_tailSorts[kMaxMedianWindow + 1];
    HeadInsertion m_headInsertions[kMaxMedianWindow];
};

template <class V, int Count>
class PlaneNetworkWalker {
public:
    using Reg = typename V::Reg;
    using Sample = typename V::Sample;

    PlaneNetworkWalker(Sample* plane, ptrdiff_t stride, int32_t height)
        : m_rows(plane, stride, height, Count - 1 - Count / 2), m_height(height)
    {
    }

    template <int G>
    void Run(const WalkColumns<V, G>& columns) const
    {
        Reg window[G][Count];
        int32_t q = 0;
        auto loadNext = [&](int slot) {
            PrefetchWalk<V, G>(m_rows.At(q + kPrefetchRows), columns);
            const Sample* row = m_rows.At(q++);
            ForEachIndex<G>([&](int g) { window[g][slot] = V::Load(row + columns[g]); });
        };
        for (int slot = 1; slot < Count; ++slot)
            loadNext(slot);
        Sample* out = m_rows.Row(0);
        // The new row replaces the oldest where it lies; unrolled over a whole turn every slot stays put.
        auto step = [&](int slot) {
            loadNext(slot);
            ForEachIndex<G>([&](int g) { V::Store(out + columns[g], SelectRank<V>(window[g], Count)); });
            out += m_rows.Stride();
        };
        int32_t r = 0;
        for (; r + Count <= m_height; r += Count)
            ForEachIndex<Count>(step);
        for (int slot = 0; r < m_height; ++r, ++slot)
            step(slot);
    }

private:
    ClampedRows<Sample> m_rows;
    int32_t m_height;
};

template <class V, int G, class Walker>
void RunWalk(int vectors, size_t first, size_t last, const Walker& walker)
{
    if constexpr (G > 0) {
        if (vectors == G)
            walker.template Run<G>(WalkColumns<V, G>{first, last});
        else
            RunWalk<V, G - 1>(vectors, first, last, walker);
    }
}

// Walks the plane's registers Group at a time, left to right. The last walk takes the last
// min(Group, registers) registers, so that a register overlapping its neighbour walks with it.
template <class V, int Group, class Walker>
void WalkPlane(int32_t width, const Walker& walker)
{
    constexpr size_t kLanes = V::kLanes;
    const int vectors = static_cast<int>((static_cast<size_t>(width) + kLanes - 1) / kLanes);
    const int lastWalk = std::min(Group, vectors);
    int v = 0;
    while (v < vectors - lastWalk) {
        const int take = std::min(Group, vectors - lastWalk - v);
        RunWalk<V, Group>(take, kLanes * v, kLanes * (v + take - 1), walker);
        v += take;
    }
    RunWalk<V, Group>(lastWalk, kLanes * v, static_cast<size_t>(width) - kLanes, walker);
}

// Filters what needs no registers: nothing for a count of 1, and the portable reference for a plane narrower
// than one register or so short that every window reaches past both edges. True when that was all.
template <class V>
bool FilterIfNoRegistersFit(typename V::Sample* plane, ptrdiff_t stride, int32_t width, int32_t height,
                            int32_t count, uint8_t* scratch)
{
    if (count <= 1)
        return true;
    if (static_cast<size_t>(width) >= V::kLanes && height > count / 2)
        return false;
    if constexpr (sizeof(typename V::Sample) == 1)
        ChromaMedianPlane_C(plane, stride, width, height, count, scratch);
    else
        ChromaMedianPlane16_C(plane, stride, width, height, count, scratch);
    return true;
}

// The kernels of one instruction set.
template <class V>
void PlaneBlockKernel(typename V::Sample* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                      uint8_t* scratch)
{
    if (FilterIfNoRegistersFit<V>(plane, stride, width, height, count, scratch))
        return;
    const PlaneBlockWalker<V> walker(plane, stride, height, count, scratch);
    WalkPlane<V, static_cast<int>(kPlaneWalkBytes / sizeof(typename V::Reg))>(width, walker);
}

// Two registers a walk: the windows of both stay in registers.
template <class V, int Count>
void PlaneNetworkKernel(typename V::Sample* plane, ptrdiff_t stride, int32_t width, int32_t height)
{
    const PlaneNetworkWalker<V, Count> walker(plane, stride, height);
    WalkPlane<V, 2>(width, walker);
}

template <class V>
void PlaneNetworkKernel(typename V::Sample* plane, ptrdiff_t stride, int32_t width, int32_t height,
                        int32_t count, uint8_t* scratch)
{
    if (FilterIfNoRegistersFit<V>(plane, stride, width, height, count, scratch))
        return;
    switch (count) {
    case 2: return PlaneNetworkKernel<V, 2>(plane, stride, width, height);
    case 3: return PlaneNetworkKernel<V, 3>(plane, stride, width, height);
    case 4: return PlaneNetworkKernel<V, 4>(plane, stride, width, height);
    case 5: return PlaneNetworkKernel<V, 5>(plane, stride, width, height);
    default: return PlaneBlockKernel<V>(plane, stride, width, height, count, scratch);
    }
}

}  // namespace
