#pragma once

#include <string>
#include <vector>

#include "filter/median_window.h"

// Whether fields are filtered apart: kAuto follows a video file's stream, and means apart never for Y4M.
enum class Fields { kAuto, kApart, kTogether };

struct Options {
    int window = kDefaultMedianWindow;
    int threshold = 0;  // 0: plain median
    Fields fields = Fields::kAuto;
    std::string encoder;         // a video file's encoder by FFmpeg's name; "": the container's default
    std::string encoderOptions;  // FFmpeg's key=value pairs, ':' between them
    std::string videoStream;     // a video file's stream to filter, as an FFmpeg stream specifier; "": chosen
    int threads = 0;  // 0: one per core
    bool quiet = false;
    bool replace = false;  // -y: an output file that exists may be replaced
    bool help = false;
    bool version = false;
    std::string input = "-";   // "-": standard input
    std::string output = "-";  // "-": standard output
};

// Parses the arguments after the program name. On failure returns false and sets `error` to one sentence.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

// The --help text: everything about the program in one screen.
const std::string& HelpText();
