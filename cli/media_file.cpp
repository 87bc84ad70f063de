#include "cli/media_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/file_system.h"
#include "cli/media_pictures.h"
#include "cli/report.h"

namespace {

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// FFmpeg's last complaint, for the one line that says why a job was refused or which picture is damaged;
// decoders complain from threads of their own.
std::mutex g_complaintMutex;
std::string g_ffmpegComplaint;

extern "C" void KeepComplaint(void*, int level, const char* format, va_list arguments)
{
    if (level > AV_LOG_ERROR)
        return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string complaint = text;
    while (!complaint.empty() && (complaint.back() == '\n' || complaint.back() == '.'))
        complaint.pop_back();
    std::lock_guard<std::mutex> lock(g_complaintMutex);
    if (!complaint.empty())
        g_ffmpegComplaint = complaint;
}

// The complaint kept since the last call, else `otherwise`.
std::string TakeComplaint(const std::string& otherwise)
{
    std::lock_guard<std::mutex> lock(g_complaintMutex);
    std::string complaint = g_ffmpegComplaint.empty() ? otherwise : g_ffmpegComplaint;
    g_ffmpegComplaint.clear();
    return complaint;
}

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

Frame NewFrame()
{
    Frame frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    return frame;
}

Packet NewPacket()
{
    Packet packet(av_packet_alloc());
    if (!packet)
        throw std::bad_alloc();
    return packet;
}

// A yuvj format: its range is a property of its own once the samples go on as the yuv format.
bool IsFullRangeKind(const MediaPixelFormat& pixels)
{
    return pixels.packing == Packing::kPlanar && pixels.format != pixels.planar;
}

bool IsInterlaced(AVFieldOrder order) { return order != AV_FIELD_UNKNOWN && order != AV_FIELD_PROGRESSIVE; }

// Demuxes the input, decodes its first video stream and keeps every other stream's packets, in the order
// read, for the writer.
class MediaReader : public FrameReader {
public:
    MediaOpen Open(const std::string& path, std::string& error);
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

MediaOpen MediaReader::Open(const std::string& path, std::string& error)
{
    AVFormatContext* input = nullptr;
    // What FFmpeg does not recognise is for the YUV4MPEG2 reader to diagnose.
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0)
        return MediaOpen::kNotMedia;
    m_input.reset(input);
    int result = avformat_find_stream_info(input, nullptr);
    if (result < 0) {
        error = "cannot read " + path + ": " + AvError(result);
        return MediaOpen::kRefused;
    }
    for (unsigned i = 0; i < input->nb_streams && m_video < 0; ++i)
        if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(input->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC))
            m_video = static_cast<int>(i);
    if (m_video < 0) {
        error = path + " has no video stream";
        return MediaOpen::kRefused;
    }
    const AVCodecParameters& parameters = *Video()->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (!codec) {
        error = "no decoder for " + path + "'s video (" + avcodec_get_name(parameters.codec_id) + ")";
        return MediaOpen::kRefused;
    }
    m_decoder.reset(avcodec_alloc_context3(codec));
    if (!m_decoder)
        throw std::bad_alloc();
    avcodec_parameters_to_context(m_decoder.get(), &parameters);
    m_decoder->pkt_timebase = Video()->time_base;
    m_decoder->thread_count = 0;  // one per core
    m_decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    result = avcodec_open2(m_decoder.get(), codec, nullptr);
    if (result < 0) {
        error = "cannot decode " + path + "'s video: " + AvError(result);
        return MediaOpen::kRefused;
    }
    if (!Decode()) {
        error = path + "'s video stream holds no picture";
        return MediaOpen::kRefused;
    }
    const auto pixelFormat = static_cast<AVPixelFormat>(m_picture->format);
    m_pixels = FindMediaPixelFormat(pixelFormat);
    if (!m_pixels) {
        const char* name = av_get_pix_fmt_name(pixelFormat);
        error = path + "'s video is " + (name ? name : "of an unknown pixel format") +
                "; supported: 8-bit " + SupportedPixelFormatNames();
        return MediaOpen::kRefused;
    }
    if (int64_t{m_picture->width} * m_picture->height > kMaxPicturePixels) {
        error = path + "'s pictures, " + std::to_string(m_picture->width) + "x" + std::to_string(m_picture->height) +
                ", are larger than 8192x8192 pixels";
        return MediaOpen::kRefused;
    }
    m_format.width = m_picture->width;
    m_format.height = m_picture->height;
    m_format.chroma = m_pixels->chroma;
    m_firstPending = true;
    return MediaOpen::kOpened;
}

ReadResult MediaReader::Read(uint8_t* planes)
{
    if (!m_firstPending && !Decode())
        return ReadResult::kEnd;
    m_firstPending = false;
    if (m_picture->width != m_format.width || m_picture->height != m_format.height ||
        m_picture->format != m_pixels->format) {
        Report("the video changes its picture size or format at " +
               std::to_string(av_q2d(Video()->time_base) *
                              (m_picture->best_effort_timestamp - StartIn(*Video()))) +
               " s; the pictures before it are written");
        return ReadResult::kStopped;
    }
    CopyToPlanes(*m_picture, *m_pixels, m_format, planes);
    return ReadResult::kPicture;
}

bool MediaReader::Decode()
{
    for (;;) {
        int result = avcodec_receive_frame(m_decoder.get(), m_picture.get());
        if (result == 0) {
            if (m_picture->decode_error_flags || (m_picture->flags & AV_FRAME_FLAG_CORRUPT))
                ReportDamage("picture decoded with errors", m_picture->best_effort_timestamp);
            return true;
        }
        if (result == AVERROR_EOF)
            return false;
        if (result != AVERROR(EAGAIN)) {
            ReportDamage("decode error (" + AvError(result) + ")", m_packet->pts);
            continue;
        }
        if (m_draining)
            return false;
        result = av_read_frame(m_input.get(), m_packet.get());
        if (result < 0) {
            if (result != AVERROR_EOF)
                ReportDamage("read error (" + AvError(result) + ")", AV_NOPTS_VALUE);
            m_draining = true;
            avcodec_send_packet(m_decoder.get(), nullptr);
            continue;
        }
        if (m_packet->stream_index == m_video) {
            result = avcodec_send_packet(m_decoder.get(), m_packet.get());
            if (result < 0)
                ReportDamage("decode error (" + AvError(result) + ")", m_packet->pts);
            av_packet_unref(m_packet.get());
        } else {
            Packet other = NewPacket();
            av_packet_move_ref(other.get(), m_packet.get());
            m_others.push_back(std::move(other));
        }
    }
}

void MediaReader::ReportDamage(const std::string& what, int64_t timestamp)
{
    ++m_damaged;
    std::string when = "";
    if (timestamp != AV_NOPTS_VALUE) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, " at %.3f s", av_q2d(Video()->time_base) * (timestamp - StartIn(*Video())));
        when = seconds;
    }
    Report("damaged video" + when + ": " + TakeComplaint(what) + "; going on");
}

int64_t MediaReader::StartIn(const AVStream& stream) const
{
    const int64_t start = m_input->start_time == AV_NOPTS_VALUE ? 0 : m_input->start_time;
    return av_rescale_q(start, AV_TIME_BASE_Q, stream.time_base);
}

uint64_t MediaReader::ExpectedPictures() const
{
    const AVStream& video = *Video();
    if (video.nb_frames > 0)
        return static_cast<uint64_t>(video.nb_frames);
    const AVRational rate = av_guess_frame_rate(m_input.get(), Video(), nullptr);
    double seconds = 0;
    if (video.duration != AV_NOPTS_VALUE)
        seconds = video.duration * av_q2d(video.time_base);
    else if (m_input->duration != AV_NOPTS_VALUE)
        seconds = m_input->duration / double(AV_TIME_BASE);
    return rate.num > 0 ? static_cast<uint64_t>(seconds * av_q2d(rate) + 0.5) : 0;
}

// The encoder's settings when none are given: lossless FFV1 as archives keep tape transfers (version 3,
// every picture a key frame, slices for threads, checksums to find damage), else H.264 at a quality
// where the eye sees no loss.
const char* DefaultEncoderFor(const AVOutputFormat& container)
{
    const std::string name = container.name;
    if (name.find("mp4") == std::string::npos && name.find("mov") == std::string::npos &&
        avformat_query_codec(&container, AV_CODEC_ID_FFV1, FF_COMPLIANCE_NORMAL) == 1)
        return "ffv1";
    return "libx264";
}

const char* DefaultEncoderOptions(const std::string& encoder)
{
    if (encoder == "ffv1")
        return "level=3:g=1:slices=16:slicecrc=1:context=1";
    if (encoder == "libx264")
        return "crf=16:preset=medium";
    return "";
}

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
    bool AddStreams(const AVOutputFormat& container, std::string& error);
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
    Packet m_packet = NewPacket();  // the encoder thread's
    int64_t m_lastPts = AV_NOPTS_VALUE;

    std::thread m_encoding;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<EncodeJob> m_jobs;
    bool m_abandoned = false;          // the run ends without Finish: the thread stops without encoding
    std::atomic<bool> m_failed{false};  // reported by the encoder thread
};

bool MediaWriter::Prepare(const Options& options, std::string& error)
{
    const AVOutputFormat* container = av_guess_format(nullptr, m_out.Name().c_str(), nullptr);
    if (m_out.Name() == "-" || !container || (container->flags & AVFMT_NOFILE) ||
        container->video_codec == AV_CODEC_ID_NONE || std::string(container->name) == "yuv4mpegpipe") {
        error = "OUT " + m_out.Name() + " names no container for a video file with its sound: end it in .mkv, "
                ".mp4, .avi, .mov or .nut";
        return false;
    }
    AVFormatContext* output = nullptr;
    const int result = avformat_alloc_output_context2(&output, container, nullptr, nullptr);
    if (result < 0) {
        error = "cannot write a " + std::string(container->name) + " file: " + AvError(result);
        return false;
    }
    m_output.reset(output);
    return PrepareEncoder(options, *container, error) && AddStreams(*container, error);
}

bool MediaWriter::PrepareEncoder(const Options& options, const AVOutputFormat& container, std::string& error)
{
    const std::string name = options.encoder.empty() ? DefaultEncoderFor(container) : options.encoder;
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO) {
        error = "no video encoder called " + name + " (ffmpeg -encoders lists them)";
        return false;
    }
    const MediaPixelFormat& pixels = m_reader.Pixels();
    for (const AVPixelFormat* format = codec->pix_fmts; format && *format != AV_PIX_FMT_NONE; ++format)
        if (*format == pixels.format || (*format == pixels.planar && m_encoderFormat == AV_PIX_FMT_NONE))
            m_encoderFormat = *format;
    if (m_encoderFormat == AV_PIX_FMT_NONE) {
        error = "encoder " + name + " does not take " + av_get_pix_fmt_name(pixels.format) +
                (pixels.planar != pixels.format ? std::string(" or ") + av_get_pix_fmt_name(pixels.planar) : "") +
                ", the input's pictures; --encoder ffv1 does";
        return false;
    }
    m_encoder.reset(avcodec_alloc_context3(codec));
    if (!m_encoder)
        throw std::bad_alloc();
    const AVCodecContext& decoder = m_reader.Decoder();
    const AVFrame& first = m_reader.Picture();
    const AVStream& video = *m_reader.Video();
    AVCodecContext& encoder = *m_encoder;
    encoder.width = first.width;
    encoder.height = first.height;
    encoder.pix_fmt = m_encoderFormat;
    encoder.sample_aspect_ratio = first.sample_aspect_ratio;
    encoder.color_range = IsFullRangeKind(pixels) ? AVCOL_RANGE_JPEG : first.color_range;
    encoder.color_primaries = first.color_primaries;
    encoder.color_trc = first.color_trc;
    encoder.colorspace = first.colorspace;
    encoder.chroma_sample_location = decoder.chroma_sample_location;
    encoder.field_order = decoder.field_order != AV_FIELD_UNKNOWN ? decoder.field_order
                          : !first.interlaced_frame          ? AV_FIELD_PROGRESSIVE
                          : first.top_field_first            ? AV_FIELD_TT
                                                             : AV_FIELD_BB;
    if (IsInterlaced(encoder.field_order))
        encoder.flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    encoder.framerate = av_guess_frame_rate(m_reader.Input(), m_reader.Video(), nullptr);
    // The stream's own time base keeps every timestamp, a variable frame rate's too; AVI counts frames.
    encoder.time_base = std::string(container.name) == "avi" && encoder.framerate.num > 0
                            ? av_inv_q(encoder.framerate)
                            : video.time_base;
    encoder.thread_count = 0;
    if (container.flags & AVFMT_GLOBALHEADER)
        encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* settings = nullptr;
    std::unique_ptr<AVDictionary*, void (*)(AVDictionary**)> freeSettings(&settings, av_dict_free);
    if (av_dict_parse_string(&settings, DefaultEncoderOptions(name), "=", ":", 0) < 0 ||
        av_dict_parse_string(&settings, options.encoderOptions.c_str(), "=", ":", 0) < 0) {
        error = "--encoder-options wants key=value pairs with ':' between them, not \"" + options.encoderOptions +
                "\"";
        return false;
    }
    const int result = avcodec_open2(m_encoder.get(), codec, &settings);
    if (result < 0) {
        error = "encoder " + name + " refuses its settings: " + TakeComplaint(AvError(result));
        return false;
    }
    if (const AVDictionaryEntry* unknown = av_dict_get(settings, "", nullptr, AV_DICT_IGNORE_SUFFIX)) {
        error = "encoder " + name + " has no option " + unknown->key + " (ffmpeg -h encoder=" + name + " lists them)";
        return false;
    }
    return true;
}

bool MediaWriter::AddStreams(const AVOutputFormat& container, std::string& error)
{
    AVFormatContext& input = *m_reader.Input();
    AVFormatContext& output = *m_output;
    m_streamOf.assign(input.nb_streams, -1);
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream& from = *input.streams[i];
        const bool video = static_cast<int>(i) == m_reader.Video()->index;
        if (!video && avformat_query_codec(&container, from.codecpar->codec_id, FF_COMPLIANCE_NORMAL) == 0) {
            const std::string what = std::string(av_get_media_type_string(from.codecpar->codec_type)
                                                     ? av_get_media_type_string(from.codecpar->codec_type)
                                                     : "data") +
                                     " stream " + std::to_string(i) + " (" +
                                     avcodec_get_name(from.codecpar->codec_id) + ")";
            if (from.codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
                error = "a " + std::string(container.name) + " file cannot hold " + what +
                        "; .mkv or .nut holds it";
                return false;
            }
            Report(what + " is left out: a " + container.name + " file cannot hold it");
            continue;
        }
        AVStream* to = avformat_new_stream(&output, nullptr);
        if (!to)
            throw std::bad_alloc();
        m_streamOf[i] = to->index;
        if (video) {
            avcodec_parameters_from_context(to->codecpar, m_encoder.get());
            to->time_base = m_encoder->time_base;
            to->avg_frame_rate = from.avg_frame_rate;
            to->sample_aspect_ratio = m_encoder->sample_aspect_ratio;
        } else {
            avcodec_parameters_copy(to->codecpar, from.codecpar);
            to->codecpar->codec_tag = 0;
            to->time_base = from.time_base;
        }
        to->disposition = from.disposition;
        av_dict_copy(&to->metadata, from.metadata, 0);
    }
    av_dict_copy(&output.metadata, input.metadata, 0);
    for (unsigned i = 0; i < input.nb_chapters; ++i) {
        const AVChapter& from = *input.chapters[i];
        AVChapter* to = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!to || av_dynarray_add_nofree(&output.chapters, reinterpret_cast<int*>(&output.nb_chapters), to) < 0) {
            av_free(to);
            throw std::bad_alloc();
        }
        const int64_t start = av_rescale_q(input.start_time == AV_NOPTS_VALUE ? 0 : input.start_time,
                                           AV_TIME_BASE_Q, from.time_base);
        to->id = from.id;
        to->time_base = from.time_base;
        to->start = from.start - start;
        to->end = from.end - start;
        av_dict_copy(&to->metadata, from.metadata, 0);
    }
    error.clear();
    return true;
}

StartResult MediaWriter::Start()
{
    std::string error;
    if (!m_out.Open(error)) {
        Report(error);
        return StartResult::kNotCreated;
    }
    constexpr int kBufferBytes = 1 << 16;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferBytes));
    if (!buffer)
        throw std::bad_alloc();
    m_output->pb = avio_alloc_context(buffer, kBufferBytes, 1, this, nullptr, WriteBytes, Seek);
    if (!m_output->pb) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    if (!IsRegularFileStream(m_out.Stream()))
        m_output->pb->seekable = 0;
    const int result = avformat_write_header(m_output.get(), nullptr);
    if (result < 0) {
        Report("cannot write " + m_out.Name() + "'s header: " + AvError(result));
        return StartResult::kNotCreated;
    }
    m_encoding = std::thread(&MediaWriter::EncodeLoop, this);
    return StartResult::kStarted;
}

bool MediaWriter::Write(const uint8_t* planes)
{
    const AVFrame& picture = m_reader.Picture();
    Frame encoded = NewFrame();
    encoded->format = m_encoderFormat;
    encoded->width = picture.width;
    encoded->height = picture.height;
    if (av_frame_get_buffer(encoded.get(), 0) < 0 || av_frame_copy_props(encoded.get(), &picture) < 0)
        throw std::bad_alloc();
    CopyFromPlanes(planes, m_reader.Format(), m_reader.Pixels(), *encoded);
    if (IsFullRangeKind(m_reader.Pixels()))
        encoded->color_range = AVCOL_RANGE_JPEG;
    const AVStream& video = *m_reader.Video();
    int64_t pts = picture.best_effort_timestamp;
    pts = pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : av_rescale_q(pts - m_reader.StartIn(video), video.time_base,
                                                                m_encoder->time_base);
    // Encoders take only rising timestamps: a picture without one, or out of step, follows the one before.
    if (m_lastPts != AV_NOPTS_VALUE && (pts == AV_NOPTS_VALUE || pts <= m_lastPts))
        pts = m_lastPts + 1;
    if (pts == AV_NOPTS_VALUE)
        pts = 0;
    encoded->pts = m_lastPts = pts;
    encoded->pict_type = AV_PICTURE_TYPE_NONE;
    Queue({{}, std::move(encoded)});
    return !m_failed;
}

void MediaWriter::Queue(EncodeJob job)
{
    std::deque<Packet>& others = m_reader.OtherPackets();
    for (; !others.empty(); others.pop_front())
        job.others.push_back(std::move(others.front()));
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return m_jobs.size() < kQueuedPictures || m_failed; });
    m_jobs.push_back(std::move(job));
    m_changed.notify_all();
}

void MediaWriter::EncodeLoop()
{
    for (;;) {
        EncodeJob job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [&] { return !m_jobs.empty(); });
            if (m_abandoned)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_changed.notify_all();
        }
        const bool done = !job.picture;
        if (!m_failed && !(Copy(job.others) && Encode(job.picture.get()))) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_failed = true;
            m_changed.notify_all();
        }
        if (done)
            return;
    }
}

MediaWriter::~MediaWriter()
{
    if (m_encoding.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_abandoned = true;
            m_jobs.emplace_back();
            m_changed.notify_all();
        }
        m_encoding.join();
    }
}

bool MediaWriter::Encode(AVFrame* picture)
{
    int result = avcodec_send_frame(m_encoder.get(), picture);
    while (result >= 0) {
        result = avcodec_receive_packet(m_encoder.get(), m_packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result >= 0) {
            m_packet->stream_index = m_streamOf[m_reader.Video()->index];
            av_packet_rescale_ts(m_packet.get(), m_encoder->time_base,
                                 m_output->streams[m_packet->stream_index]->time_base);
            if (!Mux(m_packet.get()))
                return false;
        }
    }
    Report("cannot encode the video: " + AvError(result));
    return false;
}

bool MediaWriter::Copy(std::vector<Packet>& others)
{
    for (Packet& other : others) {
        AVPacket& packet = *other;
        const AVStream& from = *m_reader.Input()->streams[packet.stream_index];
        const int to = m_streamOf[packet.stream_index];
        if (to < 0)
            continue;
        const int64_t start = m_reader.StartIn(from);
        if (packet.pts != AV_NOPTS_VALUE)
            packet.pts -= start;
        if (packet.dts != AV_NOPTS_VALUE)
            packet.dts -= start;
        av_packet_rescale_ts(&packet, from.time_base, m_output->streams[to]->time_base);
        packet.stream_index = to;
        packet.pos = -1;
        if (!Mux(&packet))
            return false;
    }
    return true;
}

bool MediaWriter::Mux(AVPacket* packet)
{
    const int result = av_interleaved_write_frame(m_output.get(), packet);
    if (result < 0)
        Report("cannot write the output: " + AvError(result));
    return result >= 0;
}

bool MediaWriter::Finish()
{
    Queue({});
    m_encoding.join();
    if (m_failed)
        return false;
    int result = av_write_trailer(m_output.get());
    if (result >= 0) {
        avio_flush(m_output->pb);
        result = m_output->pb->error;
    }
    if (result < 0) {
        Report("cannot write the output: " + AvError(result));
        return false;
    }
    std::string error;
    if (!m_out.Finish(error)) {
        Report(error);
        return false;
    }
    return true;
}

int MediaWriter::WriteBytes(void* writer, uint8_t* bytes, int size)
{
    std::FILE* stream = static_cast<MediaWriter*>(writer)->m_out.Stream();
    if (std::fwrite(bytes, 1, static_cast<size_t>(size), stream) == static_cast<size_t>(size))
        return size;
    return AVERROR(errno ? errno : EIO);
}

int64_t MediaWriter::Seek(void* writer, int64_t offset, int whence)
{
    std::FILE* stream = static_cast<MediaWriter*>(writer)->m_out.Stream();
    if (whence & AVSEEK_SIZE)
        return AVERROR(ENOSYS);
    if (fseeko(stream, offset, whence & ~AVSEEK_FORCE) != 0)
        return AVERROR(errno);
    return ftello(stream);
}

const char* FieldOrderName(AVFieldOrder order)
{
    switch (order) {
    case AV_FIELD_TT:
    case AV_FIELD_TB:
        return "top field first";
    case AV_FIELD_BB:
    case AV_FIELD_BT:
        return "bottom field first";
    default:
        return "progressive";
    }
}

}  // namespace

bool ReadsMediaFiles() { return true; }

std::string ContainerAdvice() { return "give it by name: uvdenoise [options] IN OUT.mkv"; }

MediaOpen OpenMediaJob(const Options& options, OutputFile& out, MediaJob& job, std::string& error)
{
    // FFmpeg's messages become part of ours.
    TakeComplaint("");
    av_log_set_callback(KeepComplaint);
    auto reader = std::make_unique<MediaReader>();
    MediaOpen opened = reader->Open(options.input, error);
    auto writer = std::make_unique<MediaWriter>(*reader, out);
    if (opened == MediaOpen::kOpened && !writer->Prepare(options, error))
        opened = MediaOpen::kRefused;
    if (opened != MediaOpen::kOpened)
        return opened;
    job.format = reader->Format();
    const AVFieldOrder order = reader->Decoder().field_order;
    const AVFrame& first = reader->Picture();
    const bool interlaced = order != AV_FIELD_UNKNOWN ? IsInterlaced(order) : first.interlaced_frame != 0;
    const std::string said = order != AV_FIELD_UNKNOWN ? std::string("the stream says ") + FieldOrderName(order)
                             : interlaced ? std::string("its first picture is interlaced")
                                          : std::string("its first picture is progressive");
    job.fields = options.fields == Fields::kAuto ? interlaced : options.fields == Fields::kApart;
    job.fieldsReason = options.fields == Fields::kAuto ? said
                       : options.fields == Fields::kApart ? "--fields; " + said
                                                          : "--no-fields; " + said;
    job.expectedPictures = reader->ExpectedPictures();
    job.reader = std::move(reader);
    job.writer = std::move(writer);
    return MediaOpen::kOpened;
}
