#pragma once

#include <cstdint>
#include <string>

#include "filter/chroma_median.h"
#include "filter/rgb_yuy2.h"
#include "plugin/aligned_buffer.h"
#include "platform/critical_section.h"
#include "settings/channel_settings.h"

// The channel a frame belongs to, translated from the host's record.
struct FrameChannel {
    int64_t id;
    const char* name;  // may be null
};

// The running stream and the per-frame work: switch channel settings, filter the chroma, convert RGB.
// Validation, allocation and the choice of kernels happen once per stream, never per frame.
class FrameDispatcher {
public:
    using DialogNotifier = void (*)();

    FrameDispatcher(CChannelSettings& settings, CCriticalSection& lock, std::string& channelName,
                    DialogNotifier notifyChannelChanged);

    void StartStream(int32_t width, int32_t height, int32_t pixelFormat, uint32_t cpuFeatures);
    void StopStream();

    // 0 when there is no frame; 1 otherwise, filtered or passed through unchanged.
    int ProcessFrame(uint8_t* pixels, const FrameChannel* channel);

    bool CanFilter() const { return m_canFilter; }

private:
    void Filter(uint8_t* pixels, int32_t count);

    CChannelSettings& m_settings;
    CCriticalSection& m_lock;
    std::string& m_channelName;
    DialogNotifier m_notify;

    FrameSize m_size{0, 0};
    int32_t m_pixelFormat = -1;
    bool m_canFilter = false;  // format known, geometry within the filter's limits, buffers allocated
    AlignedBuffer m_scratch;
    AlignedBuffer m_work;
    ChromaMedianKernels m_median{};
    RgbConversionKernels m_rgb{};
};

// Longest channel name copied from the host's record; the record's size is the host's business.
constexpr size_t kMaxChannelNameBytes = 255;
