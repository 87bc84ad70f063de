// The suspect mask of the sparkle repair with AVX2: 32 samples a step.

#include <immintrin.h>

#include "filter/chroma_repair_plane.h"

void ChromaSparkleMaskRow_AVX2(const uint8_t* chroma, const uint8_t* median, uint8_t* mask, int32_t width,
                               int32_t threshold)
{
    if (width < 32) {
        ChromaSparkleMaskRow_C(chroma, median, mask, width, threshold);
        return;
    }
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(threshold));
    const __m256i zero = _mm256_setzero_si256();
    // The last step overlaps the one before it when the width is not a multiple of 32; both write the same.
    for (int32_t x = 0;; x += 32) {
        x = x + 32 > width ? width - 32 : x;
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(chroma + x));
        const __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(median + x));
        const __m256i distance = _mm256_or_si256(_mm256_subs_epu8(c, m), _mm256_subs_epu8(m, c));
        const __m256i within = _mm256_cmpeq_epi8(_mm256_subs_epu8(distance, limit), zero);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(mask + x), _mm256_andnot_si256(within, _mm256_set1_epi8(-1)));
        if (x + 32 == width)
            return;
    }
}
