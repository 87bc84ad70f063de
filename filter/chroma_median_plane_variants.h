#pragma once

#include <cstddef>
#include <cstdint>

// Every implementation of the plane median, with its signature and preconditions
// (filter/chroma_median_plane.h); ChromaMedianPlaneVariants() lists them with the windows each serves.

// Running sorted window per column; the portable reference.
void ChromaMedianPlane_C(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                         uint8_t* scratch);

// Need SSE2 or AVX2; only their translation units are compiled with it.
// Sorted blocks merged with min/max, any count; 16 or 32 columns a register.
void ChromaMedianPlane_SSE2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                            uint8_t* scratch);
void ChromaMedianPlane_AVX2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                            uint8_t* scratch);
// Selection networks, counts 2 to 5 only; no scratch.
void ChromaMedianPlaneNetwork_SSE2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                   int32_t count, uint8_t* scratch);
void ChromaMedianPlaneNetwork_AVX2(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                   int32_t count, uint8_t* scratch);
