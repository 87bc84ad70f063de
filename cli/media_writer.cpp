#include "cli/media_writer.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cerrno>
#include <cstdio>

#include "cli/file_system.h"
#include "cli/report.h"

namespace {

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

}  // namespace

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
    m_firstPixels = &pixels;
    m_ratio = m_reader.SampleAspectRatio();
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
    encoder.sample_aspect_ratio = m_reader.SampleAspectRatio();
    encoder.color_range = IsFullRangeKind(pixels) ? AVCOL_RANGE_JPEG : first.color_range;
    encoder.color_primaries = first.color_primaries;
    encoder.color_trc = first.color_trc;
    encoder.colorspace = first.colorspace;
    encoder.chroma_sample_location = decoder.chroma_sample_location;
    encoder.field_order = m_reader.FieldOrder();
    if (IsInterlaced(encoder.field_order))
        encoder.flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    encoder.framerate = av_guess_frame_rate(m_reader.Input(), m_reader.Video(), nullptr);
    // The stream's own time base keeps every timestamp, a variable frame rate's too; AVI counts frames.
    encoder.time_base = std::string(container.name) == "avi" && encoder.framerate.num > 0
                            ? av_inv_q(encoder.framerate)
                            : video.time_base;
    encoder.thread_count = options.threads;  // 0: one per core
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
        if (!m_reader.Copies(from))
            continue;
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
    encoded->width = m_encoder->width;
    encoded->height = m_encoder->height;
    if (av_frame_get_buffer(encoded.get(), 0) < 0 || av_frame_copy_props(encoded.get(), &picture) < 0)
        throw std::bad_alloc();
    const bool scaled = picture.width != m_encoder->width || picture.height != m_encoder->height ||
                        m_reader.Pixels().format != m_firstPixels->format;
    NoteChanges(picture, scaled);
    if (scaled) {
        Frame filtered = NewFrame();
        filtered->format = m_reader.Pixels().planar;
        filtered->width = picture.width;
        filtered->height = picture.height;
        if (av_frame_get_buffer(filtered.get(), 0) < 0)
            throw std::bad_alloc();
        CopyFromPlanes(planes, m_reader.Format(), m_reader.Pixels(), *filtered);
        m_scaler.Scale(*filtered, *encoded);
        encoded->sample_aspect_ratio = m_encoder->sample_aspect_ratio;
    } else {
        CopyFromPlanes(planes, m_reader.Format(), m_reader.Pixels(), *encoded);
        encoded->sample_aspect_ratio = m_reader.SampleAspectRatio();
    }
    if (IsFullRangeKind(*m_firstPixels))
        encoded->color_range = AVCOL_RANGE_JPEG;
    if (m_reader.FieldsJudged()) {
        encoded->interlaced_frame = IsInterlaced(m_encoder->field_order);
        encoded->top_field_first = m_encoder->field_order == AV_FIELD_TT;
    }
    const AVStream& video = *m_reader.Video();
    int64_t pts = picture.best_effort_timestamp;
    pts = pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : av_rescale_q(pts - m_reader.FileStartIn(video), video.time_base,
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
        const int64_t start = m_reader.FileStartIn(from);
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

// A change of size or ratio mid-stream, said once where it happens: the output keeps the first size, and
// its container one ratio (FFV1 pictures carry their own too).
void MediaWriter::NoteChanges(const AVFrame& picture, bool scaled)
{
    const auto size = [](int width, int height) { return std::to_string(width) + "x" + std::to_string(height); };
    const std::string first = size(m_encoder->width, m_encoder->height);
    const std::string now = size(picture.width, picture.height) +
                            (scaled && m_reader.Pixels().format != m_firstPixels->format
                                 ? std::string(" ") + av_get_pix_fmt_name(m_reader.Pixels().format)
                                 : "");
    char when[32];
    std::snprintf(when, sizeof when, "%.3f s", m_reader.SecondsOf(picture.best_effort_timestamp));
    if (scaled && now != m_scaledTo)
        Report("the pictures from " + std::string(when) + " on are " + now + ", not " + first +
               ": each is filtered at its own size, then scaled to " + first + ", its luma too");
    m_scaledTo = scaled ? now : "";
    if (scaled)
        return;
    const AVRational ratio = m_reader.SampleAspectRatio();
    if (m_ratio.num > 0 && ratio.num > 0 && av_cmp_q(ratio, m_ratio) != 0)
        Report("the sample aspect ratio changes from " + std::to_string(m_ratio.num) + ":" +
               std::to_string(m_ratio.den) + " to " + std::to_string(ratio.num) + ":" + std::to_string(ratio.den) +
               " at " + when + ": " + m_out.Name() + " states " + std::to_string(m_encoder->sample_aspect_ratio.num) +
               ":" + std::to_string(m_encoder->sample_aspect_ratio.den) + " for the whole stream" +
               (m_encoder->codec_id == AV_CODEC_ID_FFV1 ? ", each FFV1 picture its own" : ""));
    m_ratio = ratio;
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
