#pragma once

// Block motion from luma, for the repair over time. The noise of a capture is in its chroma: its luma is a
// reliable guide to where each part of the picture went between two pictures.
//
// The rule, exactly, for 8-bit samples; deeper samples (9 to 16 bits) take kMotionLumaNoise times
// 2^(depth - 8). The picture's luma region is cut into blocks of kMotionBlock x kMotionBlock samples from its
// top left corner (the last column and row of blocks hold what remains). The distance of a block at vector
// (vx, vy) is the sum of |picture(c, r) - reference(c + vx, r + vy)| over its samples; a vector is allowed
// when the moved block lies inside the reference, and it matches when that distance is at most
// kMotionLumaNoise per sample.
//   - A block whose vector (0, 0) matches keeps it: its luma did not change, and nothing is searched.
//   - Otherwise each luma region is shrunk kMotionCoarse times each way (each coarse sample the mean of its
//     kMotionCoarse x kMotionCoarse samples, rounded half up; a partial row or column of them is dropped),
//     and the block's coarse block (the coarse samples its own cover; none for a block narrower than one)
//     is moved by every coarse vector of at most kMotionCoarseReach each way that keeps it inside: the
//     lowest distance wins, on equal distance the smaller |ux| + |uy|, then the first in row order. (0, 0)
//     without coarse samples. Then, at full size, (0, 0) and every vector at most kMotionRefineReach each
//     way from kMotionCoarse times that coarse vector are measured: the lowest distance wins, on equal
//     distance (0, 0), then the smaller |vx| + |vy|, then the first in row order. The block keeps it, and is
//     matched when it matches.
// So a pan of up to kMotionCoarse * kMotionCoarseReach + kMotionRefineReach samples a picture is followed
// with whole-sample precision. The reference is a scene cut away when more than kMotionCutPercent % of the
// blocks are unmatched.

#include <cstddef>
#include <cstdint>
#include <span>

#include "filter/kernel_variant.h"

constexpr int32_t kMotionBlock = 16;
constexpr int32_t kMotionCoarse = 4;
constexpr int32_t kMotionCoarseReach = 4;
constexpr int32_t kMotionRefineReach = 2;
constexpr int32_t kMotionLumaNoise = 6;
constexpr int32_t kMotionCutPercent = 50;

// A luma plane or field: rows stride samples apart.
template <class Sample>
struct LumaPlaneOf {
    const Sample* first;
    ptrdiff_t stride;
    int32_t width;
    int32_t height;
};

struct MotionVector {
    int16_t x;
    int16_t y;
    bool matched;
};

constexpr int32_t MotionBlocksAcross(int32_t lumaWidth)
{
    return (lumaWidth + kMotionBlock - 1) / kMotionBlock;
}
constexpr int32_t MotionBlocksDown(int32_t lumaHeight)
{
    return (lumaHeight + kMotionBlock - 1) / kMotionBlock;
}

// The sum of |a - b| over a width x height area (each at most kMotionBlock), rows aStride and bStride
// samples apart.
template <class Sample>
using LumaBlockDistanceFnOf = uint32_t (*)(const Sample* a, ptrdiff_t aStride, const Sample* b, ptrdiff_t bStride,
                                           int32_t width, int32_t height);
uint32_t LumaBlockDistance_C(const uint8_t* a, ptrdiff_t aStride, const uint8_t* b, ptrdiff_t bStride,
                             int32_t width, int32_t height);
uint32_t LumaBlockDistance16_C(const uint16_t* a, ptrdiff_t aStride, const uint16_t* b, ptrdiff_t bStride,
                               int32_t width, int32_t height);

// Every variant built for this target, the portable one first (the tables in filter/luma_motion.cpp).
template <class Sample>
using LumaBlockDistanceVariantOf = KernelVariant<LumaBlockDistanceFnOf<Sample>>;
template <class Sample>
std::span<const LumaBlockDistanceVariantOf<Sample>> LumaBlockDistanceVariants();
template <>
std::span<const LumaBlockDistanceVariantOf<uint8_t>> LumaBlockDistanceVariants<uint8_t>();
template <>
std::span<const LumaBlockDistanceVariantOf<uint16_t>> LumaBlockDistanceVariants<uint16_t>();

// The coarse plane of a luma region: (width / kMotionCoarse) x (height / kMotionCoarse) samples, rows
// width / kMotionCoarse apart.
template <class Sample>
void CoarseLuma(const LumaPlaneOf<Sample>& luma, Sample* coarse);

// The vectors of block rows firstRow ... endRow - 1 of the picture against the reference (the same size,
// with their coarse planes), into vectors[row * MotionBlocksAcross(width) + column]. Returns how many of
// those blocks are unmatched. Rows may be split among threads: each block is measured on its own.
template <class Sample>
int32_t EstimateLumaMotion(const LumaPlaneOf<Sample>& picture, const Sample* pictureCoarse,
                           const LumaPlaneOf<Sample>& reference, const Sample* referenceCoarse, int32_t depth,
                           LumaBlockDistanceFnOf<Sample> distance, int32_t firstRow, int32_t endRow,
                           MotionVector* vectors);

constexpr bool IsSceneCut(int64_t unmatchedBlocks, int64_t blocks)
{
    return unmatchedBlocks * 100 > blocks * kMotionCutPercent;
}

extern template void CoarseLuma(const LumaPlaneOf<uint8_t>&, uint8_t*);
extern template void CoarseLuma(const LumaPlaneOf<uint16_t>&, uint16_t*);
extern template int32_t EstimateLumaMotion(const LumaPlaneOf<uint8_t>&, const uint8_t*, const LumaPlaneOf<uint8_t>&,
                                           const uint8_t*, int32_t, LumaBlockDistanceFnOf<uint8_t>, int32_t,
                                           int32_t, MotionVector*);
extern template int32_t EstimateLumaMotion(const LumaPlaneOf<uint16_t>&, const uint16_t*,
                                           const LumaPlaneOf<uint16_t>&, const uint16_t*, int32_t,
                                           LumaBlockDistanceFnOf<uint16_t>, int32_t, int32_t, MotionVector*);
