// The plane median with AVX2, 32 neighbouring columns a register.

#include "filter/chroma_median_plane_walk.h"
#include "filter/vector_avx2.h"

void ChromaMedianPlane_AVX2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                            uint8_t* scratch)
{
    PlaneBlockKernel<VectorAvx2>(plane, stride, width, height, count, scratch);
}

void ChromaMedianPlaneNetwork_AVX2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                   int32_t count, uint8_t* scratch)
{
    PlaneNetworkKernel<VectorAvx2>(plane, stride, width, height, count, scratch);
}
