#include "cli/dropped_files.h"

#include <algorithm>
#include <cctype>

#include "cli/report.h"

std::string CleanCopyName(const std::string& input, const std::function<bool(const std::string&)>& taken)
{
    const size_t nameStart = input.find_last_of("/\\") == std::string::npos ? 0 : input.find_last_of("/\\") + 1;
    size_t dot = input.rfind('.');
    // A leading dot starts a name, not an extension.
    if (dot == std::string::npos || dot <= nameStart)
        dot = input.size();
    // A YUV4MPEG2 stream is written as one, so its copy keeps its extension.
    std::string extension = input.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    extension = extension == ".y4m" ? input.substr(dot) : ".mkv";
    const std::string stem = input.substr(0, dot) + "-clean";
    std::string name = stem + extension;
    for (int number = 2; taken(name); ++number)
        name = stem + "-" + std::to_string(number) + extension;
    return name;
}

bool LooksDropped(const std::vector<std::string>& arguments, const std::function<bool(const std::string&)>& exists)
{
    return !arguments.empty() && std::all_of(arguments.begin(), arguments.end(), [&](const std::string& argument) {
        return !argument.empty() && argument[0] != '-' && exists(argument);
    });
}

Options DroppedFileOptions(const std::string& input, const std::string& output)
{
    Options options;
    options.window = 7;
    options.threshold = 18;
    options.input = input;
    options.output = output;
    return options;
}

int CleanDroppedFiles(const std::vector<std::string>& files, const std::function<int(const Options&)>& run,
                      const std::function<bool(const std::string&)>& taken)
{
    int worst = 0;
    for (const std::string& file : files) {
        const std::string output = CleanCopyName(file, taken);
        Report("cleaning " + file + " into " + output);
        const int code = run(DroppedFileOptions(file, output));
        worst = std::max(worst, code);
        if (code == 0)
            Report("done: the clean copy of " + file + " is " + output);
        else if (taken(output))
            Report("not all of " + file + " could be cleaned (see above); what could be is in " + output);
        else
            Report(file + " was not cleaned (see above); nothing was written");
    }
    return worst;
}
