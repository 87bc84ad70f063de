#pragma once

#include <string>
#include <string_view>

// The temporary files a save makes beside the file it saves are named "<file's name>.~<process id>-<serial>",
// both numbers in lower-case hex as std::to_chars writes them. Making and recognising the names share this
// one rule, so that a later save removes only what an earlier save of the same file could have left.
std::string TempPathFor(const std::string& path, unsigned long processId, unsigned serial);

// Whether name (without its folder) is one that TempPathFor makes for a file named fileName, to the byte.
bool IsTempNameFor(std::string_view name, std::string_view fileName);
