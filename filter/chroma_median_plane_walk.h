#pragma once

// The plane kernels' walks, written once over a vector type and included by one translation unit per
// instruction set. Everything here has internal linkage on purpose: each includer compiles it with its own
// instruction-set flags, and an inline function shared between them would let the linker keep either copy.
//
// The vector type V gives: Reg, kBytes (columns per register), Load, Store, Min, Max (unsigned bytes),
// Zero and Full (every byte 0 or 255).
//
// A walk takes G registers' worth of neighbouring columns down the whole plane. A plane whose width is not
// a multiple of kBytes ends in a register that overlaps its left neighbour; it walks in the same walk as
// that neighbour, so both read every row before either writes it and both write the same values.

#include <xmmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "filter/chroma_median_block_merge.h"
#include "filter/chroma_median_plane.h"
#include "filter/chroma_median_plane_scratch.h"
#include "filter/chroma_median_vector_common.h"

namespace {

// Where the walk's registers sit in a row: side by side from `first`, the last one at `last`.
template <class V, int G>
struct WalkColumns {
    size_t first;
    size_t last;
    size_t operator[](int g) const { return g == G - 1 ? last : first + V::kBytes * g; }
};

// The plane as a walk sees it: position q holds row q - above, clamped to the plane.
class ClampedRows {
public:
    ClampedRows(uint8_t* plane, ptrdiff_t stride, int32_t height, int32_t above)
        : m_plane(plane), m_stride(stride), m_height(height), m_above(above)
    {
    }
    const uint8_t* At(int32_t q) const { return m_plane + m_stride * std::clamp(q - m_above, 0, m_height - 1); }
    uint8_t* Row(int32_t r) const { return m_plane + m_stride * r; }
    ptrdiff_t Stride() const { return m_stride; }

private:
    uint8_t* m_plane;
    ptrdiff_t m_stride;
    int32_t m_height;
    int32_t m_above;
};

template <class V, int G>
inline void PrefetchWalk(const uint8_t* row, const WalkColumns<V, G>& columns)
{
    const char* begin = reinterpret_cast<const char*>(row + columns.first);
    const char* end = reinterpret_cast<const char*>(row + columns.last + V::kBytes);
    for (const char* p = begin; p < end; p += 64)
        _mm_prefetch(p, _MM_HINT_T0);
    _mm_prefetch(end - 1, _MM_HINT_T0);
}

// Sorted blocks merged with min/max, as in the packed kernel (filter/chroma_median_sse2.cpp explains the
// two identities): each window is the tail of one block of `count` rows plus the head of the next. The
// register work is BlockMerge's; the plane's rows and the loop are this walk's own.
template <class V>
class PlaneBlockWalker {
public:
    using Reg = typename V::Reg;

    PlaneBlockWalker(uint8_t* plane, ptrdiff_t stride, int32_t height, int32_t count, uint8_t* scratch)
        : m_rows(plane, stride, height, count - 1 - count / 2),
          m_height(height),
          m_merge(count),
          m_scratch(reinterpret_cast<Reg*>(scratch))
    {
    }

    // Filters the walk's columns down the plane.
    template <int G>
    void Run(const WalkColumns<V, G>& columns) const
    {
        const ChromaBlockLayout layout = m_merge.Layout();
        const int32_t count = layout.count;
        const int32_t wholeBlockEntry = m_merge.WholeBlockEntry();
        Reg* const blockRows = m_scratch + G * layout.BlockRowsStart();
        Reg* const head = m_scratch + G * (layout.HeadStart() + 1);
        Reg* const tails = m_scratch + G * layout.TailsStart();
        m_merge.template WriteGuards<G>(head, tails);

        // The window ending at position q belongs to output row q - (count - 1).
        int32_t q = 0;
        // Reads the next position into the block's rows.
        auto loadRow = [&](int32_t inBlock) {
            PrefetchWalk<V, G>(m_rows.At(q + kPrefetchRows), columns);
            const uint8_t* row = m_rows.At(q++);
            ForEachIndex<G>([&](int g) { blockRows[G * inBlock + g] = V::Load(row + columns[g]); });
        };
        uint8_t* out = m_rows.Row(0);
        auto storeRow = [&](const Reg* selected) {
            ForEachIndex<G>([&](int g) { V::Store(out + columns[g], selected[g]); });
            out += m_rows.Stride();
        };
        // The block is complete: sorts its tails and writes the window that is the whole block.
        auto finishBlock = [&] {
            m_merge.template SortTails<G>(blockRows, tails);
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
                m_merge.template InsertIntoHeadAndSelect<G>(inBlock, head, tails, blockRows + G * inBlock, selected);
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
    ClampedRows m_rows;
    int32_t m_height;
    BlockMerge<V> m_merge;
    Reg* m_scratch;
};

template <class V, int Count>
class PlaneNetworkWalker {
public:
    using Reg = typename V::Reg;

    PlaneNetworkWalker(uint8_t* plane, ptrdiff_t stride, int32_t height)
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
            const uint8_t* row = m_rows.At(q++);
            ForEachIndex<G>([&](int g) { window[g][slot] = V::Load(row + columns[g]); });
        };
        for (int slot = 1; slot < Count; ++slot)
            loadNext(slot);
        uint8_t* out = m_rows.Row(0);
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
    ClampedRows m_rows;
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
    constexpr size_t kBytes = V::kBytes;
    const int vectors = static_cast<int>((static_cast<size_t>(width) + kBytes - 1) / kBytes);
    const int lastWalk = std::min(Group, vectors);
    int v = 0;
    while (v < vectors - lastWalk) {
        const int take = std::min(Group, vectors - lastWalk - v);
        RunWalk<V, Group>(take, kBytes * v, kBytes * (v + take - 1), walker);
        v += take;
    }
    RunWalk<V, Group>(lastWalk, kBytes * v, static_cast<size_t>(width) - kBytes, walker);
}

// Registers fit a plane at least one register wide and tall enough that some window stays inside it; the
// portable reference filters the others.
template <class V>
bool RegistersFit(int32_t width, int32_t height, int32_t count)
{
    return static_cast<size_t>(width) >= V::kBytes && height > count / 2;
}

// Two registers a walk: the windows of both stay in registers.
template <class V, int Count>
void PlaneNetworkKernel(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height)
{
    const PlaneNetworkWalker<V, Count> walker(plane, stride, height);
    WalkPlane<V, 2>(width, walker);
}

// The kernels of one instruction set: sorted blocks for every count, and with Networks the selection
// networks for counts 2 to 5.
template <class V, bool Networks>
void PlaneKernel(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count, uint8_t* scratch)
{
    if (count <= 1)
        return;
    if (!RegistersFit<V>(width, height, count))
        return ChromaMedianPlane_C(plane, stride, width, height, count, scratch);
    if constexpr (Networks) {
        switch (count) {
        case 2: return PlaneNetworkKernel<V, 2>(plane, stride, width, height);
        case 3: return PlaneNetworkKernel<V, 3>(plane, stride, width, height);
        case 4: return PlaneNetworkKernel<V, 4>(plane, stride, width, height);
        case 5: return PlaneNetworkKernel<V, 5>(plane, stride, width, height);
        }
    }
    const PlaneBlockWalker<V> walker(plane, stride, height, count, scratch);
    WalkPlane<V, static_cast<int>(kPlaneWalkBytes / V::kBytes)>(width, walker);
}

}  // namespace
