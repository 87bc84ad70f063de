#pragma once

// The filter and the conversions written straight from their definitions, slowly and plainly: the
// reference every variant and every frame that came through the plug-in is compared with.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "filter/frame_size.h"

// Bytes of a frame: 2 per pixel for YUY2, 3 for RGB.
inline size_t Yuy2Bytes(const FrameSize& size) { return 2 * static_cast<size_t>(size.width) * size.height; }
inline size_t RgbBytes(const FrameSize& size) { return 3 * static_cast<size_t>(size.width) * size.height; }

namespace reference {

// Every chroma byte of every full 8-pixel strip becomes rank count/2 of its sorted window of rows
// r - a ... r + h, row numbers clamped to the frame; every other byte is copied. in and out do not overlap.
inline void ChromaMedian(const uint8_t* in, uint8_t* out, FrameSize size, int32_t count)
{
    std::memcpy(out, in, Yuy2Bytes(size));
    const int32_t h = count / 2, a = count - 1 - h;
    const size_t rowBytes = 2 * static_cast<size_t>(size.width);
    const size_t stripBytes = 16 * static_cast<size_t>(size.width / 8);
    std::vector<uint8_t> window(count);
    for (size_t column = 1; column < stripBytes; column += 2) {
        for (int32_t r = 0; r < size.height; ++r) {
            for (int32_t i = 0; i < count; ++i) {
                const int32_t row = std::clamp(r - a + i, 0, size.height - 1);
                window[i] = in[row * rowBytes + column];
            }
            std::sort(window.begin(), window.end());
            out[r * rowBytes + column] = window[h];
        }
    }
}

inline std::vector<uint8_t> ChromaMedian(const std::vector<uint8_t>& yuy2, int width, int height, int count)
{
    std::vector<uint8_t> out = yuy2;
    ChromaMedian(yuy2.data(), out.data(), FrameSize{width, height}, count);
    return out;
}

inline int32_t FloorDiv(int32_t value, int32_t divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

inline uint8_t Saturate(int32_t value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

// Pair by pair: 6 bytes B0 G0 R0 B1 G1 R1 in, 4 bytes Y0 U Y1 V out.
inline void RgbToYuy2(const uint8_t* rgb, uint8_t* yuy2, int32_t pairs)
{
    for (int32_t m = 0; m < pairs; ++m, rgb += 6, yuy2 += 4) {
        const int32_t b0 = rgb[0], g0 = rgb[1], r0 = rgb[2], b1 = rgb[3], g1 = rgb[4], r1 = rgb[5];
        const int32_t b = (b0 + b1) / 2, g = (g0 + g1) / 2, r = (r0 + r1) / 2;
        yuy2[0] = Saturate(FloorDiv(29 * b0 + 150 * g0 + 77 * r0, 256));
        yuy2[1] = Saturate(FloorDiv(128 * b - 85 * g - 43 * r, 256) + 128);
        yuy2[2] = Saturate(FloorDiv(29 * b1 + 150 * g1 + 77 * r1, 256));
        yuy2[3] = Saturate(FloorDiv(128 * r - 107 * g - 21 * b, 256) + 128);
    }
}

// Pair by pair: 4 bytes Y0 U Y1 V in, 6 bytes B0 G0 R0 B1 G1 R1 out.
inline void Yuy2ToRgb(const uint8_t* yuy2, uint8_t* rgb, int32_t pairs)
{
    for (int32_t m = 0; m < pairs; ++m, yuy2 += 4, rgb += 6) {
        const int32_t du = yuy2[1] - 128, dv = yuy2[3] - 128;
        const int32_t tB = FloorDiv(7264 * du, 4096), tGu = FloorDiv(-1376 * du, 4096);
        const int32_t tGv = FloorDiv(-2928 * dv, 4096), tR = FloorDiv(5744 * dv, 4096);
        for (int k = 0; k < 2; ++k) {
            const int32_t y = yuy2[2 * k];
            rgb[3 * k + 0] = Saturate(y + tB);
            rgb[3 * k + 1] = Saturate(y + tGu + tGv);
            rgb[3 * k + 2] = Saturate(y + tR);
        }
    }
}

// The last 2 bytes of the YUY2 frame stay 0 when the pixel count is odd.
inline std::vector<uint8_t> RgbToYuy2(const std::vector<uint8_t>& rgb, int pixels)
{
    std::vector<uint8_t> yuy2(static_cast<size_t>(pixels) * 2, 0);
    RgbToYuy2(rgb.data(), yuy2.data(), pixels / 2);
    return yuy2;
}

// Writes only the converted pairs into rgb; an odd last pixel keeps its bytes.
inline void Yuy2ToRgb(const std::vector<uint8_t>& yuy2, std::vector<uint8_t>& rgb, int pixels)
{
    Yuy2ToRgb(yuy2.data(), rgb.data(), pixels / 2);
}

}  // namespace reference
