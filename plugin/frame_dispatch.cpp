#include "plugin/frame_dispatch.h"

#include <cstring>

#include "plugin/host_records.h"

FrameDispatcher::FrameDispatcher(CChannelSettings& settings, CCriticalSection& lock, std::string& channelName,
                                 DialogNotifier notifyChannelChanged)
    : m_settings(settings), m_lock(lock), m_channelName(channelName), m_notify(notifyChannelChanged)
{
}

void FrameDispatcher::StartStream(int32_t width, int32_t height, int32_t pixelFormat, uint32_t cpuFeatures)
{
    StopStream();
    m_size = FrameSize{width, height};
    m_pixelFormat = pixelFormat;

    const bool knownFormat = pixelFormat == kPixelFormatYuy2 || pixelFormat == kPixelFormatRgb24;
    // Count 1 has the smallest height requirement; the per-frame check adds the window's own.
    if (!knownFormat || !ChromaMedianPreconditionsHold(m_size, 1))
        return;

    if (!m_scratch.Allocate(ChromaScratchBytes(m_size)))
        return;
    if (pixelFormat == kPixelFormatRgb24) {
        const size_t workBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 2;
        if (!m_work.Allocate(workBytes)) {
            m_scratch.Release();
            return;
        }
    }
    m_median = ChooseChromaMedianKernels(cpuFeatures);
    m_rgb = ChooseRgbConversionKernels(cpuFeatures);
    m_canFilter = true;
}

void FrameDispatcher::StopStream()
{
    m_canFilter = false;
    m_scratch.Release();
    m_work.Release();
}

int FrameDispatcher::ProcessFrame(uint8_t* pixels, const FrameChannel* channel)
{
    if (!pixels)
        return 0;

    CSingleLock hold(m_lock);
    if (channel && m_settings.SwitchChannel(channel->id)) {
        if (channel->name)
            m_channelName.assign(channel->name, strnlen(channel->name, kMaxChannelNameBytes));
        else
            m_channelName.clear();
        if (m_notify)
            m_notify();
    }
    if (m_settings.LiveEnable() != 0)
        Filter(pixels, m_settings.LiveWndSize());
    return 1;
}

void FrameDispatcher::Filter(uint8_t* pixels, int32_t count)
{
    // A window the frame cannot take (a hand-edited file, a tiny picture) leaves the frame as it came.
    if (!m_canFilter || !ChromaMedianPreconditionsHold(m_size, count))
        return;

    if (m_pixelFormat == kPixelFormatYuy2) {
        m_median.ChromaMedianFilter(pixels, &m_size, m_scratch.Data(), count);
    }
    if (m_pixelFormat == kPixelFormatRgb24) {
        m_rgb.RgbToYuy2(pixels, m_work.Data(), &m_size);
        m_median.ChromaMedianFilter(m_work.Data(), &m_size, m_scratch.Data(), count);
        m_rgb.Yuy2ToRgb(m_work.Data(), pixels, &m_size);
    }
}
