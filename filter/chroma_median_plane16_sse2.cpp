// The plane median of 16-bit samples with SSE2, 8 neighbouring columns a register. A file apart from the
// 8-bit variants: beside their walks in one translation unit, GCC inlined those differently.

#include "filter/chroma_median_plane_walk.h"
#include "filter/vector_sse2.h"

void ChromaMedianPlane16_SSE2(uint16_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                              uint8_t* scratch)
{
    PlaneBlockKernel<VectorSse2Words>(plane, stride, width, height, count, scratch);
}

void ChromaMedianPlaneNetwork16_SSE2(uint16_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                     int32_t count, uint8_t* scratch)
{
    PlaneNetworkKernel<VectorSse2Words>(plane, stride, width, height, count, scratch);
}
