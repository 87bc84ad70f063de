#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "cli/frame_stream.h"
#include "cli/plane_filter_pool.h"

// The chroma planes of a picture (`format`'s planes at `planes`) as the filter takes them, whole or as two
// fields each, with the luma they cover: a field's chroma covers the same field of the luma plane.
template <class Sample>
std::vector<PlaneRegion<Sample>> ChromaRegions(Sample* planes, const PictureFormat& format, bool fields);

// The pool that filters pictures of `format` at `planes` in place, for the format's depth (which it puts into
// the settings). Throws as PlaneFilterPool's constructor.
std::unique_ptr<PictureFilter> ChromaFilterFor(uint8_t* planes, const PictureFormat& format, bool fields,
                                               int threads, PlaneFilterSettings settings);
