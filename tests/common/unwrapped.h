#pragma once

// uvdenoise's messages as single lines: it breaks them at spaces to fit 79 columns and indents what follows
// by two.

#include <string>

inline std::string Unwrapped(std::string text)
{
    for (size_t at = text.find("\n  "); at != std::string::npos; at = text.find("\n  ", at))
        text.replace(at, 3, " ");
    return text;
}
