#include "conversion_test_support.h"

namespace {

// Chosen when called, so that the feature mask in force then decides, as at a stream's start.
void ChosenRgbToYuy2(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size)
{
    ChooseRgbConversionKernels(CpuFeatures()).RgbToYuy2(rgb, yuy2, size);
}

void ChosenYuy2ToRgb(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size)
{
    ChooseRgbConversionKernels(CpuFeatures()).Yuy2ToRgb(yuy2, rgb, size);
}

}  // namespace

std::vector<RgbConversionVariant> ConversionsUnderTest()
{
    std::vector<RgbConversionVariant> variants(RgbConversionVariants().begin(), RgbConversionVariants().end());
    variants.push_back({"ChosenForThisCpu", {ChosenRgbToYuy2, ChosenYuy2ToRgb}, 0});
    return variants;
}
