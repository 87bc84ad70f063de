#include "settings/settings_location.h"

namespace {

constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWindows9x = 1;
constexpr uint32_t kPlatformWindowsNt = 2;

constexpr unsigned kFirstNtCode = 7;

unsigned Windows9xCode(const OsVersionRecord& version)
{
    // Service releases mark themselves by a letter in the second character of the service text.
    const char letter = version.csdVersion[1];
    if (version.major != 4)
        return 2;
    switch (version.minor) {
    case 0:
        return (letter == 'C' || letter == 'B') ? 3 : 2;
    case 10:
        return (letter == 'A' || letter == 'B') ? 5 : 4;
    case 90:
        return 6;
    default:
        return 2;
    }
}

unsigned WindowsNtCode(const OsVersionRecord& version)
{
    if (version.major == 5) {
        switch (version.minor) {
        case 0: return 8;
        case 1: return 9;
        case 2: return 10;
        default: return kFirstNtCode;
        }
    }
    if (version.major == 6) {
        switch (version.minor) {
        case 0: return 11;
        case 1: return 12;
        default: return kFirstNtCode;
        }
    }
    return kFirstNtCode;
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The character after the first occurrence of the switch; keeps the previous answer when it is absent.
void TakeSwitch(const std::string& line, std::string_view name, std::string& instance)
{
    const size_t at = line.find(name);
    if (at == std::string::npos)
        return;
    const size_t next = at + name.size();
    instance = next < line.size() ? line.substr(next, 1) : std::string();
}

}  // namespace

unsigned OsVersionCode(const OsVersionRecord& version)
{
    switch (version.platformId) {
    case kPlatformWin32s:
        return 1;
    case kPlatformWindows9x:
        return Windows9xCode(version);
    case kPlatformWindowsNt:
        return WindowsNtCode(version);
    default:
        return 0;
    }
}

std::string InstanceFromCommandLine(std::string_view commandLine)
{
    // The host lower-cases in the C locale: only ASCII letters change.
    std::string line(commandLine);
    for (char& c : line)
        c = AsciiLower(c);

    std::string instance;
    TakeSwitch(line, "-inst:", instance);
    TakeSwitch(line, "/inst:", instance);
    return instance;
}

SettingsLocation ComputeSettingsLocation(const LocationFacts& facts)
{
    SettingsLocation location;
    if (!facts.versionKnown)
        return location;

    // A failed application-data query leaves no folder to build on: the host's folder serves instead.
    std::string folder;
    const bool usersFolder = OsVersionCode(facts.version) >= kFirstNtCode && facts.storeInUsersFolder != 0 &&
                             !facts.appDataFolder.empty();
    if (usersFolder) {
        folder = facts.appDataFolder + "\\Kestrova\\";
    } else {
        const size_t lastSlash = facts.hostExePath.rfind('\\');
        if (lastSlash != std::string::npos)
            folder = facts.hostExePath.substr(0, lastSlash + 1);
    }

    location.m_strInstance = InstanceFromCommandLine(facts.commandLine);
    if (!location.m_strInstance.empty())
        folder += "Instances\\" + location.m_strInstance + "\\";
    folder += "Plugins\\";

    location.m_strFolder = folder;
    location.m_strBaseName = facts.baseName;
    location.m_strFileName = facts.baseName + ".ini";
    location.m_strPath = location.m_strFolder + location.m_strFileName;
    return location;
}
