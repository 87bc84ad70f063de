#include "cli/console.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

void UseBinaryMode(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }
bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }
#else
#include <unistd.h>

void UseBinaryMode(std::FILE*) {}
bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }
#endif
