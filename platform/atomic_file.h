#pragma once

#include <cstddef>
#include <string>

// Saves the given bytes as the whole file at path, never doing worse than a plain write in place.
// Normally the bytes go to a temporary file in the same folder, are flushed to the disk, and the
// temporary file then takes the file's name in one step, keeping the old file's attributes (and, on
// Windows, its access list): at every moment the file is the old one, whole, or the new one, whole.
// Where that would cut the file off from its other names, or could not be done at all (the folder
// refuses new files, the longer name does not fit, another program holds the file open), the bytes are
// written in place instead, without that guarantee. A file that refuses writing is left alone.
// A save that fails removes its temporary file; one cut off by a crash or a power failure between
// making it and the rename leaves it. On Windows, the next save of the same file that succeeds removes
// such leftovers: only names of the save's own pattern for that file (platform/temp_file_name.h), and
// only files it can open sharing nothing, so none that another process has open.
// NothingToSave is the callers' own answer, for a save that had no text to write: this function never
// gives it.
enum class SaveOutcome { Replaced, WrittenInPlace, LeftAlone, Failed, NothingToSave };
SaveOutcome ReplaceFileOrWriteInPlace(const std::string& path, const char* data, size_t length);

// Called with the temporary file's path after it was written and flushed, right before the replace;
// returning false stops the save there, as a crash would. Lets tests interrupt a save at its riskiest moment.
using BeforeReplaceHook = bool (*)(const std::string& tempPath);
void SetBeforeReplaceHook(BeforeReplaceHook hook);

// Called before each flush of written bytes to the disk; returning false makes that flush fail, as a
// failing disk would. Lets tests show that a save whose bytes may not have reached the disk keeps the old file.
using FlushHook = bool (*)();
void SetFlushHook(FlushHook hook);
