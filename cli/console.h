#pragma once

#include <cstdio>

// The two things the C runtime must be asked about standard streams: Windows opens them in text mode,
// which would turn the stream's bytes 0x1A, 0x0D and 0x0A into something else.
void UseBinaryMode(std::FILE* stream);
bool IsTerminal(std::FILE* stream);
