#pragma once

#include <cstddef>
#include <string>

// Replaces the file at path by the given bytes so that at every moment the file is either the old one,
// whole, or the new one, whole: the bytes go to a temporary file in the same folder, are flushed to the
// disk, and the temporary file then takes the file's name in one step. Returns false when anything
// failed; the old file is then untouched and no temporary file is left behind. A file marked read-only
// is never replaced.
bool ReplaceFileAtomically(const std::string& path, const char* data, size_t length);

// Called with the temporary file's path after it was written and flushed, right before the replace;
// returning false makes the replace fail there. Lets tests interrupt a save at its riskiest moment.
using BeforeReplaceHook = bool (*)(const std::string& tempPath);
void SetBeforeReplaceHook(BeforeReplaceHook hook);
