#include "cli/media_pipe_writer.h"

#include "cli/media_writer.h"
#include "cli/report.h"

namespace {

// The C tag ffmpeg's own YUV4MPEG2 writer gives these planes, so that a reader takes the chroma siting
// from it as from ffmpeg.
const char* ChromaTag(const ChromaLayout& chroma, AVChromaLocation siting)
{
    if (chroma.mono)
        return "mono";
    if (chroma.shiftX == 1 && chroma.shiftY == 1)
        return siting == AVCHROMA_LOC_TOPLEFT ? "420paldv" : siting == AVCHROMA_LOC_LEFT ? "420mpeg2" : "420jpeg";
    if (chroma.shiftX == 1)
        return "422";
    return chroma.shiftX == 2 ? "411" : "444";
}

char InterlaceTag(AVFieldOrder order)
{
    switch (order) {
    case AV_FIELD_TT:
    case AV_FIELD_TB:
        return 't';
    case AV_FIELD_BB:
    case AV_FIELD_BT:
        return 'b';
    default:
        return 'p';
    }
}

}  // namespace

bool WritesY4m(const std::string& name)
{
    const AVOutputFormat* container = av_guess_format(nullptr, name.c_str(), nullptr);
    return name == "-" || (container && std::string(container->name) == "yuv4mpegpipe");
}

MediaPipeWriter::MediaPipeWriter(const MediaReader& reader, OutputFile& out)
    : m_reader(reader), m_out(out), m_frameBytes(reader.Format().FrameBytes()), m_y4m(*this, out)
{
    const PictureFormat& format = reader.Format();
    const AVFrame& first = reader.Picture();
    AVRational rate = av_guess_frame_rate(reader.Input(), reader.Video(), nullptr);
    if (rate.num <= 0 || rate.den <= 0)
        rate = {25, 1};  // a stream that does not say: Y4M needs some rate, and PAL's is the commonest
    const AVRational aspect = av_guess_sample_aspect_ratio(reader.Input(), reader.Video(), nullptr);
    const bool full = IsFullRangeKind(reader.Pixels()) || first.color_range == AVCOL_RANGE_JPEG;
    const char* range = full                                  ? " XCOLORRANGE=FULL"
                        : first.color_range == AVCOL_RANGE_MPEG ? " XCOLORRANGE=LIMITED"
                                                                : "";
    m_streamHeader = "YUV4MPEG2 W" + std::to_string(format.width) + " H" + std::to_string(format.height) + " F" +
                     std::to_string(rate.num) + ":" + std::to_string(rate.den) + " I" +
                     InterlaceTag(reader.FieldOrder()) + " A" + std::to_string(aspect.num) + ":" +
                     std::to_string(aspect.den) + " C" +
                     ChromaTag(format.chroma, reader.Decoder().chroma_sample_location) + range + "\n";
}

StartResult MediaPipeWriter::Start()
{
    Report(m_out.Described() + " gets the pictures only, as a YUV4MPEG2 stream: no sound, no timestamps " +
           "(name OUT .mkv for the whole recording)");
    return m_y4m.Start();
}
