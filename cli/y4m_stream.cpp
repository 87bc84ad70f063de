#include "cli/y4m_stream.h"

#include <bit>

#include "cli/console.h"
#include "cli/file_system.h"
#include "cli/media_file.h"
#include "cli/report.h"

// YUV4MPEG2's deep samples are little-endian, as the filter's planes are on every machine this builds for:
// a picture's bytes go in and out as they are.
static_assert(std::endian::native == std::endian::little);

namespace {

// Reads one header line, newline included, counting the bytes read into `offset`.
enum class LineResult { kLine, kEndOfInput, kCutShort, kTooLong };
LineResult ReadLine(std::FILE* in, std::string& line, uint64_t& offset)
{
    line.clear();
    for (;;) {
        const int c = std::getc(in);
        if (c == EOF)
            return line.empty() ? LineResult::kEndOfInput : LineResult::kCutShort;
        ++offset;
        line += static_cast<char>(c);
        if (c == '\n')
            return LineResult::kLine;
        if (line.size() == kMaxHeaderLineBytes)
            return LineResult::kTooLong;
    }
}

}  // namespace

bool Y4mReader::ReadHeader(std::string& error)
{
    std::string& line = m_streamHeader;
    const LineResult headerRead = ReadLine(m_in, line, m_offset);
    if (headerRead == LineResult::kEndOfInput) {
        error = "empty input, no YUV4MPEG2 stream header";
        return false;
    }
    const std::string container = ContainerOf(line);
    if (!container.empty()) {
        error = m_name + " is " + container + ", not YUV4MPEG2;\n  " + ContainerAdvice();
        return false;
    }
    if (headerRead != LineResult::kLine) {
        error = headerRead == LineResult::kTooLong
                    ? "stream header longer than 65536 bytes: \"" + Quoted(line) + "\""
                    : "input ends inside the stream header: \"" + Quoted(line) + "\"";
        return false;
    }
    return ParseStreamHeader(std::string_view(line).substr(0, line.size() - 1), m_format, error);
}

ReadResult Y4mReader::Read(uint8_t* planes)
{
    const std::string where =
        "frame " + std::to_string(m_pictures + 1) + " at byte offset " + std::to_string(m_offset);
    const std::string before = "; frames written before it: " + std::to_string(m_pictures);
    std::string& line = m_frameHeader;
    const LineResult frameRead = ReadLine(m_in, line, m_offset);
    if (frameRead == LineResult::kEndOfInput)
        return ReadResult::kEnd;
    if (frameRead != LineResult::kLine || !IsFrameHeader(std::string_view(line).substr(0, line.size() - 1))) {
        Report(frameRead == LineResult::kCutShort ? "input ends inside the header of " + where + before
               : frameRead == LineResult::kTooLong
                   ? where + " has a FRAME line longer than 65536 bytes: \"" + Quoted(line) + "\"" + before
                   : where + " does not start with a FRAME line: \"" + Quoted(line) + "\"" + before);
        return ReadResult::kStopped;
    }
    const size_t bytes = m_format.FrameBytes();
    const size_t got = std::fread(planes, 1, bytes, m_in);
    m_offset += got;
    if (got != bytes) {
        Report("input ends inside " + where + " (" + std::to_string(got) + " of " + std::to_string(bytes) +
               " picture bytes)" + before);
        return ReadResult::kStopped;
    }
    ++m_pictures;
    return ReadResult::kPicture;
}

StartResult Y4mWriter::Start()
{
    HoldAFrameInPipes(m_source.FrameBytes());
    std::string error;
    if (!m_out.Open(error)) {
        Report(error);
        return StartResult::kNotCreated;
    }
    const std::string& header = m_source.StreamHeader();
    return Written(header.data(), header.size()) ? StartResult::kStarted : StartResult::kWriteFailed;
}

bool Y4mWriter::Write(const uint8_t* planes)
{
    const std::string& header = m_source.FrameHeader();
    return Written(header.data(), header.size()) && Written(planes, m_source.FrameBytes());
}

bool Y4mWriter::Finish()
{
    std::string error;
    if (!m_out.Finish(error)) {
        Report(error);
        return false;
    }
    return true;
}

bool Y4mWriter::Written(const void* bytes, size_t size)
{
    if (std::fwrite(bytes, 1, size, m_out.Stream()) == size)
        return true;
    Report("cannot write " + m_out.Described() + ": " + LastWriteError());
    return false;
}
