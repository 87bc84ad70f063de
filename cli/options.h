#pragma once

#include <string>
#include <vector>

#include "filter/median_window.h"

struct Options {
    int window = kDefaultMedianWindow;
    int threshold = 0;  // 0: plain median
    bool fields = false;
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
extern const char* const kHelpText;
