// Worked values with their expected bytes written out, the rules every window size keeps and the filter's
// preconditions.

#include <gtest/gtest.h>

#include <cstring>

#include "chroma_median_test_support.h"

namespace {

constexpr size_t kLaneUnderTest = 5;  // byte of the U sample of pair 1, lane 2 of the first strip

using LaneByVariant = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// Runs every variant serving `count` on an 8-pixel-wide frame whose lane under test holds `column` row by
// row (everything else random) and returns each variant's lane, with the name.
LaneByVariant FilterColumn(int32_t count, const std::vector<uint8_t>& column)
{
    const FrameSize size{8, static_cast<int32_t>(column.size())};
    std::mt19937 random(count);
    std::vector<uint8_t> input(Yuy2Bytes(size));
    FillFrame(input.data(), size, Pattern::Random, random);
    for (size_t r = 0; r < column.size(); ++r)
        input[16 * r + kLaneUnderTest] = column[r];

    LaneByVariant results;
    ForEachVariantServing(count, [&](const ChromaMedianVariant& variant) {
        std::vector<uint8_t> frame = input;
        GuardedBytes scratch(ChromaScratchBytes(size));
        variant.fn(frame.data(), &size, scratch.data(), count);
        std::vector<uint8_t> lane;
        for (size_t r = 0; r < column.size(); ++r) {
            lane.push_back(frame[16 * r + kLaneUnderTest]);
            for (size_t luma = 0; luma < 16; luma += 2)
                EXPECT_EQ(frame[16 * r + luma], input[16 * r + luma]) << variant << ": luma of row " << r;
        }
        results.emplace_back(variant.name, lane);
    });
    return results;
}

struct WorkedColumn {
    int32_t count;
    std::vector<uint8_t> column;
    std::vector<uint8_t> expected;
};

TEST(ChromaMedianExamples, WorkedColumns)
{
    const WorkedColumn cases[] = {
        // Count 2: the larger of the row and the one below; the last row keeps its value.
        {2, {5, 9, 3, 3, 7, 1}, {9, 9, 3, 7, 7, 1}},
        // Count 3: a one-row spike goes, a two-row spike stays.
        {3, {50, 50, 200, 50, 50}, {50, 50, 50, 50, 50}},
        {3, {50, 50, 200, 200, 50, 50}, {50, 50, 200, 200, 50, 50}},
        {3, {10, 200, 12, 11, 13}, {10, 12, 12, 12, 13}},
        // Count 4 (h = 2, a = 1): the third smallest of rows r - 1 ... r + 2.
        {4, {10, 200, 12, 11, 13}, {12, 12, 13, 13, 13}},
        {5, {10, 200, 12, 11, 13}, {10, 11, 12, 13, 13}},
        // 0 and 255 are the lowest and the highest values.
        {3, {0, 254, 255}, {0, 254, 255}},
        {3, {255, 0, 254}, {255, 254, 254}},
        // Count 15 on row 0: row 0 eight times and rows 1 to 7, so 200 is rank 7; one copy fewer would
        // give 107.
        {15,
         {200, 101, 102, 103, 104, 105, 106, 107, 50, 50, 50, 50, 50, 50, 50, 50},
         {200, 107, 106, 105, 104, 103, 102, 101, 50, 50, 50, 50, 50, 50, 50, 50}},
        // Height h + 1: the main run writes row 0, the tail the rest, from clamped windows.
        {15, {90, 10, 80, 20, 70, 30, 60, 40}, {90, 80, 70, 60, 40, 40, 40, 40}},
        {30, {90, 10, 80, 20, 70, 30, 60, 40, 50, 0, 255, 5, 250, 15, 240, 25},
         {90, 90, 90, 90, 80, 70, 60, 50, 40, 30, 25, 25, 25, 25, 25, 25}},
    };
    for (const WorkedColumn& c : cases) {
        for (const auto& [name, lane] : FilterColumn(c.count, c.column))
            EXPECT_EQ(lane, c.expected) << name << ", count " << c.count;
    }
}

TEST(ChromaMedianExamples, ConstantChromaIsUnchangedForEveryCount)
{
    const FrameSize size{24, 40};
    std::mt19937 random(4);
    std::vector<uint8_t> input(Yuy2Bytes(size));
    FillFrame(input.data(), size, Pattern::Random, random);
    for (size_t i = 1; i < input.size(); i += 2)
        input[i] = 77;
    for (int32_t count = 1; count <= kMaxMedianWindow; ++count) {
        ForEachVariantServing(count, [&](const ChromaMedianVariant& variant) {
            std::vector<uint8_t> frame = input;
            GuardedBytes scratch(ChromaScratchBytes(size));
            variant.fn(frame.data(), &size, scratch.data(), count);
            EXPECT_EQ(frame, input) << variant << ", count " << count;
        });
    }
}

TEST(ChromaMedianExamples, USpikeLeavesTheVColumnsAlone)
{
    const FrameSize size{16, 12};
    std::vector<uint8_t> input(Yuy2Bytes(size), 100);
    input[2 * size.width * 5 + 1] = 250;  // U of pair 0, row 5
    for (int32_t count = 1; count <= kMaxMedianWindow; ++count) {
        if (!ChromaMedianPreconditionsHold(size, count))
            continue;
        ForEachVariantServing(count, [&](const ChromaMedianVariant& variant) {
            std::vector<uint8_t> frame = input;
            GuardedBytes scratch(ChromaScratchBytes(size));
            variant.fn(frame.data(), &size, scratch.data(), count);
            for (size_t v = 3; v < frame.size(); v += 4)
                ASSERT_EQ(frame[v], 100) << variant << ", count " << count << ", byte " << v;
        });
        if (HasFatalFailure())
            return;
    }
}

TEST(ChromaMedianPreconditions, AcceptOnlyWhatTheFilterCanTake)
{
    struct Case {
        FrameSize size;
        int32_t count;
        bool holds;
    };
    const Case cases[] = {
        {{8, 1}, 1, true},         {{8, 1}, 2, false},  {{8, 2}, 2, true},     {{8, 2}, 3, true},
        {{8, 15}, 30, false},      {{8, 16}, 30, true}, {{8, 8}, 15, true},    {{8, 7}, 15, false},
        {{6, 100}, 5, false},      {{7, 100}, 5, false}, {{9, 100}, 5, false}, {{10, 100}, 5, true},
        {{720, 576}, 0, false},    {{720, 576}, 31, false}, {{720, 576}, -1, false},
        {{720, -576}, 1, false},   {{-720, 576}, 1, false}, {{720, 0}, 1, false},
        {{1 << 14, 1 << 14}, 15, true},  // 2^28 pixels, the largest frame taken
        {{(1 << 14) + 2, 1 << 14}, 15, false},
        {{0x7FFFFFFE, 2}, 1, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChromaMedianPreconditionsHold(c.size, c.count), c.holds)
            << c.size.width << "x" << c.size.height << ", count " << c.count;
    }
}

}  // namespace
