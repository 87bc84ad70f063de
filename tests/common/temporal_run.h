#pragma once

// The product's repair over time of one chroma plane, run the way a thread pool runs it: the motion of the
// picture's luma against each neighbour's in two row pieces, and the plane detected and marked, then
// replaced, in column pieces cut at `cuts`. A neighbour of another size, or a scene cut away, is left out.

#include <cstdint>
#include <vector>

#include "filter/chroma_temporal_repair.h"
#include "filter/luma_motion.h"
#include "tests/common/guarded_bytes.h"

namespace product {

// One picture's chroma plane and the luma under it; rows as wide as the plane.
template <class Sample>
struct PlanePicture {
    std::vector<Sample> chroma, luma;
    int width, height, lumaWidth, lumaHeight;
};

struct RepairSetup {
    int shiftX, shiftY, depth, count, threshold;
    uint32_t features;
    std::vector<int> cuts;  // column cuts, ascending
};

template <class Sample>
std::vector<MotionVector> MotionAgainst(const PlanePicture<Sample>& picture, const PlanePicture<Sample>& neighbour,
                                        const RepairSetup& setup, bool& cut)
{
    const LumaPlaneOf<Sample> own{picture.luma.data(), picture.lumaWidth, picture.lumaWidth, picture.lumaHeight};
    const LumaPlaneOf<Sample> other{neighbour.luma.data(), neighbour.lumaWidth, neighbour.lumaWidth,
                                    neighbour.lumaHeight};
    const size_t coarseSize = static_cast<size_t>(picture.lumaWidth / kMotionCoarse) * (picture.lumaHeight / kMotionCoarse);
    std::vector<Sample> ownCoarse(coarseSize), otherCoarse(coarseSize);
    CoarseLuma(own, ownCoarse.data());
    CoarseLuma(other, otherCoarse.data());
    const int across = MotionBlocksAcross(picture.lumaWidth), down = MotionBlocksDown(picture.lumaHeight);
    std::vector<MotionVector> vectors(static_cast<size_t>(across) * down);
    const auto distance = ChooseKernel(LumaBlockDistanceVariants<Sample>(), setup.features);
    const int half = down / 2;
    const int unmatched =
        EstimateLumaMotion(own, ownCoarse.data(), other, otherCoarse.data(), setup.depth, distance, 0, half,
                           vectors.data()) +
        EstimateLumaMotion(own, ownCoarse.data(), other, otherCoarse.data(), setup.depth, distance, half, down,
                           vectors.data());
    cut = IsSceneCut(unmatched, across * down);
    return vectors;
}

template <class Sample>
std::vector<Sample> RepairedOverTime(const PlanePicture<Sample>* previous, const PlanePicture<Sample>& picture,
                                     const PlanePicture<Sample>* next, const RepairSetup& setup)
{
    TemporalEvidenceOf<Sample> evidence;
    std::vector<MotionVector> vectors[2];
    const PlanePicture<Sample>* neighbours[2] = {previous, next};
    ChromaNeighbourOf<Sample>* sides[2] = {&evidence.previous, &evidence.next};
    for (int s = 0; s < 2; ++s) {
        const PlanePicture<Sample>* n = neighbours[s];
        if (!n || n->width != picture.width || n->height != picture.height || n->lumaWidth != picture.lumaWidth ||
            n->lumaHeight != picture.lumaHeight)
            continue;
        bool cut = false;
        vectors[s] = MotionAgainst(picture, *n, setup, cut);
        if (!cut) {
            *sides[s] = {n->chroma.data(), n->width, {n->luma.data(), n->lumaWidth, n->lumaWidth, n->lumaHeight},
                         vectors[s].data()};
        }
    }
    std::vector<Sample> chroma = picture.chroma;
    std::vector<Sample> median(chroma.size());
    std::vector<uint8_t> mask(chroma.size());
    const ChromaRepairPlaneOf<Sample> plane{
        chroma.data(), picture.width, picture.width, picture.height,
        {picture.luma.data(), picture.lumaWidth, picture.lumaWidth, picture.lumaHeight, setup.shiftX, setup.shiftY},
        median.data(), mask.data(), setup.depth};
    const ChromaRepairKernelsOf<Sample> kernels = ChooseChromaRepairKernels<Sample>(setup.features, setup.count);
    GuardedBytes scratch(kChromaMedianPlaneScratchBytes);
    std::vector<int> bounds{0};
    bounds.insert(bounds.end(), setup.cuts.begin(), setup.cuts.end());
    bounds.push_back(picture.width);
    for (size_t i = 0; i + 1 < bounds.size(); ++i) {
        if (bounds[i] < bounds[i + 1]) {
            DetectChromaSparkles(plane, bounds[i], bounds[i + 1], setup.count, setup.threshold, kernels,
                                 scratch.data());
            MarkTemporalSparkles(plane, evidence, bounds[i], bounds[i + 1], setup.threshold);
        }
    }
    for (size_t i = 0; i + 1 < bounds.size(); ++i) {
        if (bounds[i] < bounds[i + 1]) {
            ReplaceChromaSparkles(plane, bounds[i], bounds[i + 1], setup.threshold);
            ReplaceTemporalSparkles(plane, bounds[i], bounds[i + 1]);
        }
    }
    return chroma;
}

}  // namespace product
