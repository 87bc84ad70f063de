// Settings through the real DLL: a file written as a user would, frames of several channels, and the file
// the plug-in leaves behind at Shutdown, byte for byte.

#include <gtest/gtest.h>

#include <set>

#include "tests/common/definition_reference.h"
#include "tests/win32/plugin_fixture.h"

namespace {

constexpr int kWidth = 32, kHeight = 16;

std::set<int64_t> knownChannels;
int UVD_CDECL KnowsListedChannels(int64_t id) { return knownChannels.count(id) ? 1 : 0; }

class SettingsEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { fixture::RemoveSettings(); }

    void Start(HostChannelCheckProc check = KnowsEveryChannel)
    {
        ASSERT_TRUE(host.Load(fixture::PluginDllPath()));
        host.Init(check);
        host.StartStream(kWidth, kHeight, 0);
    }

    void Finish()
    {
        host.StopStream();
        host.Shutdown();
        host.Unload();
    }

    // Plays one random frame of the channel and says which window it was filtered with (0: unchanged).
    int WindowUsedFor(int64_t channel, uint32_t seed)
    {
        std::vector<uint8_t> frame = RandomBytes(kWidth * kHeight * 2, seed);
        const std::vector<uint8_t> input = frame;
        host.ProcessFrame(frame.data(), channel, "Channel " + std::to_string(channel));
        if (frame == input)
            return 0;
        for (int count = 2; count <= 30; ++count)
            if (frame == reference::ChromaMedian(input, kWidth, kHeight, count))
                return count;
        return -1;
    }

    KestrovaHost host;
};

TEST_F(SettingsEndToEnd, FirstRunWithoutAFileCreatesItAndSavesTheDefaults)
{
    Start();
    EXPECT_TRUE(fixture::SettingsExist()) << "the empty file is created at load";
    EXPECT_EQ(fixture::ReadSettings(), "");
    EXPECT_EQ(WindowUsedFor(777, 1), 0);
    Finish();
    EXPECT_EQ(fixture::ReadSettings(),
              "[DIALOG]\r\nDlgWndPosX=-100\r\nDlgWndPosY=-100\r\n[SETTINGS]\r\nCommon=1\r\n"
              "[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n[777]\r\nMedianWndSize=15\r\nProcEnable=0\r\n");
}

TEST_F(SettingsEndToEnd, CommonModeFiltersEveryChannelWithTheCommonRecord)
{
    fixture::WriteSettings("[SETTINGS]\r\nCommon=1\r\n[COMMON]\r\nMedianWndSize=3\r\nProcEnable=1\r\n"
                           "[20]\r\nMedianWndSize=9\r\nProcEnable=0\r\n");
    Start();
    EXPECT_EQ(WindowUsedFor(10, 1), 3);
    EXPECT_EQ(WindowUsedFor(20, 2), 3) << "a channel's own record is not used in common mode";
    EXPECT_EQ(WindowUsedFor(30, 3), 3);
    Finish();
    EXPECT_EQ(fixture::ReadSettings(),
              "[DIALOG]\r\nDlgWndPosX=-100\r\nDlgWndPosY=-100\r\n[SETTINGS]\r\nCommon=1\r\n"
              "[COMMON]\r\nMedianWndSize=3\r\nProcEnable=1\r\n[20]\r\nMedianWndSize=9\r\nProcEnable=0\r\n"
              "[10]\r\nMedianWndSize=15\r\nProcEnable=0\r\n[30]\r\nMedianWndSize=15\r\nProcEnable=0\r\n");
}

TEST_F(SettingsEndToEnd, IndividualModeUsesEachChannelsRecordAndTheDefaultTemplate)
{
    fixture::WriteSettings("[DIALOG]\r\nDlgWndPosX=40\r\nDlgWndPosY=-7\r\n[SETTINGS]\r\nCommon=0\r\n"
                           "[DEFAULT]\r\nMedianWndSize=9\r\nProcEnable=1\r\n"
                           "[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n"
                           "[10]\r\nMedianWndSize=5\r\nProcEnable=1\r\n[20]\r\nMedianWndSize=4\r\nProcEnable=0\r\n"
                           "[-5]\r\nMedianWndSize=2\r\nProcEnable=1\r\n");
    Start();
    EXPECT_EQ(WindowUsedFor(10, 1), 5);
    EXPECT_EQ(WindowUsedFor(20, 2), 0);
    EXPECT_EQ(WindowUsedFor(30, 3), 9) << "a new channel starts from DEFAULT";
    EXPECT_EQ(WindowUsedFor(-5, 4), 2);
    EXPECT_EQ(WindowUsedFor(0, 5), 0) << "channel 0 uses COMMON";
    EXPECT_EQ(WindowUsedFor(10, 6), 5);
    Finish();
    EXPECT_EQ(fixture::ReadSettings(),
              "[DIALOG]\r\nDlgWndPosX=40\r\nDlgWndPosY=-7\r\n[SETTINGS]\r\nCommon=0\r\n"
              "[DEFAULT]\r\nMedianWndSize=9\r\nProcEnable=1\r\n"
              "[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n"
              "[10]\r\nMedianWndSize=5\r\nProcEnable=1\r\n[20]\r\nMedianWndSize=4\r\nProcEnable=0\r\n"
              "[-5]\r\nMedianWndSize=2\r\nProcEnable=1\r\n[30]\r\nMedianWndSize=9\r\nProcEnable=1\r\n");
}

TEST_F(SettingsEndToEnd, ChannelsTheHostNoLongerKnowsAreDroppedButOneToFourStay)
{
    knownChannels = {50};
    fixture::WriteSettings("[SETTINGS]\r\nCommon=1\r\n[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n"
                           "[3]\r\nMedianWndSize=15\r\nProcEnable=0\r\n[40]\r\nMedianWndSize=15\r\nProcEnable=0\r\n"
                           "[50]\r\nMedianWndSize=15\r\nProcEnable=0\r\n");
    Start(KnowsListedChannels);
    WindowUsedFor(60, 1);
    Finish();
    EXPECT_EQ(fixture::ReadSettings(),
              "[DIALOG]\r\nDlgWndPosX=-100\r\nDlgWndPosY=-100\r\n[SETTINGS]\r\nCommon=1\r\n"
              "[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n[3]\r\nMedianWndSize=15\r\nProcEnable=0\r\n"
              "[50]\r\nMedianWndSize=15\r\nProcEnable=0\r\n");
}

TEST_F(SettingsEndToEnd, ARunThatChangesNothingLeavesTheFileUntouched)
{
    const std::string text = "[DIALOG]\r\nDlgWndPosX=-100\r\nDlgWndPosY=-100\r\n[SETTINGS]\r\nCommon=1\r\n"
                             "[COMMON]\r\nMedianWndSize=7\r\nProcEnable=1\r\n[1]\r\nMedianWndSize=15\r\nProcEnable=0\r\n";
    fixture::WriteSettings(text);
    HANDLE file = CreateFileA(fixture::SettingsPath().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME old{0x12345600, 0x01C00000};  // the late 1990s
    SetFileTime(file, nullptr, nullptr, &old);
    CloseHandle(file);

    Start();
    EXPECT_EQ(WindowUsedFor(1, 1), 7);
    Finish();

    EXPECT_EQ(fixture::ReadSettings(), text);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExA(fixture::SettingsPath().c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, old.dwLowDateTime);
    EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, old.dwHighDateTime);
}

TEST_F(SettingsEndToEnd, HandEditedSectionsAreEachReadOnceAndNoneIsLost)
{
    // A stale copy of 12 and a lone 40 above COMMON; "[ 12]" stands for the "[12]" below it, past 13.
    fixture::WriteSettings("[12]\r\nMedianWndSize=3\r\nProcEnable=1\r\n[40]\r\nMedianWndSize=5\r\nProcEnable=1\r\n"
                           "[SETTINGS]\r\nCommon=0\r\n[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n"
                           "[ 12]\r\nMedianWndSize=4\r\nProcEnable=1\r\n[13]\r\nMedianWndSize=6\r\nProcEnable=1\r\n"
                           "[12]\r\nMedianWndSize=9\r\nProcEnable=1\r\n");
    Start();
    EXPECT_EQ(WindowUsedFor(12, 1), 9);
    EXPECT_EQ(WindowUsedFor(13, 2), 6);
    EXPECT_EQ(WindowUsedFor(40, 3), 5);
    Finish();
    EXPECT_EQ(fixture::ReadSettings(),
              "[DIALOG]\r\nDlgWndPosX=-100\r\nDlgWndPosY=-100\r\n[SETTINGS]\r\nCommon=0\r\n"
              "[COMMON]\r\nMedianWndSize=15\r\nProcEnable=0\r\n[40]\r\nMedianWndSize=5\r\nProcEnable=1\r\n"
              "[12]\r\nMedianWndSize=9\r\nProcEnable=1\r\n[13]\r\nMedianWndSize=6\r\nProcEnable=1\r\n");
}

TEST_F(SettingsEndToEnd, OutOfRangeWindowFromAHandEditedFileIsHeldToTheFilter)
{
    fixture::WriteSettings("[COMMON]\r\nMedianWndSize=99\r\nProcEnable=1\r\n");
    Start();
    EXPECT_EQ(WindowUsedFor(1, 1), 30);
    Finish();
    fixture::WriteSettings("[COMMON]\r\nMedianWndSize=-3\r\nProcEnable=1\r\n");
    Start();
    EXPECT_EQ(WindowUsedFor(1, 2), 0) << "window 1 is the identity";
    Finish();
}

}  // namespace
