// Each vector variant against the portable one over sizes that exercise whole steps, tails and odd
// pixel counts, with fenced buffers: no byte outside the pairs may be read or written.
#include <gtest/gtest.h>

#include <cstring>

#include "conversion_test_support.h"
#include "tests/common/fenced_pages.h"

namespace {

size_t PairsOf(const FrameSize& size) { return static_cast<size_t>(size.width) * size.height / 2; }

std::vector<FrameSize> TestSizes()
{
    std::vector<FrameSize> sizes;
    for (int32_t pairs = 1; pairs <= 37; ++pairs) {
        sizes.push_back({2 * pairs, 1});
        sizes.push_back({2, pairs});
    }
    // Odd pixel counts: the last pixel is a half pair that is neither converted nor written.
    const FrameSize odd[] = {{1, 3}, {3, 5}, {5, 5}, {17, 1}, {7, 11}, {9, 9}, {33, 3}, {721, 1}};
    sizes.insert(sizes.end(), std::begin(odd), std::end(odd));
    sizes.push_back({8, 2});
    sizes.push_back({722, 9});
    sizes.push_back({720, 576});
    return sizes;
}

std::string Describe(const FrameSize& size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

class ConversionVariants : public testing::TestWithParam<RgbConversionVariant> {
protected:
    void SetUp() override { SKIP_UNLESS_RUNNABLE(GetParam()); }
};

TEST_P(ConversionVariants, ToYuy2MatchesPortableAndWritesOnlyWholePairs)
{
    for (const FrameSize& size : TestSizes()) {
        SCOPED_TRACE(Describe(size));
        const std::vector<uint8_t> rgb = RandomBytes(RgbBytes(size), static_cast<uint32_t>(size.width * 7919 + size.height));
        GuardedBytes expected(Yuy2Bytes(size)), actual(Yuy2Bytes(size));
        RgbToYuy2_C(rgb.data(), expected.data(), &size);
        GetParam().fn.toYuy2(rgb.data(), actual.data(), &size);
        ASSERT_EQ(0, std::memcmp(expected.data(), actual.data(), actual.size()));
        const size_t written = 4 * PairsOf(size);
        for (size_t i = written; i < actual.size(); ++i)
            ASSERT_EQ(actual.data()[i], GuardedBytes::kMarker) << "byte " << i << " of a half pair";
        ASSERT_TRUE(actual.GuardsIntact());
    }
}

TEST_P(ConversionVariants, ToRgbMatchesPortableAndWritesOnlyWholePairs)
{
    for (const FrameSize& size : TestSizes()) {
        SCOPED_TRACE(Describe(size));
        const std::vector<uint8_t> yuy2 = RandomBytes(Yuy2Bytes(size), static_cast<uint32_t>(size.height * 7919 + size.width));
        GuardedBytes expected(RgbBytes(size)), actual(RgbBytes(size));
        Yuy2ToRgb_C(yuy2.data(), expected.data(), &size);
        GetParam().fn.toRgb(yuy2.data(), actual.data(), &size);
        ASSERT_EQ(0, std::memcmp(expected.data(), actual.data(), actual.size()));
        const size_t written = 6 * PairsOf(size);
        for (size_t i = written; i < actual.size(); ++i)
            ASSERT_EQ(actual.data()[i], GuardedBytes::kMarker) << "byte " << i << " of the last pixel";
        ASSERT_TRUE(actual.GuardsIntact());
    }
}

// Sources and destinations of exactly the pairs' bytes, each ending where an inaccessible page begins.
TEST_P(ConversionVariants, BuffersEndingAtAPageBoundaryAreNotOverrun)
{
    for (const FrameSize& size : TestSizes()) {
        SCOPED_TRACE(Describe(size));
        const size_t pairs = PairsOf(size);
        const std::vector<uint8_t> pixels = RandomBytes(6 * pairs, static_cast<uint32_t>(pairs));
        std::vector<uint8_t> portableYuy2(4 * pairs), portableRgb(6 * pairs);
        RgbToYuy2_C(pixels.data(), portableYuy2.data(), &size);
        Yuy2ToRgb_C(portableYuy2.data(), portableRgb.data(), &size);

        FencedPages rgbPages(6 * pairs), yuy2Pages(4 * pairs), rgbBackPages(6 * pairs);
        ASSERT_TRUE(rgbPages.Valid() && yuy2Pages.Valid() && rgbBackPages.Valid());
        uint8_t* rgb = rgbPages.EndingAtHighGuard(6 * pairs);
        uint8_t* yuy2 = yuy2Pages.EndingAtHighGuard(4 * pairs);
        uint8_t* rgbBack = rgbBackPages.EndingAtHighGuard(6 * pairs);
        std::memcpy(rgb, pixels.data(), pixels.size());
        GetParam().fn.toYuy2(rgb, yuy2, &size);
        GetParam().fn.toRgb(yuy2, rgbBack, &size);
        ASSERT_EQ(0, std::memcmp(portableYuy2.data(), yuy2, portableYuy2.size()));
        ASSERT_EQ(0, std::memcmp(portableRgb.data(), rgbBack, portableRgb.size()));
    }
}

TEST_P(ConversionVariants, SizesWithoutAWholePairConvertNothing)
{
    const FrameSize sizes[] = {{1, 1}, {0, 4}, {-4, 2}, {65536, 65536}};
    for (const FrameSize& size : sizes) {
        SCOPED_TRACE(Describe(size));
        GuardedBytes rgb(0), yuy2(0);
        GetParam().fn.toYuy2(rgb.data(), yuy2.data(), &size);
        GetParam().fn.toRgb(yuy2.data(), rgb.data(), &size);
        EXPECT_TRUE(rgb.GuardsIntact());
        EXPECT_TRUE(yuy2.GuardsIntact());
    }
}

INSTANTIATE_TEST_SUITE_P(AllVariants, ConversionVariants, testing::ValuesIn(ConversionsUnderTest()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
