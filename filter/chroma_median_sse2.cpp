// The chroma median for any window size with SSE2. The clamped column is cut into blocks of `count` rows;
// each window is the tail of one block (t rows) plus the head of the next (l = count - t rows), and its
// rank-h value comes from the two sorted parts by min/max alone:
//   rank h of A u B = min over j of max(A[h-1-j], B[j]),   A[-1] = B[-1] = 0,
// because every split of the h + 1 smallest values into j + 1 from B and h - j from A bounds the value from
// above and the true split meets it. Inserting y into a sorted list L is also min/max alone, one rank at a
// time: L'[j] = max(L[j-1], min(L[j], y)); so a list can be kept to the ranks that matter. Tails are sorted
// once per block, shortest first; the head takes one insertion per row, fused with the selection.

#include <algorithm>

#include "filter/chroma_median_block_layout.h"
#include "filter/chroma_median_sse2_columns.h"
#include "filter/chroma_median_variants.h"

namespace {

using chroma_sse2::ForEachIndex;
using chroma_sse2::kColumnBytes;

inline __m128i Min(__m128i x, __m128i y) { return _mm_min_epu8(x, y); }
inline __m128i Max(__m128i x, __m128i y) { return _mm_max_epu8(x, y); }

class BlockMergeWalker {
public:
    BlockMergeWalker(uint8_t* frame, const FrameSize& size, uint8_t* scratch, int32_t count)
        : m_frame(frame),
          m_rowBytes(2 * static_cast<size_t>(size.width)),
          m_height(size.height),
          m_layout(count),
          m_scratch(reinterpret_cast<__m128i*>(scratch))
    {
        const ChromaBlockLayout& layout = m_layout;
        for (int32_t t = 0; t <= count; ++t)
            m_tailAtLow[t] = layout.TailEntry(t, layout.TailLow(t));
        for (int32_t t = 1; t <= count; ++t) {
            const int32_t low = layout.TailLow(t);
            m_tailSteps[t] = {layout.TailEntry(t - 1, low), m_tailAtLow[t], layout.TailHigh(t) - low + 1};
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

    template <int G, bool EndsHalf>
    void Run(size_t offset) const
    {
        const ChromaBlockLayout layout = m_layout;
        const int32_t n = layout.count;
        const int32_t height = m_height;
        const size_t rowBytes = m_rowBytes;
        const int32_t wholeBlockEntry = m_tailAtLow[n];
        __m128i* const rows = m_scratch + G * layout.RowsStart();
        __m128i* const heads = m_scratch + G * (layout.HeadsStart() + 1);
        __m128i* const tails = m_scratch + G * layout.TailsStart();
        WriteGuards<G>(heads, tails);

        // Position q holds row q - a, clamped: the column as the windows see it. The window ending at
        // position q belongs to output row q - (count - 1).
        chroma_sse2::RowCursor in(m_frame + offset, rowBytes, height, -layout.a);
        chroma_sse2::RowCursor ahead(m_frame + offset, rowBytes, height, chroma_sse2::kPrefetchRows - layout.a);
        auto loadNext = [&](int32_t inBlock) {
            chroma_sse2::PrefetchColumns<G, EndsHalf>(ahead.Row());
            ForEachIndex<G>([&](int g) {
                rows[G * inBlock + g] = chroma_sse2::LoadChroma(in.Row() + kColumnBytes * g, EndsHalf && g == G - 1);
            });
            in.Advance();
            ahead.Advance();
        };
        uint8_t* out = m_frame + offset;
        auto storeNext = [&](const __m128i* selected) {
            ForEachIndex<G>([&](int g) {
                chroma_sse2::StoreChroma(out + kColumnBytes * g, selected[g], EndsHalf && g == G - 1);
            });
            out += rowBytes;
        };
        // The window is a whole block: its value is the middle of the full tail.
        auto completeBlock = [&] {
            BuildTails<G>(rows, tails);
            storeNext(tails + G * wholeBlockEntry);
        };

        for (int32_t inBlock = 0; inBlock < n; ++inBlock)
            loadNext(inBlock);
        completeBlock();
        for (int32_t remaining = height - 1; remaining > 0;) {
            for (int32_t inBlock = 0; inBlock < n - 1 && remaining > 0; ++inBlock, --remaining) {
                loadNext(inBlock);
                __m128i selected[G];
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
    // What the head of `length` rows (length = index + 1) reads and writes: ranks top down to
    // top - ranks + 1, and the tail ranks that pair with them.
    struct HeadStep {
        int32_t top;
        int32_t ranks;
        bool topIsNew;       // rank top is new to the head: its old value counts as 255
        int32_t firstTail;   // tail entry paired with rank top: rank h - 1 - top
        int32_t lowestTail;  // tail entry of rank h when the tail alone may hold the value, else -1
    };

    // Where the tail of t rows is computed from the tail of t - 1: entries of rank TailLow(t) in both.
    struct TailStep {
        int32_t shorterAtLow;
        int32_t longerAtLow;
        int32_t ranks;
    };

    // Guards never change within a call: 0 below every list, 255 above.
    template <int G>
    void WriteGuards(__m128i* heads, __m128i* tails) const
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i full = _mm_set1_epi8(-1);
        ForEachIndex<G>([&](int g) { heads[g - G] = zero; });
        for (int32_t t = 0; t <= m_layout.count; ++t) {
            __m128i* low = tails + G * m_tailAtLow[t];
            __m128i* aboveHigh = low + G * (m_layout.TailHigh(t) - m_layout.TailLow(t) + 1);
            ForEachIndex<G>([&](int g) {
                low[g - G] = zero;
                aboveHigh[g] = full;
            });
        }
    }

    // Sorts every tail of the completed block, shortest first, each from the one before with the next row
    // up inserted; only the ranks a window reads are computed.
    template <int G>
    void BuildTails(const __m128i* rows, __m128i* tails) const
    {
        const int32_t n = m_layout.count;
        for (int32_t t = 1; t <= n; ++t) {
            const TailStep step = m_tailSteps[t];
            const __m128i* shorter = tails + G * step.shorterAtLow;
            __m128i* longer = tails + G * step.longerAtLow;
            const __m128i* const shorterEnd = shorter + G * step.ranks;
            __m128i y[G];
            ForEachIndex<G>([&](int g) { y[g] = rows[G * (n - t) + g]; });
            for (; shorter != shorterEnd; shorter += G, longer += G) {
                ForEachIndex<G>([&](int g) { longer[g] = Max(shorter[g - G], Min(shorter[g], y[g])); });
            }
        }
    }

    // Inserts x into the head, from rank top down, and selects as it goes.
    template <int G>
    static void InsertIntoHeadAndSelect(const HeadStep& step, __m128i* heads, const __m128i* tails, const __m128i* x,
                                        __m128i* selected)
    {
        // A copy: stores through __m128i may alias anything, so the step's fields would be read again.
        const HeadStep local = step;
        __m128i* head = heads + G * local.top;
        const __m128i* tail = tails + G * local.firstTail;
        const __m128i* const tailEnd = tail + G * local.ranks;
        __m128i best[G];
        ForEachIndex<G>([&](int g) {
            if (local.topIsNew)
                head[g] = _mm_set1_epi8(-1);
            best[g] = _mm_set1_epi8(-1);
        });
        for (; tail != tailEnd; head -= G, tail += G) {
            ForEachIndex<G>([&](int g) {
                const __m128i inserted = Max(head[g - G], Min(head[g], x[g]));
                head[g] = inserted;
                best[g] = Min(best[g], Max(tail[g], inserted));
            });
        }
        if (local.lowestTail >= 0)
            ForEachIndex<G>([&](int g) { best[g] = Min(best[g], tails[G * local.lowestTail + g]); });
        ForEachIndex<G>([&](int g) { selected[g] = best[g]; });
    }

    uint8_t* m_frame;
    size_t m_rowBytes;
    int32_t m_height;
    ChromaBlockLayout m_layout;
    __m128i* m_scratch;
    int32_t m_tailAtLow[kMaxMedianWindow + 1];
    TailStep m_tailSteps[kMaxMedianWindow + 1];
    HeadStep m_headSteps[kMaxMedianWindow];
};

}  // namespace

void ChromaMedianFilter_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count)
{
    if (count == 1)
        return;
    const BlockMergeWalker walker(frame, *size, scratch, count);
    chroma_sse2::ForEachColumnGroup<kChromaBlockColumnsPerWalk>(size->width, walker);
}
