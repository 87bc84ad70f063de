#include "settings/settings_location.h"

#include <cstdlib>
#include <string>

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// Sets or removes HKLM\SOFTWARE\Kestrova\StoreInUsersFolder for one test and restores the absence after.
class RegistryValue {
public:
    RegistryValue(DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrova", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        m_written = RegSetValueExA(key, "StoreInUsersFolder", 0, type, static_cast<const BYTE*>(data), size) ==
                    ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~RegistryValue() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrova"); }
    bool Written() const { return m_written; }

private:
    bool m_written = false;
};

std::string ModulePath()
{
    char buffer[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return buffer;
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(GatherLocationFacts, ReportsTheRunningSystem)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrova");
    const LocationFacts facts = GatherLocationFacts("RPX_UVDenoise");
    ASSERT_TRUE(facts.versionKnown);
    EXPECT_EQ(facts.baseName, "RPX_UVDenoise");
    EXPECT_EQ(facts.storeInUsersFolder, 0u);
    EXPECT_EQ(facts.hostExePath, ModulePath());
    EXPECT_NE(facts.commandLine.find("settings_location_queries_test"), std::string::npos);
    const char* appData = std::getenv("APPDATA");
    ASSERT_NE(appData, nullptr);
    EXPECT_EQ(facts.appDataFolder, appData);
}

TEST(GatherLocationFacts, ReadsTheRegistrySwitch)
{
    const DWORD one = 1;
    RegistryValue value(REG_DWORD, &one, sizeof one);
    ASSERT_TRUE(value.Written());
    const LocationFacts facts = GatherLocationFacts("RPX_UVDenoise");
    EXPECT_EQ(facts.storeInUsersFolder, 1u);

    // The running system is of the NT family, so the file moves to the user's folder.
    const SettingsLocation location = ComputeSettingsLocation(facts);
    EXPECT_EQ(location.m_strPath, std::string(std::getenv("APPDATA")) + "\\Kestrova\\Plugins\\RPX_UVDenoise.ini");
}

TEST(GatherLocationFacts, DefaultPathIsBesideTheProgram)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrova");
    const std::string module = ModulePath();
    const std::string folder = module.substr(0, module.rfind('\\') + 1);
    EXPECT_EQ(ComputeSettingsLocation(GatherLocationFacts("X")).m_strPath, folder + "Plugins\\X.ini");
}

TEST(CreateSettingsFolder, CreatesEveryMissingLevel)
{
    char temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string root = std::string(temp) + "uvd_location_" + std::to_string(GetCurrentProcessId());
    SettingsLocation location;
    location.m_strFolder = root + "\\Kestrova\\Instances\\q\\Plugins\\";

    CreateSettingsFolder(location);
    EXPECT_TRUE(IsFolder(root + "\\Kestrova\\Instances\\q\\Plugins"));
    // Existing levels are fine.
    CreateSettingsFolder(location);
    EXPECT_TRUE(IsFolder(root + "\\Kestrova\\Instances\\q\\Plugins"));

    RemoveDirectoryA((root + "\\Kestrova\\Instances\\q\\Plugins").c_str());
    RemoveDirectoryA((root + "\\Kestrova\\Instances\\q").c_str());
    RemoveDirectoryA((root + "\\Kestrova\\Instances").c_str());
    RemoveDirectoryA((root + "\\Kestrova").c_str());
    RemoveDirectoryA(root.c_str());
}

}  // namespace
