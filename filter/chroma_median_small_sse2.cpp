// Selection networks for the small windows: the count rows of each window stay in registers as the walk
// moves down, and the rank-h value is a handful of unsigned byte min/max operations.

#include "filter/chroma_median_sse2_columns.h"
#include "filter/chroma_median_variants.h"

namespace {

using chroma_sse2::ForEachIndex;
using chroma_sse2::kColumnBytes;
using chroma_sse2::Max;
using chroma_sse2::Min;

// Middle of three: the larger of the pair's minimum and the smaller of its maximum and the third.
inline __m128i Median3(__m128i x, __m128i y, __m128i z) { return Max(Min(x, y), Min(Max(x, y), z)); }

// Each network gets the window's rows in any order: a rank does not depend on it.
struct Rank1Of2 {
    static constexpr int kCount = 2;
    static __m128i Select(const __m128i* w) { return Max(w[0], w[1]); }
};

struct Rank1Of3 {
    static constexpr int kCount = 3;
    static __m128i Select(const __m128i* w) { return Median3(w[0], w[1], w[2]); }
};

// Rank 2 of 4 is the second largest: the larger of the two pairs' smaller maximum and larger minimum.
struct Rank2Of4 {
    static constexpr int kCount = 4;
    static __m128i Select(const __m128i* w)
    {
        return Max(Min(Max(w[0], w[1]), Max(w[2], w[3])), Max(Min(w[0], w[1]), Min(w[2], w[3])));
    }
};

// The median of five is the median of one value and the two that bound it from the other four taken as two
// pairs: the larger of the pairs' minima and the smaller of their maxima.
struct Rank2Of5 {
    static constexpr int kCount = 5;
    static __m128i Select(const __m128i* w)
    {
        const __m128i low = Max(Min(w[0], w[1]), Min(w[3], w[4]));
        const __m128i high = Min(Max(w[0], w[1]), Max(w[3], w[4]));
        return Median3(w[2], low, high);
    }
};

// Columns walked down together: two measured fastest in the 32-bit build (one and four were slower), its
// eight registers holding the windows of both.
constexpr int kColumnsPerWalk = 2;

template <class Network>
class NetworkWalker {
public:
    NetworkWalker(uint8_t* frame, const FrameSize& size)
        : m_frame(frame), m_rowBytes(2 * static_cast<size_t>(size.width)), m_height(size.height)
    {
    }

    template <int G, bool EndsHalf>
    void Run(size_t offset) const
    {
        constexpr int n = Network::kCount;
        constexpr int above = n - 1 - n / 2;
        const size_t rowBytes = m_rowBytes;
        // Position q holds row q - above, clamped; the window ending at position q belongs to row q - (n - 1).
        chroma_sse2::RowCursor in(m_frame + offset, rowBytes, m_height, -above);
        chroma_sse2::RowCursor ahead(m_frame + offset, rowBytes, m_height, chroma_sse2::kPrefetchRows - above);
        __m128i window[G][n];
        auto loadNext = [&](int slot) {
            chroma_sse2::PrefetchColumns<G, EndsHalf>(ahead.Row());
            ForEachIndex<G>([&](int g) {
                window[g][slot] = chroma_sse2::LoadChroma(in.Row() + kColumnBytes * g, EndsHalf && g == G - 1);
            });
            in.Advance();
            ahead.Advance();
        };
        for (int slot = 1; slot < n; ++slot)
            loadNext(slot);
        uint8_t* out = m_frame + offset;
        auto step = [&](int slot) {
            loadNext(slot);
            ForEachIndex<G>([&](int g) {
                chroma_sse2::StoreChroma(out + kColumnBytes * g, Network::Select(window[g]), EndsHalf && g == G - 1);
            });
            out += rowBytes;
        };
        int32_t r = 0;
        if constexpr (n >= 4) {
            // The networks give the same value for any order of the rows, so the new row can replace the
            // oldest where it lies; unrolled over a whole turn, every slot stays in place. For two or three
            // rows, moving them down a place each row measured faster than the turn's larger code.
            for (; r + n <= m_height; r += n)
                ForEachIndex<n>(step);
            for (int slot = 0; r < m_height; ++r, ++slot)
                step(slot);
        } else {
            for (; r < m_height; ++r) {
                ForEachIndex<G>([&](int g) {
                    for (int j = 0; j + 1 < n; ++j)
                        window[g][j] = window[g][j + 1];
                });
                step(n - 1);
            }
        }
    }

private:
    uint8_t* m_frame;
    size_t m_rowBytes;
    int32_t m_height;
};

template <class Network>
void RunNetwork(uint8_t* frame, const FrameSize* size)
{
    const NetworkWalker<Network> walker(frame, *size);
    chroma_sse2::ForEachColumnGroup<kColumnsPerWalk>(size->width, walker);
}

}  // namespace

void ChromaMedianNetwork_SSE2(uint8_t* frame, const FrameSize* size, uint8_t*, int32_t count)
{
    switch (count) {
    case 2: RunNetwork<Rank1Of2>(frame, size); break;
    case 3: RunNetwork<Rank1Of3>(frame, size); break;
    case 4: RunNetwork<Rank2Of4>(frame, size); break;
    case 5: RunNetwork<Rank2Of5>(frame, size); break;
    }
}
