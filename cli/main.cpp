// uvdenoise: the plug-in's chroma median for recordings, as a YUV4MPEG2 pipe filter.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "cli/console.h"
#include "cli/options.h"
#include "cli/plane_filter_pool.h"
#include "cli/y4m_format.h"
#include "filter/cpu_features.h"

namespace {

enum ExitCode { kDone = 0, kBadFrame = 1, kBadSetup = 2 };

void Report(const std::string& message) { std::fprintf(stderr, "uvdenoise: %s\n", message.c_str()); }

struct FileCloser {
    void operator()(std::FILE* file) const
    {
        if (file != stdin && file != stdout)
            std::fclose(file);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Reads one header line, newline included, counting the bytes read into `offset`.
enum class LineResult { kLine, kEndOfInput, kCutShort, kTooLong };
LineResult ReadLine(std::FILE* in, std::string& line, uint64_t& offset)
{
    line.clear();
    for (;;) {
        const int c = std::getc(in);
        if (c == EOF)
            return line.empty() ? LineResult::kEndOfInput : LineResult::kCutShort;
        ++offset;
        line += static_cast<char>(c);
        if (c == '\n')
            return LineResult::kLine;
        if (line.size() == kMaxHeaderLineBytes)
            return LineResult::kTooLong;
    }
}

// The chroma planes of a frame as the filter takes them, whole or as two fields each, with the luma they
// cover: a field's chroma covers the same field of the luma plane.
std::vector<PlaneRegion> ChromaRegions(uint8_t* frame, const Y4mStreamFormat& format, bool fields)
{
    std::vector<PlaneRegion> regions;
    const PlaneGeometry chroma = format.Chroma();
    const PlaneGeometry luma = format.Luma();
    const int32_t shiftX = format.chroma.shiftX, shiftY = format.chroma.shiftY;
    uint8_t* plane = frame + luma.Bytes();
    for (int p = 0; p < 2 && chroma.width > 0; ++p, plane += chroma.Bytes()) {
        if (fields) {
            for (int32_t field = 0; field < 2; ++field) {
                const LumaCover cover{frame + field * luma.width, 2 * ptrdiff_t{luma.width}, luma.width,
                                      (luma.height + 1 - field) / 2, shiftX, shiftY};
                regions.push_back({plane + field * chroma.width, 2 * ptrdiff_t{chroma.width}, chroma.width,
                                   (chroma.height + 1 - field) / 2, cover});
            }
        } else {
            const LumaCover cover{frame, luma.width, luma.width, luma.height, shiftX, shiftY};
            regions.push_back({plane, chroma.width, chroma.width, chroma.height, cover});
        }
    }
    return regions;
}

class Progress {
public:
    explicit Progress(bool shown) : m_shown(shown) {}
    bool Shown() const { return m_shown; }
    void Frame(uint64_t frames)
    {
        if (m_shown && Clock::now() - m_last >= std::chrono::milliseconds(500))
            Print(frames);
    }
    void Finish(uint64_t frames, uint64_t changedSamples)
    {
        if (m_shown) {
            Print(frames, ", " + std::to_string(changedSamples) + " chroma samples changed");
            std::fputc('\n', stderr);
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    void Print(uint64_t frames, const std::string& more = "")
    {
        m_last = Clock::now();
        const double seconds = std::chrono::duration<double>(m_last - m_start).count();
        std::fprintf(stderr, "\ruvdenoise: %llu frames, %.1f frames/s%s ", static_cast<unsigned long long>(frames),
                     seconds > 0 ? frames / seconds : 0.0, more.c_str());
        std::fflush(stderr);
    }
    bool m_shown;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_last = m_start;
};

int Run(const Options& options)
{
    File in(options.input == "-" ? stdin : std::fopen(options.input.c_str(), "rb"));
    if (!in) {
        Report("cannot open " + options.input + ": " + std::strerror(errno));
        return kBadSetup;
    }
    uint64_t offset = 0;
    std::string line;
    const LineResult headerRead = ReadLine(in.get(), line, offset);
    if (headerRead != LineResult::kLine) {
        Report(headerRead == LineResult::kEndOfInput ? "empty input, no YUV4MPEG2 stream header"
               : headerRead == LineResult::kTooLong  ? "stream header longer than 65536 bytes: \"" + Quoted(line) + "\""
                                                     : "input ends inside the stream header: \"" + Quoted(line) + "\"");
        return kBadSetup;
    }
    Y4mStreamFormat format;
    std::string error;
    if (!ParseStreamHeader(std::string_view(line).substr(0, line.size() - 1), format, error)) {
        Report(error);
        return kBadSetup;
    }
    File out(options.output == "-" ? stdout : std::fopen(options.output.c_str(), "wb"));
    if (!out) {
        Report("cannot create " + options.output + ": " + std::strerror(errno));
        return kBadSetup;
    }

    const int threads = options.threads > 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    std::vector<uint8_t> frame(format.FrameBytes());
    Progress progress(!options.quiet && IsTerminal(stderr));
    PlaneFilterPool pool(threads, {options.window, options.threshold, progress.Shown(), CpuFeatures()},
                         ChromaRegions(frame.data(), format, options.fields));
    uint64_t changedSamples = 0;

    auto written = [&](const void* bytes, size_t size) {
        return std::fwrite(bytes, 1, size, out.get()) == size;
    };
    if (!written(line.data(), line.size())) {
        Report(std::string("cannot write the output: ") + std::strerror(errno));
        return kBadFrame;
    }
    uint64_t frames = 0;
    for (;;) {
        const uint64_t frameOffset = offset;
        const std::string where = "frame " + std::to_string(frames + 1) + " at byte offset " + std::to_string(frameOffset);
        const std::string before = "; frames written before it: " + std::to_string(frames);
        const LineResult frameRead = ReadLine(in.get(), line, offset);
        if (frameRead == LineResult::kEndOfInput)
            break;
        if (frameRead != LineResult::kLine || !IsFrameHeader(std::string_view(line).substr(0, line.size() - 1))) {
            Report(frameRead == LineResult::kCutShort ? "input ends inside the header of " + where + before
                                                      : where + " does not start with a FRAME line: \"" + Quoted(line) +
                                                            "\"" + before);
            progress.Finish(frames, changedSamples);
            std::fflush(out.get());
            return kBadFrame;
        }
        const size_t got = std::fread(frame.data(), 1, frame.size(), in.get());
        offset += got;
        if (got != frame.size()) {
            Report("input ends inside " + where + " (" + std::to_string(got) + " of " + std::to_string(frame.size()) +
                   " picture bytes)" + before);
            progress.Finish(frames, changedSamples);
            std::fflush(out.get());
            return kBadFrame;
        }
        changedSamples += pool.Filter();
        if (!written(line.data(), line.size()) || !written(frame.data(), frame.size())) {
            Report(std::string("cannot write the output: ") + std::strerror(errno));
            return kBadFrame;
        }
        progress.Frame(++frames);
    }
    progress.Finish(frames, changedSamples);
    if (std::fflush(out.get()) != 0 || std::ferror(out.get())) {
        Report(std::string("cannot write the output: ") + std::strerror(errno));
        return kBadFrame;
    }
    return kDone;
}

}  // namespace

int main(int argc, char** argv)
{
    UseBinaryMode(stdin);
    UseBinaryMode(stdout);
    Options options;
    std::string error;
    if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        Report(error + " (uvdenoise --help tells more)");
        return kBadSetup;
    }
    if (options.help) {
        std::fputs(kHelpText, stdout);
        return kDone;
    }
    try {
        return Run(options);
    } catch (const std::bad_alloc&) {
        Report("not enough memory for a frame");
        return kBadFrame;
    }
}
