#pragma once

// Filtered pictures of another size or chroma format than the output's first, scaled to it: Matroska, MP4
// and NUT hold one picture size per track, so a recording whose size changes keeps the first throughout.

extern "C" {
#include <libavutil/frame.h>
}

struct SwsContext;

class PictureScaler {
public:
    PictureScaler() = default;
    ~PictureScaler();
    PictureScaler(const PictureScaler&) = delete;
    PictureScaler& operator=(const PictureScaler&) = delete;

    // `from` into `to`, whose size, format and buffers are set; a full-range (yuvj) format on either side
    // is taken as its yuv twin, whose samples it holds, so that no range is converted. Throws std::bad_alloc.
    void Scale(const AVFrame& from, AVFrame& to);

private:
    SwsContext* m_context = nullptr;
};
