#pragma once

// What both vectorised chroma median families share: the packed frames' kernels
// (filter/chroma_median_sse2.cpp) and the planes' (filter/chroma_median_plane_walk.h). Internal linkage on purpose: each includer is compiled with its own
// instruction-set flags, and an inline function shared between them would let the linker keep either copy.
//
// The vector type V gives Reg and Min, Max over its unsigned bytes.

#include <cstdint>
#include <utility>

namespace {

// Calls f(0) ... f(Indices - 1) with each index a constant, so arrays indexed by it (per column, per window slot)
// stay in registers.
template <int Indices, class F>
inline void ForEachIndex(F&& f)
{
    [&]<int... i>(std::integer_sequence<int, i...>) { (f(i), ...); }(std::make_integer_sequence<int, Indices>{});
}

// A walk down the columns reads one new row at a time, each a long stride from the last, which the hardware
// prefetchers follow too late for a frame fresh from memory: ask for the row this many rows ahead.
constexpr int32_t kPrefetchRows = 16;

// Middle of three: the larger of the pair's minimum and the smaller of its maximum and the third.
template <class V>
inline typename V::Reg Median3(typename V::Reg x, typename V::Reg y, typename V::Reg z)
{
    return V::Max(V::Min(x, y), V::Min(V::Max(x, y), z));
}

// Selection networks for the small windows: SelectionNetwork<V, Count>::Select(w) is the value of rank
// Count / 2 of the Count rows w[0] ... w[Count - 1], which may come in any order, as a rank does not depend on it.
template <class V, int Count>
struct SelectionNetwork;

template <class V>
struct SelectionNetwork<V, 2> {
    using Reg = typename V::Reg;
    static Reg Select(const Reg* w) { return V::Max(w[0], w[1]); }
};

template <class V>
struct SelectionNetwork<V, 3> {
    using Reg = typename V::Reg;
    static Reg Select(const Reg* w) { return Median3<V>(w[0], w[1], w[2]); }
};

// Rank 2 of 4 is the second largest: the larger of the two pairs' smaller maximum and larger minimum.
template <class V>
struct SelectionNetwork<V, 4> {
    using Reg = typename V::Reg;
    static Reg Select(const Reg* w)
    {
        return V::Max(V::Min(V::Max(w[0], w[1]), V::Max(w[2], w[3])), V::Max(V::Min(w[0], w[1]), V::Min(w[2], w[3])));
    }
};

// The median of five is the median of one value and the two that bound it from the other four taken as two
// pairs: the larger of the pairs' minima and the smaller of their maxima.
template <class V>
struct SelectionNetwork<V, 5> {
    using Reg = typename V::Reg;
    static Reg Select(const Reg* w)
    {
        return Median3<V>(w[2], V::Max(V::Min(w[0], w[1]), V::Min(w[3], w[4])),
                          V::Min(V::Max(w[0], w[1]), V::Max(w[3], w[4])));
    }
};

// The network for count rows, count from 2 to 5 and a constant at every call: the plane walks' way in, which
// the compiler inlines better there than SelectionNetwork<V, Count> (the packed walk's way in).
template <class V>
inline typename V::Reg SelectRank(const typename V::Reg* w, int count)
{
    switch (count) {
    case 2: return SelectionNetwork<V, 2>::Select(w);
    case 3: return SelectionNetwork<V, 3>::Select(w);
    case 4: return SelectionNetwork<V, 4>::Select(w);
    default: return SelectionNetwork<V, 5>::Select(w);
    }
}

}  // namespace
