#include "platform/atomic_file.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <vector>

#include "platform/save_decision.h"
#include "platform/temp_file_name.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::atomic<BeforeReplaceHook> g_beforeReplace{nullptr};
std::atomic<FlushHook> g_flushHook{nullptr};
std::atomic<unsigned> g_tempCounter{0};

// Names already taken (left over by an earlier crash, say) are stepped over; this many is plenty.
constexpr int kTempNameAttempts = 16;

enum class CreateStatus { Created, NameTaken, Failed };

bool FlushAllowed()
{
    FlushHook hook = g_flushHook.load();
    return hook == nullptr || hook();
}

#if defined(_WIN32)

using NativeFile = HANDLE;
// What the temporary file takes over from the old one. Read-only never: such a file is not replaced.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

struct TargetState {
    SaveTargetFacts facts;
    bool exists = false;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
};

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

// The write probe opens the file as an in-place write would, sharing everything so that it disturbs no
// holder; the link count comes from that handle, the reparse flag from the name itself.
TargetState ProbeSaveTarget(const std::string& path, const std::string& tempPath)
{
    TargetState state;
    DWORD attributes = GetFileAttributesA(path.c_str());
    HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        state.facts.writeDenied = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    } else {
        BY_HANDLE_FILE_INFORMATION info;
        state.facts.hardLinked = GetFileInformationByHandle(probe, &info) && info.nNumberOfLinks > 1;
        CloseHandle(probe);
    }
    // A file that may be written but not deleted (the folder's delete-child right counts too) cannot be
    // replaced, nor could a temporary file that takes its access list be removed again.
    HANDLE deleteProbe = CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (deleteProbe == INVALID_HANDLE_VALUE)
        state.facts.deleteDenied = GetLastError() == ERROR_ACCESS_DENIED;
    else
        CloseHandle(deleteProbe);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        state.exists = true;
        state.attributes = attributes & kKeptAttributes ? attributes & kKeptAttributes : FILE_ATTRIBUTE_NORMAL;
        state.facts.writeDenied |= (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0;
        state.facts.reparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }
    state.facts.tempNameTooLong = tempPath.size() >= MAX_PATH;
    return state;
}

CreateStatus CreateTempFile(const std::string& path, const TargetState& target, NativeFile& file)
{
    file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, target.attributes, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        return CreateStatus::Created;
    DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateStatus::NameTaken
                                                                       : CreateStatus::Failed;
}

bool WriteAll(NativeFile file, const char* data, size_t length)
{
    while (length > 0) {
        DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written != chunk)
            return false;
        data += chunk;
        length -= chunk;
    }
    return true;
}

bool Flush(NativeFile file) { return FlushAllowed() && FlushFileBuffers(file) != 0; }
bool CloseFile(NativeFile file) { return CloseHandle(file) != 0; }

bool MoveOver(const std::string& from, const std::string& to)
{
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// The temporary file takes the old file's access list before it takes its name. ReplaceFile would do
// this on Windows, but Wine's copies nothing and leaves a file of its own behind when it fails, and on
// Windows one of its failures leaves the name without a file. A rename has no such failure.
bool KeepAccessList(const std::string& path, const std::string& tempPath, const TargetState& target)
{
    if (!target.exists)
        return true;
    DWORD size = 0;
    GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    if (size == 0)
        return false;
    std::vector<char> descriptor;
    try {
        descriptor.resize(size);
    } catch (const std::exception&) {
        return false;  // the temporary file exists: no exception may leave it behind
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size) ||
        !GetSecurityDescriptorControl(descriptor.data(), &control, &revision))
        return false;
    SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION;
    if (control & SE_DACL_PROTECTED)
        what |= PROTECTED_DACL_SECURITY_INFORMATION;
    return SetFileSecurityA(tempPath.c_str(), what, descriptor.data()) != 0;
}

// Opening an existing file keeps its attributes, access list and links; the new text is written over
// the old before the rest is cut off, so a failure midway never leaves less than either text.
bool WriteInPlace(const std::string& path, const char* data, size_t length)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = WriteAll(file, data, length) && SetEndOfFile(file) && Flush(file);
    return CloseFile(file) && written;
}

void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

struct FindHandle {
    HANDLE handle;
    ~FindHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            FindClose(handle);
    }
};

// A crash or power failure between making a temporary file and the rename leaves it behind. Each one
// goes only if it can be opened sharing nothing, so none that another process still has open (another
// host sharing the settings file included); the handle deletes it as it closes, leaving no moment in
// which someone else could open it first. Folders and links are never what a save makes.
void RemoveLeftoverTempFiles(const std::string& path)
{
    const size_t nameAt = path.find_last_of("\\/") + 1;
    const std::string_view fileName = std::string_view(path).substr(nameAt);
    WIN32_FIND_DATAA found;
    FindHandle search{FindFirstFileA((path + ".~*").c_str(), &found)};
    if (search.handle == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
            !IsTempNameFor(found.cFileName, fileName))
            continue;
        HANDLE leftover = CreateFileA((path.substr(0, nameAt) + found.cFileName).c_str(), DELETE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (leftover != INVALID_HANDLE_VALUE)
            CloseHandle(leftover);
    } while (FindNextFileA(search.handle, &found));
}

#else

using NativeFile = int;

struct TargetState {
    SaveTargetFacts facts;
    bool exists = false;
    mode_t mode = 0;
};

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

// A symbolic link stands for a reparse point, permission bits for attributes; a file without its owner's
// write bit counts as refusing writing even for a user who could override it.
TargetState ProbeSaveTarget(const std::string& path, const std::string&)
{
    TargetState state;
    struct stat info;
    state.facts.reparsePoint = lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
    if (stat(path.c_str(), &info) == 0) {
        state.exists = true;
        state.mode = info.st_mode & 07777;
        state.facts.hardLinked = info.st_nlink > 1;
        state.facts.writeDenied = !S_ISREG(info.st_mode) || (info.st_mode & S_IWUSR) == 0;
    }
    int probe = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (probe >= 0)
        close(probe);
    else
        state.facts.writeDenied |= errno != ENOENT;
    return state;
}

CreateStatus CreateTempFile(const std::string& path, const TargetState& target, NativeFile& file)
{
    file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file >= 0) {
        if (target.exists)
            fchmod(file, target.mode);
        return CreateStatus::Created;
    }
    return errno == EEXIST ? CreateStatus::NameTaken : CreateStatus::Failed;
}

bool WriteAll(NativeFile file, const char* data, size_t length)
{
    while (length > 0) {
        ssize_t written = write(file, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

bool Flush(NativeFile file) { return FlushAllowed() && fsync(file) == 0; }
bool CloseFile(NativeFile file) { return close(file) == 0; }

// The rename is durable only once the folder's own entry list is on the disk. Best effort: the file
// has its new contents already, whatever happens here.
void SyncFolderOf(const std::string& path)
{
    try {
        size_t slash = path.find_last_of('/');
        std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
        int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (handle >= 0) {
            fsync(handle);
            close(handle);
        }
    } catch (const std::exception&) {
    }
}

bool MoveOver(const std::string& from, const std::string& to)
{
    if (rename(from.c_str(), to.c_str()) != 0)
        return false;
    SyncFolderOf(to);
    return true;
}

// Permission bits went with the temporary file's creation; there is no further list to keep.
bool KeepAccessList(const std::string&, const std::string&, const TargetState&) { return true; }

bool WriteInPlace(const std::string& path, const char* data, size_t length)
{
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (file < 0)
        return false;
    bool written = WriteAll(file, data, length) && ftruncate(file, static_cast<off_t>(length)) == 0 && Flush(file);
    return CloseFile(file) && written;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

// Nothing here shows that no other process holds a file open, so leftover temporary files stay.
void RemoveLeftoverTempFiles(const std::string&) {}

#endif

std::string NextTempPath(const std::string& path)
{
    return TempPathFor(path, CurrentProcessId(), g_tempCounter.fetch_add(1));
}

// Leaves no temporary file behind, unless the process ends on the way.
ReplaceOutcome ReplaceThroughTemp(const std::string& path, const TargetState& target, std::string tempPath,
                                  const char* data, size_t length)
{
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt, tempPath = NextTempPath(path)) {
        NativeFile file;
        CreateStatus status = CreateTempFile(tempPath, target, file);
        if (status == CreateStatus::NameTaken)
            continue;
        if (status == CreateStatus::Failed)
            return ReplaceOutcome::TempNotMade;

        bool written = WriteAll(file, data, length) && Flush(file);
        written = CloseFile(file) && written;
        BeforeReplaceHook hook = g_beforeReplace.load();
        ReplaceOutcome outcome = !written                                   ? ReplaceOutcome::TempNotWritten
                                 : !KeepAccessList(path, tempPath, target)  ? ReplaceOutcome::AccessListNotKept
                                 : hook != nullptr && !hook(tempPath)       ? ReplaceOutcome::Interrupted
                                 : MoveOver(tempPath, path)                 ? ReplaceOutcome::Replaced
                                                                            : ReplaceOutcome::RefusedNameKept;
        if (outcome != ReplaceOutcome::Replaced)
            RemoveFile(tempPath);
        return outcome;
    }
    return ReplaceOutcome::TempNotMade;
}

SaveOutcome InPlace(const std::string& path, const char* data, size_t length)
{
    return WriteInPlace(path, data, length) ? SaveOutcome::WrittenInPlace : SaveOutcome::Failed;
}

SaveOutcome Save(const std::string& path, const char* data, size_t length)
{
    std::string tempPath = NextTempPath(path);
    TargetState target = ProbeSaveTarget(path, tempPath);
    switch (ChooseSaveWay(target.facts)) {
    case SaveWay::LeaveAlone:
        return SaveOutcome::LeftAlone;
    case SaveWay::WriteInPlace:
        return InPlace(path, data, length);
    case SaveWay::Replace:
        break;
    }
    ReplaceOutcome outcome = ReplaceThroughTemp(path, target, tempPath, data, length);
    if (outcome == ReplaceOutcome::Replaced)
        return SaveOutcome::Replaced;
    return FallBackToWritingInPlace(outcome) ? InPlace(path, data, length) : SaveOutcome::Failed;
}

}  // namespace

SaveOutcome ReplaceFileOrWriteInPlace(const std::string& path, const char* data, size_t length)
{
    SaveOutcome outcome = SaveOutcome::Failed;
    try {
        outcome = Save(path, data, length);
    } catch (const std::exception&) {
        // Only a temporary file's name can fail to allocate, and never while that file exists.
        return SaveOutcome::Failed;
    }
    if (outcome == SaveOutcome::Replaced || outcome == SaveOutcome::WrittenInPlace) {
        try {
            RemoveLeftoverTempFiles(path);
        } catch (const std::exception&) {
            // The save itself succeeded; the leftovers wait for the next one.
        }
    }
    return outcome;
}

void SetBeforeReplaceHook(BeforeReplaceHook hook) { g_beforeReplace.store(hook); }

void SetFlushHook(FlushHook hook) { g_flushHook.store(hook); }
