#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <random>

#include "filter/chroma_median.h"
#include "tests/common/definition_reference.h"
#include "tests/common/guarded_bytes.h"
#include "tests/common/kernel_variants.h"

inline std::ostream& operator<<(std::ostream& out, const ChromaMedianVariant& variant) { return out << variant.name; }

// Calls body(variant) for every variant this CPU runs that serves the window.
template <class Body>
void ForEachVariantServing(int32_t count, Body&& body)
{
    ForEachRunnableVariant(ChromaMedianVariants(), [&](const ChromaMedianVariant& variant) {
        if (variant.Serves(count))
            body(variant);
    });
}

// Frame contents. Luma is always random, so that any change to it shows.
enum class Pattern { Random, FewValues, AllZero, AllMax, Spikes };
const char* PatternName(Pattern pattern);
void FillFrame(uint8_t* frame, FrameSize size, Pattern pattern, std::mt19937& random);

// Index of the first differing byte, or -1.
long FirstDifference(const uint8_t* actual, const uint8_t* expected, size_t bytes);
