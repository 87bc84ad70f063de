// FFmpeg's version as the linked library gives it; the Windows program also names the Debian source
// packages its static FFmpeg and x264 were built from (UVD_FFMPEG_SOURCE, UVD_X264_SOURCE).

#include "cli/library_versions.h"

extern "C" {
#include <libavutil/avutil.h>
}

std::string LibraryVersions()
{
#if defined(UVD_FFMPEG_SOURCE) && defined(UVD_X264_SOURCE)
    return std::string("with FFmpeg ") + av_version_info() + " and x264, built from Debian's source packages ffmpeg " +
           UVD_FFMPEG_SOURCE + " and x264 " + UVD_X264_SOURCE;
#else
    return std::string("with FFmpeg's libraries ") + av_version_info();
#endif
}
