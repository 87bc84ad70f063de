#pragma once

// The shape every kernel family shares (the packed and the plane median, the repair's suspect mask, the RGB
// conversions): a table of variants, the portable one first, and one chooser. A family's table lives in its
// own .cpp file beside its portable reference; the tests and benchmarks run every variant the table lists.

#include <cstdint>
#include <span>

#include "filter/cpu_features.h"
#include "filter/median_window.h"

// One implementation of a family: its functions, the CPU features it needs and the window counts it
// serves. Families without a window serve every count.
template <class Fn>
struct KernelVariant {
    const char* name;
    Fn fn;
    uint32_t neededFeatures;
    int32_t minCount = kMinMedianWindow;
    int32_t maxCount = kMaxMedianWindow;

    bool Serves(int32_t count) const { return count >= minCount && count <= maxCount; }
};

// The last variant listed that the CPU runs and that serves the count. A count no variant serves (0, outside
// every precondition) gets the portable one, which returns at once for it.
template <class Fn>
Fn ChooseKernel(std::span<const KernelVariant<Fn>> variants, uint32_t cpuFeatures, int32_t count = kMinMedianWindow)
{
    Fn chosen = variants.front().fn;
    for (const KernelVariant<Fn>& variant : variants) {
        if (HasFeatures(cpuFeatures, variant.neededFeatures) && variant.Serves(count))
            chosen = variant.fn;
    }
    return chosen;
}

// The kernels of one stream, chosen once for the CPU features: one for each count.
template <class Fn>
struct KernelsByCount {
    Fn byCount[kMaxMedianWindow + 1];
};

template <class Fn>
KernelsByCount<Fn> ChooseKernelsByCount(std::span<const KernelVariant<Fn>> variants, uint32_t cpuFeatures)
{
    KernelsByCount<Fn> kernels{};
    for (int32_t count = 0; count <= kMaxMedianWindow; ++count)
        kernels.byCount[count] = ChooseKernel(variants, cpuFeatures, count);
    return kernels;
}
