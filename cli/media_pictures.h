#pragma once

// A decoded picture's samples in and out of the filter's planes, without loss: the pixel formats the
// filter takes, and the copies between FFmpeg's frames (padded rows, packed 4:2:2) and the planes.

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include <cstdint>
#include <string>

#include "cli/frame_stream.h"

enum class Packing { kPlanar, kYuyv, kUyvy };

struct MediaPixelFormat {
    AVPixelFormat format;
    ChromaLayout chroma;
    Packing packing;
    AVPixelFormat planar;  // the same samples as planes, which any planar encoder takes
};

// The entry for `format`, or nullptr when the filter does not take it.
const MediaPixelFormat* FindMediaPixelFormat(AVPixelFormat format);

// "yuv420p, yuvj420p, ..." for messages.
std::string SupportedPixelFormatNames();

// `picture` (in `pixels`'s format) into the planes of `format`.
void CopyToPlanes(const AVFrame& picture, const MediaPixelFormat& pixels, const PictureFormat& format,
                  uint8_t* planes);

// The planes into `picture`, whose format is either `pixels.format` or `pixels.planar`.
void CopyFromPlanes(const uint8_t* planes, const PictureFormat& format, const MediaPixelFormat& pixels,
                    AVFrame& picture);
