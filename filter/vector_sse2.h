#pragma once

// The SSE2 vector every SSE2 kernel is written over: 16 unsigned byte lanes. Include only from translation
// units built with SSE2 enabled. Internal linkage on purpose: an inline function compiled with other
// instruction-set flags elsewhere could be the copy the linker keeps.

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace {

struct VectorSse2 {
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
