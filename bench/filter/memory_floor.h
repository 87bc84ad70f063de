#pragma once

#include <cstddef>
#include <cstdint>

// The memory floor: every byte of the frame read and written back in place, 16 bytes at a time (SSE2).
// No filter can touch a frame in less time.
void InPlaceReadWritePass(uint8_t* frame, size_t bytes);
