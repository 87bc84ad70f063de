// The packed frames' chroma median with SSE2: sorted blocks of rows for any count, selection networks for
// the small ones.
//
// The sorted blocks. Position q of a column holds row q - a, clamped to the frame: the column as the windows see it, so the
// window of output row r is positions r ... r + count - 1. The positions are cut into blocks of count. A
// window that starts a block is that whole block; any other is the tail of one block (its last tailRows
// positions) and the head of the next (its first headRows = count - tailRows positions). With A the
// sorted tail and B the sorted head, the rank-h value comes from the two by min/max alone:
//   rank h of A u B = min over j of max(A[h-1-j], B[j]),   A[-1] = B[-1] = 0,
// leaving out the terms whose rank lies past the end of A or B, because every split of the h + 1 smallest
// values into j + 1 from B and h - j from A bounds the value from above and the true split meets it.
// Inserting y into a sorted list L is also min/max alone, one rank at a time: L'[j] = max(L[j-1],
// min(L[j], y)); so a list can be kept to the ranks that matter. When a block is complete its tails are
// sorted once, shortest first, each from the one before; the head then takes one insertion per row, fused
// with the selection.
//
// A worked example: count 4 (h = 2, a = 1), one lane holding 10, 200, 12, 11, 13 in rows 0 to 4.
// Positions 0 ... 7 hold rows 0, 0, 1, 2 | 3, 4, 4, 4, that is 10, 10, 200, 12 | 11, 13, 13, 13.
//   row 0: the whole first block, sorted 10, 10, 12, 200: rank 2 is 12.
//   row 1: tail A = 10, 12, 200 and head B = 11: min(max(A[1], B[0]), max(A[2], B[-1])) = min(12, 200) = 12.
//   row 2: tail A = 12, 200 and head B = 11, 13: min(max(A[1], B[0]), max(A[0], B[1])) = min(200, 13) = 13.
//   row 3: tail A = 12 and head B = 11, 13, 13: min(max(A[0], B[1]), max(A[-1], B[2])) = min(13, 13) = 13.
//   row 4: the whole second block, sorted 11, 13, 13, 13: rank 2 is 13.

#include "filter/chroma_median_block_merge.h"
#include "filter/chroma_median_sse2_columns.h"
#include "filter/vector_sse2.h"

namespace {

using chroma_sse2::kColumnBytes;
using V = VectorSse2;
using Reg = V::Reg;

class BlockMergeWalker {
public:
    BlockMergeWalker(uint8_t* frame, const FrameSize& size, uint8_t* scratch, int32_t count)
        : m_frame(frame),
          m_rowBytes(2 * static_cast<size_t>(size.width)),
          m_height(size.height),
          m_merge(count),
          m_scratch(reinterpret_cast<Reg*>(scratch))
    {
    }

    // Filters G columns from the byte offset down the frame, the last one half when EndsHalf.
    template <int G, bool EndsHalf>
    void Run(size_t offset) const
    {
        GroupWalk<G, EndsHalf> walk(*this, offset);
        const int32_t count = m_merge.Layout().count;
        for (int32_t inBlock = 0; inBlock < count; ++inBlock)
            walk.LoadRow(inBlock);
        walk.FinishBlock();
        for (int32_t rowsLeft = m_height - 1; rowsLeft > 0;) {
            for (int32_t inBlock = 0; inBlock < count - 1 && rowsLeft > 0; ++inBlock, --rowsLeft) {
                walk.LoadRow(inBlock);
                walk.FinishHeadRow(inBlock);
            }
            if (rowsLeft > 0) {
                walk.LoadRow(count - 1);
                walk.FinishBlock();
                --rowsLeft;
            }
        }
    }

private:
    // One walk down G columns: the rows read (and the ones asked for ahead), the output row written next,
    // and where the block's rows, its head and the previous block's tails lie in the scratch.
    template <int G, bool EndsHalf>
    class GroupWalk {
    public:
        GroupWalk(const BlockMergeWalker& walker, size_t offset)
            : m_walker(walker),
              m_in(walker.m_frame + offset, walker.m_rowBytes, walker.m_height, -walker.m_merge.Layout().a),
              m_ahead(walker.m_frame + offset, walker.m_rowBytes, walker.m_height,
                      kPrefetchRows - walker.m_merge.Layout().a),
              m_out(walker.m_frame + offset),
              m_blockRows(walker.m_scratch + G * walker.m_merge.Layout().BlockRowsStart()),
              m_head(walker.m_scratch + G * (walker.m_merge.Layout().HeadStart() + 1)),
              m_tails(walker.m_scratch + G * walker.m_merge.Layout().TailsStart())
        {
            walker.m_merge.template WriteGuards<G>(m_head, m_tails);
        }

        // Reads the next position into the block's rows.
        void LoadRow(int32_t inBlock)
        {
            chroma_sse2::PrefetchColumns<G, EndsHalf>(m_ahead.Row());
            ForEachIndex<G>([&](int g) {
                m_blockRows[G * inBlock + g] =
                    chroma_sse2::LoadChroma(m_in.Row() + kColumnBytes * g, EndsHalf && g == G - 1);
            });
            m_in.Advance();
            m_ahead.Advance();
        }

        // The head has taken its row inBlock: inserts it and writes the window of tail and head.
        void FinishHeadRow(int32_t inBlock)
        {
            Reg selected[G];
            m_walker.m_merge.template InsertIntoHeadAndSelect<G>(inBlock, m_head, m_tails, m_blockRows + G * inBlock,
                                                                 selected);
            StoreRow(selected);
        }

        // The block is complete: sorts its tails and writes the window that is the whole block.
        void FinishBlock()
        {
            m_walker.m_merge.template SortTails<G>(m_blockRows, m_tails);
            StoreRow(m_tails + G * m_walker.m_merge.WholeBlockEntry());
        }

    private:
        void StoreRow(const Reg* selected)
        {
            ForEachIndex<G>([&](int g) {
                chroma_sse2::StoreChroma(m_out + kColumnBytes * g, selected[g], EndsHalf && g == G - 1);
            });
            m_out += m_walker.m_rowBytes;
        }

        const BlockMergeWalker& m_walker;
        chroma_sse2::RowCursor m_in;
        chroma_sse2::RowCursor m_ahead;
        uint8_t* m_out;
        Reg* const m_blockRows;
        Reg* const m_head;
        Reg* const m_tails;
    };

    uint8_t* m_frame;
    size_t m_rowBytes;
    int32_t m_height;
    BlockMerge<V> m_merge;
    Reg* m_scratch;
};

// The selection networks (filter/chroma_median_vector_common.h) for the small windows: the count rows of
// each window stay in registers as the walk moves down, two columns at a time, so that the 32-bit build's
// eight registers hold the windows of both.
constexpr int kColumnsPerWalk = 2;

template <int Count>
class NetworkWalker {
public:
    using Network = SelectionNetwork<V, Count>;

    NetworkWalker(uint8_t* frame, const FrameSize& size)
        : m_frame(frame), m_rowBytes(2 * static_cast<size_t>(size.width)), m_height(size.height)
    {
    }

    template <int G, bool EndsHalf>
    void Run(size_t offset) const
    {
        constexpr int above = Count - 1 - Count / 2;
        const size_t rowBytes = m_rowBytes;
        // Position q holds row q - above, clamped; the window ending at position q belongs to row q - (Count - 1).
        chroma_sse2::RowCursor in(m_frame + offset, rowBytes, m_height, -above);
        chroma_sse2::RowCursor ahead(m_frame + offset, rowBytes, m_height, kPrefetchRows - above);
        Reg window[G][Count];
        auto loadNext = [&](int slot) {
            chroma_sse2::PrefetchColumns<G, EndsHalf>(ahead.Row());
            ForEachIndex<G>([&](int g) {
                window[g][slot] = chroma_sse2::LoadChroma(in.Row() + kColumnBytes * g, EndsHalf && g == G - 1);
            });
            in.Advance();
            ahead.Advance();
        };
        for (int slot = 1; slot < Count; ++slot)
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
        if constexpr (Count >= 4) {
            // The networks give the same value for any order of the rows, so the new row can replace the
            // oldest where it lies; unrolled over a whole turn, every slot stays in place. Two or three rows
            // are cheaper to move down a place each row than the turn's larger code.
            for (; r + Count <= m_height; r += Count)
                ForEachIndex<Count>(step);
            for (int slot = 0; r < m_height; ++r, ++slot)
                step(slot);
        } else {
            for (; r < m_height; ++r) {
                ForEachIndex<G>([&](int g) {
                    for (int j = 0; j + 1 < Count; ++j)
                        window[g][j] = window[g][j + 1];
                });
                step(Count - 1);
            }
        }
    }

private:
    uint8_t* m_frame;
    size_t m_rowBytes;
    int32_t m_height;
};

template <int Count>
void RunNetwork(uint8_t* frame, const FrameSize* size)
{
    const NetworkWalker<Count> walker(frame, *size);
    chroma_sse2::ForEachColumnGroup<kColumnsPerWalk>(size->width, walker);
}

}  // namespace

void ChromaMedianFilter_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count)
{
    if (count <= 1)
        return;
    const BlockMergeWalker walker(frame, *size, scratch, count);
    chroma_sse2::ForEachColumnGroup<kChromaBlockColumnsPerWalk>(size->width, walker);
}

void ChromaMedianNetwork_SSE2(uint8_t* frame, const FrameSize* size, uint8_t*, int32_t count)
{
    switch (count) {
    case 2: RunNetwork<2>(frame, size); break;
    case 3: RunNetwork<3>(frame, size); break;
    case 4: RunNetwork<4>(frame, size); break;
    case 5: RunNetwork<5>(frame, size); break;
    }
}
