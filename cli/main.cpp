// uvdenoise: the plug-in's chroma median for recordings: YUV4MPEG2 streams, and video files where the
// build reads them.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/chroma_regions.h"
#include "cli/console.h"
#include "cli/dropped_files.h"
#include "cli/file_system.h"
#include "cli/library_versions.h"
#include "cli/media_file.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "cli/plane_filter_pool.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/y4m_stream.h"
#include "filter/cpu_features.h"
#include "uvd_version.h"

namespace {

enum ExitCode {
    kDone = 0,
    kPartlyDone = 1,     // damaged input or a failed write: what could be written is, or nothing
    kNothingWritten = 2, // a bad option, file or stream: refused before the output exists
};

// Started without a stream, most often by a double click: what the program is and what to type.
std::string UsageForATerminal()
{
    return std::string("uvdenoise: standard input is a terminal, not a YUV4MPEG2 stream.\n"
                       "uvdenoise is a command-line program, without a window of its own: open a\n"
                       "console (a terminal; on Windows Command Prompt or PowerShell) in the folder\n"
                       "of your recording and type, for example\n") +
           (ReadsMediaFiles() ? "  uvdenoise --window 7 --threshold 18 capture.ts clean.mkv\n"
                              : "  uvdenoise --window 7 --threshold 18 capture.y4m clean.y4m\n") +
           "  ffmpeg -i in.mkv -f yuv4mpegpipe - | uvdenoise --fields - out.y4m\n"
           "uvdenoise --help tells more.\n";
}

struct FileCloser {
    void operator()(std::FILE* file) const
    {
        if (file != stdin)
            std::fclose(file);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A file that starts as a YUV4MPEG2 stream, read from its start again; anything but a regular file is read
// as a stream.
bool IsY4mFile(std::FILE* file)
{
    if (!IsRegularFileStream(file))
        return true;
    constexpr std::string_view kMagic = "YUV4MPEG2";
    char start[kMagic.size()];
    const size_t got = std::fread(start, 1, sizeof start, file);
    std::rewind(file);
    return std::string_view(start, got) == kMagic;
}

// Read, filter, write, report: the job, whatever the reader and the writer are.
int FilterAll(FrameReader& reader, FrameWriter& writer, PictureFormat format, bool fields, Progress& progress,
              const Options& options)
{
    const int threads = options.threads > 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    std::unique_ptr<PictureFilter> pool;
    std::vector<uint8_t> frame;
    // Each picture is filtered at its own size: a recording's size or chroma format can change mid-stream.
    const auto prepare = [&](const PictureFormat& next) {
        pool.reset();
        format = next;
        frame.resize(format.FrameBytes());
        pool = ChromaFilterFor(frame.data(), format, fields, threads,
                               {options.window, options.threshold, progress.Shown(), CpuFeatures()});
    };
    try {
        prepare(format);
    } catch (const std::bad_alloc&) {
        Report("not enough memory for " + std::to_string(format.width) + "x" + std::to_string(format.height) +
               " frames; nothing written");
        return kNothingWritten;
    } catch (const std::system_error& failure) {
        Report("cannot start " + std::to_string(threads) + " threads (" + failure.what() +
               "): --threads sets fewer; nothing written");
        return kNothingWritten;
    }
    switch (writer.Start()) {
    case StartResult::kStarted:
        break;
    case StartResult::kNotCreated:
        return kNothingWritten;
    case StartResult::kWriteFailed:
        return kPartlyDone;
    }
    uint64_t pictures = 0, changedSamples = 0, chromaSamples = 0;
    ReadResult read;
    while ((read = reader.Read(frame.data())) == ReadResult::kPicture || read == ReadResult::kNewFormat) {
        if (read == ReadResult::kNewFormat) {
            prepare(reader.NextFormat());
            continue;
        }
        changedSamples += pool->Filter();
        chromaSamples += 2 * format.Chroma().Samples();
        if (!writer.Write(frame.data()))
            return kPartlyDone;
        progress.Picture(++pictures);
    }
    progress.Finish(pictures, changedSamples, chromaSamples);
    // Damaged input keeps the pictures before it (or around it) written.
    if (!writer.Finish() || read == ReadResult::kStopped || reader.DamagedPictures() > 0)
        return kPartlyDone;
    return kDone;
}

int Run(const Options& options)
{
    if (options.input == "-" && IsTerminal(stdin)) {
        WriteError(UsageForATerminal());
        WaitIfTheConsoleIsOurOwn();
        return kNothingWritten;
    }
    std::string error;
    // A folder opens for reading on POSIX systems, and would be read as an empty stream.
    if (options.input != "-" && KindOfPath(options.input) == PathKind::kFolder) {
        Report("cannot read " + options.input + (ReadsMediaFiles() ? " as video" : "") + ": it is a folder");
        return kNothingWritten;
    }
    File in(options.input == "-" ? stdin : OpenForReading(options.input, error));
    if (!in) {
        Report("cannot open " + options.input + ": " + error);
        return kNothingWritten;
    }
    OutputFile out;
    if (!out.Check(options.output, options.replace, in.get(), error)) {
        Report(error);
        return kNothingWritten;
    }
    const bool shown = !options.quiet && IsTerminal(stderr);
    MediaJob job;
    const MediaOpen opened = options.input != "-" && ReadsMediaFiles() && !IsY4mFile(in.get())
                                 ? OpenMediaJob(options, out, job, error)
                                 : MediaOpen::kNotMedia;
    if (opened == MediaOpen::kRefused) {
        Report(error);
        return kNothingWritten;
    }
    if (opened == MediaOpen::kOpened) {
        Progress progress(shown, job.expectedPictures);
        progress.Note(job.stream);
        progress.Note(std::string(job.fields ? "fields filtered apart" : "whole pictures filtered") + " (" +
                      job.fieldsReason + ")");
        return FilterAll(*job.reader, *job.writer, job.format, job.fields, progress, options);
    }
    const std::string refusal = Y4mOutputRefusal(options.output);
    if (!refusal.empty()) {
        Report(refusal);
        return kNothingWritten;
    }
    Y4mReader reader(in.get(), options.input == "-" ? "standard input" : options.input);
    if (!reader.ReadHeader(error)) {
        Report(error);
        return kNothingWritten;
    }
    Y4mWriter writer(reader, out);
    Progress progress(shown, 0);
    return FilterAll(reader, writer, reader.Format(), options.fields == Fields::kApart, progress, options);
}

// A job whose failure inside the program is reported like any other.
int RunReported(const Options& options)
{
    try {
        return Run(options);
    } catch (const std::bad_alloc&) {
        Report("not enough memory for a frame");
        return kPartlyDone;
    } catch (const std::exception& failure) {
        Report(std::string("stopped: ") + failure.what());
        return kPartlyDone;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    UseBinaryMode(stdin);
    UseBinaryMode(stdout);
    ReportBrokenPipesAsWriteErrors();
    const std::vector<std::string> arguments = CommandLineArguments(argc, argv);
    const auto exists = [](const std::string& path) { return KindOfPath(path) != PathKind::kMissing; };
    if (ConsoleIsOurOwn() && LooksDropped(arguments, exists)) {
        const int code = CleanDroppedFiles(arguments, RunReported, exists);
        WaitIfTheConsoleIsOurOwn();
        return code;
    }
    Options options;
    std::string error;
    if (!ParseOptions(arguments, options, error)) {
        Report(error + " (uvdenoise --help tells more)");
        return kNothingWritten;
    }
    if (options.help) {
        std::fputs(HelpText().c_str(), stdout);
        return kDone;
    }
    if (options.version) {
        std::fputs("uvdenoise " UVD_VERSION_RELEASE "\n" UVD_LEGAL_COPYRIGHT "\n", stdout);
        if (const std::string libraries = LibraryVersions(); !libraries.empty())
            std::fputs((libraries + "\n").c_str(), stdout);
        return kDone;
    }
    return RunReported(options);
}
