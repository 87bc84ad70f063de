// Arbitrary stream geometry, pixel format, window size and pixels through the frame path: nothing may
// read or write outside the frame, and frames the filter cannot take must come back unchanged.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "filter/cpu_features.h"
#include "plugin/frame_dispatch.h"
#include "plugin/host_records.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CCriticalSection lock;
    CChannelSettings settings(lock);
    std::string name;
    FrameDispatcher dispatcher(settings, lock, name, nullptr);
    settings.LoadSettings(SettingsLocation{}, nullptr);

    // Small sizes keep the work bounded; a flag lets huge or negative ones through to the allocation.
    const uint8_t flags = Take<uint8_t>(data, size);
    int32_t width = Take<int16_t>(data, size);
    int32_t height = Take<int16_t>(data, size);
    if (!(flags & 1)) {
        width %= 200;
        height %= 120;
    } else {
        width *= 65536;
    }
    const int32_t format = static_cast<int8_t>(Take<uint8_t>(data, size)) % 4;
    const int32_t count = static_cast<int8_t>(Take<uint8_t>(data, size));
    SetCpuFeatureMask(flags & 2 ? 0u : ~0u);

    settings.SetLiveEnable(1);
    settings.SetLiveWndSize(count);
    dispatcher.StartStream(width, height, format, CpuFeatures());

    // The host's frame always holds the stream's bytes; past a few megabytes only a refused stream is
    // played, with a small buffer that must not be touched.
    const int64_t streamBytes =
        width > 0 && height > 0 ? int64_t{width} * height * (format == 1 ? 3 : 2) : 0;
    const bool fits = streamBytes > 0 && streamBytes <= (8 << 20);
    if (!fits && dispatcher.CanFilter())
        return 0;
    const size_t frameBytes = fits ? static_cast<size_t>(streamBytes) : 64;
    std::vector<uint8_t> frame(frameBytes);
    for (size_t i = 0; i < frameBytes; ++i)
        frame[i] = size ? data[i % size] : static_cast<uint8_t>(i);
    const std::vector<uint8_t> before = frame;

    const FrameChannel channel{static_cast<int64_t>(flags >> 2), "fuzz"};
    dispatcher.ProcessFrame(frame.data(), &channel);

    const bool filterable = dispatcher.CanFilter() && count >= 1 && count <= 30 && height > count / 2;
    if (!filterable && frame != before)
        std::abort();
    dispatcher.StopStream();
    SetCpuFeatureMask(~0u);
    return 0;
}
