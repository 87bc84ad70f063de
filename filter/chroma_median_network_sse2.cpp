// The selection networks (filter/chroma_median_vector_common.h) over packed frames, for the small windows:
// the count rows of each window stay in registers as the walk moves down, and the rank-h value is a handful
// of unsigned byte min/max operations.

#include "filter/chroma_median_sse2_columns.h"
#include "filter/chroma_median_variants.h"

namespace {

using chroma_sse2::kColumnBytes;

// Columns walked down together: two measured fastest in the 32-bit build (one and four were slower), its
// eight registers holding the windows of both.
constexpr int kColumnsPerWalk = 2;

template <int N>
class NetworkWalker {
public:
    using Network = SelectionNetwork<chroma_sse2::Vector, N>;

    NetworkWalker(uint8_t* frame, const FrameSize& size)
        : m_frame(frame), m_rowBytes(2 * static_cast<size_t>(size.width)), m_height(size.height)
    {
    }

    template <int G, bool EndsHalf>
    void Run(size_t offset) const
    {
        constexpr int above = N - 1 - N / 2;
        const size_t rowBytes = m_rowBytes;
        // Position q holds row q - above, clamped; the window ending at position q belongs to row q - (N - 1).
        chroma_sse2::RowCursor in(m_frame + offset, rowBytes, m_height, -above);
        chroma_sse2::RowCursor ahead(m_frame + offset, rowBytes, m_height, kPrefetchRows - above);
        __m128i window[G][N];
        auto loadNext = [&](int slot) {
            chroma_sse2::PrefetchColumns<G, EndsHalf>(ahead.Row());
            ForEachIndex<G>([&](int g) {
                window[g][slot] = chroma_sse2::LoadChroma(in.Row() + kColumnBytes * g, EndsHalf && g == G - 1);
            });
            in.Advance();
            ahead.Advance();
        };
        for (int slot = 1; slot < N; ++slot)
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
        if constexpr (N >= 4) {
            // The networks give the same value for any order of the rows, so the new row can replace the
            // oldest where it lies; unrolled over a whole turn, every slot stays in place. For two or three
            // rows, moving them down a place each row measured faster than the turn's larger code.
            for (; r + N <= m_height; r += N)
                ForEachIndex<N>(step);
            for (int slot = 0; r < m_height; ++r, ++slot)
                step(slot);
        } else {
            for (; r < m_height; ++r) {
                ForEachIndex<G>([&](int g) {
                    for (int j = 0; j + 1 < N; ++j)
                        window[g][j] = window[g][j + 1];
                });
                step(N - 1);
            }
        }
    }

private:
    uint8_t* m_frame;
    size_t m_rowBytes;
    int32_t m_height;
};

template <int N>
void RunNetwork(uint8_t* frame, const FrameSize* size)
{
    const NetworkWalker<N> walker(frame, *size);
    chroma_sse2::ForEachColumnGroup<kColumnsPerWalk>(size->width, walker);
}

}  // namespace

void ChromaMedianNetwork_SSE2(uint8_t* frame, const FrameSize* size, uint8_t*, int32_t count)
{
    switch (count) {
    case 2: RunNetwork<2>(frame, size); break;
    case 3: RunNetwork<3>(frame, size); break;
    case 4: RunNetwork<4>(frame, size); break;
    case 5: RunNetwork<5>(frame, size); break;
    }
}
