#include <emmintrin.h>

#include "conversion_bench_support.h"

void InPlaceReadWritePass(uint8_t* frame, size_t bytes)
{
    // Adding one to every byte keeps the compiler from dropping the stores.
    const __m128i one = _mm_set1_epi8(1);
    size_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
        __m128i* block = reinterpret_cast<__m128i*>(frame + i);
        _mm_storeu_si128(block, _mm_add_epi8(_mm_loadu_si128(block), one));
    }
    for (; i < bytes; ++i)
        ++frame[i];
}
