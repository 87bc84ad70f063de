// Every kernel table of this build, made for any CPU it may run on, picks only variants from its family's
// list, and the other tests run every listed variant: so no kernel the product can choose goes untested.
// A new family joins with one line below.

#include <gtest/gtest.h>

#include <algorithm>

#include "filter/chroma_median.h"
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

TEST(KernelTables, PickOnlyListedVariantsTheCpuRuns)
{
    for (const uint32_t features : CpuFeatureLevels()) {
        SCOPED_TRACE(testing::Message() << "CPU features 0x" << std::hex << features);
        const ChromaMedianKernels chroma = ChooseChromaMedianKernels(features);
        for (int32_t count = 1; count <= kMaxMedianWindow; ++count) {
            EXPECT_TRUE(PickedFromList(features, ChromaMedianVariants(), [&](const ChromaMedianVariant& variant) {
                return variant.fn == chroma.byCount[count] && variant.Serves(count);
            })) << "chroma median, count " << count;
        }
        const RgbConversionKernels rgb = ChooseRgbConversionKernels(features);
        EXPECT_TRUE(PickedFromList(features, RgbConversionVariants(), [&](const RgbConversionVariant& variant) {
            return variant.toYuy2 == rgb.toYuy2 && variant.toRgb == rgb.toRgb;
        })) << "RGB conversions";
    }
}

}  // namespace
