#pragma once

// The video file's side of the input: demuxes it, decodes its video stream for the filter and keeps every
// other stream's packets, in the order read, for the writer.

#include <cstdint>
#include <deque>
#include <string>

#include "cli/ffmpeg_support.h"
#include "cli/frame_stream.h"
#include "cli/media_file.h"

class MediaReader : public FrameReader {
public:
    // threads: the decoder's, 0 one per core.
    MediaOpen Open(const std::string& path, int threads, std::string& error);
    ReadResult Read(uint8_t* planes) override;
    uint64_t DamagedPictures() const override { return m_damaged; }

    AVFormatContext* Input() const { return m_input.get(); }
    AVStream* Video() const { return m_input->streams[m_video]; }
    const AVCodecContext& Decoder() const { return *m_decoder; }
    const AVFrame& Picture() const { return *m_picture; }  // the picture last read (or first, before)
    const MediaPixelFormat& Pixels() const { return *m_pixels; }
    const PictureFormat& Format() const { return m_format; }
    // Each stream's time before which nothing starts: the file's start, taken off every timestamp.
    int64_t StartIn(const AVStream& stream) const;
    // Packets of the other streams read so far; the writer takes them.
    std::deque<Packet>& OtherPackets() { return m_others; }
    uint64_t ExpectedPictures() const;

private:
    bool Decode();
    void ReportDamage(const std::string& what, int64_t timestamp);

    std::unique_ptr<AVFormatContext, InputClose> m_input;
    std::unique_ptr<AVCodecContext, CodecFree> m_decoder;
    int m_video = -1;
    const MediaPixelFormat* m_pixels = nullptr;
    PictureFormat m_format;
    Frame m_picture = NewFrame();
    Packet m_packet = NewPacket();
    std::deque<Packet> m_others;
    bool m_firstPending = false;  // Open decoded the first picture; Read hands it over first
    bool m_draining = false;
    uint64_t m_damaged = 0;
};
