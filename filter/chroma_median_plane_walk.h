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
#include <utility>

#include "filter/chroma_median_block_layout.h"
#include "filter/chroma_median_plane.h"
#include "filter/chroma_median_plane_scratch.h"

namespace {

// Calls f(0) ... f(N - 1) with each index a constant, so arrays indexed by it stay in registers.
template <int N, class F>
inline void ForEachIndex(F&& f)
{
    [&]<int... i>(std::integer_sequence<int, i...>) { (f(i), ...); }(std::make_integer_sequence<int, N>{});
}

// A walk reads one new row at a time, each a long stride from the last, which the hardware prefetchers
// follow too late for a plane fresh from memory: ask for the row this many rows ahead.
constexpr int32_t kPlanePrefetchRows = 16;

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
// two identities): each window is the tail of one block of `count` rows plus the head of the next.
// Deliberately a copy of the packed kernel's walker, not one template with a load/store policy: that
// template measured 5 to 25 % slower in the 32-bit DLL at windows 15 and 30 (same process, interleaved,
// either order), the build viewers run, so the two stay apart.
template <class V>
class PlaneBlockWalker {
public:
    using Reg = typename V::Reg;

    PlaneBlockWalker(uint8_t* plane, ptrdiff_t stride, int32_t height, int32_t count, uint8_t* scratch)
        : m_rows(plane, stride, height, count - 1 - count / 2),
          m_height(height),
          m_layout(count),
          m_scratch(reinterpret_cast<Reg*>(scratch))
    {
        const ChromaBlockLayout& layout = m_layout;
        for (int32_t t = 0; t <= count; ++t)
            m_tailAtLow[t] = layout.TailEntry(t, layout.LowestKeptRank(t));
        for (int32_t t = 1; t <= count; ++t) {
            const int32_t low = layout.LowestKeptRank(t);
            m_tailSteps[t] = {layout.TailEntry(t - 1, low), m_tailAtLow[t], layout.HighestKeptRank(t) - low + 1};
        }
        for (int32_t length = 1; length < count; ++length) {
            const int32_t t = count - length;
            HeadStep& step = m_headSteps[length - 1];
            step.top = std::min(layout.h, length - 1);
            step.ranks = step.top - std::max(0, length - layout.a - 1) + 1;
            step.topIsNew = step.top == length - 1;
            step.firstTail = layout.TailEntry(t, layout.h - 1 - step.top);
            step.lowestTail = length <= layout.a ? layout.TailEntry(t, layout.h) : -1;
        }
    }

    template <int G>
    void Run(const WalkColumns<V, G>& columns) const
    {
        const ChromaBlockLayout layout = m_layout;
        const int32_t n = layout.count;
        const int32_t wholeBlockEntry = m_tailAtLow[n];
        Reg* const rows = m_scratch + G * layout.BlockRowsStart();
        Reg* const heads = m_scratch + G * (layout.HeadStart() + 1);
        Reg* const tails = m_scratch + G * layout.TailsStart();
        WriteGuards<G>(heads, tails);

        // The window ending at position q belongs to output row q - (count - 1).
        int32_t q = 0;
        auto loadNext = [&](int32_t inBlock) {
            PrefetchWalk<V, G>(m_rows.At(q + kPlanePrefetchRows), columns);
            const uint8_t* row = m_rows.At(q++);
            ForEachIndex<G>([&](int g) { rows[G * inBlock + g] = V::Load(row + columns[g]); });
        };
        uint8_t* out = m_rows.Row(0);
        auto storeNext = [&](const Reg* selected) {
            ForEachIndex<G>([&](int g) { V::Store(out + columns[g], selected[g]); });
            out += m_rows.Stride();
        };
        // The window is a whole block: its value is the middle of the full tail.
        auto completeBlock = [&] {
            BuildTails<G>(rows, tails);
            storeNext(tails + G * wholeBlockEntry);
        };

        for (int32_t inBlock = 0; inBlock < n; ++inBlock)
            loadNext(inBlock);
        completeBlock();
        for (int32_t remaining = m_height - 1; remaining > 0;) {
            for (int32_t inBlock = 0; inBlock < n - 1 && remaining > 0; ++inBlock, --remaining) {
                loadNext(inBlock);
                Reg selected[G];
                InsertIntoHeadAndSelect<G>(m_headSteps[inBlock], heads, tails, rows + G * inBlock, selected);
                storeNext(selected);
            }
            if (remaining > 0) {
                loadNext(n - 1);
                completeBlock();
                --remaining;
            }
        }
    }

private:
    struct HeadStep {
        int32_t top;
        int32_t ranks;
        bool topIsNew;       // rank top is new to the head: its old value counts as 255
        int32_t firstTail;   // tail entry paired with rank top: rank h - 1 - top
        int32_t lowestTail;  // tail entry of rank h when the tail alone may hold the value, else -1
    };

    struct TailStep {
        int32_t shorterAtLow;
        int32_t longerAtLow;
        int32_t ranks;
    };

    template <int G>
    void WriteGuards(Reg* heads, Reg* tails) const
    {
        ForEachIndex<G>([&](int g) { heads[g - G] = V::Zero(); });
        for (int32_t t = 0; t <= m_layout.count; ++t) {
            Reg* low = tails + G * m_tailAtLow[t];
            Reg* aboveHigh = low + G * (m_layout.HighestKeptRank(t) - m_layout.LowestKeptRank(t) + 1);
            ForEachIndex<G>([&](int g) {
                low[g - G] = V::Zero();
                aboveHigh[g] = V::Full();
            });
        }
    }

    template <int G>
    void BuildTails(const Reg* rows, Reg* tails) const
    {
        const int32_t n = m_layout.count;
        for (int32_t t = 1; t <= n; ++t) {
            const TailStep step = m_tailSteps[t];
            const Reg* shorter = tails + G * step.shorterAtLow;
            Reg* longer = tails + G * step.longerAtLow;
            const Reg* const shorterEnd = shorter + G * step.ranks;
            Reg y[G];
            ForEachIndex<G>([&](int g) { y[g] = rows[G * (n - t) + g]; });
            for (; shorter != shorterEnd; shorter += G, longer += G)
                ForEachIndex<G>([&](int g) { longer[g] = V::Max(shorter[g - G], V::Min(shorter[g], y[g])); });
        }
    }

    template <int G>
    static void InsertIntoHeadAndSelect(const HeadStep& step, Reg* heads, const Reg* tails, const Reg* x,
                                        Reg* selected)
    {
        // A copy: stores through vector pointers may alias anything, so the step's fields would be re-read.
        const HeadStep local = step;
        Reg* head = heads + G * local.top;
        const Reg* tail = tails + G * local.firstTail;
        const Reg* const tailEnd = tail + G * local.ranks;
        Reg best[G];
        ForEachIndex<G>([&](int g) {
            if (local.topIsNew)
                head[g] = V::Full();
            best[g] = V::Full();
        });
        for (; tail != tailEnd; head -= G, tail += G) {
            ForEachIndex<G>([&](int g) {
                const Reg inserted = V::Max(head[g - G], V::Min(head[g], x[g]));
                head[g] = inserted;
                best[g] = V::Min(best[g], V::Max(tail[g], inserted));
            });
        }
        if (local.lowestTail >= 0)
            ForEachIndex<G>([&](int g) { best[g] = V::Min(best[g], tails[G * local.lowestTail + g]); });
        ForEachIndex<G>([&](int g) { selected[g] = best[g]; });
    }

    ClampedRows m_rows;
    int32_t m_height;
    ChromaBlockLayout m_layout;
    Reg* m_scratch;
    int32_t m_tailAtLow[kMaxMedianWindow + 1];
    TailStep m_tailSteps[kMaxMedianWindow + 1];
    HeadStep m_headSteps[kMaxMedianWindow];
};

// Selection networks for the small windows; each gets the window's rows in any order, as a rank does not
// depend on it.
template <class V>
struct PlaneNetworks {
    using Reg = typename V::Reg;
    static Reg Median3(Reg x, Reg y, Reg z) { return V::Max(V::Min(x, y), V::Min(V::Max(x, y), z)); }
    static Reg Select(const Reg* w, int n)
    {
        switch (n) {
        case 2: return V::Max(w[0], w[1]);
        case 3: return Median3(w[0], w[1], w[2]);
        // Rank 2 of 4, the second largest: the larger of the pairs' smaller maximum and larger minimum.
        case 4:
            return V::Max(V::Min(V::Max(w[0], w[1]), V::Max(w[2], w[3])),
                          V::Max(V::Min(w[0], w[1]), V::Min(w[2], w[3])));
        // The median of five: of w[2] and the two values that bound it from the pairs' minima and maxima.
        default:
            return Median3(w[2], V::Max(V::Min(w[0], w[1]), V::Min(w[3], w[4])),
                           V::Min(V::Max(w[0], w[1]), V::Max(w[3], w[4])));
        }
    }
};

template <class V, int N>
class PlaneNetworkWalker {
public:
    using Reg = typename V::Reg;

    PlaneNetworkWalker(uint8_t* plane, ptrdiff_t stride, int32_t height)
        : m_rows(plane, stride, height, N - 1 - N / 2), m_height(height)
    {
    }

    template <int G>
    void Run(const WalkColumns<V, G>& columns) const
    {
        Reg window[G][N];
        int32_t q = 0;
        auto loadInto = [&](int slot) {
            PrefetchWalk<V, G>(m_rows.At(q + kPlanePrefetchRows), columns);
            const uint8_t* row = m_rows.At(q++);
            ForEachIndex<G>([&](int g) { window[g][slot] = V::Load(row + columns[g]); });
        };
        for (int slot = 1; slot < N; ++slot)
            loadInto(slot);
        uint8_t* out = m_rows.Row(0);
        // The new row replaces the oldest where it lies; unrolled over a whole turn every slot stays put.
        auto step = [&](int slot) {
            loadInto(slot);
            ForEachIndex<G>([&](int g) { V::Store(out + columns[g], PlaneNetworks<V>::Select(window[g], N)); });
            out += m_rows.Stride();
        };
        int32_t r = 0;
        for (; r + N <= m_height; r += N)
            ForEachIndex<N>(step);
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

// True when the plane needs no registers: nothing to do, or narrower than one register or so short that
// every window reaches past both edges, which the portable reference has then filtered.
template <class V>
bool DoneWithoutRegisters(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                          uint8_t* scratch)
{
    if (count <= 1)
        return true;
    if (static_cast<size_t>(width) >= V::kBytes && height > count / 2)
        return false;
    ChromaMedianPlane_C(plane, stride, width, height, count, scratch);
    return true;
}

// The kernels of one instruction set.
template <class V>
void PlaneBlockKernel(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                      uint8_t* scratch)
{
    if (DoneWithoutRegisters<V>(plane, stride, width, height, count, scratch))
        return;
    const PlaneBlockWalker<V> walker(plane, stride, height, count, scratch);
    WalkPlane<V, static_cast<int>(kPlaneWalkBytes / V::kBytes)>(width, walker);
}

// Two registers a walk: the windows of both stay in registers.
template <class V, int N>
void PlaneNetworkKernel(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height)
{
    const PlaneNetworkWalker<V, N> walker(plane, stride, height);
    WalkPlane<V, 2>(width, walker);
}

template <class V>
void PlaneNetworkKernel(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                        uint8_t* scratch)
{
    if (DoneWithoutRegisters<V>(plane, stride, width, height, count, scratch))
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
