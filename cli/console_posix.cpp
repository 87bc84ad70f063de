#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include "cli/console.h"

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

void UseBinaryMode(std::FILE*) {}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

int TerminalColumns(std::FILE* stream)
{
    struct winsize size {};
    return ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

void WriteError(const std::string& text) { std::fputs(text.c_str(), stderr); }

bool ConsoleIsOurOwn() { return false; }

void WaitIfTheConsoleIsOurOwn() {}

void ReportBrokenPipesAsWriteErrors() { std::signal(SIGPIPE, SIG_IGN); }

void HoldAFrameInPipes(size_t frameBytes)
{
#if defined(F_SETPIPE_SZ)
    // The kernel's usual 64 KB lets the writer before us run only while we read; room for a frame lets it
    // fill the next one while we filter this one. Unprivileged users may ask for up to 1 MB.
    const int bytes = static_cast<int>(std::min<size_t>(frameBytes, size_t{1} << 20));
    for (std::FILE* stream : {stdin, stdout}) {
        if (fcntl(fileno(stream), F_GETPIPE_SZ) > 0)
            fcntl(fileno(stream), F_SETPIPE_SZ, bytes);
    }
#else
    (void)frameBytes;
#endif
}
