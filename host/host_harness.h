#pragma once

// The test host: a stand-in for the Kestrova host. It knows only what any host knows — the two exports,
// the descriptor and the record layouts — and calls the plug-in in the host's order.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/host_records.h"

class KestrovaHost {
public:
    ~KestrovaHost();

    // LoadLibrary and the two exports; false when the module or an export is missing.
    bool Load(const std::string& dllPath);
    void Unload();

    int Version() const { return m_version; }
    const PluginDescriptor* Descriptor() const { return m_descriptor; }
    PluginDescriptor* (*DescriptorExport() const)() { return m_getDescriptor; }

    // The descriptor's entries, each called through a stack misaligned by 4 bytes when misalignStack is
    // set, as a 32-bit host may call them.
    int Init(HostChannelCheckProc check);
    int StartStream(int32_t width, int32_t height, int32_t pixelFormat);
    int ProcessFrame(uint8_t* pixels, int64_t channelId, const std::string& channelName);
    int ProcessFrameRecord(FrameInfo* frame);
    int StopStream();
    int ShowSettings(HWND parent);
    int Shutdown();

    bool misalignStack = true;

private:
    HMODULE m_module = nullptr;
    int m_version = 0;
    PluginDescriptor* (*m_getDescriptor)() = nullptr;
    PluginDescriptor* m_descriptor = nullptr;
    StreamFormat m_format{};
    std::vector<uint8_t> m_channelRecord;
    FrameInfo m_frame{};
};

// Calls a cdecl entry with one pointer argument (or none when arg is unused) through a stack whose
// pointer is 4 mod 16 at the call, the worst a 32-bit caller may leave.
int CallMisaligned(void* entry, void* arg);
int CallMisaligned0(void* entry);

// A visible top-level window that owns the plug-in's dialog, as the host's main window does.
HWND CreateHostWindow(const wchar_t* title, int x, int y, int width, int height);

// The folder of the running program, with its trailing backslash: where a host keeps its Plugins folder.
std::string ExeFolder();

// The Windows form of a Unix path inside Wine (Z: maps the Unix root).
std::string WinePathOf(const std::string& unixPath);
