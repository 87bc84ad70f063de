// Frames and scratch placed against inaccessible pages, so that a read or write one byte outside them
// faults instead of passing unnoticed.

#include <gtest/gtest.h>

#include <cstring>

#include "chroma_median_test_support.h"
#include "tests/common/fenced_pages.h"

namespace {

TEST(ChromaMedianPageGuard, NothingOutsideTheFrameOrTheScratchIsTouched)
{
    std::mt19937 random(5);
    for (int32_t count : {1, 2, 3, 4, 5, 6, 7, 15, 16, 29, 30}) {
        for (int32_t width : {8, 10, 18, 24, 40, 56, 66, 122, 722}) {
            for (int32_t height : {count / 2 + 1, count + 2}) {
                const FrameSize size{width, height};
                const size_t bytes = Yuy2Bytes(size);
                std::vector<uint8_t> input(bytes), expected(bytes);
                FillFrame(input.data(), size, Pattern::Random, random);
                reference::ChromaMedian(input.data(), expected.data(), size, count);

                ForEachVariantServing(count, [&](const ChromaMedianVariant& variant) {
                    FencedPages framePages(bytes);
                    FencedPages scratchPages(ChromaScratchBytes(size));
                    ASSERT_TRUE(framePages.Valid() && scratchPages.Valid());
                    uint8_t* scratch = scratchPages.EndingAtHighGuard(ChromaScratchBytes(size));
                    for (const bool atEnd : {true, false}) {
                        uint8_t* frame = atEnd ? framePages.EndingAtHighGuard(bytes) : framePages.RightAfterLowGuard();
                        std::memcpy(frame, input.data(), bytes);
                        variant.fn(frame, &size, scratch, count);
                        ASSERT_EQ(FirstDifference(frame, expected.data(), bytes), -1)
                            << variant << ", count " << count << ", " << width << "x" << height;
                    }
                });
                if (HasFatalFailure())
                    return;
            }
        }
    }
}

TEST(ChromaMedianPageGuard, CountOneTouchesNothing)
{
    const FrameSize size{720, 16};
    FencedPages framePages(Yuy2Bytes(size));
    FencedPages scratchPages(ChromaScratchBytes(size));
    ASSERT_TRUE(framePages.Valid() && scratchPages.Valid());
    framePages.LockAll();
    scratchPages.LockAll();
    ForEachVariantServing(1, [&](const ChromaMedianVariant& variant) {
        variant.fn(framePages.RightAfterLowGuard(), &size, scratchPages.RightAfterLowGuard(), 1);
    });
    for (const uint32_t features : {0u, ~0u})
        ChooseChromaMedianKernels(features).byCount[1](framePages.RightAfterLowGuard(), &size,
                                                       scratchPages.RightAfterLowGuard(), 1);
}

}  // namespace
