#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "filter/frame_size.h"
#include "filter/kernel_variant.h"
#include "filter/median_window.h"

// Vertical running median over the U and V samples of a packed YUY2 frame, in place.
// Output is defined bit for bit: row r of every chroma column becomes the sample at rank count/2 of
// rows r - (count - 1 - count/2) ... r + count/2, row numbers clamped to the frame.

// The signature of every implementation. Preconditions: kMinMedianWindow <= count <= kMaxMedianWindow,
// width >= 8 and even, height > count / 2, frame holds width * height * 2 bytes, scratch holds
// ChromaScratchBytes(size) bytes aligned to 16. Count 1 leaves the frame as it is, and every
// implementation returns at once for it.
using ChromaMedianFn = void (*)(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);

// True when a frame of this size may be filtered with this window.
bool ChromaMedianPreconditionsHold(const FrameSize& size, int32_t count);

// Bytes of 16-byte-aligned scratch memory that every variant needs for frames of this size.
size_t ChromaScratchBytes(const FrameSize& size);

// The running rank table, scalar, any count; the portable reference.
void ChromaMedianFilter_C(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count);

// Every implementation, the portable one first (the family's table, in filter/chroma_median.cpp); the tests
// run each one over every window it serves.
using ChromaMedianVariant = KernelVariant<ChromaMedianFn>;
std::span<const ChromaMedianVariant> ChromaMedianVariants();

// The kernels of one stream, chosen once for the CPU features: ChromaMedianFilter runs the one chosen for
// the window.
struct ChromaMedianKernels : KernelsByCount<ChromaMedianFn> {
    void ChromaMedianFilter(uint8_t* frame, const FrameSize* size, uint8_t* scratch, int32_t count) const
    {
        byCount[count](frame, size, scratch, count);
    }
};
ChromaMedianKernels ChooseChromaMedianKernels(uint32_t cpuFeatures);
