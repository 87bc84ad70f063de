#include "filter/chroma_repair_plane.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "filter/cpu_features.h"

namespace {

struct Offset {
    int32_t rows;
    int32_t columns;
    int32_t steps;
};

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

// The lumas of every position a patch of the suspect or of a candidate reads: a 3x3 patch around each
// candidate reaches one position beyond the reach.
constexpr int32_t kLumaRows = 2 * kRepairReachRows + 3;
constexpr int32_t kLumaColumns = 2 * kRepairReachColumns + 3;

// The sum of the luma samples chroma position (x, y) covers, for one subsampling; x and y inside the plane.
template <int32_t ShiftX, int32_t ShiftY>
inline int32_t CoveredLuma(const LumaCover& luma, int32_t x, int32_t y)
{
    int32_t sum = 0;
    for (int32_t i = 0; i < 1 << ShiftY; ++i) {
        const uint8_t* row = luma.first + luma.stride * std::min((y << ShiftY) + i, luma.height - 1);
        for (int32_t j = 0; j < 1 << ShiftX; ++j)
            sum += row[std::min((x << ShiftX) + j, luma.width - 1)];
    }
    return sum;
}

// The lumas of the positions around (x, y) that the patches read, clamped to the plane.
template <int32_t ShiftX, int32_t ShiftY>
void PatchLumas(const ChromaRepairPlane& plane, int32_t x, int32_t y, int32_t (&luma)[kLumaRows][kLumaColumns])
{
    const int32_t left = x - kRepairReachColumns - 1, top = y - kRepairReachRows - 1;
    const int32_t right = left + kLumaColumns - 1, bottom = top + kLumaRows - 1;
    const LumaCover& cover = plane.luma;
    // Most suspects lie inside, where the positions and the luma they cover need no clamping.
    if (left >= 0 && top >= 0 && right < plane.width && bottom < plane.height &&
        ((right + 1) << ShiftX) <= cover.width && ((bottom + 1) << ShiftY) <= cover.height) {
        const uint8_t* const first = cover.first + cover.stride * (top << ShiftY) + (left << ShiftX);
        for (int32_t r = 0; r < kLumaRows; ++r) {
            for (int32_t c = 0; c < kLumaColumns; ++c) {
                int32_t sum = 0;
                for (int32_t i = 0; i < 1 << ShiftY; ++i)
                    for (int32_t j = 0; j < 1 << ShiftX; ++j)
                        sum += first[cover.stride * ((r << ShiftY) + i) + (c << ShiftX) + j];
                luma[r][c] = sum;
            }
        }
        return;
    }
    int32_t columns[kLumaColumns];
    for (int32_t c = 0; c < kLumaColumns; ++c)
        columns[c] = std::clamp(left + c, 0, plane.width - 1);
    for (int32_t r = 0; r < kLumaRows; ++r) {
        const int32_t row = std::clamp(top + r, 0, plane.height - 1);
        for (int32_t c = 0; c < kLumaColumns; ++c)
            luma[r][c] = CoveredLuma<ShiftX, ShiftY>(cover, columns[c], row);
    }
}

template <int32_t ShiftX, int32_t ShiftY>
uint8_t Replacement(const ChromaRepairPlane& plane, int32_t x, int32_t y)
{
    const ptrdiff_t workStride = plane.width;
    int32_t luma[kLumaRows][kLumaColumns];
    PatchLumas<ShiftX, ShiftY>(plane, x, y, luma);
    const int32_t stepCost = kRepairStepCost << (ShiftX + ShiftY);
    int32_t bestCost = INT32_MAX;
    uint8_t best = plane.median[workStride * y + x];
    for (const Offset offset : kCandidateOrder) {
        // Candidates come nearest first: once the distance alone costs as much as the best, none can win.
        if (stepCost * offset.steps >= bestCost)
            break;
        const int32_t cx = x + offset.columns, cy = y + offset.rows;
        if (cx < 0 || cx >= plane.width || cy < 0 || cy >= plane.height || plane.mask[workStride * cy + cx])
            continue;
        int32_t cost = stepCost * offset.steps;
        for (int32_t r = 0; r < 3 && cost < bestCost; ++r) {
            const int32_t* own = luma[kRepairReachRows + r] + kRepairReachColumns;
            const int32_t* other = luma[kRepairReachRows + offset.rows + r] + kRepairReachColumns + offset.columns;
            for (int32_t c = 0; c < 3; ++c)
                cost += std::abs(own[c] - other[c]);
        }
        if (cost < bestCost) {
            bestCost = cost;
            best = plane.chroma[plane.stride * cy + cx];
        }
    }
    return best;
}

// True when none of the 32 mask bytes marks a suspect.
inline bool NoSuspectIn32(const uint8_t* mask)
{
    uint64_t words[4];
    std::memcpy(words, mask, sizeof words);
    return (words[0] | words[1] | words[2] | words[3]) == 0;
}

template <int32_t ShiftX, int32_t ShiftY>
uint64_t ReplaceSparkles(const ChromaRepairPlane& plane, int32_t left, int32_t right, int32_t threshold)
{
    uint64_t changed = 0;
    for (int32_t y = 0; y < plane.height; ++y) {
        const uint8_t* const mask = plane.mask + ptrdiff_t{plane.width} * y;
        uint8_t* const row = plane.chroma + plane.stride * y;
        auto replace = [&](int32_t x) {
            const uint8_t value = Replacement<ShiftX, ShiftY>(plane, x, y);
            // A suspect its best neighbour agrees with is detail, not a sparkle.
            if (std::abs(value - row[x]) > threshold) {
                row[x] = value;
                ++changed;
            }
        };
        int32_t x = left;
        // Suspects are rare: skip clean samples 32 at a time.
        for (; x + 32 <= right; x += 32) {
            if (NoSuspectIn32(mask + x))
                continue;
            for (int32_t i = x; i < x + 32; ++i) {
                if (mask[i])
                    replace(i);
            }
        }
        for (; x < right; ++x) {
            if (mask[x])
                replace(x);
        }
    }
    return changed;
}

}  // namespace

void ChromaSparkleMaskRow_C(const uint8_t* chroma, const uint8_t* median, uint8_t* mask, int32_t width,
                            int32_t threshold)
{
    for (int32_t x = 0; x < width; ++x)
        mask[x] = std::abs(chroma[x] - median[x]) > threshold ? 255 : 0;
}

std::span<const ChromaSparkleMaskVariant> ChromaSparkleMaskVariants()
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

ChromaRepairKernels ChooseChromaRepairKernels(uint32_t cpuFeatures, int32_t count)
{
    ChromaRepairKernels kernels{ChooseChromaMedianPlaneKernels(cpuFeatures).byCount[count], ChromaSparkleMaskRow_C};
    for (const ChromaSparkleMaskVariant& variant : ChromaSparkleMaskVariants()) {
        if (HasFeatures(cpuFeatures, variant.neededFeatures))
            kernels.mask = variant.fn;
    }
    return kernels;
}

void DetectChromaSparkles(const ChromaRepairPlane& plane, int32_t left, int32_t right, int32_t count,
                          int32_t threshold, const ChromaRepairKernels& kernels, uint8_t* scratch)
{
    const int32_t width = right - left;
    const ptrdiff_t workStride = plane.width;
    uint8_t* const median = plane.median + left;
    for (int32_t y = 0; y < plane.height; ++y)
        std::memcpy(median + workStride * y, plane.chroma + plane.stride * y + left, static_cast<size_t>(width));
    kernels.median(median, workStride, width, plane.height, count, scratch);
    for (int32_t y = 0; y < plane.height; ++y) {
        kernels.mask(plane.chroma + plane.stride * y + left, median + workStride * y,
                     plane.mask + workStride * y + left, width, threshold);
    }
}

uint64_t ReplaceChromaSparkles(const ChromaRepairPlane& plane, int32_t left, int32_t right, int32_t threshold)
{
    switch (plane.luma.shiftX * 2 + plane.luma.shiftY) {
    case 0: return ReplaceSparkles<0, 0>(plane, left, right, threshold);
    case 2: return ReplaceSparkles<1, 0>(plane, left, right, threshold);
    case 3: return ReplaceSparkles<1, 1>(plane, left, right, threshold);
    default: return ReplaceSparkles<2, 0>(plane, left, right, threshold);
    }
}
