#pragma once

// The repair of chroma sparkles in one chroma plane (or field) of a planar picture. A sparkle is an impulse
// in chroma alone: the picture's brightness there is intact, so the clean neighbour whose surrounding luma
// looks most like the sparkle's holds the colour it should have. Thin colour detail (a drawn line, a
// caption's stroke) is as far from its window's median as a sparkle, but its luma stands out with it.
//
// The rule, exactly, for 8-bit samples. Deeper samples (9 to 16 bits) follow it with every threshold and
// cost below, T included, given in 8-bit units and multiplied by 2^(depth - 8), so that a picture and its
// deeper copy (each sample times 2^(depth - 8)) have the same suspects, thin detail and winners.
//
// A sample farther than the threshold T from its window's median (the plane median's
// window and rank) is a suspect. The luma of a chroma position is the sum of the n luma samples it covers
// (LumaCover); luma thresholds below are per luma sample, so they are multiplied by n.
//
// Thin detail. Let suspect (x, y) lie in a run of suspects rows a ... b of its column. It is thin detail
// when the run has at most kDetailRows rows, rows a - 1 and b + 1 lie in the plane, and its row bears it
// out: position (c, y) stands out when its luma is within kDetailLumaSpread of (x, y)'s and at least
// kDetailLumaContrast above both (c, a - 1) and (c, b + 1), or at least that far below both. (x, y) must
// stand out; then from it, left and then right, up to kDetailReachColumns columns and inside the plane,
// the positions that stand out are walked until the first that does not. Of (x, y) and the walked
// positions, those whose chroma is within T of (x, y)'s agree, the others differ: it is thin detail when
// at least kDetailAgreeing agree, more than differ. A sparkle leaves the luma as the rows around it
// continue, so it does not stand out, or the luma stands out beyond its colour.
//
// The repair. Thin detail stays. Any other suspect's candidates are the samples of the same plane at most
// kRepairReachRows rows up or down and kRepairReachColumns columns left or right, inside the plane and
// either not suspects or, in the suspect's own row, thin detail (a sparkle on a line takes the line's
// colour). A candidate's cost is the sum, over the 3x3 chroma positions around the suspect and the same
// offsets around the candidate, of the absolute difference of their lumas, plus kRepairStepCost * n per
// step (rows apart + columns apart), so the luma term and the distance term weigh the same for every
// subsampling; positions of the 3x3 patches outside the plane are clamped to it. The lowest cost wins; on
// equal cost the nearer candidate, then the upper one, then the left one; with no candidate, the median.
// The suspect takes that value when it differs from it by more than T too (it is a sparkle); otherwise its
// best neighbour agrees with it, so it is detail, and it stays.
//
// Two stages make the result independent of how the columns are split among threads: DetectChromaSparkles
// writes the median and the suspect mask of a column range into work planes, marks its thin detail (which
// reads the mask of the suspect's own column and the chroma and luma anywhere) and leaves the chroma
// alone; when every column of the plane is detected, ReplaceChromaSparkles rewrites the sparkles of a
// column range. It writes only suspects that are not thin detail and reads only samples that it never
// writes (and the work planes), so ranges replaced at the same time never see each other's writes.

#include <cstddef>
#include <cstdint>
#include <span>

#include "filter/chroma_median_plane.h"

constexpr int32_t kRepairReachRows = 3;
constexpr int32_t kRepairReachColumns = 2;
constexpr int32_t kRepairStepCost = 12;
constexpr int32_t kDetailRows = 6;
constexpr int32_t kDetailLumaContrast = 10;
constexpr int32_t kDetailLumaSpread = 4;
constexpr int32_t kDetailReachColumns = 32;
constexpr int32_t kDetailAgreeing = 4;

// The mask's values.
constexpr uint8_t kMaskSparkle = 255;  // a suspect to repair
constexpr uint8_t kMaskDetail = 1;     // a suspect kept as thin detail

// The luma a chroma plane's samples cover: chroma sample (x, y) covers luma columns x << shiftX ...
// ((x + 1) << shiftX) - 1 and rows y << shiftY ... ((y + 1) << shiftY) - 1, clamped to the luma region. For
// a field, the luma region is the same field of the luma plane. The subsamplings are Y4M's: shifts (0, 0)
// 4:4:4, (1, 0) 4:2:2, (1, 1) 4:2:0 and (2, 0) 4:1:1. Rows are `stride` samples apart.
template <class Sample>
struct LumaCoverOf {
    const Sample* first;
    ptrdiff_t stride;
    int32_t width;
    int32_t height;
    int32_t shiftX;
    int32_t shiftY;
};
using LumaCover = LumaCoverOf<uint8_t>;

// One chroma plane or field, its luma and the work planes of its repair: median and mask hold width x height
// samples, rows width samples apart. The luma has the chroma's depth: 8 for uint8_t, 9 to 16 for uint16_t.
template <class Sample>
struct ChromaRepairPlaneOf {
    Sample* chroma;
    ptrdiff_t stride;
    int32_t width;
    int32_t height;
    LumaCoverOf<Sample> luma;
    Sample* median;
    uint8_t* mask;  // kMaskSparkle, kMaskDetail, or 0 for a sample that is no suspect
    int32_t depth = 8;
};
using ChromaRepairPlane = ChromaRepairPlaneOf<uint8_t>;
using ChromaRepairPlane16 = ChromaRepairPlaneOf<uint16_t>;

// The rule's thresholds and costs at a depth: the 8-bit ones times 2^(depth - 8). Per luma sample, as in the
// rule; the repair multiplies the luma ones by the samples a chroma position covers.
struct RepairLimits {
    int32_t threshold;
    int32_t stepCost;
    int32_t detailContrast;
    int32_t detailSpread;
};
constexpr RepairLimits RepairLimitsAt(int32_t threshold, int32_t depth)
{
    const int32_t scale = depth - 8;
    return {threshold << scale, kRepairStepCost << scale, kDetailLumaContrast << scale, kDetailLumaSpread << scale};
}

// One row of the suspect mask: mask[x] = kMaskSparkle when |chroma[x] - median[x]| > threshold, else 0. The
// threshold is in the samples' own units (at most 255 << 8).
template <class Sample>
using ChromaSparkleMaskRowFnOf = void (*)(const Sample* chroma, const Sample* median, uint8_t* mask, int32_t width,
                                          int32_t threshold);
using ChromaSparkleMaskRowFn = ChromaSparkleMaskRowFnOf<uint8_t>;
void ChromaSparkleMaskRow_C(const uint8_t* chroma, const uint8_t* median, uint8_t* mask, int32_t width,
                            int32_t threshold);
void ChromaSparkleMaskRow16_C(const uint16_t* chroma, const uint16_t* median, uint8_t* mask, int32_t width,
                              int32_t threshold);

// Every variant built for this target, the portable one first (the family's tables, one a sample type, in
// filter/chroma_repair_plane.cpp).
template <class Sample>
using ChromaSparkleMaskVariantOf = KernelVariant<ChromaSparkleMaskRowFnOf<Sample>>;
using ChromaSparkleMaskVariant = ChromaSparkleMaskVariantOf<uint8_t>;
template <class Sample>
std::span<const ChromaSparkleMaskVariantOf<Sample>> ChromaSparkleMaskVariants();
template <>
std::span<const ChromaSparkleMaskVariantOf<uint8_t>> ChromaSparkleMaskVariants<uint8_t>();
template <>
std::span<const ChromaSparkleMaskVariantOf<uint16_t>> ChromaSparkleMaskVariants<uint16_t>();

// The kernels of one stream's repair, chosen once for the CPU and the window.
template <class Sample>
struct ChromaRepairKernelsOf {
    ChromaMedianPlaneFnOf<Sample> median;
    ChromaSparkleMaskRowFnOf<Sample> mask;
};
using ChromaRepairKernels = ChromaRepairKernelsOf<uint8_t>;
template <class Sample>
ChromaRepairKernelsOf<Sample> ChooseChromaRepairKernels(uint32_t cpuFeatures, int32_t count)
{
    return {ChooseKernel(ChromaMedianPlaneVariants<Sample>(), cpuFeatures, count),
            ChooseKernel(ChromaSparkleMaskVariants<Sample>(), cpuFeatures)};
}

// The first stage on columns left ... right - 1: their medians (count as for the plane median) and mask.
// The threshold is in 8-bit units, 1 to 255; scratch as the plane median's.
template <class Sample>
void DetectChromaSparkles(const ChromaRepairPlaneOf<Sample>& plane, int32_t left, int32_t right, int32_t count,
                          int32_t threshold, const ChromaRepairKernelsOf<Sample>& kernels, uint8_t* scratch);

// The second stage on columns left ... right - 1, once every column of the plane is detected with the same
// threshold. Returns how many samples changed.
template <class Sample>
uint64_t ReplaceChromaSparkles(const ChromaRepairPlaneOf<Sample>& plane, int32_t left, int32_t right,
                               int32_t threshold);

extern template void DetectChromaSparkles(const ChromaRepairPlaneOf<uint8_t>&, int32_t, int32_t, int32_t, int32_t,
                                          const ChromaRepairKernelsOf<uint8_t>&, uint8_t*);
extern template void DetectChromaSparkles(const ChromaRepairPlaneOf<uint16_t>&, int32_t, int32_t, int32_t, int32_t,
                                          const ChromaRepairKernelsOf<uint16_t>&, uint8_t*);
extern template uint64_t ReplaceChromaSparkles(const ChromaRepairPlaneOf<uint8_t>&, int32_t, int32_t, int32_t);
extern template uint64_t ReplaceChromaSparkles(const ChromaRepairPlaneOf<uint16_t>&, int32_t, int32_t, int32_t);
