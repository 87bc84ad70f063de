#pragma once

// Files dropped on the Windows program, opened with it or given to a shortcut: the program runs in a console
// of its own, and each file is cleaned with the recommended settings into NAME-clean.mkv beside it.

#include <functional>
#include <string>
#include <vector>

#include "cli/options.h"

// The clean copy's name beside `input`: NAME-clean.mkv (NAME-clean.y4m for a .y4m file), or
// NAME-clean-2.mkv, -3, ... while `taken` says a name is in use, so that nothing already there is replaced.
// Both / and \ end a folder's name.
std::string CleanCopyName(const std::string& input, const std::function<bool(const std::string&)>& taken);

// Explorer passes the names of existing files and nothing else. Anything that looks like an option, or a
// name with no file (an OUT still to be written), means the arguments were typed, or given by a program that
// started this one in a console of its own.
bool LooksDropped(const std::vector<std::string>& arguments, const std::function<bool(const std::string&)>& exists);

// What a dropped file is cleaned with: the settings the guide recommends, fields as the file says.
Options DroppedFileOptions(const std::string& input, const std::string& output);

// Cleans each file in turn through `run` (the program's job for one IN and OUT), saying where each one went
// or that it was not cleaned; returns the worst of `run`'s exit codes.
int CleanDroppedFiles(const std::vector<std::string>& files, const std::function<int(const Options&)>& run,
                      const std::function<bool(const std::string&)>& taken);
