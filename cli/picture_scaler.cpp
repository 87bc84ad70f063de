#include "cli/picture_scaler.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <new>

namespace {

AVPixelFormat WithoutRange(int format)
{
    switch (format) {
    case AV_PIX_FMT_YUVJ420P: return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: return AV_PIX_FMT_YUV444P;
    default: return static_cast<AVPixelFormat>(format);
    }
}

}  // namespace

PictureScaler::~PictureScaler() { sws_freeContext(m_context); }

void PictureScaler::Scale(const AVFrame& from, AVFrame& to)
{
    // Lanczos with accurate rounding, the sharpest of libswscale's, for a size that stays in an archive.
    m_context = sws_getCachedContext(m_context, from.width, from.height, WithoutRange(from.format), to.width,
                                     to.height, WithoutRange(to.format), SWS_LANCZOS | SWS_ACCURATE_RND, nullptr,
                                     nullptr, nullptr);
    if (!m_context)
        throw std::bad_alloc();
    sws_scale(m_context, from.data, from.linesize, 0, from.height, to.data, to.linesize);
}
