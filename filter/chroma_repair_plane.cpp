#include "filter/chroma_repair_plane.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "filter/cpu_features.h"

// The suspect mask's vectorised variants, each instruction set's in a file of its own
// (filter/chroma_sparkle_mask_sse2.cpp, filter/chroma_sparkle_mask_avx2.cpp), compiled with that set.
void ChromaSparkleMaskRow_SSE2(const uint8_t* chroma, const uint8_t* median, uint8_t* mask, int32_t width,
                               int32_t threshold);
void ChromaSparkleMaskRow_AVX2(const uint8_t* chroma, const uint8_t* median, uint8_t* mask, int32_t width,
                               int32_t threshold);
void ChromaSparkleMaskRow16_SSE2(const uint16_t* chroma, const uint16_t* median, uint8_t* mask, int32_t width,
                                 int32_t threshold);
void ChromaSparkleMaskRow16_AVX2(const uint16_t* chroma, const uint16_t* median, uint8_t* mask, int32_t width,
                                 int32_t threshold);

namespace {

struct Offset {
    int32_t rows;
    int32_t columns;
    int32_t steps;
};

// The mask's sparkles have the top bit of their byte set, its detail does not: a byte test tells them apart.
static_assert((kMaskSparkle & 0x80) != 0 && (kMaskDetail & 0x80) == 0 && kMaskDetail != 0);

constexpr int32_t kCandidates = (2 * kRepairReachRows + 1) * (2 * kRepairReachColumns + 1) - 1;

// The candidates in the order that breaks ties: nearer first, then upper, then left.
constexpr std::array<Offset, kCandidates> CandidateOrder()
{
    std::array<Offset, kCandidates> order{};
    int32_t next = 0;
    for (int32_t steps = 1; steps <= kRepairReachRows + kRepairReachColumns; ++steps) {
        for (int32_t rows = -kRepairReachRows; rows <= kRepairReachRows; ++rows) {
            for (int32_t columns = -kRepairReachColumns; columns <= kRepairReachColumns; ++columns) {
                if ((rows < 0 ? -rows : rows) + (columns < 0 ? -columns : columns) == steps)
                    order[next++] = {rows, columns, steps};
            }
        }
    }
    return order;
}
constexpr std::array<Offset, kCandidates> kCandidateOrder = CandidateOrder();

constexpr int32_t kCandidateRows = 2 * kRepairReachRows + 1;
constexpr int32_t kCandidateColumns = 2 * kRepairReachColumns + 1;
// The costs of one candidate row are computed for a vector's worth of columns at once; the lanes past the
// candidate columns are blocked (KeyTerms), so they never win.
constexpr int32_t kCostLanes = 8;
constexpr int32_t kCostSlots = kCandidateRows * kCostLanes;
// Lumas and costs in lanes as narrow as the depth allows: a sum of at most four 8-bit samples fits 16 bits,
// and so do the nine differences of a cost; of 16-bit samples they need 32.
template <class Sample>
using Cost = std::conditional_t<sizeof(Sample) == 1, int16_t, int32_t>;
// Above any candidate's cost and steps: nine luma differences of at most 4 * 255 (4 * 65535) and five steps.
template <class Sample>
constexpr int32_t kBlocked = sizeof(Sample) == 1 ? 255 << 7 : 1 << 22;
static_assert(9 * 4 * 255 + 5 * (kRepairStepCost << 2) < kBlocked<uint8_t> && kBlocked<uint8_t> <= INT16_MAX);
static_assert(9 * 4 * 65535 + 5 * (kRepairStepCost << 10) < kBlocked<uint16_t>);

// The lumas of every position a patch of the suspect or of a candidate reads: a 3x3 patch around each
// candidate reaches one position beyond the reach. Rows are padded so that every lane reads a luma.
constexpr int32_t kLumaRows = kCandidateRows + 2;
constexpr int32_t kLumaColumns = kCandidateColumns + 2;
constexpr int32_t kLumaStride = kCostLanes + 2;

// A candidate's cost and its place in the tie order in one number: the lowest key is the winner.
constexpr int32_t kKeyOrderBits = 6;
static_assert(kCandidates < 1 << kKeyOrderBits);
static_assert(kLumaColumns <= kCostLanes);
static_assert((int64_t{kBlocked<uint16_t>} << (kKeyOrderBits + 1)) < INT32_MAX);

// For every cost slot, its candidate's distance cost and tie order as a key term; a slot that is no
// candidate (past the columns, or the suspect's own) is blocked.
using KeyTerms = std::array<int32_t, kCostSlots>;
template <class Sample>
KeyTerms KeyTermsFor(int32_t stepCost)
{
    KeyTerms terms{};
    terms.fill(kBlocked<Sample> << kKeyOrderBits);
    for (int32_t order = 0; order < kCandidates; ++order) {
        const Offset offset = kCandidateOrder[order];
        terms[(kRepairReachRows + offset.rows) * kCostLanes + kRepairReachColumns + offset.columns] =
            ((stepCost * offset.steps) << kKeyOrderBits) + order;
    }
    return terms;
}

// For every cost slot, the mask bits that keep its sample from being a candidate: any suspect, but a
// suspect kept as detail only in the suspect's own row.
constexpr std::array<uint8_t, kCostSlots> BlockingBits()
{
    std::array<uint8_t, kCostSlots> bits{};
    for (int32_t slot = 0; slot < kCostSlots; ++slot)
        bits[slot] = slot / kCostLanes == kRepairReachRows ? kMaskSparkle & ~kMaskDetail : kMaskSparkle | kMaskDetail;
    return bits;
}
constexpr std::array<uint8_t, kCostSlots> kBlockingBits = BlockingBits();

// The sum of the luma samples chroma position (x, y) covers, for one subsampling; x and y inside the plane.
template <int32_t ShiftX, int32_t ShiftY, class Sample>
inline int32_t CoveredLuma(const LumaCoverOf<Sample>& luma, int32_t x, int32_t y)
{
    int32_t sum = 0;
    for (int32_t i = 0; i < 1 << ShiftY; ++i) {
        const Sample* row = luma.first + luma.stride * std::min((y << ShiftY) + i, luma.height - 1);
        for (int32_t j = 0; j < 1 << ShiftX; ++j)
            sum += row[std::min((x << ShiftX) + j, luma.width - 1)];
    }
    return sum;
}

// The sum of the 1 << ShiftX luma samples from row[0]. 8-bit ones are read as one word: its bytes add up the
// same in either byte order, and a row of such sums vectorises as word lanes.
template <int32_t ShiftX, class Sample>
inline int32_t CoveredRowLuma(const Sample* row)
{
    if constexpr (ShiftX == 0) {
        return row[0];
    } else if constexpr (sizeof(Sample) != 1) {
        int32_t sum = 0;
        for (int32_t j = 0; j < 1 << ShiftX; ++j)
            sum += row[j];
        return sum;
    } else if constexpr (ShiftX == 1) {
        uint16_t word;
        std::memcpy(&word, row, sizeof word);
        return (word & 0xFF) + (word >> 8);
    } else {
        uint32_t word;
        std::memcpy(&word, row, sizeof word);
        const uint32_t pairs = (word & 0x00FF00FF) + ((word >> 8) & 0x00FF00FF);
        return static_cast<int32_t>((pairs & 0xFFFF) + (pairs >> 16));
    }
}

// The lumas of the positions around (x, y) that the patches read, clamped to the plane; the padding holds
// lumas only blocked lanes read.
template <int32_t ShiftX, int32_t ShiftY, class Sample>
void PatchLumas(const ChromaRepairPlaneOf<Sample>& plane, int32_t x, int32_t y,
                Cost<Sample> (&luma)[kLumaRows][kLumaStride])
{
    using Luma = Cost<Sample>;
    const int32_t left = x - kRepairReachColumns - 1, top = y - kRepairReachRows - 1;
    const int32_t right = left + kLumaColumns - 1, bottom = top + kLumaRows - 1;
    const LumaCoverOf<Sample>& cover = plane.luma;
    for (Luma(&row)[kLumaStride] : luma)
        std::fill(row + kCostLanes, row + kLumaStride, Luma{0});
    // Most suspects lie inside, where the positions and the luma they cover need no clamping; there a whole
    // vector of positions per row is summed, the one past the patches included, so that the sums vectorise.
    if (left >= 0 && top >= 0 && right < plane.width && bottom < plane.height &&
        ((left + kCostLanes) << ShiftX) <= cover.width && ((bottom + 1) << ShiftY) <= cover.height) {
        const Sample* const first = cover.first + cover.stride * (top << ShiftY) + (left << ShiftX);
        for (int32_t r = 0; r < kLumaRows; ++r) {
            for (int32_t c = 0; c < kCostLanes; ++c) {
                int32_t sum = 0;
                for (int32_t i = 0; i < 1 << ShiftY; ++i)
                    sum += CoveredRowLuma<ShiftX>(first + cover.stride * ((r << ShiftY) + i) + (c << ShiftX));
                luma[r][c] = static_cast<Luma>(sum);
            }
        }
        return;
    }
    int32_t columns[kCostLanes];
    for (int32_t c = 0; c < kCostLanes; ++c)
        columns[c] = std::clamp(left + c, 0, plane.width - 1);
    for (int32_t r = 0; r < kLumaRows; ++r) {
        const int32_t row = std::clamp(top + r, 0, plane.height - 1);
        for (int32_t c = 0; c < kCostLanes; ++c)
            luma[r][c] = static_cast<Luma>(CoveredLuma<ShiftX, ShiftY>(cover, columns[c], row));
    }
}

// |a - b| for lumas: their difference fits the lumas' lanes, and so the vectors stay as wide.
template <class Luma>
inline Luma LumaDifference(Luma a, Luma b)
{
    const auto difference = static_cast<Luma>(a - b);
    return static_cast<Luma>(difference < 0 ? -difference : difference);
}

// Every candidate's cost is computed, without early exits and in flat arrays, so that the loops vectorise;
// the lowest key then picks the winner with the tie order.
template <int32_t ShiftX, int32_t ShiftY, class Sample>
Sample Replacement(const ChromaRepairPlaneOf<Sample>& plane, int32_t x, int32_t y, const KeyTerms& keyTerms)
{
    using Luma = Cost<Sample>;
    const ptrdiff_t workStride = plane.width;
    Luma luma[kLumaRows][kLumaStride];
    PatchLumas<ShiftX, ShiftY>(plane, x, y, luma);
    Luma own[3][3][kCostLanes];
    for (int32_t r = 0; r < 3; ++r) {
        for (int32_t c = 0; c < 3; ++c)
            std::fill_n(own[r][c], kCostLanes, luma[kRepairReachRows + r][kRepairReachColumns + c]);
    }
    Luma cost[kCostSlots];
    for (int32_t rows = 0; rows < kCandidateRows; ++rows) {
        Luma sum[kCostLanes]{};
        for (int32_t r = 0; r < 3; ++r) {
            for (int32_t c = 0; c < 3; ++c) {
                const Luma* const other = luma[rows + r] + c;
                for (int32_t lane = 0; lane < kCostLanes; ++lane)
                    sum[lane] = static_cast<Luma>(sum[lane] + LumaDifference(own[r][c][lane], other[lane]));
            }
        }
        std::copy_n(sum, kCostLanes, cost + rows * kCostLanes);
    }
    // The mask bytes of the slots, a sparkle's outside the plane: a slot that is no candidate costs more than
    // any candidate. The suspect itself is marked in the mask, so it is no candidate of its own.
    uint8_t suspect[kCostSlots];
    std::fill_n(suspect, kCostSlots, kMaskSparkle);
    const int32_t first = x - kRepairReachColumns;
    const bool columnsInside = first >= 0 && first + kCostLanes <= plane.width;
    for (int32_t rows = 0; rows < kCandidateRows; ++rows) {
        const int32_t cy = y + rows - kRepairReachRows;
        if (cy < 0 || cy >= plane.height)
            continue;
        const uint8_t* const mask = plane.mask + workStride * cy;
        if (columnsInside) {
            std::memcpy(suspect + rows * kCostLanes, mask + first, kCostLanes);
        } else {
            for (int32_t lane = 0; lane < kCandidateColumns; ++lane) {
                if (first + lane >= 0 && first + lane < plane.width)
                    suspect[rows * kCostLanes + lane] = mask[first + lane];
            }
        }
    }
    int32_t bestKey = INT32_MAX;
    for (int32_t slot = 0; slot < kCostSlots; ++slot) {
        const int32_t floor = (suspect[slot] & kBlockingBits[slot]) != 0 ? kBlocked<Sample> : 0;
        bestKey = std::min(bestKey, (std::max<int32_t>(cost[slot], floor) << kKeyOrderBits) + keyTerms[slot]);
    }
    if (bestKey >= kBlocked<Sample> << kKeyOrderBits)
        return plane.median[workStride * y + x];
    const Offset best = kCandidateOrder[bestKey & ((1 << kKeyOrderBits) - 1)];
    return plane.chroma[plane.stride * (y + best.rows) + x + best.columns];
}

constexpr uint64_t kSparkleBits = 0x8080808080808080;

// True when none of the 32 mask bytes marks a sparkle.
inline bool NoSparkleIn32(const uint8_t* mask)
{
    uint64_t words[4];
    for (int32_t i = 0; i < 4; ++i)
        std::memcpy(&words[i], mask + 8 * i, sizeof words[i]);
    return ((words[0] | words[1] | words[2] | words[3]) & kSparkleBits) == 0;
}

// One bit per sparkle among the 8 mask bytes from mask[0], as one load; SparkleIndex tells its byte.
inline uint64_t SparkleBits(const uint8_t* mask)
{
    uint64_t word;
    std::memcpy(&word, mask, sizeof word);
    return word & kSparkleBits;
}

// The byte of the lowest bit of nonzero SparkleBits, in the machine's byte order.
inline int32_t SparkleIndex(uint64_t bits)
{
    const int32_t lowest = std::countr_zero(bits) / 8;
    return std::endian::native == std::endian::little ? lowest : 7 - lowest;
}

// Calls visit(x) for every sparkle of the mask row from left to right - 1. Sparkles are rare: clean samples
// are skipped 32 at a time, and a word jumps from sparkle to sparkle.
template <class Visit>
void ForEachSparkle(const uint8_t* mask, int32_t left, int32_t right, Visit&& visit)
{
    auto visitIn8 = [&](int32_t x) {
        for (uint64_t bits = SparkleBits(mask + x); bits != 0; bits &= bits - 1)
            visit(x + SparkleIndex(bits));
    };
    int32_t x = left;
    for (; x + 32 <= right; x += 32) {
        if (NoSparkleIn32(mask + x))
            continue;
        for (int32_t i = x; i < x + 32; i += 8)
            visitIn8(i);
    }
    for (; x + 8 <= right; x += 8)
        visitIn8(x);
    for (; x < right; ++x) {
        if (mask[x] == kMaskSparkle)
            visit(x);
    }
}

// Whether the suspect at (x, y) is thin colour detail: see the header. Reads the mask of column x only,
// and the chroma and luma anywhere, so that it runs in the first stage.
template <int32_t ShiftX, int32_t ShiftY, class Sample>
bool IsThinDetail(const ChromaRepairPlaneOf<Sample>& plane, int32_t x, int32_t y, const RepairLimits& limits)
{
    const int32_t threshold = limits.threshold;
    const int32_t contrast = limits.detailContrast << (ShiftX + ShiftY);
    const int32_t spread = limits.detailSpread << (ShiftX + ShiftY);
    const ptrdiff_t workStride = plane.width;
    int32_t top = y, bottom = y;
    while (top > 0 && bottom - top < kDetailRows && plane.mask[workStride * (top - 1) + x] != 0)
        --top;
    while (bottom + 1 < plane.height && bottom - top < kDetailRows && plane.mask[workStride * (bottom + 1) + x] != 0)
        ++bottom;
    if (top == 0 || bottom + 1 == plane.height || bottom - top + 1 > kDetailRows)
        return false;
    const LumaCoverOf<Sample>& luma = plane.luma;
    const int32_t own = CoveredLuma<ShiftX, ShiftY>(luma, x, y);
    auto lumaAligned = [&](int32_t c) {
        const int32_t here = CoveredLuma<ShiftX, ShiftY>(luma, c, y);
        const int32_t fromAbove = here - CoveredLuma<ShiftX, ShiftY>(luma, c, top - 1);
        const int32_t fromBelow = here - CoveredLuma<ShiftX, ShiftY>(luma, c, bottom + 1);
        return std::abs(here - own) <= spread && ((fromAbove >= contrast && fromBelow >= contrast) ||
                                                  (fromAbove <= -contrast && fromBelow <= -contrast));
    };
    if (!lumaAligned(x))
        return false;
    const Sample* const row = plane.chroma + plane.stride * y;
    int32_t agreeing = 1, differing = 0;
    for (const int32_t step : {-1, 1}) {
        for (int32_t c = x + step; c >= 0 && c < plane.width && std::abs(c - x) <= kDetailReachColumns && lumaAligned(c);
             c += step) {
            if (std::abs(row[c] - row[x]) <= threshold)
                ++agreeing;
            else
                ++differing;
        }
    }
    return agreeing >= kDetailAgreeing && differing < agreeing;
}

template <int32_t ShiftX, int32_t ShiftY, class Sample>
void MarkThinDetail(const ChromaRepairPlaneOf<Sample>& plane, int32_t left, int32_t right, const RepairLimits& limits)
{
    for (int32_t y = 0; y < plane.height; ++y) {
        uint8_t* const mask = plane.mask + ptrdiff_t{plane.width} * y;
        ForEachSparkle(mask, left, right, [&](int32_t x) {
            if (IsThinDetail<ShiftX, ShiftY>(plane, x, y, limits))
                mask[x] = kMaskDetail;
        });
    }
}

template <int32_t ShiftX, int32_t ShiftY, class Sample>
uint64_t ReplaceSparkles(const ChromaRepairPlaneOf<Sample>& plane, int32_t left, int32_t right,
                         const RepairLimits& limits)
{
    const KeyTerms keyTerms = KeyTermsFor<Sample>(limits.stepCost << (ShiftX + ShiftY));
    uint64_t changed = 0;
    for (int32_t y = 0; y < plane.height; ++y) {
        const uint8_t* const mask = plane.mask + ptrdiff_t{plane.width} * y;
        Sample* const row = plane.chroma + plane.stride * y;
        auto replace = [&](int32_t x) {
            const Sample value = Replacement<ShiftX, ShiftY>(plane, x, y, keyTerms);
            // A suspect its best neighbour agrees with is detail, not a sparkle.
            if (std::abs(value - row[x]) > limits.threshold) {
                row[x] = value;
                ++changed;
            }
        };
        ForEachSparkle(mask, left, right, replace);
    }
    return changed;
}

template <class Sample>
void SparkleMaskRowPortable(const Sample* chroma, const Sample* median, uint8_t* mask, int32_t width,
                            int32_t threshold)
{
    for (int32_t x = 0; x < width; ++x)
        mask[x] = std::abs(chroma[x] - median[x]) > threshold ? kMaskSparkle : 0;
}

}  // namespace

void ChromaSparkleMaskRow_C(const uint8_t* chroma, const uint8_t* median, uint8_t* mask, int32_t width,
                            int32_t threshold)
{
    SparkleMaskRowPortable(chroma, median, mask, width, threshold);
}

void ChromaSparkleMaskRow16_C(const uint16_t* chroma, const uint16_t* median, uint8_t* mask, int32_t width,
                              int32_t threshold)
{
    SparkleMaskRowPortable(chroma, median, mask, width, threshold);
}

template <>
std::span<const ChromaSparkleMaskVariant> ChromaSparkleMaskVariants<uint8_t>()
{
    static constexpr ChromaSparkleMaskVariant kVariants[] = {
        {"ChromaSparkleMaskRow_C", ChromaSparkleMaskRow_C, 0},
#if defined(__i386__) || defined(__x86_64__)
        {"ChromaSparkleMaskRow_SSE2", ChromaSparkleMaskRow_SSE2, kCpuSSE2},
#endif
#if defined(__x86_64__)
        {"ChromaSparkleMaskRow_AVX2", ChromaSparkleMaskRow_AVX2, kCpuAVX2},
#endif
    };
    return kVariants;
}

template <>
std::span<const ChromaSparkleMaskVariantOf<uint16_t>> ChromaSparkleMaskVariants<uint16_t>()
{
    static constexpr ChromaSparkleMaskVariantOf<uint16_t> kVariants[] = {
        {"ChromaSparkleMaskRow16_C", ChromaSparkleMaskRow16_C, 0},
#if defined(__i386__) || defined(__x86_64__)
        {"ChromaSparkleMaskRow16_SSE2", ChromaSparkleMaskRow16_SSE2, kCpuSSE2},
#endif
#if defined(__x86_64__)
        {"ChromaSparkleMaskRow16_AVX2", ChromaSparkleMaskRow16_AVX2, kCpuAVX2},
#endif
    };
    return kVariants;
}

template <class Sample>
void DetectChromaSparkles(const ChromaRepairPlaneOf<Sample>& plane, int32_t left, int32_t right, int32_t count,
                          int32_t threshold, const ChromaRepairKernelsOf<Sample>& kernels, uint8_t* scratch)
{
    const RepairLimits limits = RepairLimitsAt(threshold, plane.depth);
    const int32_t width = right - left;
    const ptrdiff_t workStride = plane.width;
    Sample* const median = plane.median + left;
    for (int32_t y = 0; y < plane.height; ++y) {
        std::memcpy(median + workStride * y, plane.chroma + plane.stride * y + left,
                    sizeof(Sample) * static_cast<size_t>(width));
    }
    kernels.median(median, workStride, width, plane.height, count, scratch);
    for (int32_t y = 0; y < plane.height; ++y) {
        kernels.mask(plane.chroma + plane.stride * y + left, median + workStride * y,
                     plane.mask + workStride * y + left, width, limits.threshold);
    }
    switch (plane.luma.shiftX * 2 + plane.luma.shiftY) {
    case 0: MarkThinDetail<0, 0>(plane, left, right, limits); break;
    case 2: MarkThinDetail<1, 0>(plane, left, right, limits); break;
    case 3: MarkThinDetail<1, 1>(plane, left, right, limits); break;
    default: MarkThinDetail<2, 0>(plane, left, right, limits); break;
    }
}

template <class Sample>
uint64_t ReplaceChromaSparkles(const ChromaRepairPlaneOf<Sample>& plane, int32_t left, int32_t right,
                               int32_t threshold)
{
    const RepairLimits limits = RepairLimitsAt(threshold, plane.depth);
    switch (plane.luma.shiftX * 2 + plane.luma.shiftY) {
    case 0: return ReplaceSparkles<0, 0>(plane, left, right, limits);  // 4:4:4
    case 2: return ReplaceSparkles<1, 0>(plane, left, right, limits);  // 4:2:2
    case 3: return ReplaceSparkles<1, 1>(plane, left, right, limits);  // 4:2:0
    case 4: return ReplaceSparkles<2, 0>(plane, left, right, limits);  // 4:1:1
    }
    return 0;  // LumaCover takes these four alone: uvdenoise refuses any other
}

template void DetectChromaSparkles(const ChromaRepairPlaneOf<uint8_t>&, int32_t, int32_t, int32_t, int32_t,
                                   const ChromaRepairKernelsOf<uint8_t>&, uint8_t*);
template void DetectChromaSparkles(const ChromaRepairPlaneOf<uint16_t>&, int32_t, int32_t, int32_t, int32_t,
                                   const ChromaRepairKernelsOf<uint16_t>&, uint8_t*);
template uint64_t ReplaceChromaSparkles(const ChromaRepairPlaneOf<uint8_t>&, int32_t, int32_t, int32_t);
template uint64_t ReplaceChromaSparkles(const ChromaRepairPlaneOf<uint16_t>&, int32_t, int32_t, int32_t);
