// The crash-safe replace on its own: where the temporary file lives, what is left after success and
// after each kind of failure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "tests/settings_ini/ini_test_support.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

std::vector<std::string> g_tempPaths;

bool RecordTempPath(const std::string& tempPath)
{
    g_tempPaths.push_back(tempPath);
    return true;
}

TEST(AtomicFile, CreatesAndReplacesThroughATemporaryFileBesideIt)
{
    TempFolder folder;
    std::string file = folder.File("a.ini");
    g_tempPaths.clear();
    SetBeforeReplaceHook(RecordTempPath);
    EXPECT_TRUE(ReplaceFileAtomically(file, "one\0two", 7));
    EXPECT_TRUE(ReplaceFileAtomically(file, "x", 1));
    SetBeforeReplaceHook(nullptr);

    EXPECT_EQ(ReadBytes(file), "x");
    ASSERT_EQ(g_tempPaths.size(), 2u);
    EXPECT_NE(g_tempPaths[0], g_tempPaths[1]);
    for (const std::string& temp : g_tempPaths)
        EXPECT_EQ(fs::path(temp).parent_path(), fs::path(file).parent_path());
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.ini"});

    EXPECT_TRUE(ReplaceFileAtomically(file, "", 0));
    EXPECT_EQ(fs::file_size(file), 0u);
}

TEST(AtomicFile, AFolderInTheWayFailsAndLeavesNothing)
{
    TempFolder folder;
    fs::create_directory(folder.File("a.ini"));
    EXPECT_FALSE(ReplaceFileAtomically(folder.File("a.ini"), "x", 1));
    EXPECT_FALSE(ReplaceFileAtomically(folder.File("missing") + "/a.ini", "x", 1));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.ini"});
}

#if defined(_WIN32)
TEST(AtomicFile, FileHeldOpenWithoutSharingIsKept)
{
    TempFolder folder;
    std::string file = folder.File("a.ini");
    WriteBytes(file, "old");
    HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ReplaceFileAtomically(file, "new", 3));
    CloseHandle(held);
    EXPECT_EQ(ReadBytes(file), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.ini"});
}
#endif

}  // namespace
