// Every plane kernel of the choice table against the plain definition, over hostile planes: widths 1 to 70
// (each register width and its tails), heights at and just above the smallest filtered, rows further apart
// than the width with marked bytes between them and around the plane that nothing may touch.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "filter/chroma_median_plane.h"
#include "filter/cpu_features.h"
#include "tests/common/plane_reference.h"

namespace {

enum class Pattern { Random, Extremes, Ties, Spikes };
const char* const kPatternNames[] = {"random", "0/255", "ties", "spikes"};

uint8_t Sample(Pattern pattern, std::mt19937& random)
{
    switch (pattern) {
    case Pattern::Random: return static_cast<uint8_t>(random());
    case Pattern::Extremes: return random() % 2 ? 255 : 0;
    case Pattern::Ties: return static_cast<uint8_t>(126 + random() % 3);
    case Pattern::Spikes: return random() % 7 == 0 ? static_cast<uint8_t>(random()) : 128;
    }
    return 0;
}

bool Runs(const ChromaMedianPlaneVariant& variant, uint32_t features)
{
    return (features & variant.neededFeatures) == variant.neededFeatures;
}

constexpr uint8_t kMarker = 0xA5;
constexpr size_t kGuardBytes = 64;

struct AlignedScratch {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kChromaMedianPlaneScratchBytes + kChromaMedianPlaneScratchAlign);
    uint8_t* Get()
    {
        const auto address = reinterpret_cast<uintptr_t>(bytes.data());
        return bytes.data() + (kChromaMedianPlaneScratchAlign - address % kChromaMedianPlaneScratchAlign) %
                                  kChromaMedianPlaneScratchAlign;
    }
};

TEST(ChromaMedianPlane, EveryVariantEqualsTheDefinition)
{
    std::mt19937 random(13);
    AlignedScratch scratch;
    int checked = 0;
    for (const int count : {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 29, 30}) {
        const int h = count / 2;
        for (const int height : {h, h + 1, h + 2, 2 * count + 3}) {
            if (height < 1)
                continue;
            for (int width = 1; width <= 70; ++width) {
                for (const Pattern pattern : {Pattern::Random, Pattern::Extremes, Pattern::Ties, Pattern::Spikes}) {
                    // Rows a few bytes longer than the plane, the plane starting off any alignment.
                    const ptrdiff_t stride = width + static_cast<int>(random() % 9);
                    const size_t planeBytes = static_cast<size_t>(stride) * (height - 1) + width;
                    const size_t start = kGuardBytes + random() % 32;
                    std::vector<uint8_t> input(start + planeBytes + kGuardBytes, kMarker);
                    for (int r = 0; r < height; ++r)
                        for (int x = 0; x < width; ++x)
                            input[start + stride * r + x] = Sample(pattern, random);
                    std::vector<uint8_t> expected = input;
                    reference::ChromaMedianPlane(expected.data() + start, stride, width, height, count);

                    for (size_t v = 0; v < kChromaMedianPlaneVariantCount; ++v) {
                        const ChromaMedianPlaneVariant& variant = kChromaMedianPlaneVariants[v];
                        if (!Runs(variant, DetectCpuFeatures()) || count < variant.minCount || count > variant.maxCount)
                            continue;
                        std::vector<uint8_t> actual = input;
                        variant.fn(actual.data() + start, stride, width, height, count, scratch.Get());
                        const auto differ = std::mismatch(actual.begin(), actual.end(), expected.begin());
                        ASSERT_TRUE(differ.first == actual.end())
                            << variant.name << ", count " << count << ", " << width << "x" << height << ", "
                            << kPatternNames[static_cast<int>(pattern)] << ", byte "
                            << (differ.first - actual.begin()) - static_cast<ptrdiff_t>(start) << " of the plane";
                        ++checked;
                    }
                }
            }
        }
    }
    EXPECT_GT(checked, 0);
}

// Whatever the CPU offers, the chooser hands each count a variant that runs there and serves that count.
TEST(ChromaMedianPlane, ChooserPicksOnlyRunnableServingVariants)
{
    for (const uint32_t features : {0u, uint32_t{kCpuSSE2}, DetectCpuFeatures()}) {
        const ChromaMedianPlaneKernels kernels = ChooseChromaMedianPlaneKernels(features);
        for (int count = 1; count <= kMaxMedianWindow; ++count) {
            const auto* end = kChromaMedianPlaneVariants + kChromaMedianPlaneVariantCount;
            const auto* chosen = std::find_if(kChromaMedianPlaneVariants, end, [&](const auto& variant) {
                return variant.fn == kernels.byCount[count];
            });
            ASSERT_NE(chosen, end) << "count " << count;
            EXPECT_TRUE(Runs(*chosen, features) && count >= chosen->minCount && count <= chosen->maxCount)
                << chosen->name << " chosen for count " << count << " with features " << features;
        }
        if (features == 0) {
            EXPECT_EQ(kernels.byCount[15], ChromaMedianPlane_C);
        }
    }
}

}  // namespace
