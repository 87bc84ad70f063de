#include "cli/options.h"

#include <string>

#include "cli/decimal.h"

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error)
{
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        const bool takesValue = arg.rfind("--window", 0) == 0 || arg.rfind("--threads", 0) == 0 ||
                                arg.rfind("--threshold", 0) == 0;
        if (takesValue) {
            const size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
                arg.resize(equals);
            } else if (arg == "--window" || arg == "--threads" || arg == "--threshold") {
                if (i + 1 == args.size()) {
                    error = arg + " needs a value";
                    return false;
                }
                value = args[++i];
            }
        }
        if (arg == "--window") {
            if (!ParseDecimal(value, kMinMedianWindow, kMaxMedianWindow, options.window)) {
                error = "--window must be a whole number from " + std::to_string(kMinMedianWindow) + " to " +
                        std::to_string(kMaxMedianWindow) + ", not \"" + value + "\"";
                return false;
            }
        } else if (arg == "--threshold") {
            if (!ParseDecimal(value, 1, 255, options.threshold)) {
                error = "--threshold must be a whole number from 1 to 255, not \"" + value + "\"";
                return false;
            }
        } else if (arg == "--threads") {
            if (!ParseDecimal(value, 1, 256, options.threads)) {
                error = "--threads must be a whole number from 1 to 256, not \"" + value + "\"";
                return false;
            }
        } else if (arg == "--fields") {
            options.fields = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "-y") {
            options.replace = true;
        } else if (arg == "--help" || arg == "-h" || arg == "/?") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            files.push_back(arg);
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

const char* const kHelpText =
    "Usage: uvdenoise [--window N] [--threshold T] [--fields] [--threads N]\n"
    "                 [--quiet] [-y] [--help] [--version] [IN [OUT]]\n"
    "Removes chroma sparkles (impulse colour noise) from a YUV4MPEG2 stream: every\n"
    "U and V sample becomes the median of N samples of its column (N/2 rows below,\n"
    "N-1-N/2 above, edge rows repeated). Every column is filtered; luma, the stream\n"
    "header and every FRAME line pass through unchanged. IN and OUT default to\n"
    "standard input and output (\"-\" names them too).\n"
    "\n"
    "  --window N   window size 1..30, default 15 as in the TV plug-in; 7 removes\n"
    "               sparkles up to 3 rows high and blurs less colour; 1 copies\n"
    "  --threshold T  repair mode, T 1..255; start with --window 7 --threshold 18:\n"
    "               a sample more than T from its window's median takes the value\n"
    "               of the clean sample within 3 rows and 2 columns whose 3x3 luma\n"
    "               patch matches best (cost: luma differences + 12 per step per\n"
    "               luma sample covered; ties: nearer, upper, left), else of the\n"
    "               median, if that too is more than T away; nothing else changes.\n"
    "               Thin detail stays: a run of such samples at most 6 rows high\n"
    "               whose luma stands 10 above (or below) the rows around the run\n"
    "               and stays within 4, along 4 or more samples of its colour in\n"
    "               its row and more of its colour than of others (luma per luma\n"
    "               sample covered); on its row it is a clean sample too\n"
    "  --fields     filter even and odd rows separately: use it for interlaced\n"
    "               video (It/Ib, TV and tape captures) so that no window mixes\n"
    "               two moments; never on by itself, whatever the header says\n"
    "  --threads N  threads, default one per core; the output is the same for any N\n"
    "  --quiet      no progress line (shown on standard error when it is a terminal)\n"
    "  -y           replace OUT if it is an existing file (without it: refused)\n"
    "  --version    the version\n"
    "  --help, -h   this text (/? too)\n"
    "\n"
    "OUT is written under a temporary name beside it and renamed at the end, so a\n"
    "failed or interrupted run (Ctrl-C too) leaves no half-written file; the input\n"
    "itself, under any name or link, is refused as OUT. Picture data is never\n"
    "written to a terminal.\n"
    "Formats, 8-bit: C422, C420jpeg, C420paldv, C420mpeg2, C420 and no C tag (4:2:0:\n"
    "one chroma row spans two picture rows, so the window reaches twice as far),\n"
    "C411, C444; Cmono passes through. Others (C444alpha, C422p10 ...) are refused.\n"
    "Exit codes: 0 done; 2 bad option, file or stream header, nothing written;\n"
    "1 truncated or damaged frame (the frames before it are written), write error\n"
    "(the reader of standard output went away, too).\n"
    "\n"
    "  ffmpeg -i in.mkv -f yuv4mpegpipe - | uvdenoise --fields --window 7 |\n"
    "    ffmpeg -i - -i in.mkv -map 0:v -map 1:a? -c:a copy out.mkv\n";
