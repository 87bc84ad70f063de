#pragma once

// A test stands in for the Kestrova host: it loads the real DLL from the build tree, and the plug-in keeps
// its settings in the Plugins folder beside the test program, which is the test's own.

#include <windows.h>

#include <string>

#include "host/channel_checks.h"
#include "host/host_harness.h"
#include "tests/common/file_bytes.h"
#include "tests/common/random_bytes.h"
#include "tests/common/settings_text.h"

namespace fixture {

using ::ExeFolder;

inline std::string PluginDllPath() { return WinePathOf(UVD_DLL_UNIX_PATH); }

inline std::string SettingsPath() { return ExeFolder() + "Plugins\\RPX_UVDenoise.ini"; }

inline void WriteSettings(const std::string& text)
{
    CreateDirectoryA((ExeFolder() + "Plugins").c_str(), nullptr);
    WriteFileBytes(SettingsPath(), text);
}

inline void RemoveSettings() { DeleteFileA(SettingsPath().c_str()); }

inline bool SettingsExist() { return GetFileAttributesA(SettingsPath().c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string ReadSettings() { return ReadFileBytes(SettingsPath()); }

// The settings file text for common mode with the given COMMON record.
inline std::string CommonSettings(int count, int enable)
{
    return SettingsHeader(-100, -100, 1) + SettingsSection("COMMON", count, enable);
}

}  // namespace fixture
