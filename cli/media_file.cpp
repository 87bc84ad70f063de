#include "cli/media_file.h"

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

MediaOpen OpenMediaJob(const Options& options, OutputFile& out, MediaJob& job, std::string& error)
{
    // FFmpeg's messages become part of ours.
    KeepFfmpegComplaints();
    auto reader = std::make_unique<MediaReader>();
    MediaOpen opened = reader->Open(options.input, options.videoStream, options.threads, error);
    auto writer = std::make_unique<MediaWriter>(*reader, out);
    if (opened == MediaOpen::kOpened && !writer->Prepare(options, error))
        opened = MediaOpen::kRefused;
    if (opened != MediaOpen::kOpened)
        return opened;
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
