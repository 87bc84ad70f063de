// The motion search's block distance with AVX2: two rows of 16 8-bit samples in one VPSADBW, a row of 16
// deeper ones a register. Narrower rows, and a block's odd last row, take the SSE2 variant's way.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

uint32_t LumaBlockDistance_SSE2(const uint8_t* a, ptrdiff_t aStride, const uint8_t* b, ptrdiff_t bStride,
                                int32_t width, int32_t height);
uint32_t LumaBlockDistance16_SSE2(const uint16_t* a, ptrdiff_t aStride, const uint16_t* b, ptrdiff_t bStride,
                                  int32_t width, int32_t height);

namespace {

__m256i TwoRows(const uint8_t* first, ptrdiff_t stride)
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + stride)), 1);
}

}  // namespace

uint32_t LumaBlockDistance_AVX2(const uint8_t* a, ptrdiff_t aStride, const uint8_t* b, ptrdiff_t bStride,
                                int32_t width, int32_t height)
{
    if (width != 16)
        return LumaBlockDistance_SSE2(a, aStride, b, bStride, width, height);
    __m256i sums = _mm256_setzero_si256();
    int32_t r = 0;
    for (; r + 2 <= height; r += 2, a += 2 * aStride, b += 2 * bStride)
        sums = _mm256_add_epi64(sums, _mm256_sad_epu8(TwoRows(a, aStride), TwoRows(b, bStride)));
    const __m128i half = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    const uint32_t rest = r < height ? LumaBlockDistance_SSE2(a, aStride, b, bStride, width, 1) : 0;
    return static_cast<uint32_t>(_mm_cvtsi128_si32(half) + _mm_cvtsi128_si32(_mm_srli_si128(half, 8))) + rest;
}

uint32_t LumaBlockDistance16_AVX2(const uint16_t* a, ptrdiff_t aStride, const uint16_t* b, ptrdiff_t bStride,
                                  int32_t width, int32_t height)
{
    if (width != 16)
        return LumaBlockDistance16_SSE2(a, aStride, b, bStride, width, height);
    const __m256i zero = _mm256_setzero_si256();
    __m256i sums = zero;
    for (int32_t r = 0; r < height; ++r, a += aStride, b += bStride) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
        const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
        const __m256i difference = _mm256_sub_epi16(_mm256_max_epu16(x, y), _mm256_min_epu16(x, y));
        sums = _mm256_add_epi32(sums, _mm256_add_epi32(_mm256_unpacklo_epi16(difference, zero),
                                                       _mm256_unpackhi_epi16(difference, zero)));
    }
    __m128i half = _mm_add_epi32(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    half = _mm_add_epi32(half, _mm_srli_si128(half, 8));
    half = _mm_add_epi32(half, _mm_srli_si128(half, 4));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(half));
}
