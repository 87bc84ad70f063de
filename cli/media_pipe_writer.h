#pragma once

// A video file's filtered pictures as a YUV4MPEG2 stream, for OUT "-" or a .y4m name: a preview through a
// pipe (uvdenoise in.ts - | ffplay -) or another program's input. The pictures only: Y4M holds no sound
// and no timestamps.

#include <string>

#include "cli/media_reader.h"
#include "cli/output_file.h"
#include "cli/y4m_stream.h"

// "-" and a name that ends in .y4m: the outputs that take a YUV4MPEG2 stream.
bool WritesY4m(const std::string& name);

class MediaPipeWriter : public FrameWriter, private Y4mHeaders {
public:
    MediaPipeWriter(const MediaReader& reader, OutputFile& out);
    StartResult Start() override;
    bool Write(const uint8_t* planes) override { return m_y4m.Write(planes); }
    bool Finish() override { return m_y4m.Finish(); }

private:
    const std::string& StreamHeader() const override { return m_streamHeader; }
    const std::string& FrameHeader() const override { return m_frameHeader; }
    size_t FrameBytes() const override { return m_frameBytes; }

    const MediaReader& m_reader;
    OutputFile& m_out;
    std::string m_streamHeader;
    std::string m_frameHeader = "FRAME\n";
    size_t m_frameBytes;
    Y4mWriter m_y4m;
};
