#pragma once

#include <string>

#include "cli/console.h"

// A message as a terminal shows it: lines of at most 79 columns, broken at spaces, each one after the first
// indented by two.
std::string WrappedMessage(const std::string& text);

// One message on standard error, in the program's name, on a line of its own even while the progress line
// is shown.
void Report(const std::string& message);

// Whether the progress line stands on standard error without its newline; messages then start below it.
void SetProgressLineOpen(bool open);
