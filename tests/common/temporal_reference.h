#pragma once

// The repair over time written straight from its definition. Motion: luma blocks of 16x16 from the top left;
// a block's distance at a vector is its sum of absolute luma differences against the reference moved by
// it, allowed only inside the reference, matching at 6 per sample (times 2^(d - 8)). A block matching at
// (0, 0) keeps it. Else the 4x-shrunk planes (rounded means, partial ones dropped) find the block's coarse
// vector within 4 each way (lowest distance, then shortest, then first in row order), and the full-size
// vectors within 2 of four times it, with (0, 0), find its vector (lowest distance, then (0, 0), then
// shortest, then first in row order). More than half the blocks unmatched: a scene cut.
// A chroma sample tries its block's vector (matched and not (0, 0)), then (0, 0), the chroma moved by the
// vector over the subsampling rounded half away from zero, inside the plane, with the clamped luma patch of
// its 3x3 chroma positions within 6 per luma sample of the neighbour's moved one. With C, A and B: kept
// when within T of A or B, a sparkle taking (A + B + 1) / 2 when both are matched, apart from C by more than T
// and within T of each other; else the spatial repair (tests/common/repair_reference.h) decides.

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "tests/common/repair_reference.h"

namespace reference {

struct Vector {
    int x = 0, y = 0;
    bool matched = false;
};

template <class Sample>
struct LumaView {
    const Sample* first;
    ptrdiff_t stride;
    int width, height;
    int at(int x, int y) const { return first[stride * y + x]; }
};

template <class Sample>
std::vector<int> Shrunk(const LumaView<Sample>& l)
{
    std::vector<int> out;
    for (int y = 0; y + 4 <= l.height; y += 4)
        for (int x = 0; x + 4 <= l.width; x += 4) {
            int sum = 0;
            for (int i = 0; i < 16; ++i)
                sum += l.at(x + i % 4, y + i / 4);
            out.push_back((sum + 8) / 16);
        }
    return out;
}

// The vectors of the picture's blocks against the reference, row by row.
template <class Sample>
std::vector<Vector> LumaMotion(const LumaView<Sample>& pic, const LumaView<Sample>& ref, int depth)
{
    const int noise = 6 << (depth - 8);
    const std::vector<int> picCoarse = Shrunk(pic), refCoarse = Shrunk(ref);
    const int cw = pic.width / 4, ch = pic.height / 4;
    std::vector<Vector> vectors;
    for (int top = 0; top < pic.height; top += 16) {
        for (int left = 0; left < pic.width; left += 16) {
            const int w = std::min(16, pic.width - left), h = std::min(16, pic.height - top);
            auto distance = [&](int vx, int vy) {
                if (left + vx < 0 || left + w + vx > ref.width || top + vy < 0 || top + h + vy > ref.height)
                    return -1;
                int sum = 0;
                for (int y = top; y < top + h; ++y)
                    for (int x = left; x < left + w; ++x)
                        sum += std::abs(pic.at(x, y) - ref.at(x + vx, y + vy));
                return sum;
            };
            const int limit = noise * w * h;
            if (distance(0, 0) <= limit) {
                vectors.push_back({0, 0, true});
                continue;
            }
            const int cl = left / 4, ct = top / 4, cr = std::min(cw, (left + w) / 4), cb = std::min(ch, (top + h) / 4);
            int ux = 0, uy = 0;
            if (cl < cr && ct < cb) {
                int best = -1, bestLength = 0;
                for (int dy = -4; dy <= 4; ++dy)
                    for (int dx = -4; dx <= 4; ++dx) {
                        if (cl + dx < 0 || cr + dx > cw || ct + dy < 0 || cb + dy > ch)
                            continue;
                        int sum = 0;
                        for (int y = ct; y < cb; ++y)
                            for (int x = cl; x < cr; ++x)
                                sum += std::abs(picCoarse[y * cw + x] - refCoarse[(y + dy) * cw + x + dx]);
                        const int length = std::abs(dx) + std::abs(dy);
                        if (best < 0 || sum < best || (sum == best && length < bestLength)) {
                            best = sum, bestLength = length, ux = dx, uy = dy;
                        }
                    }
            }
            Vector v{0, 0, false};
            int best = distance(0, 0), bestLength = -1;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const int vx = 4 * ux + dx, vy = 4 * uy + dy, d = distance(vx, vy);
                    const int length = std::abs(vx) + std::abs(vy);
                    if ((vx == 0 && vy == 0) || d < 0)
                        continue;
                    if (d < best || (d == best && length < bestLength))
                        best = d, bestLength = length, v = {vx, vy, false};
                }
            v.matched = best <= limit;
            vectors.push_back(v);
        }
    }
    return vectors;
}

inline int RoundedShift(int v, int shift)
{
    const int scale = 1 << shift;
    const int magnitude = (2 * std::abs(v) + scale) / (2 * scale);  // nearest, halves away from zero
    return v < 0 ? -magnitude : magnitude;
}

// The repair of picture p over time with the neighbours given (null when there is none); each neighbour
// has p's layout. A neighbour of another size or across a scene cut is left out here.
template <class Sample>
void ChromaRepairOverTime(const RepairPlane<Sample>& p, const RepairPlane<Sample>* previous,
                          const RepairPlane<Sample>* next, int count, int eightBitThreshold)
{
    const int threshold = eightBitThreshold << (p.depth - 8), noise = 6 << (p.depth - 8);
    const LumaView<Sample> luma{p.luma, p.lumaStride, p.lumaWidth, p.lumaHeight};
    struct Side {
        const RepairPlane<Sample>* plane = nullptr;
        std::vector<Vector> vectors;
    } sides[2];
    const RepairPlane<Sample>* neighbours[2] = {previous, next};
    for (int s = 0; s < 2; ++s) {
        const RepairPlane<Sample>* n = neighbours[s];
        if (!n || n->width != p.width || n->height != p.height || n->lumaWidth != p.lumaWidth ||
            n->lumaHeight != p.lumaHeight)
            continue;
        std::vector<Vector> vectors =
            LumaMotion(luma, LumaView<Sample>{n->luma, n->lumaStride, n->lumaWidth, n->lumaHeight}, p.depth);
        const auto unmatched = std::count_if(vectors.begin(), vectors.end(), [](const Vector& v) { return !v.matched; });
        if (2 * unmatched > static_cast<long>(vectors.size()))
            continue;
        sides[s] = {n, std::move(vectors)};
    }
    auto lumaAt = [](const RepairPlane<Sample>& q, int x, int y) {
        return int{q.luma[q.lumaStride * std::clamp(y, 0, q.lumaHeight - 1) + std::clamp(x, 0, q.lumaWidth - 1)]};
    };
    const int blocksAcross = (p.lumaWidth + 15) / 16;
    std::vector<int> decisions(static_cast<size_t>(p.width) * p.height, kUndecided);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const int c = p.chroma[p.stride * y + x];
            int matched[2] = {-1, -1};
            for (int s = 0; s < 2; ++s) {
                if (!sides[s].plane)
                    continue;
                const RepairPlane<Sample>& n = *sides[s].plane;
                const Vector block = sides[s].vectors[((y << p.shiftY) / 16) * blocksAcross + (x << p.shiftX) / 16];
                std::vector<Vector> tries;
                if (block.matched && (block.x || block.y))
                    tries.push_back(block);
                tries.push_back({});
                for (const Vector& v : tries) {
                    const int cx = x + RoundedShift(v.x, p.shiftX), cy = y + RoundedShift(v.y, p.shiftY);
                    if (cx < 0 || cx >= p.width || cy < 0 || cy >= p.height)
                        continue;
                    int sum = 0, samples = 0;
                    for (int ly = (y - 1) << p.shiftY; ly < (y + 2) << p.shiftY; ++ly)
                        for (int lx = (x - 1) << p.shiftX; lx < (x + 2) << p.shiftX; ++lx, ++samples)
                            sum += std::abs(lumaAt(p, lx, ly) - lumaAt(n, lx + v.x, ly + v.y));
                    if (sum <= noise * samples) {
                        matched[s] = n.chroma[n.stride * cy + cx];
                        break;
                    }
                }
            }
            const int a = matched[0], b = matched[1];
            int& decision = decisions[static_cast<size_t>(y) * p.width + x];
            if ((a >= 0 && std::abs(c - a) <= threshold) || (b >= 0 && std::abs(c - b) <= threshold))
                decision = kKeep;
            else if (a >= 0 && b >= 0 && std::abs(a - b) <= threshold)
                decision = (a + b + 1) / 2;
        }
    }
    ChromaRepairPlane(p, count, eightBitThreshold, &decisions);
}

}  // namespace reference
