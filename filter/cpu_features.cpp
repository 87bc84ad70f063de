#include "filter/cpu_features.h"

#include <atomic>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

#if defined(__i386__) || defined(__x86_64__)
uint32_t ReadXcr0()
{
    uint32_t eax, edx;
    __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
    return eax;
}

uint32_t Detect()
{
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return 0;
    uint32_t features = 0;
    if (d & bit_SSE2)
        features |= kCpuSSE2;
    // AVX2 needs the OS to save the upper register halves (OSXSAVE and XCR0 bits 1 and 2).
    const bool osSavesYmm = (c & bit_OSXSAVE) && (ReadXcr0() & 6) == 6;
    if (osSavesYmm && __get_cpuid_max(0, nullptr) >= 7) {
        __cpuid_count(7, 0, a, b, c, d);
        if (b & bit_AVX2)
            features |= kCpuAVX2;
    }
    return features;
}
#else
uint32_t Detect() { return 0; }
#endif

// Plain atomics with constant initial values: function-local statics would need the runtime's
// initialisation guard, which brings a whole thread library into the DLL. Racing first detections store
// the same value. Bit 31 means "not yet"; no instruction set uses it.
constexpr uint32_t kNotYet = 1u << 31;
std::atomic<uint32_t> g_detected{kNotYet};
std::atomic<uint32_t> g_mask{~0u};

}  // namespace

uint32_t DetectCpuFeatures()
{
    uint32_t features = g_detected.load(std::memory_order_relaxed);
    if (features == kNotYet) {
        features = Detect();
        g_detected.store(features, std::memory_order_relaxed);
    }
    return features;
}

uint32_t CpuFeatures() { return DetectCpuFeatures() & g_mask.load(std::memory_order_relaxed); }

void SetCpuFeatureMask(uint32_t mask) { g_mask.store(mask, std::memory_order_relaxed); }
