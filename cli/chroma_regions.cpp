#include "cli/chroma_regions.h"

std::vector<PlaneRegion> ChromaRegions(uint8_t* planes, const PictureFormat& format, bool fields)
{
    std::vector<PlaneRegion> regions;
    const PlaneGeometry chroma = format.Chroma();
    const PlaneGeometry luma = format.Luma();
    const int32_t shiftX = format.chroma.shiftX, shiftY = format.chroma.shiftY;
    uint8_t* plane = planes + luma.Bytes();
    for (int p = 0; p < 2 && chroma.width > 0; ++p, plane += chroma.Bytes()) {
        if (fields) {
            for (int32_t field = 0; field < 2; ++field) {
                const LumaCover cover{planes + field * luma.width, 2 * ptrdiff_t{luma.width}, luma.width,
                                      (luma.height + 1 - field) / 2, shiftX, shiftY};
                regions.push_back({plane + field * chroma.width, 2 * ptrdiff_t{chroma.width}, chroma.width,
                                   (chroma.height + 1 - field) / 2, cover});
            }
        } else {
            const LumaCover cover{planes, luma.width, luma.width, luma.height, shiftX, shiftY};
            regions.push_back({plane, chroma.width, chroma.width, chroma.height, cover});
        }
    }
    return regions;
}
