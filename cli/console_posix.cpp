#include <unistd.h>

#include <csignal>

#include "cli/console.h"

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

void UseBinaryMode(std::FILE*) {}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

void WriteError(const std::string& text) { std::fputs(text.c_str(), stderr); }

void WaitIfTheConsoleIsOurOwn() {}

void ReportBrokenPipesAsWriteErrors() { std::signal(SIGPIPE, SIG_IGN); }
