// kestrova_host: plays raw frames from a file through the plug-in as the Kestrova host does and writes the
// results. Used by the main job and the end-to-end tests.
//
//   kestrova_host --format yuy2|rgb24 --size WxH --in FILE --out FILE
//                 [--dll PATH] [--channels ID:NAME,ID:NAME...] [--switch-every N] [--aligned]
//   kestrova_host --no-frames [--dll PATH]      (Init and Shutdown only: the settings file's round trip)
//
// Channels are given to the frames in turn, switching every N frames (default: every frame keeps the first).

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/channel_checks.h"
#include "host/host_harness.h"

namespace {

struct Channel {
    int64_t id;
    std::string name;
};

struct Options {
    std::string dll;
    int32_t format = -1;
    int32_t width = 0, height = 0;
    std::string in, out;
    std::vector<Channel> channels{{1, "Channel 1"}};
    long switchEvery = 0;
    bool aligned = false;
    bool noFrames = false;
};

bool ParseChannels(const char* text, std::vector<Channel>& channels)
{
    channels.clear();
    std::string all(text);
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(',', start);
        if (end == std::string::npos)
            end = all.size();
        const std::string item = all.substr(start, end - start);
        const size_t colon = item.find(':');
        if (colon == std::string::npos)
            return false;
        channels.push_back({std::strtoll(item.c_str(), nullptr, 10), item.substr(colon + 1)});
        start = end + 1;
    }
    return !channels.empty();
}

bool ParseArgs(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // Switches of the host itself (such as /inst:q) are the plug-in's to read, not ours.
        if (arg.rfind("--", 0) != 0)
            continue;
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--aligned" || arg == "--no-frames") {
            (arg == "--aligned" ? o.aligned : o.noFrames) = true;
            continue;
        }
        if (!value)
            return false;
        ++i;
        if (arg == "--dll")
            o.dll = value;
        else if (arg == "--format")
            o.format = std::strcmp(value, "yuy2") == 0 ? 0 : std::strcmp(value, "rgb24") == 0 ? 1 : std::atoi(value);
        else if (arg == "--size") {
            if (std::sscanf(value, "%dx%d", &o.width, &o.height) != 2)
                return false;
        } else if (arg == "--in")
            o.in = value;
        else if (arg == "--out")
            o.out = value;
        else if (arg == "--channels") {
            if (!ParseChannels(value, o.channels))
                return false;
        } else if (arg == "--switch-every")
            o.switchEvery = std::atol(value);
        else
            return false;
    }
    if (o.noFrames)
        return true;
    return o.format >= 0 && o.width > 0 && o.height > 0 && !o.in.empty() && !o.out.empty();
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseArgs(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: kestrova_host --format yuy2|rgb24 --size WxH --in FILE --out FILE [--dll PATH]\n"
                     "                     [--channels ID:NAME,...] [--switch-every N] [--aligned]\n");
        return 2;
    }
    if (options.dll.empty())
        options.dll = ExeFolder() + "RPX_UVDenoise.dll";

    KestrovaHost host;
    host.misalignStack = !options.aligned;
    if (!host.Load(options.dll)) {
        std::fprintf(stderr, "kestrova_host: cannot load %s\n", options.dll.c_str());
        return 3;
    }
    if (options.noFrames) {
        host.Init(KnowsEveryChannel);
        host.Shutdown();
        return 0;
    }
    FILE* in = std::fopen(options.in.c_str(), "rb");
    FILE* out = std::fopen(options.out.c_str(), "wb");
    if (!in || !out) {
        std::fprintf(stderr, "kestrova_host: cannot open the input or the output file\n");
        return 4;
    }

    const size_t frameBytes = static_cast<size_t>(options.width) * options.height * (options.format == 1 ? 3 : 2);
    std::vector<uint8_t> frame(frameBytes);

    host.Init(KnowsEveryChannel);
    host.StartStream(options.width, options.height, options.format);
    long frames = 0;
    double busySeconds = 0;
    while (std::fread(frame.data(), 1, frameBytes, in) == frameBytes) {
        const size_t which = options.switchEvery > 0 ? (frames / options.switchEvery) % options.channels.size() : 0;
        const Channel& channel = options.channels[which];
        const auto start = std::chrono::steady_clock::now();
        host.ProcessFrame(frame.data(), channel.id, channel.name);
        busySeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fwrite(frame.data(), 1, frameBytes, out);
        ++frames;
    }
    host.StopStream();
    host.Shutdown();
    std::fclose(in);
    std::fclose(out);

    std::printf("frames %ld, %.3f ms per frame in ProcessFrame\n", frames, frames ? busySeconds * 1000.0 / frames : 0.0);
    return 0;
}
