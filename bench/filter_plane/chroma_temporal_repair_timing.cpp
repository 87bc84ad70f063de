// Milliseconds per 720x576 4:2:0 picture on one thread: the spatial repair of both chroma planes, and the
// repair over time (the picture's coarse luma, its motion against the previous and the next picture, the
// stages of both planes), with each variant of the motion search's block distance. The pictures pan by
// (3, 1) luma samples over a smooth scene with a tape's luma noise and a sparkle in every 500 chroma
// samples. Median of 9 rounds; prints a markdown table.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "filter/chroma_temporal_repair.h"
#include "filter/cpu_features.h"
#include "filter/luma_motion.h"
#include "tests/common/guarded_bytes.h"

namespace {

constexpr int kLumaWidth = 720, kLumaHeight = 576, kWidth = 360, kHeight = 288;
constexpr int kRounds = 9, kWindow = 7, kThreshold = 18;

struct Picture {
    std::vector<uint8_t> luma, coarse, chroma[2];
};

Picture Seen(int panX, int panY, std::mt19937& random)
{
    auto scene = [](int x, int y) { return 128 + (x * x / 97 + y * y / 61 + x * y / 53) % 90 - 45; };
    Picture p;
    for (int y = 0; y < kLumaHeight; ++y)
        for (int x = 0; x < kLumaWidth; ++x)
            p.luma.push_back(static_cast<uint8_t>(scene(x + panX, y + panY) + static_cast<int>(random() % 5)));
    p.coarse.resize(static_cast<size_t>(kLumaWidth / kMotionCoarse) * (kLumaHeight / kMotionCoarse));
    for (int c = 0; c < 2; ++c)
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                p.chroma[c].push_back(random() % 500 == 0 ? 250 : static_cast<uint8_t>(100 + c * 40 + (x + panX / 2) / 30 % 4 * 8));
    return p;
}

double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main()
{
    std::mt19937 random(3);
    const Picture pictures[3] = {Seen(0, 0, random), Seen(3, 1, random), Seen(6, 2, random)};
    const uint32_t features = DetectCpuFeatures();
    const ChromaRepairKernels kernels = ChooseChromaRepairKernels<uint8_t>(features, kWindow);
    GuardedBytes scratch(kChromaMedianPlaneScratchBytes);
    std::vector<uint8_t> median(static_cast<size_t>(kWidth) * kHeight), mask(median.size()), chroma(median.size());
    const int blocks = MotionBlocksAcross(kLumaWidth) * MotionBlocksDown(kLumaHeight);
    std::vector<MotionVector> vectors[2] = {std::vector<MotionVector>(blocks), std::vector<MotionVector>(blocks)};
    const Picture& picture = pictures[1];
    auto lumaOf = [](const Picture& p) { return LumaPlaneOf<uint8_t>{p.luma.data(), kLumaWidth, kLumaWidth, kLumaHeight}; };

    // One picture's repair; with `distance`, over time.
    auto repair = [&](LumaBlockDistanceFnOf<uint8_t> distance) {
        TemporalEvidenceOf<uint8_t> evidence;
        if (distance) {
            CoarseLuma(lumaOf(picture), const_cast<uint8_t*>(picture.coarse.data()));
            for (int s = 0; s < 2; ++s) {
                const Picture& neighbour = pictures[2 * s];
                const int unmatched = EstimateLumaMotion(lumaOf(picture), picture.coarse.data(), lumaOf(neighbour),
                                                         neighbour.coarse.data(), 8, distance, 0,
                                                         MotionBlocksDown(kLumaHeight), vectors[s].data());
                if (!IsSceneCut(unmatched, blocks)) {
                    ChromaNeighbourOf<uint8_t>& side = s == 0 ? evidence.previous : evidence.next;
                    side.stride = kWidth;
                    side.luma = lumaOf(neighbour);
                    side.vectors = vectors[s].data();
                }
            }
        }
        for (int c = 0; c < 2; ++c) {
            chroma = picture.chroma[c];
            if (evidence.previous.vectors)
                evidence.previous.chroma = pictures[0].chroma[c].data();
            if (evidence.next.vectors)
                evidence.next.chroma = pictures[2].chroma[c].data();
            const ChromaRepairPlane plane{chroma.data(), kWidth, kWidth, kHeight,
                                          {picture.luma.data(), kLumaWidth, kLumaWidth, kLumaHeight, 1, 1},
                                          median.data(), mask.data()};
            DetectChromaSparkles(plane, 0, kWidth, kWindow, kThreshold, kernels, scratch.data());
            if (distance)
                MarkTemporalSparkles(plane, evidence, 0, kWidth, kThreshold);
            ReplaceChromaSparkles(plane, 0, kWidth, kThreshold);
            if (distance)
                ReplaceTemporalSparkles(plane, 0, kWidth);
        }
        return evidence.previous.vectors != nullptr && evidence.next.vectors != nullptr;
    };
    for (const Picture& p : pictures)
        CoarseLuma(lumaOf(p), const_cast<uint8_t*>(p.coarse.data()));

    std::vector<const LumaBlockDistanceVariantOf<uint8_t>*> variants;
    for (const auto& variant : LumaBlockDistanceVariants<uint8_t>()) {
        if (HasFeatures(features, variant.neededFeatures))
            variants.push_back(&variant);
    }
    std::vector<std::vector<double>> samples(variants.size() + 1);
    bool bothSides = true;
    for (int round = 0; round < kRounds; ++round) {
        for (size_t v = 0; v <= variants.size(); ++v) {
            const auto start = std::chrono::steady_clock::now();
            const bool sides = repair(v == 0 ? nullptr : variants[v - 1]->fn);
            bothSides = bothSides && (v == 0 || sides);
            const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
            samples[v].push_back(took.count());
        }
    }
    const double spatial = Median(samples[0]);
    std::printf("| 720x576 4:2:0, one thread | ms per picture | against the spatial repair |\n|---|---|---|\n");
    std::printf("| spatial repair | %.2f | 1.00 |\n", spatial);
    for (size_t v = 0; v < variants.size(); ++v) {
        const double ms = Median(samples[v + 1]);
        std::printf("| over time, %s | %.2f | %.2f |\n", variants[v]->name, ms, ms / spatial);
    }
    if (!bothSides)
        std::printf("(a neighbour was taken for a scene cut: the figures leave its evidence out)\n");
    return 0;
}
