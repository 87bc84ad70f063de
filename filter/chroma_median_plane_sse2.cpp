// The plane kernels with SSE2, 16 neighbouring columns a register: the median and the repair's suspect mask.

#include <emmintrin.h>

#include "filter/chroma_median_plane_walk.h"
#include "filter/chroma_sparkle_mask_row.h"

namespace {

struct Sse2 {
    using Reg = __m128i;
    static constexpr size_t kBytes = 16;
    static Reg Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store(uint8_t* p, Reg v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static Reg Min(Reg x, Reg y) { return _mm_min_epu8(x, y); }
    static Reg Max(Reg x, Reg y) { return _mm_max_epu8(x, y); }
    static Reg Zero() { return _mm_setzero_si128(); }
    static Reg Full() { return _mm_set1_epi8(-1); }
    static Reg Splat(uint8_t value) { return _mm_set1_epi8(static_cast<char>(value)); }
    static Reg Sub(Reg x, Reg y) { return _mm_sub_epi8(x, y); }
    static Reg Equal(Reg x, Reg y) { return _mm_cmpeq_epi8(x, y); }
    static Reg Xor(Reg x, Reg y) { return _mm_xor_si128(x, y); }
};

}  // namespace

void ChromaMedianPlane_SSE2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                            uint8_t* scratch)
{
    PlaneBlockKernel<Sse2>(plane, stride, width, height, count, scratch);
}

void ChromaMedianPlaneNetwork_SSE2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                   int32_t count, uint8_t* scratch)
{
    PlaneNetworkKernel<Sse2>(plane, stride, width, height, count, scratch);
}

void ChromaSparkleMaskRow_SSE2(const uint8_t* chroma, const uint8_t* median, uint8_t* mask, int32_t width,
                               int32_t threshold)
{
    SparkleMaskRow<Sse2>(chroma, median, mask, width, threshold);
}
