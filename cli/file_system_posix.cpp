#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli/file_system.h"

namespace {

// The temporary file a signal handler removes, and what it says: fixed buffers, as the handler may not
// allocate.
char g_temporaryPath[4096];
char g_interruptedMessage[4096 + 64];
volatile std::sig_atomic_t g_temporaryArmed = 0;
volatile std::sig_atomic_t g_lineOpen = 0;  // the message's leading newline is written only then

extern "C" void RemoveTemporaryAndStop(int signalNumber)
{
    if (g_temporaryArmed) {
        unlink(g_temporaryPath);
        const char* message = g_interruptedMessage + (g_lineOpen ? 0 : 1);
        const ssize_t written = write(STDERR_FILENO, message, std::strlen(message));
        (void)written;
    }
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

FileIdentity IdentityOf(const struct stat& status)
{
    return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

}  // namespace

PathKind KindOfPath(const std::string& path)
{
    struct stat status;
    // A symbolic link to nothing is a name taken all the same: the final rename would not replace it.
    if (stat(path.c_str(), &status) != 0)
        return lstat(path.c_str(), &status) == 0 ? PathKind::kRegularFile : PathKind::kMissing;
    if (S_ISREG(status.st_mode))
        return PathKind::kRegularFile;
    return S_ISDIR(status.st_mode) ? PathKind::kFolder : PathKind::kOther;
}

bool IdentityOfStream(std::FILE* stream, FileIdentity& identity)
{
    struct stat status;
    if (fstat(fileno(stream), &status) != 0)
        return false;
    identity = IdentityOf(status);
    return true;
}

bool IdentityOfPath(const std::string& path, FileIdentity& identity)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return false;
    identity = IdentityOf(status);
    return true;
}

bool IsRegularFileStream(std::FILE* stream)
{
    struct stat status;
    return fstat(fileno(stream), &status) == 0 && S_ISREG(status.st_mode);
}

std::FILE* OpenForReading(const std::string& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        error = std::strerror(errno);
    return file;
}

std::FILE* OpenForWritingInPlace(const std::string& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        error = std::strerror(errno);
    return file;
}

std::FILE* CreateNewFile(const std::string& path, bool& taken, std::string& error)
{
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    taken = descriptor < 0 && errno == EEXIST;
    if (descriptor < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    std::FILE* file = fdopen(descriptor, "wb");
    if (!file) {
        error = std::strerror(errno);
        close(descriptor);
        unlink(path.c_str());
    }
    return file;
}

unsigned long ProcessNumber() { return static_cast<unsigned long>(getpid()); }

bool RemoveOnInterrupt(const std::string& path, const std::string& finalPath)
{
    // A signal ignored from the start (a background job's Ctrl-C) stays ignored.
    static const bool installed = [] {
        for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP})
            if (std::signal(signalNumber, RemoveTemporaryAndStop) == SIG_IGN)
                std::signal(signalNumber, SIG_IGN);
        return true;
    }();
    (void)installed;
    g_temporaryArmed = 0;
    // The final name is shorter than the temporary one, so the message fits when the path does.
    if (path.size() >= sizeof g_temporaryPath)
        return false;
    std::memcpy(g_temporaryPath, path.c_str(), path.size() + 1);
    const std::string message = "\nuvdenoise: interrupted: " + finalPath + " not written\n";
    std::memcpy(g_interruptedMessage, message.c_str(), message.size() + 1);
    g_temporaryArmed = 1;
    return true;
}

void ForgetOnInterrupt() { g_temporaryArmed = 0; }

void SetLineOpen(bool open) { g_lineOpen = open; }

bool RenameOver(const std::string& from, const std::string& to, bool replace, bool& taken, std::string& error)
{
    taken = false;
    if (replace ? std::rename(from.c_str(), to.c_str()) == 0
                : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    // A file system without the no-replace rename: a hard link is made only where no file is.
    if (!replace && (errno == EINVAL || errno == ENOSYS) && link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return true;
    }
    taken = errno == EEXIST;
    error = std::strerror(errno);
    return false;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

std::string LastWriteError() { return std::strerror(errno); }
