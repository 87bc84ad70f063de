#include "cli/media_pictures.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace {

// The full-range yuvj formats hold the same samples as their yuv ones; the range travels as a property.
constexpr MediaPixelFormat kFormats[] = {
    {AV_PIX_FMT_YUV420P, {1, 1, false}, Packing::kPlanar, AV_PIX_FMT_YUV420P},
    {AV_PIX_FMT_YUVJ420P, {1, 1, false}, Packing::kPlanar, AV_PIX_FMT_YUV420P},
    {AV_PIX_FMT_YUV422P, {1, 0, false}, Packing::kPlanar, AV_PIX_FMT_YUV422P},
    {AV_PIX_FMT_YUVJ422P, {1, 0, false}, Packing::kPlanar, AV_PIX_FMT_YUV422P},
    {AV_PIX_FMT_YUV411P, {2, 0, false}, Packing::kPlanar, AV_PIX_FMT_YUV411P},
    {AV_PIX_FMT_YUV444P, {0, 0, false}, Packing::kPlanar, AV_PIX_FMT_YUV444P},
    {AV_PIX_FMT_YUVJ444P, {0, 0, false}, Packing::kPlanar, AV_PIX_FMT_YUV444P},
    {AV_PIX_FMT_YUYV422, {1, 0, false}, Packing::kYuyv, AV_PIX_FMT_YUV422P},
    {AV_PIX_FMT_UYVY422, {1, 0, false}, Packing::kUyvy, AV_PIX_FMT_YUV422P},
};

// Byte positions of Y0, U, Y1, V in a packed 4:2:2 pair of pixels.
struct PackedOrder {
    int y0, u, y1, v;
};
PackedOrder OrderOf(Packing packing)
{
    return packing == Packing::kYuyv ? PackedOrder{0, 1, 2, 3} : PackedOrder{1, 0, 3, 2};
}

}  // namespace

const MediaPixelFormat* FindMediaPixelFormat(AVPixelFormat format)
{
    for (const MediaPixelFormat& entry : kFormats)
        if (entry.format == format)
            return &entry;
    return nullptr;
}

std::string SupportedPixelFormatNames()
{
    std::string names;
    for (const MediaPixelFormat& entry : kFormats)
        names += (names.empty() ? "" : ", ") + std::string(av_get_pix_fmt_name(entry.format));
    return names;
}

void CopyToPlanes(const AVFrame& picture, const MediaPixelFormat& pixels, const PictureFormat& format,
                  uint8_t* planes)
{
    const PlaneGeometry luma = format.Luma(), chroma = format.Chroma();
    uint8_t* const y = planes;
    uint8_t* const u = y + luma.Bytes();
    uint8_t* const v = u + chroma.Bytes();
    if (pixels.packing == Packing::kPlanar) {
        av_image_copy_plane(y, luma.width, picture.data[0], picture.linesize[0], luma.width, luma.height);
        av_image_copy_plane(u, chroma.width, picture.data[1], picture.linesize[1], chroma.width, chroma.height);
        av_image_copy_plane(v, chroma.width, picture.data[2], picture.linesize[2], chroma.width, chroma.height);
        return;
    }
    const PackedOrder order = OrderOf(pixels.packing);
    for (int32_t row = 0; row < luma.height; ++row) {
        const uint8_t* pair = picture.data[0] + row * ptrdiff_t{picture.linesize[0]};
        uint8_t* yRow = y + row * ptrdiff_t{luma.width};
        for (int32_t x = 0; x < chroma.width; ++x, pair += 4) {
            yRow[2 * x] = pair[order.y0];
            if (2 * x + 1 < luma.width)
                yRow[2 * x + 1] = pair[order.y1];
            u[row * ptrdiff_t{chroma.width} + x] = pair[order.u];
            v[row * ptrdiff_t{chroma.width} + x] = pair[order.v];
        }
    }
}

void CopyFromPlanes(const uint8_t* planes, const PictureFormat& format, const MediaPixelFormat& pixels,
                    AVFrame& picture)
{
    const PlaneGeometry luma = format.Luma(), chroma = format.Chroma();
    const uint8_t* const y = planes;
    const uint8_t* const u = y + luma.Bytes();
    const uint8_t* const v = u + chroma.Bytes();
    if (picture.format != pixels.format || pixels.packing == Packing::kPlanar) {
        av_image_copy_plane(picture.data[0], picture.linesize[0], y, luma.width, luma.width, luma.height);
        av_image_copy_plane(picture.data[1], picture.linesize[1], u, chroma.width, chroma.width, chroma.height);
        av_image_copy_plane(picture.data[2], picture.linesize[2], v, chroma.width, chroma.width, chroma.height);
        return;
    }
    const PackedOrder order = OrderOf(pixels.packing);
    for (int32_t row = 0; row < luma.height; ++row) {
        uint8_t* pair = picture.data[0] + row * ptrdiff_t{picture.linesize[0]};
        const uint8_t* yRow = y + row * ptrdiff_t{luma.width};
        for (int32_t x = 0; x < chroma.width; ++x, pair += 4) {
            pair[order.y0] = yRow[2 * x];
            if (2 * x + 1 < luma.width)
                pair[order.y1] = yRow[2 * x + 1];
            pair[order.u] = u[row * ptrdiff_t{chroma.width} + x];
            pair[order.v] = v[row * ptrdiff_t{chroma.width} + x];
        }
    }
}
