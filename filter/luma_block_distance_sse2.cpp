// The motion search's block distance with SSE2: a row of 16 8-bit samples in one PSADBW (8 or 4 of a
// narrower row, as the coarse search's blocks are), 8 or 4 deeper ones a register. The portable loop takes
// what remains of a row.

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

__m128i LoadFour(const uint8_t* samples)
{
    int32_t word;
    std::memcpy(&word, samples, sizeof word);
    return _mm_cvtsi32_si128(word);
}

}  // namespace

uint32_t LumaBlockDistance_SSE2(const uint8_t* a, ptrdiff_t aStride, const uint8_t* b, ptrdiff_t bStride,
                                int32_t width, int32_t height)
{
    __m128i sums = _mm_setzero_si128();
    uint32_t rest = 0;
    for (int32_t r = 0; r < height; ++r, a += aStride, b += bStride) {
        int32_t c = 0;
        if (width == 16) {
            sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(b))));
            continue;
        }
        for (; c + 8 <= width; c += 8) {
            sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + c)),
                                                    _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + c))));
        }
        if (c + 4 <= width) {
            sums = _mm_add_epi64(sums, _mm_sad_epu8(LoadFour(a + c), LoadFour(b + c)));
            c += 4;
        }
        for (; c < width; ++c)
            rest += static_cast<uint32_t>(std::abs(int32_t{a[c]} - int32_t{b[c]}));
    }
    return static_cast<uint32_t>(_mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8))) + rest;
}

uint32_t LumaBlockDistance16_SSE2(const uint16_t* a, ptrdiff_t aStride, const uint16_t* b, ptrdiff_t bStride,
                                  int32_t width, int32_t height)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i sums = zero;
    uint32_t rest = 0;
    for (int32_t r = 0; r < height; ++r, a += aStride, b += bStride) {
        int32_t c = 0;
        for (; c + 8 <= width; c += 8) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + c));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + c));
            const __m128i difference = _mm_or_si128(_mm_subs_epu16(x, y), _mm_subs_epu16(y, x));
            sums = _mm_add_epi32(sums, _mm_add_epi32(_mm_unpacklo_epi16(difference, zero),
                                                     _mm_unpackhi_epi16(difference, zero)));
        }
        if (c + 4 <= width) {
            const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + c));
            const __m128i y = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + c));
            const __m128i difference = _mm_or_si128(_mm_subs_epu16(x, y), _mm_subs_epu16(y, x));
            sums = _mm_add_epi32(sums, _mm_unpacklo_epi16(difference, zero));
            c += 4;
        }
        for (; c < width; ++c)
            rest += static_cast<uint32_t>(std::abs(int32_t{a[c]} - int32_t{b[c]}));
    }
    sums = _mm_add_epi32(sums, _mm_srli_si128(sums, 8));
    sums = _mm_add_epi32(sums, _mm_srli_si128(sums, 4));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(sums)) + rest;
}
