#pragma once

// Video files through FFmpeg's libraries, where the build has them (media_file.cpp with media_reader.cpp
// and media_writer.cpp; media_file_none.cpp elsewhere): the recording's video stream decoded, filtered and
// encoded again, every other stream copied packet for packet, and every timestamp kept, so that picture
// and sound stay as far apart as they were.

#include <cstdint>
#include <memory>
#include <string>

#include "cli/frame_stream.h"
#include "cli/options.h"
#include "cli/output_file.h"

struct MediaJob {
    PictureFormat format;
    bool fields = false;
    std::string fieldsReason;  // why the fields are filtered apart or not, for the progress line
    uint64_t expectedPictures = 0;  // 0: not known
    std::string stream;  // the stream filtered, for the progress line
    std::unique_ptr<FrameReader> reader;
    std::unique_ptr<FrameWriter> writer;
};

// True where this build reads and writes video files.
bool ReadsMediaFiles();

// What to type instead, after "<name> is <a container>, not YUV4MPEG2;".
std::string ContainerAdvice();

// Why a YUV4MPEG2 input is not written to `out` ("" when it can be): a name that promises a container
// (clean.mkv) would get a Y4M stream under it.
std::string Y4mOutputRefusal(const std::string& out);

enum class MediaOpen {
    kOpened,
    kNotMedia,  // no video file here (or a .y4m FFmpeg cannot read): the YUV4MPEG2 reader says what is wrong
    kRefused,   // `error` says why, in one sentence
};

// Opens `options.input`, reads up to its first picture and prepares `out`'s encoder and streams; nothing
// is created before the writer starts.
MediaOpen OpenMediaJob(const Options& options, OutputFile& out, MediaJob& job, std::string& error);
