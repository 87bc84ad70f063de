// uvdenoise's repair mode at 9 to 16 bits: arbitrary small chroma planes over their luma, every subsampling
// with odd luma edges, any depth, window and threshold, the kernels of a CPU feature level, and the plane
// detected and replaced in two column pieces cut anywhere, as the thread pool may cut it. Every sample of
// the result must equal the repair written from its definition, and nothing may be read outside the planes
// (each ends with its last sample). Samples keep every bit of the input, above the depth too.
//
// Input: width, height, subsampling and luma trim, window, threshold, feature level, cut, depth (one byte
// each), then the samples, two bytes each, little-endian, chroma first, then luma (repeated).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "filter/chroma_repair_plane.h"
#include "filter/cpu_features.h"
#include "tests/common/kernel_variants.h"
#include "tests/common/repair_reference.h"

namespace {

constexpr int32_t kMaxWidth = 40;
constexpr int32_t kMaxHeight = 32;
constexpr int32_t kShifts[4][2] = {{0, 0}, {1, 0}, {1, 1}, {2, 0}};  // 4:4:4, 4:2:2, 4:2:0, 4:1:1

uint32_t FeatureLevel(uint32_t index)
{
    static const std::vector<uint32_t> kLevels = CpuFeatureLevels();
    return CpuFeatures() & kLevels[index % kLevels.size()];
}

std::vector<uint16_t> Samples(size_t count, const uint8_t* data, size_t size, size_t skip)
{
    std::vector<uint16_t> samples(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = size > 1 ? 2 * (i + skip) % (size - 1) : 0;
        samples[i] = size > 1 ? static_cast<uint16_t>(data[at] | data[at + 1] << 8) : static_cast<uint16_t>(i * 4099);
    }
    return samples;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    const int32_t width = 1 + data[0] % kMaxWidth;
    const int32_t height = 1 + data[1] % kMaxHeight;
    const int32_t shiftX = kShifts[data[2] % 4][0], shiftY = kShifts[data[2] % 4][1];
    // The luma may end inside the last chroma sample's cover, as an odd picture size makes it.
    const int32_t lumaWidth = (width << shiftX) - (data[2] / 4) % (1 << shiftX);
    const int32_t lumaHeight = (height << shiftY) - (data[2] / 16) % (1 << shiftY);
    const int32_t count = 1 + data[3] % kMaxMedianWindow;
    const int32_t threshold = 1 + data[4] % 255;
    const uint32_t features = FeatureLevel(data[5]);
    const int32_t cut = data[6] % (width + 1);
    const int32_t depth = 9 + data[7] % 8;
    data += 8;
    size -= 8;

    std::vector<uint16_t> chroma = Samples(static_cast<size_t>(width) * height, data, size, 0);
    const std::vector<uint16_t> luma =
        Samples(static_cast<size_t>(lumaWidth) * lumaHeight, data, size, chroma.size());
    std::vector<uint16_t> expected = chroma;
    reference::ChromaRepairPlane<uint16_t>({expected.data(), width, width, height, luma.data(), lumaWidth, lumaWidth,
                                            lumaHeight, shiftX, shiftY, depth},
                                           count, threshold);

    std::vector<uint16_t> median(chroma.size());
    std::vector<uint8_t> mask(chroma.size());
    const ChromaRepairPlane16 plane{chroma.data(), width, width, height,
                                    LumaCoverOf<uint16_t>{luma.data(), lumaWidth, lumaWidth, lumaHeight, shiftX, shiftY},
                                    median.data(), mask.data(), depth};
    static std::vector<uint8_t> scratch(kChromaMedianPlaneScratchBytes + kChromaMedianPlaneScratchAlign);
    uint8_t* const aligned =
        scratch.data() + (-reinterpret_cast<uintptr_t>(scratch.data()) & (kChromaMedianPlaneScratchAlign - 1));
    const ChromaRepairKernelsOf<uint16_t> kernels = ChooseChromaRepairKernels<uint16_t>(features, count);
    for (const auto& [left, right] : {std::pair{0, cut}, std::pair{cut, width}}) {
        if (left < right)
            DetectChromaSparkles(plane, left, right, count, threshold, kernels, aligned);
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
