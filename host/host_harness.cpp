#include "host/host_harness.h"

#include <cstring>

int CallMisaligned(void* entry, void* arg)
{
    int result;
    __asm__ volatile(
        "movl %%esp, %%edi\n\t"
        "andl $-16, %%esp\n\t"
        "subl $8, %%esp\n\t"
        "pushl %2\n\t"
        "call *%1\n\t"
        "movl %%edi, %%esp\n\t"
        : "=a"(result)
        : "r"(entry), "r"(arg)
        : "edi", "ecx", "edx", "memory", "cc");
    return result;
}

int CallMisaligned0(void* entry)
{
    int result;
    __asm__ volatile(
        "movl %%esp, %%edi\n\t"
        "andl $-16, %%esp\n\t"
        "subl $12, %%esp\n\t"
        "call *%1\n\t"
        "movl %%edi, %%esp\n\t"
        : "=a"(result)
        : "r"(entry)
        : "edi", "ecx", "edx", "memory", "cc");
    return result;
}

KestrovaHost::~KestrovaHost() { Unload(); }

bool KestrovaHost::Load(const std::string& dllPath)
{
    Unload();
    m_module = LoadLibraryA(dllPath.c_str());
    if (!m_module)
        return false;
    auto version = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(GetProcAddress(m_module, "Kestrova_Plugin_Version")));
    m_getDescriptor = reinterpret_cast<PluginDescriptor* (*)()>(
        reinterpret_cast<void*>(GetProcAddress(m_module, "Kestrova_Plugin_PR")));
    if (!version || !m_getDescriptor) {
        Unload();
        return false;
    }
    m_version = misalignStack ? CallMisaligned0(reinterpret_cast<void*>(version)) : version();
    m_descriptor = misalignStack
                       ? reinterpret_cast<PluginDescriptor*>(CallMisaligned0(reinterpret_cast<void*>(m_getDescriptor)))
                       : m_getDescriptor();
    return m_descriptor != nullptr;
}

void KestrovaHost::Unload()
{
    if (m_module)
        FreeLibrary(m_module);
    m_module = nullptr;
    m_descriptor = nullptr;
    m_getDescriptor = nullptr;
    m_version = 0;
}

int KestrovaHost::Init(HostChannelCheckProc check)
{
    static HostInitInfo info;
    info = HostInitInfo{0x4B455354u, check};
    if (misalignStack)
        return CallMisaligned(reinterpret_cast<void*>(m_descriptor->init), &info);
    return m_descriptor->init(&info);
}

int KestrovaHost::StartStream(int32_t width, int32_t height, int32_t pixelFormat)
{
    m_format = StreamFormat{width, height, 0, pixelFormat, 0};
    if (misalignStack)
        return CallMisaligned(reinterpret_cast<void*>(m_descriptor->startStream), &m_format);
    return m_descriptor->startStream(&m_format);
}

int KestrovaHost::ProcessFrame(uint8_t* pixels, int64_t channelId, const std::string& channelName)
{
    // The host's channel record: id, a host field, then the name inline, with room after it.
    m_channelRecord.assign(12 + channelName.size() + 64, 0);
    const uint64_t id = static_cast<uint64_t>(channelId);
    const uint32_t low = static_cast<uint32_t>(id), high = static_cast<uint32_t>(id >> 32);
    std::memcpy(&m_channelRecord[0], &low, 4);
    std::memcpy(&m_channelRecord[4], &high, 4);
    std::memcpy(&m_channelRecord[12], channelName.data(), channelName.size());

    m_frame = FrameInfo{};
    m_frame.pixels = pixels;
    m_frame.channel = reinterpret_cast<const ChannelInfo*>(m_channelRecord.data());
    return ProcessFrameRecord(&m_frame);
}

int KestrovaHost::ProcessFrameRecord(FrameInfo* frame)
{
    if (misalignStack)
        return CallMisaligned(reinterpret_cast<void*>(m_descriptor->processFrame), frame);
    return m_descriptor->processFrame(frame);
}

int KestrovaHost::StopStream()
{
    if (misalignStack)
        return CallMisaligned0(reinterpret_cast<void*>(m_descriptor->stopStream));
    return m_descriptor->stopStream();
}

int KestrovaHost::ShowSettings(HWND parent)
{
    static HWND parentSlot;
    parentSlot = parent;
    if (misalignStack)
        return CallMisaligned(reinterpret_cast<void*>(m_descriptor->showSettings), &parentSlot);
    return m_descriptor->showSettings(&parentSlot);
}

int KestrovaHost::Shutdown()
{
    if (misalignStack)
        return CallMisaligned0(reinterpret_cast<void*>(m_descriptor->shutdown));
    return m_descriptor->shutdown();
}

HWND CreateHostWindow(const wchar_t* title, int x, int y, int width, int height)
{
    static const wchar_t* const kClass = L"KestrovaHostWindow";
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        registered = RegisterClassW(&wc) != 0;
    }
    HWND window = CreateWindowExW(0, kClass, title, WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (window)
        ShowWindow(window, SW_SHOW);
    return window;
}

std::string ExeFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string WinePathOf(const std::string& unixPath)
{
    std::string path = unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path.size() > 0 && path[0] == '\\' ? "Z:" + path : path;
}
