#pragma once

// The repair over time. A sparkle lives one picture (one field when fields are filtered apart); a caption,
// a line or a logo is there in the picture before and after. The previous and next pictures of the same
// kind, as decoded (never as repaired, so that the result does not depend on the order of work), matched
// to the picture by their luma (filter/luma_motion.h), tell the two apart where the spatial rule
// (filter/chroma_repair_plane.h) can only guess, and give a sparkle its colour back.
//
// The rule, exactly, for 8-bit samples; deeper samples take T and kMotionLumaNoise times 2^(depth - 8).
// A neighbour is the previous or the next picture, left out when there is none (the first and the last
// picture), when its size differs, or when it is a scene cut away from the picture (IsSceneCut). For chroma
// sample (x, y) and a neighbour, take the motion block that holds luma sample (x << shiftX, y << shiftY)
// and try, in this order, its vector when the block is matched and the vector is not (0, 0), then (0, 0).
// A luma vector (vx, vy) moves the chroma by (vx / 2^shiftX, vy / 2^shiftY), each rounded to the nearest
// whole chroma sample with halves away from zero (no interpolation: the value taken is one the neighbour
// holds). A vector fits when the moved chroma position lies inside the plane and the luma patch around the
// sample (luma columns (x - 1) << shiftX ... ((x + 2) << shiftX) - 1, rows (y - 1) << shiftY ...
// ((y + 2) << shiftY) - 1, each position clamped to the luma region, and the same positions moved by the
// luma vector, clamped again, in the neighbour) differs from the neighbour's by at most kMotionLumaNoise
// per luma sample in the sum of absolute differences. The first vector that fits gives the matched value;
// none fitting, the neighbour says nothing. With C the sample and A, B the matched values:
//   - kept when |C - A| <= T or |C - B| <= T (a detail, still or moving, persists);
//   - a sparkle when both are matched, |C - A| > T, |C - B| > T and |A - B| <= T, whether or not the
//     spatial rule took it for a suspect: it takes (A + B + 1) / 2;
//   - else decided by the spatial rule.
// A kept suspect is thin detail to the spatial rule (it stays, and is a candidate in its own row), a sparkle
// found over time is no candidate for the spatial repair of another sample.
//
// Stages, on top of the spatial ones, so that the result is the same however the columns are split among
// threads: MarkTemporalSparkles on a column range right after DetectChromaSparkles on it rewrites that
// range's mask and puts the colour of each sparkle found over time in the median plane (which the spatial
// repair reads only for its own suspects); once every column is marked, ReplaceChromaSparkles and then
// ReplaceTemporalSparkles on a column range write the sparkles. The spatial repair reads only samples that
// are candidates, which nobody writes.

#include <cstdint>

#include "filter/chroma_repair_plane.h"
#include "filter/luma_motion.h"

// The mask's value for a sparkle found over time: no candidate in any row, and not the spatial repair's.
constexpr uint8_t kMaskTemporalSparkle = 2;

// The previous or next picture's chroma plane (or field) as decoded, of the picture's size, its luma under
// it, and the vectors of the picture's luma blocks against that luma (EstimateLumaMotion). chroma is null
// when the neighbour is left out.
template <class Sample>
struct ChromaNeighbourOf {
    const Sample* chroma = nullptr;
    ptrdiff_t stride = 0;
    LumaPlaneOf<Sample> luma{};
    const MotionVector* vectors = nullptr;
};

template <class Sample>
struct TemporalEvidenceOf {
    ChromaNeighbourOf<Sample> previous;
    ChromaNeighbourOf<Sample> next;
};

// The temporal decisions of columns left ... right - 1, after DetectChromaSparkles on them with the same
// threshold (8-bit units).
template <class Sample>
void MarkTemporalSparkles(const ChromaRepairPlaneOf<Sample>& plane, const TemporalEvidenceOf<Sample>& evidence,
                          int32_t left, int32_t right, int32_t threshold);

// Writes the sparkles found over time in columns left ... right - 1, once every column is marked. Returns
// how many samples changed.
template <class Sample>
uint64_t ReplaceTemporalSparkles(const ChromaRepairPlaneOf<Sample>& plane, int32_t left, int32_t right);

extern template void MarkTemporalSparkles(const ChromaRepairPlaneOf<uint8_t>&, const TemporalEvidenceOf<uint8_t>&,
                                          int32_t, int32_t, int32_t);
extern template void MarkTemporalSparkles(const ChromaRepairPlaneOf<uint16_t>&,
                                          const TemporalEvidenceOf<uint16_t>&, int32_t, int32_t, int32_t);
extern template uint64_t ReplaceTemporalSparkles(const ChromaRepairPlaneOf<uint8_t>&, int32_t, int32_t);
extern template uint64_t ReplaceTemporalSparkles(const ChromaRepairPlaneOf<uint16_t>&, int32_t, int32_t);
