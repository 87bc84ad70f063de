// Files dropped on the program: each one's clean copy named beside it, never over a file that is there, and
// each cleaned with the guide's settings, the worst outcome returned.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "cli/dropped_files.h"

namespace {

struct NameRow {
    const char* input;
    std::set<std::string> taken;
    const char* expected;
};

TEST(DroppedFiles, CleanCopyIsNamedBesideItsFileAndNeverOverAnother)
{
    const NameRow rows[] = {
        {"capture.ts", {}, "capture-clean.mkv"},
        {"C:\\Rec\\capture.ts", {"C:\\Rec\\capture-clean.mkv"}, "C:\\Rec\\capture-clean-2.mkv"},
        {"/home/me/Запись 1.mkv", {"/home/me/Запись 1-clean.mkv", "/home/me/Запись 1-clean-2.mkv"},
         "/home/me/Запись 1-clean-3.mkv"},
        {"tape.v2/capture", {"capture-clean.mkv"}, "tape.v2/capture-clean.mkv"},
        {"D:\\tape.v2\\capture", {}, "D:\\tape.v2\\capture-clean.mkv"},
        {"a.b.ts", {}, "a.b-clean.mkv"},
        {".capture", {}, ".capture-clean.mkv"},
        {"tape.Y4M", {"tape-clean.Y4M"}, "tape-clean-2.Y4M"},
    };
    for (const NameRow& row : rows)
        EXPECT_EQ(CleanCopyName(row.input, [&](const std::string& name) { return row.taken.count(name) > 0; }),
                  row.expected)
            << row.input;
}

TEST(DroppedFiles, OnlyNamesOfExistingFilesCountAsDropped)
{
    const auto exists = [](const std::string& name) { return name != "out.mkv"; };
    EXPECT_FALSE(LooksDropped({}, exists));
    EXPECT_TRUE(LooksDropped({"a.ts", "b b.ts"}, exists));
    EXPECT_FALSE(LooksDropped({"a.ts", "-y"}, exists));
    EXPECT_FALSE(LooksDropped({"-", "a.ts"}, exists));
    EXPECT_FALSE(LooksDropped({"a.ts", ""}, exists));
    EXPECT_FALSE(LooksDropped({"a.ts", "out.mkv"}, exists)) << "IN OUT given by a program";
}

TEST(DroppedFiles, EachFileIsCleanedWithTheGuidesSettingsAndTheWorstOutcomeReturned)
{
    std::set<std::string> onDisk = {"a-clean.mkv"};
    std::vector<Options> runs;
    const int code = CleanDroppedFiles(
        {"a.ts", "b.avi"},
        [&](const Options& options) {
            runs.push_back(options);
            return options.input == "a.ts" ? 0 : 2;
        },
        [&](const std::string& name) { return onDisk.count(name) > 0; });
    EXPECT_EQ(code, 2);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].output, "a-clean-2.mkv");
    EXPECT_EQ(runs[1].output, "b-clean.mkv");
    for (const Options& options : runs) {
        EXPECT_EQ(options.window, 7);
        EXPECT_EQ(options.threshold, 18);
        EXPECT_EQ(options.fields, Fields::kAuto);
        EXPECT_FALSE(options.replace);
    }
}

}  // namespace
