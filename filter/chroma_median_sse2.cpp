// The chroma median for any window size with SSE2, by sorted blocks of rows.
//
// Position q of a column holds row q - a, clamped to the frame: the column as the windows see it, so the
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

#include <algorithm>

#include "filter/chroma_median_block_layout.h"
#include "filter/chroma_median_sse2_columns.h"
#include "filter/chroma_median_variants.h"

namespace {

using chroma_sse2::kColumnBytes;

// The twin of PlaneBlockWalker (filter/chroma_median_plane_walk.h), name for name, so that a fix in one is
// carried to the other by reading. They stay apart: one template for both measured 5 to 25 % slower in the
// 32-bit DLL.
class BlockMergeWalker {
public:
    using V = chroma_sse2::Vector;
    using Reg = V::Reg;

    BlockMergeWalker(uint8_t* frame, const FrameSize& size, uint8_t* scratch, int32_t count)
        : m_frame(frame),
          m_rowBytes(2 * static_cast<size_t>(size.width)),
          m_height(size.height),
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

    // Filters G columns from the byte offset down the frame, the last one half when EndsHalf.
    template <int G, bool EndsHalf>
    void Run(size_t offset) const
    {
        GroupWalk<G, EndsHalf> walk(*this, offset);
        const int32_t count = m_layout.count;
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
    // The head of headRows rows (index headRows - 1) takes its newest row into ranks topRank down to
    // topRank - ranks + 1 and pairs each with a tail rank for the selection.
    struct HeadInsertion {
        int32_t topRank;
        int32_t ranks;
        bool topRankIsNew;        // the head reaches rank topRank only now: its old value counts as 255
        int32_t pairedTailEntry;  // tail entry paired with topRank: rank h - 1 - topRank
        int32_t tailAloneEntry;   // tail entry of rank h when the tail alone may hold the value, else -1
    };

    // The tail of tailRows rows is sorted from the one of tailRows - 1: entries from the lowest kept rank on.
    struct TailSort {
        int32_t shorterFrom;
        int32_t longerFrom;
        int32_t ranks;
    };

    // One walk down G columns: the rows read (and the ones asked for ahead), the output row written next,
    // and where the block's rows, its head and the previous block's tails lie in the scratch.
    template <int G, bool EndsHalf>
    class GroupWalk {
    public:
        GroupWalk(const BlockMergeWalker& walker, size_t offset)
            : m_walker(walker),
              m_in(walker.m_frame + offset, walker.m_rowBytes, walker.m_height, -walker.m_layout.a),
              m_ahead(walker.m_frame + offset, walker.m_rowBytes, walker.m_height, kPrefetchRows - walker.m_layout.a),
              m_out(walker.m_frame + offset),
              m_blockRows(walker.m_scratch + G * walker.m_layout.BlockRowsStart()),
              m_head(walker.m_scratch + G * (walker.m_layout.HeadStart() + 1)),
              m_tails(walker.m_scratch + G * walker.m_layout.TailsStart())
        {
            walker.WriteGuards<G>(m_head, m_tails);
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
            InsertIntoHeadAndSelect<G>(m_walker.m_headInsertions[inBlock], m_head, m_tails,
                                       m_blockRows + G * inBlock, selected);
            StoreRow(selected);
        }

        // The block is complete: sorts its tails and writes the window that is the whole block, whose value
        // is the one rank the full tail keeps.
        void FinishBlock()
        {
            m_walker.SortTails<G>(m_blockRows, m_tails);
            StoreRow(m_tails + G * m_walker.m_tailLowestEntry[m_walker.m_layout.count]);
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

    // Inserts x into the head, from rank topRank down, and selects as it goes.
    template <int G>
    static void InsertIntoHeadAndSelect(const HeadInsertion& insertion, Reg* head, const Reg* tails,
                                        const Reg* x, Reg* selected)
    {
        // A copy: stores through Reg may alias anything, so the fields would be read again.
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

    uint8_t* m_frame;
    size_t m_rowBytes;
    int32_t m_height;
    ChromaBlockLayout m_layout;
    Reg* m_scratch;
    int32_t m_tailLowestEntry[kMaxMedianWindow + 1];
    TailSort m_tailSorts[kMaxMedianWindow + 1];
    HeadInsertion m_headInsertions[kMaxMedianWindow];
};

}  // namespace

void ChromaMedianFilter_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count)
{
    if (count <= 1)
        return;
    const BlockMergeWalker walker(frame, *size, scratch, count);
    chroma_sse2::ForEachColumnGroup<kChromaBlockColumnsPerWalk>(size->width, walker);
}
