#pragma once

#include <cstdint>
#include <cstdlib>

#include "filter/cpu_features.h"

// Tests and benchmarks may limit the CPU features that kernel choice sees, to run the portable path or one
// instruction set on any machine: UVD_CPU_MASK, decimal or 0x hex, all ones when unset. The product never
// reads the environment.
inline uint32_t CpuMaskFromEnvironment()
{
    const char* text = std::getenv("UVD_CPU_MASK");
    if (!text || !*text)
        return ~0u;
    return static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
}

inline void ApplyCpuMaskFromEnvironment() { SetCpuFeatureMask(CpuMaskFromEnvironment()); }
