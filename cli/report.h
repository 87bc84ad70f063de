#pragma once

#include <string>

#include "cli/console.h"

// One message on standard error, in the program's name.
inline void Report(const std::string& message) { WriteError("uvdenoise: " + message + "\n"); }
