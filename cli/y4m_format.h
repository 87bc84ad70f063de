#pragma once

// The YUV4MPEG2 stream and frame headers: what this program reads from them. Everything else in a header
// (frame rate, aspect, interlacing, X tags) is passed through untouched and not interpreted.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/frame_stream.h"

struct Y4mStreamFormat : PictureFormat {
    std::string chromaTag;  // as written in the header, "" when there is none
};

// Longest stream or frame header line read, newline included; real ones are a few dozen bytes.
constexpr size_t kMaxHeaderLineBytes = 65536;

// Parses the stream header line (without its newline). On failure returns false and sets `error` to one
// sentence naming what was found and what is supported.
bool ParseStreamHeader(std::string_view line, Y4mStreamFormat& format, std::string& error);

// True for a frame header line (without its newline): "FRAME" alone or followed by space-separated tags.
bool IsFrameHeader(std::string_view line);

// What the first bytes of a stream that is not YUV4MPEG2 show it to be ("an MPEG-TS file"), or "" when
// they show nothing known.
std::string ContainerOf(std::string_view firstBytes);

// At most `limit` bytes of text, non-printable bytes shown as \xNN, for quoting input in a message.
std::string Quoted(std::string_view text, size_t limit = 40);
