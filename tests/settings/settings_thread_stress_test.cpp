// The two threads that come into the module, hammering the shared settings the way the host and the dialog
// do: the video thread switches channels and filters frames under the lock, the user-interface thread opens,
// edits (single atomic stores, no lock), toggles the mode, cancels and confirms. Run under ThreadSanitizer.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "filter/cpu_features.h"
#include "plugin/frame_dispatch.h"
#include "plugin/host_records.h"

namespace {

std::atomic<int> notices{0};
void CountNotice() { notices.fetch_add(1, std::memory_order_relaxed); }

TEST(SettingsThreadStress, VideoAndDialogThreadsKeepTheTablesConsistent)
{
    CCriticalSection lock;
    CChannelSettings settings(lock);
    std::string channelName;
    FrameDispatcher dispatcher(settings, lock, channelName, CountNotice);
    settings.LoadSettings(SettingsLocation{}, nullptr);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    std::atomic<bool> stop{false};
    long frames = 0, edits = 0;

    std::thread video([&] {
        const int width = 24, height = 32;
        dispatcher.StartStream(width, height, kPixelFormatYuy2, CpuFeatures());
        std::vector<uint8_t> frame(width * height * 2);
        std::mt19937 rng(1);
        int64_t nextNewChannel = 1000;
        while (!stop.load(std::memory_order_relaxed)) {
            for (auto& b : frame)
                b = static_cast<uint8_t>(rng());
            const int64_t id = rng() % 16 == 0 ? nextNewChannel++ : static_cast<int64_t>(rng() % 6);
            const std::string name = "Channel " + std::to_string(id);
            const FrameChannel channel{id, name.c_str()};
            EXPECT_EQ(dispatcher.ProcessFrame(frame.data(), &channel), 1);
            ++frames;
        }
        dispatcher.StopStream();
    });

    std::mt19937 rng(2);
    while (std::chrono::steady_clock::now() < deadline) {
        settings.BeginEdit();
        for (int i = 0; i < 20; ++i) {
            settings.SetLiveWndSize(1 + static_cast<int32_t>(rng() % 30));
            settings.SetLiveEnable(rng() % 2);
            if (rng() % 5 == 0)
                settings.SetIndividual(static_cast<int>(rng() % 2));
            {
                CSingleLock hold(lock);  // the dialog's refresh
                const int32_t size = settings.LiveWndSize();
                EXPECT_GE(size, 1);
                EXPECT_LE(size, 30);
                (void)settings.IsIndividual();
                const std::string shown = channelName;
                (void)shown;
            }
            ++edits;
        }
        if (rng() % 2)
            settings.RevertEdit();  // "Отмена"
    }
    stop = true;
    video.join();

    settings.RevertEdit();
    CSingleLock hold(lock);
    const auto& records = settings.Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0].ChannelId, 0);
    EXPECT_EQ(records.size(), settings.Snapshot().size());
    ASSERT_GE(settings.CurrentIndex(), 0);
    ASSERT_LT(static_cast<size_t>(settings.CurrentIndex()), records.size());
    const ChannelRecord& inForce = settings.IsIndividual() ? records[settings.CurrentIndex()] : records[0];
    EXPECT_EQ(settings.LiveWndSize(), inForce.MedianWndSize);
    EXPECT_EQ(settings.LiveEnable(), inForce.ProcEnable);
    for (size_t i = 1; i < records.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(records[i].ChannelId, records[j].ChannelId) << "a channel recorded twice";
    std::printf("frames %ld, dialog edits %ld, channel notices %d, channels %zu\n", frames, edits, notices.load(),
                records.size());
    EXPECT_GT(frames, 0);
}

}  // namespace
