#include "cli/field_detector.h"

#include <cstdlib>

namespace {

int Sample(const LumaView& picture, int32_t x, int32_t y)
{
    return picture.first[y * picture.stride + x * picture.step];
}

// Rows of `parity` in `rows` against the average of the rows above and below them in `around`: rows
// `distance` apart (1: the other field, 2: the same field), edges repeated.
uint64_t RowDistance(const LumaView& rows, int parity, const LumaView& around, int distance)
{
    uint64_t sum = 0;
    for (int32_t y = parity; y < rows.height; y += 2) {
        int32_t above = y - distance, below = y + distance;
        while (above < 0)
            above += 2;
        while (below >= rows.height)
            below -= 2;
        if (above < 0 || below < 0 || above >= rows.height)
            continue;
        for (int32_t x = 0; x < rows.width; ++x)
            sum += std::abs(2 * Sample(rows, x, y) - Sample(around, x, above) - Sample(around, x, below));
    }
    return sum;
}

}  // namespace

FieldVerdict JudgeFields(const std::vector<LumaView>& pictures)
{
    if (pictures.size() < 2 || pictures[0].height < 6)
        return {false, false};
    // A picture is combed where its rows stand out from the other field's by half as much again as from
    // their own field's, and by more than a level a sample (a still picture is neither).
    size_t combed = 0;
    for (const LumaView& picture : pictures) {
        const uint64_t otherField = RowDistance(picture, 0, picture, 1) + RowDistance(picture, 1, picture, 1);
        const uint64_t ownField = RowDistance(picture, 0, picture, 2) + RowDistance(picture, 1, picture, 2);
        const uint64_t samples = uint64_t(picture.width) * uint64_t(picture.height);
        combed += 2 * otherField > 3 * ownField && otherField > 2 * samples;
    }
    if (2 * combed <= pictures.size())
        return {false, false};
    // The top field first: each picture's bottom field lies one field from the next picture's top field, and
    // its top field three from the next one's bottom field; the bottom field first the other way round.
    uint64_t bottomToNextTop = 0, topToNextBottom = 0;
    for (size_t i = 0; i + 1 < pictures.size(); ++i) {
        bottomToNextTop += RowDistance(pictures[i], 1, pictures[i + 1], 1);
        topToNextBottom += RowDistance(pictures[i], 0, pictures[i + 1], 1);
    }
    return {true, bottomToNextTop <= topToNextBottom};
}
