#pragma once

// uvdenoise's messages as single lines: it breaks them at spaces to fit 79 columns and indents what follows
// by two (a Windows console's standard error ends its lines with \r\n).

#include <string>

inline std::string Unwrapped(std::string text)
{
    for (const std::string lineBreak : {"\r\n  ", "\n  "})
        for (size_t at = text.find(lineBreak); at != std::string::npos; at = text.find(lineBreak, at))
            text.replace(at, lineBreak.size(), " ");
    return text;
}
