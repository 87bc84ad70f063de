#pragma once

// The SSE2 vectors every SSE2 kernel is written over: 16 unsigned byte lanes, or 8 unsigned 16-bit lanes.
// Include only from translation units built with SSE2 enabled. Internal linkage on purpose: an inline
// function compiled with other instruction-set flags elsewhere could be the copy the linker keeps.

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace {

struct VectorSse2 {
    using Reg = __m128i;
    using Sample = uint8_t;
    static constexpr size_t kLanes = 16;
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
    // All ones in the lanes where the distance passes the limit (a plain number, as Sub leaves it).
    static Reg Above(Reg distance, Reg limit) { return Xor(Equal(Min(distance, limit), distance), Full()); }
    // One mask byte a lane.
    static void StoreMask(uint8_t* p, Reg lanes) { Store(p, lanes); }
};

// SSE2 orders 16-bit lanes only as signed numbers: Load and Store flip each sample's top bit, so that the
// signed Min and Max order samples as unsigned ones, and Zero and Full are samples 0 and 65535 so flipped.
// Sub of two loaded samples is their difference as a plain number, which Above and Splat take.
struct VectorSse2Words {
    using Reg = __m128i;
    using Sample = uint16_t;
    static constexpr size_t kLanes = 8;
    static Reg Flip(Reg v) { return _mm_xor_si128(v, _mm_set1_epi16(INT16_MIN)); }
    static Reg Load(const uint16_t* p) { return Flip(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))); }
    static void Store(uint16_t* p, Reg v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), Flip(v)); }
    static Reg Min(Reg x, Reg y) { return _mm_min_epi16(x, y); }
    static Reg Max(Reg x, Reg y) { return _mm_max_epi16(x, y); }
    static Reg Zero() { return _mm_set1_epi16(INT16_MIN); }
    static Reg Full() { return _mm_set1_epi16(INT16_MAX); }
    static Reg Splat(uint16_t value) { return _mm_set1_epi16(static_cast<int16_t>(value)); }
    static Reg Sub(Reg x, Reg y) { return _mm_sub_epi16(x, y); }
    static Reg Above(Reg distance, Reg limit)
    {
        return _mm_xor_si128(_mm_cmpeq_epi16(_mm_subs_epu16(distance, limit), _mm_setzero_si128()),
                             _mm_set1_epi8(-1));
    }
    static void StoreMask(uint8_t* p, Reg lanes)
    {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packs_epi16(lanes, lanes));
    }
};

}  // namespace
