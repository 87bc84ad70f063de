// Microseconds per chroma plane for every plane kernel this CPU runs, on one hot plane, in interleaved
// rounds (median of 9) so the variants compare under the same load. Prints a markdown table.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <utility>
#include <vector>

#include "filter/chroma_median_plane.h"
#include "filter/cpu_features.h"
#include "tests/common/guarded_bytes.h"

namespace {

constexpr int kRounds = 9;

double MedianMicroseconds(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main()
{
    std::vector<const ChromaMedianPlaneVariant*> variants;
    for (const ChromaMedianPlaneVariant& variant : ChromaMedianPlaneVariants<uint8_t>()) {
        if (HasFeatures(DetectCpuFeatures(), variant.neededFeatures))
            variants.push_back(&variant);
    }
    GuardedBytes scratchBytes(kChromaMedianPlaneScratchBytes);
    uint8_t* scratch = scratchBytes.data();
    std::printf("| 4:2:2 chroma plane | window |");
    for (const auto* variant : variants)
        std::printf(" %s us |", variant->name);
    std::printf("\n|---|---|");
    for (size_t v = 0; v < variants.size(); ++v)
        std::printf("---|");
    std::printf("\n");
    std::mt19937 random(1);
    for (const auto& [width, height] : {std::pair{360, 576}, std::pair{960, 1080}}) {
        std::vector<uint8_t> original(static_cast<size_t>(width) * height);
        for (uint8_t& sample : original)
            sample = static_cast<uint8_t>(random());
        for (const int count : {3, 5, 7, 15, 30}) {
            std::vector<std::vector<double>> samples(variants.size());
            std::vector<uint8_t> plane = original;
            for (int round = 0; round < kRounds; ++round) {
                for (size_t v = 0; v < variants.size(); ++v) {
                    if (!variants[v]->Serves(count))
                        continue;
                    const int repeats = variants[v]->neededFeatures == 0 ? 1 : 20;
                    const auto start = std::chrono::steady_clock::now();
                    for (int r = 0; r < repeats; ++r)
                        variants[v]->fn(plane.data(), width, width, height, count, scratch);
                    const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
                    samples[v].push_back(took.count() / repeats);
                }
            }
            std::printf("| %dx%d | %d |", width, height, count);
            for (const auto& timings : samples) {
                if (timings.empty())
                    std::printf(" - |");
                else
                    std::printf(" %.1f |", MedianMicroseconds(timings));
            }
            std::printf("\n");
        }
    }
}
