// The per-frame path without the host: channel switching, the dialog's notice, filtering and pass-through.

#include <gtest/gtest.h>

#include <string>

#include "filter/cpu_features.h"
#include "plugin/frame_dispatch.h"
#include "plugin/host_records.h"
#include "tests/common/definition_reference.h"
#include "tests/common/random_bytes.h"
#include "tests/common/settings_text.h"

namespace {

int notices = 0;
void CountNotice() { ++notices; }

class FrameDispatch : public ::testing::Test {
protected:
    FrameDispatch() : settings(lock), dispatcher(settings, lock, channelName, CountNotice)
    {
        notices = 0;
        settings.LoadSettings(SettingsLocation{}, nullptr);  // no file: every default
    }

    int Play(std::vector<uint8_t>& frame, int64_t id, const char* name = "name")
    {
        const FrameChannel channel{id, name};
        return dispatcher.ProcessFrame(frame.data(), &channel);
    }

    CCriticalSection lock;
    CChannelSettings settings;
    std::string channelName;
    FrameDispatcher dispatcher;
};

TEST_F(FrameDispatch, NullBufferReturnsZeroWithoutChannelHandling)
{
    dispatcher.StartStream(16, 8, kPixelFormatYuy2, CpuFeatures());
    const FrameChannel channel{42, "Forty-two"};
    EXPECT_EQ(dispatcher.ProcessFrame(nullptr, &channel), 0);
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(channelName, "");
    EXPECT_EQ(settings.CurrentIndex(), -1);
}

TEST_F(FrameDispatch, ChannelChangeCopiesTheNameAndTellsTheDialogOnce)
{
    dispatcher.StartStream(16, 8, kPixelFormatYuy2, CpuFeatures());
    std::vector<uint8_t> frame(16 * 8 * 2, 128);
    EXPECT_EQ(Play(frame, 5, "Five"), 1);
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(channelName, "Five");
    EXPECT_EQ(Play(frame, 5, "Five again"), 1);
    EXPECT_EQ(notices, 1) << "same channel: no notice";
    EXPECT_EQ(channelName, "Five");
    Play(frame, 6, "Six");
    EXPECT_EQ(notices, 2);
    EXPECT_EQ(channelName, "Six");
}

TEST_F(FrameDispatch, LongNamesAreCutAndMissingChannelRecordsSwitchNothing)
{
    dispatcher.StartStream(16, 8, kPixelFormatYuy2, CpuFeatures());
    std::vector<uint8_t> frame(16 * 8 * 2, 128);
    const std::string longName(1000, 'x');
    Play(frame, 9, longName.c_str());
    EXPECT_EQ(channelName.size(), kMaxChannelNameBytes);
    EXPECT_EQ(dispatcher.ProcessFrame(frame.data(), nullptr), 1);
    EXPECT_EQ(notices, 1);
}

TEST_F(FrameDispatch, DisabledFramesStayUnchangedYetChannelsAreFollowed)
{
    dispatcher.StartStream(24, 10, kPixelFormatYuy2, CpuFeatures());
    std::vector<uint8_t> frame = RandomBytes(24 * 10 * 2, 1);
    const auto before = frame;
    Play(frame, 3);
    EXPECT_EQ(frame, before);
    EXPECT_EQ(notices, 1);
}

// ProcEnable is a flag in a 32-bit value: a hand-edited 2 or 4294967295 filters exactly like 1.
TEST_F(FrameDispatch, AnyNonZeroEnableFilters)
{
    settings.SetLiveWndSize(3);
    dispatcher.StartStream(24, 10, kPixelFormatYuy2, CpuFeatures());
    for (const uint32_t enable : {1u, 2u, 4294967295u}) {
        settings.SetLiveEnable(enable);
        std::vector<uint8_t> frame = RandomBytes(24 * 10 * 2, enable);
        const auto expected = reference::ChromaMedian(frame, 24, 10, 3);
        Play(frame, 0);
        EXPECT_EQ(frame, expected) << "ProcEnable " << enable;
    }
}

// Each frame is filtered with the values of its own channel, the one it switches to.
TEST_F(FrameDispatch, AFrameThatSwitchesChannelsUsesTheNewChannelsValues)
{
    settings.LoadSettingsText(SettingsHeader(-100, -100, 0) + SettingsSection("COMMON", 15, 0) +
                                  SettingsSection("1", 3, 1),
                              nullptr);
    dispatcher.StartStream(24, 10, kPixelFormatYuy2, CpuFeatures());
    std::vector<uint8_t> frame = RandomBytes(24 * 10 * 2, 4);
    const auto before = frame;
    Play(frame, 1);
    EXPECT_EQ(frame, reference::ChromaMedian(before, 24, 10, 3));
    frame = before;
    Play(frame, 2);
    EXPECT_EQ(frame, before);
}

TEST_F(FrameDispatch, EnabledYuy2AndRgbFramesMatchTheDefinition)
{
    settings.SetLiveEnable(1);
    for (int count : {1, 2, 3, 7, 15, 30}) {
        SCOPED_TRACE(count);
        settings.SetLiveWndSize(count);
        dispatcher.StartStream(40, 20, kPixelFormatYuy2, CpuFeatures());
        std::vector<uint8_t> frame = RandomBytes(40 * 20 * 2, count);
        const auto expected = reference::ChromaMedian(frame, 40, 20, count);
        Play(frame, 0);
        EXPECT_EQ(frame, expected);

        dispatcher.StartStream(40, 20, kPixelFormatRgb24, CpuFeatures());
        std::vector<uint8_t> rgb = RandomBytes(40 * 20 * 3, 100 + count);
        std::vector<uint8_t> expectedRgb = rgb;
        reference::Yuy2ToRgb(reference::ChromaMedian(reference::RgbToYuy2(rgb, 800), 40, 20, count), expectedRgb,
                             800);
        Play(rgb, 0);
        EXPECT_EQ(rgb, expectedRgb);
    }
}

TEST_F(FrameDispatch, WindowsAndGeometryOutsideTheFilterPassThrough)
{
    settings.SetLiveEnable(1);
    struct Case {
        int32_t width, height, format, count;
    };
    for (const Case& c : {Case{16, 8, kPixelFormatYuy2, 0}, Case{16, 8, kPixelFormatYuy2, 31},
                          Case{16, 8, kPixelFormatYuy2, -5}, Case{16, 7, kPixelFormatYuy2, 15},
                          Case{16, 7, kPixelFormatRgb24, 15}, Case{6, 8, kPixelFormatYuy2, 3},
                          Case{18, 8, 2, 3}, Case{0, 0, kPixelFormatYuy2, 3}, Case{-8, 8, kPixelFormatRgb24, 3}}) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " format " << c.format << " count " << c.count);
        settings.SetLiveWndSize(c.count);
        dispatcher.StartStream(c.width, c.height, c.format, CpuFeatures());
        std::vector<uint8_t> frame = RandomBytes(16 * 8 * 3, 7);
        const auto before = frame;
        EXPECT_EQ(Play(frame, 1), 1);
        EXPECT_EQ(frame, before);
    }
}

TEST_F(FrameDispatch, RestartedAndStoppedStreamsHoldNoBuffers)
{
    settings.SetLiveEnable(1);
    settings.SetLiveWndSize(3);
    dispatcher.StartStream(16, 8, kPixelFormatRgb24, CpuFeatures());
    dispatcher.StartStream(16, 8, kPixelFormatYuy2, CpuFeatures());  // no StopStream between: no leak
    EXPECT_TRUE(dispatcher.CanFilter());
    dispatcher.StopStream();
    EXPECT_FALSE(dispatcher.CanFilter());
    std::vector<uint8_t> frame = RandomBytes(16 * 8 * 2, 2);
    const auto before = frame;
    EXPECT_EQ(Play(frame, 1), 1);
    EXPECT_EQ(frame, before) << "no stream: nothing to filter with";
    dispatcher.StopStream();
}

}  // namespace
