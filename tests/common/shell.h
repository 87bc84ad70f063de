#pragma once

// Runs a command line in the shell (POSIX only) and gives its exit code; -1 when it did not exit by itself.

#include <sys/wait.h>

#include <cstdlib>
#include <string>

inline int Shell(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
