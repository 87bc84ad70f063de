#include "cli/y4m_format.h"

#include <cstdio>

#include "cli/decimal.h"

namespace {

constexpr std::string_view kMagic = "YUV4MPEG2";
constexpr const char* kSupported =
    "supported: YUV4MPEG2 with 8-bit C420jpeg, C420paldv, C420mpeg2, C420, no C tag (4:2:0), C422, C411, C444, "
    "Cmono, or 9 to 16 bits: C420p9 ... C444p16, Cmono9 ... Cmono16 (p9, p10, p12, p14, p16)";

struct ChromaTag {
    std::string_view name;
    ChromaLayout layout;
    std::string_view deep;  // what comes between the name and a depth; null for a tag with no deep forms
};

constexpr ChromaTag kChromaTags[] = {
    {"420jpeg", {1, 1, false}, {}}, {"420paldv", {1, 1, false}, {}}, {"420mpeg2", {1, 1, false}, {}},
    {"420", {1, 1, false}, "p"},    {"422", {1, 0, false}, "p"},     {"411", {2, 0, false}, {}},
    {"444", {0, 0, false}, "p"},    {"mono", {0, 0, true}, ""},
};

// The depths ffmpeg writes: two bytes a sample, little-endian, the value in the low bits.
constexpr int32_t kDeepDepths[] = {9, 10, 12, 14, 16};

// The depth the chroma tag's value gives the tag, or 0 when it is not the tag's.
int32_t DepthOf(std::string_view value, const ChromaTag& tag)
{
    if (value == tag.name)
        return 8;
    if (tag.deep.data() == nullptr || value.substr(0, tag.name.size()) != tag.name)
        return 0;
    for (const int32_t depth : kDeepDepths) {
        if (value.substr(tag.name.size()) == std::string(tag.deep) + std::to_string(depth))
            return depth;
    }
    return 0;
}

std::string Failure(const std::string& what) { return what + "; " + kSupported; }

}  // namespace

bool ParseStreamHeader(std::string_view line, Y4mStreamFormat& format, std::string& error)
{
    if (line.substr(0, kMagic.size()) != kMagic || (line.size() > kMagic.size() && line[kMagic.size()] != ' ')) {
        error = Failure("not a YUV4MPEG2 stream header: \"" + Quoted(line) + "\"");
        return false;
    }
    Y4mStreamFormat parsed;
    bool haveWidth = false, haveHeight = false;
    std::string_view rest = line.substr(kMagic.size());
    while (!rest.empty()) {
        const size_t space = rest.find(' ');
        const std::string_view tag = rest.substr(0, space);
        rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
        if (tag.empty())
            continue;
        const std::string_view value = tag.substr(1);
        if (tag[0] == 'W' || tag[0] == 'H') {
            int32_t& target = tag[0] == 'W' ? parsed.width : parsed.height;
            if (!ParseDecimalInRange(value, 1, 32768, target)) {
                error = Failure("bad picture size tag " + Quoted(tag) + " (1 to 32768)");
                return false;
            }
            (tag[0] == 'W' ? haveWidth : haveHeight) = true;
        } else if (tag[0] == 'C') {
            parsed.chromaTag = std::string(tag);
            const ChromaTag* known = nullptr;
            for (const ChromaTag& candidate : kChromaTags) {
                if (const int32_t depth = DepthOf(value, candidate); depth != 0) {
                    known = &candidate;
                    parsed.depth = depth;
                }
            }
            if (!known) {
                error = Failure("unsupported chroma format " + Quoted(tag));
                return false;
            }
            parsed.chroma = known->layout;
        }
    }
    if (!haveWidth || !haveHeight) {
        error = Failure(std::string("stream header has no ") + (haveWidth ? "H (height)" : "W (width)") + " tag: \"" +
                        Quoted(line) + "\"");
        return false;
    }
    if (int64_t{parsed.width} * parsed.height > kMaxPicturePixels) {
        error = Failure("picture " + std::to_string(parsed.width) + "x" + std::to_string(parsed.height) +
                        " is larger than 8192x8192 pixels");
        return false;
    }
    format = parsed;
    return true;
}

std::string ContainerOf(std::string_view bytes)
{
    auto at = [&](size_t offset, std::string_view magic) {
        return bytes.size() >= offset + magic.size() && bytes.compare(offset, magic.size(), magic) == 0;
    };
    // A transport stream's packets are 188 bytes, each starting with the sync byte 0x47.
    constexpr size_t kTsPacket = 188;
    if (at(0, "\x47") && (bytes.size() <= kTsPacket || at(kTsPacket, "\x47")))
        return "an MPEG-TS file";
    if (at(0, std::string_view("\0\0\1\xBA", 4)))
        return "an MPEG-PS file (MPG, VOB)";
    if (at(0, "\x1A\x45\xDF\xA3"))
        return "a Matroska file (MKV, WebM)";
    if (at(4, "ftyp") || at(4, "moov") || at(4, "mdat") || at(4, "free") || at(4, "wide"))
        return "an MP4 or MOV file";
    if (at(0, "RIFF") && at(8, "AVI "))
        return "an AVI file";
    if (at(0, "nut/multimedia container"))
        return "a NUT file";
    return "";
}

bool IsFrameHeader(std::string_view line)
{
    constexpr std::string_view kFrame = "FRAME";
    return line.substr(0, kFrame.size()) == kFrame && (line.size() == kFrame.size() || line[kFrame.size()] == ' ');
}

std::string Quoted(std::string_view text, size_t limit)
{
    std::string shown;
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        }
    }
    if (text.size() > limit)
        shown += "...";
    return shown;
}
