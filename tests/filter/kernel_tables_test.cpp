// Every kernel table of this build, made for any CPU it may run on, picks only variants from its family's
// list, and the other tests run every listed variant: so no kernel the product can choose goes untested.
// With no features each table is the portable one; with every feature, the most preferred (the last listed)
// that serves the window. A new family joins with one line below.

#include <gtest/gtest.h>

#include <span>

#include "filter/chroma_median.h"
#include "filter/chroma_median_plane.h"
#include "filter/chroma_repair_plane.h"
#include "filter/luma_motion.h"
#include "filter/rgb_yuy2.h"
#include "tests/common/kernel_variants.h"

namespace {

template <class Fn>
bool Same(Fn a, Fn b)
{
    return a == b;
}

bool Same(const RgbConversionKernels& a, const RgbConversionKernels& b)
{
    return a.toYuy2 == b.toYuy2 && a.toRgb == b.toRgb;
}

// Expects chosen(count), for every window, to come from the list, run on the CPU and serve the window.
template <class Fn, class Chosen>
void ExpectEveryCountPickedFromList(uint32_t features, std::span<const KernelVariant<Fn>> variants, Chosen chosen,
                                    const char* family)
{
    for (int32_t count = 1; count <= kMaxMedianWindow; ++count) {
        SCOPED_TRACE(testing::Message() << family << ", count " << count);
        const Fn fn = chosen(count);
        const KernelVariant<Fn>* preferred = nullptr;
        bool listed = false;
        for (const KernelVariant<Fn>& variant : variants) {
            if (!variant.Serves(count))
                continue;
            preferred = &variant;
            listed |= HasFeatures(features, variant.neededFeatures) && Same(variant.fn, fn);
        }
        EXPECT_TRUE(listed);
        if (features == 0) {
            EXPECT_TRUE(Same(fn, variants.front().fn)) << "not the portable variant";
        }
        if (features == ~0u) {
            EXPECT_TRUE(Same(fn, preferred->fn)) << "not " << preferred->name;
        }
    }
}

TEST(KernelTables, PickOnlyListedVariantsTheCpuRunsThePortableOneWithoutFeaturesAndThePreferredWithAll)
{
    for (const uint32_t features : CpuFeatureLevels()) {
        SCOPED_TRACE(testing::Message() << "CPU features 0x" << std::hex << features);
        const ChromaMedianKernels packed = ChooseChromaMedianKernels(features);
        ExpectEveryCountPickedFromList(features, ChromaMedianVariants(),
                                       [&](int32_t count) { return packed.byCount[count]; }, "chroma median");
        const ChromaMedianPlaneKernels plane = ChooseChromaMedianPlaneKernels<uint8_t>(features);
        ExpectEveryCountPickedFromList(features, ChromaMedianPlaneVariants<uint8_t>(),
                                       [&](int32_t count) { return plane.byCount[count]; }, "plane median");
        ExpectEveryCountPickedFromList(features, ChromaMedianPlaneVariants<uint8_t>(),
                                       [&](int32_t count) { return ChooseChromaRepairKernels<uint8_t>(features, count).median; },
                                       "repair's median");
        ExpectEveryCountPickedFromList(features, ChromaSparkleMaskVariants<uint8_t>(),
                                       [&](int32_t count) { return ChooseChromaRepairKernels<uint8_t>(features, count).mask; },
                                       "sparkle mask");
        const ChromaMedianPlaneKernelsOf<uint16_t> plane16 = ChooseChromaMedianPlaneKernels<uint16_t>(features);
        ExpectEveryCountPickedFromList(features, ChromaMedianPlaneVariants<uint16_t>(),
                                       [&](int32_t count) { return plane16.byCount[count]; }, "16-bit plane median");
        ExpectEveryCountPickedFromList(
            features, ChromaMedianPlaneVariants<uint16_t>(),
            [&](int32_t count) { return ChooseChromaRepairKernels<uint16_t>(features, count).median; },
            "16-bit repair's median");
        ExpectEveryCountPickedFromList(
            features, ChromaSparkleMaskVariants<uint16_t>(),
            [&](int32_t count) { return ChooseChromaRepairKernels<uint16_t>(features, count).mask; },
            "16-bit sparkle mask");
        ExpectEveryCountPickedFromList(features, RgbConversionVariants(),
                                       [&](int32_t) { return ChooseRgbConversionKernels(features); }, "RGB conversions");
        ExpectEveryCountPickedFromList(features, LumaBlockDistanceVariants<uint8_t>(),
                                       [&](int32_t) { return ChooseKernel(LumaBlockDistanceVariants<uint8_t>(), features); },
                                       "block distance");
    }
}

}  // namespace
