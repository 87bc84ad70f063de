#include "cli/chroma_regions.h"

template <class Sample>
std::vector<PlaneRegion<Sample>> ChromaRegions(Sample* planes, const PictureFormat& format, bool fields)
{
    std::vector<PlaneRegion<Sample>> regions;
    const PlaneGeometry chroma = format.Chroma();
    const PlaneGeometry luma = format.Luma();
    const int32_t shiftX = format.chroma.shiftX, shiftY = format.chroma.shiftY;
    Sample* plane = planes + luma.Samples();
    for (int p = 0; p < 2 && chroma.width > 0; ++p, plane += chroma.Samples()) {
        if (fields) {
            for (int32_t field = 0; field < 2; ++field) {
                const LumaCoverOf<Sample> cover{planes + field * luma.width, 2 * ptrdiff_t{luma.width}, luma.width,
                                                (luma.height + 1 - field) / 2, shiftX, shiftY};
                regions.push_back({plane + field * chroma.width, 2 * ptrdiff_t{chroma.width}, chroma.width,
                                   (chroma.height + 1 - field) / 2, cover});
            }
        } else {
            const LumaCoverOf<Sample> cover{planes, luma.width, luma.width, luma.height, shiftX, shiftY};
            regions.push_back({plane, chroma.width, chroma.width, chroma.height, cover});
        }
    }
    return regions;
}

template std::vector<PlaneRegion<uint8_t>> ChromaRegions(uint8_t*, const PictureFormat&, bool);
template std::vector<PlaneRegion<uint16_t>> ChromaRegions(uint16_t*, const PictureFormat&, bool);

std::unique_ptr<PictureFilter> ChromaFilterFor(uint8_t* planes, const PictureFormat& format, bool fields,
                                               int threads, PlaneFilterSettings settings)
{
    settings.depth = format.depth;
    if (format.BytesPerSample() == 1)
        return std::make_unique<PlaneFilterPool<uint8_t>>(threads, settings, ChromaRegions(planes, format, fields));
    // The frame's bytes hold the samples in the machine's order (frame_stream.h), suitably aligned by its
    // allocation.
    auto* const samples = reinterpret_cast<uint16_t*>(planes);
    return std::make_unique<PlaneFilterPool<uint16_t>>(threads, settings, ChromaRegions(samples, format, fields));
}
