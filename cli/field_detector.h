#pragma once

// Whether pictures whose stream does not say so are interlaced, from the pictures themselves, as
// deinterlacers' field detectors decide it: where things move, the two fields of an interlaced picture
// are two moments, so a row differs more from the rows of the other field around it than from the rows of
// its own field around it; in a progressive picture the nearer rows are the more alike.

#include <cstddef>
#include <cstdint>
#include <vector>

// A picture's luma: rows `stride` bytes apart, samples `step` bytes apart (2 in packed 4:2:2).
struct LumaView {
    const uint8_t* first;
    ptrdiff_t stride;
    ptrdiff_t step;
    int32_t width;
    int32_t height;
};

struct FieldVerdict {
    bool interlaced;
    bool topFirst;  // when interlaced: the top field is the earlier moment
};

// Over a second or so of pictures of one size; fewer than two, or pictures without motion, are progressive.
FieldVerdict JudgeFields(const std::vector<LumaView>& pictures);
