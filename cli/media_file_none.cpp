// Builds without FFmpeg's libraries (the Windows program, a Linux tree with UVD_MEDIA_FILES off) read
// YUV4MPEG2 only.

#include "cli/media_file.h"

bool ReadsMediaFiles() { return false; }

std::string ContainerAdvice()
{
    return "let ffmpeg decode it:\n"
           "  ffmpeg -i IN -f yuv4mpegpipe - | uvdenoise [options] - OUT.y4m";
}

MediaOpen OpenMediaJob(const Options&, OutputFile&, MediaJob&, std::string&) { return MediaOpen::kNotMedia; }

// Nothing here writes a container: a Y4M stream goes under whatever name it is given.
std::string Y4mOutputRefusal(const std::string&) { return ""; }
