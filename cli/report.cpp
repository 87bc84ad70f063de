#include "cli/report.h"

std::string WrappedMessage(const std::string& text)
{
    constexpr size_t kColumns = 79;
    const std::string indent = "  ";
    std::string wrapped;
    size_t lineStart = 0;  // in `wrapped`
    for (const char c : text) {
        wrapped += c;
        if (c == '\n') {
            lineStart = wrapped.size();
            continue;
        }
        if (wrapped.size() - lineStart <= kColumns)
            continue;
        const size_t space = wrapped.rfind(' ', wrapped.size() - 1);
        if (space == std::string::npos || space <= lineStart + indent.size())
            continue;  // a word longer than a line stays whole
        wrapped.replace(space, 1, "\n" + indent);
        lineStart = space + 1;
    }
    return wrapped;
}
