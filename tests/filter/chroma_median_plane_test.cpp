// Every plane kernel this CPU runs against the plain definition, over hostile planes: widths 1 to 70 (each
// register width and its tails), heights count/2 (every window past both edges; 1 for counts 2 and 3) and
// just above, rows further apart than the width with marked bytes between them and around the plane that
// nothing may touch. That the chooser picks only from this list is checked with the other kernel tables
// (tests/filter/kernel_tables_test.cpp).

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

TEST(ChromaMedianPlane, EveryVariantEqualsTheDefinition)
{
    std::mt19937 random(13);
    GuardedBytes scratch(kChromaMedianPlaneScratchBytes);
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
                    const size_t misalign = random() % 32;
                    std::vector<uint8_t> input(planeBytes, GuardedBytes::kMarker);
                    for (int r = 0; r < height; ++r)
                        for (int x = 0; x < width; ++x)
                            input[stride * r + x] = Sample(pattern, random);
                    std::vector<uint8_t> expected = input;
                    reference::ChromaMedianPlane(expected.data(), stride, width, height, count);

                    ForEachRunnableVariant(ChromaMedianPlaneVariants(), [&](const ChromaMedianPlaneVariant& variant) {
                        if (!variant.Serves(count))
                            return;
                        GuardedBytes actual(planeBytes, misalign);
                        std::copy(input.begin(), input.end(), actual.data());
                        variant.fn(actual.data(), stride, width, height, count, scratch.data());
                        const auto differ = std::mismatch(expected.begin(), expected.end(), actual.data());
                        ASSERT_TRUE(differ.first == expected.end() && actual.GuardsIntact())
                            << variant.name << ", count " << count << ", " << width << "x" << height << ", "
                            << kPatternNames[static_cast<int>(pattern)] << ", byte "
                            << (differ.first - expected.begin()) << " of the plane (" << planeBytes
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

}  // namespace
