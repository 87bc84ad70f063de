// Every plane kernel this CPU runs against the plain definition, over hostile planes, at 8, 10 and 16 bits:
// widths 1 to 70 (each register width and its tails), heights count/2 (every window past both edges; 1 for
// counts 2 and 3) and just above, rows further apart than the width with marked bytes between them and
// around the plane that nothing may touch. Samples at 16 bits cross 0x8000, where a kernel that ordered them
// as signed numbers would go wrong. That the chooser picks only from these lists is checked with the other
// kernel tables (tests/filter/kernel_tables_test.cpp).

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "filter/chroma_median_plane.h"
#include "tests/common/guarded_bytes.h"
#include "tests/common/kernel_variants.h"
#include "tests/common/plane_reference.h"

namespace {

enum class Pattern { Random, Extremes, Ties, Spikes };
const char* const kPatternNames[] = {"random", "0/full scale", "ties", "spikes"};

// A sample of `depth` bits; ties sit at the middle of the range.
int PatternSample(Pattern pattern, int depth, std::mt19937& random)
{
    const int full = (1 << depth) - 1, middle = 1 << (depth - 1);
    switch (pattern) {
    case Pattern::Random: return static_cast<int>(random() & full);
    case Pattern::Extremes: return random() % 2 ? full : 0;
    case Pattern::Ties: return middle - 2 + static_cast<int>(random() % 3);
    case Pattern::Spikes: return random() % 7 == 0 ? static_cast<int>(random() & full) : middle;
    }
    return 0;
}

template <class Sample>
void ExpectEveryVariantEqualsTheDefinition(int depth)
{
    SCOPED_TRACE(testing::Message() << depth << "-bit samples");
    std::mt19937 random(13 + depth);
    GuardedBytes scratch(kChromaMedianPlaneScratchBytes);
    int checked = 0;
    for (const int count : {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 29, 30}) {
        const int h = count / 2;
        for (const int height : {h, h + 1, h + 2, 2 * count + 3}) {
            if (height < 1)
                continue;
            for (int width = 1; width <= 70; ++width) {
                for (const Pattern pattern : {Pattern::Random, Pattern::Extremes, Pattern::Ties, Pattern::Spikes}) {
                    // Rows a few samples longer than the plane, the plane starting off any alignment.
                    const ptrdiff_t stride = width + static_cast<int>(random() % 9);
                    const size_t planeSamples = static_cast<size_t>(stride) * (height - 1) + width;
                    const size_t misalign = random() % 32 * sizeof(Sample);
                    std::vector<Sample> input(planeSamples, static_cast<Sample>(0xA5A5));
                    for (int r = 0; r < height; ++r)
                        for (int x = 0; x < width; ++x)
                            input[stride * r + x] = static_cast<Sample>(PatternSample(pattern, depth, random));
                    std::vector<Sample> expected = input;
                    reference::ChromaMedianPlane(expected.data(), stride, width, height, count);

                    ForEachRunnableVariant(ChromaMedianPlaneVariants<Sample>(), [&](const auto& variant) {
                        if (!variant.Serves(count))
                            return;
                        GuardedBytes actual(planeSamples * sizeof(Sample), misalign);
                        auto* const plane = reinterpret_cast<Sample*>(actual.data());
                        std::copy(input.begin(), input.end(), plane);
                        variant.fn(plane, stride, width, height, count, scratch.data());
                        const auto differ = std::mismatch(expected.begin(), expected.end(), plane);
                        ASSERT_TRUE(differ.first == expected.end() && actual.GuardsIntact())
                            << variant.name << ", count " << count << ", " << width << "x" << height << ", "
                            << kPatternNames[static_cast<int>(pattern)] << ", sample "
                            << (differ.first - expected.begin()) << " of the plane (" << planeSamples
                            << " when only the guards differ)";
                        ++checked;
                    });
                    if (testing::Test::HasFatalFailure())
                        return;
                }
            }
        }
    }
    EXPECT_GT(checked, 0);
}

TEST(ChromaMedianPlane, EveryVariantEqualsTheDefinitionAtEveryWidth)
{
    ExpectEveryVariantEqualsTheDefinition<uint8_t>(8);
    ExpectEveryVariantEqualsTheDefinition<uint16_t>(10);
    ExpectEveryVariantEqualsTheDefinition<uint16_t>(16);
}

}  // namespace
