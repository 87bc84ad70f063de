// Eight pixel pairs per step: the pair's three 16-bit words (B0 G0, R0 B1, G1 R1) are separated into
// planes of 16-bit lanes, so every weight is one multiply over eight pairs. Each step touches 2 bytes of
// the pair after it, so the steps stop one pair early and the portable code does the rest.
#include <emmintrin.h>

#include <cstddef>

#include "filter/rgb_yuy2_pair.h"

namespace {

constexpr int32_t kPairsPerStep = 8;

enum WeightRow { kRowYFromB, kRowYFromG, kRowYFromR, kRowUFromG, kRowUFromR, kRowVFromB, kRowVFromG, kRowCount };

struct alignas(16) EightLanes {
    int16_t lane[8];
};

constexpr EightLanes Broadcast(int32_t weight)
{
    const auto w = static_cast<int16_t>(weight);
    return {{w, w, w, w, w, w, w, w}};
}

const EightLanes kForwardWeights[kRowCount] = {
    Broadcast(kYFromB), Broadcast(kYFromG), Broadcast(kYFromR), Broadcast(kUFromG),
    Broadcast(kUFromR), Broadcast(kVFromB), Broadcast(kVFromG),
};

// GCC expands a multiply by a known constant into three or four shifts and adds, which costs more than
// the one pmullw here; hiding the table's address from the optimiser keeps the pmullw.
inline const __m128i* OpaqueWeights()
{
    const EightLanes* weights = kForwardWeights;
    __asm__("" : "+r"(weights));
    return reinterpret_cast<const __m128i*>(weights);
}

inline __m128i WeightedSum(__m128i b, __m128i g, __m128i r, __m128i wb, __m128i wg, __m128i wr)
{
    return _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(b, wb), _mm_mullo_epi16(g, wg)), _mm_mullo_epi16(r, wr));
}

// Loads 8 bytes per pair, so the step reads 50 bytes and needs a pair after it; writes exactly 32.
inline void RgbStepToYuy2(const uint8_t* rgb, uint8_t* yuy2, const __m128i* w)
{
    // Pair k's words B0|G0<<8, R0|B1<<8, G1|R1<<8 (and 2 bytes of pair k + 1) transposed into planes.
    const auto pair = [rgb](int k) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(rgb + 6 * k)); };
    const __m128i words01 = _mm_unpacklo_epi16(pair(0), pair(1));
    const __m128i words23 = _mm_unpacklo_epi16(pair(2), pair(3));
    const __m128i words45 = _mm_unpacklo_epi16(pair(4), pair(5));
    const __m128i words67 = _mm_unpacklo_epi16(pair(6), pair(7));
    const __m128i first0123 = _mm_unpacklo_epi32(words01, words23), last0123 = _mm_unpackhi_epi32(words01, words23);
    const __m128i first4567 = _mm_unpacklo_epi32(words45, words67), last4567 = _mm_unpackhi_epi32(words45, words67);
    const __m128i bg0 = _mm_unpacklo_epi64(first0123, first4567);
    const __m128i rb = _mm_unpackhi_epi64(first0123, first4567);
    const __m128i gr1 = _mm_unpacklo_epi64(last0123, last4567);

    const __m128i lowByte = _mm_set1_epi16(0x00FF);
    const __m128i b0 = _mm_and_si128(bg0, lowByte), g0 = _mm_srli_epi16(bg0, 8);
    const __m128i r0 = _mm_and_si128(rb, lowByte), b1 = _mm_srli_epi16(rb, 8);
    const __m128i g1 = _mm_and_si128(gr1, lowByte), r1 = _mm_srli_epi16(gr1, 8);

    // Luma sums reach 65280: they wrap as signed words but are exact as unsigned ones.
    const __m128i y0 = _mm_srli_epi16(WeightedSum(b0, g0, r0, w[kRowYFromB], w[kRowYFromG], w[kRowYFromR]), 8);
    const __m128i y1 = _mm_srli_epi16(WeightedSum(b1, g1, r1, w[kRowYFromB], w[kRowYFromG], w[kRowYFromR]), 8);

    // Chroma sums stay within +-32640, so their upper byte is the floor of sum / 256 as a signed byte,
    // which adding 128 << 8 turns into U (or V) in the byte range: no value needs saturating.
    static_assert(kUFromB == 128 && kVFromR == 128 && kChromaZero == 128);
    const __m128i b = _mm_srli_epi16(_mm_add_epi16(b0, b1), 1);
    const __m128i g = _mm_srli_epi16(_mm_add_epi16(g0, g1), 1);
    const __m128i r = _mm_srli_epi16(_mm_add_epi16(r0, r1), 1);
    const __m128i chromaZero = _mm_set1_epi16(static_cast<int16_t>(kChromaZero << 8));
    const __m128i u = _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(b, 7), chromaZero),
                                    _mm_add_epi16(_mm_mullo_epi16(g, w[kRowUFromG]), _mm_mullo_epi16(r, w[kRowUFromR])));
    const __m128i v = _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(r, 7), chromaZero),
                                    _mm_add_epi16(_mm_mullo_epi16(b, w[kRowVFromB]), _mm_mullo_epi16(g, w[kRowVFromG])));
    const __m128i highByte = _mm_set1_epi16(static_cast<int16_t>(0xFF00));
    const __m128i y0u = _mm_or_si128(y0, _mm_and_si128(u, highByte));
    const __m128i y1v = _mm_or_si128(y1, _mm_and_si128(v, highByte));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(yuy2), _mm_unpacklo_epi16(y0u, y1v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(yuy2 + 16), _mm_unpackhi_epi16(y0u, y1v));
}

inline void StoreSixBytePairs(uint8_t* rgb, __m128i twoPairs)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(rgb), twoPairs);
    _mm_storeh_pi(reinterpret_cast<__m64*>(rgb + 6), _mm_castsi128_ps(twoPairs));
}

// The inverse weights are multiples of 16, so d * 256 times weight / 16 keeps in its upper 16 bits
// exactly floor(d * weight / 4096), and d * 256 is the chroma byte moved up with its top bit flipped.
static_assert(kBFromU % 16 == 0 && kGFromU % 16 == 0 && kGFromV % 16 == 0 && kRFromV % 16 == 0);

// Reads exactly 32 bytes. Each pair is stored as 8 bytes whose last 2 land on the next pair and are
// overwritten by its own store, so the step writes 50 bytes and needs a pair after it.
inline void Yuy2StepToRgb(const uint8_t* yuy2, uint8_t* rgb)
{
    const __m128i flipChroma = _mm_set1_epi32(static_cast<int>(0x80008000u));
    const __m128i first = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(yuy2)), flipChroma);
    const __m128i second = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(yuy2 + 16)), flipChroma);
    // Words Y0|U<<8 and Y1|V<<8 of the eight pairs, sign-extended so that the signed pack keeps them
    // (a multiply-add by 1 and 0 sign-extends the lower word).
    const __m128i lowerWord = _mm_set1_epi32(1);
    const __m128i y0u = _mm_packs_epi32(_mm_madd_epi16(first, lowerWord), _mm_madd_epi16(second, lowerWord));
    const __m128i y1v = _mm_packs_epi32(_mm_srai_epi32(first, 16), _mm_srai_epi32(second, 16));

    const __m128i lowByte = _mm_set1_epi16(0x00FF), highByte = _mm_set1_epi16(static_cast<int16_t>(0xFF00));
    const __m128i y0 = _mm_and_si128(y0u, lowByte), y1 = _mm_and_si128(y1v, lowByte);
    const __m128i du256 = _mm_and_si128(y0u, highByte), dv256 = _mm_and_si128(y1v, highByte);
    const __m128i tB = _mm_mulhi_epi16(du256, _mm_set1_epi16(kBFromU / 16));
    const __m128i tG = _mm_add_epi16(_mm_mulhi_epi16(du256, _mm_set1_epi16(kGFromU / 16)),
                                     _mm_mulhi_epi16(dv256, _mm_set1_epi16(kGFromV / 16)));
    const __m128i tR = _mm_mulhi_epi16(dv256, _mm_set1_epi16(kRFromV / 16));

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
    const __m128i* weights = OpaqueWeights();
    int32_t m = 0;
    for (; m + kPairsPerStep < pairs; m += kPairsPerStep)
        RgbStepToYuy2(rgb + 6 * static_cast<size_t>(m), yuy2 + 4 * static_cast<size_t>(m), weights);
    for (; m < pairs; ++m)
        RgbPairToYuy2(rgb + 6 * static_cast<size_t>(m), yuy2 + 4 * static_cast<size_t>(m));
}

void Yuy2ToRgb_SSE2(const uint8_t* yuy2, uint8_t* rgb, const FrameSize* size)
{
    const int32_t pairs = PixelPairCount(size);
    int32_t m = 0;
    for (; m + kPairsPerStep < pairs; m += kPairsPerStep)
        Yuy2StepToRgb(yuy2 + 4 * static_cast<size_t>(m), rgb + 6 * static_cast<size_t>(m));
    for (; m < pairs; ++m)
        Yuy2PairToRgb(yuy2 + 4 * static_cast<size_t>(m), rgb + 6 * static_cast<size_t>(m));
}
