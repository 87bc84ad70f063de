#include "cli/media_file.h"

#include "cli/media_pipe_writer.h"
#include "cli/media_reader.h"
#include "cli/media_writer.h"

namespace {

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

std::string Y4mOutputRefusal(const std::string& out)
{
    const AVOutputFormat* container = av_guess_format(nullptr, out.c_str(), nullptr);
    // Raw video (.yuv) is what people pipe on as it is.
    if (WritesY4m(out) || !container || container->video_codec == AV_CODEC_ID_NONE ||
        container->video_codec == AV_CODEC_ID_RAWVIDEO)
        return "";
    return "OUT " + out + " names " + FileOf(*container) + ", and a YUV4MPEG2 input is written as YUV4MPEG2 " +
           "only: name OUT .y4m, or let ffmpeg write it (uvdenoise IN - | ffmpeg -i - " + out + ")";
}

MediaOpen OpenMediaJob(const Options& options, OutputFile& out, MediaJob& job, std::string& error)
{
    // FFmpeg's messages become part of ours.
    KeepFfmpegComplaints();
    auto reader = std::make_unique<MediaReader>();
    MediaOpen opened = reader->Open(options.input, options.videoStream, options.threads, error);
    if (opened != MediaOpen::kOpened)
        return opened;
    std::unique_ptr<FrameWriter> writer;
    if (WritesY4m(out.Name())) {
        writer = std::make_unique<MediaPipeWriter>(*reader, out);
    } else {
        auto media = std::make_unique<MediaWriter>(*reader, out);
        if (!media->Prepare(options, error))
            return MediaOpen::kRefused;
        writer = std::move(media);
    }
    job.format = reader->Format();
    const AVFieldOrder order = reader->FieldOrder();
    const bool interlaced = IsInterlaced(order);
    const std::string said = reader->FieldsJudged() ? std::string(interlaced ? "it looks interlaced: not marked"
                                                                             : "it looks progressive: not marked")
                             : reader->Decoder().field_order != AV_FIELD_UNKNOWN
                                 ? std::string("the stream says ") + FieldOrderName(order)
                                 : std::string("its first picture is interlaced");
    job.fields = options.fields == Fields::kAuto ? interlaced : options.fields == Fields::kApart;
    job.fieldsReason = options.fields == Fields::kAuto ? said
                       : options.fields == Fields::kApart ? "--fields; " + said
                                                          : "--no-fields; " + said;
    job.expectedPictures = reader->ExpectedPictures();
    job.stream = reader->Description();
    job.reader = std::move(reader);
    job.writer = std::move(writer);
    return MediaOpen::kOpened;
}
