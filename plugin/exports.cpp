// The module's boundary with the host: two exports and the six descriptor entries. Every entry realigns
// the stack (32-bit callers guarantee only 4 bytes) and lets no C++ exception reach the host.

#include <windows.h>

#include "filter/cpu_features.h"
#include "plugin/host_records.h"
#include "plugin/module_objects.h"
#include "settings/settings_location.h"

#define UVD_HOST_ENTRY __attribute__((force_align_arg_pointer)) UVD_CDECL

extern const char kPluginDisplayName[];
extern const char kPluginDescription[];

namespace {

template <typename Body>
int Guarded(int failureResult, Body body) noexcept
{
    try {
        return body();
    } catch (...) {
        return failureResult;
    }
}

int UVD_HOST_ENTRY Init(HostInitInfo* info)
{
    return Guarded(1, [&] {
        SettingsLocation location = ComputeSettingsLocation(GatherLocationFacts(theApp.BaseName()));
        CreateSettingsFolder(location);
        theChannelSettings.LoadSettings(location, info ? info->channelCheck : nullptr);
        return 1;
    });
}

int UVD_HOST_ENTRY StartStream(StreamFormat* format)
{
    return Guarded(1, [&] {
        if (format)
            theFrameDispatcher.StartStream(format->width, format->height, format->pixelFormat, CpuFeatures());
        else
            theFrameDispatcher.StopStream();
        return 1;
    });
}

int UVD_HOST_ENTRY ProcessFrame(FrameInfo* frame)
{
    return Guarded(1, [&] {
        if (!frame || !frame->pixels)
            return 0;
        const ChannelInfo* info = frame->channel;
        if (!info)
            return theFrameDispatcher.ProcessFrame(frame->pixels, nullptr);
        const uint64_t id = (static_cast<uint64_t>(info->idHigh) << 32) | info->idLow;
        const FrameChannel channel{static_cast<int64_t>(id), info->name};
        return theFrameDispatcher.ProcessFrame(frame->pixels, &channel);
    });
}

int UVD_HOST_ENTRY StopStream()
{
    return Guarded(1, [] {
        theFrameDispatcher.StopStream();
        return 1;
    });
}

int UVD_HOST_ENTRY ShowSettings(void* parentWindow)
{
    return Guarded(1, [&] {
        HWND parent = parentWindow ? *static_cast<HWND*>(parentWindow) : nullptr;
        theSettingsDlg.Open(parent);
        return 1;
    });
}

int UVD_HOST_ENTRY Shutdown()
{
    return Guarded(1, [] {
        theSettingsDlg.CloseForShutdown();
        theChannelSettings.SaveSettings();
        return 1;
    });
}

PluginDescriptor theDescriptor = {
    kPluginDisplayName, kPluginDescription, Init, StartStream, ProcessFrame, StopStream, ShowSettings, Shutdown,
};

}  // namespace

extern "C" __declspec(dllexport) int UVD_HOST_ENTRY Kestrova_Plugin_Version() { return kPluginInterfaceVersion; }

extern "C" __declspec(dllexport) PluginDescriptor* UVD_HOST_ENTRY Kestrova_Plugin_PR() { return &theDescriptor; }
