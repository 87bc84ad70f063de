// The repair of an 8-bit progressive Y4M file (4:4:4, 4:2:2 or 4:2:0), each picture's chroma planes
// repaired with the previous and next pictures as read (--temporal) or alone, for tools/repair_motion.py.
//
//   repair_y4m_driver [--temporal] [--window N] [--threshold T] [--quiet] [-y] IN OUT

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "filter/cpu_features.h"
#include "tests/common/temporal_run.h"

namespace {

struct Picture {
    std::vector<uint8_t> bytes;
};

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "repair_y4m_driver: %s\n", what);
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv)
{
    bool temporal = false;
    int window = 7, threshold = 18;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--temporal"))
            temporal = true;
        else if (!std::strcmp(argv[i], "--window") && i + 1 < argc)
            window = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--threshold") && i + 1 < argc)
            threshold = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--quiet") && std::strcmp(argv[i], "-y"))
            files.push_back(argv[i]);
    }
    if (files.size() != 2)
        Fail("usage: [--temporal] [--window N] [--threshold T] IN OUT");
    FILE* in = std::fopen(files[0], "rb");
    if (!in)
        Fail("cannot open the input");
    char line[512];
    if (!std::fgets(line, sizeof line, in) || std::strncmp(line, "YUV4MPEG2 ", 10))
        Fail("not Y4M");
    const std::string header = line;
    int width = 0, height = 0, shiftX = 1, shiftY = 1;
    for (const char* tag = std::strchr(line, ' '); tag; tag = std::strchr(tag + 1, ' ')) {
        if (tag[1] == 'W')
            width = std::atoi(tag + 2);
        else if (tag[1] == 'H')
            height = std::atoi(tag + 2);
        else if (!std::strncmp(tag + 1, "C444", 4))
            shiftX = shiftY = 0;
        else if (!std::strncmp(tag + 1, "C422", 4))
            shiftX = 1, shiftY = 0;
    }
    const int chromaWidth = (width + (1 << shiftX) - 1) >> shiftX;
    const int chromaHeight = (height + (1 << shiftY) - 1) >> shiftY;
    const size_t lumaSize = static_cast<size_t>(width) * height, chromaSize = static_cast<size_t>(chromaWidth) * chromaHeight;
    std::vector<Picture> pictures;
    while (std::fgets(line, sizeof line, in)) {
        if (std::strncmp(line, "FRAME", 5))
            Fail("a picture without its FRAME line");
        Picture p{std::vector<uint8_t>(lumaSize + 2 * chromaSize)};
        if (std::fread(p.bytes.data(), 1, p.bytes.size(), in) != p.bytes.size())
            Fail("a picture cut short");
        pictures.push_back(std::move(p));
    }
    std::fclose(in);

    const product::RepairSetup setup{shiftX, shiftY, 8, window, threshold, CpuFeatures(), {}};
    auto plane = [&](size_t picture, int c) {
        const std::vector<uint8_t>& bytes = pictures[picture].bytes;
        const auto chroma = bytes.begin() + static_cast<ptrdiff_t>(lumaSize + c * chromaSize);
        return product::PlanePicture<uint8_t>{{chroma, chroma + static_cast<ptrdiff_t>(chromaSize)},
                                              {bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(lumaSize)},
                                              chromaWidth, chromaHeight, width, height};
    };
    FILE* out = std::fopen(files[1], "wb");
    if (!out)
        Fail("cannot create the output");
    std::fputs(header.c_str(), out);
    for (size_t i = 0; i < pictures.size(); ++i) {
        std::vector<uint8_t> bytes = pictures[i].bytes;
        for (int c = 0; c < 2; ++c) {
            product::PlanePicture<uint8_t> previous{}, next{};
            const bool hasPrevious = temporal && i > 0, hasNext = temporal && i + 1 < pictures.size();
            if (hasPrevious)
                previous = plane(i - 1, c);
            if (hasNext)
                next = plane(i + 1, c);
            const std::vector<uint8_t> repaired = product::RepairedOverTime(
                hasPrevious ? &previous : nullptr, plane(i, c), hasNext ? &next : nullptr, setup);
            std::copy(repaired.begin(), repaired.end(), bytes.begin() + static_cast<ptrdiff_t>(lumaSize + c * chromaSize));
        }
        std::fputs("FRAME\n", out);
        std::fwrite(bytes.data(), 1, bytes.size(), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
