#include "cli/media_reader.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cstdio>

#include "cli/report.h"

MediaOpen MediaReader::Open(const std::string& path, int threads, std::string& error)
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
    m_decoder->thread_count = threads;  // --threads, so that jobs sharing a machine share its cores
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
