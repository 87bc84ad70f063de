// Eight pixel pairs per step: the pair's three 16-bit words (B0 G0, R0 B1, G1 R1) are separated into
// planes of 16-bit lanes, so every weight is one multiply over eight pairs.
#include <emmintrin.h>

#include <cstddef>

#include "filter/rgb_yuy2_pair.h"
#include "filter/rgb_yuy2_variants.h"

namespace {

constexpr int32_t kPairsPerStep = 8;

// Words a0 b0 c0 a1 b1 c1 ... a7 b7 c7 in three registers become a0..a7, b0..b7, c0..c7. Each round
// sends word i to word 2i mod 23; three rounds send it to 8i mod 23, which is the stride-3 split.
inline void SplitStride3Words(__m128i& a, __m128i& b, __m128i& c)
{
    for (int round = 0; round < 3; ++round) {
        const __m128i aHigh = _mm_unpackhi_epi64(a, a);
        const __m128i bHigh = _mm_unpackhi_epi64(b, b);
        const __m128i cHigh = _mm_unpackhi_epi64(c, c);
        const __m128i nextA = _mm_unpacklo_epi16(a, bHigh);
        const __m128i nextB = _mm_unpacklo_epi16(aHigh, c);
        c = _mm_unpacklo_epi16(b, cHigh);
        a = nextA;
        b = nextB;
    }
}

inline __m128i WeightedSum(__m128i b, __m128i g, __m128i r, int16_t wb, int16_t wg, int16_t wr)
{
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(b, _mm_set1_epi16(wb)), _mm_mullo_epi16(g, _mm_set1_epi16(wg)));
    return _mm_add_epi16(sum, _mm_mullo_epi16(r, _mm_set1_epi16(wr)));
}

// Reads exactly 48 bytes and writes exactly 32.
inline void RgbStepToYuy2(const uint8_t* rgb, uint8_t* yuy2)
{
    __m128i bg0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb));
    __m128i rb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb + 16));
    __m128i gr1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb + 32));
    SplitStride3Words(bg0, rb, gr1);

    const __m128i lowByte = _mm_set1_epi16(0x00FF);
    const __m128i b0 = _mm_and_si128(bg0, lowByte), g0 = _mm_srli_epi16(bg0, 8);
    const __m128i r0 = _mm_and_si128(rb, lowByte), b1 = _mm_srli_epi16(rb, 8);
    const __m128i g1 = _mm_and_si128(gr1, lowByte), r1 = _mm_srli_epi16(gr1, 8);

    // Luma sums reach 65280: they wrap as signed words but are exact as unsigned ones.
    const __m128i y0 = _mm_srli_epi16(WeightedSum(b0, g0, r0, kYFromB, kYFromG, kYFromR), 8);
    const __m128i y1 = _mm_srli_epi16(WeightedSum(b1, g1, r1, kYFromB, kYFromG, kYFromR), 8);

    // Chroma sums stay within +-32640, so signed words and an arithmetic shift give the floor.
    const __m128i b = _mm_srli_epi16(_mm_add_epi16(b0, b1), 1);
    const __m128i g = _mm_srli_epi16(_mm_add_epi16(g0, g1), 1);
    const __m128i r = _mm_srli_epi16(_mm_add_epi16(r0, r1), 1);
    const __m128i chromaZero = _mm_set1_epi16(kChromaZero);
    const __m128i u = _mm_add_epi16(_mm_srai_epi16(WeightedSum(b, g, r, kUFromB, kUFromG, kUFromR), 8), chromaZero);
    const __m128i v = _mm_add_epi16(_mm_srai_epi16(WeightedSum(b, g, r, kVFromB, kVFromG, kVFromR), 8), chromaZero);

    const __m128i lumas = _mm_packus_epi16(y0, y1);
    const __m128i chromas = _mm_packus_epi16(u, v);
    const __m128i y0u = _mm_unpacklo_epi8(lumas, chromas);
    const __m128i y1v = _mm_unpackhi_epi8(lumas, chromas);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(yuy2), _mm_unpacklo_epi16(y0u, y1v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(yuy2 + 16), _mm_unpackhi_epi16(y0u, y1v));
}

inline void StoreSixBytePairs(uint8_t* rgb, __m128i twoPairs)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(rgb), twoPairs);
    _mm_storeh_pi(reinterpret_cast<__m64*>(rgb + 6), _mm_castsi128_ps(twoPairs));
}

// Reads exactly 32 bytes. Each pair is stored as 8 bytes whose last 2 land on the next pair and are
// overwritten by its own store, so the step writes 50 bytes and needs a pair after it.
inline void Yuy2StepToRgb(const uint8_t* yuy2, uint8_t* rgb)
{
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(yuy2));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(yuy2 + 16));
    // Words Y0|U<<8 and Y1|V<<8 of the eight pairs, sign-extended so that the signed pack keeps them.
    const __m128i y0u = _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(first, 16), 16),
                                        _mm_srai_epi32(_mm_slli_epi32(second, 16), 16));
    const __m128i y1v = _mm_packs_epi32(_mm_srai_epi32(first, 16), _mm_srai_epi32(second, 16));

    const __m128i lowByte = _mm_set1_epi16(0x00FF);
    const __m128i y0 = _mm_and_si128(y0u, lowByte), y1 = _mm_and_si128(y1v, lowByte);
    // d * 16 times the weight keeps its upper 16 bits: floor(d * weight / 4096), as the definition.
    const __m128i chromaZero16 = _mm_set1_epi16(kChromaZero * 16);
    const __m128i du16 = _mm_sub_epi16(_mm_slli_epi16(_mm_srli_epi16(y0u, 8), 4), chromaZero16);
    const __m128i dv16 = _mm_sub_epi16(_mm_slli_epi16(_mm_srli_epi16(y1v, 8), 4), chromaZero16);
    const __m128i tB = _mm_mulhi_epi16(du16, _mm_set1_epi16(kBFromU));
    const __m128i tG = _mm_add_epi16(_mm_mulhi_epi16(du16, _mm_set1_epi16(kGFromU)),
                                     _mm_mulhi_epi16(dv16, _mm_set1_epi16(kGFromV)));
    const __m128i tR = _mm_mulhi_epi16(dv16, _mm_set1_epi16(kRFromV));

    const __m128i b0r0 = _mm_packus_epi16(_mm_add_epi16(y0, tB), _mm_add_epi16(y0, tR));
    const __m128i g0b1 = _mm_packus_epi16(_mm_add_epi16(y0, tG), _mm_add_epi16(y1, tB));
    const __m128i g1r1 = _mm_packus_epi16(_mm_add_epi16(y1, tG), _mm_add_epi16(y1, tR));
    const __m128i bg0 = _mm_unpacklo_epi8(b0r0, g0b1);
    const __m128i rb = _mm_unpackhi_epi8(b0r0, g0b1);
    const __m128i gr1 = _mm_unpacklo_epi8(g1r1, _mm_unpackhi_epi64(g1r1, g1r1));

    const __m128i firstWords = _mm_unpacklo_epi16(bg0, rb);
    const __m128i secondWords = _mm_unpackhi_epi16(bg0, rb);
    const __m128i firstLast = _mm_unpacklo_epi16(gr1, gr1);
    const __m128i secondLast = _mm_unpackhi_epi16(gr1, gr1);
    StoreSixBytePairs(rgb, _mm_unpacklo_epi32(firstWords, firstLast));
    StoreSixBytePairs(rgb + 12, _mm_unpackhi_epi32(firstWords, firstLast));
    StoreSixBytePairs(rgb + 24, _mm_unpacklo_epi32(secondWords, secondLast));
    StoreSixBytePairs(rgb + 36, _mm_unpackhi_epi32(secondWords, secondLast));
}

}  // namespace

void RgbToYuy2_SSE2(const uint8_t* rgb, uint8_t* yuy2, const FrameSize* size)
{
    const int32_t pairs = PixelPairCount(size);
    int32_t m = 0;
    for (; m + kPairsPerStep <= pairs; m += kPairsPerStep)
        RgbStepToYuy2(rgb + 6 * static_cast<size_t>(m), yuy2 + 4 * static_cast<size_t>(m));
    for (; m < pairs; ++m)
        RgbPairToYuy2(rgb + 6 * static_cast<size_t>(m), yuy2 + 4 * static_cast<size_t>(m));
}

void Yuy2ToRgb_SSE2(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size)
{
    const int32_t pairs = PixelPairCount(size);
    int32_t m = 0;
    // Strictly less: the step's last store spills onto the pair after it.
    for (; m + kPairsPerStep < pairs; m += kPairsPerStep)
        Yuy2StepToRgb(yuy2 + 4 * static_cast<size_t>(m), rgb + 6 * static_cast<size_t>(m));
    for (; m < pairs; ++m)
        Yuy2PairToRgb(yuy2 + 4 * static_cast<size_t>(m), rgb + 6 * static_cast<size_t>(m));
}
