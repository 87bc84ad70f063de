#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Where the settings file lies: the pure rules here, the system queries in the Windows part.

// The fields of the platform's version record that the rules look at.
struct OsVersionRecord {
    uint32_t platformId;
    uint32_t major;
    uint32_t minor;
    char csdVersion[128];
};

// 0 unrecognised, 1 Win32s, 2..6 the 9x family, 7..12 the NT family.
unsigned OsVersionCode(const OsVersionRecord& version);

// The instance character ("" or one lower-case character) from the host's command line.
std::string InstanceFromCommandLine(std::string_view commandLine);

// What the system told us; gathered by GatherLocationFacts on Windows, made up in tests.
struct LocationFacts {
    bool versionKnown = false;  // the version query answered at one of the two record sizes
    OsVersionRecord version{};
    uint32_t storeInUsersFolder = 0;
    std::string appDataFolder;  // without a trailing backslash
    std::string hostExePath;
    std::string commandLine;
    std::string baseName;  // the module's file name without folder and extension
};

struct SettingsLocation {
    std::string m_strInstance;
    std::string m_strFolder;
    std::string m_strBaseName;
    std::string m_strFileName;
    std::string m_strPath;
};

// All five texts stay empty when the version is unknown.
SettingsLocation ComputeSettingsLocation(const LocationFacts& facts);

// Windows part: asks the system for the facts and creates the folder chain of the location.
LocationFacts GatherLocationFacts(const std::string& baseName);
void CreateSettingsFolder(const SettingsLocation& location);
