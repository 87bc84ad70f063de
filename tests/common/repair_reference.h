#pragma once

// The repair mode written straight from its definition, one sample at a time: a sample farther than the
// threshold from its window's median is a suspect. A suspect is thin detail, and stays, when its column's
// run of suspects has at most 6 rows with a row of the plane above and below it, and walking along its
// row from it, at most 32 columns each way, over samples whose luma (per covered luma sample) is within 4
// of its own and at least 10 above both the rows above and below the run, or at least 10 below both, at
// least 4 of the samples (itself included) are within the threshold of its colour, more than the others.
// Any other suspect is replaced by the sample within 3 rows and 2 columns, not a suspect (or in the same
// row, thin detail), whose cost, the 3x3 luma patches' absolute differences plus 12 per step per covered
// luma sample, is lowest, ties going to the fewest steps, then the smallest row offset, then the smallest
// column offset; with none, the median. The suspect takes it when it too is farther than the threshold.
// Samples of d bits (9 to 16 in uint16_t) take the threshold and the figures 4, 10 and 12 times 2^(d - 8).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "tests/common/plane_reference.h"

namespace reference {

// A chroma plane (or field) and the luma plane (or the same field) under it; strides in samples.
template <class Sample>
struct RepairPlane {
    Sample* chroma;
    ptrdiff_t stride;
    int width, height;
    const Sample* luma;
    ptrdiff_t lumaStride;
    int lumaWidth, lumaHeight;
    int shiftX, shiftY;
    int depth = 8;
};

// What the repair over time decided for a sample (tests/common/temporal_reference.h): nothing, keep it, or
// a sparkle with its colour.
constexpr int kUndecided = -1;
constexpr int kKeep = -2;

// `overTime`, when given, holds a decision per sample (width x height): a kept suspect is thin detail, a
// sparkle found over time takes its colour and is no candidate.
template <class Sample>
void ChromaRepairPlane(const RepairPlane<Sample>& p, int count, int eightBitThreshold,
                       const std::vector<int>* overTime = nullptr)
{
    const int scale = 1 << (p.depth - 8);
    const int threshold = eightBitThreshold * scale;
    std::vector<Sample> in(static_cast<size_t>(p.width) * p.height);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            in[static_cast<size_t>(y) * p.width + x] = p.chroma[p.stride * y + x];
    std::vector<Sample> median = in;
    ChromaMedianPlane(median.data(), p.width, p.width, p.height, count);
    auto at = [&](const std::vector<Sample>& plane, int x, int y) { return int{plane[static_cast<size_t>(y) * p.width + x]}; };
    auto sparkle = [&](int x, int y) { return std::abs(at(in, x, y) - at(median, x, y)) > threshold; };
    auto lumaOf = [&](int x, int y) {
        x = std::clamp(x, 0, p.width - 1);
        y = std::clamp(y, 0, p.height - 1);
        int sum = 0;
        for (int i = 0; i < 1 << p.shiftY; ++i)
            for (int j = 0; j < 1 << p.shiftX; ++j)
                sum += p.luma[p.lumaStride * std::min((y << p.shiftY) + i, p.lumaHeight - 1) +
                              std::min((x << p.shiftX) + j, p.lumaWidth - 1)];
        return sum;
    };
    const int lumaScale = (1 << (p.shiftX + p.shiftY)) * scale;  // luma figures: per covered sample, per depth
    auto thinDetail = [&](int x, int y) {
        int top = y, bottom = y;
        while (top > 0 && sparkle(x, top - 1))
            --top;
        while (bottom < p.height - 1 && sparkle(x, bottom + 1))
            ++bottom;
        if (top == 0 || bottom == p.height - 1 || bottom - top + 1 > 6)
            return false;
        auto stands = [&](int c) {
            const int here = lumaOf(c, y), above = lumaOf(c, top - 1), below = lumaOf(c, bottom + 1);
            if (std::abs(here - lumaOf(x, y)) > 4 * lumaScale)
                return false;
            return (here >= above + 10 * lumaScale && here >= below + 10 * lumaScale) ||
                   (here <= above - 10 * lumaScale && here <= below - 10 * lumaScale);
        };
        if (!stands(x))
            return false;
        int agreeing = 1, differing = 0;
        for (int c = x - 1; c >= 0 && c >= x - 32 && stands(c); --c)
            (std::abs(at(in, c, y) - at(in, x, y)) <= threshold ? agreeing : differing) += 1;
        for (int c = x + 1; c < p.width && c <= x + 32 && stands(c); ++c)
            (std::abs(at(in, c, y) - at(in, x, y)) <= threshold ? agreeing : differing) += 1;
        return agreeing >= 4 && differing < agreeing;
    };
    std::vector<bool> detail(in.size());
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            detail[static_cast<size_t>(y) * p.width + x] = sparkle(x, y) && thinDetail(x, y);
    auto decision = [&](int x, int y) { return overTime ? (*overTime)[static_cast<size_t>(y) * p.width + x] : kUndecided; };
    auto isDetail = [&](int x, int y) { return detail[static_cast<size_t>(y) * p.width + x] || decision(x, y) == kKeep; };
    const int stepCost = 12 * lumaScale;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            if (decision(x, y) >= 0) {
                p.chroma[p.stride * y + x] = static_cast<Sample>(decision(x, y));
                continue;
            }
            if (!sparkle(x, y) || isDetail(x, y))
                continue;
            std::tuple<int, int, int, int> best{INT32_MAX, 0, 0, 0};
            int value = at(median, x, y);
            for (int dy = -3; dy <= 3; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    const int cx = x + dx, cy = y + dy;
                    if ((dx == 0 && dy == 0) || cx < 0 || cx >= p.width || cy < 0 || cy >= p.height)
                        continue;
                    if ((sparkle(cx, cy) && !(dy == 0 && isDetail(cx, cy))) || decision(cx, cy) >= 0)
                        continue;
                    const int steps = std::abs(dx) + std::abs(dy);
                    int cost = stepCost * steps;
                    for (int i = -1; i <= 1; ++i)
                        for (int j = -1; j <= 1; ++j)
                            cost += std::abs(lumaOf(x + j, y + i) - lumaOf(cx + j, cy + i));
                    const std::tuple<int, int, int, int> key{cost, steps, dy, dx};
                    if (key < best) {
                        best = key;
                        value = at(in, cx, cy);
                    }
                }
            }
            if (std::abs(value - at(in, x, y)) > threshold)
                p.chroma[p.stride * y + x] = static_cast<Sample>(value);
        }
    }
}

// A planar frame's two chroma planes repaired, whole or field by field (each field's chroma over the same
// field of the luma).
inline void ChromaRepairPlanarFrame(uint8_t* frame, int width, int height, int shiftX, int shiftY, int count,
                                    int threshold, bool fields)
{
    const int chromaWidth = (width + (1 << shiftX) - 1) >> shiftX;
    const int chromaHeight = (height + (1 << shiftY) - 1) >> shiftY;
    uint8_t* plane = frame + static_cast<size_t>(width) * height;
    for (int c = 0; c < 2; ++c, plane += static_cast<size_t>(chromaWidth) * chromaHeight) {
        if (!fields) {
            ChromaRepairPlane<uint8_t>({plane, chromaWidth, chromaWidth, chromaHeight, frame, width, width, height, shiftX, shiftY},
                              count, threshold);
            continue;
        }
        for (int field = 0; field < 2; ++field) {
            const int rows = (chromaHeight + 1 - field) / 2;
            if (rows > 0) {
                ChromaRepairPlane<uint8_t>({plane + field * chromaWidth, 2 * chromaWidth, chromaWidth, rows, frame + field * width,
                                   2 * width, width, (height + 1 - field) / 2, shiftX, shiftY},
                                  count, threshold);
            }
        }
    }
}

}  // namespace reference
