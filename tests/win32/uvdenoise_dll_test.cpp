// The Windows console build of uvdenoise against the real DLL: a 4:2:2 picture whose width is a multiple
// of 8 comes out of both the same, whether it goes through files or through binary standard input and
// output (the pictures hold every byte value, 0x0A, 0x0D and 0x1A included, which text mode would mangle).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/common/plugin_fixture.h"

namespace {

constexpr int kWidth = 72, kHeight = 40, kFrames = 3;  // chroma planes 36 wide: a register and a tail
constexpr size_t kLumaBytes = kWidth * kHeight, kChromaBytes = kWidth / 2 * kHeight;
const std::string kHeader = "YUV4MPEG2 W72 H40 F25:1 It A1:1 C422 XYSCSS=422\n";

// Runs uvdenoise.exe with the arguments, standard input and output redirected to the files given
// (none: the console's own), and gives its exit code.
DWORD RunUvdenoise(const std::string& args, const std::string& stdinPath, const std::string& stdoutPath)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    HANDLE in = INVALID_HANDLE_VALUE, out = INVALID_HANDLE_VALUE;
    if (!stdinPath.empty()) {
        in = CreateFileA(stdinPath.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
        out = CreateFileA(stdoutPath.c_str(), GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS, 0, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about "literal" + std::string here.
    std::string command = "\"";
    command += WinePathOf(UVD_UVDENOISE_UNIX_PATH);
    command += "\" " + args;
    PROCESS_INFORMATION process{};
    DWORD code = 999;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    if (in != INVALID_HANDLE_VALUE) {
        CloseHandle(in);
        CloseHandle(out);
    }
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
            const DWORD code = pipes ? RunUvdenoise(args, inPath, outPath)
                                     : RunUvdenoise(args + " \"" + inPath + "\" \"" + outPath + "\"", "", "");
            EXPECT_EQ(code, 0u);
            EXPECT_TRUE(ReadFileBytes(outPath) == expected);
        }
    }
}

}  // namespace
