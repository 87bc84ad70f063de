#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "filter/kernel_variant.h"
#include "filter/median_window.h"

// The chroma median over a plane of 8-bit samples (one U or V plane of a planar picture), in place: row r
// of every column becomes the sample at rank count/2 of rows r - (count - 1 - count/2) ... r + count/2,
// row numbers clamped to the plane. Every column is filtered. Rows are `stride` bytes apart, so a field
// is a plane with twice the picture's stride.
//
// Preconditions: width >= 1, height >= 1, kMinMedianWindow <= count <= kMaxMedianWindow, scratch holds kChromaMedianPlaneScratchBytes
// aligned to kChromaMedianPlaneScratchAlign. Count 1 leaves the plane unchanged; a plane of count/2 rows
// or fewer is filtered like any other (its windows repeat both edge rows). Columns are independent:
// disjoint column ranges of one plane may be filtered by separate calls at the same time, each with its own
// scratch.
using ChromaMedianPlaneFn = void (*)(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                     int32_t count, uint8_t* scratch);

constexpr size_t kChromaMedianPlaneScratchAlign = 64;
extern const size_t kChromaMedianPlaneScratchBytes;

// Running sorted window per column; the portable reference.
void ChromaMedianPlane_C(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                         uint8_t* scratch);

// Every variant built for this target, the portable one first (the family's table, in
// filter/chroma_median_plane.cpp).
using ChromaMedianPlaneVariant = KernelVariant<ChromaMedianPlaneFn>;
std::span<const ChromaMedianPlaneVariant> ChromaMedianPlaneVariants();

using ChromaMedianPlaneKernels = KernelsByCount<ChromaMedianPlaneFn>;
ChromaMedianPlaneKernels ChooseChromaMedianPlaneKernels(uint32_t cpuFeatures);
