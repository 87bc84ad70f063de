// The Windows console build of uvdenoise against the real DLL: a 4:2:2 picture whose width is a multiple
// of 8 comes out of both the same, whether it goes through files or through binary standard input and
// output (the pictures hold every byte value, 0x0A, 0x0D and 0x1A included, which text mode would mangle).
// And what only Windows brings to the program: wide file names, its devices, its file identities.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/common/plugin_fixture.h"
#include "tests/common/unwrapped.h"

namespace {

constexpr int kWidth = 72, kHeight = 40, kFrames = 3;  // chroma planes 36 wide: a register and a tail
constexpr size_t kLumaBytes = kWidth * kHeight, kChromaBytes = kWidth / 2 * kHeight;
const std::string kHeader = "YUV4MPEG2 W72 H40 F25:1 It A1:1 C422 XYSCSS=422\n";

std::wstring Wide(const std::string& utf8)
{
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                                    static_cast<int>(wide.size())));
    return wide;
}

// Where uvdenoise.exe's standard streams go (UTF-8 paths); empty: the test's own.
struct Streams {
    std::string in, out, err;
};

HANDLE Inherited(const std::string& path, bool write)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return path.empty() ? GetStdHandle(write ? STD_OUTPUT_HANDLE : STD_INPUT_HANDLE)
                        : CreateFileW(Wide(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, &inherit,
                                      write ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr);
}

// Runs uvdenoise.exe with the arguments (UTF-8, as typed after the program name) and gives its exit code.
DWORD RunUvdenoise(const std::string& args, const Streams& streams = {})
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = Inherited(streams.in, false);
    startup.hStdOutput = Inherited(streams.out, true);
    startup.hStdError = streams.err.empty() ? GetStdHandle(STD_ERROR_HANDLE) : Inherited(streams.err, true);
    std::wstring command = L"\"" + Wide(WinePathOf(UVD_UVDENOISE_UNIX_PATH)) + L"\" " + Wide(args);
    PROCESS_INFORMATION process{};
    DWORD code = 999;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    if (!streams.in.empty())
        CloseHandle(startup.hStdInput);
    if (!streams.out.empty())
        CloseHandle(startup.hStdOutput);
    if (!streams.err.empty())
        CloseHandle(startup.hStdError);
    return code;
}

// Planar 4:2:2 (Y, U, V) and YUY2 (Y0 U Y1 V) hold the same samples.
std::vector<uint8_t> PlanarToYuy2(const uint8_t* planar)
{
    std::vector<uint8_t> yuy2(kLumaBytes * 2);
    for (size_t pair = 0; pair < kChromaBytes; ++pair) {
        yuy2[4 * pair + 0] = planar[2 * pair];
        yuy2[4 * pair + 1] = planar[kLumaBytes + pair];
        yuy2[4 * pair + 2] = planar[2 * pair + 1];
        yuy2[4 * pair + 3] = planar[kLumaBytes + kChromaBytes + pair];
    }
    return yuy2;
}

TEST(UvdenoiseConsole, EqualsTheDllFor422WithAWidthThatIsAMultipleOf8)
{
    const std::string folder = ExeFolder();
    const std::string inPath = folder + "in.y4m", outPath = folder + "out.y4m";
    std::vector<std::vector<uint8_t>> frames;
    std::string input = kHeader;
    for (int f = 0; f < kFrames; ++f) {
        frames.push_back(RandomBytes(kLumaBytes + 2 * kChromaBytes, 40 + f));
        input += "FRAME\n" + std::string(frames.back().begin(), frames.back().end());
    }
    WriteFileBytes(inPath, input);

    for (const int window : {2, 3, 5, 7, 15, 30}) {
        fixture::RemoveSettings();
        fixture::WriteSettings(fixture::CommonSettings(window, 1));
        KestrovaHost host;
        ASSERT_TRUE(host.Load(fixture::PluginDllPath()));
        host.Init(KnowsEveryChannel);
        host.StartStream(kWidth, kHeight, 0);
        std::string expected = kHeader;
        for (const std::vector<uint8_t>& planar : frames) {
            std::vector<uint8_t> yuy2 = PlanarToYuy2(planar.data());
            ASSERT_EQ(host.ProcessFrame(yuy2.data(), 1, "One"), 1);
            std::string filtered(planar.begin(), planar.end());
            for (size_t pair = 0; pair < kChromaBytes; ++pair) {
                filtered[kLumaBytes + pair] = static_cast<char>(yuy2[4 * pair + 1]);
                filtered[kLumaBytes + kChromaBytes + pair] = static_cast<char>(yuy2[4 * pair + 3]);
            }
            expected += "FRAME\n" + filtered;
        }
        host.StopStream();
        host.Shutdown();
        host.Unload();

        const std::string args = "--quiet --window " + std::to_string(window);
        for (const bool pipes : {true, false}) {
            SCOPED_TRACE("window " + std::to_string(window) + (pipes ? ", standard input and output" : ", files"));
            DeleteFileA(outPath.c_str());
            const DWORD code = pipes ? RunUvdenoise(args, {inPath, outPath, ""})
                                     : RunUvdenoise(args + " \"" + inPath + "\" \"" + outPath + "\"");
            EXPECT_EQ(code, 0u);
            EXPECT_TRUE(ReadFileBytes(outPath) == expected);
        }
    }
}

enum class Before { kNoOutputFile, kOldOutputFile };
enum class After { kNoOutputFile, kOldOutputFile, kFiltered };

struct WindowsCase {
    const char* name;
    std::string args;
    Before before;
    DWORD exitCode;
    std::string output;       // what standard output starts with
    std::string errorOutput;  // found in standard error, which is redirected: UTF-8
    After after;
};

void WriteByUtf8Name(const std::string& path, const std::string& bytes)
{
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadByUtf8Name(const std::string& path)
{
    std::string bytes(1 << 20, '\0');
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

// What only Windows brings: file names outside any code page, the folder's "Видео" in a message, /?, the
// input through a hard link (same volume serial and file index), NUL, MoveFileExW over an existing file.
TEST(UvdenoiseConsole, TakesWindowsNamesAndDevicesAsTyped)
{
    const std::string folder = ExeFolder() + "Видео\\";
    CreateDirectoryW(Wide(folder).c_str(), nullptr);
    const std::string in = folder + "Запись é Ü.y4m", link = folder + "ссылка.y4m", out = folder + "чистая é.y4m";
    std::string input = kHeader;
    for (int f = 0; f < kFrames; ++f) {
        const std::vector<uint8_t> frame = RandomBytes(kLumaBytes + 2 * kChromaBytes, 60 + f);
        input += "FRAME\n" + std::string(frame.begin(), frame.end());
    }
    const std::string plainIn = ExeFolder() + "plain-in.y4m", plainOut = ExeFolder() + "plain-out.y4m";
    WriteFileBytes(plainIn, input);
    DeleteFileA(plainOut.c_str());
    ASSERT_EQ(RunUvdenoise("--quiet \"" + plainIn + "\" \"" + plainOut + "\""), 0u);
    const std::string filtered = ReadFileBytes(plainOut);
    ASSERT_NE(filtered, input);

    DeleteFileW(Wide(link).c_str());
    WriteByUtf8Name(in, input);
    ASSERT_TRUE(CreateHardLinkW(Wide(link).c_str(), Wide(in).c_str(), nullptr));
    const std::string quotedIn = " \"" + in + "\"", quotedOut = " \"" + out + "\"";
    const Before none = Before::kNoOutputFile;
    const WindowsCase cases[] = {
        {"Unicode names", quotedIn + quotedOut, none, 0, "", "", After::kFiltered},
        {"an existing file without -y", quotedIn + quotedOut, Before::kOldOutputFile, 2, "",
         "output " + out + " exists already", After::kOldOutputFile},
        {"an existing file with -y", "-y" + quotedIn + quotedOut, Before::kOldOutputFile, 0, "", "", After::kFiltered},
        {"the input through a hard link", "-y" + quotedIn + " \"" + link + "\"", none, 2, "",
         "is the input file itself", After::kNoOutputFile},
        {"NUL without -y", quotedIn + " NUL", none, 0, "", "", After::kNoOutputFile},
        {"a missing Cyrillic name", " \"" + folder + "нет.y4m\"" + quotedOut, none, 2, "",
         "cannot open " + folder + "нет.y4m: ", After::kNoOutputFile},
        {"/?", "/?", none, 0, "Usage: uvdenoise", "", After::kNoOutputFile},
    };
    const std::string stdoutPath = ExeFolder() + "stdout.txt", stderrPath = ExeFolder() + "stderr.txt";
    const std::string old = "old bytes";
    for (const WindowsCase& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(Wide(out).c_str());
        if (c.before == Before::kOldOutputFile)
            WriteByUtf8Name(out, old);
        EXPECT_EQ(RunUvdenoise("--quiet " + c.args, {"", stdoutPath, stderrPath}), c.exitCode);
        EXPECT_EQ(ReadFileBytes(stdoutPath).substr(0, c.output.size()), c.output);
        EXPECT_NE(Unwrapped(ReadFileBytes(stderrPath)).find(c.errorOutput), std::string::npos) << ReadFileBytes(stderrPath);
        const bool outputExists = GetFileAttributesW(Wide(out).c_str()) != INVALID_FILE_ATTRIBUTES;
        EXPECT_EQ(outputExists, c.after != After::kNoOutputFile);
        if (c.after != After::kNoOutputFile) {
            EXPECT_TRUE(ReadByUtf8Name(out) == (c.after == After::kFiltered ? filtered : old));
        }
        EXPECT_TRUE(ReadByUtf8Name(in) == input) << "the input changed";
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(Wide(folder + "*.tmp").c_str(), &found);
        EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "a temporary file was left";
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    }
}

}  // namespace
