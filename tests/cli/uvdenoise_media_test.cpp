// uvdenoise on video files as people have them, made by ffmpeg at test time: the pictures must decode to
// what the Y4M path gives for the same options, every other stream's packets must be the source's, every
// picture keeps its time and picture and sound stay as far apart as they were. Refused runs write nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/file_bytes.h"
#include "tests/common/shell.h"
#include "tests/common/temp_folder.h"
#include "tests/common/unwrapped.h"

namespace {

// The program under test: the Linux one, or (UVD_UVDENOISE_UNDER_TEST) the Windows one through Wine, whose
// pictures must then equal what the Linux one's Y4M path gives.
const std::string kUvdenoise =
    std::getenv("UVD_UVDENOISE_UNDER_TEST") ? std::getenv("UVD_UVDENOISE_UNDER_TEST") : UVD_UVDENOISE;
const std::string kReference = UVD_UVDENOISE;
const std::string kFfmpeg = std::string(UVD_FFMPEG) + " -nostdin -v error -y ";
const std::string kFfprobe = std::string(UVD_FFPROBE) + " -v error ";

// What a command printed on standard output.
std::string Output(const TempFolder& folder, const std::string& command)
{
    const std::string file = folder.File("output.txt");
    EXPECT_EQ(Shell("cd '" + folder.Path() + "' && " + command + " > '" + file + "'"), 0) << command;
    return ReadFileBytes(file);
}

std::vector<double> Numbers(const std::string& text)
{
    std::vector<double> numbers;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line != "N/A")
            numbers.push_back(std::atof(line.c_str()));
    return numbers;
}

// ffprobe's first line of values, without the empty fields it adds for a transport stream's programs.
std::string FirstRecord(const std::string& text)
{
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && line.back() == ',')
        line.pop_back();
    return line;
}

// The packets' checksums in a stream's order, whatever else ffprobe prints with them.
std::vector<std::string> Hashes(const std::string& text)
{
    std::vector<std::string> hashes;
    for (size_t at = text.find("CRC32:"); at != std::string::npos; at = text.find("CRC32:", at + 1))
        hashes.push_back(text.substr(at, 14));
    return hashes;
}

// Where each stream starts, in seconds: ffprobe's start_time, by stream specifier.
double StartOf(const TempFolder& folder, const std::string& file, const std::string& stream)
{
    const std::vector<double> start =
        Numbers(Output(folder, kFfprobe + "-select_streams " + stream + " -show_entries stream=start_time -of csv=p=0 " + file));
    return start.empty() ? NAN : start[0];
}

struct FileRow {
    const char* name;
    std::string make;  // ffmpeg's arguments writing `in`
    std::string in, out;
    std::string args;     // uvdenoise's
    std::string y4mArgs;  // the Y4M path's, for the same pictures
    const char* pixFmt;   // the pictures compared, as ffmpeg decodes them
    std::vector<std::string> copied;  // the other streams, by specifier
    const char* fieldOrder;           // the output's video stream says ("": the container cannot say)
    const char* codec;
};

const std::string kTestPicture = "-f lavfi -i testsrc=rate=25:size=";
const std::string kNoisy = " -vf noise=alls=60:allf=u";
const std::string kSound = " -f lavfi -i sine=sample_rate=48000";

TEST(UvdenoiseMedia, RecordingsKeepEverythingButTheirChromaSparkles)
{
    const std::string earlySound = "-itsoffset 0.4 " + kTestPicture + "176x144:duration=0.4" + kSound +
                                   ":duration=0.8 -map 0:v -map 1:a" + kNoisy +
                                   " -c:v mpeg2video -pix_fmt yuv420p -flags +ilme+ildct -top 1 -c:a mp2 ";
    const FileRow rows[] = {
        {"MPEG-TS, interlaced MPEG-2, sound 0.4 s early", earlySound + "-f mpegts in.ts", "in.ts", "out.mkv",
         "--window 7 --threshold 20", "--fields --window 7 --threshold 20", "yuv420p", {"a:0"}, "tt", "ffv1"},
        {"PAL DV, bottom field first, in AVI", kTestPicture + "720x576" + kSound + " -t 0.12" + kNoisy +
         " -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le in.avi", "in.avi", "out.mkv", "--window 5",
         "--fields --window 5", "yuv420p", {"a:0"}, "bb", "ffv1"},
        {"NTSC DV 4:1:1", kTestPicture + "720x480" + kSound + " -t 0.1" + kNoisy +
         " -c:v dvvideo -pix_fmt yuv411p -c:a pcm_s16le in.dv.avi", "in.dv.avi", "out.avi", "", "--fields",
         "yuv411p", {"a:0"}, "", "ffv1"},
        {"raw yuyv422 in AVI with PCM", kTestPicture + "66x40" + kSound + " -t 0.12" + kNoisy +
         " -c:v rawvideo -pix_fmt yuyv422 -c:a pcm_s16le in.avi", "in.avi", "out.mkv", "--window 5 --threshold 30",
         "--window 5 --threshold 30", "yuv422p", {"a:0"}, "progressive", "ffv1"},
        {"raw uyvy422 in AVI, NUT out", kTestPicture + "66x40" + kSound + " -t 0.12" + kNoisy +
         " -c:v rawvideo -pix_fmt uyvy422 -c:a pcm_s16le in.avi", "in.avi", "out.nut", "--window 3", "--window 3",
         "yuv422p", {"a:0"}, "", "ffv1"},
        {"FFV1 MKV, two sound tracks, subtitles, chapters", kTestPicture + "64x48" + kSound +
         " -f lavfi -i sine=frequency=300:sample_rate=44100 -i sub.srt -i chapters.txt -map 0:v -map 1:a -map 2:a "
         "-map 3 -map_chapters 4 -map_metadata 4 -t 0.12" + kNoisy + " -c:v ffv1 -pix_fmt yuv444p -color_range tv -colorspace bt470bg -color_primaries bt470bg "
         "-color_trc gamma28 -c:a flac in.mkv",
         "in.mkv", "out.mkv", "--window 3", "--window 3", "yuv444p", {"a:0", "a:1", "s:0"}, "progressive", "ffv1"},
        {"variable frame rate MKV", kTestPicture + "64x48 -t 0.24 -vf noise=alls=60:allf=u,setpts='PTS+gt(N\\,2)*7' "
         "-fps_mode vfr -c:v ffv1 -pix_fmt yuv420p vfr.mkv", "vfr.mkv", "out.mkv", "--window 9", "--window 9",
         "yuv420p", {}, "progressive", "ffv1"},
        {"Cyrillic names with spaces", earlySound + "-f mpegts 'Запись 1.ts'", "'Запись 1.ts'", "'чистая копия.mkv'",
         "--window 7 --threshold 20", "--fields --window 7 --threshold 20", "yuv420p", {"a:0"}, "tt", "ffv1"},
        {"MP4 out: H.264, interlaced", earlySound + "-f mpegts in.ts", "in.ts", "out.mp4",
         "--encoder-options crf=0 --window 7", "--fields --window 7", "yuv420p", {"a:0"}, "tt", "h264"},
    };
    for (const FileRow& row : rows) {
        SCOPED_TRACE(row.name);
        const TempFolder folder;
        WriteFileBytes(folder.File("sub.srt"), "1\n00:00:00,000 --> 00:00:00,080\nhello\n");
        WriteFileBytes(folder.File("chapters.txt"), ";FFMETADATA1\ntitle=clip\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\n"
                                                    "END=40\ntitle=one\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=40\n"
                                                    "END=120\ntitle=two\n");
        ASSERT_EQ(Shell("cd '" + folder.Path() + "' && " + kFfmpeg + row.make), 0);
        ASSERT_EQ(Shell("cd '" + folder.Path() + "' && " + kUvdenoise + " --quiet " + row.args + " " + row.in + " " +
                        row.out),
                  0);

        const std::string decode = " -map 0:v:0 -fps_mode passthrough -pix_fmt " + std::string(row.pixFmt);
        const std::string pictures = Output(folder, kFfmpeg + "-i " + row.out + decode + " -f rawvideo -");
        const std::string expected =
            Output(folder, kFfmpeg + "-i " + row.in + decode + " -f yuv4mpegpipe - | " + kReference + " " +
                               row.y4mArgs + " | " + kFfmpeg + "-i - -f rawvideo -");
        const std::string unfiltered = Output(folder, kFfmpeg + "-i " + row.in + decode + " -f rawvideo -");
        EXPECT_FALSE(expected.empty());
        EXPECT_TRUE(pictures == expected) << "the pictures differ from the Y4M path's";
        EXPECT_TRUE(pictures != unfiltered) << "nothing filtered";

        const std::string video = kFfprobe + "-select_streams v:0 -show_entries ";
        EXPECT_EQ(Output(folder, video + "stream=codec_name -of csv=p=0 " + row.out), std::string(row.codec) + "\n");
        if (*row.fieldOrder)
            EXPECT_EQ(Output(folder, video + "stream=field_order -of csv=p=0 " + row.out), row.fieldOrder + std::string("\n"));
        // Each picture's time, from the file's first time, within a millisecond (Matroska's tick).
        const std::string times = "packet=pts_time -of csv=p=0 ";
        std::vector<double> before = Numbers(Output(folder, video + times + row.in));
        std::vector<double> after = Numbers(Output(folder, video + times + row.out));
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        ASSERT_EQ(before.size(), after.size());
        const double firstBefore = StartOf(folder, row.in, "v:0"), firstAfter = StartOf(folder, row.out, "v:0");
        for (size_t i = 0; i < before.size(); ++i)
            EXPECT_NEAR(before[i] - firstBefore, after[i] - firstAfter, 0.0011) << "picture " << i;
        // Colour properties as the source gave them, where the output can say them: Matroska (AVI holds
        // none; x264 writes a range only when it is full).
        if (row.out.find(".mkv") != std::string::npos) {
            const std::string colour = "stream=color_range,color_space,color_transfer,color_primaries -of csv=p=0 ";
            EXPECT_EQ(FirstRecord(Output(folder, video + colour + row.out)),
                      FirstRecord(Output(folder, video + colour + row.in)));
        }
        for (const std::string& stream : row.copied) {
            SCOPED_TRACE(stream);
            const std::string packets = kFfprobe + "-select_streams " + stream + " -show_data_hash CRC32 " +
                                        "-show_entries packet=data_hash -of csv=p=0 ";
            const std::vector<std::string> copied = Hashes(Output(folder, packets + row.out));
            EXPECT_FALSE(copied.empty());
            EXPECT_EQ(copied, Hashes(Output(folder, packets + row.in)));
            EXPECT_NEAR(StartOf(folder, row.out, stream) - firstAfter, StartOf(folder, row.in, stream) - firstBefore,
                        0.0011)
                << "picture and sound apart as in the source";
        }
        const std::string chapters = kFfprobe + "-show_entries chapter=start_time,end_time:chapter_tags -of csv=p=0 ";
        EXPECT_EQ(Output(folder, chapters + row.out), Output(folder, chapters + row.in));
    }
}

struct RefusedRow {
    const char* name;
    std::string script;  // bash, in a folder holding in.ts; $U is uvdenoise
    int exitCode;
    std::string message;
    std::vector<std::string> left;  // the folder afterwards, besides in.ts and the log
};

// Refused and interrupted runs leave nothing; damaged video is named by its time and read on.
TEST(UvdenoiseMedia, RefusedDamagedAndInterruptedRuns)
{
    const RefusedRow rows[] = {
        {"a missing file", "$U none.ts out.mkv", 2, "cannot open none.ts: No such file or directory", {}},
        {"not a video", "$F -f lavfi -i sine -t 0.1 sound.mka; $U sound.mka out.mkv", 2,
         "sound.mka has no video stream", {"sound.mka"}},
        {"10-bit", "$F -f lavfi -i testsrc=size=64x48 -t 0.1 -pix_fmt yuv420p10le -c:v ffv1 deep.mkv; $U deep.mkv out.mkv",
         2, "deep.mkv's video is yuv420p10le; supported: 8-bit yuv420p", {"deep.mkv"}},
        {"4:1:1 for an encoder without it",
         "$F -f lavfi -i testsrc=size=64x48 -t 0.1 -pix_fmt yuv411p -c:v ffv1 s411.mkv; $U s411.mkv out.mp4", 2,
         "encoder libx264 does not take yuv411p, the input's pictures; --encoder ffv1 does", {"s411.mkv"}},
        {"an unknown encoder", "$U --encoder x265000 in.ts out.mkv", 2, "no video encoder called x265000", {}},
        {"an unknown encoder option", "$U --encoder-options level=3:nosuch=1 in.ts out.mkv", 2,
         "encoder ffv1 has no option nosuch", {}},
        {"a bad encoder setting", "$U --encoder libx264 --encoder-options crf=high in.ts out.mp4", 2,
         "encoder libx264 refuses its settings: Error setting option crf to value high", {}},
        {"no container", "$U in.ts out.y4m", 2, "OUT out.y4m names no container", {}},
        {"the same file", "ln -s in.ts link.ts; $U -y in.ts link.ts", 2, "output link.ts is the input file itself", {"link.ts"}},
        {"an existing OUT without -y", "echo old > out.mkv; $U in.ts out.mkv", 2,
         "output out.mkv exists already; -y replaces it", {"out.mkv"}},
        {"a dangling link as OUT", "ln -s nowhere.mkv out.mkv; $U in.ts out.mkv", 2,
         "output out.mkv exists already; -y replaces it", {"out.mkv"}},
        {"MPEG-TS on standard input", "$U - out.y4m < in.ts", 2,
         "standard input is an MPEG-TS file, not YUV4MPEG2; give it by name: uvdenoise [options] IN OUT.mkv", {}},
        {"MPEG-PS on standard input", "$F -i in.ts -f mpeg - | $U > out.y4m", 2,
         "standard input is an MPEG-PS file (MPG, VOB), not YUV4MPEG2", {"out.y4m"}},
        {"Matroska on standard input", "$F -i in.ts -f matroska - | $U > out.y4m", 2,
         "standard input is a Matroska file (MKV, WebM), not YUV4MPEG2", {"out.y4m"}},
        {"MP4 on standard input", "$F -i in.ts in.mp4; $U < in.mp4 > out.y4m", 2,
         "standard input is an MP4 or MOV file, not YUV4MPEG2", {"out.y4m", "in.mp4"}},
        {"AVI on standard input", "$F -i in.ts -f avi - | $U > out.y4m", 2,
         "standard input is an AVI file, not YUV4MPEG2", {"out.y4m"}},
        {"a missing value", "$U in.ts out.mkv --window", 2, "--window needs a value", {}},
        {"damaged video, read on to the end",
         "$F -f lavfi -i testsrc=size=64x48:rate=25 -t 0.4 -c:v mpeg2video -g 5 bad.m2v\n"
         "python3 -c \"b = bytearray(open('bad.m2v', 'rb').read()); n = len(b) // 2\n"
         "b[n:n + 200:3] = bytes(x ^ 0x5A for x in b[n:n + 200:3]); open('bad.m2v', 'wb').write(b)\"\n"
         "$U bad.m2v out.mkv", 1, "damaged video at 0.240 s", {"bad.m2v", "out.mkv"}},
        {"Ctrl-C mid-run",
         "set -m; $U --threads 1 --window 30 --threshold 1 big.ts out.mkv & run=$!\n"
         "for i in $(seq 1000); do ls out.mkv.uvdenoise-*.tmp >/dev/null 2>&1 && break; sleep 0.01; done\n"
         "{ kill -INT $run; wait $run; } 2>/dev/null",
         128 + 2, "interrupted: out.mkv not written", {}},
    };
    const TempFolder made;
    ASSERT_EQ(Shell("cd '" + made.Path() + "' && " + kFfmpeg + kTestPicture +
                    "64x48 -t 0.2 -c:v mpeg2video in.ts && " + kFfmpeg + kTestPicture +
                    "720x576 -t 4 -c:v mpeg2video -q:v 20 big.ts"),
              0);
    for (const RefusedRow& row : rows) {
        SCOPED_TRACE(row.name);
        // Under Wine a dangling Unix link does not exist for a Windows program, and start.exe, not the
        // program, is the process a signal reaches.
        if (kUvdenoise != kReference && (row.script.find("nowhere") != std::string::npos ||
                                         row.script.find("kill -INT") != std::string::npos))
            continue;
        const TempFolder folder;
        std::filesystem::copy(made.File("in.ts"), folder.File("in.ts"));
        const bool big = row.script.find("big.ts") != std::string::npos;
        if (big)
            std::filesystem::copy(made.File("big.ts"), folder.File("big.ts"));
        WriteFileBytes(folder.File("run.sh"), "export U='" + kUvdenoise + "' F='" + kFfmpeg + "'; cd '" +
                                                  folder.Path() + "' || exit 98\n" + row.script + "\n");
        const int code = Shell("bash '" + folder.File("run.sh") + "' > '" + folder.File("log.txt") + "' 2>&1");
        // The Windows program ends its lines with CR LF.
        std::string log = ReadFileBytes(folder.File("log.txt"));
        log.erase(std::remove(log.begin(), log.end(), '\r'), log.end());
        EXPECT_EQ(code, row.exitCode) << log;
        EXPECT_NE(Unwrapped(log).find("uvdenoise: " + row.message), std::string::npos) << log;
        // One message, its lines within 79 columns, any after the first indented.
        std::istringstream lines(log);
        int messages = 0;
        for (std::string line; std::getline(lines, line);) {
            messages += line.rfind("uvdenoise: ", 0) == 0;
            EXPECT_TRUE(line.rfind("uvdenoise: ", 0) == 0 || line.rfind("  ", 0) == 0) << line;
            EXPECT_LE(line.size(), 79u) << line;
        }
        EXPECT_EQ(messages, 1) << log;
        std::vector<std::string> names = folder.Names(), expected = row.left;
        expected.insert(expected.end(), {"in.ts", "log.txt", "run.sh"});
        if (big)
            expected.push_back("big.ts");
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
    }
}

}  // namespace
