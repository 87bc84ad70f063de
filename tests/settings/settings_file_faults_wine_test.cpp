// What the plug-in does when its settings file misbehaves: it never crashes, falls back to defaults or keeps
// using what it read, and saves wherever a plain write in place would have saved.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "tests/common/definition_reference.h"
#include "tests/common/plugin_fixture.h"

namespace {

constexpr int kWidth = 16, kHeight = 12;
const std::string kSettings = "[DIALOG]\r\nDlgWndPosX=-100\r\nDlgWndPosY=-100\r\n[SETTINGS]\r\nCommon=1\r\n"
                              "[COMMON]\r\nMedianWndSize=3\r\nProcEnable=1\r\n";

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

class SettingsFileFaults : public ::testing::Test {
protected:
    void SetUp() override { ClearPluginsFolder(); }
    void TearDown() override { SetFileAttributesA(fixture::SettingsPath().c_str(), FILE_ATTRIBUTE_NORMAL); }

    static void ClearPluginsFolder()
    {
        SetFileAttributesA(fixture::SettingsPath().c_str(), FILE_ATTRIBUTE_NORMAL);
        fixture::RemoveSettings();
        for (const std::string& name : FilesIn(fixture::ExeFolder() + "Plugins\\"))
            DeleteFileA((fixture::ExeFolder() + "Plugins\\" + name).c_str());
    }

    // Init, one frame of a new channel (so the save has something new to write), Shutdown.
    int RunOnce(const std::function<void()>& beforeShutdown = [] {})
    {
        if (!host.Load(fixture::PluginDllPath()))
            return -1;
        host.Init(KnowsEveryChannel);
        host.StartStream(kWidth, kHeight, 0);
        std::vector<uint8_t> frame = RandomBytes(kWidth * kHeight * 2, 4);
        const std::vector<uint8_t> input = frame;
        host.ProcessFrame(frame.data(), 4242, "New");
        host.StopStream();
        beforeShutdown();
        host.Shutdown();
        host.Unload();
        if (frame == input)
            return 0;
        return frame == reference::ChromaMedian(input, kWidth, kHeight, 3) ? 3 : -2;
    }

    KestrovaHost host;
};

// Each row makes the file awkward to replace; the save lands exactly where a write in place would.
TEST_F(SettingsFileFaults, SaveLandsWhereverAWriteInPlaceWouldAndNowhereElse)
{
    const std::string plugins = fixture::ExeFolder() + "Plugins\\";
    const std::string linked = plugins + "linked.ini";
    fixture::WriteSettings(kSettings);
    ASSERT_EQ(RunOnce(), 3);
    const std::string saved = fixture::ReadSettings();
    ASSERT_NE(saved, kSettings);

    HANDLE held = INVALID_HANDLE_VALUE;
    auto holdOpen = [&held](DWORD sharing) {
        return [&held, sharing] {
            held = CreateFileA(fixture::SettingsPath().c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0,
                               nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
        };
    };
    auto setAttributes = [](DWORD attributes) {
        return [attributes] { SetFileAttributesA(fixture::SettingsPath().c_str(), attributes); };
    };
    struct Case {
        const char* situation;
        std::function<void()> arrange, beforeShutdown;
        bool saves;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"read-only", setAttributes(FILE_ATTRIBUTE_READONLY), [] {}, false, {"RPX_UVDenoise.ini"}},
        {"held open by a reader that shares nothing", [] {}, holdOpen(0), false, {"RPX_UVDenoise.ini"}},
        {"held open by a reader that shares reading and writing, as fopen does", [] {},
         holdOpen(FILE_SHARE_READ | FILE_SHARE_WRITE), true, {"RPX_UVDenoise.ini"}},
        {"hidden", setAttributes(FILE_ATTRIBUTE_HIDDEN), [] {}, true, {"RPX_UVDenoise.ini"}},
        {"a hard link", [&linked] { ASSERT_TRUE(CreateHardLinkA(linked.c_str(), fixture::SettingsPath().c_str(), nullptr)); },
         [] {}, true, {"RPX_UVDenoise.ini", "linked.ini"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        ClearPluginsFolder();
        fixture::WriteSettings(kSettings);
        c.arrange();
        const DWORD attributesBefore = GetFileAttributesA(fixture::SettingsPath().c_str());
        EXPECT_EQ(RunOnce(c.beforeShutdown), 3);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(std::exchange(held, INVALID_HANDLE_VALUE));

        EXPECT_EQ(fixture::ReadSettings(), c.saves ? saved : kSettings);
        EXPECT_EQ(GetFileAttributesA(fixture::SettingsPath().c_str()), attributesBefore);
        std::vector<std::string> names = FilesIn(plugins);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.names) << "no temporary file left behind";
        if (c.names.size() > 1) {
            EXPECT_EQ(ReadFileBytes(linked), saved) << "every name sees the one file";
        }
    }
}

TEST_F(SettingsFileFaults, PluginsFolderThatCannotBeMadeGivesDefaults)
{
    const std::string blocker = fixture::ExeFolder() + "Plugins";
    RemoveDirectoryA(blocker.c_str());
    std::ofstream(blocker) << "a file where the folder should be";
    EXPECT_EQ(RunOnce(), 0) << "defaults: filtering off";
    EXPECT_FALSE(GetFileAttributesA(blocker.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    DeleteFileA(blocker.c_str());
}

TEST_F(SettingsFileFaults, SeveralMegabytesAreReadAndSavedInTheStoresOwnForm)
{
    std::string text = kSettings;
    text.append("[900]\r\nNote=").append(3 << 20, 'n').append("\r\nMedianWndSize=5\r\nProcEnable=1\r\n");
    for (int id = 1000; id < 1400; ++id)
        text += "[" + std::to_string(id) + "]\r\nMedianWndSize=7\r\nProcEnable=0\r\n";
    fixture::WriteSettings(text);
    EXPECT_EQ(RunOnce(), 3);
    const std::string saved = fixture::ReadSettings();
    EXPECT_EQ(saved.find("Note="), std::string::npos);
    EXPECT_NE(saved.find("[900]\r\nMedianWndSize=5\r\nProcEnable=1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("[1399]\r\nMedianWndSize=7\r\nProcEnable=0\r\n[4242]\r\n"), std::string::npos);
}

TEST_F(SettingsFileFaults, RandomBytesGiveDefaultsAndAFreshFile)
{
    const std::vector<uint8_t> noise = RandomBytes(64 << 10, 77);
    fixture::WriteSettings(std::string(noise.begin(), noise.end()));
    EXPECT_GE(RunOnce(), 0);
    const std::string saved = fixture::ReadSettings();
    EXPECT_EQ(saved.rfind("[DIALOG]\r\nDlgWndPosX=", 0), 0u) << saved.substr(0, 80);
    EXPECT_NE(saved.find("[4242]\r\n"), std::string::npos);
}

}  // namespace
