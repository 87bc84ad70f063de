#include "settings/settings_location.h"

#include <cstring>

#include <windows.h>
#include <shlobj.h>

namespace {

// The extended record first; systems before NT 4 SP6 and 98 refuse it and take the basic one.
bool QueryVersion(OsVersionRecord& version)
{
    OSVERSIONINFOEXA extended{};
    extended.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148, "version record sizes");
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
        extended = OSVERSIONINFOEXA{};
        extended.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended)))
            return false;
    }
    version.platformId = extended.dwPlatformId;
    version.major = extended.dwMajorVersion;
    version.minor = extended.dwMinorVersion;
    static_assert(sizeof version.csdVersion == sizeof extended.szCSDVersion, "service text size");
    std::memcpy(version.csdVersion, extended.szCSDVersion, sizeof version.csdVersion);
    return true;
}

uint32_t QueryStoreInUsersFolder()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrova", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    // A value longer than four bytes leaves the buffer undefined: count only a query that succeeded.
    const LONG result =
        RegQueryValueExA(key, "StoreInUsersFolder", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? value : 0;
}

std::string QueryAppDataFolder()
{
    char buffer[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_APPDATA, FALSE))
        return std::string();
    return buffer;
}

std::string QueryHostExePath()
{
    char buffer[MAX_PATH + 1] = {};
    // A truncated name may lack its terminator: the returned length is what counts.
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, length <= MAX_PATH ? length : 0);
}

}  // namespace

LocationFacts GatherLocationFacts(const std::string& baseName)
{
    LocationFacts facts;
    facts.baseName = baseName;
    facts.versionKnown = QueryVersion(facts.version);
    if (!facts.versionKnown)
        return facts;
    facts.storeInUsersFolder = QueryStoreInUsersFolder();
    facts.appDataFolder = QueryAppDataFolder();
    facts.hostExePath = QueryHostExePath();
    const char* commandLine = GetCommandLineA();
    if (commandLine)
        facts.commandLine = commandLine;
    return facts;
}

void CreateSettingsFolder(const SettingsLocation& location)
{
    // Every level of the chain, so that a fresh user folder or instance folder is usable at once;
    // levels that exist already (the drive among them) just fail.
    const std::string& folder = location.m_strFolder;
    for (size_t slash = folder.find('\\', 1); slash != std::string::npos; slash = folder.find('\\', slash + 1))
        CreateDirectoryA(folder.substr(0, slash).c_str(), nullptr);
}
