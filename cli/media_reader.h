#pragma once

// The video file's side of the input: demuxes it, decodes its recording's video stream for the filter and
// keeps the packets of every other stream it copies, in the order read, for the writer.

#include <cstdint>
#include <deque>
#include <string>

#include "cli/ffmpeg_support.h"
#include "cli/frame_stream.h"
#include "cli/media_file.h"

class MediaReader : public FrameReader {
public:
    // `videoStream`: an FFmpeg stream specifier naming the stream to filter, "" for the recording's own;
    // `threads`: the decoder's, 0 one per core.
    MediaOpen Open(const std::string& path, const std::string& videoStream, int threads, std::string& error);
    ReadResult Read(uint8_t* planes) override;
    PictureFormat NextFormat() const override { return m_format; }
    uint64_t DamagedPictures() const override { return m_damaged; }

    AVFormatContext* Input() const { return m_input.get(); }
    AVStream* Video() const { return m_input->streams[m_video]; }
    // Streams of other programmes than the video's are neither read nor copied.
    bool Copies(const AVStream& stream) const { return stream.discard != AVDISCARD_ALL; }
    const AVCodecContext& Decoder() const { return *m_decoder; }
    const AVFrame& Picture() const { return *m_picture; }  // the picture last read (or first, before)
    const MediaPixelFormat& Pixels() const { return *m_pixels; }
    const PictureFormat& Format() const { return m_format; }
    // The picture's sample aspect ratio as ffmpeg takes it: the container's where it holds one.
    AVRational SampleAspectRatio() const;
    // Seconds from the file's start to `timestamp` of the video stream.
    double SecondsOf(int64_t timestamp) const;
    // Each stream's time before which nothing starts: the file's start, taken off every timestamp.
    int64_t FileStartIn(const AVStream& stream) const;
    // Packets of the other streams read so far; the writer takes them.
    std::deque<Packet>& OtherPackets() { return m_others; }
    uint64_t ExpectedPictures() const;
    // The stream's field order, else the one its pictures show (FieldsJudged()).
    AVFieldOrder FieldOrder() const { return m_fieldOrder; }
    // The field order was judged from the first second of pictures: the stream does not say it.
    bool FieldsJudged() const { return m_fieldsJudged; }
    // "video stream 1, h264 720x576", and how to pick another programme where there are several.
    const std::string& Description() const { return m_description; }

private:
    bool ChooseVideo(const std::string& videoStream, std::string& error);
    bool ReadPacket(AVPacket* packet);
    void JudgeFieldOrder();
    bool NextPicture();
    bool Decode(AVFrame* picture);
    bool EndedEarly();
    void ReportDamage(const std::string& what, int64_t timestamp);

    std::string m_path;
    std::unique_ptr<AVFormatContext, InputClose> m_input;
    std::unique_ptr<AVCodecContext, CodecFree> m_decoder;
    int m_video = -1;
    const MediaPixelFormat* m_pixels = nullptr;
    PictureFormat m_format;
    Frame m_picture = NewFrame();
    Packet m_packet = NewPacket();
    std::deque<Packet> m_ahead;  // read while choosing the video stream, not yet handed on
    std::deque<Packet> m_others;
    std::deque<Frame> m_held;  // decoded while judging the field order, not yet handed over
    AVFieldOrder m_fieldOrder = AV_FIELD_UNKNOWN;
    bool m_fieldsJudged = false;
    std::string m_description;
    std::string m_readError;       // the container's, which ends the reading
    int64_t m_readEnd = 0;         // the latest end of a packet read, in AV_TIME_BASE from the file's start
    bool m_firstPending = false;   // the picture decoded last is handed over by the next Read
    bool m_draining = false;
    uint64_t m_damaged = 0;
};

// Whether a Matroska file ends inside one of its elements (a cluster, most often): what a capture that
// stopped while writing leaves, which the demuxer reads as an end.
bool MatroskaCutOff(const std::string& path);
