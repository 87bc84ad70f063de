#pragma once

// What the main loop sees of its input and output: a reader that hands over one picture at a time and a
// writer that takes it back filtered. Y4M streams (y4m_stream.h) and video files (media_file.h) are the
// two kinds; whatever a picture carries besides its samples (a FRAME line's tags, a frame's timestamp
// and flags, the streams that are not video) goes from the reader to its writer without the loop.

#include <cstddef>
#include <cstdint>

// How the chroma planes are subsampled: plane width = ceil(width / 2^shiftX), height likewise.
struct ChromaLayout {
    int shiftX;
    int shiftY;
    bool mono;  // Y only, no chroma planes
};

struct PlaneGeometry {
    int32_t width;
    int32_t height;
    int32_t bytesPerSample = 1;
    size_t Samples() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
    size_t Bytes() const { return Samples() * static_cast<size_t>(bytesPerSample); }
};

// Pictures larger than this are refused before anything is allocated (8192 x 8192), from any input.
constexpr int64_t kMaxPicturePixels = int64_t{1} << 26;

// A picture as the filter takes it: the Y plane, then U, then V, each row as wide as the plane. Samples of
// 8 bits take a byte; of 9 to 16 bits, two (a uint16_t in the machine's byte order, the value in the low
// bits).
struct PictureFormat {
    int32_t width = 0;
    int32_t height = 0;
    ChromaLayout chroma{1, 1, false};
    int32_t depth = 8;  // bits per sample, 8 to 16

    int32_t BytesPerSample() const { return depth > 8 ? 2 : 1; }
    PlaneGeometry Luma() const { return {width, height, BytesPerSample()}; }
    PlaneGeometry Chroma() const  // width 0 for mono
    {
        if (chroma.mono)
            return {0, 0, BytesPerSample()};
        const int32_t xRound = (1 << chroma.shiftX) - 1;
        const int32_t yRound = (1 << chroma.shiftY) - 1;
        return {(width + xRound) >> chroma.shiftX, (height + yRound) >> chroma.shiftY, BytesPerSample()};
    }
    size_t FrameBytes() const { return Luma().Bytes() + 2 * Chroma().Bytes(); }
};

enum class ReadResult {
    kPicture,
    kEnd,
    kStopped,  // damaged input that ends the run, already reported; the pictures before it stay written
    kNewFormat,  // the pictures from the next on have another size or chroma format: NextFormat()
};

class FrameReader {
public:
    virtual ~FrameReader() = default;
    // Reads the next picture into `planes` (FrameBytes() of its format).
    virtual ReadResult Read(uint8_t* planes) = 0;
    // The format of the picture the next Read gives, after kNewFormat.
    virtual PictureFormat NextFormat() const { return {}; }
    // Pictures that arrived damaged but were read on, each already reported: the run ends with exit code 1.
    virtual uint64_t DamagedPictures() const { return 0; }
};

enum class StartResult {
    kStarted,
    kNotCreated,   // reported; nothing was written
    kWriteFailed,  // reported; the output was begun
};

class FrameWriter {
public:
    virtual ~FrameWriter() = default;
    // Creates the output: called once, after everything that can be refused has been checked.
    virtual StartResult Start() = 0;
    // Writes the picture last read, with these samples. Reports its own failures.
    virtual bool Write(const uint8_t* planes) = 0;
    // Writes what is left and puts the output under its name. Reports its own failures.
    virtual bool Finish() = 0;
};
