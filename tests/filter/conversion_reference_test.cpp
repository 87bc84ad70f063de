// Every variant against the reference written from the definition with floor division, over every
// U and V at several lumas, every pair of extreme channel values, and random pixels.
#include <gtest/gtest.h>

#include <algorithm>

#include "conversion_test_support.h"

namespace {

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

class ConversionReference : public testing::TestWithParam<RgbConversionVariant> {
protected:
    void SetUp() override { SKIP_UNLESS_RUNNABLE(GetParam()); }

    void CheckToYuy2(const std::vector<uint8_t>& rgb)
    {
        const size_t pairs = rgb.size() / 6;
        std::vector<uint8_t> expected(4 * pairs), actual(4 * pairs);
        reference::RgbToYuy2(rgb.data(), expected.data(), static_cast<int32_t>(pairs));
        const FrameSize size = SizeForPairs(pairs);
        GetParam().fn.toYuy2(rgb.data(), actual.data(), &size);
        ExpectSamePairs(expected, actual, 4);
    }

    void CheckToRgb(const std::vector<uint8_t>& yuy2)
    {
        const size_t pairs = yuy2.size() / 4;
        std::vector<uint8_t> expected(6 * pairs), actual(6 * pairs);
        reference::Yuy2ToRgb(yuy2.data(), expected.data(), static_cast<int32_t>(pairs));
        const FrameSize size = SizeForPairs(pairs);
        GetParam().fn.toRgb(yuy2.data(), actual.data(), &size);
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

INSTANTIATE_TEST_SUITE_P(AllVariants, ConversionReference, testing::ValuesIn(ConversionsUnderTest()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
