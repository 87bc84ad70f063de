#pragma once

#include <cstddef>
#include <cstdint>

#include "filter/frame_size.h"

// Vertical running median over the U and V samples of a packed YUY2 frame, in place.
// Output is defined bit for bit: row r of every chroma column becomes the sample at rank count/2 of
// rows r - (count - 1 - count/2) ... r + count/2, row numbers clamped to the frame.

constexpr int32_t kMaxMedianWindow = 30;

// Preconditions: 1 <= count <= 30, width >= 8 and even, height > count / 2, frame holds
// width * height * 2 bytes, scratch holds ChromaScratchBytes(size) bytes aligned to 16.
void ChromaMedianFilter(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);

using ChromaMedianFn = void (*)(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);

// True when a frame of this size may be filtered with this window.
bool ChromaMedianPreconditionsHold(const FrameSize& size, int32_t count);

// Bytes of 16-byte-aligned scratch memory that every variant needs for frames of this size.
size_t ChromaScratchBytes(const FrameSize& size);

// The kernel for each window size, chosen once per stream for the given CPU features.
struct ChromaMedianKernels {
    ChromaMedianFn byCount[kMaxMedianWindow + 1];
};
ChromaMedianKernels ChooseChromaMedianKernels(uint32_t cpuFeatures);
