#include "filter/rgb_yuy2.h"

#include <cstddef>

#include "filter/cpu_features.h"
#include "filter/rgb_yuy2_pair.h"

// The vectorised variants, each instruction set's in a file of its own (filter/rgb_yuy2_sse2.cpp), compiled
// with that set.
void RgbToYuy2_SSE2(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size);
void Yuy2ToRgb_SSE2(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size);

void RgbToYuy2_C(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size)
{
    const int32_t pairs = PixelPairCount(size);
    for (int32_t m = 0; m < pairs; ++m)
        RgbPairToYuy2(rgb + 6 * static_cast<size_t>(m), yuy2 + 4 * static_cast<size_t>(m));
}

void Yuy2ToRgb_C(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size)
{
    const int32_t pairs = PixelPairCount(size);
    for (int32_t m = 0; m < pairs; ++m)
        Yuy2PairToRgb(yuy2 + 4 * static_cast<size_t>(m), rgb + 6 * static_cast<size_t>(m));
}

std::span<const RgbConversionVariant> RgbConversionVariants()
{
    static constexpr RgbConversionVariant kVariants[] = {
        {"RgbConversion_C", {RgbToYuy2_C, Yuy2ToRgb_C}, 0},
        {"RgbConversion_SSE2", {RgbToYuy2_SSE2, Yuy2ToRgb_SSE2}, kCpuSSE2},
    };
    return kVariants;
}

RgbConversionKernels ChooseRgbConversionKernels(uint32_t cpuFeatures)
{
    return ChooseKernel(RgbConversionVariants(), cpuFeatures);
}
