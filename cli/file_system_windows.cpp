#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <cwchar>

#include "cli/file_system.h"
#include "cli/windows_text.h"

namespace {

// The temporary file the console control handler removes, and what it says; the handler runs on a thread
// of its own. The final name is shorter than the temporary one, so the message fits when the path does.
wchar_t g_temporaryPath[32768];
wchar_t g_interruptedWide[32768 + 64];
char g_interruptedUtf8[3 * 32768 + 64];
volatile LONG g_temporaryArmed = 0;
volatile LONG g_lineOpen = 0;  // the message's leading newline is written only then

BOOL WINAPI RemoveTemporaryOnControl(DWORD)
{
    // The file was opened with FILE_SHARE_DELETE: it goes when the process ends and closes it.
    if (g_temporaryArmed) {
        DeleteFileW(g_temporaryPath);
        // A console shows the wide text as typed; a redirected standard error receives UTF-8.
        const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
        DWORD written;
        const wchar_t* wide = g_interruptedWide + (g_lineOpen ? 0 : 1);
        const char* utf8 = g_interruptedUtf8 + (g_lineOpen ? 0 : 1);
        if (!WriteConsoleW(error, wide, static_cast<DWORD>(std::wcslen(wide)), &written, nullptr))
            WriteFile(error, utf8, static_cast<DWORD>(std::strlen(utf8)), &written, nullptr);
    }
    return FALSE;  // and let the default handler end the process
}

std::string LastErrorText()
{
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide(text ? text : L"", length);
    LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.' || wide.back() == L' '))
        wide.pop_back();
    if (wide.empty())
        wide = L"error " + std::to_wstring(code);
    return Utf8FromWide(wide);
}

// A handle that only asks what the path is, whatever shares it.
class Inspected {
public:
    explicit Inspected(const std::string& path)
        : m_handle(CreateFileW(WideFromUtf8(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr))
    {
    }
    ~Inspected()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    Inspected(const Inspected&) = delete;
    Inspected& operator=(const Inspected&) = delete;
    HANDLE Handle() const { return m_handle; }

private:
    HANDLE m_handle;
};

bool IdentityOfHandle(HANDLE handle, FileIdentity& identity)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handle, &information))
        return false;
    identity = {information.dwVolumeSerialNumber,
                uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow};
    return true;
}

HANDLE HandleOf(std::FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

}  // namespace

PathKind KindOfPath(const std::string& path)
{
    const Inspected inspected(path);
    if (inspected.Handle() == INVALID_HANDLE_VALUE)
        return PathKind::kMissing;  // creating it will tell why, if it cannot be created
    if (GetFileType(inspected.Handle()) != FILE_TYPE_DISK)
        return PathKind::kOther;
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(inspected.Handle(), &information) &&
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return PathKind::kFolder;
    return PathKind::kRegularFile;
}

bool IdentityOfStream(std::FILE* stream, FileIdentity& identity) { return IdentityOfHandle(HandleOf(stream), identity); }

bool IdentityOfPath(const std::string& path, FileIdentity& identity)
{
    const Inspected inspected(path);
    return IdentityOfHandle(inspected.Handle(), identity);
}

bool IsRegularFileStream(std::FILE* stream) { return GetFileType(HandleOf(stream)) == FILE_TYPE_DISK; }

std::FILE* OpenForReading(const std::string& path, std::string& error)
{
    std::FILE* file = _wfopen(WideFromUtf8(path).c_str(), L"rb");
    if (!file)
        error = std::strerror(errno);
    return file;
}

std::FILE* OpenForWritingInPlace(const std::string& path, std::string& error)
{
    std::FILE* file = _wfopen(WideFromUtf8(path).c_str(), L"wb");
    if (!file)
        error = std::strerror(errno);
    return file;
}

std::FILE* CreateNewFile(const std::string& path, bool& taken, std::string& error)
{
    const HANDLE handle = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    taken = handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS;
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastErrorText();
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    std::FILE* file = descriptor >= 0 ? _fdopen(descriptor, "wb") : nullptr;
    if (!file) {
        error = std::strerror(errno);
        if (descriptor >= 0)
            _close(descriptor);
        else
            CloseHandle(handle);
        DeleteFileW(WideFromUtf8(path).c_str());
    }
    return file;
}

unsigned long ProcessNumber() { return GetCurrentProcessId(); }

bool RemoveOnInterrupt(const std::string& path, const std::string& finalPath)
{
    static const bool installed = SetConsoleCtrlHandler(RemoveTemporaryOnControl, TRUE);
    (void)installed;
    g_temporaryArmed = 0;
    const std::wstring wide = WideFromUtf8(path);
    if (wide.size() >= sizeof g_temporaryPath / sizeof g_temporaryPath[0])
        return false;
    std::memcpy(g_temporaryPath, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    const std::string message = "\nuvdenoise: interrupted: " + finalPath + " not written\n";
    const std::wstring wideMessage = WideFromUtf8(message);
    std::memcpy(g_interruptedUtf8, message.c_str(), message.size() + 1);
    std::memcpy(g_interruptedWide, wideMessage.c_str(), (wideMessage.size() + 1) * sizeof(wchar_t));
    g_temporaryArmed = 1;
    return true;
}

void ForgetOnInterrupt() { g_temporaryArmed = 0; }

void SetLineOpen(bool open) { g_lineOpen = open; }

bool RenameOver(const std::string& from, const std::string& to, bool replace, bool& taken, std::string& error)
{
    taken = false;
    if (MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0))
        return true;
    const DWORD failure = GetLastError();
    taken = failure == ERROR_ALREADY_EXISTS || failure == ERROR_FILE_EXISTS;
    error = LastErrorText();
    return false;
}

void RemoveFile(const std::string& path) { DeleteFileW(WideFromUtf8(path).c_str()); }

// The C runtime reports a pipe without a reader as EINVAL; the system's code says what happened.
std::string LastWriteError()
{
    const DWORD code = GetLastError();
    const bool readerGone = code == ERROR_NO_DATA || code == ERROR_BROKEN_PIPE || code == ERROR_PIPE_NOT_CONNECTED;
    return readerGone ? "Broken pipe" : std::strerror(errno);
}
