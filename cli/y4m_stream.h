#pragma once

// A YUV4MPEG2 stream as a reader and a writer: the stream header and every FRAME line go from the reader
// to the writer as they were read, so that only the chroma samples can differ.

#include <cstdio>
#include <string>

#include "cli/frame_stream.h"
#include "cli/output_file.h"
#include "cli/y4m_format.h"

// What a YUV4MPEG2 writer takes from its source: the headers as they are to be written.
class Y4mHeaders {
public:
    virtual ~Y4mHeaders() = default;
    virtual const std::string& StreamHeader() const = 0;  // newline included
    virtual const std::string& FrameHeader() const = 0;   // the last picture's, likewise
    virtual size_t FrameBytes() const = 0;
};

class Y4mReader : public FrameReader, public Y4mHeaders {
public:
    // `in` stays the caller's; `name` says where it comes from in messages ("standard input" or a path).
    Y4mReader(std::FILE* in, std::string name) : m_in(in), m_name(std::move(name)) {}
    // Reads the stream header. On failure returns false and sets `error` to what was found instead.
    bool ReadHeader(std::string& error);
    const Y4mStreamFormat& Format() const { return m_format; }
    const std::string& StreamHeader() const override { return m_streamHeader; }
    const std::string& FrameHeader() const override { return m_frameHeader; }
    size_t FrameBytes() const override { return m_format.FrameBytes(); }

    ReadResult Read(uint8_t* planes) override;

private:
    std::FILE* m_in;
    std::string m_name;
    Y4mStreamFormat m_format;
    std::string m_streamHeader;
    std::string m_frameHeader;
    uint64_t m_offset = 0;  // bytes read
    uint64_t m_pictures = 0;
};

class Y4mWriter : public FrameWriter {
public:
    Y4mWriter(const Y4mHeaders& source, OutputFile& out) : m_source(source), m_out(out) {}
    StartResult Start() override;
    bool Write(const uint8_t* planes) override;
    bool Finish() override;

private:
    bool Written(const void* bytes, size_t size);
    const Y4mHeaders& m_source;
    OutputFile& m_out;
};
