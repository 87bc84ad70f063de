#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "filter/chroma_median.h"
#include "filter/frame_size.h"

// Frames for timing, 16-byte aligned as the stream's buffers are, with random luma and chroma.
// Hot runs reuse one frame; cold runs take the frames in turn, so each was last touched a whole ring ago:
// make the ring larger than the last-level cache and every frame arrives from memory, as from a decoder.
class FrameRing {
public:
    FrameRing(FrameSize size, size_t ringBytes);
    uint8_t* Frame(size_t index) { return m_frames[index % m_frames.size()].get(); }
    uint8_t* NextCold() { return Frame(m_cursor++); }
    size_t Frames() const { return m_frames.size(); }
    size_t FrameBytes() const { return m_frameBytes; }

private:
    struct AlignedFree {
        void operator()(uint8_t* p) const;
    };
    size_t m_frameBytes;
    size_t m_cursor = 0;
    std::vector<std::unique_ptr<uint8_t, AlignedFree>> m_frames;
};

// A block of memory aligned to 16 bytes, as the stream's scratch buffer is.
class AlignedScratch {
public:
    explicit AlignedScratch(size_t bytes);
    ~AlignedScratch();
    AlignedScratch(const AlignedScratch&) = delete;
    AlignedScratch& operator=(const AlignedScratch&) = delete;
    uint8_t* data() { return m_data; }

private:
    uint8_t* m_data;
};

// The packed median's variant of that name from the family's table when this CPU runs it, else nullptr:
// the benchmarks time single variants beside the table's choice.
ChromaMedianFn RunnableChromaMedianVariant(const char* name);
