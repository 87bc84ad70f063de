#pragma once

// A test stands in for the Kestrova host: it loads the real DLL from the build tree, and the plug-in keeps
// its settings in the Plugins folder beside the test program, which is the test's own.

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/host_harness.h"

namespace fixture {

using ::ExeFolder;

inline std::string PluginDllPath() { return WinePathOf(UVD_DLL_UNIX_PATH); }

inline std::string SettingsPath() { return ExeFolder() + "Plugins\\RPX_UVDenoise.ini"; }

inline void WriteSettings(const std::string& text)
{
    CreateDirectoryA((ExeFolder() + "Plugins").c_str(), nullptr);
    std::ofstream(SettingsPath(), std::ios::binary | std::ios::trunc) << text;
}

inline void RemoveSettings() { DeleteFileA(SettingsPath().c_str()); }

inline bool SettingsExist() { return GetFileAttributesA(SettingsPath().c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string ReadSettings()
{
    std::ifstream in(SettingsPath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The settings file text for common mode with the given COMMON record.
inline std::string CommonSettings(int windowSize, int enable)
{
    std::ostringstream text;
    text << "[DIALOG]\r\nDlgWndPosX=-100\r\nDlgWndPosY=-100\r\n[SETTINGS]\r\nCommon=1\r\n[COMMON]\r\n"
         << "MedianWndSize=" << windowSize << "\r\nProcEnable=" << enable << "\r\n";
    return text.str();
}

inline int UVD_CDECL KnowsEveryChannel(int64_t) { return 1; }

inline std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    return bytes;
}

}  // namespace fixture
