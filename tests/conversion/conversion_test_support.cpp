#include "conversion_test_support.h"

#include <random>

#include "filter/cpu_features.h"
#include "filter/rgb_yuy2_variants.h"

std::vector<ConversionVariant> AllConversionVariants()
{
    return {
        {"Reference", RgbToYuy2, Yuy2ToRgb, 0},
        {"C", RgbToYuy2_C, Yuy2ToRgb_C, 0},
        {"SSE2", RgbToYuy2_SSE2, Yuy2ToRgb_SSE2, kCpuSSE2},
    };
}

bool CanRun(const ConversionVariant& variant)
{
    return (DetectCpuFeatures() & variant.neededFeatures) == variant.neededFeatures;
}

bool GuardedBuffer::GuardsIntact() const
{
    for (size_t i = 0; i < kGuardBytes; ++i) {
        if (m_storage[i] != kMarker || m_storage[kGuardBytes + m_bytes + i] != kMarker)
            return false;
    }
    return true;
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(byte(generator));
    return bytes;
}
