#pragma once

// What the media reader and writer share of FFmpeg: owning handles, error texts, and FFmpeg's own
// complaints caught for the one line that says why a job was refused or which picture is damaged.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <memory>
#include <new>
#include <string>

#include "cli/media_pictures.h"

std::string AvError(int code);

// Starts keeping FFmpeg's complaints (its log) instead of printing them.
void KeepFfmpegComplaints();
// The complaint kept since the last call, else `otherwise`.
std::string TakeComplaint(const std::string& otherwise);
// The first complaint kept since the last call, else `otherwise`; either call forgets both.
std::string TakeFirstComplaint(const std::string& otherwise);

struct InputClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct OutputFree {
    void operator()(AVFormatContext* context) const
    {
        if (context->pb) {
            av_freep(&context->pb->buffer);
            avio_context_free(&context->pb);
        }
        avformat_free_context(context);
    }
};
struct CodecFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

inline Frame NewFrame()
{
    Frame frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    return frame;
}

inline Packet NewPacket()
{
    Packet packet(av_packet_alloc());
    if (!packet)
        throw std::bad_alloc();
    return packet;
}

// A yuvj format: its range is a property of its own once the samples go on as the yuv format.
inline bool IsFullRangeKind(const MediaPixelFormat& pixels)
{
    return pixels.packing == Packing::kPlanar && pixels.format != pixels.planar;
}

inline bool IsInterlaced(AVFieldOrder order) { return order != AV_FIELD_UNKNOWN && order != AV_FIELD_PROGRESSIVE; }
