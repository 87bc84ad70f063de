#include "cli/media_writer.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
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

// Where a library's own default is a poor picture (mpeg2video's 200 kb/s, mjpeg likewise), a default
// people would choose: DVD's rates for MPEG-2, ffmpeg's -q:v 2 for MJPEG.
const char* DefaultEncoderOptions(const std::string& encoder)
{
    if (encoder == "ffv1")
        return "level=3:g=1:slices=16:slicecrc=1:context=1";
    if (encoder == "libx264")
        return "crf=16:preset=medium";
    if (encoder == "mpeg2video")
        return "b=6000k:maxrate=9000k:bufsize=1835k:g=15";
    if (encoder == "mjpeg")  // TV-range samples kept as they are, which JPEG's rules call unofficial
        return "flags=+qscale:global_quality=236:strict=unofficial";
    return "";
}

// Encoders that code interlaced pictures when asked by these flags; others refuse them (mjpeg) or ignore
// them.
bool TakesInterlacedFlags(const AVCodec& codec)
{
    return codec.id == AV_CODEC_ID_MPEG2VIDEO || codec.id == AV_CODEC_ID_MPEG4 ||
           std::string(codec.name) == "libx264";
}

bool ParseEncoderSettings(const std::string& text, EncoderSettings& settings)
{
    AVDictionary* parsed = nullptr;
    const bool ok = av_dict_parse_string(&parsed, text.c_str(), "=", ":", 0) >= 0;
    const AVDictionaryEntry* entry = nullptr;
    while (ok && (entry = av_dict_get(parsed, "", entry, AV_DICT_IGNORE_SUFFIX)))
        settings.emplace_back(entry->key, entry->value);
    av_dict_free(&parsed);
    return ok;
}

std::string Joined(const EncoderSettings& settings)
{
    std::string text;
    for (const auto& [key, value] : settings)
        text += (text.empty() ? "" : ":") + key + "=" + value;
    return text;
}

}  // namespace

std::string FileOf(const AVOutputFormat& container)
{
    static const std::pair<const char*, const char*> kNamed[] = {
        {"matroska", "a Matroska file"}, {"webm", "a WebM file"},   {"mpegts", "an MPEG-TS file"},
        {"mpeg", "an MPEG-PS file"},     {"vob", "a VOB file"},     {"nut", "a NUT file"},
        {"mov", "a MOV file"},
    };
    const std::string name = container.name;
    for (const auto& [muxer, words] : kNamed)
        if (name == muxer)
            return words;
    std::string upper;
    for (const char c : name)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // Other muxers' names are said letter by letter: an AVI, an MXF, a DV file.
    const bool vowelSound = std::string("aefhilmnorsx").find(name[0]) != std::string::npos;
    return (vowelSound ? "an " : "a ") + upper + " file";
}

namespace {

AVStream* NewStream(AVFormatContext& output)
{
    AVStream* stream = avformat_new_stream(&output, nullptr);
    if (!stream)
        throw std::bad_alloc();
    return stream;
}

// A copy of `from`; a cover picture (an attached picture) as an attachment of its bytes when asked.
AVStream* AddCopiedStream(AVFormatContext& output, const AVStream& from, bool asAttachment)
{
    AVStream* to = NewStream(output);
    if (avcodec_parameters_copy(to->codecpar, from.codecpar) < 0)
        throw std::bad_alloc();
    to->codecpar->codec_tag = 0;
    to->time_base = from.time_base;
    to->disposition = from.disposition;
    av_dict_copy(&to->metadata, from.metadata, 0);
    if (asAttachment) {
        const AVPacket& picture = from.attached_pic;
        AVCodecParameters& parameters = *to->codecpar;
        av_freep(&parameters.extradata);
        parameters.extradata = static_cast<uint8_t*>(av_mallocz(picture.size + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!parameters.extradata)
            throw std::bad_alloc();
        std::copy(picture.data, picture.data + picture.size, parameters.extradata);
        parameters.extradata_size = picture.size;
        parameters.codec_type = AVMEDIA_TYPE_ATTACHMENT;
        to->disposition = 0;
    }
    return to;
}

// A cover read from an attachment (Matroska's) has its file's name and kind: it can go back as one.
bool IsAttachedFile(const AVStream& stream)
{
    return (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) && stream.attached_pic.size > 0 &&
           av_dict_get(stream.metadata, "filename", nullptr, 0);
}

// Bytes written nowhere, with the positions a muxer seeks to, for a trial header.
struct NoFile {
    int64_t position = 0;
    int64_t size = 0;
    static int Write(void* file, uint8_t*, int bytes)
    {
        auto& self = *static_cast<NoFile*>(file);
        self.position += bytes;
        self.size = std::max(self.size, self.position);
        return bytes;
    }
    static int64_t Seek(void* file, int64_t offset, int whence)
    {
        auto& self = *static_cast<NoFile*>(file);
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return self.size;
        case SEEK_SET: return self.position = offset;
        case SEEK_CUR: return self.position += offset;
        case SEEK_END: return self.position = self.size + offset;
        }
        return AVERROR(EINVAL);
    }
};

}  // namespace

std::string MediaWriter::MuxerRefusal(const AVOutputFormat& container, const AVStream* from, bool asAttachment) const
{
    // The muxer is asked with a header written nowhere: avformat_query_codec knows nothing of attachments
    // and answers for codecs only.
    AVFormatContext* trial = nullptr;
    if (avformat_alloc_output_context2(&trial, &container, nullptr, nullptr) < 0)
        throw std::bad_alloc();
    std::unique_ptr<AVFormatContext, OutputFree> owned(trial);
    AVStream* video = NewStream(*trial);
    avcodec_parameters_from_context(video->codecpar, m_encoder.get());
    video->time_base = m_encoder->time_base;
    if (from)
        AddCopiedStream(*trial, *from, asAttachment);
    constexpr int kBufferBytes = 4096;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferBytes));
    NoFile nowhere;
    if (!buffer || !(trial->pb = avio_alloc_context(buffer, kBufferBytes, 1, &nowhere, nullptr, NoFile::Write,
                                                    NoFile::Seek))) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    TakeComplaint("");
    // Its header alone: some muxers (MXF) refuse a trailer without packets.
    const int result = avformat_write_header(trial, nullptr);
    return result < 0 ? TakeComplaint(AvError(result)) : "";
}

bool MediaWriter::Prepare(const Options& options, std::string& error)
{
    const AVOutputFormat* container = av_guess_format(nullptr, m_out.Name().c_str(), nullptr);
    if (!container || (container->flags & AVFMT_NOFILE) || container->video_codec == AV_CODEC_ID_NONE) {
        error = "OUT " + m_out.Name() + " names no container for a video file with its sound: end it in .mkv, "
                ".mp4, .avi, .mov or .nut";
        return false;
    }
    AVFormatContext* output = nullptr;
    const int result = avformat_alloc_output_context2(&output, container, nullptr, nullptr);
    if (result < 0) {
        error = "cannot write " + FileOf(*container) + ": " + AvError(result);
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
    m_threads = options.threads;
    // An encoder that lists no formats takes every one (rawvideo).
    if (!codec->pix_fmts)
        m_encoderFormat = pixels.format;
    for (const AVPixelFormat* format = codec->pix_fmts; format && *format != AV_PIX_FMT_NONE; ++format)
        if (*format == pixels.format || (*format == pixels.planar && m_encoderFormat == AV_PIX_FMT_NONE))
            m_encoderFormat = *format;
    if (m_encoderFormat == AV_PIX_FMT_NONE) {
        error = "encoder " + name + " does not take " + av_get_pix_fmt_name(pixels.format) +
                (pixels.planar != pixels.format ? std::string(" or ") + av_get_pix_fmt_name(pixels.planar) : "") +
                ", the input's pictures; --encoder ffv1 does";
        return false;
    }
    EncoderSettings defaults, own;
    if (!ParseEncoderSettings(DefaultEncoderOptions(name), defaults) ||
        !ParseEncoderSettings(options.encoderOptions, own)) {
        error = "--encoder-options wants key=value pairs with ':' between them, not \"" + options.encoderOptions +
                "\"";
        return false;
    }
    // The user's options replace the defaults of the same name.
    EncoderSettings kept;
    for (const auto& setting : defaults)
        if (std::none_of(own.begin(), own.end(), [&](const auto& given) { return given.first == setting.first; }))
            kept.push_back(setting);

    // The stream's own time base keeps every timestamp, a variable frame rate's too; AVI counts frames, and
    // so do encoders and muxers that take only a frame rate's (mpeg2video, MXF).
    const AVRational rate = av_guess_frame_rate(m_reader.Input(), m_reader.Video(), nullptr);
    std::vector<AVRational> timeBases;
    if (std::string(container.name) != "avi" || rate.num <= 0)
        timeBases.push_back(m_reader.Video()->time_base);
    if (rate.num > 0)
        timeBases.push_back(av_inv_q(rate));
    std::string complaint, muxerRefusal;
    const auto openWith = [&](const EncoderSettings& defaultsUsed) {
        for (const AVRational timeBase : timeBases)
            if (OpenEncoder(*codec, timeBase, defaultsUsed, own, complaint) &&
                (muxerRefusal = MuxerRefusal(container, nullptr, false)).empty())
                return true;
        return false;
    };
    if (openWith(kept))
        return true;
    if (!muxerRefusal.empty()) {
        error = "cannot write " + m_out.Described() + " as " + FileOf(container) + ": " + muxerRefusal;
        return false;
    }
    const std::string refusal = complaint;
    if (kept.empty() || !openWith({})) {
        error = refusal.rfind("no option ", 0) == 0
                    ? "encoder " + name + " has " + refusal + " (ffmpeg -h encoder=" + name + " lists them)"
                    : "encoder " + name + " refuses its settings: " + refusal;
        return false;
    }
    // The user's options conflict with some of the defaults: those that still fit stay, the others are named.
    EncoderSettings fitting, dropped;
    for (const auto& setting : kept) {
        fitting.push_back(setting);
        if (!openWith(fitting)) {
            fitting.pop_back();
            dropped.push_back(setting);
        }
    }
    if (!openWith(fitting)) {
        error = "encoder " + name + " refuses its settings: " + refusal;
        return false;
    }
    Report("encoder " + name + " runs without its defaults " + Joined(dropped) + ", which --encoder-options " +
           Joined(own) + " rules out (" + refusal + ")");
    return true;
}

bool MediaWriter::OpenEncoder(const AVCodec& codec, AVRational timeBase, const EncoderSettings& defaults,
                              const EncoderSettings& own, std::string& complaint)
{
    m_encoder.reset(avcodec_alloc_context3(&codec));
    if (!m_encoder)
        throw std::bad_alloc();
    const MediaPixelFormat& pixels = m_reader.Pixels();
    const AVCodecContext& decoder = m_reader.Decoder();
    const AVFrame& first = m_reader.Picture();
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
    if (IsInterlaced(encoder.field_order) && TakesInterlacedFlags(codec))
        encoder.flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    encoder.framerate = av_guess_frame_rate(m_reader.Input(), m_reader.Video(), nullptr);
    encoder.time_base = timeBase;
    encoder.thread_count = m_threads;  // --threads; 0: one per core
    if (m_output->oformat->flags & AVFMT_GLOBALHEADER)
        encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* settings = nullptr;
    std::unique_ptr<AVDictionary*, void (*)(AVDictionary**)> freeEncoderSettings(&settings, av_dict_free);
    for (const EncoderSettings* list : {&defaults, &own})
        for (const auto& [key, value] : *list)
            av_dict_set(&settings, key.c_str(), value.c_str(), 0);
    TakeComplaint("");
    const int result = avcodec_open2(m_encoder.get(), &codec, &settings);
    if (result < 0) {
        complaint = TakeComplaint(AvError(result));
        m_encoder.reset();
        return false;
    }
    if (const AVDictionaryEntry* unknown = av_dict_get(settings, "", nullptr, AV_DICT_IGNORE_SUFFIX)) {
        complaint = std::string("no option ") + unknown->key;
        m_encoder.reset();
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
        if (!m_reader.Copies(from))
            continue;
        if (static_cast<int>(i) == m_reader.Video()->index) {
            AVStream* to = NewStream(output);
            avcodec_parameters_from_context(to->codecpar, m_encoder.get());
            to->time_base = m_encoder->time_base;
            to->avg_frame_rate = from.avg_frame_rate;
            to->sample_aspect_ratio = m_encoder->sample_aspect_ratio;
            to->disposition = from.disposition;
            av_dict_copy(&to->metadata, from.metadata, 0);
            m_streamOf[i] = to->index;
            continue;
        }
        // An attachment has no packets: a cover kept as one leaves its picture's packet behind.
        if (IsAttachedFile(from) && MuxerRefusal(container, &from, true).empty()) {
            AddCopiedStream(output, from, true);
            continue;
        }
        const std::string refusal = MuxerRefusal(container, &from, false);
        if (refusal.empty()) {
            m_streamOf[i] = AddCopiedStream(output, from, false)->index;
            continue;
        }
        const char* type = av_get_media_type_string(from.codecpar->codec_type);
        const std::string what = std::string(type ? type : "data") + " stream " + std::to_string(i) + " (" +
                                 avcodec_get_name(from.codecpar->codec_id) + ")";
        const std::string file = FileOf(container);
        if (from.codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            error = file + " cannot hold " + what + " (" + refusal + "); .mkv or .nut holds it";
            return false;
        }
        Report(what + " is left out: " + file + " cannot hold it (" + refusal + ")");
    }
    av_dict_copy(&output.metadata, input.metadata, 0);
    // Chapters move with the pictures, by the file's start; the output starts at 0, so one that begins
    // before the start begins with it, and one that ends by then is left out.
    for (unsigned i = 0; i < input.nb_chapters; ++i) {
        const AVChapter& from = *input.chapters[i];
        const int64_t start = av_rescale_q(input.start_time == AV_NOPTS_VALUE ? 0 : input.start_time,
                                           AV_TIME_BASE_Q, from.time_base);
        if (from.end <= start) {
            const AVDictionaryEntry* title = av_dict_get(from.metadata, "title", nullptr, 0);
            char when[96];
            std::snprintf(when, sizeof when, "it ends at %.3f s, before the recording starts at %.3f s",
                          av_q2d(from.time_base) * from.end, av_q2d(from.time_base) * start);
            Report("chapter " + std::to_string(i + 1) + (title ? " (" + std::string(title->value) + ")" : "") +
                   " is left out: " + when);
            continue;
        }
        AVChapter* to = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!to || av_dynarray_add_nofree(&output.chapters, reinterpret_cast<int*>(&output.nb_chapters), to) < 0) {
            av_free(to);
            throw std::bad_alloc();
        }
        to->id = from.id;
        to->time_base = from.time_base;
        to->start = std::max<int64_t>(from.start - start, 0);
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
    TakeComplaint("");
    const int result = avformat_write_header(m_output.get(), nullptr);
    if (result < 0) {
        // The muxer's own words say why (a DV file's picture size, an MXF file's frame rate).
        Report("cannot write " + m_out.Described() + ": " + TakeComplaint(AvError(result)));
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
    if (m_lastPts == AV_NOPTS_VALUE && picture.best_effort_timestamp != AV_NOPTS_VALUE)
        KeepTheStart(picture.best_effort_timestamp - m_reader.FileStartIn(video), pts);
    encoded->pts = m_lastPts = pts;
    encoded->pict_type = AV_PICTURE_TYPE_NONE;
    Queue({{}, std::move(encoded)});
    return !m_failed;
}

void MediaWriter::KeepTheStart(int64_t start, int64_t framed)
{
    const AVStream& video = *m_reader.Video();
    const AVRational held = m_output->streams[m_streamOf[video.index]]->time_base;
    // An encoder that counts frames puts the first picture on a frame's time; the muxer's finer time
    // base (MPEG's 90 kHz) holds where it really starts, and every picture moves with it.
    m_startShift = av_rescale_q(start, video.time_base, held) - av_rescale_q(framed, m_encoder->time_base, held);
    const double wanted = start * av_q2d(video.time_base);
    const double kept = (av_rescale_q(framed, m_encoder->time_base, held) + m_startShift) * av_q2d(held);
    char times[160];
    // FFmpeg's AVI writer starts every stream with its first packet, whatever its time.
    if (std::string(m_output->oformat->name) == "avi" && wanted > 0.0005) {
        std::snprintf(times, sizeof times, "the video, %.3f s after the file's start in %s, starts with the rest",
                      wanted, m_reader.Input()->url);
        Report("an AVI file starts every stream at its first packet: " + std::string(times) + " (.mkv keeps it)");
    } else if (std::abs(wanted - kept) > 0.0005) {
        std::snprintf(times, sizeof times, "the video starts %.3f s after the file's start, not %.3f s", kept,
                      wanted);
        Report(FileOf(*m_output->oformat) + " holds a picture's time in whole frames: " + times);
    }
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
            if (m_packet->pts != AV_NOPTS_VALUE)
                m_packet->pts += m_startShift;
            if (m_packet->dts != AV_NOPTS_VALUE)
                m_packet->dts += m_startShift;
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
        Report("cannot write " + m_out.Described() + ": " + AvError(result));
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
        Report("cannot write " + m_out.Described() + ": " + AvError(result));
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
