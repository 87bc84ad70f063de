#include "filter/rgb_yuy2.h"

#include <cstddef>

#include "filter/cpu_features.h"
#include "filter/rgb_yuy2_pair.h"
#include "filter/rgb_yuy2_variants.h"

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

void RgbToYuy2(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size) { RgbToYuy2_C(rgb, yuy2, size); }

void Yuy2ToRgb(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size) { Yuy2ToRgb_C(yuy2, rgb, size); }

RgbConversionKernels ChooseRgbConversionKernels(uint32_t cpuFeatures)
{
    if (cpuFeatures & kCpuSSE2)
        return {RgbToYuy2_SSE2, Yuy2ToRgb_SSE2};
    return {RgbToYuy2_C, Yuy2ToRgb_C};
}
