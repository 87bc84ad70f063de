// The repair's suspect mask with SSE2: 16 neighbouring 8-bit samples a register, or 8 deeper ones.

#include "filter/chroma_sparkle_mask_row.h"
#include "filter/vector_sse2.h"

void ChromaSparkleMaskRow_SSE2(const uint8_t* chroma, const uint8_t* median, uint8_t* mask, int32_t width,
                               int32_t threshold)
{
    SparkleMaskRow<VectorSse2>(chroma, median, mask, width, threshold);
}

void ChromaSparkleMaskRow16_SSE2(const uint16_t* chroma, const uint16_t* median, uint8_t* mask, int32_t width,
                                 int32_t threshold)
{
    SparkleMaskRow<VectorSse2Words>(chroma, median, mask, width, threshold);
}
