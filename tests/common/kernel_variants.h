#pragma once

// The kernel implementations the tests run are the product's own variant lists, the ones its kernel
// tables choose from, so a new kernel cannot go untested.

#include <cstdint>
#include <vector>

#include "filter/cpu_features.h"

// True when this CPU, as far as the feature mask lets it, runs the variant.
template <class Variant>
bool CanRun(const Variant& variant)
{
    return HasFeatures(CpuFeatures(), variant.neededFeatures);
}

// Calls body(variant) for every variant of the list that this CPU runs.
template <class Variants, class Body>
void ForEachRunnableVariant(const Variants& variants, Body&& body)
{
    for (const auto& variant : variants) {
        if (CanRun(variant))
            body(variant);
    }
}

// Feature sets from none to all, one instruction set more at each step: the CPUs a kernel table is made for.
inline std::vector<uint32_t> CpuFeatureLevels()
{
    std::vector<uint32_t> levels{0};
    for (uint32_t feature = 1; feature < kCpuFeatureEnd; feature <<= 1)
        levels.push_back(levels.back() | feature);
    levels.push_back(~0u);
    return levels;
}

// Skips the current test on a processor that lacks the variant's instruction set.
#define SKIP_UNLESS_RUNNABLE(variant)                                                     \
    do {                                                                                  \
        if (!CanRun(variant))                                                             \
            GTEST_SKIP() << (variant).name << " needs an instruction set this CPU lacks"; \
    } while (0)
