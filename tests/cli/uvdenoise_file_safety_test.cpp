// What uvdenoise leaves on disk, run by a shell as users run it: the input itself under any name, an
// existing file, devices, a FIFO, terminals, damaged input, write errors, a reader that goes away, Ctrl-C.
// After each run the folder must hold exactly the files named, with exactly the bytes named.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/common/file_bytes.h"
#include "tests/common/plane_reference.h"
#include "tests/common/random_bytes.h"
#include "tests/common/shell.h"
#include "tests/common/temp_folder.h"
#include "tests/common/unwrapped.h"

namespace {

// in.y4m: 8 frames of 128x96 4:2:2, more than a pipe holds. old.y4m: other bytes, an output of before.
enum class Bytes { kInput, kFiltered, kFirstFrameFiltered, kOld };

struct SafetyCase {
    const char* name;
    std::string script;  // bash, in a folder holding in.y4m and old.y4m; $U is uvdenoise
    int exitCode;
    std::string message;
    std::map<std::string, Bytes> files;  // the folder afterwards, old.y4m aside
};

// Waits until the run has created its temporary file, then signals it.
std::string Interrupted(const std::string& signal)
{
    return "set -m; cp old.y4m out.y4m; { head -c 40000 in.y4m; sleep 2; } | $U -y - out.y4m & run=$!\n"
           "for i in $(seq 500); do ls out.y4m.uvdenoise-*.tmp >/dev/null 2>&1 && break; sleep 0.02; done\n"
           "ls out.y4m.uvdenoise-*.tmp >/dev/null || exit 99\n"
           "kill -" + signal + " $run; wait $run";
}

TEST(UvdenoiseFiles, NoRunHarmsTheInputOrLeavesAHalfWrittenFile)
{
    const std::string header = "YUV4MPEG2 W128 H96 F25:1 C422\n";
    const size_t lumaBytes = 128 * 96, frameBytes = 2 * lumaBytes;
    std::mt19937 random(18);
    std::string input = header, filtered = header, firstFrameFiltered;
    for (int f = 0; f < 8; ++f) {
        const std::vector<uint8_t> bytes = RandomBytes(frameBytes, random);
        std::string frame(bytes.begin(), bytes.end());
        input += "FRAME\n" + frame;
        reference::ChromaMedianPlanarFrame(reinterpret_cast<uint8_t*>(frame.data()), lumaBytes, 64, 96, 15, false);
        filtered += "FRAME\n" + frame;
        if (f == 0)
            firstFrameFiltered = filtered;
    }
    const std::map<Bytes, std::string> contents = {{Bytes::kInput, input},
                                                   {Bytes::kFiltered, filtered},
                                                   {Bytes::kFirstFrameFiltered, firstFrameFiltered},
                                                   {Bytes::kOld, "old bytes"}};
    const Bytes in = Bytes::kInput;
    const std::string itself = "is the input file itself (the same file under another name or link); nothing";
    const SafetyCase cases[] = {
        {"the same name", "$U in.y4m in.y4m", 2, "output in.y4m " + itself, {{"in.y4m", in}}},
        {"a hard link", "ln in.y4m link.y4m; $U in.y4m link.y4m", 2, "output link.y4m " + itself,
         {{"in.y4m", in}, {"link.y4m", in}}},
        {"a symbolic link, -y", "ln -s in.y4m link.y4m; $U -y in.y4m link.y4m", 2, itself,
         {{"in.y4m", in}, {"link.y4m", in}}},
        {"standard output appending to the input", "$U in.y4m >> in.y4m", 2,
         "standard output is the input file itself", {{"in.y4m", in}}},
        {"an existing file", "cp old.y4m out.y4m; $U in.y4m out.y4m", 2, "output out.y4m exists already; -y replaces it",
         {{"in.y4m", in}, {"out.y4m", Bytes::kOld}}},
        {"an existing file, -y", "cp old.y4m out.y4m; $U -y in.y4m out.y4m", 0, "",
         {{"in.y4m", in}, {"out.y4m", Bytes::kFiltered}}},
        {"a new file", "$U < in.y4m - out.y4m", 0, "", {{"in.y4m", in}, {"out.y4m", Bytes::kFiltered}}},
        {"a file that appears while the run writes, no -y",
         "{ head -c 40000 in.y4m; for i in $(seq 500); do ls out.y4m.uvdenoise-*.tmp >/dev/null 2>&1 && break; "
         "sleep 0.02; done; cp old.y4m out.y4m; tail -c +40001 in.y4m; } | $U - out.y4m",
         1, "output out.y4m appeared while this run wrote; it was left alone", {{"in.y4m", in}, {"out.y4m", Bytes::kOld}}},
        {"/dev/null, no -y", "$U in.y4m /dev/null", 0, "", {{"in.y4m", in}}},
        {"a FIFO, no -y", "mkfifo fifo; cat fifo > out.y4m & $U in.y4m fifo; code=$?; wait; rm fifo; exit $code", 0,
         "", {{"in.y4m", in}, {"out.y4m", Bytes::kFiltered}}},
        {"a folder", "mkdir out.y4m; $U in.y4m out.y4m; code=$?; rmdir out.y4m; exit $code", 2,
         "cannot write out.y4m: it is a folder", {{"in.y4m", in}}},
        {"a missing folder", "$U in.y4m none/out.y4m", 2, "cannot create none/out.y4m: No such file or directory",
         {{"in.y4m", in}}},
        {"a damaged frame, -y over an old file",
         "cp old.y4m out.y4m; head -c " + std::to_string(firstFrameFiltered.size() + 100) + " in.y4m | $U -y - out.y4m",
         1, "input ends inside frame 2", {{"in.y4m", in}, {"out.y4m", Bytes::kFirstFrameFiltered}}},
        {"a bad header, -y over an old file", "cp old.y4m out.y4m; echo YUV4MPEG2 W0 H8 | $U -y - out.y4m", 2,
         "bad picture size tag W0", {{"in.y4m", in}, {"out.y4m", Bytes::kOld}}},
        {"a full disk", "$U in.y4m /dev/full", 1, "cannot write /dev/full: No space left on device", {{"in.y4m", in}}},
        {"a reader that goes away", "$U in.y4m | head -c 100 > /dev/null; exit ${PIPESTATUS[0]}", 1,
         "cannot write standard output: Broken pipe", {{"in.y4m", in}}},
        {"standard output a terminal", "script -qec '$U in.y4m' /dev/null", 2,
         "picture data is not written to a terminal", {{"in.y4m", in}}},
        {"a terminal named as output", "script -qec '$U in.y4m /dev/tty' /dev/null", 2,
         "picture data is not written to a terminal", {{"in.y4m", in}}},
        {"standard input a terminal", "script -qec '$U' /dev/null < /dev/null", 2,
         "standard input is a terminal, not a YUV4MPEG2 stream", {{"in.y4m", in}}},
        {"a leftover temporary file of this process's number",
         "(head -c 200000 /dev/zero > out.y4m.uvdenoise-$BASHPID.tmp; exec $U in.y4m out.y4m); code=$?\n"
         "rm out.y4m.uvdenoise-*.tmp; exit $code",
         0, "", {{"in.y4m", in}, {"out.y4m", Bytes::kFiltered}}},
        {"Ctrl-C ignored from the start, as a background job's",
         "trap '' INT; { head -c 40000 in.y4m; sleep 1; tail -c +40001 in.y4m; } | $U - out.y4m & run=$!\n"
         "for i in $(seq 500); do ls out.y4m.uvdenoise-*.tmp >/dev/null 2>&1 && break; sleep 0.02; done\n"
         "kill -INT $run; wait $run",
         0, "", {{"in.y4m", in}, {"out.y4m", Bytes::kFiltered}}},
        {"no rename that keeps an existing file: a hard link instead",
         "printf '#include <errno.h>\\nint renameat2(int a, const char* b, int c, const char* d, unsigned e)"
         " { errno = EINVAL; return -1; }\\n' > shim.c; cc -shared -fPIC -o shim.so shim.c\n"
         "LD_PRELOAD=./shim.so ASAN_OPTIONS=verify_asan_link_order=0 $U in.y4m out.y4m; code=$?\n"
         "rm shim.c shim.so; exit $code",
         0, "", {{"in.y4m", in}, {"out.y4m", Bytes::kFiltered}}},
        {"Ctrl-C", Interrupted("INT"), 128 + 2, "", {{"in.y4m", in}, {"out.y4m", Bytes::kOld}}},
        {"a request to terminate", Interrupted("TERM"), 128 + 15, "", {{"in.y4m", in}, {"out.y4m", Bytes::kOld}}},
    };
    for (const SafetyCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TempFolder folder;
        WriteFileBytes(folder.File("in.y4m"), input);
        WriteFileBytes(folder.File("old.y4m"), contents.at(Bytes::kOld));
        WriteFileBytes(folder.File("run.sh"), "export U='" UVD_UVDENOISE "'; cd '" + folder.Path() + "' || exit 98\n" +
                                                  c.script + "\n");
        const int code = Shell("bash '" + folder.File("run.sh") + "' > '" + folder.File("log.txt") + "' 2>&1");
        const std::string log = Unwrapped(ReadFileBytes(folder.File("log.txt")));
        EXPECT_EQ(code, c.exitCode) << log;
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
        std::vector<std::string> names = folder.Names(), expected = {"in.y4m", "log.txt", "old.y4m", "run.sh"};
        for (const auto& [name, bytes] : c.files)
            expected.push_back(name);
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        EXPECT_EQ(names, expected);
        for (const auto& [name, bytes] : c.files)
            EXPECT_TRUE(ReadFileBytes(folder.File(name)) == contents.at(bytes)) << name;
    }
}

}  // namespace
