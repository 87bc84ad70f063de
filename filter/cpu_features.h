#pragma once

#include <cstdint>

// Instruction-set bits, only of the sets some kernel uses. Kernel choice is made once per stream from
// CpuFeatures().
enum CpuFeature : uint32_t {
    kCpuSSE2 = 1u << 0,
    kCpuAVX2 = 1u << 1,
    kCpuFeatureEnd = 1u << 2,  // the bit a new instruction set takes, moving this on
};

// True when the features include every one of `needed`: whether a variant may run.
constexpr bool HasFeatures(uint32_t features, uint32_t needed) { return (features & needed) == needed; }

// What the processor (and the operating system, for AVX state) supports, detected once.
uint32_t DetectCpuFeatures();

// DetectCpuFeatures() limited by the mask, so tests and benchmarks can force the portable path or any
// vectorised variant on one machine. The mask starts as all ones; the product never changes it, and
// never reads the environment.
uint32_t CpuFeatures();
void SetCpuFeatureMask(uint32_t mask);
