#include "filter/chroma_median.h"

#include <algorithm>

#include "filter/chroma_median_block_layout.h"
#include "filter/cpu_features.h"

// The vectorised variants, each instruction set's in a file of its own (filter/chroma_median_sse2.cpp),
// compiled with that set: sorted blocks of rows merged with min/max serve any count; the selection networks
// only counts 2 to 5, and use no scratch.
void ChromaMedianFilter_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);
void ChromaMedianNetwork_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);

namespace {

constexpr int kLanes = 8;
constexpr size_t kStripBytes = 16;
constexpr size_t kSlotBytes = 16;
constexpr size_t kRankTableBytes = kSlotBytes * kMaxMedianWindow;
static_assert(kMaxMedianWindow <= INT8_MAX, "a window's ranks are kept in signed bytes");

// Frames beyond this many pixels are refused: 2 bytes a pixel must stay far below a 32-bit address space.
constexpr int64_t kMaxFramePixels = int64_t{1} << 28;

// The running rank table of one strip, kept in the scratch buffer as the frame's WindowSlots:
// slot j holds 8 signed ranks, then 8 samples, one of each per lane.
class RankTable {
public:
    RankTable(uint8_t* slots, int count) : m_slots(slots), m_count(count), m_h(count / 2) {}

    void Reset(const uint8_t* stripRow)
    {
        for (int j = 0; j < m_count; ++j) {
            for (int lane = 0; lane < kLanes; ++lane) {
                Rank(j)[lane] = static_cast<int8_t>(j);
                Sample(j)[lane] = stripRow[2 * lane + 1];
            }
        }
        m_cursor = 0;
    }

    // Replaces the oldest sample of every lane by the row's and leaves each lane's rank-h sample in selected.
    void Insert(const uint8_t* stripRow, uint8_t* selected)
    {
        const int k = m_cursor;
        for (int lane = 0; lane < kLanes; ++lane) {
            const uint8_t x = stripRow[2 * lane + 1];
            const int old = Rank(k)[lane];
            int newRank = 0;
            for (int j = 0; j < m_count; ++j) {
                if (j == k)
                    continue;
                int rank = Rank(j)[lane];
                rank -= rank > old;
                const bool below = Sample(j)[lane] < x;
                newRank += below;
                rank += !below;
                Rank(j)[lane] = static_cast<int8_t>(rank);
                if (rank == m_h)
                    selected[lane] = Sample(j)[lane];
            }
            Rank(k)[lane] = static_cast<int8_t>(newRank);
            Sample(k)[lane] = x;
            if (newRank == m_h)
                selected[lane] = x;
        }
        m_cursor = m_cursor + 1 == m_count ? 0 : m_cursor + 1;
    }

private:
    int8_t* Rank(int slot) { return reinterpret_cast<int8_t*>(m_slots + kSlotBytes * slot); }
    uint8_t* Sample(int slot) { return m_slots + kSlotBytes * slot + kLanes; }

    uint8_t* m_slots;
    int m_count;
    int m_h;
    int m_cursor = 0;
};

void WriteChroma(uint8_t* stripRow, const uint8_t* selected)
{
    for (int lane = 0; lane < kLanes; ++lane)
        stripRow[2 * lane + 1] = selected[lane];
}

}  // namespace

void ChromaMedianFilter_C(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count)
{
    if (count <= 1)
        return;
    const int32_t height = size->height;
    const int32_t h = count / 2;
    const size_t rowBytes = 2 * static_cast<size_t>(size->width);
    const int32_t strips = size->width / 8;
    RankTable table(scratch, count);
    uint8_t selected[kLanes];

    for (int32_t s = 0; s < strips; ++s) {
        uint8_t* strip = frame + kStripBytes * s;
        auto row = [&](int32_t r) { return strip + rowBytes * r; };
        table.Reset(row(0));
        for (int32_t r = 0; r < h; ++r)
            table.Insert(row(r), selected);
        for (int32_t r = 0; r < height - h; ++r) {
            table.Insert(row(r + h), selected);
            WriteChroma(row(r), selected);
        }
        for (int32_t r = height - h; r < height; ++r) {
            table.Insert(row(height - 1), selected);
            WriteChroma(row(r), selected);
        }
    }
}

bool ChromaMedianPreconditionsHold(const FrameSize& size, int32_t count)
{
    if (count < kMinMedianWindow || count > kMaxMedianWindow)
        return false;
    if (size.width < 8 || size.width % 2 != 0 || size.height <= count / 2)
        return false;
    return int64_t{size.width} * size.height <= kMaxFramePixels;
}

size_t ChromaScratchBytes(const FrameSize&) { return std::max(kRankTableBytes, kChromaBlockScratchBytes); }

std::span<const ChromaMedianVariant> ChromaMedianVariants()
{
    static constexpr ChromaMedianVariant kVariants[] = {
        {"ChromaMedianFilter_C", ChromaMedianFilter_C, 0},
        {"ChromaMedianFilter_SSE2", ChromaMedianFilter_SSE2, kCpuSSE2},
        {"ChromaMedianNetwork_SSE2", ChromaMedianNetwork_SSE2, kCpuSSE2, 2, 5},
    };
    return kVariants;
}

ChromaMedianKernels ChooseChromaMedianKernels(uint32_t cpuFeatures)
{
    return {ChooseKernelsByCount(ChromaMedianVariants(), cpuFeatures)};
}
