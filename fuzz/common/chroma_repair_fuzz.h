#pragma once

// uvdenoise's repair mode at either sample width: arbitrary small chroma planes over their luma, every
// subsampling with odd luma edges, any window and threshold (and for 16-bit samples any depth from 9 to
// 16), the kernels of a CPU feature level, and the plane detected and replaced in two column pieces cut
// anywhere, as the thread pool may cut it. Every sample of the result must equal the repair written from
// its definition, and nothing may be read outside the planes (each ends with its last sample). 16-bit
// samples keep every bit of the input, above the depth too.
//
// Input: width, height, subsampling and luma trim, window, threshold, feature level, cut (one byte each);
// for 16-bit samples a depth byte more; then the samples, chroma first, then luma (repeated;
// plane_fuzz::Samples).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "filter/chroma_repair_plane.h"
#include "fuzz/common/plane_fuzz.h"
#include "tests/common/repair_reference.h"

template <class Sample>
int FuzzChromaRepairPlane(const uint8_t* data, size_t size)
{
    constexpr int32_t kMaxWidth = 40;
    constexpr int32_t kMaxHeight = 32;
    constexpr int32_t kShifts[4][2] = {{0, 0}, {1, 0}, {1, 1}, {2, 0}};  // 4:4:4, 4:2:2, 4:2:0, 4:1:1
    constexpr size_t kHeader = sizeof(Sample) == 1 ? 7 : 8;
    if (size < kHeader)
        return 0;
    const int32_t width = 1 + data[0] % kMaxWidth;
    const int32_t height = 1 + data[1] % kMaxHeight;
    const int32_t shiftX = kShifts[data[2] % 4][0], shiftY = kShifts[data[2] % 4][1];
    // The luma may end inside the last chroma sample's cover, as an odd picture size makes it.
    const int32_t lumaWidth = (width << shiftX) - (data[2] / 4) % (1 << shiftX);
    const int32_t lumaHeight = (height << shiftY) - (data[2] / 16) % (1 << shiftY);
    const int32_t count = 1 + data[3] % kMaxMedianWindow;
    const int32_t threshold = 1 + data[4] % 255;
    const uint32_t features = plane_fuzz::FeatureLevel(data[5]);
    const int32_t cut = data[6] % (width + 1);
    const int32_t depth = sizeof(Sample) == 1 ? 8 : 9 + data[7] % 8;
    data += kHeader;
    size -= kHeader;

    std::vector<Sample> chroma = plane_fuzz::Samples<Sample>(static_cast<size_t>(width) * height, data, size, 0);
    const std::vector<Sample> luma =
        plane_fuzz::Samples<Sample>(static_cast<size_t>(lumaWidth) * lumaHeight, data, size, chroma.size());
    std::vector<Sample> expected = chroma;
    reference::ChromaRepairPlane<Sample>({expected.data(), width, width, height, luma.data(), lumaWidth, lumaWidth,
                                          lumaHeight, shiftX, shiftY, depth},
                                         count, threshold);

    std::vector<Sample> median(chroma.size());
    std::vector<uint8_t> mask(chroma.size());
    const ChromaRepairPlaneOf<Sample> plane{chroma.data(), width, width, height,
                                            LumaCoverOf<Sample>{luma.data(), lumaWidth, lumaWidth, lumaHeight, shiftX,
                                                                shiftY},
                                            median.data(), mask.data(), depth};
    const ChromaRepairKernelsOf<Sample> kernels = ChooseChromaRepairKernels<Sample>(features, count);
    for (const auto& [left, right] : {std::pair{0, cut}, std::pair{cut, width}}) {
        if (left < right)
            DetectChromaSparkles(plane, left, right, count, threshold, kernels, plane_fuzz::AlignedScratch());
    }
    for (const auto& [left, right] : {std::pair{0, cut}, std::pair{cut, width}}) {
        if (left < right)
            ReplaceChromaSparkles(plane, left, right, threshold);
    }
    if (chroma != expected) {
        std::fprintf(stderr,
                     "plane %dx%d depth %d shifts %d,%d luma %dx%d window %d threshold %d features %#x cut %d differs\n",
                     width, height, depth, shiftX, shiftY, lumaWidth, lumaHeight, count, threshold, features, cut);
        std::abort();
    }
    return 0;
}
