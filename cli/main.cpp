// uvdenoise: the plug-in's chroma median for recordings, as a YUV4MPEG2 pipe filter.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/console.h"
#include "cli/file_system.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "cli/plane_filter_pool.h"
#include "cli/y4m_format.h"
#include "filter/cpu_features.h"
#include "uvd_version.h"

namespace {

enum ExitCode { kDone = 0, kBadFrame = 1, kBadSetup = 2 };

void Report(const std::string& message) { WriteError("uvdenoise: " + message + "\n"); }

constexpr const char* kUsageForATerminal =
    "uvdenoise: standard input is a terminal, not a YUV4MPEG2 stream. Use it as\n"
    "  uvdenoise [options] IN.y4m OUT.y4m\n"
    "  ffmpeg -i in.mkv -f yuv4mpegpipe - | uvdenoise [options] | ffmpeg -i - ...\n"
    "uvdenoise --help tells more.\n";

struct FileCloser {
    void operator()(std::FILE* file) const
    {
        if (file != stdin)
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

// A damaged frame ends the run, and the whole frames before it stay the output.
int KeepTheFramesBefore(OutputFile& out, Progress& progress, uint64_t frames, uint64_t changedSamples)
{
    progress.Finish(frames, changedSamples);
    std::string error;
    if (!out.Finish(error))
        Report(error);
    return kBadFrame;
}

int Run(const Options& options)
{
    if (options.input == "-" && IsTerminal(stdin)) {
        WriteError(kUsageForATerminal);
        WaitIfTheConsoleIsOurOwn();
        return kBadSetup;
    }
    std::string error;
    File in(options.input == "-" ? stdin : OpenForReading(options.input, error));
    if (!in) {
        Report("cannot open " + options.input + ": " + error);
        return kBadSetup;
    }
    OutputFile out;
    if (!out.Check(options.output, options.replace, in.get(), error)) {
        Report(error);
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
    if (!ParseStreamHeader(std::string_view(line).substr(0, line.size() - 1), format, error)) {
        Report(error);
        return kBadSetup;
    }

    // Everything that can fail before the first frame is done before the output exists.
    const int threads = options.threads > 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    Progress progress(!options.quiet && IsTerminal(stderr));
    std::unique_ptr<PlaneFilterPool> pool;
    std::vector<uint8_t> frame;
    try {
        frame.resize(format.FrameBytes());
        pool = std::make_unique<PlaneFilterPool>(
            threads, PlaneFilterSettings{options.window, options.threshold, progress.Shown(), CpuFeatures()},
            ChromaRegions(frame.data(), format, options.fields));
    } catch (const std::bad_alloc&) {
        Report("not enough memory for " + std::to_string(format.width) + "x" + std::to_string(format.height) +
               " frames; nothing written");
        return kBadSetup;
    } catch (const std::system_error& failure) {
        Report("cannot start " + std::to_string(threads) + " threads (" + failure.what() +
               "): --threads sets fewer; nothing written");
        return kBadSetup;
    }
    uint64_t changedSamples = 0;
    HoldAFrameInPipes(frame.size());
    if (!out.Open(error)) {
        Report(error);
        return kBadSetup;
    }

    auto written = [&](const void* bytes, size_t size) {
        return std::fwrite(bytes, 1, size, out.Stream()) == size;
    };
    if (!written(line.data(), line.size())) {
        Report("cannot write the output: " + LastWriteError());
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
                   : frameRead == LineResult::kTooLong
                       ? where + " has a FRAME line longer than 65536 bytes: \"" + Quoted(line) + "\"" + before
                       : where + " does not start with a FRAME line: \"" + Quoted(line) + "\"" + before);
            return KeepTheFramesBefore(out, progress, frames, changedSamples);
        }
        const size_t got = std::fread(frame.data(), 1, frame.size(), in.get());
        offset += got;
        if (got != frame.size()) {
            Report("input ends inside " + where + " (" + std::to_string(got) + " of " + std::to_string(frame.size()) +
                   " picture bytes)" + before);
            return KeepTheFramesBefore(out, progress, frames, changedSamples);
        }
        changedSamples += pool->Filter();
        if (!written(line.data(), line.size()) || !written(frame.data(), frame.size())) {
            Report("cannot write the output: " + LastWriteError());
            return kBadFrame;
        }
        progress.Frame(++frames);
    }
    progress.Finish(frames, changedSamples);
    if (!out.Finish(error)) {
        Report(error);
        return kBadFrame;
    }
    return kDone;
}

}  // namespace

int main(int argc, char** argv)
{
    UseBinaryMode(stdin);
    UseBinaryMode(stdout);
    ReportBrokenPipesAsWriteErrors();
    Options options;
    std::string error;
    if (!ParseOptions(CommandLineArguments(argc, argv), options, error)) {
        Report(error + " (uvdenoise --help tells more)");
        return kBadSetup;
    }
    if (options.help) {
        std::fputs(kHelpText, stdout);
        return kDone;
    }
    if (options.version) {
        std::fputs("uvdenoise " UVD_VERSION_RELEASE "\n" UVD_LEGAL_COPYRIGHT "\n", stdout);
        return kDone;
    }
    try {
        return Run(options);
    } catch (const std::bad_alloc&) {
        Report("not enough memory for a frame");
        return kBadFrame;
    } catch (const std::exception& failure) {
        Report(std::string("stopped: ") + failure.what());
        return kBadFrame;
    }
}
