#include "memory_floor.h"

#include <emmintrin.h>

namespace {
// Read from memory each pass, so the compiler cannot prove a store writes back what it loaded.
volatile uint32_t gZero = 0;
}  // namespace

void InPlaceReadWritePass(uint8_t* frame, size_t bytes)
{
    const __m128i key = _mm_set1_epi32(static_cast<int>(gZero));
    size_t i = 0;
    for (; i + 64 <= bytes; i += 64) {
        __m128i* p = reinterpret_cast<__m128i*>(frame + i);
        const __m128i a = _mm_loadu_si128(p), b = _mm_loadu_si128(p + 1);
        const __m128i c = _mm_loadu_si128(p + 2), d = _mm_loadu_si128(p + 3);
        _mm_storeu_si128(p, _mm_xor_si128(a, key));
        _mm_storeu_si128(p + 1, _mm_xor_si128(b, key));
        _mm_storeu_si128(p + 2, _mm_xor_si128(c, key));
        _mm_storeu_si128(p + 3, _mm_xor_si128(d, key));
    }
    for (; i < bytes; ++i)
        frame[i] ^= static_cast<uint8_t>(gZero);
}
