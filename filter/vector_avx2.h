#pragma once

// The AVX2 vectors every AVX2 kernel is written over: 32 unsigned byte lanes, or 16 unsigned 16-bit lanes.
// Include only from translation units built with AVX2 enabled. Internal linkage on purpose: an inline
// function compiled with other instruction-set flags elsewhere could be the copy the linker keeps.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace {

struct VectorAvx2 {
    using Reg = __m256i;
    using Sample = uint8_t;
    static constexpr size_t kLanes = 32;
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
    // All ones in the lanes where the distance passes the limit.
    static Reg Above(Reg distance, Reg limit) { return Xor(Equal(Min(distance, limit), distance), Full()); }
    // One mask byte a lane.
    static void StoreMask(uint8_t* p, Reg lanes) { Store(p, lanes); }
};

struct VectorAvx2Words {
    using Reg = __m256i;
    using Sample = uint16_t;
    static constexpr size_t kLanes = 16;
    static Reg Load(const uint16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(uint16_t* p, Reg v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static Reg Min(Reg x, Reg y) { return _mm256_min_epu16(x, y); }
    static Reg Max(Reg x, Reg y) { return _mm256_max_epu16(x, y); }
    static Reg Zero() { return _mm256_setzero_si256(); }
    static Reg Full() { return _mm256_set1_epi8(-1); }
    static Reg Splat(uint16_t value) { return _mm256_set1_epi16(static_cast<int16_t>(value)); }
    static Reg Sub(Reg x, Reg y) { return _mm256_sub_epi16(x, y); }
    static Reg Above(Reg distance, Reg limit)
    {
        return _mm256_xor_si256(_mm256_cmpeq_epi16(_mm256_min_epu16(distance, limit), distance), Full());
    }
    // The lanes' halves packed side by side: packs works within each 128-bit half.
    static void StoreMask(uint8_t* p, Reg lanes)
    {
        const __m128i packed = _mm_packs_epi16(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), packed);
    }
};

}  // namespace
