#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

// Fixed-seed random bytes, the low byte of each draw: the engine is specified exactly, so every platform
// gets the same bytes for a seed.
inline std::vector<uint8_t> RandomBytes(size_t count, std::mt19937& generator)
{
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(generator());
    return bytes;
}

inline std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed)
{
    std::mt19937 generator(seed);
    return RandomBytes(count, generator);
}
