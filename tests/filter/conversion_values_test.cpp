// Worked values and the rounding and saturation cases, for every variant. Each case repeats its pair
// over a frame long enough for whole vector steps and a tail, and every pair must give the same bytes.
#include <gtest/gtest.h>

#include <array>

#include "conversion_test_support.h"

namespace {

using RgbPair = std::array<uint8_t, 6>;
using Yuy2Pair = std::array<uint8_t, 4>;

constexpr int32_t kRepeatedPairs = 41;
constexpr FrameSize kRepeatedSize{2 * kRepeatedPairs, 1};

class ConversionValues : public testing::TestWithParam<RgbConversionVariant> {
protected:
    void SetUp() override { SKIP_UNLESS_RUNNABLE(GetParam()); }

    Yuy2Pair ToYuy2(const RgbPair& pair)
    {
        std::vector<uint8_t> rgb(RgbBytes(kRepeatedSize)), yuy2(Yuy2Bytes(kRepeatedSize));
        for (size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = pair[i % 6];
        GetParam().fn.toYuy2(rgb.data(), yuy2.data(), &kRepeatedSize);
        const Yuy2Pair first{yuy2[0], yuy2[1], yuy2[2], yuy2[3]};
        for (size_t i = 0; i < yuy2.size(); ++i)
            EXPECT_EQ(yuy2[i], first[i % 4]) << "pair " << i / 4;
        return first;
    }

    RgbPair ToRgb(const Yuy2Pair& pair)
    {
        std::vector<uint8_t> yuy2(Yuy2Bytes(kRepeatedSize)), rgb(RgbBytes(kRepeatedSize));
        for (size_t i = 0; i < yuy2.size(); ++i)
            yuy2[i] = pair[i % 4];
        GetParam().fn.toRgb(yuy2.data(), rgb.data(), &kRepeatedSize);
        const RgbPair first{rgb[0], rgb[1], rgb[2], rgb[3], rgb[4], rgb[5]};
        for (size_t i = 0; i < rgb.size(); ++i)
            EXPECT_EQ(rgb[i], first[i % 6]) << "pair " << i / 6;
        return first;
    }
};

struct WorkedValue {
    const char* colour;
    std::array<uint8_t, 3> bgrIn;
    Yuy2Pair yuy2;
    std::array<uint8_t, 3> bgrOut;
};

const WorkedValue kWorkedValues[] = {
    {"white", {255, 255, 255}, {255, 128, 255, 128}, {255, 255, 255}},
    {"black", {0, 0, 0}, {0, 128, 0, 128}, {0, 0, 0}},
    {"grey 100", {100, 100, 100}, {100, 128, 100, 128}, {100, 100, 100}},
    {"blue", {255, 0, 0}, {28, 255, 28, 107}, {253, 0, 0}},
    {"green", {0, 255, 0}, {149, 43, 149, 21}, {0, 253, 0}},
    {"red", {0, 0, 255}, {76, 85, 76, 255}, {0, 0, 254}},
};

RgbPair SameColourTwice(const std::array<uint8_t, 3>& bgr) { return {bgr[0], bgr[1], bgr[2], bgr[0], bgr[1], bgr[2]}; }

TEST_P(ConversionValues, WorkedValuesBothWays)
{
    for (const WorkedValue& value : kWorkedValues) {
        SCOPED_TRACE(value.colour);
        EXPECT_EQ(ToYuy2(SameColourTwice(value.bgrIn)), value.yuy2);
        EXPECT_EQ(ToRgb(value.yuy2), SameColourTwice(value.bgrOut));
    }
}

TEST_P(ConversionValues, BlackAndWhiteInOnePairComeBackUnchanged)
{
    const RgbPair blackWhite{0, 0, 0, 255, 255, 255};
    const Yuy2Pair yuy2 = ToYuy2(blackWhite);
    EXPECT_EQ(yuy2, (Yuy2Pair{0, 128, 255, 128}));
    EXPECT_EQ(ToRgb(yuy2), blackWhite);
}

TEST_P(ConversionValues, BlueThenBlackShareTheAveragedChroma)
{
    const Yuy2Pair yuy2 = ToYuy2({255, 0, 0, 0, 0, 0});
    EXPECT_EQ(yuy2, (Yuy2Pair{28, 191, 0, 117}));
    // du = 63, dv = -11: tB = 111, tG = -22 + 7, tR = -16; the black pixel's G and R saturate at 0.
    EXPECT_EQ(ToRgb(yuy2), (RgbPair{139, 13, 12, 111, 0, 0}));
}

TEST_P(ConversionValues, RedAndBlueInOnePairBecomeTheirAverageWithOwnLuma)
{
    const Yuy2Pair yuy2 = ToYuy2({0, 0, 255, 255, 0, 0});
    // Average B 127, G 0, R 127: U = floor(10795 / 256) + 128, V = floor(13589 / 256) + 128.
    EXPECT_EQ(yuy2, (Yuy2Pair{76, 170, 28, 181}));
    // du = 42, dv = 53: tB = 74, tG = -15 - 38, tR = 74.
    EXPECT_EQ(ToRgb(yuy2), (RgbPair{150, 23, 150, 102, 0, 102}));
}

TEST_P(ConversionValues, EveryGreyRoundTripsExactly)
{
    for (int grey = 0; grey < 256; ++grey) {
        const auto g = static_cast<uint8_t>(grey);
        const Yuy2Pair yuy2 = ToYuy2({g, g, g, g, g, g});
        ASSERT_EQ(yuy2, (Yuy2Pair{g, 128, g, 128})) << "grey " << grey;
        ASSERT_EQ(ToRgb(yuy2), (RgbPair{g, g, g, g, g, g})) << "grey " << grey;
    }
}

struct ToRgbCase {
    const char* why;
    Yuy2Pair yuy2;
    RgbPair rgb;
};

// Each correction term is floored on its own, and each sum saturates to the byte range.
const ToRgbCase kRoundingAndSaturation[] = {
    {"du = -1: tB = floor(-1.77) = -2, tGu = floor(0.34) = 0", {100, 127, 100, 128}, {98, 100, 100, 98, 100, 100}},
    {"dv = -1: tR = floor(-1.40) = -2, tGv = floor(0.71) = 0", {100, 128, 100, 127}, {100, 100, 98, 100, 100, 98}},
    {"pure blue: R = 28 - 30 stores 0 (not 254), G = 28 - 43 + 15 is exactly 0", {28, 255, 28, 107},
     {253, 0, 0, 253, 0, 0}},
    {"bright luma, strong chroma: B = 255 + 225 and R = 255 + 178 store 255, G = 255 - 43 - 91",
     {255, 255, 255, 255}, {255, 121, 255, 255, 121, 255}},
    {"dark luma, negative chroma: B = 0 - 227 and R = 0 - 180 store 0, G = 0 + 43 + 91", {0, 0, 0, 0},
     {0, 134, 0, 0, 134, 0}},
};

TEST_P(ConversionValues, TermsRoundTowardsMinusInfinityAndSumsSaturate)
{
    for (const ToRgbCase& c : kRoundingAndSaturation)
        EXPECT_EQ(ToRgb(c.yuy2), c.rgb) << c.why;
}

struct ChromaCase {
    const char* why;
    RgbPair rgb;
    size_t byte;  // 1 for U, 3 for V
    uint8_t value;
};

const ChromaCase kChromaValues[] = {
    {"a small negative sum: U = floor(-0.33) + 128 = 127, not 128", {0, 1, 1, 0, 1, 1}, 1, 127},
    {"blue: U = 255", {255, 0, 0, 255, 0, 0}, 1, 255},
    {"yellow: U = 0", {0, 255, 255, 0, 255, 255}, 1, 0},
    {"red: V = 255", {0, 0, 255, 0, 0, 255}, 3, 255},
    {"cyan: V = 0", {255, 255, 0, 255, 255, 0}, 3, 0},
};

TEST_P(ConversionValues, ChromaRoundsDownAndReachesBothEndsOfTheByteRange)
{
    for (const ChromaCase& c : kChromaValues)
        EXPECT_EQ(ToYuy2(c.rgb)[c.byte], c.value) << c.why;
}

INSTANTIATE_TEST_SUITE_P(AllVariants, ConversionValues, testing::ValuesIn(ConversionsUnderTest()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
