#pragma once

// Which way a settings save goes, decided from facts about the file and its folder alone, so that the
// rule is the same on every system and can be checked without one. The crash-safe replace is the normal
// way; a plain write in place is the fallback wherever the replace would do worse than it: lose the
// file's other names or its link, or not save at all.

// Gathered right before the save.
struct SaveTargetFacts {
    bool writeDenied = false;      // read-only, an access list that refuses writing, or a holder that shares no writing
    bool hardLinked = false;       // the file has more than one name
    bool reparsePoint = false;     // the name is a symbolic link or junction, not the file itself
    bool deleteDenied = false;     // an access list lets the file be written but not deleted, so no other
                                   // file may take its name
    bool tempNameTooLong = false;  // the temporary file's longer name would not fit the system's path limit
};

enum class SaveWay {
    LeaveAlone,    // an in-place write could not open the file either
    Replace,       // temporary file beside it, flushed, then takes the name in one step
    WriteInPlace,  // every name and link keeps pointing at the one file, which gets the new text
};

SaveWay ChooseSaveWay(const SaveTargetFacts& facts);

// How the replace ended. The replace itself is one rename that either happens whole or not at all, so
// no way of failing leaves the name without a file.
enum class ReplaceOutcome {
    Replaced,
    Interrupted,        // stopped between writing and replacing, as a crash would: the old file stays
    TempNotMade,        // the folder refuses new files, or the name is refused
    TempNotWritten,     // the disk filled up or failed: an in-place write would shorten the file instead
    AccessListNotKept,  // the old file's access list could not be read or given to the temporary file
    RefusedNameKept,    // the rename was refused (another program holds the file open, an access list
                        // denies deleting it) and the old file still has its name
};

// After a replace that did not happen: whether to write in place; otherwise the old file stays as it is.
bool FallBackToWritingInPlace(ReplaceOutcome outcome);
