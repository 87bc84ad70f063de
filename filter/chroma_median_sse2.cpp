// The chroma median for any window size with SSE2: the clamped column is cut into blocks of `count` rows,
// each window is the tail of one block plus the head of the next, and the window's rank-h value comes from
// the two sorted parts by min/max alone. For sorted tail A and sorted head B with |A| + |B| = count,
//   rank h of A u B = min over i of max(A[i-1], B[h-i]),   A[-1] = B[-1] = -infinity,
// since every split of the h + 1 smallest values into i from A and h + 1 - i from B bounds the value from
// above and the true split meets it. Tails are sorted once per block (backwards, as insertions), heads grow
// by one insertion per row.

#include <algorithm>

#include "filter/chroma_median_block_layout.h"
#include "filter/chroma_median_sse2_columns.h"
#include "filter/chroma_median_variants.h"

namespace {

using chroma_sse2::ClampedRows;
using chroma_sse2::ForEachColumn;
using chroma_sse2::kColumnBytes;

class BlockMergeWalker {
public:
    BlockMergeWalker(uint8_t* frame, const FrameSize& size, uint8_t* scratch, int32_t count)
        : m_rows{frame, 2 * static_cast<size_t>(size.width), size.height},
          m_layout(count),
          m_scratch(reinterpret_cast<__m128i*>(scratch))
    {
    }

    template <int G, bool EndsHalf>
    void Run(size_t offset) const
    {
        const ChromaBlockLayout& layout = m_layout;
        __m128i* const rows = m_scratch + G * layout.RowsStart();
        __m128i* const heads = m_scratch + G * layout.HeadsStart();
        __m128i* const tails = m_scratch + G * layout.TailsStart();
        const int32_t positions = m_rows.height + layout.count - 1;
        int32_t inBlock = 0;
        bool previousBlock = false;

        // Position q holds row q - a: the column as the windows see it, first row repeated above the frame
        // and last row below. The window that ends at position q is the one of output row q - (count - 1).
        for (int32_t q = 0; q < positions; ++q) {
            const uint8_t* in = m_rows.Row(q - layout.a) + offset;
            __m128i x[G];
            ForEachColumn<G>([&](int g) {
                x[g] = chroma_sse2::LoadChroma(in + kColumnBytes * g, EndsHalf && g == G - 1);
                rows[G * inBlock + g] = x[g];
            });

            __m128i selected[G];
            if (inBlock == layout.count - 1) {
                BuildTails<G>(rows, tails);
                // The window is this whole block: rank h is the smallest value its full tail keeps.
                ForEachColumn<G>([&](int g) { selected[g] = tails[G * layout.TailStart(layout.count) + g]; });
                inBlock = 0;
                previousBlock = true;
            } else {
                InsertIntoHead<G>(heads, std::min(inBlock, layout.HeadCapacity()), x);
                ++inBlock;
                if (!previousBlock)
                    continue;
                SelectFromTailAndHead<G>(tails, heads, inBlock, selected);
            }

            uint8_t* out = m_rows.frame + m_rows.rowBytes * static_cast<size_t>(q - (layout.count - 1)) + offset;
            ForEachColumn<G>([&](int g) {
                chroma_sse2::StoreChroma(out + kColumnBytes * g, selected[g], EndsHalf && g == G - 1);
            });
        }
    }

private:
    // Inserts x into the sorted head of `kept` entries; once it holds h + 1 the largest falls off.
    template <int G>
    void InsertIntoHead(__m128i* heads, int32_t kept, const __m128i* x) const
    {
        __m128i carry[G];
        ForEachColumn<G>([&](int g) { carry[g] = x[g]; });
        for (int32_t i = 0; i < kept; ++i) {
            ForEachColumn<G>([&](int g) {
                const __m128i v = heads[G * i + g];
                heads[G * i + g] = _mm_min_epu8(v, carry[g]);
                carry[g] = _mm_max_epu8(v, carry[g]);
            });
        }
        if (kept < m_layout.HeadCapacity())
            ForEachColumn<G>([&](int g) { heads[G * kept + g] = carry[g]; });
    }

    // Sorts every tail of the completed block, shortest first: each list is the previous one with the next
    // row up inserted, keeping only the a + 1 largest.
    template <int G>
    void BuildTails(const __m128i* rows, __m128i* tails) const
    {
        const ChromaBlockLayout& layout = m_layout;
        const int32_t n = layout.count;
        ForEachColumn<G>([&](int g) { tails[G * layout.TailStart(1) + g] = rows[G * (n - 1) + g]; });
        for (int32_t t = 2; t <= n; ++t) {
            const __m128i* shorter = tails + G * layout.TailStart(t - 1);
            __m128i* longer = tails + G * layout.TailStart(t);
            const int32_t kept = layout.TailKept(t - 1);
            const int32_t dropped = kept == layout.a + 1 ? 1 : 0;
            __m128i carry[G];
            ForEachColumn<G>([&](int g) {
                carry[g] = rows[G * (n - t) + g];
                if (dropped)
                    carry[g] = _mm_max_epu8(shorter[g], carry[g]);
            });
            for (int32_t i = dropped; i < kept; ++i) {
                ForEachColumn<G>([&](int g) {
                    const __m128i v = shorter[G * i + g];
                    longer[G * (i - dropped) + g] = _mm_min_epu8(v, carry[g]);
                    carry[g] = _mm_max_epu8(v, carry[g]);
                });
            }
            ForEachColumn<G>([&](int g) { longer[G * (kept - dropped) + g] = carry[g]; });
        }
    }

    // Rank h of the previous block's tail of count - headLength rows and the current head of headLength.
    template <int G>
    void SelectFromTailAndHead(const __m128i* tails, const __m128i* heads, int32_t headLength,
                               __m128i* selected) const
    {
        const ChromaBlockLayout& layout = m_layout;
        const int32_t h = layout.h;
        const int32_t t = layout.count - headLength;
        // Sorted tail value j lives at entry aBase + j: the list keeps only its TailKept(t) largest.
        const int32_t aBase = layout.TailStart(t) - (t - layout.TailKept(t));
        auto tail = [&](int32_t j, int g) { return tails[G * (aBase + j) + g]; };
        auto head = [&](int32_t j, int g) { return heads[G * j + g]; };

        // Splits with fewer than h + 1 - headLength values from the tail, or more than it has, do not exist.
        const int32_t first = std::max(0, h + 1 - headLength);
        const int32_t last = std::min(t, h + 1);
        const bool allBelowFromTail = last == h + 1;
        int32_t i = first;
        ForEachColumn<G>([&](int g) {
            selected[g] = i == 0 ? head(h, g) : _mm_max_epu8(tail(i - 1, g), head(h - i, g));
        });
        ++i;
        const int32_t lastMixed = allBelowFromTail ? h : last;
        for (; i <= lastMixed; ++i) {
            ForEachColumn<G>([&](int g) {
                selected[g] = _mm_min_epu8(selected[g], _mm_max_epu8(tail(i - 1, g), head(h - i, g)));
            });
        }
        if (allBelowFromTail)
            ForEachColumn<G>([&](int g) { selected[g] = _mm_min_epu8(selected[g], tail(h, g)); });
    }

    ClampedRows m_rows;
    ChromaBlockLayout m_layout;
    __m128i* m_scratch;
};

}  // namespace

void ChromaMedianFilter_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count)
{
    if (count == 1)
        return;
    const BlockMergeWalker walker(frame, *size, scratch, count);
    chroma_sse2::ForEachColumnGroup<kChromaBlockColumnsPerWalk>(size->width, walker);
}
