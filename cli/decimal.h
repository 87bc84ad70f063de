#pragma once

#include <string_view>

// A whole decimal number within [low, high]: digits only (no sign, blanks or trailing text), at most six.
inline bool ParseDecimalInRange(std::string_view text, int low, int high, int& value)
{
    if (text.empty() || text.size() > 6)
        return false;
    int parsed = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        parsed = parsed * 10 + (c - '0');
    }
    if (parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}
