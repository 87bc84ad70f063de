// Times the real DLL's ProcessFrame as the host calls it (through the descriptor, misaligned stack and
// all), with filtering turned on through the settings file, next to the in-place memory floor measured in
// the same run. Prints one table; run it under Wine from the win32 tree.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/filter/chroma_bench_frames.h"
#include "bench/filter/memory_floor.h"
#include "host/channel_checks.h"
#include "host/host_harness.h"
#include "tests/common/file_bytes.h"
#include "tests/common/settings_text.h"

namespace {

using Clock = std::chrono::steady_clock;

void WriteSettings(int count, int enable)
{
    CreateDirectoryA((ExeFolder() + "Plugins").c_str(), nullptr);
    WriteFileBytes(ExeFolder() + "Plugins\\RPX_UVDenoise.ini", SettingsSection("COMMON", count, enable));
}

// Microseconds per frame: the fastest of several rounds' means, so a busy neighbour does not count.
template <typename Work>
double MicrosPerFrame(int frames, Work work)
{
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        const auto start = Clock::now();
        for (int i = 0; i < frames; ++i)
            work(i);
        best = std::min(best, std::chrono::duration<double, std::micro>(Clock::now() - start).count() / frames);
    }
    return best;
}

struct Result {
    double hot, hotFloor, cold, coldFloor;
};

Result Measure(const std::string& dll, FrameSize size, int format, int count, int enable)
{
    WriteSettings(count, enable);
    KestrovaHost host;
    if (!host.Load(dll)) {
        std::fprintf(stderr, "cannot load %s\n", dll.c_str());
        std::exit(1);
    }
    host.Init(KnowsEveryChannel);
    host.StartStream(size.width, size.height, format);

    const size_t bytesPerPixel = format == 1 ? 3 : 2;
    // Frames are described to the ring as YUY2 of a width that gives the right byte count.
    const FrameSize ringShape{static_cast<int32_t>(size.width * bytesPerPixel / 2), size.height};
    FrameRing hot(ringShape, 0);
    FrameRing cold(ringShape, 192u << 20);
    const size_t bytes = hot.FrameBytes();
    const int frames = size.width >= 1920 ? 20 : 60;

    Result r{};
    r.hotFloor = MicrosPerFrame(frames, [&](int) { InPlaceReadWritePass(hot.Frame(0), bytes); });
    r.hot = MicrosPerFrame(frames, [&](int) { host.ProcessFrame(hot.Frame(0), 1, "Bench"); });
    r.coldFloor = MicrosPerFrame(frames, [&](int) { InPlaceReadWritePass(cold.NextCold(), bytes); });
    r.cold = MicrosPerFrame(frames, [&](int) { host.ProcessFrame(cold.NextCold(), 1, "Bench"); });

    host.StopStream();
    host.Shutdown();
    return r;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string dll = argc > 1 ? argv[1] : ExeFolder() + "RPX_UVDenoise.dll";
    std::printf("ProcessFrame of the real DLL, microseconds per frame; x floor = over an in-place read-and-write\n"
                "pass of the same frame bytes measured in the same run (hot: one frame; cold: a 192 MB ring)\n\n");
    std::printf("| frame | format | count | hot us | x floor | cold us | x cold floor |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (FrameSize size : {FrameSize{720, 576}, FrameSize{1920, 1080}}) {
        for (int format : {0, 1}) {
            for (int count : {0, 3, 15, 30}) {
                const Result r = Measure(dll, size, format, count ? count : 15, count ? 1 : 0);
                std::printf("| %dx%d | %s | %s | %.2f | %.2f | %.2f | %.2f |\n", size.width, size.height,
                            format ? "RGB24" : "YUY2", count ? std::to_string(count).c_str() : "off", r.hot,
                            r.hot / r.hotFloor, r.cold, r.cold / r.coldFloor);
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
