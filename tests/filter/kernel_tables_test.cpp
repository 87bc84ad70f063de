// Every kernel table of this build, made for any CPU it may run on, picks only variants from its family's
// list, and the other tests run every listed variant: so no kernel the product can choose goes untested.
// A new family joins with one line below; the command-line filter's plane family is one of them.

#include <gtest/gtest.h>

#include <algorithm>

#include "filter/chroma_median.h"
#include "filter/chroma_median_plane.h"
#include "filter/chroma_repair_plane.h"
#include "filter/rgb_yuy2.h"
#include "tests/common/kernel_variants.h"

namespace {

// True when the list holds a variant the CPU runs that matches.
template <class Variants, class Matches>
bool PickedFromList(uint32_t features, const Variants& variants, Matches matches)
{
    return std::any_of(variants.begin(), variants.end(), [&](const auto& variant) {
        return HasFeatures(features, variant.neededFeatures) && matches(variant);
    });
}

// Expects the table's kernel for every window to come from the list, run on the CPU and serve the window.
template <class Variants, class Fn>
void ExpectEveryCountPickedFromList(uint32_t features, const Variants& variants,
                                    const Fn (&byCount)[kMaxMedianWindow + 1], const char* family)
{
    for (int32_t count = 1; count <= kMaxMedianWindow; ++count) {
        EXPECT_TRUE(PickedFromList(features, variants, [&](const auto& variant) {
            return variant.fn == byCount[count] && variant.Serves(count);
        })) << family << ", count " << count;
    }
}

TEST(KernelTables, PickOnlyListedVariantsTheCpuRuns)
{
    for (const uint32_t features : CpuFeatureLevels()) {
        SCOPED_TRACE(testing::Message() << "CPU features 0x" << std::hex << features);
        ExpectEveryCountPickedFromList(features, ChromaMedianVariants(), ChooseChromaMedianKernels(features).byCount,
                                       "chroma median");
        ExpectEveryCountPickedFromList(features, ChromaMedianPlaneVariants(),
                                       ChooseChromaMedianPlaneKernels(features).byCount, "chroma median of a plane");
        const ChromaRepairKernels repair = ChooseChromaRepairKernels(features, 7);
        EXPECT_TRUE(PickedFromList(features, ChromaSparkleMaskVariants(), [&](const ChromaSparkleMaskVariant& variant) {
            return variant.fn == repair.mask;
        })) << "sparkle mask";
        const RgbConversionKernels rgb = ChooseRgbConversionKernels(features);
        EXPECT_TRUE(PickedFromList(features, RgbConversionVariants(), [&](const RgbConversionVariant& variant) {
            return variant.toYuy2 == rgb.toYuy2 && variant.toRgb == rgb.toRgb;
        })) << "RGB conversions";
    }
}

}  // namespace
