#pragma once

#include <cstdint>
#include <vector>

#include "cli/frame_stream.h"
#include "cli/plane_filter_pool.h"

// The chroma planes of a picture (`format`'s planes at `planes`) as the filter takes them, whole or as two
// fields each, with the luma they cover: a field's chroma covers the same field of the luma plane.
std::vector<PlaneRegion> ChromaRegions(uint8_t* planes, const PictureFormat& format, bool fields);
