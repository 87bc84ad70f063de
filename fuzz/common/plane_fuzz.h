#pragma once

// What the plane kernels' fuzz targets share, at either sample width: the CPU feature levels a kernel table
// is made for, the input's bytes as samples, and scratch of the size and alignment every kernel may use.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "filter/chroma_median_plane.h"
#include "filter/cpu_features.h"
#include "tests/common/kernel_variants.h"

namespace plane_fuzz {

// One of the feature sets a kernel table is made for, as far as this CPU has them.
inline uint32_t FeatureLevel(uint32_t index)
{
    static const std::vector<uint32_t> kLevels = CpuFeatureLevels();
    return CpuFeatures() & kLevels[index % kLevels.size()];
}

// `count` samples from the input, starting `skip` samples in and repeated: a byte each for 8-bit samples,
// two little-endian bytes each for 16-bit ones; a fixed pattern when the input has none.
template <class Sample>
std::vector<Sample> Samples(size_t count, const uint8_t* data, size_t size, size_t skip)
{
    std::vector<Sample> samples(count);
    for (size_t i = 0; i < count; ++i) {
        if constexpr (sizeof(Sample) == 1) {
            samples[i] = size ? data[(i + skip) % size] : static_cast<uint8_t>(i * 37);
        } else {
            const size_t at = size > 1 ? 2 * (i + skip) % (size - 1) : 0;
            samples[i] = size > 1 ? static_cast<uint16_t>(data[at] | data[at + 1] << 8) : static_cast<uint16_t>(i * 4099);
        }
    }
    return samples;
}

inline uint8_t* AlignedScratch()
{
    static std::vector<uint8_t> bytes(kChromaMedianPlaneScratchBytes + kChromaMedianPlaneScratchAlign);
    return bytes.data() + (-reinterpret_cast<uintptr_t>(bytes.data()) & (kChromaMedianPlaneScratchAlign - 1));
}

}  // namespace plane_fuzz
