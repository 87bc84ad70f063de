// The plane median of 16-bit samples with AVX2, 16 neighbouring columns a register. A file apart from the
// 8-bit variants: beside their walks in one translation unit, GCC inlined those differently.

#include "filter/chroma_median_plane_walk.h"
#include "filter/vector_avx2.h"

void ChromaMedianPlane16_AVX2(uint16_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                              uint8_t* scratch)
{
    PlaneBlockKernel<VectorAvx2Words>(plane, stride, width, height, count, scratch);
}

void ChromaMedianPlaneNetwork16_AVX2(uint16_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                     int32_t count, uint8_t* scratch)
{
    PlaneNetworkKernel<VectorAvx2Words>(plane, stride, width, height, count, scratch);
}
