// The repair of chroma sparkles: hand-made planes with worked values, and random planes against the
// definition (tests/common/repair_reference.h); each through every variant of the sparkle mask and cut
// into column pieces at every place, detected piece by piece before any piece is replaced, as the thread
// pool does. At 8, 10 and 16 bits: the worked planes' deep copies (every sample times 2^(depth - 8)) must
// take the same samples for sparkles and the same winners, and the deep planes' own rows hold the extremes
// and the threshold's last step.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "filter/chroma_repair_plane.h"
#include "tests/common/guarded_bytes.h"
#include "tests/common/kernel_variants.h"
#include "tests/common/repair_reference.h"

namespace {

template <class Sample>
struct Plane {
    int width, height;
    std::vector<Sample> chroma, luma;  // the luma has the chroma's size times the subsampling
    int shiftX, shiftY;
    int depth = 8;
};

// The product's repair of a plane with the kernels given, in pieces cut at `cuts` (ascending).
template <class Sample>
std::vector<Sample> Repaired(const Plane<Sample>& p, int count, int threshold,
                             const ChromaRepairKernelsOf<Sample>& kernels, const std::vector<int>& cuts)
{
    std::vector<Sample> chroma = p.chroma;
    std::vector<Sample> median(chroma.size());
    std::vector<uint8_t> mask(chroma.size());
    const int lumaWidth = p.width << p.shiftX;
    const ChromaRepairPlaneOf<Sample> plane{
        chroma.data(), p.width, p.width, p.height,
        {p.luma.data(), lumaWidth, lumaWidth, p.height << p.shiftY, p.shiftX, p.shiftY},
        median.data(), mask.data(), p.depth};
    GuardedBytes scratch(kChromaMedianPlaneScratchBytes);
    std::vector<int> bounds{0};
    bounds.insert(bounds.end(), cuts.begin(), cuts.end());
    bounds.push_back(p.width);
    for (size_t i = 0; i + 1 < bounds.size(); ++i)
        DetectChromaSparkles(plane, bounds[i], bounds[i + 1], count, threshold, kernels, scratch.data());
    for (size_t i = 0; i + 1 < bounds.size(); ++i)
        ReplaceChromaSparkles(plane, bounds[i], bounds[i + 1], threshold);
    return chroma;
}

template <class Sample>
std::vector<Sample> ReferenceRepaired(const Plane<Sample>& p, int count, int threshold)
{
    std::vector<Sample> chroma = p.chroma;
    const int lumaWidth = p.width << p.shiftX;
    reference::ChromaRepairPlane<Sample>({chroma.data(), p.width, p.width, p.height, p.luma.data(), lumaWidth,
                                          lumaWidth, p.height << p.shiftY, p.shiftX, p.shiftY, p.depth},
                                         count, threshold);
    return chroma;
}

// Where two planes first differ, for a failure's message.
template <class Sample>
std::string FirstDifference(const std::vector<Sample>& actual, const std::vector<Sample>& expected, int width)
{
    for (size_t i = 0; i < expected.size(); ++i) {
        if (actual[i] != expected[i]) {
            return "(" + std::to_string(i % width) + ", " + std::to_string(i / width) + ") is " +
                   std::to_string(actual[i]) + ", not " + std::to_string(expected[i]);
        }
    }
    return "no difference";
}

// The portable path (the C mask with the portable median) and each vectorised one.
template <class Sample, class Body>
void ForEachRepairPath(int count, Body&& body)
{
    ForEachRunnableVariant(ChromaSparkleMaskVariants<Sample>(), [&](const auto& variant) {
        body(variant.name,
             ChromaRepairKernelsOf<Sample>{
                 ChooseChromaMedianPlaneKernels<Sample>(variant.neededFeatures).byCount[count], variant.fn});
    });
}

struct Point {
    int x, y, value;
};

struct HandCase {
    const char* name;
    int width, height, count, threshold;
    std::function<int(int x, int y)> chroma, luma;  // 4:4:4: one luma sample a chroma sample
    std::vector<Point> sparkles;                     // set over the chroma
    std::vector<Point> expected;                     // every other sample keeps its value
    int depth = 8;                                   // of the values above
};

// The case's plane at `depth` bits, its values times 2^(depth - case.depth), through the reference and every
// path cut at every place.
template <class Sample>
void ExpectWorkedValues(const HandCase& c, int depth)
{
    SCOPED_TRACE(testing::Message() << c.name << ", " << depth << " bits");
    const int scale = 1 << (depth - c.depth);
    Plane<Sample> plane{c.width, c.height, {}, {}, 0, 0, depth};
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            plane.chroma.push_back(static_cast<Sample>(c.chroma(x, y) * scale));
            plane.luma.push_back(static_cast<Sample>(c.luma(x, y) * scale));
        }
    }
    for (const Point& s : c.sparkles)
        plane.chroma[s.y * c.width + s.x] = static_cast<Sample>(s.value * scale);
    std::vector<Sample> expected = plane.chroma;
    for (const Point& s : c.expected)
        expected[s.y * c.width + s.x] = static_cast<Sample>(s.value * scale);
    const std::vector<Sample> fromReference = ReferenceRepaired(plane, c.count, c.threshold);
    EXPECT_TRUE(fromReference == expected) << "the tests' reference: " << FirstDifference(fromReference, expected, c.width);
    ForEachRepairPath<Sample>(c.count, [&](const char* path, const ChromaRepairKernelsOf<Sample>& kernels) {
        for (int cut = 0; cut < c.width; ++cut) {
            const std::vector<int> cuts = cut == 0 ? std::vector<int>{} : std::vector<int>{cut};
            const std::vector<Sample> actual = Repaired(plane, c.count, c.threshold, kernels, cuts);
            ASSERT_TRUE(actual == expected) << path << ", cut at " << cut << ": " << FirstDifference(actual, expected, c.width);
        }
    });
}

// A ramp down the columns is its own median everywhere; a single sparkle moves no median past 30.
int Ramp(int x, int y) { return 60 + 2 * x + 10 * y; }
int Flat(int, int) { return 50; }
// Texture: luma in stripes two columns apart, so that a patch matches the one two columns over exactly.
int Stripes(int x, int) { return x % 2 ? 120 : 100; }

// A dark line 1 row high and 10 long at row 5 over the stripes, coloured 240 on the ramp: its luma stands
// out from the rows above and below evenly along its colour, so it is detail.
int LineColour(int x, int y) { return y == 5 && x >= 2 && x <= 11 ? 240 : Ramp(x, y); }
int LineLuma(int x, int y) { return y == 5 && x >= 2 && x <= 11 ? 30 : Stripes(x, y); }

// A caption's "T" on a dark box: a bar 2 rows high and 9 long with a stem below its middle, bright, colour
// 60 on 150. The stem is its column's median; the arms are suspects.
bool InT(int x, int y) { return ((y == 3 || y == 4) && x >= 2 && x <= 10) || (x == 6 && y >= 3 && y <= 10); }

TEST(ChromaRepairPlane, HandMadePlanesGetTheirWorkedValues)
{
    const HandCase cases[] = {
        // Left and right edges lose their outer candidates, the upper one wins the tie on flat luma. In the
        // first and last rows the repeated edge row fills 4 of the 7 samples of the window: the median is
        // the sparkle itself, so it stays, as the plain median keeps it.
        {"sparkles at every edge", 8, 8, 7, 30, Ramp, Flat,
         {{0, 3, 250}, {7, 4, 250}, {3, 0, 250}, {5, 7, 5}},
         {{0, 3, 80}, {7, 4, 104}, {3, 0, 250}, {5, 7, 5}}},
        // Luma dark above row 4, bright from it, and the colour changes with it: the upper neighbour is
        // nearest but of the other side; the left one shares the sparkle's luma patch.
        {"on a luma edge", 8, 8, 7, 30, [](int x, int y) { return (y < 4 ? 60 : 120) + 2 * x + y; },
         [](int, int y) { return y < 4 ? 40 : 200; },
         {{2, 4, 250}},
         {{2, 4, 126}}},
        // Luma stripes make the row neighbours the best candidates; the right one of the left sparkle is
        // the other sparkle, never a source.
        {"two sparkles side by side", 8, 8, 7, 30, Ramp, [](int, int y) { return 40 + 30 * y; },
         {{2, 4, 250}, {3, 4, 250}},
         {{2, 4, 102}, {3, 4, 108}}},
        // Every inner row is a spike against its window of 3, a suspect: rows 1 to 3 reach the clean row 0,
        // rows 5 to 7 the clean row 8, and take its value unless it agrees with theirs (rows 2 and 6 stay);
        // row 4 reaches none and takes its median, 30 (row 5's value).
        {"every candidate a sparkle", 3, 9, 3, 30,
         [](int, int y) { return (y % 2 ? 0 : 200) + 5 * (y + (y % 2)); }, Flat,
         {},
         {{0, 1, 200}, {1, 1, 200}, {2, 1, 200}, {0, 3, 200}, {1, 3, 200}, {2, 3, 200}, {0, 4, 30}, {1, 4, 30},
          {2, 4, 30}, {0, 5, 240}, {1, 5, 240}, {2, 5, 240}, {0, 7, 240}, {1, 7, 240}, {2, 7, 240}}},
        {"threshold 255", 8, 8, 7, 255, Ramp, Flat, {{3, 3, 255}, {4, 4, 0}}, {{3, 3, 255}, {4, 4, 0}}},
        // The line stays whole. A sparkle on it has its colour against the line's rest: it takes the line
        // sample two columns left, whose patch is its own (cost 24, against 132 one column over). A streak
        // off the line leaves the stripes' luma as the rows around it continue: each takes the sample above.
        {"a thin line on texture, a sparkle on it and a streak beside", 14, 14, 7, 18, LineColour, LineLuma,
         {{6, 5, 20}, {3, 12, 5}, {4, 12, 5}, {5, 12, 5}, {6, 12, 5}, {7, 12, 5}, {8, 12, 5}},
         {{6, 5, 240}, {3, 12, 176}, {4, 12, 178}, {5, 12, 180}, {6, 12, 182}, {7, 12, 184}, {8, 12, 186}}},
        // A line whose luma is just 10 below, or just 10 above, the rows on either side stands out.
        {"a line just dark enough", 12, 9, 7, 18, [](int x, int y) { return y == 4 && x >= 2 ? 240 : Ramp(x, y); },
         [](int x, int y) { return y == 4 && x >= 2 ? 40 : 50; }, {}, {}},
        {"a line just bright enough", 12, 9, 7, 18, [](int x, int y) { return y == 4 && x >= 2 ? 240 : Ramp(x, y); },
         [](int x, int y) { return y == 4 && x >= 2 ? 60 : 50; }, {}, {}},
        // Each arm is 4 samples of the bar's colour with a ridge of luma; at the stem the luma below goes on.
        {"a caption stroke", 13, 13, 7, 18, [](int x, int y) { return InT(x, y) ? 60 : 150; },
         [](int x, int y) { return InT(x, y) ? 200 : 40; }, {}, {}},
        {"window 1", 8, 8, 1, 1, Ramp, Flat, {{3, 3, 250}}, {{3, 3, 250}}},
    };
    for (const HandCase& c : cases) {
        ExpectWorkedValues<uint8_t>(c, 8);
        ExpectWorkedValues<uint16_t>(c, 10);
        ExpectWorkedValues<uint16_t>(c, 16);
    }
}

// Deep planes at the ends of their range, and a threshold of 18 at 10 bits: 72 from the median is no
// suspect, 73 is (as 18 and 19 are at 8 bits).
TEST(ChromaRepairPlane, DeepPlanesTakeTheirExtremesAndTheScaledThreshold)
{
    const auto flat = [](int value) { return [value](int, int) { return value; }; };
    const HandCase cases[] = {
        {"full scale at 10 bits", 8, 8, 7, 30, flat(0), flat(1023), {{3, 3, 1023}}, {{3, 3, 0}}, 10},
        {"zero in full scale at 16 bits", 8, 8, 7, 30, flat(65535), flat(65535), {{4, 4, 0}}, {{4, 4, 65535}}, 16},
        {"full scale on black at 16 bits", 8, 8, 7, 1, flat(0), flat(0), {{2, 5, 65535}}, {{2, 5, 0}}, 16},
        {"the threshold's last step at 10 bits", 12, 8, 7, 18, flat(500), flat(200), {{2, 3, 572}, {8, 4, 573}},
         {{2, 3, 572}, {8, 4, 500}}, 10},
    };
    for (const HandCase& c : cases)
        ExpectWorkedValues<uint16_t>(c, c.depth);
}

// Smooth colour with 4 % sparkles over random luma, with thin lines of their own colour and luma across it
// (some of them detail, some sparkled), every subsampling's cover, widths around each register's, cut at
// random places. Deep planes draw the same shapes at 8 bits and fill the bits below at random.
template <class Sample>
void ExpectRandomPlanesEqualTheDefinition(int depth)
{
    SCOPED_TRACE(testing::Message() << depth << " bits");
    std::mt19937 random(21 + depth);
    const int low = 1 << (depth - 8);
    auto deep = [&](uint32_t eightBit) { return static_cast<Sample>((eightBit & 255) * low + random() % low); };
    int checked = 0;
    for (const int count : {2, 3, 7, 15}) {
        for (const int width : {1, 5, 16, 17, 33, 64, 70}) {
            for (const int threshold : {1, 30, 254}) {
                for (const auto& [shiftX, shiftY] : {std::pair{0, 0}, {1, 0}, {1, 1}, {2, 0}}) {
                    const int height = count + 1 + static_cast<int>(random() % 12);
                    Plane<Sample> plane{width, height, {}, {}, shiftX, shiftY, depth};
                    const int base = static_cast<int>(random() % 200);
                    for (int y = 0; y < height; ++y) {
                        for (int x = 0; x < width; ++x) {
                            const bool spike = random() % 25 == 0;
                            plane.chroma.push_back(deep(spike ? random() : base + (x + y) % 40));
                        }
                    }
                    for (size_t i = 0; i < plane.chroma.size() << (shiftX + shiftY); ++i)
                        plane.luma.push_back(deep(random() % 64 + (i % 7) * 20));
                    for (int lines = static_cast<int>(random() % 4); lines > 0; --lines) {
                        const int top = static_cast<int>(random() % height), rows = 1 + static_cast<int>(random() % 3);
                        const int left = static_cast<int>(random() % width);
                        const int right = std::min(width, left + 1 + static_cast<int>(random() % 70));
                        const Sample colour = deep(random());
                        const uint32_t luma = random() % 250;
                        const int sparkled = random() % 2 ? 8 : 2;  // one sample in so many is a sparkle
                        for (int y = top; y < std::min(height, top + rows); ++y) {
                            for (int x = left; x < right; ++x) {
                                plane.chroma[y * width + x] = random() % sparkled ? colour : deep(random());
                                for (int i = y << shiftY; i < (y + 1) << shiftY; ++i) {
                                    for (int j = x << shiftX; j < (x + 1) << shiftX; ++j)
                                        plane.luma[static_cast<size_t>(i) * (width << shiftX) + j] = deep(luma + random() % 6);
                                }
                            }
                        }
                    }
                    const std::vector<Sample> expected = ReferenceRepaired(plane, count, threshold);
                    std::vector<int> cuts;
                    for (int x = 1 + static_cast<int>(random() % 9); x < width; x += 1 + static_cast<int>(random() % 30))
                        cuts.push_back(x);
                    ForEachRepairPath<Sample>(count, [&](const char* path, const ChromaRepairKernelsOf<Sample>& kernels) {
                        const std::vector<Sample> actual = Repaired(plane, count, threshold, kernels, cuts);
                        ASSERT_TRUE(actual == expected)
                            << FirstDifference(actual, expected, width) << ", " << path << ", window " << count << ", threshold " << threshold << ", " << width << "x"
                            << height << ", shifts " << shiftX << "," << shiftY;
                        ++checked;
                    });
                    if (testing::Test::HasFatalFailure())
                        return;
                }
            }
        }
    }
    EXPECT_GT(checked, 0);
}

TEST(ChromaRepairPlane, RandomPlanesEqualTheDefinition)
{
    ExpectRandomPlanesEqualTheDefinition<uint8_t>(8);
    ExpectRandomPlanesEqualTheDefinition<uint16_t>(10);
    ExpectRandomPlanesEqualTheDefinition<uint16_t>(16);
}

}  // namespace
