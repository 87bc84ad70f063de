#pragma once

#include <cstddef>
#include <cstdint>

#include "filter/frame_size.h"

// The chroma median written straight from its definition: every chroma byte of every full strip becomes
// the value at rank count/2 of its sorted window of rows r - a ... r + h, row numbers clamped to the frame.
// Every other byte is copied. in and out do not overlap.
void DefinitionChromaMedian(const uint8_t* in, uint8_t* out, FrameSize size, int32_t count);

inline size_t FrameBytes(FrameSize size) { return 2 * static_cast<size_t>(size.width) * size.height; }
