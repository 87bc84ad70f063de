// Where the real DLL puts its settings file, decided by the real system queries: the test starts copies of the test
// host with chosen command lines, Windows versions (Wine's per-program setting) and registry values.

#include <gtest/gtest.h>

#include <shlobj.h>

#include "tests/common/plugin_fixture.h"

namespace {

std::string Folder() { return fixture::ExeFolder() + "location\\"; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + "\\");
            else
                DeleteFileA((folder + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

void SetWindowsVersionFor(const std::string& exeName, const char* version)
{
    HKEY key;
    const std::string path = "Software\\Wine\\AppDefaults\\" + exeName;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), strlen(version) + 1);
    RegCloseKey(key);
}

void SetStoreInUsersFolder(DWORD value, bool present = true)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kestrova", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    if (present)
        RegSetValueExA(key, "StoreInUsersFolder", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    else
        RegDeleteValueA(key, "StoreInUsersFolder");
    RegCloseKey(key);
}

std::string AppDataFolder()
{
    char path[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, path, CSIDL_APPDATA, FALSE);
    return path;
}

// Copies the test host (and the DLL under the given name) into the test folder and runs its Init and
// Shutdown with the given switches; the plug-in then leaves its settings file where it looked for it.
void RunHost(const std::string& exeName, const std::string& switches, const std::string& dllName = "RPX_UVDenoise.dll")
{
    CreateDirectoryA(Folder().c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(WinePathOf(UVD_HOST_UNIX_PATH).c_str(), (Folder() + exeName).c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(fixture::PluginDllPath().c_str(), (Folder() + dllName).c_str(), FALSE));
    std::string command = "\"" + Folder() + exeName + "\" --no-frames --dll \"" + Folder() + dllName + "\" " + switches;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, Folder().c_str(),
                               &startup, &process));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    EXPECT_EQ(code, 0u);
}

class SettingsLocationOfTheDll : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveTree(Folder());
        RemoveTree(AppDataFolder() + "\\Kestrova\\");
        SetStoreInUsersFolder(0, false);
    }
    void TearDown() override
    {
        SetStoreInUsersFolder(0, false);
        RemoveTree(AppDataFolder() + "\\Kestrova\\");
    }
};

TEST_F(SettingsLocationOfTheDll, DefaultIsThePluginsFolderBesideTheHost)
{
    RunHost("host_default.exe", "");
    EXPECT_TRUE(Exists(Folder() + "Plugins\\RPX_UVDenoise.ini"));
}

TEST_F(SettingsLocationOfTheDll, UsersFolderOnNtWhenTheRegistrySaysSo)
{
    SetStoreInUsersFolder(1);
    SetWindowsVersionFor("host_xp.exe", "winxp");
    RunHost("host_xp.exe", "");
    EXPECT_TRUE(Exists(AppDataFolder() + "\\Kestrova\\Plugins\\RPX_UVDenoise.ini"));
    EXPECT_FALSE(Exists(Folder() + "Plugins\\RPX_UVDenoise.ini"));
}

TEST_F(SettingsLocationOfTheDll, HostFolderOn9xWhateverTheRegistrySays)
{
    SetStoreInUsersFolder(1);
    SetWindowsVersionFor("host_98.exe", "win98");
    RunHost("host_98.exe", "");
    EXPECT_TRUE(Exists(Folder() + "Plugins\\RPX_UVDenoise.ini"));
    EXPECT_FALSE(Exists(AppDataFolder() + "\\Kestrova\\Plugins\\RPX_UVDenoise.ini"));
}

TEST_F(SettingsLocationOfTheDll, HostFolderOnWindows7WhenTheValueIsZero)
{
    SetStoreInUsersFolder(0);
    SetWindowsVersionFor("host_7.exe", "win7");
    RunHost("host_7.exe", "");
    EXPECT_TRUE(Exists(Folder() + "Plugins\\RPX_UVDenoise.ini"));
}

TEST_F(SettingsLocationOfTheDll, InstanceSwitchesGiveFoldersOfTheirOwn)
{
    RunHost("host_inst.exe", "/INST:Q");
    EXPECT_TRUE(Exists(Folder() + "Instances\\q\\Plugins\\RPX_UVDenoise.ini"));
    RunHost("host_inst.exe", "-inst:a /inst:b");
    EXPECT_TRUE(Exists(Folder() + "Instances\\b\\Plugins\\RPX_UVDenoise.ini"));
    RunHost("host_inst.exe", "/inst:c -inst:d");
    EXPECT_TRUE(Exists(Folder() + "Instances\\c\\Plugins\\RPX_UVDenoise.ini"));
    EXPECT_FALSE(Exists(Folder() + "Instances\\a"));
    EXPECT_FALSE(Exists(Folder() + "Instances\\d"));
}

TEST_F(SettingsLocationOfTheDll, SwitchAtTheEndOfTheLineGivesNoInstance)
{
    RunHost("host_end.exe", "-inst:");
    EXPECT_TRUE(Exists(Folder() + "Plugins\\RPX_UVDenoise.ini"));
    EXPECT_FALSE(Exists(Folder() + "Instances"));
}

TEST_F(SettingsLocationOfTheDll, UsersFolderWithAnInstance)
{
    SetStoreInUsersFolder(1);
    SetWindowsVersionFor("host_xpi.exe", "winxp");
    RunHost("host_xpi.exe", "-inst:7");
    EXPECT_TRUE(Exists(AppDataFolder() + "\\Kestrova\\Instances\\7\\Plugins\\RPX_UVDenoise.ini"));
}

TEST_F(SettingsLocationOfTheDll, ModuleWithAnotherBaseNameUsesItsOwnName)
{
    RunHost("host_x.exe", "", "X.dll");
    EXPECT_TRUE(Exists(Folder() + "Plugins\\X.ini"));
    EXPECT_FALSE(Exists(Folder() + "Plugins\\RPX_UVDenoise.ini"));
}

}  // namespace
