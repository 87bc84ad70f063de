#include "cli/options.h"

#include <algorithm>
#include <string>

#include "cli/decimal.h"
#include "filter/chroma_repair_plane.h"

namespace {

enum class OptionId { kWindow, kThreshold, kFields, kNoFields, kEncoder, kEncoderOptions, kVideoStream, kThreads, kQuiet, kReplace,
                      kVersion, kHelp };

// One row per option: the parser reads its names, value and range here, and --help prints them (the manual
// page's OPTIONS are checked against --help, both ways, ranges and defaults included).
struct OptionRow {
    OptionId id;
    const char* names;  // the first is the one the parser takes in messages
    const char* alias;  // "" when there is none
    const char* value;  // what follows it, "" when nothing does
    int low, high;      // a whole number's range; 0, 0: not a number
    const char* help;   // after the option in --help, lines of at most 61 columns
};

constexpr int kMaxThreads = 256;

constexpr OptionRow kOptions[] = {
    {OptionId::kWindow, "--window", "", "N", kMinMedianWindow, kMaxMedianWindow,
     "window 1..30, default 15 as in the TV plug-in; 7 removes\n"
     "sparkles up to 3 rows high and blurs less colour; 1 copies"},
    {OptionId::kThreshold, "--threshold", "", "T", 1, 255,
     "repair mode, T 1..255; start with --window 7 --threshold 18:\n"
     "a sample more than T from its window's median takes the\n"
     "value of the clean sample within 3 rows and 2 columns whose\n"
     "3x3 luma patch matches best (cost: luma differences + 12 per\n"
     "step per luma sample covered; ties: nearer, upper, left),\n"
     "else of the median, if that too is more than T away;\n"
     "nothing else changes. Thin detail stays: a run of such\n"
     "samples at most 6 rows high whose luma stands 10 above (or\n"
     "below) the rows around the run and stays within 4, along 4\n"
     "or more samples of its colour in its row and more of its\n"
     "colour than of others (luma per luma sample covered); on its\n"
     "row it is a clean sample too. T and the luma figures are in\n"
     "8-bit units, scaled by 2^(depth-8) for deeper samples (x4 at\n"
     "10 bits), so a 10-bit copy is repaired as its 8-bit original"},
    {OptionId::kFields, "--fields", "", "", 0, 0,
     "filter even and odd rows apart (interlaced video), so that no\n"
     "window mixes two moments. Video files: on by itself when the\n"
     "stream says interlaced, or says nothing and its first 25\n"
     "pictures look it; Y4M: never on by itself (It/Ib tags\n"
     "are often wrong)"},
    {OptionId::kNoFields, "--no-fields", "", "", 0, 0, "filter whole pictures, whatever the stream says"},
    {OptionId::kEncoder, "--encoder", "", "NAME", 0, 0,
     "video files: OUT's encoder, by FFmpeg's name; default ffv1\n"
     "(lossless) where the container takes it (.mkv, .avi, .nut),\n"
     "else libx264 (.mp4, .mov, .mpg, .ts)"},
    {OptionId::kEncoderOptions, "--encoder-options", "", "K=V:..", 0, 0,
     "video files: the encoder's options in FFmpeg's words, each\n"
     "over its default: ffv1 level=3:g=1:slices=16:slicecrc=1:\n"
     "context=1; libx264 crf=16:preset=medium; mpeg2video (DVD's\n"
     "rates) b=6000k:maxrate=9000k:bufsize=1835k:g=15; mjpeg\n"
     "flags=+qscale:global_quality=236:strict=unofficial (ffmpeg's\n"
     "q:v 2, TV range kept). A default these options rule out is\n"
     "left out, and named"},
    {OptionId::kVideoStream, "--video-stream", "", "SPEC", 0, 0,
     "video files: the stream to filter, as an FFmpeg stream\n"
     "specifier (3, v:1, p:1101:v); default the one ffmpeg picks,\n"
     "passing over covers and one-picture tracks; with several\n"
     "programmes only the chosen one's streams are copied"},
    {OptionId::kThreads, "--threads", "", "N", 1, kMaxThreads,
     "threads 1..256, default one per core, for the filter and\n"
     "for a video file's decoder and encoder each; the filtered\n"
     "pictures are the same for any N"},
    {OptionId::kQuiet, "--quiet", "", "", 0, 0, "no progress line (on standard error when it is a terminal)"},
    {OptionId::kReplace, "-y", "", "", 0, 0, "replace OUT if it is an existing file (without: refused)"},
    {OptionId::kVersion, "--version", "", "", 0, 0, "the version"},
    {OptionId::kHelp, "--help", "-h", "", 0, 0, "this text (/? too)"},
};

const OptionRow* FindOption(const std::string& name)
{
    for (const OptionRow& row : kOptions)
        if (name == row.names || name == row.alias || (row.id == OptionId::kHelp && name == "/?"))
            return &row;
    return nullptr;
}

std::string BuildHelpText()
{
    std::string text =
        "Usage: uvdenoise [options] IN OUT\n"
        "       ffmpeg ... -f yuv4mpegpipe - | uvdenoise [options] [- OUT] | ffmpeg ...\n"
        "Removes chroma sparkles (impulse colour noise) from recordings: every U and V\n"
        "sample becomes the median of N samples of its column (N/2 rows below, N-1-N/2\n"
        "above, edge rows repeated), or with --threshold only sparkles are repaired.\n"
        "Luma is never filtered; sound, timing and all else are copied (a line says\n"
        "what a container cannot keep). IN and OUT are video files read and written\n"
        "through FFmpeg's libraries (the Linux and 64-bit Windows builds: TS, MPG, MKV,\n"
        "AVI, MP4/MOV, DV, NUT; OUT's container follows its name), or YUV4MPEG2\n"
        "streams (\"-\": standard input or output).\n"
        "\n";
    for (const OptionRow& row : kOptions) {
        constexpr size_t kHelpColumn = 18;
        std::string name = std::string("  ") + row.names + (*row.alias ? std::string(", ") + row.alias : "") +
                           (*row.value ? std::string(" ") + row.value : "");
        name += name.size() < kHelpColumn ? std::string(kHelpColumn - name.size(), ' ')
                                          : "\n" + std::string(kHelpColumn, ' ');
        for (const char* c = row.help; *c; ++c)
            name += *c == '\n' ? "\n" + std::string(kHelpColumn, ' ') : std::string(1, *c);
        text += name + "\n";
    }
    text +=
        "\n"
        "OUT is written under a temporary name beside it and renamed at the end, so a\n"
        "failed or interrupted run (Ctrl-C too) leaves no half-written file; the input\n"
        "itself, under any name or link, is refused as OUT. Picture data is never\n"
        "written to a terminal.\n"
        "Video files: the recording's video stream is filtered and encoded again; every\n"
        "other stream, attachments, chapters and metadata are copied with their\n"
        "timestamps where OUT's container holds them (one left out is named, with the\n"
        "muxer's reason). Where the picture size changes, each picture is filtered at\n"
        "its own size, then scaled to the first. A file that ends early is named with\n"
        "its time, exit code 1. OUT - or *.y4m: the pictures only, as YUV4MPEG2 (a\n"
        "build that reads video files will not write a YUV4MPEG2 IN under a video\n"
        "container's name). Pictures: 8-bit yuv420p, yuv422p, yuv411p, yuv444p,\n"
        "yuvj420p, yuvj422p, yuvj444p, yuyv422, uyvy422.\n"
        "YUV4MPEG2, 8-bit: C422, C420jpeg, C420paldv, C420mpeg2, C420 and no C tag\n"
        "(4:2:0: one chroma row spans two picture rows, so the window reaches twice as\n"
        "far), C411, C444; Cmono passes through. 9 to 16 bits, as ffmpeg writes them\n"
        "(two bytes a sample, little-endian), written back with the same tag: C420p9,\n"
        "C422p9, C444p9 and likewise p10, p12, p14, p16; Cmono9, Cmono10, Cmono12,\n"
        "Cmono14 and Cmono16 pass through. Others (C444alpha ...) are refused.\n"
        "Exit codes: 0 done; 2 bad option, file or stream, nothing written; 1 damaged\n"
        "input (what could be read is written) or a write error.\n"
        "\n"
        "  uvdenoise --window 7 --threshold 18 capture.ts clean.mkv\n"
        "  ffmpeg -i in.mkv -f yuv4mpegpipe - | uvdenoise --fields --window 7 |\n"
        "    ffmpeg -i - -i in.mkv -map 0:v -map \"1:a?\" -c:a copy out.mkv\n";
    return text;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error)
{
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if ((arg.size() < 2 || arg[0] != '-') && arg != "/?") {
            files.push_back(arg);
            continue;
        }
        std::string value;
        const size_t equals = arg.find('=');
        const bool attached = arg.rfind("--", 0) == 0 && equals != std::string::npos;
        if (attached) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
        }
        const OptionRow* row = FindOption(arg);
        if (!row || (attached && !*row->value)) {
            error = "unknown option " + args[i];
            return false;
        }
        if (*row->value && !attached) {
            if (i + 1 == args.size()) {
                error = arg + " needs a value";
                return false;
            }
            value = args[++i];
        }
        int number = 0;
        if (row->high > 0 && !ParseDecimalInRange(value, row->low, row->high, number)) {
            error = std::string(row->names) + " must be a whole number from " + std::to_string(row->low) + " to " +
                    std::to_string(row->high) + ", not \"" + value + "\"";
            return false;
        }
        switch (row->id) {
        case OptionId::kWindow: options.window = number; break;
        case OptionId::kThreshold: options.threshold = number; break;
        case OptionId::kThreads: options.threads = number; break;
        case OptionId::kFields: options.fields = Fields::kApart; break;
        case OptionId::kNoFields: options.fields = Fields::kTogether; break;
        case OptionId::kEncoder: options.encoder = value; break;
        case OptionId::kEncoderOptions: options.encoderOptions = value; break;
        case OptionId::kVideoStream: options.videoStream = value; break;
        case OptionId::kQuiet: options.quiet = true; break;
        case OptionId::kReplace: options.replace = true; break;
        case OptionId::kVersion: options.version = true; break;
        case OptionId::kHelp: options.help = true; break;
        }
    }
    if (files.size() > 2) {
        error = "too many file names: " + files[2];
        return false;
    }
    if (!files.empty())
        options.input = files[0];
    if (files.size() == 2)
        options.output = files[1];
    return true;
}

// The help text spells the window's range and default out.
static_assert(kMinMedianWindow == 1 && kMaxMedianWindow == 30 && kDefaultMedianWindow == 15,
              "--help states the window's range and default: change its text with them");
// --threshold's text spells the repair's reach, step cost and thin-detail limits out.
static_assert(kRepairReachRows == 3 && kRepairReachColumns == 2 && kRepairStepCost == 12,
              "--help states the repair's reach and step cost: change its text with them");
static_assert(kDetailRows == 6 && kDetailLumaContrast == 10 && kDetailLumaSpread == 4 && kDetailAgreeing == 4,
              "--help states what thin detail is: change its text with them");

const std::string& HelpText()
{
    static const std::string text = BuildHelpText();
    return text;
}
