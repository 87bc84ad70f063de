#pragma once

#include <cstdint>
#include <span>

#include "filter/frame_size.h"
#include "filter/kernel_variant.h"

// Fixed-point conversions between packed 24-bit RGB (bytes B, G, R) and packed YUY2, pair by pair over
// the width * height pixels as one run. Preconditions: (width * height) / 2 >= 1, buffers hold
// 3 * width * height and 2 * width * height bytes, no overlap.
using RgbToYuy2Fn = void (*)(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size);
using Yuy2ToRgbFn = void (*)(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size);

// The portable references.
void RgbToYuy2_C(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size);
void Yuy2ToRgb_C(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size);

// The conversions of one stream, both directions of one implementation, chosen once for the CPU features.
struct RgbConversionKernels {
    RgbToYuy2Fn toYuy2;
    Yuy2ToRgbFn toRgb;

    void RgbToYuy2(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size) const { toYuy2(rgb, yuy2, size); }
    void Yuy2ToRgb(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size) const { toRgb(yuy2, rgb, size); }
};

// Every implementation, the portable one first (the family's table, in filter/rgb_yuy2.cpp).
using RgbConversionVariant = KernelVariant<RgbConversionKernels>;
std::span<const RgbConversionVariant> RgbConversionVariants();

RgbConversionKernels ChooseRgbConversionKernels(uint32_t cpuFeatures);
