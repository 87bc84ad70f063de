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

// Each row starts from no settings anywhere and no registry value.
void Clean()
{
    RemoveTree(Folder());
    RemoveTree(AppDataFolder() + "\\Kestrova\\");
    SetStoreInUsersFolder(0, false);
}

class SettingsLocationOfTheDll : public ::testing::Test {
protected:
    void TearDown() override { Clean(); }
};

// A path below the host's folder, or below the user's folder when it starts with "users:".
std::string Resolved(const std::string& path)
{
    return path.rfind("users:", 0) == 0 ? AppDataFolder() + "\\Kestrova\\" + path.substr(6) : Folder() + path;
}

TEST_F(SettingsLocationOfTheDll, EachSystemRegistryCommandLineAndNameLandsWhereItShould)
{
    const struct {
        const char* exe;
        const char* version;  // Wine's Windows version for the program; null: the prefix's own
        int storeInUsersFolder;  // the registry value; -1: absent
        const char* switches;
        const char* dll;
        const char* lands;
        const char* never;  // null: nothing to look for
    } cases[] = {
        {"host_default.exe", nullptr, -1, "", "RPX_UVDenoise.dll", "Plugins\\RPX_UVDenoise.ini", nullptr},
        {"host_xp.exe", "winxp", 1, "", "RPX_UVDenoise.dll", "users:Plugins\\RPX_UVDenoise.ini",
         "Plugins\\RPX_UVDenoise.ini"},
        {"host_98.exe", "win98", 1, "", "RPX_UVDenoise.dll", "Plugins\\RPX_UVDenoise.ini",
         "users:Plugins\\RPX_UVDenoise.ini"},
        {"host_7.exe", "win7", 0, "", "RPX_UVDenoise.dll", "Plugins\\RPX_UVDenoise.ini", nullptr},
        {"host_inst.exe", nullptr, -1, "/INST:Q", "RPX_UVDenoise.dll", "Instances\\q\\Plugins\\RPX_UVDenoise.ini",
         nullptr},
        {"host_inst.exe", nullptr, -1, "-inst:a /inst:b", "RPX_UVDenoise.dll",
         "Instances\\b\\Plugins\\RPX_UVDenoise.ini", "Instances\\a"},
        {"host_inst.exe", nullptr, -1, "/inst:c -inst:d", "RPX_UVDenoise.dll",
         "Instances\\c\\Plugins\\RPX_UVDenoise.ini", "Instances\\d"},
        {"host_end.exe", nullptr, -1, "-inst:", "RPX_UVDenoise.dll", "Plugins\\RPX_UVDenoise.ini", "Instances"},
        {"host_xpi.exe", "winxp", 1, "-inst:7", "RPX_UVDenoise.dll",
         "users:Instances\\7\\Plugins\\RPX_UVDenoise.ini", nullptr},
        {"host_x.exe", nullptr, -1, "", "X.dll", "Plugins\\X.ini", "Plugins\\RPX_UVDenoise.ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.exe << " " << c.switches);
        Clean();
        if (c.storeInUsersFolder >= 0)
            SetStoreInUsersFolder(static_cast<DWORD>(c.storeInUsersFolder));
        if (c.version)
            SetWindowsVersionFor(c.exe, c.version);
        RunHost(c.exe, c.switches, c.dll);
        EXPECT_TRUE(Exists(Resolved(c.lands)));
        if (c.never) {
            EXPECT_FALSE(Exists(Resolved(c.never)));
        }
    }
}

}  // namespace
