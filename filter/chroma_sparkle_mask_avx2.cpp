// The repair's suspect mask with AVX2: 32 neighbouring 8-bit samples a register, or 16 deeper ones.

#include "filter/chroma_sparkle_mask_row.h"
#include "filter/vector_avx2.h"

void ChromaSparkleMaskRow_AVX2(const uint8_t* chroma, const uint8_t* median, uint8_t* mask, int32_t width,
                               int32_t threshold)
{
    SparkleMaskRow<VectorAvx2>(chroma, median, mask, width, threshold);
}

void ChromaSparkleMaskRow16_AVX2(const uint16_t* chroma, const uint16_t* median, uint8_t* mask, int32_t width,
                                 int32_t threshold)
{
    SparkleMaskRow<VectorAvx2Words>(chroma, median, mask, width, threshold);
}
