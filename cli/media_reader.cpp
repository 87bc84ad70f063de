#include "cli/media_reader.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstdio>
#include <map>

#include "cli/field_detector.h"
#include "cli/file_system.h"
#include "cli/report.h"

namespace {

// Pictures decoded ahead to judge an untagged stream's field order: a second of PAL.
constexpr size_t kJudgedPictures = 25;

// Packets read ahead at most to tell a moving video stream from a still one (a cover, a title card): a
// few seconds of a transport stream's packets, and every one a stream holds when there are fewer.
constexpr size_t kLookAheadPackets = 256;

std::string Seconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

}  // namespace

MediaOpen MediaReader::Open(const std::string& path, const std::string& videoStream, int threads, std::string& error)
{
    m_path = path;
    AVFormatContext* input = nullptr;
    int result = avformat_open_input(&input, path.c_str(), nullptr, nullptr);
    if (result < 0) {
        // Named as a YUV4MPEG2 stream, it is one that went wrong: its reader says how.
        const std::string extension = path.size() >= 4 ? path.substr(path.size() - 4) : "";
        if (extension == ".y4m" || extension == ".Y4M")
            return MediaOpen::kNotMedia;
        error = "cannot read " + path + " as video: " + TakeComplaint(AvError(result));
        return MediaOpen::kRefused;
    }
    m_input.reset(input);
    result = avformat_find_stream_info(input, nullptr);
    if (result < 0) {
        error = "cannot read " + path + " as video: " + AvError(result);
        return MediaOpen::kRefused;
    }
    if (!ChooseVideo(videoStream, error))
        return MediaOpen::kRefused;
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
    m_decoder->thread_count = threads;  // --threads, so that jobs sharing a machine share its cores
    m_decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    result = avcodec_open2(m_decoder.get(), codec, nullptr);
    if (result < 0) {
        error = "cannot decode " + path + "'s video: " + AvError(result);
        return MediaOpen::kRefused;
    }
    if (!Decode(m_picture.get())) {
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
    m_description = "video stream " + std::to_string(m_video) + ", " + codec->name + " " +
                    std::to_string(m_format.width) + "x" + std::to_string(m_format.height) + m_description;
    JudgeFieldOrder();
    m_firstPending = true;
    return MediaOpen::kOpened;
}

bool MediaReader::ChooseVideo(const std::string& videoStream, std::string& error)
{
    AVFormatContext& input = *m_input;
    if (!videoStream.empty()) {
        for (unsigned i = 0; i < input.nb_streams && m_video < 0; ++i) {
            const int match = avformat_match_stream_specifier(&input, input.streams[i], videoStream.c_str());
            if (match < 0) {
                error = "--video-stream " + videoStream + " is not a stream specifier (such as 1, v:1 or p:1101:v)";
                return false;
            }
            if (match > 0 && input.streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
                m_video = static_cast<int>(i);
        }
        if (m_video < 0) {
            error = "--video-stream " + videoStream + " names no video stream of " + m_path;
            return false;
        }
    } else {
        // FFmpeg's own choice passes over attached pictures but can take a cover stored as a track, which is
        // often the first and the default: a stream with one picture where another moves is no recording.
        std::map<int, int> packets;
        while (m_ahead.size() < kLookAheadPackets) {
            Packet packet = NewPacket();
            if (av_read_frame(&input, packet.get()) < 0)
                break;
            ++packets[packet->stream_index];
            m_ahead.push_back(std::move(packet));
        }
        const auto still = [&](unsigned i) {
            const AVStream& stream = *input.streams[i];
            return (stream.disposition & (AV_DISPOSITION_ATTACHED_PIC | AV_DISPOSITION_STILL_IMAGE)) ||
                   packets[static_cast<int>(i)] <= 1;
        };
        m_video = av_find_best_stream(&input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (m_video >= 0 && still(static_cast<unsigned>(m_video)))
            for (unsigned i = 0; i < input.nb_streams; ++i)
                if (input.streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !still(i)) {
                    m_video = static_cast<int>(i);
                    break;
                }
        if (m_video < 0) {
            error = m_path + " has no video stream";
            return false;
        }
        // A picture beside sound is its cover.
        if (still(static_cast<unsigned>(m_video)) &&
            av_find_best_stream(&input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) >= 0) {
            error = m_path + " has no video stream, only a cover picture";
            return false;
        }
    }
    // A full multiplex holds several programmes: the chosen stream's is the recording.
    if (input.nb_programs > 1) {
        for (unsigned p = 0; p < input.nb_programs; ++p) {
            const AVProgram& programme = *input.programs[p];
            bool holdsVideo = false;
            for (unsigned s = 0; s < programme.nb_stream_indexes; ++s)
                holdsVideo |= static_cast<int>(programme.stream_index[s]) == m_video;
            if (!holdsVideo)
                continue;
            for (unsigned i = 0; i < input.nb_streams; ++i) {
                bool inProgramme = false;
                for (unsigned s = 0; s < programme.nb_stream_indexes; ++s)
                    inProgramme |= programme.stream_index[s] == i;
                if (!inProgramme)
                    input.streams[i]->discard = AVDISCARD_ALL;
            }
            const unsigned other = input.programs[p == 0 ? 1 : 0]->id;
            m_description = " of programme " + std::to_string(programme.id) + ", one of " +
                            std::to_string(input.nb_programs) + " (--video-stream p:" + std::to_string(other) +
                            ":v takes another)";
            break;
        }
    }
    return true;
}

ReadResult MediaReader::Read(uint8_t* planes)
{
    if (!m_firstPending && !NextPicture())
        return EndedEarly() ? ReadResult::kStopped : ReadResult::kEnd;
    m_firstPending = false;
    if (m_picture->width != m_format.width || m_picture->height != m_format.height ||
        m_picture->format != m_pixels->format) {
        const auto pixelFormat = static_cast<AVPixelFormat>(m_picture->format);
        const MediaPixelFormat* pixels = FindMediaPixelFormat(pixelFormat);
        if (!pixels || int64_t{m_picture->width} * m_picture->height > kMaxPicturePixels) {
            const char* name = av_get_pix_fmt_name(pixelFormat);
            Report(m_path + "'s video changes to " + std::to_string(m_picture->width) + "x" +
                   std::to_string(m_picture->height) + " " + (name ? name : "pictures") + " at " +
                   Seconds(SecondsOf(m_picture->best_effort_timestamp)) +
                   ", which is not filtered; the pictures before it are written");
            return ReadResult::kStopped;
        }
        m_pixels = pixels;
        m_format = {m_picture->width, m_picture->height, pixels->chroma};
        m_firstPending = true;
        return ReadResult::kNewFormat;
    }
    CopyToPlanes(*m_picture, *m_pixels, m_format, planes);
    return ReadResult::kPicture;
}

bool MediaReader::ReadPacket(AVPacket* packet)
{
    for (;;) {
        if (!m_ahead.empty()) {
            av_packet_move_ref(packet, m_ahead.front().get());
            m_ahead.pop_front();
        } else {
            const int result = av_read_frame(m_input.get(), packet);
            if (result < 0) {
                if (result != AVERROR_EOF)
                    m_readError = TakeComplaint(AvError(result));
                return false;
            }
        }
        const AVStream& stream = *m_input->streams[packet->stream_index];
        if (!Copies(stream)) {
            av_packet_unref(packet);
            continue;
        }
        const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (time != AV_NOPTS_VALUE)
            m_readEnd = std::max(m_readEnd, av_rescale_q(time + packet->duration - FileStartIn(stream),
                                                         stream.time_base, AV_TIME_BASE_Q));
        return true;
    }
}

// Codecs that hold no field order give none, or "progressive" by default, and AVI holds none: such a
// stream's pictures are judged.
void MediaReader::JudgeFieldOrder()
{
    const AVCodecID codec = m_decoder->codec_id;
    const bool saysNothing = m_decoder->field_order == AV_FIELD_UNKNOWN ||
                             codec == AV_CODEC_ID_RAWVIDEO || codec == AV_CODEC_ID_HUFFYUV ||
                             codec == AV_CODEC_ID_FFVHUFF;
    if (!saysNothing || m_picture->interlaced_frame) {
        m_fieldOrder = m_decoder->field_order != AV_FIELD_UNKNOWN ? m_decoder->field_order
                       : !m_picture->interlaced_frame            ? AV_FIELD_PROGRESSIVE
                       : m_picture->top_field_first              ? AV_FIELD_TT
                                                                 : AV_FIELD_BB;
        return;
    }
    for (Frame next = NewFrame(); m_held.size() + 1 < kJudgedPictures && Decode(next.get()); next = NewFrame())
        m_held.push_back(std::move(next));
    std::vector<LumaView> pictures;
    for (size_t i = 0; i <= m_held.size(); ++i) {
        const AVFrame& picture = i == 0 ? *m_picture : *m_held[i - 1];
        if (picture.width != m_format.width || picture.height != m_format.height ||
            picture.format != m_pixels->format)
            break;
        const ptrdiff_t step = m_pixels->packing == Packing::kPlanar ? 1 : 2;
        const ptrdiff_t offset = m_pixels->packing == Packing::kUyvy ? 1 : 0;
        pictures.push_back({picture.data[0] + offset, picture.linesize[0], step, picture.width, picture.height});
    }
    const FieldVerdict verdict = JudgeFields(pictures);
    m_fieldOrder = !verdict.interlaced ? AV_FIELD_PROGRESSIVE : verdict.topFirst ? AV_FIELD_TT : AV_FIELD_BB;
    m_fieldsJudged = true;
}

bool MediaReader::NextPicture()
{
    if (m_held.empty())
        return Decode(m_picture.get());
    av_frame_unref(m_picture.get());
    av_frame_move_ref(m_picture.get(), m_held.front().get());
    m_held.pop_front();
    return true;
}

bool MediaReader::Decode(AVFrame* picture)
{
    for (;;) {
        int result = avcodec_receive_frame(m_decoder.get(), picture);
        if (result == 0) {
            if (picture->decode_error_flags || (picture->flags & AV_FRAME_FLAG_CORRUPT))
                ReportDamage("picture decoded with errors", picture->best_effort_timestamp);
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
        if (!ReadPacket(m_packet.get())) {
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

// A container that stops reading, or ends a second or more before the duration it stores (an estimate
// proves nothing: a transport stream stores none), lost its end; a file that simply ends did not.
bool MediaReader::EndedEarly()
{
    const double end = m_readEnd / double(AV_TIME_BASE);
    std::string why;
    if (!m_readError.empty())
        why = "read error (" + m_readError + ")";
    else if (m_input->duration_estimation_method == AVFMT_DURATION_FROM_STREAM &&
             m_input->duration != AV_NOPTS_VALUE && m_input->duration - m_readEnd > AV_TIME_BASE)
        why = "cut off (its container gives " + Seconds(m_input->duration / double(AV_TIME_BASE)) + ")";
    else if (std::string(m_input->iformat->name).rfind("matroska", 0) == 0 && MatroskaCutOff(m_path))
        why = "cut off (its last element is incomplete)";
    if (why.empty())
        return false;
    Report(m_path + " ends at " + Seconds(end) + ": " + why + "; what was read is written");
    return true;
}

void MediaReader::ReportDamage(const std::string& what, int64_t timestamp)
{
    ++m_damaged;
    const std::string when = timestamp != AV_NOPTS_VALUE ? " at " + Seconds(SecondsOf(timestamp)) : "";
    Report("damaged video" + when + ": " + TakeFirstComplaint(what) + "; going on");
}

AVRational MediaReader::SampleAspectRatio() const
{
    return av_guess_sample_aspect_ratio(m_input.get(), Video(), m_picture.get());
}

double MediaReader::SecondsOf(int64_t timestamp) const
{
    return av_q2d(Video()->time_base) * double(timestamp - FileStartIn(*Video()));
}

int64_t MediaReader::FileStartIn(const AVStream& stream) const
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

namespace {

// An EBML number: an element's ID (`keepMarker`) or size; -1 past the end, -2 for the unknown size, -3
// for bytes that are none.
int64_t ReadEbmlNumber(std::FILE* file, bool keepMarker)
{
    const int first = std::fgetc(file);
    if (first < 0)
        return -1;
    if (first == 0)
        return -3;
    int length = 1;
    while (!(first & (0x80 >> (length - 1))))
        ++length;
    int64_t value = keepMarker ? first : first & (0xFF >> length);
    bool allOnes = value == (0xFF >> length);
    for (int i = 1; i < length; ++i) {
        const int next = std::fgetc(file);
        if (next < 0)
            return -1;
        value = value << 8 | next;
        allOnes &= next == 0xFF;
    }
    return !keepMarker && allOnes ? -2 : value;
}

}  // namespace

bool MatroskaCutOff(const std::string& path)
{
    std::string error;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenForReading(path, error), std::fclose);
    if (!file || fseeko(file.get(), 0, SEEK_END) != 0)
        return false;
    const int64_t fileSize = ftello(file.get());
    std::rewind(file.get());
    // The EBML header, then the segment, whose top-level elements (clusters among them) are walked.
    constexpr int64_t kSegment = 0x18538067;
    bool inSegment = false;
    for (int64_t at = 0; at < fileSize;) {
        const int64_t id = ReadEbmlNumber(file.get(), true);
        const int64_t size = ReadEbmlNumber(file.get(), false);
        if (id == -3 || size == -3)
            return false;
        if (id < 0 || size == -1)
            return true;
        const int64_t data = ftello(file.get());
        if (id == kSegment && !inSegment) {
            inSegment = true;
            if (size >= 0 && data + size > fileSize)
                return true;
            at = data;
            continue;
        }
        if (size == -2)  // written live: its end is where the next element starts, which only a parser knows
            return false;
        if (data + size > fileSize)
            return true;
        at = data + size;
        if (fseeko(file.get(), at, SEEK_SET) != 0)
            return false;
    }
    return false;
}
