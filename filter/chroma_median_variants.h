#pragma once

#include <cstdint>

#include "filter/frame_size.h"

// Every implementation of the chroma median, with its signature and preconditions (filter/chroma_median.h);
// ChromaMedianVariants() lists them with the windows each serves.

// The running rank table, scalar, any count; the portable reference.
void ChromaMedianFilter_C(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);

// Need SSE2; only their translation units are compiled with it.
// Sorted blocks of rows merged with min/max, any count.
void ChromaMedianFilter_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);
// Selection networks, counts 2 to 5 only; they use no scratch.
void ChromaMedianNetwork_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);
