#pragma once

// The operating system's files as uvdenoise needs them, behind thin calls (file_system_posix.cpp,
// file_system_windows.cpp). Paths are UTF-8; on failure a call fills `error` with the system's reason.

#include <cstdint>
#include <cstdio>
#include <string>

// What a path names before anything is written to it.
enum class PathKind {
    kMissing,
    kRegularFile,
    kFolder,
    kOther,  // a device, FIFO or pipe (/dev/null, NUL, a terminal): written in place, never replaced
};
PathKind KindOfPath(const std::string& path);

// Which file an open stream or a path is, whatever name reached it (links included): device and inode,
// or volume serial number and file index.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};
bool IdentityOfStream(std::FILE* stream, FileIdentity& identity);
bool IdentityOfPath(const std::string& path, FileIdentity& identity);
bool IsRegularFileStream(std::FILE* stream);

std::FILE* OpenForReading(const std::string& path, std::string& error);
// Opens something that is not a regular file (a device, a FIFO) for writing as it is.
std::FILE* OpenForWritingInPlace(const std::string& path, std::string& error);
// Creates a file that did not exist; sets `taken` when a file of that name does.
std::FILE* CreateNewFile(const std::string& path, bool& taken, std::string& error);
// This process's number, which tells its temporary files from those of others.
unsigned long ProcessNumber();
// Until ForgetOnInterrupt, Ctrl-C or a request to terminate removes `path` before the program ends and
// says that `finalPath` was not written. False, and nothing is removed, when `path` is too long for that.
bool RemoveOnInterrupt(const std::string& path, const std::string& finalPath);
void ForgetOnInterrupt();
// Whether standard error's last line is still open (the progress line): the interrupt's message then
// starts a line of its own.
void SetLineOpen(bool open);
// Renames `from` to `to`. A file of that name is replaced only when `replace`; otherwise the rename fails
// and sets `taken`, even for a file that appeared after the name was checked.
bool RenameOver(const std::string& from, const std::string& to, bool replace, bool& taken, std::string& error);
void RemoveFile(const std::string& path);
// Why the last write to a stream failed; a reader that went away is "Broken pipe" everywhere.
std::string LastWriteError();
