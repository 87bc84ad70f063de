#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "filter/rgb_yuy2.h"

// Every implementation of the conversions, whether or not this processor can run it.
struct ConversionVariant {
    const char* name;
    RgbToYuy2Fn toYuy2;
    Yuy2ToRgbFn toRgb;
    uint32_t neededFeatures;
};
std::vector<ConversionVariant> AllConversionVariants();
bool CanRun(const ConversionVariant& variant);
inline std::ostream& operator<<(std::ostream& out, const ConversionVariant& variant) { return out << variant.name; }

// Skips the current test on a processor that lacks the variant's instruction set.
#define SKIP_UNLESS_RUNNABLE(variant)                                                        \
    do {                                                                                     \
        if (!CanRun(variant))                                                                \
            GTEST_SKIP() << (variant).name << " needs an instruction set this CPU lacks";    \
    } while (0)

// Bytes = width * height pixels, 3 per pixel for RGB and 2 for YUY2.
inline size_t RgbBytes(const FrameSize& size) { return 3 * static_cast<size_t>(size.width) * size.height; }
inline size_t Yuy2Bytes(const FrameSize& size) { return 2 * static_cast<size_t>(size.width) * size.height; }

// A buffer with fenced-off bytes before and after it, filled with a marker that the conversions must
// leave as it is.
class GuardedBuffer {
public:
    static constexpr size_t kGuardBytes = 64;
    static constexpr uint8_t kMarker = 0xA5;

    explicit GuardedBuffer(size_t bytes) : m_bytes(bytes), m_storage(bytes + 2 * kGuardBytes, kMarker) {}
    uint8_t* data() { return m_storage.data() + kGuardBytes; }
    const uint8_t* data() const { return m_storage.data() + kGuardBytes; }
    size_t size() const { return m_bytes; }
    bool GuardsIntact() const;

private:
    size_t m_bytes;
    std::vector<uint8_t> m_storage;
};

// Fixed-seed random bytes.
std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed);
