// The plane median with SSE2, 16 neighbouring columns a register.

#include "filter/chroma_median_plane_walk.h"
#include "filter/vector_sse2.h"

void ChromaMedianPlane_SSE2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                            uint8_t* scratch)
{
    PlaneBlockKernel<VectorSse2>(plane, stride, width, height, count, scratch);
}

void ChromaMedianPlaneNetwork_SSE2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                   int32_t count, uint8_t* scratch)
{
    PlaneNetworkKernel<VectorSse2>(plane, stride, width, height, count, scratch);
}
