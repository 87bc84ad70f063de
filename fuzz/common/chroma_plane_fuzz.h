#pragma once

// The command-line filter's plane kernels at either sample width: arbitrary small planes, strides, windows
// and CPU features. The kernel chosen for the window must give, sample for sample, what the portable
// reference gives, leave the samples between rows alone, and read nothing outside the plane (which ends
// right after its last sample).
//
// Input: width, height, extra stride, window, feature level (one byte each), then the samples (repeated;
// plane_fuzz::Samples).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz/common/plane_fuzz.h"

template <class Sample>
int FuzzChromaMedianPlane(const uint8_t* data, size_t size)
{
    constexpr int32_t kMaxWidth = 64;
    constexpr int32_t kMaxHeight = 48;
    if (size < 5)
        return 0;
    const int32_t width = 1 + data[0] % kMaxWidth;
    const int32_t height = 1 + data[1] % kMaxHeight;
    const ptrdiff_t stride = width + data[2] % 16;
    const int32_t count = 1 + data[3] % kMaxMedianWindow;
    const uint32_t features = plane_fuzz::FeatureLevel(data[4]);
    data += 5;
    size -= 5;

    std::vector<Sample> plane =
        plane_fuzz::Samples<Sample>(static_cast<size_t>(stride * (height - 1) + width), data, size, 0);
    const ChromaMedianPlaneFnOf<Sample> kernel = ChooseChromaMedianPlaneKernels<Sample>(features).byCount[count];
    // The portable kernel is held against the definition by the unit tests; here it still runs, so that a
    // read outside the plane shows.
    const ChromaMedianPlaneFnOf<Sample> portable = ChooseChromaMedianPlaneKernels<Sample>(0).byCount[count];
    std::vector<Sample> expected = plane;
    if (kernel != portable)
        portable(expected.data(), stride, width, height, count, plane_fuzz::AlignedScratch());
    kernel(plane.data(), stride, width, height, count, plane_fuzz::AlignedScratch());
    if (kernel != portable && plane != expected) {
        std::fprintf(stderr, "%zu-byte plane %dx%d stride %td window %d features %#x differs from the reference\n",
                     sizeof(Sample), width, height, stride, count, features);
        std::abort();
    }
    return 0;
}
