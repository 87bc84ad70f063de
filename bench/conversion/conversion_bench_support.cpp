#include "conversion_bench_support.h"

#include "bench/filter/memory_floor.h"
#include "filter/cpu_features.h"

std::vector<TimedVariant> RunnableVariants()
{
    std::vector<TimedVariant> variants;
    for (const RgbConversionVariant& variant : RgbConversionVariants()) {
        if (HasFeatures(CpuFeatures(), variant.neededFeatures))
            variants.push_back({variant.name, variant.fn.toYuy2, variant.fn.toRgb});
    }
    return variants;
}

const char* OpName(ConversionOp op)
{
    switch (op) {
    case ConversionOp::ToYuy2: return "RgbToYuy2";
    case ConversionOp::ToRgb: return "Yuy2ToRgb";
    case ConversionOp::RoundTrip: return "both";
    case ConversionOp::Floor: return "floor";
    }
    return "";
}

namespace {

constexpr size_t kColdRingBytes = size_t{128} << 20;

}  // namespace

FrameRing::FrameRing(FrameSize size, bool cold)
    : m_size(size), m_rgbBytes(3 * static_cast<size_t>(size.width) * size.height)
{
    const size_t frames = cold ? (kColdRingBytes + m_rgbBytes - 1) / m_rgbBytes : 1;
    m_frames.resize(frames);
    uint32_t state = 12345;
    for (auto& frame : m_frames) {
        frame.resize(m_rgbBytes);
        for (auto& byte : frame) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<uint8_t>(state >> 24);
        }
    }
    m_work.assign(2 * static_cast<size_t>(size.width) * size.height, 0);
}

uint8_t* FrameRing::NextRgb()
{
    uint8_t* frame = m_frames[m_next].data();
    m_next = (m_next + 1) % m_frames.size();
    return frame;
}

void RunOp(ConversionOp op, const TimedVariant& variant, FrameRing& ring)
{
    uint8_t* rgb = ring.NextRgb();
    switch (op) {
    case ConversionOp::ToYuy2:
        variant.toYuy2(rgb, ring.work(), ring.size());
        break;
    case ConversionOp::ToRgb:
        variant.toRgb(ring.work(), rgb, ring.size());
        break;
    case ConversionOp::RoundTrip:
        variant.toYuy2(rgb, ring.work(), ring.size());
        variant.toRgb(ring.work(), rgb, ring.size());
        break;
    case ConversionOp::Floor:
        InPlaceReadWritePass(rgb, ring.rgbBytes());
        break;
    }
}

std::string Describe(const FrameSize& size) { return std::to_string(size.width) + "x" + std::to_string(size.height); }
