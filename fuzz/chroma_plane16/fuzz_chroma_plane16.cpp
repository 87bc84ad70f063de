// The command-line filter's plane kernels for 16-bit samples (9 to 16 bits): arbitrary small planes, strides,
// windows and CPU features. The kernel chosen for the window must give, sample for sample, what the portable
// reference gives, leave the samples between rows alone, and read nothing outside the plane (which ends right
// after its last sample).
//
// Input: width, height, extra stride, window, feature level (one byte each), then the samples, two bytes
// each, little-endian (repeated).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "filter/chroma_median_plane.h"
#include "filter/cpu_features.h"
#include "tests/common/kernel_variants.h"

namespace {

constexpr int32_t kMaxWidth = 64;
constexpr int32_t kMaxHeight = 48;

// One of the feature sets a kernel table is made for, as far as this CPU has them.
uint32_t FeatureLevel(uint32_t index)
{
    static const std::vector<uint32_t> kLevels = CpuFeatureLevels();
    return CpuFeatures() & kLevels[index % kLevels.size()];
}

// Scratch of the size and alignment every kernel may use.
struct Scratch {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kChromaMedianPlaneScratchBytes + kChromaMedianPlaneScratchAlign);
    uint8_t* Aligned()
    {
        const uintptr_t address = reinterpret_cast<uintptr_t>(bytes.data());
        return bytes.data() + (-address & (kChromaMedianPlaneScratchAlign - 1));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    const int32_t width = 1 + data[0] % kMaxWidth;
    const int32_t height = 1 + data[1] % kMaxHeight;
    const ptrdiff_t stride = width + data[2] % 16;
    const int32_t count = 1 + data[3] % kMaxMedianWindow;
    const uint32_t features = FeatureLevel(data[4]);
    data += 5;
    size -= 5;

    std::vector<uint16_t> plane(static_cast<size_t>(stride * (height - 1) + width));
    for (size_t i = 0; i < plane.size(); ++i) {
        plane[i] = size > 1 ? static_cast<uint16_t>(data[2 * i % (size - 1)] | data[2 * i % (size - 1) + 1] << 8)
                            : static_cast<uint16_t>(i * 4099);
    }
    static Scratch scratch;
    const ChromaMedianPlane16Fn kernel = ChooseChromaMedianPlaneKernels<uint16_t>(features).byCount[count];
    // The portable kernel itself is held against the definition by the unit tests.
    std::vector<uint16_t> expected = plane;
    if (kernel != ChromaMedianPlane16_C)
        ChromaMedianPlane16_C(expected.data(), stride, width, height, count, scratch.Aligned());

    kernel(plane.data(), stride, width, height, count, scratch.Aligned());
    if (kernel != ChromaMedianPlane16_C && plane != expected) {
        std::fprintf(stderr, "plane %dx%d stride %td window %d features %#x differs from the reference\n", width,
                     height, stride, count, features);
        std::abort();
    }
    return 0;
}
