#include "cli/report.h"

#include <atomic>

#include "cli/file_system.h"

namespace {

std::atomic<bool> g_progressLineOpen{false};

// Columns a terminal gives UTF-8 text: one per character, the bytes that continue one take none.
size_t ColumnsOf(const std::string& text, size_t from)
{
    size_t columns = 0;
    for (size_t i = from; i < text.size(); ++i)
        columns += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    return columns;
}

}  // namespace

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
        if (ColumnsOf(wrapped, lineStart) <= kColumns)
            continue;
        const size_t space = wrapped.rfind(' ');
        if (space == std::string::npos || space <= lineStart + indent.size())
            continue;  // a word longer than a line stays whole
        wrapped.replace(space, 1, "\n" + indent);
        lineStart = space + 1;
    }
    return wrapped;
}

void SetProgressLineOpen(bool open)
{
    g_progressLineOpen = open;
    SetLineOpen(open);
}

void Report(const std::string& message)
{
    const bool below = g_progressLineOpen.exchange(false);
    SetLineOpen(false);
    WriteError((below ? "\n" : "") + WrappedMessage("uvdenoise: " + message) + "\n");
}
