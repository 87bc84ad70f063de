// The save on its own: which way it takes for each kind of file and folder, and that it never does worse
// than a plain write in place: same bytes, attributes and other names kept, nothing left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <charconv>
#include <functional>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/save_decision.h"
#include "platform/temp_file_name.h"
#include "tests/common/file_bytes.h"
#include "tests/common/temp_folder.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;

const std::string kOld = "[OLD]\r\n";
const std::string kNew = "[NEW]\r\nMedianWndSize=4\r\n";

TEST(SaveDecision, EachFactChoosesTheWayAnInPlaceWriteWouldNotBeatAndEachFailureItsRecovery)
{
    struct WayCase {
        const char* situation;
        SaveTargetFacts facts;
        SaveWay way;
    };
    const WayCase ways[] = {
        {"an ordinary or missing file", {}, SaveWay::Replace},
        {"read-only, or an access list that refuses writing", {.writeDenied = true}, SaveWay::LeaveAlone},
        {"a hard link", {.hardLinked = true}, SaveWay::WriteInPlace},
        {"a symbolic link or junction", {.reparsePoint = true}, SaveWay::WriteInPlace},
        {"an access list that allows writing but not deleting", {.deleteDenied = true}, SaveWay::WriteInPlace},
        {"a temporary name past the path limit", {.tempNameTooLong = true}, SaveWay::WriteInPlace},
        {"read-only, whatever else holds", {true, true, true, true, true}, SaveWay::LeaveAlone},
    };
    for (const WayCase& c : ways)
        EXPECT_EQ(ChooseSaveWay(c.facts), c.way) << c.situation;

    struct RecoveryCase {
        const char* situation;
        ReplaceOutcome outcome;
        bool writeInPlace;
    };
    const RecoveryCase recoveries[] = {
        {"stopped before the replace, as by a crash: the old file stays whole", ReplaceOutcome::Interrupted, false},
        {"a folder that refuses new files", ReplaceOutcome::TempNotMade, true},
        {"a full disk: an in-place write would shorten the file", ReplaceOutcome::TempNotWritten, false},
        {"an access list that cannot be read or handed on", ReplaceOutcome::AccessListNotKept, true},
        {"a holder without delete sharing", ReplaceOutcome::RefusedNameKept, true},
    };
    for (const RecoveryCase& c : recoveries)
        EXPECT_EQ(FallBackToWritingInPlace(c.outcome), c.writeInPlace) << c.situation;
}

// One file in a folder of its own, made ready by a case, saved, then looked at.
struct Scene {
    TempFolder folder;
    std::string file = folder.File("a.ini");
    std::function<void()> release = [] {};

    std::vector<std::string> NamesBesideFile() const
    {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(file).parent_path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

#if defined(_WIN32)
DWORD AttributesOf(const std::string& path) { return GetFileAttributesA(path.c_str()); }

void HoldOpen(Scene& scene, DWORD sharing)
{
    HANDLE held = CreateFileA(scene.file.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    scene.release = [held] { CloseHandle(held); };
}
#endif

TEST(AtomicFile, EachKindOfFileIsSavedTheWayThatKeepsWhatAnInPlaceWriteWould)
{
    struct Case {
        const char* situation;
        std::function<void(Scene&)> arrange;
        SaveOutcome outcome;
        const std::string& text;                // what the file holds afterwards
        std::vector<std::string> names;         // everything in the file's folder afterwards
        std::function<void(Scene&)> check = [](Scene&) {};
    };
    const Case cases[] = {
        {"missing: created", [](Scene&) {}, SaveOutcome::Replaced, kNew, {"a.ini"}},
        {"ordinary: replaced", [](Scene& s) { WriteFileBytes(s.file, kOld); }, SaveOutcome::Replaced, kNew, {"a.ini"}},
        {"read-only: left alone",
         [](Scene& s) {
             WriteFileBytes(s.file, kOld);
             fs::permissions(s.file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                             fs::perm_options::remove);
         },
         SaveOutcome::LeftAlone, kOld, {"a.ini"}},
        {"a folder in the way: left alone", [](Scene& s) { fs::create_directory(s.file); }, SaveOutcome::LeftAlone,
         std::string(), {"a.ini"}},
        {"hard-linked: written in place, so the other name sees it too",
         [](Scene& s) {
             WriteFileBytes(s.file, kOld);
             fs::create_hard_link(s.file, s.folder.File("b.ini"));
         },
         SaveOutcome::WrittenInPlace, kNew, {"a.ini", "b.ini"},
         [](Scene& s) { EXPECT_EQ(ReadFileBytes(s.folder.File("b.ini")), kNew); }},
        {"hard-linked with a longer old text: written in place and cut to the new text's length",
         [](Scene& s) {
             WriteFileBytes(s.file, kNew + kOld);
             fs::create_hard_link(s.file, s.folder.File("b.ini"));
         },
         SaveOutcome::WrittenInPlace, kNew, {"a.ini", "b.ini"}},
        {"the flush to the disk fails: the old file stays whole",
         [](Scene& s) {
             WriteFileBytes(s.file, kOld);
             SetFlushHook([] { return false; });
             s.release = [] { SetFlushHook(nullptr); };
         },
         SaveOutcome::Failed, kOld, {"a.ini"}},
        {"hard-linked and the flush to the disk fails: the in-place write is reported failed",
         [](Scene& s) {
             WriteFileBytes(s.file, kOld);
             fs::create_hard_link(s.file, s.folder.File("b.ini"));
             SetFlushHook([] { return false; });
             s.release = [] { SetFlushHook(nullptr); };
         },
         SaveOutcome::Failed, kNew, {"a.ini", "b.ini"}},
#if defined(_WIN32)
        {"hidden: replaced and still hidden",
         [](Scene& s) {
             WriteFileBytes(s.file, kOld);
             SetFileAttributesA(s.file.c_str(), FILE_ATTRIBUTE_HIDDEN);
         },
         SaveOutcome::Replaced, kNew, {"a.ini"},
         [](Scene& s) { EXPECT_TRUE(AttributesOf(s.file) & FILE_ATTRIBUTE_HIDDEN); }},
        {"held open by a reader that shares writing but not deleting, as fopen does: written in place",
         [](Scene& s) {
             WriteFileBytes(s.file, kOld);
             HoldOpen(s, FILE_SHARE_READ | FILE_SHARE_WRITE);
         },
         SaveOutcome::WrittenInPlace, kNew, {"a.ini"}},
        {"held open by a reader that shares nothing: left alone",
         [](Scene& s) {
             WriteFileBytes(s.file, kOld);
             HoldOpen(s, 0);
         },
         SaveOutcome::LeftAlone, kOld, {"a.ini"}},
        {"the temporary name would pass MAX_PATH: written in place",
         [](Scene& s) {
             std::string folder = s.folder.File(std::string(240 - s.folder.File("").size(), 'f'));
             fs::create_directory(folder);
             s.file = folder + "\\" + std::string(MAX_PATH - 9 - folder.size(), 's') + ".ini";
             ASSERT_LT(s.file.size(), size_t{MAX_PATH});
             WriteFileBytes(s.file, kOld);
         },
         SaveOutcome::WrittenInPlace, kNew, {}},
#else
        {"readable by its owner alone: replaced and still 0600",
         [](Scene& s) {
             WriteFileBytes(s.file, kOld);
             fs::permissions(s.file, fs::perms::owner_read | fs::perms::owner_write);
         },
         SaveOutcome::Replaced, kNew, {"a.ini"},
         [](Scene& s) {
             EXPECT_EQ(fs::status(s.file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
         }},
        {"a symbolic link: written through it, the link kept",
         [](Scene& s) {
             WriteFileBytes(s.folder.File("target.ini"), kOld);
             fs::create_symlink(s.folder.File("target.ini"), s.file);
         },
         SaveOutcome::WrittenInPlace, kNew, {"a.ini", "target.ini"},
         [](Scene& s) { EXPECT_TRUE(fs::is_symlink(s.file)); }},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        Scene scene;
        c.arrange(scene);
        EXPECT_EQ(ReplaceFileOrWriteInPlace(scene.file, kNew.data(), kNew.size()), c.outcome);
        scene.release();
        EXPECT_EQ(fs::is_regular_file(scene.file) ? ReadFileBytes(scene.file) : std::string(), c.text);
        std::vector<std::string> names = scene.NamesBesideFile();
        if (c.names.empty())
            EXPECT_EQ(names, std::vector<std::string>{fs::path(scene.file).filename().string()});
        else
            EXPECT_EQ(names, c.names);
        c.check(scene);
    }
}

TEST(AtomicFile, EachSaveUsesAFreshTemporaryNameBesideTheFile)
{
    static std::vector<std::string> tempPaths;
    TempFolder folder;
    std::string file = folder.File("a.ini");
    SetBeforeReplaceHook([](const std::string& tempPath) {
        tempPaths.push_back(tempPath);
        return true;
    });
    EXPECT_EQ(ReplaceFileOrWriteInPlace(file, "one\0two", 7), SaveOutcome::Replaced);
    EXPECT_EQ(ReplaceFileOrWriteInPlace(file, "", 0), SaveOutcome::Replaced);
    EXPECT_EQ(fs::file_size(file), 0u);
    ASSERT_EQ(tempPaths.size(), 2u);
    EXPECT_NE(tempPaths[0], tempPaths[1]);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.ini"});

    // The name the next save would take, left over by a crash, say: stepped over, never written into.
    const size_t serialAt = tempPaths[1].rfind('-') + 1;
    const auto serial = static_cast<unsigned>(std::stoul(tempPaths[1].substr(serialAt), nullptr, 16));
    char next[16];
    const std::string taken =
        tempPaths[1].substr(0, serialAt) + std::string(next, std::to_chars(next, next + 16, serial + 1, 16).ptr);
    WriteFileBytes(taken, kOld);
    EXPECT_EQ(ReplaceFileOrWriteInPlace(file, kNew.data(), kNew.size()), SaveOutcome::Replaced);
    SetBeforeReplaceHook(nullptr);

    EXPECT_EQ(ReadFileBytes(file), kNew);
    ASSERT_EQ(tempPaths.size(), 3u);
    EXPECT_NE(tempPaths[2], taken);
    for (const std::string& temp : tempPaths)
        EXPECT_EQ(fs::path(temp).parent_path(), fs::path(file).parent_path());
    EXPECT_EQ(ReplaceFileOrWriteInPlace(folder.File("missing") + "/a.ini", "x", 1), SaveOutcome::Failed);
}

TEST(TempFileName, ASaveKnowsAgainExactlyTheNamesItMakesForTheSameFile)
{
    EXPECT_EQ(TempPathFor("C:\\K\\Plugins\\a.ini", 0x1f4, 0), "C:\\K\\Plugins\\a.ini.~1f4-0");
    const std::string widest = TempPathFor("a.ini", ~0ul, ~0u);
    EXPECT_TRUE(IsTempNameFor(widest, "a.ini")) << widest;

    struct Case {
        const char* name;
        bool made;
    };
    const Case cases[] = {
        {"a.ini.~1f4-0", true},
        {"a.ini.~0-0", true},
        {"a.ini.~ffffffff-ffffffff", true},
        {"b.ini.~1f4-0", false},       // another file's
        {"xa.ini.~1f4-0", false},
        {"A.INI.~1f4-0", false},       // never spelled so by this path
        {"a.ini.~1f4-0.bak", false},   // someone's copy
        {"a.ini.~1f4-0-0", false},
        {"a.ini.~1F4-0", false},       // std::to_chars writes lower case
        {"a.ini.~01f4-0", false},      // and no leading zero
        {"a.ini.~+1f4-0", false},
        {"a.ini.~1f4-100000000", false},  // past the serial's range
        {"a.ini.~1f4-", false},
        {"a.ini.~-0", false},
        {"a.ini.~1f4", false},
        {"a.ini~1f4-0", false},
        {"a.ini", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsTempNameFor(c.name, "a.ini"), c.made) << c.name;
}

#if defined(_WIN32)
TEST(AtomicFile, ASuccessfulSaveRemovesOnlyItsOwnLeftoversThatNoOneHoldsOpen)
{
    struct Case {
        const char* situation;
        const char* name;
        bool folder;
        DWORD heldSharing;  // kNotHeld, or the sharing of another holder's handle
        bool kept;
    };
    constexpr DWORD kNotHeld = ~0u;
    // Process id 0x1f3 is no real one: Windows gives multiples of 4.
    const Case cases[] = {
        {"left by an earlier save cut off by a crash: removed", "a.ini.~1f3-0", false, kNotHeld, false},
        {"another's of the same pattern, held sharing nothing", "a.ini.~1f3-1", false, 0, true},
        {"held by another host that shares everything", "a.ini.~1f3-2",
         false, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true},
        {"someone else's file of a similar name", "a.ini.~1f3-0.bak", false, kNotHeld, true},
        {"a folder of the pattern", "a.ini.~1f3-3", true, kNotHeld, true},
    };
    Scene scene;
    WriteFileBytes(scene.file, kOld);
    std::vector<HANDLE> holders;
    for (const Case& c : cases) {
        if (c.folder)
            fs::create_directory(scene.folder.File(c.name));
        else
            WriteFileBytes(scene.folder.File(c.name), kOld);
        if (c.heldSharing != kNotHeld)
            holders.push_back(CreateFileA(scene.folder.File(c.name).c_str(), GENERIC_READ, c.heldSharing, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    }
    const auto kept = [&](const Case& c) { return fs::exists(scene.folder.File(c.name)); };

    // A save that does not happen removes nothing.
    SetFileAttributesA(scene.file.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ReplaceFileOrWriteInPlace(scene.file, kNew.data(), kNew.size()), SaveOutcome::LeftAlone);
    for (const Case& c : cases)
        EXPECT_TRUE(kept(c)) << c.situation;

    SetFileAttributesA(scene.file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReplaceFileOrWriteInPlace(scene.file, kNew.data(), kNew.size()), SaveOutcome::Replaced);
    for (HANDLE holder : holders)
        CloseHandle(holder);
    EXPECT_EQ(ReadFileBytes(scene.file), kNew);
    for (const Case& c : cases)
        EXPECT_EQ(kept(c), c.kept) << c.situation;
}
#endif

}  // namespace
