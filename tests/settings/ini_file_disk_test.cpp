// Loading and saving real files: created when missing, untouched when nothing changed, and never left
// shortened or mixed when a save fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "settings/ini_file.h"
#include "tests/settings/ini_test_support.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

const std::string kSaved = "[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n";

void WriteCommon(CIniFile& ini, int32_t wndSize)
{
    ini.BeginWrite();
    ini.WriteSection("COMMON");
    ini.WriteInt("MedianWndSize", wndSize);
    ini.WriteUInt("ProcEnable", 0);
}

TEST(IniDisk, MissingFileGivesDefaultsAndIsCreatedEmpty)
{
    TempFolder folder;
    std::string file = folder.File("RPX_UVDenoise.ini");
    CIniFile ini;
    ini.Load(file);
    int32_t wndSize = 0;
    ini.ReadInt("COMMON", "MedianWndSize", &wndSize, 15);
    EXPECT_EQ(wndSize, 15);
    EXPECT_EQ(ini.LoadedLength(), 0);
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
}

// A file of the given text in a folder of its own, its time stamp well in the past, loaded.
struct AgedFile {
    explicit AgedFile(const std::string& text)
    {
        WriteFileBytes(path, text);
        stamp = AgeFile(path);
        ini.Load(path);
    }

    TempFolder folder;
    std::string path = folder.File("t.ini");
    fs::file_time_type stamp;
    CIniFile ini;
};

TEST(IniDisk, LoadAndASaveOfTheSameBytesLeaveTheFileUntouched)
{
    AgedFile file(kSaved);
    EXPECT_EQ(std::string(file.ini.LoadedText(), file.ini.LoadedLength()), kSaved);
    EXPECT_EQ(fs::last_write_time(file.path), file.stamp);
    WriteCommon(file.ini, 15);
    EXPECT_EQ(file.ini.Commit(file.path), SaveOutcome::NothingToSave);
    EXPECT_EQ(fs::last_write_time(file.path), file.stamp);
    EXPECT_EQ(ReadFileBytes(file.path), kSaved);
}

TEST(IniDisk, UnloadablePathsLeaveTheStoreEmpty)
{
    TempFolder folder;
    CIniFile ini;
    ini.Load(folder.File("no such folder") + "/t.ini");
    EXPECT_EQ(ini.LoadedLength(), 0);
    fs::create_directory(folder.File("folder.ini"));
    ini.Load(folder.File("folder.ini"));
    EXPECT_EQ(ini.LoadedLength(), 0);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"folder.ini"});
}

// Defaults stand in for a file that is there but cannot be read, and a save never overwrites it blind.
TEST(IniDisk, UnreadableFileGivesDefaultsAndIsKept)
{
    TempFolder folder;
    std::string file = folder.File("t.ini");
    WriteFileBytes(file, "[COMMON]\r\nMedianWndSize=4\r\n");
    CIniFile ini;
    ini.Load(file);
    {
        FailingAllocations failing(false);
        ini.Load(file);
    }
    EXPECT_EQ(ini.LoadedLength(), 0);
    EXPECT_EQ(ini.LoadedText(), nullptr);
    int32_t wndSize = 0;
    ini.ReadInt("COMMON", "MedianWndSize", &wndSize, 15);
    EXPECT_EQ(wndSize, 15);
    WriteCommon(ini, wndSize);
    EXPECT_EQ(ini.Commit(file), SaveOutcome::NothingToSave);
    EXPECT_EQ(ReadFileBytes(file), "[COMMON]\r\nMedianWndSize=4\r\n");

    ini.Load(file);  // readable again: saves go through again
    ini.Commit(file);
    EXPECT_EQ(ReadFileBytes(file), kSaved);
}

#if defined(_WIN32)
TEST(IniDisk, FileHeldOpenWithoutSharingAtLoadIsKept)
{
    TempFolder folder;
    std::string file = folder.File("t.ini");
    WriteFileBytes(file, "[COMMON]\r\nMedianWndSize=4\r\n");
    HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    CIniFile ini;
    ini.Load(file);
    CloseHandle(held);
    EXPECT_EQ(ini.LoadedLength(), 0);
    WriteCommon(ini, 15);
    ini.Commit(file);
    EXPECT_EQ(ReadFileBytes(file), "[COMMON]\r\nMedianWndSize=4\r\n");
}
#endif

TEST(IniDisk, FileBeyondTwoGibibytesIsNeitherLoadedNorOverwritten)
{
    TempFolder folder;
    std::string file = folder.File("t.ini");
    WriteFileBytes(file, kSaved);
    fs::resize_file(file, uint64_t{1} << 31);
    CIniFile ini;
    ini.Load(file);
    EXPECT_EQ(ini.LoadedLength(), 0);
    WriteCommon(ini, 15);
    ini.Commit(file);
    EXPECT_EQ(fs::file_size(file), uint64_t{1} << 31);
}

TEST(IniDisk, AnyDifferenceRewritesTheWholeFileInTheStoresForm)
{
    const char* variants[] = {
        "[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n; mine\r\n",  // a hand-added comment
        "[COMMON]\r\nMedianWndSize=15\r\n\r\nProcEnable=0\r\n",        // a blank line
        "[COMMON]\r\nProcEnable=0\r\nMedianWndSize=15\r\n",            // keys reordered
        "[COMMON]\nMedianWndSize=15\nProcEnable=0\n",                  // LF-only line ends
    };
    for (const char* loaded : variants) {
        SCOPED_TRACE(testing::PrintToString(std::string(loaded)));
        AgedFile file(loaded);
        int32_t wndSize = 0;
        file.ini.ReadInt("COMMON", "MedianWndSize", &wndSize, 1);
        WriteCommon(file.ini, wndSize);
        file.ini.Commit(file.path);
        EXPECT_EQ(ReadFileBytes(file.path), kSaved);
        EXPECT_NE(fs::last_write_time(file.path), file.stamp);
        // Commit changes neither text.
        EXPECT_EQ(std::string(file.ini.LoadedText(), file.ini.LoadedLength()), loaded);
        EXPECT_EQ(OutputOf(file.ini), kSaved);
        EXPECT_EQ(file.folder.Names(), std::vector<std::string>{"t.ini"});
    }
}

TEST(IniDisk, ReloadAfterSaveReadsTheSavedValues)
{
    TempFolder folder;
    std::string file = folder.File("t.ini");
    CIniFile ini;
    ini.Load(file);
    WriteCommon(ini, 9);
    ini.WriteSectionId(-4);
    ini.WriteInt64("Id", -4);
    ini.Commit(file);
    ini.Load(file);
    int32_t wndSize = 0;
    int64_t id = 0;
    ini.ReadInt("COMMON", "MedianWndSize", &wndSize, 15);
    ini.ReadInt64("-4", "Id", &id, 0);
    EXPECT_EQ(wndSize, 9);
    EXPECT_EQ(id, -4);
}

TEST(IniDisk, ReadOnlyFileIsKept)
{
    TempFolder folder;
    std::string file = folder.File("t.ini");
    WriteFileBytes(file, "[OLD]\r\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    CIniFile ini;
    ini.Load(file);
    WriteCommon(ini, 15);
    EXPECT_EQ(ini.Commit(file), SaveOutcome::LeftAlone);
    EXPECT_EQ(ReadFileBytes(file), "[OLD]\r\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"t.ini"});
}

TEST(IniDisk, SaveIntoAMissingFolderWritesNothing)
{
    TempFolder folder;
    CIniFile ini;
    WriteCommon(ini, 15);
    ini.Commit(folder.File("gone") + "/t.ini");
    EXPECT_TRUE(folder.Names().empty());
}

// The save is stopped after the new text was written and flushed, right before the replace.
std::string g_oldText;
std::string g_seenTempText;
std::string g_seenFileText;
std::string g_fileBeingSaved;

bool InterruptBeforeReplace(const std::string& tempPath)
{
    g_seenTempText = ReadFileBytes(tempPath);
    g_seenFileText = ReadFileBytes(g_fileBeingSaved);
    return false;
}

TEST(IniDisk, SaveInterruptedBeforeTheReplaceKeepsTheOldFileWhole)
{
    TempFolder folder;
    g_fileBeingSaved = folder.File("t.ini");
    g_oldText = "[COMMON]\r\nMedianWndSize=4\r\nProcEnable=1\r\n[77]\r\nMedianWndSize=8\r\nProcEnable=1\r\n";
    WriteFileBytes(g_fileBeingSaved, g_oldText);
    CIniFile ini;
    ini.Load(g_fileBeingSaved);
    WriteCommon(ini, 15);
    SetBeforeReplaceHook(InterruptBeforeReplace);
    ini.Commit(g_fileBeingSaved);
    SetBeforeReplaceHook(nullptr);

    EXPECT_EQ(g_seenTempText, kSaved);  // the new text was complete on the disk...
    EXPECT_EQ(g_seenFileText, g_oldText);  // ...while the file was still the old one
    EXPECT_EQ(ReadFileBytes(g_fileBeingSaved), g_oldText);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"t.ini"});
}

// The in-memory halves are the file operations without the file: LoadText holds what Load reads, and
// Commit writes exactly TextToWrite, leaving the file alone when that is empty.
TEST(IniDisk, InMemoryHalvesAgreeWithTheFile)
{
    const std::string loadedTexts[] = {"", kSaved, "[COMMON]\nMedianWndSize=15\n", "[COMMON]\r\nno end"};
    enum Build { kNothing, kBeganOnly, kCommon };
    for (const std::string& loaded : loadedTexts) {
        for (Build build : {kNothing, kBeganOnly, kCommon}) {
            SCOPED_TRACE(testing::PrintToString(loaded) + " build " + std::to_string(build));
            TempFolder folder;
            std::string file = folder.File("t.ini");
            WriteFileBytes(file, loaded);
            CIniFile fromFile;
            fromFile.Load(file);
            CIniFile fromMemory;
            fromMemory.LoadText(loaded);
            EXPECT_EQ(std::string(fromMemory.LoadedText() ? fromMemory.LoadedText() : "", fromMemory.LoadedLength()),
                      loaded);
            EXPECT_EQ(fromMemory.LoadedLength(), fromFile.LoadedLength());
            for (CIniFile* ini : {&fromFile, &fromMemory}) {
                if (build == kBeganOnly)
                    ini->BeginWrite();
                if (build == kCommon)
                    WriteCommon(*ini, 15);
            }
            const bool writes = build == kCommon && loaded != kSaved;
            EXPECT_EQ(fromMemory.TextToWrite(), writes ? kSaved : "");
            EXPECT_EQ(fromFile.Commit(file), writes ? SaveOutcome::Replaced : SaveOutcome::NothingToSave);
            EXPECT_EQ(ReadFileBytes(file), writes ? kSaved : loaded);
        }
    }
}

// A text that could not be held is like a file that could not be read: a save never writes over it.
TEST(IniDisk, TextWithoutMemoryIsNeverSavedOver)
{
    CIniFile ini;
    {
        FailingAllocations failing(false);
        ini.LoadText(kSaved + "; mine\r\n");
    }
    EXPECT_EQ(ini.LoadedLength(), 0);
    WriteCommon(ini, 15);
    EXPECT_EQ(OutputOf(ini), kSaved);
    EXPECT_EQ(ini.TextToWrite(), "");
}

}  // namespace
