#pragma once

#include <cstdint>

#include "filter/frame_size.h"

// Fixed-point conversions between packed 24-bit RGB (bytes B, G, R) and packed YUY2, pair by pair over
// the width * height pixels as one run. Preconditions: (width * height) / 2 >= 1, buffers hold
// 3 * width * height and 2 * width * height bytes, no overlap.
void RgbToYuy2(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size);
void Yuy2ToRgb(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size);

using RgbToYuy2Fn = void (*)(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size);
using Yuy2ToRgbFn = void (*)(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size);

struct RgbConversionKernels {
    RgbToYuy2Fn toYuy2;
    Yuy2ToRgbFn toRgb;
};
RgbConversionKernels ChooseRgbConversionKernels(uint32_t cpuFeatures);
