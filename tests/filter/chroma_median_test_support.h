#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "chroma_median_definition.h"
#include "filter/chroma_median.h"

// Every implementation of the filter with the window sizes it serves, whether or not this CPU runs it.
struct ChromaVariant {
    std::string name;
    ChromaMedianFn fn;
    int32_t minCount;
    int32_t maxCount;
    uint32_t neededFeatures;

    bool Serves(int32_t count) const { return count >= minCount && count <= maxCount; }
};
std::vector<ChromaVariant> AllChromaVariants();
bool CanRun(const ChromaVariant& variant);
inline std::ostream& operator<<(std::ostream& out, const ChromaVariant& variant) { return out << variant.name; }

// A block of memory with marked bytes before and after it that nothing may touch; the block starts
// `misalign` bytes past a 16-byte boundary.
class GuardedBytes {
public:
    static constexpr size_t kGuardBytes = 64;
    static constexpr uint8_t kMarker = 0xA5;

    GuardedBytes(size_t bytes, size_t misalign = 0);
    uint8_t* data() { return m_storage.data() + m_start; }
    size_t size() const { return m_bytes; }
    bool GuardsIntact() const;

private:
    size_t m_bytes;
    size_t m_start;
    std::vector<uint8_t> m_storage;
};

// Frame contents. Luma is always random, so that any change to it shows.
enum class Pattern { Random, FewValues, AllZero, AllMax, Spikes };
const char* PatternName(Pattern pattern);
void FillFrame(uint8_t* frame, FrameSize size, Pattern pattern, std::mt19937& random);

// Index of the first differing byte, or -1.
long FirstDifference(const uint8_t* actual, const uint8_t* expected, size_t bytes);
