#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "filter/rgb_yuy2.h"

struct TimedVariant {
    const char* name;
    RgbToYuy2Fn toYuy2;
    Yuy2ToRgbFn toRgb;
};

// The portable version first (the ratios' base), then each vector variant this CPU can run.
std::vector<TimedVariant> RunnableVariants();

enum class ConversionOp { ToYuy2, ToRgb, RoundTrip, Floor };
const char* OpName(ConversionOp op);

// RGB frames as the host hands them and the stream's one YUY2 work buffer. Hot: one frame, reused, so
// it stays in cache. Cold: a ring of frames four times the size of the largest cache this code expects
// (32 MiB), each used in turn, so every frame comes from memory as it does from the decoder.
class FrameRing {
public:
    FrameRing(FrameSize size, bool cold);
    const FrameSize* size() const { return &m_size; }
    uint8_t* NextRgb();
    uint8_t* work() { return m_work.data(); }
    size_t rgbBytes() const { return m_rgbBytes; }
    size_t frameCount() const { return m_frames.size(); }

private:
    FrameSize m_size;
    size_t m_rgbBytes;
    std::vector<std::vector<uint8_t>> m_frames;
    std::vector<uint8_t> m_work;
    size_t m_next = 0;
};

// One operation on the ring's next frame.
void RunOp(ConversionOp op, const TimedVariant& variant, FrameRing& ring);

std::string Describe(const FrameSize& size);
