// Block motion from luma: see the header for the rule.

#include "filter/luma_motion.h"

#include <algorithm>
#include <array>
#include <cstdlib>

uint32_t LumaBlockDistance_SSE2(const uint8_t* a, ptrdiff_t aStride, const uint8_t* b, ptrdiff_t bStride,
                                int32_t width, int32_t height);
uint32_t LumaBlockDistance16_SSE2(const uint16_t* a, ptrdiff_t aStride, const uint16_t* b, ptrdiff_t bStride,
                                  int32_t width, int32_t height);
uint32_t LumaBlockDistance_AVX2(const uint8_t* a, ptrdiff_t aStride, const uint8_t* b, ptrdiff_t bStride,
                                int32_t width, int32_t height);
uint32_t LumaBlockDistance16_AVX2(const uint16_t* a, ptrdiff_t aStride, const uint16_t* b, ptrdiff_t bStride,
                                  int32_t width, int32_t height);

namespace {

template <class Sample>
uint32_t BlockDistancePortable(const Sample* a, ptrdiff_t aStride, const Sample* b, ptrdiff_t bStride, int32_t width,
                               int32_t height)
{
    uint32_t sum = 0;
    for (int32_t r = 0; r < height; ++r, a += aStride, b += bStride) {
        for (int32_t c = 0; c < width; ++c)
            sum += static_cast<uint32_t>(std::abs(int32_t{a[c]} - int32_t{b[c]}));
    }
    return sum;
}

// A vector's place in the tie order: lower wins.
struct VectorKey {
    uint32_t distance;
    int32_t length;

    bool operator<(const VectorKey& other) const
    {
        return distance != other.distance ? distance < other.distance : length < other.length;
    }
};

}  // namespace

uint32_t LumaBlockDistance_C(const uint8_t* a, ptrdiff_t aStride, const uint8_t* b, ptrdiff_t bStride,
                             int32_t width, int32_t height)
{
    return BlockDistancePortable(a, aStride, b, bStride, width, height);
}

uint32_t LumaBlockDistance16_C(const uint16_t* a, ptrdiff_t aStride, const uint16_t* b, ptrdiff_t bStride,
                               int32_t width, int32_t height)
{
    return BlockDistancePortable(a, aStride, b, bStride, width, height);
}

template <>
std::span<const LumaBlockDistanceVariantOf<uint8_t>> LumaBlockDistanceVariants<uint8_t>()
{
    static const LumaBlockDistanceVariantOf<uint8_t> kVariants[] = {
        {"LumaBlockDistance_C", LumaBlockDistance_C, 0},
#if defined(__i386__) || defined(__x86_64__)
        {"LumaBlockDistance_SSE2", LumaBlockDistance_SSE2, kCpuSSE2},
#endif
#if defined(__x86_64__)
        {"LumaBlockDistance_AVX2", LumaBlockDistance_AVX2, kCpuAVX2},
#endif
    };
    return kVariants;
}

template <>
std::span<const LumaBlockDistanceVariantOf<uint16_t>> LumaBlockDistanceVariants<uint16_t>()
{
    static const LumaBlockDistanceVariantOf<uint16_t> kVariants[] = {
        {"LumaBlockDistance16_C", LumaBlockDistance16_C, 0},
#if defined(__i386__) || defined(__x86_64__)
        {"LumaBlockDistance16_SSE2", LumaBlockDistance16_SSE2, kCpuSSE2},
#endif
#if defined(__x86_64__)
        {"LumaBlockDistance16_AVX2", LumaBlockDistance16_AVX2, kCpuAVX2},
#endif
    };
    return kVariants;
}

template <class Sample>
void CoarseLuma(const LumaPlaneOf<Sample>& luma, Sample* coarse)
{
    const int32_t width = luma.width / kMotionCoarse, height = luma.height / kMotionCoarse;
    constexpr int32_t kArea = kMotionCoarse * kMotionCoarse;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint32_t sum = 0;
            for (int32_t r = 0; r < kMotionCoarse; ++r) {
                const Sample* row = luma.first + luma.stride * (y * kMotionCoarse + r) + x * kMotionCoarse;
                for (int32_t c = 0; c < kMotionCoarse; ++c)
                    sum += row[c];
            }
            coarse[static_cast<ptrdiff_t>(y) * width + x] = static_cast<Sample>((sum + kArea / 2) / kArea);
        }
    }
}

template <class Sample>
int32_t EstimateLumaMotion(const LumaPlaneOf<Sample>& picture, const Sample* pictureCoarse,
                           const LumaPlaneOf<Sample>& reference, const Sample* referenceCoarse, int32_t depth,
                           LumaBlockDistanceFnOf<Sample> distance, int32_t firstRow, int32_t endRow,
                           MotionVector* vectors)
{
    const int32_t noise = kMotionLumaNoise << (depth - 8);
    const int32_t across = MotionBlocksAcross(picture.width);
    const int32_t coarseWidth = picture.width / kMotionCoarse, coarseHeight = picture.height / kMotionCoarse;
    int32_t unmatched = 0;
    for (int32_t by = firstRow; by < endRow; ++by) {
        for (int32_t bx = 0; bx < across; ++bx) {
            const int32_t left = bx * kMotionBlock, top = by * kMotionBlock;
            const int32_t width = std::min(kMotionBlock, picture.width - left);
            const int32_t height = std::min(kMotionBlock, picture.height - top);
            const Sample* const block = picture.first + picture.stride * top + left;
            const uint32_t limit = static_cast<uint32_t>(noise) * static_cast<uint32_t>(width * height);
            auto measure = [&](int32_t vx, int32_t vy) {
                return distance(block, picture.stride, reference.first + reference.stride * (top + vy) + left + vx,
                                reference.stride, width, height);
            };
            MotionVector& vector = vectors[static_cast<ptrdiff_t>(by) * across + bx];
            const uint32_t still = measure(0, 0);
            if (still <= limit) {
                vector = {0, 0, true};
                continue;
            }
            // The coarse search over the block's own coarse samples.
            const int32_t coarseLeft = left / kMotionCoarse, coarseTop = top / kMotionCoarse;
            const int32_t coarseRight = std::min(coarseWidth, (left + width) / kMotionCoarse);
            const int32_t coarseBottom = std::min(coarseHeight, (top + height) / kMotionCoarse);
            int32_t ux = 0, uy = 0;
            if (coarseLeft < coarseRight && coarseTop < coarseBottom) {
                const Sample* const own = pictureCoarse + static_cast<ptrdiff_t>(coarseTop) * coarseWidth + coarseLeft;
                VectorKey best{UINT32_MAX, 0};
                for (int32_t dy = -kMotionCoarseReach; dy <= kMotionCoarseReach; ++dy) {
                    if (coarseTop + dy < 0 || coarseBottom + dy > coarseHeight)
                        continue;
                    for (int32_t dx = -kMotionCoarseReach; dx <= kMotionCoarseReach; ++dx) {
                        if (coarseLeft + dx < 0 || coarseRight + dx > coarseWidth)
                            continue;
                        const VectorKey key{
                            distance(own, coarseWidth,
                                     referenceCoarse + static_cast<ptrdiff_t>(coarseTop + dy) * coarseWidth +
                                         coarseLeft + dx,
                                     coarseWidth, coarseRight - coarseLeft, coarseBottom - coarseTop),
                            std::abs(dx) + std::abs(dy)};
                        if (key < best) {
                            best = key;
                            ux = dx;
                            uy = dy;
                        }
                    }
                }
            }
            // The refinement at full size, (0, 0) first so that it wins a tie.
            VectorKey best{still, -1};
            int32_t vx = 0, vy = 0;
            for (int32_t dy = -kMotionRefineReach; dy <= kMotionRefineReach; ++dy) {
                const int32_t y = uy * kMotionCoarse + dy;
                if (top + y < 0 || top + height + y > reference.height)
                    continue;
                for (int32_t dx = -kMotionRefineReach; dx <= kMotionRefineReach; ++dx) {
                    const int32_t x = ux * kMotionCoarse + dx;
                    if (left + x < 0 || left + width + x > reference.width || (x == 0 && y == 0))
                        continue;
                    const VectorKey key{measure(x, y), std::abs(x) + std::abs(y)};
                    if (key < best) {
                        best = key;
                        vx = x;
                        vy = y;
                    }
                }
            }
            const bool matched = best.distance <= limit;
            vector = {static_cast<int16_t>(vx), static_cast<int16_t>(vy), matched};
            unmatched += matched ? 0 : 1;
        }
    }
    return unmatched;
}

template void CoarseLuma(const LumaPlaneOf<uint8_t>&, uint8_t*);
template void CoarseLuma(const LumaPlaneOf<uint16_t>&, uint16_t*);
template int32_t EstimateLumaMotion(const LumaPlaneOf<uint8_t>&, const uint8_t*, const LumaPlaneOf<uint8_t>&,
                                    const uint8_t*, int32_t, LumaBlockDistanceFnOf<uint8_t>, int32_t, int32_t,
                                    MotionVector*);
template int32_t EstimateLumaMotion(const LumaPlaneOf<uint16_t>&, const uint16_t*, const LumaPlaneOf<uint16_t>&,
                                    const uint16_t*, int32_t, LumaBlockDistanceFnOf<uint16_t>, int32_t, int32_t,
                                    MotionVector*);
