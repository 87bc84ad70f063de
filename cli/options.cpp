#include "cli/options.h"

#include <string>

#include "cli/decimal.h"

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error)
{
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        const bool takesValue = arg.rfind("--window", 0) == 0 || arg.rfind("--threads", 0) == 0;
        if (takesValue) {
            const size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
                arg.resize(equals);
            } else if (arg == "--window" || arg == "--threads") {
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
        } else if (arg == "--threads") {
            if (!ParseDecimal(value, 1, 256, options.threads)) {
                error = "--threads must be a whole number from 1 to 256, not \"" + value + "\"";
                return false;
            }
        } else if (arg == "--fields") {
            options.fields = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
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
    "Usage: uvdenoise [--window N] [--fields] [--threads N] [--quiet] [--help]\n"
    "                 [IN [OUT]]\n"
    "Removes chroma sparkles (impulse colour noise) from a YUV4MPEG2 stream: every\n"
    "U and V sample becomes the median of N samples of its column (N/2 rows below,\n"
    "N-1-N/2 above, edge rows repeated). Every column is filtered; luma, the stream\n"
    "header and every FRAME line pass through unchanged. IN and OUT default to\n"
    "standard input and output (\"-\" names them too).\n"
    "\n"
    "  --window N   window size 1..30, default 15 as in the TV plug-in; 7 removes\n"
    "               sparkles up to 3 rows high and blurs less colour; 1 copies\n"
    "  --fields     filter even and odd rows separately: use it for interlaced\n"
    "               video (It/Ib, TV and tape captures) so that no window mixes\n"
    "               two moments; never on by itself, whatever the header says\n"
    "  --threads N  threads, default one per core; the output is the same for any N\n"
    "  --quiet      no progress line (shown on standard error when it is a terminal)\n"
    "\n"
    "Formats, 8-bit: C422, C420jpeg, C420paldv, C420mpeg2, C420 and no C tag (4:2:0:\n"
    "one chroma row spans two picture rows, so the window reaches twice as far),\n"
    "C411, C444; Cmono passes through. Others (C444alpha, C422p10 ...) are refused.\n"
    "Exit codes: 0 done; 2 bad option, file or stream header, nothing written;\n"
    "1 truncated or damaged frame (the frames before it are written), write error.\n"
    "\n"
    "  ffmpeg -i in.mkv -f yuv4mpegpipe - | uvdenoise --fields --window 7 |\n"
    "    ffmpeg -i - -i in.mkv -map 0:v -map 1:a? -c:a copy out.mkv\n";
