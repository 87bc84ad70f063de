#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include "cli/console.h"
#include "cli/windows_text.h"

namespace {

HANDLE HandleOf(std::FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

}  // namespace

std::vector<std::string> CommandLineArguments(int, char**)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
    return arguments;
}

void UseBinaryMode(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

// _isatty is true for every character device, NUL included. GetConsoleMode needs read access, which a
// console opened by name for writing (CON) lacks; writing nothing succeeds on console output alone.
bool IsTerminal(std::FILE* stream)
{
    const HANDLE handle = HandleOf(stream);
    DWORD mode, written;
    return GetConsoleMode(handle, &mode) || WriteConsoleW(handle, L"", 0, &written, nullptr);
}

int TerminalColumns(std::FILE* stream)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    return GetConsoleScreenBufferInfo(HandleOf(stream), &info) ? info.srWindow.Right - info.srWindow.Left + 1 : 0;
}

void WriteError(const std::string& text)
{
    if (IsTerminal(stderr)) {
        const std::wstring wide = WideFromUtf8(text);
        DWORD written;
        WriteConsoleW(HandleOf(stderr), wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        std::fputs(text.c_str(), stderr);
    }
}

bool ConsoleIsOurOwn()
{
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

void WaitIfTheConsoleIsOurOwn()
{
    if (!ConsoleIsOurOwn())
        return;
    WriteError("Press Enter to close this window.\n");
    std::getchar();
}

void ReportBrokenPipesAsWriteErrors() {}

void HoldAFrameInPipes(size_t) {}
