// The repair over time: worked sequences of three pictures and random ones, the product (every kernel
// variant, the plane cut into column pieces) against the definition (tests/common/temporal_reference.h)
// sample by sample; and the motion search's block distance, every variant against the portable one.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "filter/luma_motion.h"
#include "tests/common/kernel_variants.h"
#include "tests/common/temporal_reference.h"
#include "tests/common/temporal_run.h"

namespace {

using product::PlanePicture;
using product::RepairSetup;

// A scene far larger than a picture: luma blended between values on a grid of 8 samples, hashed so that no
// small move repeats them, with a finer ripple, as a picture's luma varies on every scale; and chroma in flat squares of 8
// chroma samples, so that a repaired sample's right colour is its square's.
int SceneLuma(int x, int y)
{
    auto knot = [](int i, int j) {
        return static_cast<int>((static_cast<unsigned>(i) * 2654435761u ^ static_cast<unsigned>(j) * 40503u) >> 7) % 181;
    };
    const int i = x / 8, j = y / 8, fx = x % 8, fy = y % 8;
    const int blend = knot(i, j) * (8 - fx) * (8 - fy) + knot(i + 1, j) * fx * (8 - fy) +
                      knot(i, j + 1) * (8 - fx) * fy + knot(i + 1, j + 1) * fx * fy;
    return 30 + blend / 64 + (x * 3 + y) % 5;
}
int SceneChroma(int cx, int cy)
{
    return 90 + ((cx + 64) / 8 + (cy + 64) / 8) % 4 * 16;
}

constexpr int kLumaWidth = 96, kLumaHeight = 64, kWidth = 48, kHeight = 32;  // 4:2:0

// The scene seen from (panX, panY) luma samples, an even pan: chroma follows it whole.
PlanePicture<uint8_t> Seen(int panX, int panY)
{
    PlanePicture<uint8_t> p{{}, {}, kWidth, kHeight, kLumaWidth, kLumaHeight};
    for (int y = 0; y < kLumaHeight; ++y)
        for (int x = 0; x < kLumaWidth; ++x)
            p.luma.push_back(static_cast<uint8_t>(SceneLuma(x + panX, y + panY)));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            p.chroma.push_back(static_cast<uint8_t>(SceneChroma(x + panX / 2, y + panY / 2)));
    return p;
}

// Chroma `length` samples wide and `rows` high from (x, y) set to `value`.
PlanePicture<uint8_t> With(PlanePicture<uint8_t> p, int x, int y, int length, int value, int rows = 1)
{
    for (int r = 0; r < rows; ++r)
        for (int i = 0; i < length; ++i)
            p.chroma[static_cast<size_t>(y + r) * kWidth + x + i] = static_cast<uint8_t>(value);
    return p;
}

// Another scene's luma but in the top left corner (luma columns and rows below 56 and 32), which holds the
// worked samples and their patches: 6 motion blocks of 24 match.
PlanePicture<uint8_t> CutAwayButCorner(PlanePicture<uint8_t> p)
{
    for (int y = 0; y < kLumaHeight; ++y)
        for (int x = 0; x < kLumaWidth; ++x)
            if (x >= 56 || y >= 32)
                p.luma[static_cast<size_t>(y) * kLumaWidth + x] = static_cast<uint8_t>(200 - (x * 11 + y * 5) % 53);
    return p;
}

template <class Sample>
reference::RepairPlane<Sample> View(PlanePicture<Sample>& p, int shiftX, int shiftY, int depth)
{
    return {p.chroma.data(), p.width, p.width, p.height, p.luma.data(), p.lumaWidth, p.lumaWidth, p.lumaHeight,
            shiftX, shiftY, depth};
}

template <class Sample>
std::vector<Sample> Reference(PlanePicture<Sample>* previous, PlanePicture<Sample> picture, PlanePicture<Sample>* next,
                              const RepairSetup& s)
{
    reference::RepairPlane<Sample> prev{}, nxt{};
    if (previous)
        prev = View(*previous, s.shiftX, s.shiftY, s.depth);
    if (next)
        nxt = View(*next, s.shiftX, s.shiftY, s.depth);
    reference::ChromaRepairOverTime(View(picture, s.shiftX, s.shiftY, s.depth), previous ? &prev : nullptr,
                                    next ? &nxt : nullptr, s.count, s.threshold);
    return picture.chroma;
}

template <class Sample>
std::string FirstDifference(const std::vector<Sample>& actual, const std::vector<Sample>& expected, int width)
{
    for (size_t i = 0; i < expected.size(); ++i) {
        if (actual[i] != expected[i])
            return "(" + std::to_string(i % width) + ", " + std::to_string(i / width) + ") is " +
                   std::to_string(actual[i]) + ", not " + std::to_string(expected[i]);
    }
    return "";
}

// The product at every CPU feature level, cut into column pieces at `cuts`, against the reference.
template <class Sample>
void ExpectProductIsReference(PlanePicture<Sample>* previous, const PlanePicture<Sample>& picture,
                              PlanePicture<Sample>* next, RepairSetup setup, const std::vector<Sample>& expected,
                              const std::string& name)
{
    for (const uint32_t level : CpuFeatureLevels()) {
        setup.features = CpuFeatures() & level;
        EXPECT_EQ(FirstDifference(product::RepairedOverTime(previous, picture, next, setup), expected, picture.width),
                  "")
            << name << ", features " << setup.features;
    }
}

TEST(ChromaTemporalRepair, WorkedSequencesOfThreePictures)
{
    const int square = SceneChroma(20, 10);  // the flat colour around every worked sample below
    const int spark = square + 60;
    struct Case {
        const char* name;
        std::vector<PlanePicture<uint8_t>> pictures;  // previous (if hasPrevious), picture, next (if hasNext)
        bool hasPrevious, hasNext;
        int x, y, expected;  // a worked sample of the picture and its colour after the repair
    };
    const PlanePicture<uint8_t> still = Seen(0, 0);
    // A line whose luma does not stand out: the spatial rule alone takes it for a sparkle.
    auto line = [&](const PlanePicture<uint8_t>& p) { return With(p, 18, 10, 6, spark); };
    const Case cases[] = {
        {"a sparkle in the middle picture only", {still, With(still, 20, 10, 2, spark), still}, true, true, 20, 10,
         square},
        {"a detail in all three", {line(still), line(still), line(still)}, true, true, 20, 10, spark},
        // Luma moves by (6, 2) a picture, chroma by (3, 1). The sparkle is 4 rows high: it passes the window
        // of 7 as the picture would, so only time finds it.
        {"a pan by (6, 2) with a sparkle", {Seen(0, 0), With(Seen(6, 2), 17, 9, 3, spark, 4), Seen(12, 4)}, true,
         true, 18, 10, SceneChroma(18 + 3, 10 + 1)},
        {"a cut before the last picture", {CutAwayButCorner(line(still)), line(still)}, true, false, 20, 10, square},
        {"the first picture", {line(still), line(still)}, false, true, 20, 10, spark},
        {"the last picture with a sparkle", {still, With(still, 20, 10, 2, spark)}, true, false, 20, 10, square},
        {"a size change after the picture", {line(still), line(Seen(0, 0))}, false, true, 20, 10, square},
    };
    for (Case c : cases) {
        if (std::string(c.name) == "a size change after the picture") {
            c.pictures[1].width -= 2;  // the next picture is narrower: its rows are still as wide in memory
            c.pictures[1].lumaWidth -= 4;
        }
        PlanePicture<uint8_t>* previous = c.hasPrevious ? &c.pictures[0] : nullptr;
        PlanePicture<uint8_t>& picture = c.pictures[c.hasPrevious ? 1 : 0];
        PlanePicture<uint8_t>* next = c.hasNext ? &c.pictures[c.hasPrevious ? 2 : 1] : nullptr;
        const RepairSetup setup{1, 1, 8, 7, 18, 0, {13}};
        const std::vector<uint8_t> expected = Reference(previous, picture, next, setup);
        EXPECT_EQ(expected[static_cast<size_t>(c.y) * kWidth + c.x], c.expected) << c.name;
        ExpectProductIsReference(previous, picture, next, setup, expected, c.name);
    }
}

// Random pans of up to 8 luma samples a picture over noisy texture, with sparkles and lines in random
// places, every subsampling, at 8 and 10 bits, cut into random column pieces.
TEST(ChromaTemporalRepair, RandomSequencesMatchTheDefinition)
{
    std::mt19937 random(33);
    constexpr int kShifts[4][2] = {{0, 0}, {1, 0}, {1, 1}, {2, 0}};
    for (int round = 0; round < 24; ++round) {
        const int shiftX = kShifts[round % 4][0], shiftY = kShifts[round % 4][1];
        const int depth = round % 3 == 2 ? 10 : 8;
        const int width = (40 + static_cast<int>(random() % 40)) >> shiftX;
        const int height = (32 + static_cast<int>(random() % 30)) >> shiftY;
        const int lumaWidth = (width << shiftX) - static_cast<int>(random() % (1 << shiftX));
        const int lumaHeight = (height << shiftY) - static_cast<int>(random() % (1 << shiftY));
        const int panX = static_cast<int>(random() % 17) - 8, panY = static_cast<int>(random() % 9) - 4;
        std::vector<PlanePicture<uint16_t>> pictures(3);
        for (int k = 0; k < 3; ++k) {
            PlanePicture<uint16_t>& p = pictures[k];
            p = {{}, {}, width, height, lumaWidth, lumaHeight};
            for (int y = 0; y < lumaHeight; ++y)
                for (int x = 0; x < lumaWidth; ++x)
                    p.luma.push_back(static_cast<uint16_t>(
                        (SceneLuma(x + k * panX + 20, y + k * panY + 20) + static_cast<int>(random() % 5)) << (depth - 8)));
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const int sparkle = random() % 12 == 0 ? static_cast<int>(random() % 120) : 0;
                    const int value = SceneChroma(x + ((k * panX) >> shiftX), y + ((k * panY) >> shiftY)) + sparkle +
                                      static_cast<int>(random() % 7);
                    p.chroma.push_back(static_cast<uint16_t>(std::min(value, 255) << (depth - 8)));
                }
        }
        const RepairSetup setup{shiftX, shiftY, depth, 3 + 2 * static_cast<int>(random() % 4),
                                1 + static_cast<int>(random() % 40), 0,
                                {static_cast<int>(random() % (width + 1))}};
        const std::string name = "round " + std::to_string(round);
        if (depth == 8) {
            std::vector<PlanePicture<uint8_t>> narrow(3);
            for (int k = 0; k < 3; ++k)
                narrow[k] = {{pictures[k].chroma.begin(), pictures[k].chroma.end()},
                             {pictures[k].luma.begin(), pictures[k].luma.end()}, width, height, lumaWidth, lumaHeight};
            ExpectProductIsReference(&narrow[0], narrow[1], &narrow[2], setup,
                                     Reference(&narrow[0], narrow[1], &narrow[2], setup), name);
        } else {
            ExpectProductIsReference(&pictures[0], pictures[1], &pictures[2], setup,
                                     Reference(&pictures[0], pictures[1], &pictures[2], setup), name);
        }
    }
}

// Every block shape from 1x1 to 16x16, at the extremes and at random, 8 and 16 bits.
template <class Sample>
void ExpectBlockDistanceVariantsAgree(Sample top)
{
    std::mt19937 random(7);
    constexpr ptrdiff_t kStride = 23;
    std::vector<Sample> a(kStride * 16), b(kStride * 16);
    for (int fill = 0; fill < 3; ++fill) {
        for (size_t i = 0; i < a.size(); ++i) {
            a[i] = fill == 0 ? top : static_cast<Sample>(random() % (size_t{top} + 1));
            b[i] = fill == 0 ? 0 : fill == 1 ? top : static_cast<Sample>(random() % (size_t{top} + 1));
        }
        for (int height = 1; height <= kMotionBlock; ++height)
            for (int width = 1; width <= kMotionBlock; ++width) {
                const uint32_t expected = LumaBlockDistanceVariants<Sample>()[0].fn(a.data(), kStride, b.data(), kStride, width, height);
                ForEachRunnableVariant(LumaBlockDistanceVariants<Sample>(), [&](const auto& variant) {
                    EXPECT_EQ(variant.fn(a.data() + 1, kStride, b.data() + 2, kStride, width, height),
                              LumaBlockDistanceVariants<Sample>()[0].fn(a.data() + 1, kStride, b.data() + 2, kStride,
                                                                        width, height))
                        << variant.name << " " << width << "x" << height;
                });
                if (fill == 0) {
                    EXPECT_EQ(expected, uint32_t{top} * width * height);
                }
            }
    }
}

TEST(LumaBlockDistance, EveryVariantMatchesThePortableOne)
{
    ExpectBlockDistanceVariantsAgree<uint8_t>(255);
    ExpectBlockDistanceVariantsAgree<uint16_t>(65535);
}

}  // namespace
