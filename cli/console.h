#pragma once

// The standard streams and the command line as the operating system hands them over (console_posix.cpp,
// console_windows.cpp). Text is UTF-8 inside the program.

#include <cstdio>
#include <string>
#include <vector>

// The arguments after the program name. Windows: the wide command line, so that any file name arrives.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Windows opens standard streams in text mode, which would turn the stream's bytes 0x1A, 0x0D and 0x0A
// into something else.
void UseBinaryMode(std::FILE* stream);
// A terminal (a console on Windows), not a file, pipe or device such as NUL.
bool IsTerminal(std::FILE* stream);

// The columns of the terminal (console window) on `stream`; 0 when it is none or does not say.
int TerminalColumns(std::FILE* stream);

// Writes a message to standard error. A Windows console shows it as typed, whatever its code page; a
// redirected standard error receives UTF-8.
void WriteError(const std::string& text);

// A console opened for this program alone: started from Explorer (files dropped on it, "Open with", a
// shortcut), not typed in a console. Never on POSIX systems.
bool ConsoleIsOurOwn();
// Such a console closes with the program: there, waits for Enter so that what was written can be read.
// Anywhere else it returns at once.
void WaitIfTheConsoleIsOurOwn();

// Writing into a pipe whose reader has gone fails like any write error instead of ending the program.
void ReportBrokenPipesAsWriteErrors();

// Pipes on standard input and output large enough for a frame where the system allows it, so that the
// programs on either side run while this one filters.
void HoldAFrameInPipes(size_t frameBytes);
