#pragma once

#include <cstdint>
#include <span>

#include "filter/frame_size.h"

// Fixed-point conversions between packed 24-bit RGB (bytes B, G, R) and packed YUY2, pair by pair over
// the width * height pixels as one run. Preconditions: (width * height) / 2 >= 1, buffers hold
// 3 * width * height and 2 * width * height bytes, no overlap.
using RgbToYuy2Fn = void (*)(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size);
using Yuy2ToRgbFn = void (*)(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size);

// One implementation of both directions and the CPU features it needs.
struct RgbConversionVariant {
    const char* name;
    RgbToYuy2Fn toYuy2;
    Yuy2ToRgbFn toRgb;
    uint32_t neededFeatures;
};

// Every implementation, the portable one first; the choice is the last one listed that the CPU runs.
std::span<const RgbConversionVariant> RgbConversionVariants();

// The conversions of one stream, chosen once for the CPU features.
struct RgbConversionKernels {
    RgbToYuy2Fn toYuy2;
    Yuy2ToRgbFn toRgb;

    void RgbToYuy2(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size) const { toYuy2(rgb, yuy2, size); }
    void Yuy2ToRgb(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size) const { toRgb(yuy2, rgb, size); }
};
RgbConversionKernels ChooseRgbConversionKernels(uint32_t cpuFeatures);
