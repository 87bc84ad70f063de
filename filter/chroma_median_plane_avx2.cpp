// The plane kernels with AVX2, 32 neighbouring columns a register: the median and the repair's suspect mask.

#include <immintrin.h>

#include "filter/chroma_median_plane_walk.h"
#include "filter/chroma_sparkle_mask_row.h"

namespace {

struct Avx2 {
    using Reg = __m256i;
    static constexpr size_t kBytes = 32;
    static Reg Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(uint8_t* p, Reg v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static Reg Min(Reg x, Reg y) { return _mm256_min_epu8(x, y); }
    static Reg Max(Reg x, Reg y) { return _mm256_max_epu8(x, y); }
    static Reg Zero() { return _mm256_setzero_si256(); }
    static Reg Full() { return _mm256_set1_epi8(-1); }
    static Reg Splat(uint8_t value) { return _mm256_set1_epi8(static_cast<char>(value)); }
    static Reg Sub(Reg x, Reg y) { return _mm256_sub_epi8(x, y); }
    static Reg Equal(Reg x, Reg y) { return _mm256_cmpeq_epi8(x, y); }
    static Reg Xor(Reg x, Reg y) { return _mm256_xor_si256(x, y); }
};

}  // namespace

void ChromaMedianPlane_AVX2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                            uint8_t* scratch)
{
    PlaneBlockKernel<Avx2>(plane, stride, width, height, count, scratch);
}

void ChromaMedianPlaneNetwork_AVX2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                   int32_t count, uint8_t* scratch)
{
    PlaneNetworkKernel<Avx2>(plane, stride, width, height, count, scratch);
}

void ChromaSparkleMaskRow_AVX2(const uint8_t* chroma, const uint8_t* median, uint8_t* mask, int32_t width,
                               int32_t threshold)
{
    SparkleMaskRow<Avx2>(chroma, median, mask, width, threshold);
}
