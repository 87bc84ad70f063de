#pragma once

#include <cstdint>

#include "filter/frame_size.h"

// The running rank table in its lane-parallel form, each slot's 8 ranks and 8 samples as two 64-bit
// integers, as the filter was first designed: the speed every variant is compared with.
void ChromaMedianRankTableU64(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);
