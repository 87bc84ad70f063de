// Every variant against a reference written here from the definition with floor division, over every
// U and V at several lumas, every pair of extreme channel values, and random pixels.
#include <gtest/gtest.h>

#include <algorithm>

#include "conversion_test_support.h"

namespace {

int32_t FloorDiv(int32_t numerator, int32_t denominator)
{
    const int32_t quotient = numerator / denominator;
    return (numerator % denominator != 0 && numerator < 0) ? quotient - 1 : quotient;
}

uint8_t Clamp255(int32_t value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

void DefinitionRgbToYuy2(const uint8_t* rgb, uint8_t* yuy2, int32_t pairs)
{
    for (int32_t m = 0; m < pairs; ++m, rgb += 6, yuy2 += 4) {
        const int32_t b0 = rgb[0], g0 = rgb[1], r0 = rgb[2], b1 = rgb[3], g1 = rgb[4], r1 = rgb[5];
        const int32_t meanB = (b0 + b1) / 2, meanG = (g0 + g1) / 2, meanR = (r0 + r1) / 2;
        yuy2[0] = Clamp255(FloorDiv(29 * b0 + 150 * g0 + 77 * r0, 256));
        yuy2[1] = Clamp255(FloorDiv(128 * meanB - 85 * meanG - 43 * meanR, 256) + 128);
        yuy2[2] = Clamp255(FloorDiv(29 * b1 + 150 * g1 + 77 * r1, 256));
        yuy2[3] = Clamp255(FloorDiv(128 * meanR - 107 * meanG - 21 * meanB, 256) + 128);
    }
}

void DefinitionYuy2ToRgb(const uint8_t* yuy2, uint8_t* rgb, int32_t pairs)
{
    for (int32_t m = 0; m < pairs; ++m, yuy2 += 4, rgb += 6) {
        const int32_t du = yuy2[1] - 128, dv = yuy2[3] - 128;
        const int32_t tB = FloorDiv(7264 * du, 4096);
        const int32_t tGu = FloorDiv(-1376 * du, 4096);
        const int32_t tGv = FloorDiv(-2928 * dv, 4096);
        const int32_t tR = FloorDiv(5744 * dv, 4096);
        for (int k = 0; k < 2; ++k) {
            const int32_t y = yuy2[2 * k];
            rgb[3 * k + 0] = Clamp255(y + tB);
            rgb[3 * k + 1] = Clamp255(y + tGu + tGv);
            rgb[3 * k + 2] = Clamp255(y + tR);
        }
    }
}

// Reports the first differing pair rather than thousands of bytes.
void ExpectSamePairs(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual, size_t pairBytes)
{
    ASSERT_EQ(expected.size(), actual.size());
    const auto mismatch = std::mismatch(expected.begin(), expected.end(), actual.begin());
    if (mismatch.first != expected.end()) {
        const size_t pair = static_cast<size_t>(mismatch.first - expected.begin()) / pairBytes;
        ADD_FAILURE() << "first difference in pair " << pair << ": byte " << pair * pairBytes << " expected "
                      << int(*mismatch.first) << ", got " << int(*mismatch.second);
    }
}

FrameSize SizeForPairs(size_t pairs) { return {static_cast<int32_t>(2 * pairs), 1}; }

class ConversionReference : public testing::TestWithParam<ConversionVariant> {
protected:
    void SetUp() override { SKIP_UNLESS_RUNNABLE(GetParam()); }

    void CheckToYuy2(const std::vector<uint8_t>& rgb)
    {
        const size_t pairs = rgb.size() / 6;
        std::vector<uint8_t> expected(4 * pairs), actual(4 * pairs);
        DefinitionRgbToYuy2(rgb.data(), expected.data(), static_cast<int32_t>(pairs));
        const FrameSize size = SizeForPairs(pairs);
        GetParam().toYuy2(rgb.data(), actual.data(), &size);
        ExpectSamePairs(expected, actual, 4);
    }

    void CheckToRgb(const std::vector<uint8_t>& yuy2)
    {
        const size_t pairs = yuy2.size() / 4;
        std::vector<uint8_t> expected(6 * pairs), actual(6 * pairs);
        DefinitionYuy2ToRgb(yuy2.data(), expected.data(), static_cast<int32_t>(pairs));
        const FrameSize size = SizeForPairs(pairs);
        GetParam().toRgb(yuy2.data(), actual.data(), &size);
        ExpectSamePairs(expected, actual, 6);
    }
};

TEST_P(ConversionReference, EveryChromaAtSeveralLumas)
{
    const uint8_t lumas[][2] = {{0, 0}, {0, 255}, {1, 254}, {16, 235}, {100, 101}, {128, 127}, {255, 255}};
    for (const auto& luma : lumas) {
        SCOPED_TRACE(testing::Message() << "Y0 " << int(luma[0]) << ", Y1 " << int(luma[1]));
        std::vector<uint8_t> yuy2;
        for (int u = 0; u < 256; ++u) {
            for (int v = 0; v < 256; ++v)
                yuy2.insert(yuy2.end(), {luma[0], static_cast<uint8_t>(u), luma[1], static_cast<uint8_t>(v)});
        }
        CheckToRgb(yuy2);
    }
}

TEST_P(ConversionReference, EveryPairOfExtremeChannelValues)
{
    // All 6^6 pairs whose six channels are drawn from the values where floors and saturation turn.
    const uint8_t extremes[] = {0, 1, 127, 128, 254, 255};
    std::vector<uint8_t> rgb;
    for (int index = 0; index < 6 * 6 * 6 * 6 * 6 * 6; ++index) {
        for (int channel = 0, rest = index; channel < 6; ++channel, rest /= 6)
            rgb.push_back(extremes[rest % 6]);
    }
    CheckToYuy2(rgb);
}

TEST_P(ConversionReference, RandomPixelsBothWays)
{
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        CheckToYuy2(RandomBytes(6 * 100003, seed));
        CheckToRgb(RandomBytes(4 * 100003, seed + 100));
    }
}

INSTANTIATE_TEST_SUITE_P(AllVariants, ConversionReference, testing::ValuesIn(AllConversionVariants()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
