#include "platform/atomic_file.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <exception>

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
std::atomic<unsigned> g_tempCounter{0};

// Names already taken (left over by an earlier crash, say) are stepped over; this many is plenty.
constexpr int kTempNameAttempts = 16;

enum class CreateStatus { Created, NameTaken, Failed };

#if defined(_WIN32)

using NativeFile = HANDLE;

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

bool IsReadOnlyFile(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

CreateStatus CreateNewFile(const std::string& path, NativeFile& file)
{
    file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        return CreateStatus::Created;
    DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateStatus::NameTaken
                                                                       : CreateStatus::Failed;
}

bool WriteAllAndFlush(NativeFile file, const char* data, size_t length)
{
    while (length > 0) {
        DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written != chunk)
            return false;
        data += chunk;
        length -= chunk;
    }
    return FlushFileBuffers(file) != 0;
}

bool CloseFile(NativeFile file) { return CloseHandle(file) != 0; }

bool MoveOver(const std::string& from, const std::string& to)
{
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

#else

using NativeFile = int;

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

// Mirrors the Windows read-only attribute, so both builds keep a file the user protected.
bool IsReadOnlyFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0;
}

CreateStatus CreateNewFile(const std::string& path, NativeFile& file)
{
    file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file >= 0)
        return CreateStatus::Created;
    return errno == EEXIST ? CreateStatus::NameTaken : CreateStatus::Failed;
}

bool WriteAllAndFlush(NativeFile file, const char* data, size_t length)
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
    return fsync(file) == 0;
}

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

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

#endif

std::string TempPathFor(const std::string& path)
{
    // ".~<process id>-<serial>" in hex, without printf: the DLL carries no formatted-output code.
    char suffix[40] = ".~";
    char* end = std::to_chars(suffix + 2, suffix + 20, CurrentProcessId(), 16).ptr;
    *end++ = '-';
    end = std::to_chars(end, suffix + sizeof suffix, g_tempCounter.fetch_add(1), 16).ptr;
    return path + std::string(suffix, end);
}

bool WriteAndReplace(const std::string& path, const char* data, size_t length)
{
    if (IsReadOnlyFile(path))
        return false;
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        std::string tempPath = TempPathFor(path);
        NativeFile file;
        CreateStatus status = CreateNewFile(tempPath, file);
        if (status == CreateStatus::NameTaken)
            continue;
        if (status == CreateStatus::Failed)
            return false;

        bool written = WriteAllAndFlush(file, data, length);
        bool closed = CloseFile(file);
        BeforeReplaceHook hook = g_beforeReplace.load();
        if (written && closed && (hook == nullptr || hook(tempPath)) && MoveOver(tempPath, path))
            return true;
        RemoveFile(tempPath);
        return false;
    }
    return false;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, const char* data, size_t length)
{
    try {
        return WriteAndReplace(path, data, length);
    } catch (const std::exception&) {
        // Only the temporary file's name can fail to allocate, before anything was created.
        return false;
    }
}

void SetBeforeReplaceHook(BeforeReplaceHook hook) { g_beforeReplace.store(hook); }
