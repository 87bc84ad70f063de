// uvdenoise on video files as people have them, made by ffmpeg at test time: the pictures must decode to
// what the Y4M path gives for the same options, every other stream's packets must be the source's, every
// picture keeps its time and picture and sound stay as far apart as they were. Refused runs write nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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
        if (line.rfind("N/A", 0) == 0)
            numbers.push_back(NAN);
        else if (!line.empty() && (std::isdigit(static_cast<unsigned char>(line[0])) || line[0] == '-'))
            numbers.push_back(std::atof(line.c_str()));  // not the empty records MPEG-PS adds
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

// ffprobe's lines of values, without the empty lines and fields it adds for a transport stream's programs.
std::string Records(const std::string& text)
{
    std::string records;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        line = FirstRecord(line);
        if (!line.empty())
            records += line + "\n";
    }
    return records;
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
    double leastPsnr = 0;  // a lossy encoder's least PSNR against the Y4M path's pictures, dB; 0: lossless
    const char* interlacedPictures = "";  // the output's first picture decodes as interlaced: "1", or not: "0"
    std::vector<std::string> attached = {};  // files attached to the source, which the output gives back
};

// The peak signal-to-noise ratio of two equally long runs of 8-bit samples, in dB.
double Psnr(const std::string& a, const std::string& b)
{
    double squares = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double difference = static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
        squares += difference * difference;
    }
    return squares == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 * a.size() / squares);
}

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
        {"--no-fields on interlaced MPEG-2", earlySound + "-f mpegts in.ts", "in.ts", "out.mkv", "--no-fields --window 7",
         "--window 7", "yuv420p", {"a:0"}, "tt", "ffv1"},
        {"NUT starting at 2 s, picture and sound in time bases of their own", kTestPicture + "64x48" + kSound +
         " -t 0.4" + kNoisy + " -pix_fmt yuv420p -c:v ffv1 -c:a pcm_s16le -output_ts_offset 2 in.nut", "in.nut",
         "out.mkv", "--window 5", "--window 5", "yuv420p", {"a:0"}, "", "ffv1"},
        {"MJPEG in AVI, full range", kTestPicture + "64x48 -t 0.2" + kNoisy + " -c:v mjpeg -pix_fmt yuvj420p in.avi",
         "in.avi", "out.mkv", "--window 5", "--window 5", "yuvj420p", {}, "", "ffv1"},
        {"raw yuyv422 in AVI, 65 samples wide", kTestPicture + "65x40 -t 0.12" + kNoisy +
         " -c:v rawvideo -pix_fmt yuyv422 in.avi", "in.avi", "out.mkv", "--window 5", "--window 5", "yuv422p", {},
         "progressive", "ffv1"},
        {"MKV whose first stream AVI cannot hold, to AVI", "-i sub.srt " + kTestPicture + "64x48" + kSound +
         " -map 0 -map 1:v -map 2:a -t 0.12" + kNoisy + " -c:v ffv1 -pix_fmt yuv420p -c:a pcm_s16le -c:s srt in.mkv",
         "in.mkv", "out.avi", "--window 3", "--window 3", "yuv420p", {"a:0"}, "", "ffv1"},
        // Encoders people ask for, each as ffmpeg would set it up.
        // 2 s, so that the rate control's choice shows: the library's 200 kb/s gives 38 dB there, DVD's 44 dB.
        {"mpeg2video, a DVD-like .mpg", "-itsoffset 0.4 " + kTestPicture + "176x144:duration=2" + kSound +
         ":duration=2.4 -map 0:v -map 1:a" + kNoisy + " -c:v mpeg2video -flags +ilme+ildct -top 1 -c:a mp2 in.ts",
         "in.ts", "out.mpg", "--encoder mpeg2video --window 7", "--fields --window 7", "yuv420p", {"a:0"}, "",
         "mpeg2video", 41, "1"},
        {"rawvideo takes any format", kTestPicture + "66x40" + kSound + " -t 0.12" + kNoisy +
         " -c:v rawvideo -pix_fmt yuyv422 -c:a pcm_s16le in.avi", "in.avi", "out.avi", "--encoder rawvideo --window 5",
         "--window 5", "yuv422p", {"a:0"}, "", "rawvideo"},
        {"mjpeg on an interlaced source", earlySound + "-f mpegts in.ts", "in.ts", "out.mov",
         "--encoder mjpeg --window 7", "--fields --window 7", "yuv420p", {"a:0"}, "tt", "mjpeg", 38},
        {"ffv1 level=1 against the slice defaults", earlySound + "-f mpegts in.ts", "in.ts", "out.mkv",
         "--encoder-options level=1 --window 7", "--fields --window 7", "yuv420p", {"a:0"}, "tt", "ffv1"},
        {"MKV with a font and a cover attached", "-f lavfi -i testsrc=size=64x48 -frames:v 1 cover.jpg && " + kFfmpeg +
         kTestPicture + "64x48" + kSound + " -t 0.12" + kNoisy + " -c:v ffv1 -pix_fmt yuv420p -c:a flac -attach font.ttf "
         "-metadata:s:t:0 mimetype=font/ttf -attach cover.jpg -metadata:s:t:1 mimetype=image/jpeg in.mkv",
         "in.mkv", "out.mkv", "--window 3", "--window 3", "yuv420p", {"a:0"}, "progressive", "ffv1", 0, "",
         {"font.ttf", "cover.jpg"}},
        {"libx264 in Matroska, interlaced", earlySound + "-f mpegts in.ts", "in.ts", "out.mkv",
         "--encoder libx264 --window 7", "--fields --window 7", "yuv420p", {"a:0"}, "tt", "h264", 38, "1"},
    };
    for (const FileRow& row : rows) {
        SCOPED_TRACE(row.name);
        const TempFolder folder;
        WriteFileBytes(folder.File("font.ttf"), std::string("\0\1\0\0 not quite a font", 22));
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
        if (row.leastPsnr > 0) {
            ASSERT_EQ(pictures.size(), expected.size());
            EXPECT_GE(Psnr(pictures, expected), row.leastPsnr) << "a poor default quality";
        } else {
            EXPECT_TRUE(pictures == expected) << "the pictures differ from the Y4M path's";
            EXPECT_TRUE(pictures != unfiltered) << "nothing filtered";
        }

        const std::string video = kFfprobe + "-select_streams v:0 -show_entries ";
        EXPECT_EQ(FirstRecord(Output(folder, video + "stream=codec_name -of csv=p=0 " + row.out)), row.codec);
        if (*row.fieldOrder) {
            EXPECT_EQ(Output(folder, video + "stream=field_order -of csv=p=0 " + row.out),
                      row.fieldOrder + std::string("\n"));
        }
        if (*row.interlacedPictures) {
            EXPECT_EQ(FirstRecord(Output(folder, video + "frame=interlaced_frame -read_intervals %+#1 -of csv=p=0 " +
                                                 row.out)),
                      row.interlacedPictures);
        }
        // Each picture's time, from the file's first time, within a millisecond (Matroska's tick); as decoded,
        // since MPEG-PS leaves some packets without one.
        const std::string times = "frame=best_effort_timestamp_time -of csv=p=0 ";
        std::vector<double> before = Numbers(Output(folder, video + times + row.in));
        std::vector<double> after = Numbers(Output(folder, video + times + row.out));
        // Unknown times last: MPEG-PS gives none to a picture that shares its packet with the one before.
        const auto earlier = [](double a, double b) { return !std::isnan(a) && (std::isnan(b) || a < b); };
        std::sort(before.begin(), before.end(), earlier);
        std::sort(after.begin(), after.end(), earlier);
        ASSERT_EQ(before.size(), after.size());
        const double firstBefore = StartOf(folder, row.in, "v:0"), firstAfter = StartOf(folder, row.out, "v:0");
        for (size_t i = 0; i < before.size(); ++i)
            if (!std::isnan(after[i])) {
                EXPECT_NEAR(before[i] - firstBefore, after[i] - firstAfter, 0.0011) << "picture " << i;
            }
        // Colour properties as the source gave them, where the output can say them: Matroska (AVI holds
        // none; x264 writes a range only when it is full).
        if (row.out.find(".mkv") != std::string::npos) {
            const std::string colour =
                "stream=color_range,color_space,color_transfer,color_primaries,chroma_location -of csv=p=0 ";
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
        if (!row.attached.empty()) {
            // Attached files come back byte for byte; FFmpeg reads a cover as a one-picture video stream marked
            // as attached, and so must the output give it back.
            std::filesystem::create_directory(folder.File("got"));
            Shell("cd '" + folder.File("got") + "' && " + kFfmpeg + "-dump_attachment:t '' -i ../" + row.out +
                  " -map 0:v:1 -c copy -f image2 cover.jpg");
            for (const std::string& file : row.attached)
                EXPECT_TRUE(ReadFileBytes(folder.File("got/" + file)) == ReadFileBytes(folder.File(file))) << file;
            const std::string covers = kFfprobe + "-select_streams v -show_entries stream_disposition=attached_pic "
                                                  "-of csv=p=0 ";
            EXPECT_EQ(Output(folder, covers + row.out), Output(folder, covers + row.in));
        }
    }
}

struct ShapeRow {
    const char* name;
    std::string make;  // bash writing in.* with $F (ffmpeg)
    std::string run;   // uvdenoise's arguments
    std::vector<std::string> said;  // on the terminal, each in one message or note
    // ffprobe's arguments on the output and what it prints; "" expects what it prints for the input
    std::vector<std::pair<std::string, std::string>> probed;
};

const std::string kFramesRead = "-count_frames -show_entries stream=nb_read_frames -of csv=p=0 ";
const std::string kPackets = "-count_packets -show_entries stream=nb_read_packets -of csv=p=0 ";
const std::string kRatio = "-select_streams v:0 -show_entries stream=sample_aspect_ratio -of csv=p=0 ";

// The recording's stream, its shape, its size changes and its fields, as the terminal states them and as
// ffprobe finds them in the output.
TEST(UvdenoiseMedia, TheRecordingsStreamShapeAndFields)
{
    const std::string clip = "$F -f lavfi -i testsrc=rate=25:size=";
    const std::string sound = " -f lavfi -i sine=sample_rate=48000";
    const std::string twoProgrammes = clip + "64x48" + sound + " -f lavfi -i testsrc2=rate=25:size=80x48" + sound +
                                      ":frequency=300 -t 1 -map 0:v -map 1:a -map 2:v -map 3:a -c:v mpeg2video "
                                      "-c:a mp2 -program program_num=1101:st=0:st=1 -program program_num=1102:st=2:"
                                      "st=3 in.ts";
    // MPEG-2 elementary streams joined as a broadcast switches, with one sound track throughout.
    const auto joined = [&](const std::string& first, const std::string& second) {
        return clip + first + " -t 2 -c:v mpeg2video a.m2v; " + clip + second + " -t 2 -c:v mpeg2video b.m2v; "
               "cat a.m2v b.m2v > ab.m2v; $F -fflags +genpts -r 25 -i ab.m2v" + sound +
               ":duration=4 -c:v copy -c:a mp2 in.ts";
    };
    const std::string moving = ":duration=1 -vf scroll=h=0.01";
    const ShapeRow rows[] = {
        {"a cover as the first video track",
         clip + "64x48 -frames:v 1 cover.png; $F -i cover.png " + clip.substr(3) + "80x48" + sound +
             " -map 0:v -map 1:v -map 2:a -t 1 -c:v:0 png -c:v:1 mpeg2video -c:a mp2 in.mkv",
         "in.mkv out.mkv", {"video stream 1, mpeg2video 80x48"},
         {{"-show_entries stream=codec_name,width -of csv=p=0 ", "png,64\nffv1,80\nmp2,\n"}}},
        {"two video streams, the second asked for",
         clip + "64x48 " + clip.substr(3) + "80x48 -map 0 -map 1 -t 1 -c:v mpeg2video in.mkv",
         "--video-stream v:1 in.mkv out.mkv", {"video stream 1, mpeg2video 80x48"},
         {{"-show_entries stream=codec_name,width -of csv=p=0 ", "mpeg2video,64\nffv1,80\n"}}},
        {"two programmes: the first", twoProgrammes, "in.ts out.mkv",
         {"video stream 0, mpeg2video 64x48 of programme 1101, one of 2 (--video-stream p:1102:v takes another)"},
         {{"-show_entries stream=codec_name,width -of csv=p=0 ", "ffv1,64\nmp2,\n"}}},
        {"two programmes: the second asked for", twoProgrammes, "--video-stream p:1102:v in.ts out.mkv",
         {"video stream 2, mpeg2video 80x48 of programme 1102"},
         {{"-show_entries stream=codec_name,width -of csv=p=0 ", "ffv1,80\nmp2,\n"}}},
        {"4:3 in MOV", clip + "60x48 -t 0.2 -aspect 4:3 -pix_fmt yuv420p -c:v ffv1 in.mov", "in.mov out.mkv", {},
         {{kRatio, "16:15\n"}}},
        {"4:3 in AVI", clip + "60x48 -t 0.2 -aspect 4:3 -pix_fmt yuv420p -c:v ffv1 in.avi", "in.avi out.avi", {},
         {{kRatio, "16:15\n"}}},
        {"4:3 in MKV", clip + "60x48 -t 0.2 -aspect 4:3 -pix_fmt yuv420p -c:v ffv1 in.mkv", "in.mkv out.mp4", {},
         {{kRatio, "16:15\n"}}},
        {"the ratio changes, the size stays", joined("60x48 -aspect 4:3", "60x48 -aspect 16:9"), "in.ts out.mkv",
         {"the sample aspect ratio changes from 16:15 to 64:45 at 2.050 s: out.mkv states 16:15 for the whole "
          "stream, each FFV1 picture its own"},
         {{kRatio, "16:15\n"}, {"-select_streams v " + kFramesRead, ""}}},
        {"the size changes at 2 s", joined("96x64 -aspect 4:3", "72x64 -aspect 4:3"), "in.ts out.mkv",
         {"the pictures from 2.050 s on are 72x64, not 96x64: each is filtered at its own size, then scaled to "
          "96x64, its luma too"},
         {{"-select_streams v -show_entries stream=width,height,sample_aspect_ratio -of csv=p=0 ", "96,64,8:9\n"},
          {"-select_streams v " + kFramesRead, ""},
          {"-select_streams a " + kPackets, ""}}},
        {"untagged interlaced YUY2 in AVI, top field first",
         "$F -f lavfi -i testsrc=rate=50:size=96x64" + moving + ",interlace=scan=tff -c:v rawvideo -pix_fmt "
         "yuyv422 in.avi", "in.avi out.mkv", {"fields filtered apart (it looks interlaced: not marked)"},
         {{"-show_entries stream=field_order -of csv=p=0 ", "tt\n"}, {kFramesRead, ""}}},
        {"untagged interlaced YUY2 in AVI, bottom field first",
         "$F -f lavfi -i testsrc=rate=50:size=96x64" + moving + ",interlace=scan=bff -c:v rawvideo -pix_fmt "
         "yuyv422 in.avi", "in.avi out.mkv", {"fields filtered apart (it looks interlaced: not marked)"},
         {{"-show_entries stream=field_order -of csv=p=0 ", "bb\n"}}},
        {"untagged progressive YUY2 in AVI",
         "$F -f lavfi -i testsrc=rate=25:size=96x64" + moving + " -c:v rawvideo -pix_fmt yuyv422 in.avi",
         "in.avi out.mkv", {"whole pictures filtered (it looks progressive: not marked)"},
         {{"-show_entries stream=field_order -of csv=p=0 ", "progressive\n"}}},
    };
    for (const ShapeRow& row : rows) {
        SCOPED_TRACE(row.name);
        const TempFolder folder;
        WriteFileBytes(folder.File("make.sh"), "F='" + kFfmpeg + "'; cd '" + folder.Path() + "' && " + row.make + "\n");
        ASSERT_EQ(Shell("bash '" + folder.File("make.sh") + "'"), 0);
        // script(1) gives uvdenoise a terminal, where the notes are shown.
        const std::string terminal = folder.File("terminal.txt");
        const int code = Shell("cd '" + folder.Path() + "' && script -qec \"" + kUvdenoise + " " + row.run + "\" '" +
                               terminal + "' < /dev/null > /dev/null");
        std::string shown = ReadFileBytes(terminal);
        shown.erase(std::remove(shown.begin(), shown.end(), '\r'), shown.end());
        EXPECT_EQ(code, 0) << shown;
        // Under Wine the terminal script(1) gives is Wine's console, which draws the lines in pieces.
        for (const std::string& said : kUvdenoise == kReference ? row.said : std::vector<std::string>{})
            EXPECT_NE(Unwrapped(shown).find("uvdenoise: " + said), std::string::npos) << said << "\n" << shown;
        const std::string in = row.run.substr(row.run.rfind(' ', row.run.rfind(' ') - 1) + 1,
                                              row.run.rfind(' ') - row.run.rfind(' ', row.run.rfind(' ') - 1) - 1);
        const std::string out = row.run.substr(row.run.rfind(' ') + 1);
        for (const auto& [arguments, expected] : row.probed) {
            const std::string found = Records(Output(folder, kFfprobe + arguments + out));
            // A transport stream's streams come twice, in their programme and after it.
            std::string source = Records(expected.empty() ? Output(folder, kFfprobe + arguments + in) : expected);
            if (source.size() % 2 == 0 && source.substr(0, source.size() / 2) == source.substr(source.size() / 2))
                source.resize(source.size() / 2);
            EXPECT_EQ(found, source) << arguments;
        }
    }
}

struct RefusedRow {
    const char* name;
    std::string script;  // bash, in a folder holding in.ts; $U is uvdenoise, $F ffmpeg, $P ffprobe
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
        {"no container", "$U in.ts out.wav", 2, "OUT out.wav names no container", {}},
        {"no OUT on a terminal", "script -qec '$U in.ts' /dev/null", 2,
         "picture data is not written to a terminal: name OUT (uvdenoise IN OUT.mkv), or give - and a program to "
         "take the YUV4MPEG2 pictures (uvdenoise IN - | ffplay -)", {}},
        {"- as OUT: the pictures as Y4M, as the Y4M path filters them",
         "set -e -o pipefail; $U in.ts - > piped.y4m\n$F -i in.ts -f yuv4mpegpipe - | $U | $F -i - -f rawvideo via.yuv\n"
         "$F -i piped.y4m -f rawvideo piped.yuv; cmp piped.yuv via.yuv", 0,
         "standard output gets the pictures only, as a YUV4MPEG2 stream: no sound, no timestamps",
         {"piped.y4m", "piped.yuv", "via.yuv"}},
        {"a TS with early sound to AVI",
         "$F -itsoffset 0.4 -f lavfi -i testsrc=size=64x48:duration=0.2 -f lavfi -i sine=duration=0.6 -c:v mpeg2video "
         "-c:a mp2 late.ts; $U late.ts out.avi", 0, "an AVI file starts every stream at its first packet: the video, "
         "0.4", {"late.ts", "out.avi"}},
        {"chapters before a 1 s start: clamped, or left out",
         "printf ';FFMETADATA1\\n[CHAPTER]\\nTIMEBASE=1/1000\\nSTART=0\\nEND=500\\ntitle=one\\n[CHAPTER]\\n"
         "TIMEBASE=1/1000\\nSTART=500\\nEND=1080\\n[CHAPTER]\\nTIMEBASE=1/1000\\nSTART=1080\\nEND=1120\\n' > early.txt\n"
         "$F -itsoffset 1 -f lavfi -i testsrc=size=64x48:duration=0.12 -i early.txt -map 0 -map_chapters 1 -c:v ffv1 "
         "-pix_fmt yuv420p early.mkv; $U early.mkv out.mkv || exit\n"
         "test \"$($P -show_entries chapter=start_time,end_time -of csv=p=0 out.mkv | tr '\\n' ' ')\" = "
         "'0.000000,0.080000 0.080000,0.120000 '",
         0, "chapter 1 (one) is left out: it ends at 0.500 s, before the recording starts at 1.000 s",
         {"early.txt", "early.mkv", "out.mkv"}},
        {"Y4M in, OUT named .mkv", "$F -i in.ts -f yuv4mpegpipe in.y4m; $U in.y4m out.mkv", 2,
         "OUT out.mkv names a Matroska file, and a YUV4MPEG2 input is written as YUV4MPEG2 only", {"in.y4m"}},
        {"a muxer's own reason", "$U in.ts out.dv", 2,
         "cannot write out.dv as a DV file: Can't initialize DV format! Make sure that you supply exactly two streams",
         {}},
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
        {"random bytes named .ts", "head -c 3000 /dev/urandom > noise.ts; $U noise.ts out.mkv", 2,
         "cannot read noise.ts as video: ", {"noise.ts"}},
        {"an empty file named .mkv", ": > empty.mkv; $U empty.mkv out.mkv", 2,
         "cannot read empty.mkv as video: EBML header parsing failed", {"empty.mkv"}},
        {"a folder named .ts", "mkdir dir.ts; $U dir.ts out.mkv; code=$?; rmdir dir.ts; exit $code", 2,
         "cannot read dir.ts as video: it is a folder", {}},
        {"an audio file with a cover",
         "$F -f lavfi -i sine -i cover.png -map 0 -map 1 -t 0.5 -c:a flac -c:v png -disposition:v attached_pic "
         "song.mka; $U song.mka out.mkv", 2, "song.mka has no video stream, only a cover picture", {"song.mka"}},
        {"a video stream asked for that is not there", "$U --video-stream v:1 in.ts out.mkv", 2,
         "--video-stream v:1 names no video stream of in.ts", {}},
        {"an MKV cut in half", "head -c $(($(stat -c %s whole.mkv) / 2)) whole.mkv > half.mkv; $U half.mkv out.mkv",
         1, "half.mkv ends at 2.016 s: cut off (its container gives 4.000 s)", {"whole.mkv", "half.mkv", "out.mkv"}},
        {"an MKV cut inside its last cluster",
         "head -c $(($(stat -c %s whole.mkv) * 9 / 10)) whole.mkv > cut.mkv; $U cut.mkv out.mkv", 1,
         "cut.mkv ends at 3.648 s: cut off (its last element is incomplete)", {"whole.mkv", "cut.mkv", "out.mkv"}},
        {"damaged video, read on to the end",
         "$F -f lavfi -i testsrc=size=64x48:rate=25 -t 0.4 -c:v mpeg2video -g 5 bad.m2v\n"
         "python3 -c \"b = bytearray(open('bad.m2v', 'rb').read()); n = len(b) // 2\n"
         "b[n:n + 200:3] = bytes(x ^ 0x5A for x in b[n:n + 200:3]); open('bad.m2v', 'wb').write(b)\"\n"
         "$U bad.m2v out.mkv", 1, "damaged video at 0.240 s: ac-tex damaged at 0 0; going on", {"bad.m2v", "out.mkv"}},
        {"Ctrl-C mid-run",
         "set -m; $U --threads 1 --window 30 --threshold 1 big.ts out.mkv & run=$!\n"
         "for i in $(seq 1000); do ls out.mkv.uvdenoise-*.tmp >/dev/null 2>&1 && break; sleep 0.01; done\n"
         "{ kill -INT $run; wait $run; } 2>/dev/null",
         128 + 2, "interrupted: out.mkv not written", {}},
    };
    const TempFolder made;
    ASSERT_EQ(Shell("cd '" + made.Path() + "' && " + kFfmpeg + kTestPicture +
                    "64x48 -t 0.2 -c:v mpeg2video in.ts && " + kFfmpeg + kTestPicture +
                    "720x576 -t 4 -c:v mpeg2video -q:v 20 big.ts && " + kFfmpeg + kTestPicture +
                    "64x48 -frames:v 1 cover.png && " + kFfmpeg + kTestPicture + "64x48" + kSound +
                    " -t 4 -pix_fmt yuv420p -c:v ffv1 -c:a flac whole.mkv"),
              0);
    for (const RefusedRow& row : rows) {
        SCOPED_TRACE(row.name);
        // Under Wine a dangling Unix link does not exist for a Windows program, start.exe, not the program, is
        // the process a signal reaches, and a terminal is Wine's console. The Windows build holds no DV muxer
        // and no FLAC parser (a cut-off file's end is then known to the last picture, not the last sound).
        if (kUvdenoise != kReference &&
            (row.script.find("nowhere") != std::string::npos || row.script.find("kill -INT") != std::string::npos ||
             row.script.find("script -qec") != std::string::npos || row.script.find("out.dv") != std::string::npos ||
             row.script.find("whole.mkv") != std::string::npos))
            continue;
        const TempFolder folder;
        std::filesystem::copy(made.File("in.ts"), folder.File("in.ts"));
        for (const std::string file : {"big.ts", "cover.png", "whole.mkv"})
            if (row.script.find(file) != std::string::npos)
                std::filesystem::copy(made.File(file), folder.File(file));
        const bool big = row.script.find("big.ts") != std::string::npos;
        const bool cover = row.script.find("cover.png") != std::string::npos;
        WriteFileBytes(folder.File("run.sh"), "export U='" + kUvdenoise + "' F='" + kFfmpeg + "' P='" + kFfprobe +
                                                  "'; cd '" +
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
        if (cover)
            expected.push_back("cover.png");
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
    }
}

// On a 40-column terminal: the progress line, written over in place, stays within the width, and Ctrl-C's
// line starts below it.
TEST(UvdenoiseMedia, TheProgressLineOnATerminal)
{
    if (kUvdenoise != kReference)
        GTEST_SKIP() << "under Wine the terminal is Wine's console, which draws the lines in pieces";
    const TempFolder folder;
    ASSERT_EQ(Shell("cd '" + folder.Path() + "' && " + kFfmpeg + kTestPicture + "720x576 -t 4 -c:v mpeg2video -q:v 20 big.ts"),
              0);
    WriteFileBytes(folder.File("run.sh"),
                   "cd '" + folder.Path() + "' || exit 98\nstty cols 40\nset -m; '" + kUvdenoise +
                       "' --threads 1 --window 30 --threshold 1 big.ts out.mkv & run=$!\n"
                       "for i in $(seq 1000); do ls out.mkv.uvdenoise-*.tmp >/dev/null 2>&1 && break; sleep 0.01; done\n"
                       "sleep 2; { kill -INT $run; wait $run; } 2>/dev/null\n");
    Shell("script -qec 'bash " + folder.File("run.sh") + "' /dev/null > '" + folder.File("log.txt") + "'");
    const std::string log = ReadFileBytes(folder.File("log.txt"));
    EXPECT_NE(log.find("of 100 frames"), std::string::npos) << log;
    EXPECT_NE(log.find("\nuvdenoise: interrupted: out.mkv not written"), std::string::npos) << log;
    for (size_t at = log.find('\r'); at != std::string::npos; at = log.find('\r', at + 1)) {
        const std::string shown = log.substr(at + 1, log.find_first_of("\r\n", at + 1) - at - 1);
        if (shown.find("frames") != std::string::npos) {
            EXPECT_LE(shown.size(), 39u) << shown;
        }
    }
}

}  // namespace
