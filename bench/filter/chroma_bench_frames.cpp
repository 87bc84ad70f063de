#include "chroma_bench_frames.h"

#include <cstring>
#include <new>
#include <random>

#include "filter/cpu_features.h"

namespace {
uint8_t* AllocateAligned(size_t bytes) { return static_cast<uint8_t*>(::operator new[](bytes, std::align_val_t{16})); }
}  // namespace

void FrameRing::AlignedFree::operator()(uint8_t* p) const { ::operator delete[](p, std::align_val_t{16}); }

FrameRing::FrameRing(FrameSize size, size_t ringBytes)
    : m_frameBytes(2 * static_cast<size_t>(size.width) * static_cast<size_t>(size.height))
{
    const size_t frames = ringBytes / m_frameBytes + 1;
    std::mt19937 random(7);
    for (size_t f = 0; f < frames; ++f) {
        m_frames.emplace_back(AllocateAligned(m_frameBytes));
        uint8_t* frame = m_frames.back().get();
        for (size_t i = 0; i < m_frameBytes; i += 4) {
            const uint32_t bits = random();
            for (size_t k = 0; k < 4 && i + k < m_frameBytes; ++k)
                frame[i + k] = static_cast<uint8_t>(bits >> (8 * k));
        }
    }
}

AlignedScratch::AlignedScratch(size_t bytes) : m_data(AllocateAligned(bytes)) {}

AlignedScratch::~AlignedScratch() { ::operator delete[](m_data, std::align_val_t{16}); }

ChromaMedianFn RunnableChromaMedianVariant(const char* name)
{
    for (const ChromaMedianVariant& variant : ChromaMedianVariants()) {
        if (std::strcmp(variant.name, name) == 0 && HasFeatures(CpuFeatures(), variant.neededFeatures))
            return variant.fn;
    }
    return nullptr;
}
