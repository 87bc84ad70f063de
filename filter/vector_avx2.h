#pragma once

// The AVX2 vector every AVX2 kernel is written over: 32 unsigned byte lanes. Include only from translation
// units built with AVX2 enabled. Internal linkage on purpose: an inline function compiled with other
// instruction-set flags elsewhere could be the copy the linker keeps.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace {

struct VectorAvx2 {
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
