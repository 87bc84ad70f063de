#pragma once

#include <cstdint>

#include "filter/frame_size.h"

// Every implementation of the two conversions, with their signatures and preconditions
// (filter/rgb_yuy2.h); RgbConversionVariants() lists them.
void RgbToYuy2_C(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size);
void Yuy2ToRgb_C(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size);

// Need SSE2; their translation unit is the only one compiled with it.
void RgbToYuy2_SSE2(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size);
void Yuy2ToRgb_SSE2(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size);
