#pragma once

// The video file's side of the output: encodes the filtered pictures with the reader's properties and
// copies the reader's other packets with their timestamps.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/ffmpeg_support.h"
#include "cli/frame_stream.h"
#include "cli/media_reader.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "cli/picture_scaler.h"

// "an AVI file": the container in its users' words, with the article its sound takes.
std::string FileOf(const AVOutputFormat& container);

// An encoder's options in FFmpeg's words, in their order.
using EncoderSettings = std::vector<std::pair<std::string, std::string>>;

// One picture on its way to the muxer: the other streams' packets read before it, then the picture itself
// (none: the end, which flushes the encoder).
struct EncodeJob {
    std::vector<Packet> others;
    Frame picture;
};

// Encodes the filtered pictures with the reader's properties and copies the reader's other packets. The
// encoder and the muxer run on a thread of their own, so that the next picture is decoded and filtered
// while this one is encoded, as in a pipe of three programs.
class MediaWriter : public FrameWriter {
public:
    MediaWriter(MediaReader& reader, OutputFile& out) : m_reader(reader), m_out(out) {}
    ~MediaWriter() override;
    bool Prepare(const Options& options, std::string& error);
    StartResult Start() override;
    bool Write(const uint8_t* planes) override;
    bool Finish() override;

private:
    bool PrepareEncoder(const Options& options, const AVOutputFormat& container, std::string& error);
    // Opens m_encoder with these settings (the defaults, then the user's); else gives FFmpeg's complaint.
    bool OpenEncoder(const AVCodec& codec, AVRational timeBase, const EncoderSettings& defaults,
                     const EncoderSettings& own, std::string& complaint);
    // "" where the output's muxer takes the video (and a copy of `from` beside it, a cover as an attachment
    // when asked), else the muxer's own reason.
    std::string MuxerRefusal(const AVOutputFormat& container, const AVStream* from, bool asAttachment) const;
    bool AddStreams(const AVOutputFormat& container, std::string& error);
    void NoteChanges(const AVFrame& picture, bool scaled);
    // Moves every picture by what the encoder's time base loses of the first one's time (`start`, in the
    // stream's), where the output can hold it; says what is lost where it cannot.
    void KeepTheStart(int64_t start, int64_t framed);
    void Queue(EncodeJob job);
    void EncodeLoop();
    bool Encode(AVFrame* picture);
    bool Copy(std::vector<Packet>& others);
    bool Mux(AVPacket* packet);
    static int WriteBytes(void* writer, uint8_t* bytes, int size);
    static int64_t Seek(void* writer, int64_t offset, int whence);

    // Pictures waiting for the encoder: two keep it busy without holding many frames in memory.
    static constexpr size_t kQueuedPictures = 2;

    MediaReader& m_reader;
    OutputFile& m_out;
    std::unique_ptr<AVFormatContext, OutputFree> m_output;
    std::unique_ptr<AVCodecContext, CodecFree> m_encoder;
    std::vector<int> m_streamOf;  // each input stream's output stream, -1: left out
    AVPixelFormat m_encoderFormat = AV_PIX_FMT_NONE;
    int m_threads = 0;  // the encoder's, 0: one per core
    const MediaPixelFormat* m_firstPixels = nullptr;  // the format the output keeps
    PictureScaler m_scaler;
    std::string m_scaledTo;  // the size pictures are scaled from now, "" while they are the first size
    AVRational m_ratio{0, 1};  // the sample aspect ratio of the last picture not scaled
    Packet m_packet = NewPacket();  // the encoder thread's
    int64_t m_lastPts = AV_NOPTS_VALUE;
    int64_t m_startShift = 0;  // added to the video's packets, in the output stream's time base

    std::thread m_encoding;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<EncodeJob> m_jobs;
    bool m_abandoned = false;          // the run ends without Finish: the thread stops without encoding
    std::atomic<bool> m_failed{false};  // reported by the encoder thread
};
