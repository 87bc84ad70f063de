// The repair over time: see the header for the rule.

#include "filter/chroma_temporal_repair.h"

#include <algorithm>
#include <cstdlib>

namespace {

static_assert(kMaskTemporalSparkle != 0 && (kMaskTemporalSparkle & 0x80) == 0,
              "the spatial repair visits the mask's top bit only");
static_assert((kMaskTemporalSparkle & kMaskSparkle & ~kMaskDetail) != 0,
              "no candidate in the suspect's own row either");

// The chroma offset of a luma vector component: rounded to the nearest chroma sample, halves away from zero.
constexpr int32_t ChromaOffset(int32_t luma, int32_t shift)
{
    const int32_t half = (1 << shift) >> 1;
    return luma >= 0 ? (luma + half) >> shift : -((-luma + half) >> shift);
}
static_assert(ChromaOffset(3, 1) == 2 && ChromaOffset(-3, 1) == -2 && ChromaOffset(2, 1) == 1 &&
              ChromaOffset(-1, 2) == 0 && ChromaOffset(-2, 2) == -1 && ChromaOffset(5, 0) == 5);

struct Candidate {
    int32_t lumaX, lumaY;
    int32_t chromaX, chromaY;
};

// The sample's candidate vectors against one neighbour, in the order they are tried; the count is 0 for a
// neighbour left out.
template <class Sample>
int32_t CandidatesOf(const ChromaRepairPlaneOf<Sample>& plane, const ChromaNeighbourOf<Sample>& neighbour, int32_t x,
                     int32_t y, Candidate (&candidates)[2])
{
    if (neighbour.chroma == nullptr)
        return 0;
    const int32_t shiftX = plane.luma.shiftX, shiftY = plane.luma.shiftY;
    const MotionVector vector = neighbour.vectors[static_cast<ptrdiff_t>((y << shiftY) / kMotionBlock) *
                                                      MotionBlocksAcross(plane.luma.width) +
                                                  (x << shiftX) / kMotionBlock];
    int32_t count = 0;
    auto add = [&](int32_t vx, int32_t vy) {
        const int32_t cx = x + ChromaOffset(vx, shiftX), cy = y + ChromaOffset(vy, shiftY);
        if (cx >= 0 && cx < plane.width && cy >= 0 && cy < plane.height)
            candidates[count++] = {vx, vy, cx, cy};
    };
    if (vector.matched && (vector.x != 0 || vector.y != 0))
        add(vector.x, vector.y);
    add(0, 0);
    return count;
}

// Whether the luma patch around chroma sample (x, y) agrees with the neighbour's moved by the candidate.
template <class Sample>
bool PatchFits(const ChromaRepairPlaneOf<Sample>& plane, const ChromaNeighbourOf<Sample>& neighbour, int32_t x,
               int32_t y, const Candidate& candidate, int32_t noise)
{
    const LumaCoverOf<Sample>& luma = plane.luma;
    const int32_t left = (x - 1) << luma.shiftX, right = (x + 2) << luma.shiftX;
    const int32_t top = (y - 1) << luma.shiftY, bottom = (y + 2) << luma.shiftY;
    const int32_t limit = noise * (right - left) * (bottom - top);
    int32_t sum = 0;
    for (int32_t r = top; r < bottom; ++r) {
        const Sample* own = luma.first + luma.stride * std::clamp(r, 0, luma.height - 1);
        const Sample* other = neighbour.luma.first +
                              neighbour.luma.stride * std::clamp(r + candidate.lumaY, 0, luma.height - 1);
        for (int32_t c = left; c < right; ++c) {
            sum += std::abs(int32_t{own[std::clamp(c, 0, luma.width - 1)]} -
                            int32_t{other[std::clamp(c + candidate.lumaX, 0, luma.width - 1)]});
        }
        if (sum > limit)
            return false;
    }
    return true;
}

template <class Sample>
void MarkSample(const ChromaRepairPlaneOf<Sample>& plane, const TemporalEvidenceOf<Sample>& evidence, int32_t x,
                int32_t y, int32_t threshold, int32_t noise)
{
    const ptrdiff_t work = static_cast<ptrdiff_t>(plane.width) * y + x;
    const int32_t value = plane.chroma[plane.stride * y + x];
    Candidate previous[2], next[2];
    const int32_t previousCount = CandidatesOf(plane, evidence.previous, x, y, previous);
    const int32_t nextCount = CandidatesOf(plane, evidence.next, x, y, next);
    auto valueAt = [&](const ChromaNeighbourOf<Sample>& neighbour, const Candidate& candidate) {
        return int32_t{neighbour.chroma[neighbour.stride * candidate.chromaY + candidate.chromaX]};
    };
    // A sample that is no sparkle to the spatial rule changes only when it is a sparkle over time, which no
    // neighbour whose every candidate agrees with it allows: most samples stop here, without a patch.
    if (plane.mask[work] != kMaskSparkle) {
        auto agreesWithAll = [&](const ChromaNeighbourOf<Sample>& neighbour, const Candidate* candidates,
                                 int32_t count) {
            for (int32_t i = 0; i < count; ++i) {
                if (std::abs(valueAt(neighbour, candidates[i]) - value) > threshold)
                    return false;
            }
            return true;
        };
        if (agreesWithAll(evidence.previous, previous, previousCount) ||
            agreesWithAll(evidence.next, next, nextCount))
            return;
    }
    auto matched = [&](const ChromaNeighbourOf<Sample>& neighbour, const Candidate* candidates, int32_t count) {
        for (int32_t i = 0; i < count; ++i) {
            if (PatchFits(plane, neighbour, x, y, candidates[i], noise))
                return valueAt(neighbour, candidates[i]);
        }
        return -1;
    };
    const int32_t a = matched(evidence.previous, previous, previousCount);
    const int32_t b = matched(evidence.next, next, nextCount);
    const bool keptByA = a >= 0 && std::abs(value - a) <= threshold;
    const bool keptByB = b >= 0 && std::abs(value - b) <= threshold;
    if (keptByA || keptByB) {
        if (plane.mask[work] == kMaskSparkle)
            plane.mask[work] = kMaskDetail;
    } else if (a >= 0 && b >= 0 && std::abs(a - b) <= threshold) {
        plane.mask[work] = kMaskTemporalSparkle;
        plane.median[work] = static_cast<Sample>((a + b + 1) >> 1);
    }
}

}  // namespace

template <class Sample>
void MarkTemporalSparkles(const ChromaRepairPlaneOf<Sample>& plane, const TemporalEvidenceOf<Sample>& evidence,
                          int32_t left, int32_t right, int32_t threshold)
{
    if (evidence.previous.chroma == nullptr && evidence.next.chroma == nullptr)
        return;
    const int32_t scaledThreshold = RepairLimitsAt(threshold, plane.depth).threshold;
    const int32_t noise = kMotionLumaNoise << (plane.depth - 8);
    const int32_t shiftX = plane.luma.shiftX, shiftY = plane.luma.shiftY;
    const int32_t across = MotionBlocksAcross(plane.luma.width);
    for (int32_t y = 0; y < plane.height; ++y) {
        const Sample* const chroma = plane.chroma + plane.stride * y;
        const uint8_t* const mask = plane.mask + static_cast<ptrdiff_t>(plane.width) * y;
        const ptrdiff_t blockRow = static_cast<ptrdiff_t>((y << shiftY) / kMotionBlock) * across;
        // MarkSample's first test, without its calls: a sample that is no spatial sparkle and agrees with
        // every candidate of a neighbour stays as it is.
        auto agreesWithAll = [&](const ChromaNeighbourOf<Sample>& neighbour, int32_t x, int32_t value) {
            if (neighbour.chroma == nullptr)
                return false;
            const Sample* const row = neighbour.chroma + neighbour.stride * y;
            if (std::abs(int32_t{row[x]} - value) > scaledThreshold)
                return false;
            const MotionVector vector = neighbour.vectors[blockRow + (x << shiftX) / kMotionBlock];
            if (!vector.matched || (vector.x == 0 && vector.y == 0))
                return true;
            const int32_t cx = x + ChromaOffset(vector.x, shiftX), cy = y + ChromaOffset(vector.y, shiftY);
            return cx < 0 || cx >= plane.width || cy < 0 || cy >= plane.height ||
                   std::abs(int32_t{neighbour.chroma[neighbour.stride * cy + cx]} - value) <= scaledThreshold;
        };
        for (int32_t x = left; x < right; ++x) {
            if (mask[x] != kMaskSparkle &&
                (agreesWithAll(evidence.previous, x, chroma[x]) || agreesWithAll(evidence.next, x, chroma[x])))
                continue;
            MarkSample(plane, evidence, x, y, scaledThreshold, noise);
        }
    }
}

template <class Sample>
uint64_t ReplaceTemporalSparkles(const ChromaRepairPlaneOf<Sample>& plane, int32_t left, int32_t right)
{
    uint64_t changed = 0;
    for (int32_t y = 0; y < plane.height; ++y) {
        const uint8_t* const mask = plane.mask + static_cast<ptrdiff_t>(plane.width) * y;
        const Sample* const median = plane.median + static_cast<ptrdiff_t>(plane.width) * y;
        Sample* const chroma = plane.chroma + plane.stride * y;
        for (int32_t x = left; x < right; ++x) {
            if (mask[x] == kMaskTemporalSparkle) {
                chroma[x] = median[x];
                ++changed;
            }
        }
    }
    return changed;
}

template void MarkTemporalSparkles(const ChromaRepairPlaneOf<uint8_t>&, const TemporalEvidenceOf<uint8_t>&, int32_t,
                                   int32_t, int32_t);
template void MarkTemporalSparkles(const ChromaRepairPlaneOf<uint16_t>&, const TemporalEvidenceOf<uint16_t>&,
                                   int32_t, int32_t, int32_t);
template uint64_t ReplaceTemporalSparkles(const ChromaRepairPlaneOf<uint8_t>&, int32_t, int32_t);
template uint64_t ReplaceTemporalSparkles(const ChromaRepairPlaneOf<uint16_t>&, int32_t, int32_t);
