// The suspect mask of the sparkle repair with SSE2: 16 samples a step.

#include <emmintrin.h>

#include "filter/chroma_repair_plane.h"

void ChromaSparkleMaskRow_SSE2(const uint8_t* chroma, const uint8_t* median, uint8_t* mask, int32_t width,
                               int32_t threshold)
{
    if (width < 16) {
        ChromaSparkleMaskRow_C(chroma, median, mask, width, threshold);
        return;
    }
    const __m128i limit = _mm_set1_epi8(static_cast<char>(threshold));
    const __m128i zero = _mm_setzero_si128();
    // The last step overlaps the one before it when the width is not a multiple of 16; both write the same.
    for (int32_t x = 0;; x += 16) {
        x = x + 16 > width ? width - 16 : x;
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chroma + x));
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(median + x));
        const __m128i distance = _mm_or_si128(_mm_subs_epu8(c, m), _mm_subs_epu8(m, c));
        const __m128i within = _mm_cmpeq_epi8(_mm_subs_epu8(distance, limit), zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(mask + x), _mm_andnot_si128(within, _mm_set1_epi8(-1)));
        if (x + 16 == width)
            return;
    }
}
