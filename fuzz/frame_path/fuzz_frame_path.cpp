// Arbitrary stream geometry, pixel format, window size, CPU features and pixels through the frame path:
// the frame that comes back must be, byte for byte, what the portable kernels make of it (the portable
// conversions around the portable median for RGB), or the frame unchanged where the filter cannot take
// it, and nothing may be read or written outside the frame. The kernels under test are the ones the
// stream chooses for the features: the CPU's own, the portable ones (no features), and each level between.
//
// Input: flags, width and height (16 bits each), pixel format, window size, then the pixels (repeated to
// fill the frame). Sizes are cut to FRAME_MAX_WIDTH x FRAME_MAX_HEIGHT so that each input is quick; the
// large-frame target builds this file with bigger limits for long campaigns.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "filter/cpu_features.h"
#include "plugin/aligned_buffer.h"
#include "plugin/frame_dispatch.h"
#include "plugin/host_records.h"
#include "tests/common/kernel_variants.h"

#ifndef FRAME_MAX_WIDTH
#define FRAME_MAX_WIDTH 64
#define FRAME_MAX_HEIGHT 48
// The largest frame played: a stream the flag makes wider than the cut is only checked for being
// refused, or it would cost as much as many small frames.
#define FRAME_MAX_BYTES (FRAME_MAX_WIDTH * FRAME_MAX_HEIGHT * 3)
// Nor is a wide RGB stream started that the filter would take: its work buffer of megabytes (and the
// failure to allocate one) is the large-frame target's.
#define FRAME_LARGE_ALLOCATIONS 0
#endif

namespace {

template <typename T>
T Take(const uint8_t*& data, size_t& size)
{
    T value{};
    const size_t n = size < sizeof(T) ? size : sizeof(T);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

// One of the feature sets a kernel table is made for, as far as this CPU has them.
uint32_t FeatureLevel(uint32_t index)
{
    static const std::vector<uint32_t> kLevels = CpuFeatureLevels();
    return CpuFeatures() & kLevels[index % kLevels.size()];
}

// What the portable kernels make of the frame: the median, and for RGB the two conversions around it.
void FilterByReference(std::vector<uint8_t>& frame, FrameSize size, int32_t format, int32_t count)
{
    // Every size needs the same scratch: one for the whole run spares an allocation per input.
    static AlignedBuffer scratch;
    if (!scratch.Data() && !scratch.Allocate(ChromaScratchBytes(size)))
        std::abort();
    if (format == kPixelFormatYuy2) {
        ChromaMedianFilter_C(frame.data(), &size, scratch.Data(), count);
        return;
    }
    std::vector<uint8_t> yuy2(static_cast<size_t>(size.width) * static_cast<size_t>(size.height) * 2);
    RgbToYuy2_C(frame.data(), yuy2.data(), &size);
    ChromaMedianFilter_C(yuy2.data(), &size, scratch.Data(), count);
    Yuy2ToRgb_C(yuy2.data(), frame.data(), &size);
}

// True when the stream chose the portable kernels themselves: the frame then shows what they make of it,
// which the unit tests hold against the definition, and running them twice would compare them with
// themselves.
bool ChoosesPortableKernels(uint32_t features, int32_t format, int32_t count)
{
    const RgbConversionKernels rgb = ChooseRgbConversionKernels(features);
    return ChooseChromaMedianKernels(features).byCount[count] == ChromaMedianFilter_C &&
           (format == kPixelFormatYuy2 || (rgb.toYuy2 == RgbToYuy2_C && rgb.toRgb == Yuy2ToRgb_C));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CCriticalSection lock;
    CChannelSettings settings(lock);
    std::string name;
    FrameDispatcher dispatcher(settings, lock, name, nullptr);
    settings.LoadSettingsText({}, nullptr);

    // Small sizes keep the work bounded; a flag lets huge or negative ones through to the allocation.
    const uint8_t flags = Take<uint8_t>(data, size);
    int32_t width = Take<int16_t>(data, size);
    int32_t height = Take<int16_t>(data, size);
    if (!(flags & 1)) {
        width %= FRAME_MAX_WIDTH + 1;
        height %= FRAME_MAX_HEIGHT + 1;
    } else {
        width *= 65536;
    }
    const int32_t format = static_cast<int8_t>(Take<uint8_t>(data, size)) % 4;
    const int32_t count = static_cast<int8_t>(Take<uint8_t>(data, size));
    const uint32_t enable = flags >> 4 & 1 ? 0 : 1;
    const uint32_t features = FeatureLevel(flags >> 1 & 7);

    settings.SetLiveEnable(enable);
    settings.SetLiveWndSize(count);
    const FrameSize frameSize{width, height};
    if (!FRAME_LARGE_ALLOCATIONS && format == kPixelFormatRgb24 && width > FRAME_MAX_WIDTH &&
        ChromaMedianPreconditionsHold(frameSize, 1))
        return 0;
    dispatcher.StartStream(width, height, format, features);

    // The host's frame always holds the stream's bytes; past FRAME_MAX_BYTES only a refused stream is
    // played, with a small buffer that must not be touched.
    const int64_t streamBytes =
        width > 0 && height > 0 ? int64_t{width} * height * (format == kPixelFormatRgb24 ? 3 : 2) : 0;
    const bool fits = streamBytes > 0 && streamBytes <= FRAME_MAX_BYTES;
    if (!fits && dispatcher.CanFilter())
        return 0;
    const size_t frameBytes = fits ? static_cast<size_t>(streamBytes) : 64;
    std::vector<uint8_t> frame(frameBytes);
    for (size_t i = 0; i < frameBytes; ++i)
        frame[i] = static_cast<uint8_t>(i);
    // The pixels, repeated: whole copies rather than a division per byte.
    for (size_t at = 0; size && at < frameBytes; at += size)
        std::memcpy(frame.data() + at, data, std::min(size, frameBytes - at));
    std::vector<uint8_t> expected = frame;
    const bool knownFormat = format == kPixelFormatYuy2 || format == kPixelFormatRgb24;
    const bool filtered = enable && knownFormat && fits && ChromaMedianPreconditionsHold(frameSize, count);
    const bool checked = !filtered || !ChoosesPortableKernels(features, format, count);
    if (filtered && checked)
        FilterByReference(expected, frameSize, format, count);

    const FrameChannel channel{static_cast<int64_t>(flags >> 5), "fuzz"};
    dispatcher.ProcessFrame(frame.data(), &channel);
    if (checked && frame != expected) {
        std::fprintf(stderr, "frame %dx%d format %d window %d differs from the portable kernels\n", width, height,
                     format, count);
        std::abort();
    }
    dispatcher.StopStream();
    return 0;
}
