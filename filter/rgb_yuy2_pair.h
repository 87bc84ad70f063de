#pragma once

// One pixel pair at a time: the portable conversions and the vector variants' tails.
// Internal linkage on purpose: this header is compiled both with and without SSE2, and a shared inline
// definition could let the linker hand the SSE2 copy to baseline code.

#include <cstdint>

#include "filter/frame_size.h"

namespace {

// Forward weights, scale 1/256. Luma: 0.114, 0.587, 0.299 rounded so that they sum to 256 and grey
// stays grey. Chroma: 0.5 for the own channel, the others rounded so that each row sums to 0.
constexpr int32_t kYFromB = 29, kYFromG = 150, kYFromR = 77;
constexpr int32_t kUFromB = 128, kUFromG = -85, kUFromR = -43;
constexpr int32_t kVFromB = -21, kVFromG = -107, kVFromR = 128;
constexpr int32_t kChromaZero = 128;

// Inverse weights, scale 1/4096: B = Y + 1.773 du, G = Y - 0.336 du - 0.715 dv, R = Y + 1.402 dv.
constexpr int32_t kBFromU = 7264, kGFromU = -1376, kGFromV = -2928, kRFromV = 5744;

// (width * height) / 2 from the 32-bit product, wrapping as the host's arithmetic does rather than
// overflowing; a size with no whole pair gives 0 or less and converts nothing.
inline int32_t PixelPairCount(const FrameSize* size)
{
    const uint32_t pixels = static_cast<uint32_t>(size->width) * static_cast<uint32_t>(size->height);
    return static_cast<int32_t>(pixels) / 2;
}

inline uint8_t SaturateToByte(int32_t value)
{
    return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

// Right shifts of negative sums are arithmetic (C++20), so each ">>" below is a floor.
inline void RgbPairToYuy2(const uint8_t* rgb, uint8_t* yuy2)
{
    const int32_t b0 = rgb[0], g0 = rgb[1], r0 = rgb[2];
    const int32_t b1 = rgb[3], g1 = rgb[4], r1 = rgb[5];
    const int32_t y0 = (kYFromB * b0 + kYFromG * g0 + kYFromR * r0) >> 8;
    const int32_t y1 = (kYFromB * b1 + kYFromG * g1 + kYFromR * r1) >> 8;
    const int32_t b = (b0 + b1) >> 1, g = (g0 + g1) >> 1, r = (r0 + r1) >> 1;
    const int32_t u = ((kUFromB * b + kUFromG * g + kUFromR * r) >> 8) + kChromaZero;
    const int32_t v = ((kVFromB * b + kVFromG * g + kVFromR * r) >> 8) + kChromaZero;
    yuy2[0] = SaturateToByte(y0);
    yuy2[1] = SaturateToByte(u);
    yuy2[2] = SaturateToByte(y1);
    yuy2[3] = SaturateToByte(v);
}

inline void Yuy2PairToRgb(const uint8_t* yuy2, uint8_t* rgb)
{
    const int32_t du = yuy2[1] - kChromaZero, dv = yuy2[3] - kChromaZero;
    const int32_t tB = (kBFromU * du) >> 12;
    const int32_t tG = ((kGFromU * du) >> 12) + ((kGFromV * dv) >> 12);
    const int32_t tR = (kRFromV * dv) >> 12;
    const int32_t y0 = yuy2[0], y1 = yuy2[2];
    rgb[0] = SaturateToByte(y0 + tB);
    rgb[1] = SaturateToByte(y0 + tG);
    rgb[2] = SaturateToByte(y0 + tR);
    rgb[3] = SaturateToByte(y1 + tB);
    rgb[4] = SaturateToByte(y1 + tG);
    rgb[5] = SaturateToByte(y1 + tR);
}

}  // namespace
