#pragma once

#include <cstddef>
#include <cstdint>

#include "filter/chroma_median_block_layout.h"

// Bytes of plane row that one walk down a plane covers: two cache lines, so each line of a plane fresh from
// memory is fetched once while the vectors of a walk share the loop overhead.
constexpr size_t kPlaneWalkBytes = 128;

// The sorted-block kernels keep ChromaBlockLayout's entries for every vector of a walk.
constexpr size_t kPlaneBlockScratchBytes = kPlaneWalkBytes * MaxChromaBlockEntries();
