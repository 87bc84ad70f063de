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

// The lumas of every position a patch of the sparkle or of a candidate reads: a 3x3 patch around each
// candidate reaches one position beyond the reach.
constexpr int32_t kLumaRows = 2 * kRepairReachRows + 3;
constexpr int32_t kLumaColumns = 2 * kRepairReachColumns + 3;

uint8_t Replacement(const ChromaRepairPlane& plane, int32_t x, int32_t y)
{
    int32_t luma[kLumaRows][kLumaColumns];
    for (int32_t r = 0; r < kLumaRows; ++r) {
        const int32_t row = std::clamp(y + r - kRepairReachRows - 1, 0, plane.height - 1);
        for (int32_t c = 0; c < kLumaColumns; ++c)
            luma[r][c] = plane.luma.Sum(std::clamp(x + c - kRepairReachColumns - 1, 0, plane.width - 1), row);
    }
    const int32_t stepCost = kRepairStepCost * plane.luma.Samples();
    const ptrdiff_t workStride = plane.width;
    int32_t bestCost = INT32_MAX;
    uint8_t best = plane.median[workStride * y + x];
    for (const Offset offset : kCandidateOrder) {
        const int32_t cx = x + offset.columns, cy = y + offset.rows;
        if (cx < 0 || cx >= plane.width || cy < 0 || cy >= plane.height || plane.mask[workStride * cy + cx])
            continue;
        int32_t cost = stepCost * offset.steps;
        for (int32_t r = 0; r < 3; ++r) {
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

}  // namespace

int32_t LumaCover::Sum(int32_t x, int32_t y) const
{
    int32_t sum = 0;
    for (int32_t i = 0; i < 1 << shiftY; ++i) {
        const uint8_t* row = first + stride * std::min((y << shiftY) + i, height - 1);
        for (int32_t j = 0; j < 1 << shiftX; ++j)
            sum += row[std::min((x << shiftX) + j, width - 1)];
    }
    return sum;
}

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

uint64_t ReplaceChromaSparkles(const ChromaRepairPlane& plane, int32_t left, int32_t right)
{
    uint64_t changed = 0;
    for (int32_t y = 0; y < plane.height; ++y) {
        const uint8_t* const mask = plane.mask + ptrdiff_t{plane.width} * y;
        uint8_t* const row = plane.chroma + plane.stride * y;
        for (int32_t x = left; x < right;) {
            // Sparkles are rare: skip clean samples eight at a time.
            uint64_t eight;
            if (x + 8 <= right && (std::memcpy(&eight, mask + x, 8), eight == 0)) {
                x += 8;
                continue;
            }
            if (mask[x]) {
                const uint8_t value = Replacement(plane, x, y);
                changed += value != row[x];
                row[x] = value;
            }
            ++x;
        }
    }
    return changed;
}
