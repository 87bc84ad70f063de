#include "platform/temp_file_name.h"

#include <charconv>

namespace {

constexpr std::string_view kMark = ".~";

// Without printf: the DLL carries no formatted-output code.
template <typename Number>
std::string_view Hex(Number value, char (&digits)[2 * sizeof(Number)])
{
    const char* end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    return std::string_view(digits, static_cast<size_t>(end - digits));
}

// Only the spelling Hex gives: lower-case digits, no leading zero, no more than the type holds.
template <typename Number>
bool IsHexOf(std::string_view text)
{
    if (text.empty() || text.size() > 2 * sizeof(Number) || (text[0] == '0' && text.size() > 1))
        return false;
    for (const char c : text) {
        if ((c < '0' || c > '9') && (c < 'a' || c > 'f'))
            return false;
    }
    return true;
}

}  // namespace

std::string TempPathFor(const std::string& path, unsigned long processId, unsigned serial)
{
    char pidDigits[2 * sizeof processId];
    char serialDigits[2 * sizeof serial];
    std::string temp = path;
    temp.append(kMark).append(Hex(processId, pidDigits)).append(1, '-').append(Hex(serial, serialDigits));
    return temp;
}

bool IsTempNameFor(std::string_view name, std::string_view fileName)
{
    if (name.substr(0, fileName.size()) != fileName || name.substr(fileName.size(), kMark.size()) != kMark)
        return false;
    const std::string_view numbers = name.substr(fileName.size() + kMark.size());
    const size_t dash = numbers.find('-');
    return dash != std::string_view::npos && IsHexOf<unsigned long>(numbers.substr(0, dash)) &&
           IsHexOf<unsigned>(numbers.substr(dash + 1));
}
