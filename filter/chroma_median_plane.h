#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "filter/kernel_variant.h"
#include "filter/median_window.h"

// The chroma median over a plane of samples (one U or V plane of a planar picture), in place: row r of
// every column becomes the sample at rank count/2 of rows r - (count - 1 - count/2) ... r + count/2, row
// numbers clamped to the plane. Every column is filtered. Rows are `stride` samples apart, so a field is a
// plane with twice the picture's stride. Samples are 8-bit (uint8_t) or 9- to 16-bit (uint16_t in the
// machine's byte order, the value in the low bits); the rule is the same for every depth, which the
// kernels need not know.
//
// Preconditions: width >= 1, height >= 1, kMinMedianWindow <= count <= kMaxMedianWindow, scratch holds kChromaMedianPlaneScratchBytes
// aligned to kChromaMedianPlaneScratchAlign. Count 1 leaves the plane unchanged; a plane of count/2 rows
// or fewer is filtered like any other (its windows repeat both edge rows). Columns are independent:
// disjoint column ranges of one plane may be filtered by separate calls at the same time, each with its own
// scratch.
template <class Sample>
using ChromaMedianPlaneFnOf = void (*)(Sample* plane, ptrdiff_t stride, int32_t width, int32_t height,
                                       int32_t count, uint8_t* scratch);
using ChromaMedianPlaneFn = ChromaMedianPlaneFnOf<uint8_t>;
using ChromaMedianPlane16Fn = ChromaMedianPlaneFnOf<uint16_t>;

constexpr size_t kChromaMedianPlaneScratchAlign = 64;
extern const size_t kChromaMedianPlaneScratchBytes;

// Running sorted window per column; the portable references.
void ChromaMedianPlane_C(uint8_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                         uint8_t* scratch);
void ChromaMedianPlane16_C(uint16_t* plane, ptrdiff_t stride, int32_t width, int32_t height, int32_t count,
                           uint8_t* scratch);

// Every variant built for this target, the portable one first (the family's tables, one a sample type, in
// filter/chroma_median_plane.cpp).
template <class Sample>
using ChromaMedianPlaneVariantOf = KernelVariant<ChromaMedianPlaneFnOf<Sample>>;
using ChromaMedianPlaneVariant = ChromaMedianPlaneVariantOf<uint8_t>;
using ChromaMedianPlane16Variant = ChromaMedianPlaneVariantOf<uint16_t>;
template <class Sample>
std::span<const ChromaMedianPlaneVariantOf<Sample>> ChromaMedianPlaneVariants();
template <>
std::span<const ChromaMedianPlaneVariant> ChromaMedianPlaneVariants<uint8_t>();
template <>
std::span<const ChromaMedianPlane16Variant> ChromaMedianPlaneVariants<uint16_t>();

template <class Sample>
using ChromaMedianPlaneKernelsOf = KernelsByCount<ChromaMedianPlaneFnOf<Sample>>;
using ChromaMedianPlaneKernels = ChromaMedianPlaneKernelsOf<uint8_t>;
template <class Sample>
ChromaMedianPlaneKernelsOf<Sample> ChooseChromaMedianPlaneKernels(uint32_t cpuFeatures)
{
    return ChooseKernelsByCount(ChromaMedianPlaneVariants<Sample>(), cpuFeatures);
}
