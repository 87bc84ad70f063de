#include "filter/chroma_median_plane.h"

#include <algorithm>

#include "filter/chroma_median_plane_scratch.h"
#include "filter/cpu_features.h"

// The vectorised variants, each instruction set's in a file of its own (filter/chroma_median_plane_sse2.cpp,
// filter/chroma_median_plane_avx2.cpp; for 16-bit samples filter/chroma_median_plane16_sse2.cpp, ...),
// compiled with that set. Sorted blocks merged with min/max serve any
// count; the selection networks only counts 2 to 5, and use no scratch.
void ChromaMedianPlane_SSE2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                            uint8_t* scratch);
void ChromaMedianPlaneNetwork_SSE2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                   int32_t count, uint8_t* scratch);
void ChromaMedianPlane_AVX2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                            uint8_t* scratch);
void ChromaMedianPlaneNetwork_AVX2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                   int32_t count, uint8_t* scratch);
void ChromaMedianPlane16_SSE2(uint16_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                              uint8_t* scratch);
void ChromaMedianPlaneNetwork16_SSE2(uint16_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                     int32_t count, uint8_t* scratch);
void ChromaMedianPlane16_AVX2(uint16_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                              uint8_t* scratch);
void ChromaMedianPlaneNetwork16_AVX2(uint16_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                     int32_t count, uint8_t* scratch);

namespace {

// A sorted copy of each column's window, updated by one insertion a row.
template <class Sample>
void RunningSortedMedian(Sample* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count)
{
    const int32_t h = count / 2;
    const int32_t a = count - 1 - h;
    if (count <= 1)
        return;
    const int32_t last = height - 1;
    for (int32_t x = 0; x < width; ++x) {
        Sample* const column = plane + x;
        // arrived[] holds the window in arrival order (a ring), sorted[] the same values in order.
        Sample arrived[kMaxMedianWindow];
        Sample sorted[kMaxMedianWindow];
        for (int32_t i = 0; i < count; ++i) {
            const int32_t row = std::clamp(i - a, 0, last);
            arrived[i] = sorted[i] = column[stride * row];
        }
        std::sort(sorted, sorted + count);
        int32_t oldest = 0;
        for (int32_t r = 0; r < height; ++r) {
            const Sample selected = sorted[h];
            if (r == last) {
                column[stride * r] = selected;
                break;
            }
            // Read before row r is written: r + 1 + h is never r, and the clamped last row is written last.
            const Sample incoming = column[stride * std::min(r + 1 + h, last)];
            column[stride * r] = selected;
            // One pass takes the oldest value out and puts the incoming one in its sorted place.
            const Sample gone = arrived[oldest];
            int32_t from = 0;
            while (sorted[from] != gone)
                ++from;
            if (incoming > gone) {
                int32_t to = from;
                while (to + 1 < count && sorted[to + 1] <= incoming) {
                    sorted[to] = sorted[to + 1];
                    ++to;
                }
                sorted[to] = incoming;
            } else {
                int32_t to = from;
                while (to > 0 && sorted[to - 1] > incoming) {
                    sorted[to] = sorted[to - 1];
                    --to;
                }
                sorted[to] = incoming;
            }
            arrived[oldest] = incoming;
            oldest = oldest + 1 == count ? 0 : oldest + 1;
        }
    }
}

}  // namespace

void ChromaMedianPlane_C(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count, uint8_t*)
{
    RunningSortedMedian(plane, stride, width, height, count);
}

void ChromaMedianPlane16_C(uint16_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count, uint8_t*)
{
    RunningSortedMedian(plane, stride, width, height, count);
}

const size_t kChromaMedianPlaneScratchBytes = kPlaneBlockScratchBytes;

template <>
std::span<const ChromaMedianPlaneVariant> ChromaMedianPlaneVariants<uint8_t>()
{
    static constexpr ChromaMedianPlaneVariant kVariants[] = {
        {"ChromaMedianPlane_C", ChromaMedianPlane_C, 0},
#if defined(__i386__) || defined(__x86_64__)
        {"ChromaMedianPlane_SSE2", ChromaMedianPlane_SSE2, kCpuSSE2},
        {"ChromaMedianPlaneNetwork_SSE2", ChromaMedianPlaneNetwork_SSE2, kCpuSSE2, 2, 5},
#endif
#if defined(__x86_64__)
        // Not in the 32-bit build: there, under Wine, SSE code ran slower once any AVX code had run.
        {"ChromaMedianPlane_AVX2", ChromaMedianPlane_AVX2, kCpuAVX2},
        {"ChromaMedianPlaneNetwork_AVX2", ChromaMedianPlaneNetwork_AVX2, kCpuAVX2, 2, 5},
#endif
    };
    return kVariants;
}

template <>
std::span<const ChromaMedianPlane16Variant> ChromaMedianPlaneVariants<uint16_t>()
{
    static constexpr ChromaMedianPlane16Variant kVariants[] = {
        {"ChromaMedianPlane16_C", ChromaMedianPlane16_C, 0},
#if defined(__i386__) || defined(__x86_64__)
        {"ChromaMedianPlane16_SSE2", ChromaMedianPlane16_SSE2, kCpuSSE2},
        {"ChromaMedianPlaneNetwork16_SSE2", ChromaMedianPlaneNetwork16_SSE2, kCpuSSE2, 2, 5},
#endif
#if defined(__x86_64__)
        {"ChromaMedianPlane16_AVX2", ChromaMedianPlane16_AVX2, kCpuAVX2},
        {"ChromaMedianPlaneNetwork16_AVX2", ChromaMedianPlaneNetwork16_AVX2, kCpuAVX2, 2, 5},
#endif
    };
    return kVariants;
}
