#pragma once

// The filter and the conversions written straight from their definitions, slowly and plainly, for
// comparing whole frames that came through the plug-in.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace reference {

// Every chroma byte of every full 8-pixel strip becomes rank count/2 of its clamped vertical window.
inline std::vector<uint8_t> ChromaMedian(const std::vector<uint8_t>& yuy2, int width, int height, int count)
{
    std::vector<uint8_t> out = yuy2;
    const int h = count / 2, a = count - 1 - h;
    const int rowBytes = width * 2;
    const int stripBytes = (width / 8) * 16;
    std::vector<uint8_t> window(count);
    for (int column = 1; column < stripBytes; column += 2) {
        for (int r = 0; r < height; ++r) {
            for (int i = 0; i < count; ++i) {
                const int row = std::clamp(r - a + i, 0, height - 1);
                window[i] = yuy2[row * rowBytes + column];
            }
            std::sort(window.begin(), window.end());
            out[r * rowBytes + column] = window[h];
        }
    }
    return out;
}

inline int FloorDiv(int value, int divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

inline uint8_t Saturate(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

inline std::vector<uint8_t> RgbToYuy2(const std::vector<uint8_t>& rgb, int pixels)
{
    std::vector<uint8_t> yuy2(static_cast<size_t>(pixels) * 2, 0);
    for (int m = 0; m < pixels / 2; ++m) {
        const uint8_t* p = &rgb[m * 6];
        const int b0 = p[0], g0 = p[1], r0 = p[2], b1 = p[3], g1 = p[4], r1 = p[5];
        const int b = (b0 + b1) / 2, g = (g0 + g1) / 2, r = (r0 + r1) / 2;
        yuy2[m * 4 + 0] = Saturate(FloorDiv(29 * b0 + 150 * g0 + 77 * r0, 256));
        yuy2[m * 4 + 1] = Saturate(FloorDiv(128 * b - 85 * g - 43 * r, 256) + 128);
        yuy2[m * 4 + 2] = Saturate(FloorDiv(29 * b1 + 150 * g1 + 77 * r1, 256));
        yuy2[m * 4 + 3] = Saturate(FloorDiv(128 * r - 107 * g - 21 * b, 256) + 128);
    }
    return yuy2;
}

// Writes only the converted pairs into rgb; an odd last pixel keeps its bytes.
inline void Yuy2ToRgb(const std::vector<uint8_t>& yuy2, std::vector<uint8_t>& rgb, int pixels)
{
    for (int m = 0; m < pixels / 2; ++m) {
        const uint8_t* q = &yuy2[m * 4];
        const int du = q[1] - 128, dv = q[3] - 128;
        const int tB = FloorDiv(7264 * du, 4096), tGu = FloorDiv(-1376 * du, 4096);
        const int tGv = FloorDiv(-2928 * dv, 4096), tR = FloorDiv(5744 * dv, 4096);
        for (int k = 0; k < 2; ++k) {
            const int y = q[k * 2];
            rgb[m * 6 + k * 3 + 0] = Saturate(y + tB);
            rgb[m * 6 + k * 3 + 1] = Saturate(y + tGu + tGv);
            rgb[m * 6 + k * 3 + 2] = Saturate(y + tR);
        }
    }
}

}  // namespace reference
