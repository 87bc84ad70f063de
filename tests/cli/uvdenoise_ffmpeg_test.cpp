// uvdenoise between two real ffmpeg processes: clips ffmpeg writes come back, read by ffmpeg, equal to the
// plain definition applied to the planes ffmpeg itself decoded; hand-made streams; every promised error.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/common/file_bytes.h"
#include "tests/common/plane_reference.h"
#include "tests/common/random_bytes.h"
#include "tests/common/repair_reference.h"
#include "tests/common/shell.h"
#include "tests/common/unwrapped.h"

namespace {

namespace fs = std::filesystem;

const fs::path kWork = UVD_WORK_DIR;

struct Outcome {
    int exitCode;
    std::string stderrText;
};

// uvdenoise with the arguments, standard input from `in`, standard output to `out`.
Outcome RunUvdenoise(const std::string& args, const fs::path& in, const fs::path& out)
{
    const fs::path err = kWork / "stderr.txt";
    const int code = Shell(std::string(UVD_UVDENOISE) + " " + args + " < '" + in.string() + "' > '" + out.string() +
                           "' 2> '" + err.string() + "'");
    return {code, Unwrapped(ReadFileBytes(err.string()))};
}

void Ffmpeg(const std::string& args)
{
    ASSERT_EQ(Shell(std::string(UVD_FFMPEG) + " -nostdin -v error -y " + args), 0) << args;
}

// 14400 as "14,400", as the progress line writes it.
std::string WithThousands(size_t number)
{
    std::string digits = std::to_string(number);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

std::string FirstLine(const std::string& bytes) { return bytes.substr(0, bytes.find('\n') + 1); }

class Uvdenoise : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(kWork); }
};

struct ClipCase {
    const char* pixFmt;
    int shiftX, shiftY;
    const char* field;  // ffmpeg's setfield value
    int window;
    bool fields;
    int threshold = 0;  // 0: the plain median
};

// Every subsampling, progressive and interlaced, filtered whole and by fields, by the plain median and
// by the repair, whose luma cover differs with each; 72x46 leaves tails of every register width in the
// chroma planes.
TEST_F(Uvdenoise, FfmpegClipsComeBackAsTheDefinitionOfTheirPlanes)
{
    const ClipCase cases[] = {
        {"yuv422p", 1, 0, "prog", 15, false}, {"yuv422p", 1, 0, "tff", 7, true},
        {"yuv420p", 1, 1, "prog", 5, false},  {"yuv420p", 1, 1, "tff", 7, true},
        {"yuv411p", 2, 0, "prog", 3, false},  {"yuv411p", 2, 0, "bff", 7, true},
        {"yuv444p", 0, 0, "prog", 30, false}, {"yuv444p", 0, 0, "tff", 4, true},
        {"yuv422p", 1, 0, "tff", 7, true, 30},  {"yuv420p", 1, 1, "prog", 7, false, 40},
        {"yuv420p", 1, 1, "bff", 5, true, 30},  {"yuv411p", 2, 0, "prog", 7, false, 30},
        {"yuv444p", 0, 0, "prog", 3, false, 20},
    };
    const int width = 72, height = 46, frames = 3;
    const fs::path in = kWork / "clip.y4m", out = kWork / "clip-out.y4m", outThreads = kWork / "clip-out-3.y4m";
    const fs::path inRaw = kWork / "clip.raw", outRaw = kWork / "clip-out.raw";
    for (const ClipCase& c : cases) {
        SCOPED_TRACE(std::string(c.pixFmt) + " " + c.field + " window " + std::to_string(c.window) + " threshold " +
                     std::to_string(c.threshold));
        Ffmpeg("-f lavfi -i testsrc=size=72x46:rate=25 -frames " + std::to_string(frames) +
               " -vf noise=alls=60:allf=u,setfield=" + c.field + " -pix_fmt " + c.pixFmt + " -f yuv4mpegpipe '" +
               in.string() + "'");
        const std::string args = "--quiet --window " + std::to_string(c.window) + (c.fields ? " --fields" : "") +
                                 (c.threshold ? " --threshold " + std::to_string(c.threshold) : "");
        ASSERT_EQ(RunUvdenoise(args + " --threads 1", in, out).exitCode, 0);
        ASSERT_EQ(RunUvdenoise(args + " --threads 3", in, outThreads).exitCode, 0);
        const std::string output = ReadFileBytes(out.string());
        EXPECT_EQ(output, ReadFileBytes(outThreads.string())) << "the output depends on the thread count";
        EXPECT_EQ(FirstLine(output), FirstLine(ReadFileBytes(in.string()))) << "the stream header changed";

        const std::string raw = std::string(" -f rawvideo -pix_fmt ") + c.pixFmt + " '";
        Ffmpeg("-i '" + in.string() + "'" + raw + inRaw.string() + "'");
        Ffmpeg("-i '" + out.string() + "'" + raw + outRaw.string() + "'");
        std::string expected = ReadFileBytes(inRaw.string());
        const int chromaWidth = (width + (1 << c.shiftX) - 1) >> c.shiftX;
        const int chromaHeight = (height + (1 << c.shiftY) - 1) >> c.shiftY;
        const size_t frameBytes = static_cast<size_t>(width * height + 2 * chromaWidth * chromaHeight);
        ASSERT_EQ(expected.size(), frames * frameBytes);
        for (int f = 0; f < frames; ++f) {
            uint8_t* frame = reinterpret_cast<uint8_t*>(expected.data()) + f * frameBytes;
            if (c.threshold)
                reference::ChromaRepairPlanarFrame(frame, width, height, c.shiftX, c.shiftY, c.window, c.threshold, c.fields);
            else
                reference::ChromaMedianPlanarFrame(frame, size_t{width} * height, chromaWidth, chromaHeight, c.window, c.fields);
        }
        EXPECT_TRUE(ReadFileBytes(outRaw.string()) == expected) << "not the definition applied to the planes";
        EXPECT_NE(expected, ReadFileBytes(inRaw.string())) << "the clip gives the filter nothing to do";
    }
}

// A 4:2:2 10-bit stream as ffmpeg writes it, its samples made an exact copy of an 8-bit picture (each times
// 4), and the same stream at 8 bits: in both modes, whole and by fields, the 10-bit output keeps its header
// and tag (ffprobe reads it as 10-bit) and its pictures are the 8-bit output's times 4, for 1 and 3 threads.
TEST_F(Uvdenoise, A10BitStreamComesBackAtItsDepthAsItsEightBitCopyTimesFour)
{
    const int width = 72, height = 46, frames = 3;
    const size_t samples = size_t{width} * height * 2;  // 4:2:2: luma, then two half-width chroma planes
    const fs::path in10 = kWork / "deep.y4m", in8 = kWork / "deep-8.y4m", out10 = kWork / "deep-out.y4m",
                   out8 = kWork / "deep-out-8.y4m", out10Threads = kWork / "deep-out-3.y4m";
    Ffmpeg("-f lavfi -i testsrc=size=72x46:rate=25 -frames 3 -vf noise=alls=60:allf=u,setfield=tff "
           "-pix_fmt yuv422p10le -strict -1 -f yuv4mpegpipe '" + in10.string() + "'");
    std::string deep = ReadFileBytes(in10.string());
    const std::string header10 = FirstLine(deep);
    ASSERT_NE(header10.find(" C422p10 "), std::string::npos) << header10;
    std::string header8 = header10;
    header8.replace(header8.find(" C422p10 "), 9, " C422 ");
    const size_t frameLine = std::string("FRAME\n").size();
    ASSERT_EQ(deep.size(), header10.size() + frames * (frameLine + 2 * samples));
    std::string shallow = header8;
    for (int f = 0; f < frames; ++f) {
        const size_t start = header10.size() + f * (frameLine + 2 * samples) + frameLine;
        shallow += "FRAME\n";
        for (size_t i = 0; i < samples; ++i) {
            const int value = static_cast<uint8_t>(deep[start + 2 * i]) | static_cast<uint8_t>(deep[start + 2 * i + 1]) << 8;
            deep[start + 2 * i] = static_cast<char>((value >> 2 << 2) & 0xFF);
            shallow += static_cast<char>(value >> 2);
        }
    }
    WriteFileBytes(in10.string(), deep);
    WriteFileBytes(in8.string(), shallow);
    for (const std::string args : {"--window 7", "--window 7 --threshold 18 --fields", "--window 15 --threshold 40"}) {
        SCOPED_TRACE(args);
        ASSERT_EQ(RunUvdenoise("--quiet --threads 1 " + args, in10, out10).exitCode, 0);
        ASSERT_EQ(RunUvdenoise("--quiet --threads 3 " + args, in10, out10Threads).exitCode, 0);
        ASSERT_EQ(RunUvdenoise("--quiet " + args, in8, out8).exitCode, 0);
        const std::string output = ReadFileBytes(out10.string()), output8 = ReadFileBytes(out8.string());
        EXPECT_TRUE(output == ReadFileBytes(out10Threads.string())) << "the output depends on the thread count";
        ASSERT_EQ(output8.size(), shallow.size());
        EXPECT_NE(output8, shallow) << "the clip gives the filter nothing to do";
        std::string expected = header10;
        for (size_t i = header8.size(); i < output8.size(); i += frameLine + samples) {
            expected += "FRAME\n";
            for (size_t j = 0; j < samples; ++j) {
                const int value = static_cast<uint8_t>(output8[i + frameLine + j]) * 4;
                expected += {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
            }
        }
        EXPECT_TRUE(output == expected) << "not the 8-bit path's pictures times 4";
        const fs::path probed = kWork / "probed.txt";
        ASSERT_EQ(Shell(std::string(UVD_FFPROBE) + " -v error -show_entries stream=pix_fmt -of csv=p=0 '" +
                        out10.string() + "' > '" + probed.string() + "'"),
                  0);
        EXPECT_EQ(ReadFileBytes(probed.string()), "yuv422p10le\n");
    }
}

struct DeepTagCase {
    const char* tag;
    int shiftX, shiftY;  // -1: no chroma planes
    int depth;
};

// Every deep tag ffmpeg writes, with samples that fill their depth: the header comes back as it was and the
// chroma planes as the definition gives them (the mono ones untouched), at two bytes a sample.
TEST_F(Uvdenoise, EveryDeepTagIsReadAndWrittenBackAtItsDepth)
{
    std::vector<DeepTagCase> cases;
    for (const int depth : {9, 10, 12, 14, 16}) {
        cases.push_back({"C420p", 1, 1, depth});
        cases.push_back({"C422p", 1, 0, depth});
        cases.push_back({"C444p", 0, 0, depth});
        cases.push_back({"Cmono", -1, -1, depth});
    }
    std::mt19937 random(17);
    const int width = 37, height = 11;
    const fs::path in = kWork / "tag.y4m", out = kWork / "tag-out.y4m";
    for (const DeepTagCase& c : cases) {
        const std::string tag = c.tag + std::to_string(c.depth);
        SCOPED_TRACE(tag);
        const int chromaWidth = c.shiftX < 0 ? 0 : (width + (1 << c.shiftX) - 1) >> c.shiftX;
        const int chromaHeight = c.shiftY < 0 ? 0 : (height + (1 << c.shiftY) - 1) >> c.shiftY;
        std::vector<uint16_t> frame(size_t{width} * height + 2 * size_t(chromaWidth) * chromaHeight);
        for (uint16_t& sample : frame)
            sample = static_cast<uint16_t>(random() & ((1u << c.depth) - 1));
        const std::string header = "YUV4MPEG2 W37 H11 F25:1 Ip " + tag + "\n";
        auto stream = [&](const std::vector<uint16_t>& samples) {
            std::string bytes = header + "FRAME\n";
            for (const uint16_t sample : samples)
                bytes += {static_cast<char>(sample & 0xFF), static_cast<char>(sample >> 8)};
            return bytes;
        };
        WriteFileBytes(in.string(), stream(frame));
        for (int p = 0; p < 2 && chromaWidth > 0; ++p) {
            reference::ChromaMedianPlane(frame.data() + size_t{width} * height + size_t(p) * chromaWidth * chromaHeight,
                                         chromaWidth, chromaWidth, chromaHeight, 5);
        }
        const Outcome outcome = RunUvdenoise("--window 5", in, out);
        EXPECT_EQ(outcome.exitCode, 0) << outcome.stderrText;
        EXPECT_TRUE(ReadFileBytes(out.string()) == stream(frame));
    }
}

struct HandMadeCase {
    const char* name;
    std::string header;
    std::string frameLine;
    unsigned width, height;
    unsigned chromaWidth, chromaHeight;  // 0: no chroma planes
    int frames = 2;
};

// A stream header of exactly `bytes` bytes, newline included, padded with an X tag.
std::string HeaderOfBytes(const std::string& tags, size_t bytes)
{
    const std::string start = "YUV4MPEG2 " + tags + " X";
    return start + std::string(bytes - start.size() - 1, 'x') + "\n";
}

std::string RandomText(size_t count, std::mt19937& random)
{
    const std::vector<uint8_t> bytes = RandomBytes(count, random);
    return std::string(bytes.begin(), bytes.end());
}

// Streams ffmpeg does not write: C420, no C tag, tags on FRAME lines, odd sizes; they come back byte for
// byte as the definition says, headers and FRAME lines untouched.
TEST_F(Uvdenoise, HandMadeStreamsPassTheirHeadersAndFilterTheirPlanes)
{
    const HandMadeCase cases[] = {
        {"C420", "YUV4MPEG2 W40 H30 F25:1 Ip C420\n", "FRAME\n", 40, 30, 20, 15},
        {"no C tag", "YUV4MPEG2 W41 H31 Xsomething=1\n", "FRAME Ixyz Xa=b\n", 41, 31, 21, 16},
        {"C422 odd width", "YUV4MPEG2 C422 H20 W33\n", "FRAME\n", 33, 20, 17, 20},
        {"Cmono", "YUV4MPEG2 W40 H30 Cmono\n", "FRAME\n", 40, 30, 0, 0},
        {"C420mpeg2", "YUV4MPEG2 W40 H30 C420mpeg2\n", "FRAME\n", 40, 30, 20, 15},
        {"C420paldv", "YUV4MPEG2 W40 H30 C420paldv\n", "FRAME\n", 40, 30, 20, 15},
        {"header of 65536 bytes", HeaderOfBytes("W8 H4 C444", 65536), "FRAME\n", 8, 4, 8, 4},
        {"8192x8192, no frames", "YUV4MPEG2 W8192 H8192 C420\n", "FRAME\n", 8192, 8192, 4096, 4096, 0},
        {"32768 wide, inside the area limit", "YUV4MPEG2 W32768 H8 C420\n", "FRAME\n", 32768, 8, 16384, 4, 1},
    };
    std::mt19937 random(7);
    const fs::path in = kWork / "hand.y4m", out = kWork / "hand-out.y4m";
    for (const HandMadeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t lumaBytes = size_t{c.width} * c.height;
        const size_t frameBytes = lumaBytes + 2 * size_t{c.chromaWidth} * c.chromaHeight;
        std::string input = c.header, expected = c.header;
        for (int f = 0; f < c.frames; ++f) {
            std::string frame = RandomText(frameBytes, random);
            input += c.frameLine + frame;
            if (c.chromaWidth > 0)
                reference::ChromaMedianPlanarFrame(reinterpret_cast<uint8_t*>(frame.data()), lumaBytes, int(c.chromaWidth),
                                                   int(c.chromaHeight), 5, false);
            expected += c.frameLine + frame;
        }
        WriteFileBytes(in.string(), input);
        const Outcome outcome = RunUvdenoise("--window 5", in, out);
        EXPECT_EQ(outcome.exitCode, 0) << outcome.stderrText;
        EXPECT_TRUE(ReadFileBytes(out.string()) == expected);
    }
}

struct FieldRepairCase {
    const char* header;
    int width, height, shiftX, shiftY;
    int threshold;
};

// The repair by fields where a field is short: a field with no chroma rows at all (its luma one row), and a
// top field whose luma cover has one row more than the bottom's.
TEST_F(Uvdenoise, TheRepairByFieldsCoversShortFields)
{
    const FieldRepairCase cases[] = {
        {"YUV4MPEG2 W64 H1 C444\n", 64, 1, 0, 0, 30},
        {"YUV4MPEG2 W64 H2 C420\n", 64, 2, 1, 1, 30},
        {"YUV4MPEG2 W32 H45 It C420\n", 32, 45, 1, 1, 20},
    };
    std::mt19937 random(5);
    const fs::path in = kWork / "short.y4m", out = kWork / "short-out.y4m";
    for (const FieldRepairCase& c : cases) {
        SCOPED_TRACE(c.header);
        const size_t chromaBytes = size_t((c.width + (1 << c.shiftX) - 1) >> c.shiftX) *
                                   size_t((c.height + (1 << c.shiftY) - 1) >> c.shiftY);
        std::string frame = RandomText(size_t(c.width) * c.height + 2 * chromaBytes, random);
        const std::string input = c.header + ("FRAME\n" + frame);
        reference::ChromaRepairPlanarFrame(reinterpret_cast<uint8_t*>(frame.data()), c.width, c.height, c.shiftX,
                                           c.shiftY, 7, c.threshold, true);
        WriteFileBytes(in.string(), input);
        const Outcome outcome = RunUvdenoise("--fields --window 7 --threshold " + std::to_string(c.threshold), in, out);
        EXPECT_EQ(outcome.exitCode, 0) << outcome.stderrText;
        EXPECT_TRUE(ReadFileBytes(out.string()) == c.header + ("FRAME\n" + frame));
    }
}

struct ErrorCase {
    const char* name;
    std::string input;
    std::string args;
    int exitCode;
    std::string message;
    int framesWritten;  // -1: no output file at all
};

// Bad options, headers and formats write nothing and exit 2; a stream cut or damaged after its header
// keeps the whole frames before the fault and exits 1. Messages name the fault and where it is.
TEST_F(Uvdenoise, BadInputGivesThePromisedErrors)
{
    const std::string header = "YUV4MPEG2 W16 H8 C422\n";
    const size_t frameBytes = 16 * 8 * 2;
    std::mt19937 random(3);
    std::string frames[2], filtered[2];
    for (int f = 0; f < 2; ++f) {
        frames[f] = "FRAME\n" + RandomText(frameBytes, random);
        filtered[f] = frames[f];
        reference::ChromaMedianPlanarFrame(reinterpret_cast<uint8_t*>(filtered[f].data()) + 6, 16 * 8, 8, 8, 15, false);
    }
    const std::string whole = header + frames[0] + frames[1];
    const std::string third = "frame 3 at byte offset " + std::to_string(whole.size());
    const ErrorCase cases[] = {
        {"empty", "", "", 2, "empty input, no YUV4MPEG2 stream header", -1},
        {"not Y4M", "RIFF\x01\x02WAVE\n", "", 2, "not a YUV4MPEG2 stream header: \"RIFF\\x01\\x02WAVE\"", -1},
        {"no width", "YUV4MPEG2 H8 C422\n", "", 2, "stream header has no W (width) tag: \"YUV4MPEG2 H8 C422\"", -1},
        {"zero width", "YUV4MPEG2 W0 H8\n", "", 2, "bad picture size tag W0", -1},
        {"huge", "YUV4MPEG2 W16384 H16384\n", "", 2, "picture 16384x16384 is larger than 8192x8192", -1},
        {"alpha", "YUV4MPEG2 W16 H8 C444alpha\n", "", 2, "unsupported chroma format C444alpha; supported: YUV4MPEG2 with 8-bit", -1},
        {"11 bits", "YUV4MPEG2 W16 H8 C422p11\n", "", 2, "unsupported chroma format C422p11", -1},
        {"header cut", "YUV4MPEG2 W16 H8 C422", "", 2, "input ends inside the stream header", -1},
        {"YUV4MPEG2X", "YUV4MPEG2X W16 H8 C422\n", "", 2, "not a YUV4MPEG2 stream header: \"YUV4MPEG2X W16", -1},
        {"header of 65537 bytes", HeaderOfBytes("W16 H8 C422", 65537), "", 2, "stream header longer than 65536 bytes", -1},
        {"window 0", whole, "--window 0", 2, "--window must be a whole number from 1 to 30, not \"0\"", -1},
        {"window 31", whole, "--window=31", 2, "--window must be a whole number from 1 to 30", -1},
        {"threshold 0", whole, "--threshold=0", 2, "--threshold must be a whole number from 1 to 255, not \"0\"", -1},
        {"threshold 256", whole, "--threshold 256", 2, "--threshold must be a whole number from 1 to 255", -1},
        {"threads 0", whole, "--threads 0", 2, "--threads must be a whole number from 1 to 256", -1},
        {"unknown option", whole, "--median 3", 2, "unknown option --median", -1},
        {"a value given to a switch", whole, "--quiet=yes", 2, "unknown option --quiet=yes", -1},
        {"frame data cut", whole + frames[0].substr(0, 100), "", 1, "input ends inside " + third + " (94 of 256 picture bytes)", 2},
        {"frame line cut", whole + "FRA", "", 1, "input ends inside the header of " + third, 2},
        {"not a frame", header + frames[0] + "JUNK\n", "", 1, "frame 2 at byte offset " + std::to_string(header.size() + frames[0].size()) + " does not start with a FRAME line: \"JUNK\\x0A\"", 1},
        {"FRAMES", header + "FRAMES\n" + frames[0].substr(6), "", 1, "frame 1 at byte offset " + std::to_string(header.size()) + " does not start with a FRAME line: \"FRAMES\\x0A\"", 0},
        {"FRAME line of 65537 bytes", header + frames[0] + "FRAME X" + std::string(65529, 'x') + "\n", "", 1, "frame 2 at byte offset " + std::to_string(header.size() + frames[0].size()) + " has a FRAME line longer than 65536 bytes", 1},
    };
    const fs::path in = kWork / "bad.y4m", out = kWork / "bad-out.y4m";
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(in.string(), c.input);
        fs::remove(out);
        const Outcome outcome = RunUvdenoise(c.args + " --quiet '" + in.string() + "' '" + out.string() + "'", in, kWork / "stdout.bin");
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_NE(outcome.stderrText.find("uvdenoise: " + c.message), std::string::npos) << outcome.stderrText;
        EXPECT_EQ(std::count(outcome.stderrText.begin(), outcome.stderrText.end(), '\n'), 1) << "one line";
        EXPECT_EQ(ReadFileBytes((kWork / "stdout.bin").string()), "");
        if (c.framesWritten < 0) {
            EXPECT_FALSE(fs::exists(out)) << "written for a stream it refused";
        } else {
            std::string expected = header;
            for (int f = 0; f < c.framesWritten; ++f)
                expected += filtered[f];
            EXPECT_TRUE(ReadFileBytes(out.string()) == expected);
        }
    }
}

// On a terminal the last progress line counts the chroma samples changed, in both modes (the plain
// median's count compares each piece before and after it), over three frames; the chroma planes, 100
// samples wide, are cut into two pieces for three threads, and the bytes are those of one thread.
TEST_F(Uvdenoise, TheLastProgressLineCountsTheChangedChromaSamples)
{
    std::mt19937 random(11);
    std::string input = "YUV4MPEG2 W200 H24 C422\n";
    for (int f = 0; f < 3; ++f)
        input += "FRAME\n" + RandomText(200 * 24 * 2, random);
    const fs::path in = kWork / "counted.y4m", out = kWork / "counted-out.y4m", terminal = kWork / "terminal.txt";
    WriteFileBytes(in.string(), input);
    for (const std::string mode : {"--window 5", "--window 7 --threshold 40"}) {
        SCOPED_TRACE(mode);
        // script(1) gives uvdenoise a terminal as standard error and keeps what it showed.
        const std::string command = std::string(UVD_UVDENOISE) + " " + mode + " -y --threads 3 '" + in.string() + "' '" +
                                    out.string() + "'";
        ASSERT_EQ(Shell("script -qec \"" + command + "\" '" + terminal.string() + "' < /dev/null > /dev/null"), 0);
        const std::string output = ReadFileBytes(out.string());
        ASSERT_EQ(output.size(), input.size());
        for (const std::string threads : {"1", "256"}) {
            ASSERT_EQ(RunUvdenoise(mode + " --threads " + threads, in, kWork / "counted-1.y4m").exitCode, 0) << threads;
            EXPECT_TRUE(ReadFileBytes((kWork / "counted-1.y4m").string()) == output) << "the output depends on the thread count";
        }
        // Luma never changes, so every byte that differs is a chroma sample.
        size_t changed = 0;
        for (size_t i = 0; i < input.size(); ++i)
            changed += input[i] != output[i];
        EXPECT_GT(changed, 0u);
        char share[32];
        std::snprintf(share, sizeof share, " (%.3f %%)", 100.0 * changed / (3 * 2 * 100 * 24));
        EXPECT_NE(ReadFileBytes(terminal.string()).find(", " + WithThousands(changed) + " chroma samples changed" + share),
                  std::string::npos)
            << ReadFileBytes(terminal.string());
    }
}

}  // namespace
