// What the native tests of the settings cannot show: the real DLL with the real settings file beside the
// host, its values reaching the frames, the host's own channel check deciding, and the file the plug-in
// leaves behind at Shutdown, byte for byte.

#include <gtest/gtest.h>

#include <set>

#include "tests/common/definition_reference.h"
#include "tests/common/plugin_fixture.h"

namespace {

constexpr int kWidth = 32, kHeight = 16;

std::set<int64_t> knownChannels;
int UVD_CDECL KnowsListedChannels(int64_t id) { return knownChannels.count(id) ? 1 : 0; }

class SettingsThroughTheDll : public ::testing::Test {
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

constexpr auto Header = SettingsHeader;
constexpr auto Section = SettingsSection;

TEST_F(SettingsThroughTheDll, FirstRunWithoutAFileCreatesItAndSavesTheDefaults)
{
    Start();
    EXPECT_TRUE(fixture::SettingsExist()) << "the empty file is created at load";
    EXPECT_EQ(fixture::ReadSettings(), "");
    EXPECT_EQ(WindowUsedFor(777, 1), 0);
    Finish();
    EXPECT_EQ(fixture::ReadSettings(), fixture::CommonSettings(15, 0) + Section("777", 15, 0));
}

TEST_F(SettingsThroughTheDll, IndividualModeUsesEachChannelsRecordAndTheDefaultTemplate)
{
    const std::string channels = Section("10", 5, 1) + Section("20", 4, 0) + Section("-5", 2, 1);
    fixture::WriteSettings(Header(40, -7, 0) + Section("DEFAULT", 9, 1) + Section("COMMON", 15, 0) + channels);
    Start();
    EXPECT_EQ(WindowUsedFor(10, 1), 5);
    EXPECT_EQ(WindowUsedFor(20, 2), 0);
    EXPECT_EQ(WindowUsedFor(30, 3), 9) << "a new channel starts from DEFAULT";
    EXPECT_EQ(WindowUsedFor(-5, 4), 2);
    EXPECT_EQ(WindowUsedFor(0, 5), 0) << "channel 0 uses COMMON";
    EXPECT_EQ(WindowUsedFor(10, 6), 5);
    Finish();
    EXPECT_EQ(fixture::ReadSettings(), Header(40, -7, 0) + Section("DEFAULT", 9, 1) + Section("COMMON", 15, 0) +
                                           channels + Section("30", 9, 1));
}

TEST_F(SettingsThroughTheDll, ChannelsTheHostNoLongerKnowsAreDroppedButOneToFourStay)
{
    knownChannels = {50};
    fixture::WriteSettings(fixture::CommonSettings(15, 0) + Section("3", 15, 0) + Section("40", 15, 0) +
                           Section("50", 15, 0));
    Start(KnowsListedChannels);
    WindowUsedFor(60, 1);
    Finish();
    EXPECT_EQ(fixture::ReadSettings(), fixture::CommonSettings(15, 0) + Section("3", 15, 0) + Section("50", 15, 0));
}

}  // namespace
