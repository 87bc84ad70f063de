#pragma once

#include <cstdint>

#include "filter/frame_size.h"

// Every implementation of ChromaMedianFilter, with its signature and preconditions.
// ChooseChromaMedianKernels picks one per window size; tests and benchmarks call them directly.

// The running rank table, scalar, any count; the portable reference.
void ChromaMedianFilter_C(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);

// Count 1: every window is the sample itself, so the frame is not touched at all.
void ChromaMedianIdentity(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);

// Need SSE2; only their translation units are compiled with it.
// Sorted blocks of rows merged with min/max, any count.
void ChromaMedianFilter_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);
// Selection networks for one window size each; count must be that size. They use no scratch.
void ChromaMedian2_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);
void ChromaMedian3_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);
void ChromaMedian4_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);
void ChromaMedian5_SSE2(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);
