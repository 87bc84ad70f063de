// Every variant, and the kernel tables that choose among them, against the definition: whole frames
// compared byte for byte (luma and remainder columns included), guard bytes around frame and scratch.

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "chroma_median_test_support.h"

namespace {

struct SweepCase {
    FrameSize size;
    int32_t count;
    Pattern pattern;
    size_t misalign;
};

std::string Describe(const SweepCase& c)
{
    return "count " + std::to_string(c.count) + ", " + std::to_string(c.size.width) + "x" +
           std::to_string(c.size.height) + ", " + PatternName(c.pattern) + ", frame misaligned by " +
           std::to_string(c.misalign);
}

struct Candidate {
    std::string name;
    ChromaMedianFn fn;
};

// The variants serving this count on this CPU, and what each kernel table picks for it.
std::vector<Candidate> CandidatesFor(int32_t count)
{
    std::vector<Candidate> candidates;
    ForEachVariantServing(count, [&](const ChromaMedianVariant& variant) {
        candidates.push_back({variant.name, variant.fn});
    });
    candidates.push_back({"table for this CPU", ChooseChromaMedianKernels(CpuFeatures()).byCount[count]});
    candidates.push_back({"table for no features", ChooseChromaMedianKernels(0).byCount[count]});
    return candidates;
}

// Returns false after the first mismatch so that one fault does not flood the log.
bool AllMatchDefinition(const SweepCase& c, std::mt19937& random)
{
    const size_t bytes = Yuy2Bytes(c.size);
    const size_t rowBytes = 2 * static_cast<size_t>(c.size.width);
    std::vector<uint8_t> input(bytes), expected(bytes);
    FillFrame(input.data(), c.size, c.pattern, random);
    reference::ChromaMedian(input.data(), expected.data(), c.size, c.count);

    bool allMatch = true;
    for (const Candidate& candidate : CandidatesFor(c.count)) {
        GuardedBytes frame(bytes, c.misalign);
        GuardedBytes scratch(ChromaScratchBytes(c.size));
        std::memcpy(frame.data(), input.data(), bytes);
        candidate.fn(frame.data(), &c.size, scratch.data(), c.count);

        const long at = FirstDifference(frame.data(), expected.data(), bytes);
        if (at >= 0) {
            ADD_FAILURE() << candidate.name << ", " << Describe(c) << ": row " << at / rowBytes << " byte "
                          << at % rowBytes << " is " << int{frame.data()[at]} << ", expected "
                          << int{expected[at]};
            allMatch = false;
        }
        if (!frame.GuardsIntact() || !scratch.GuardsIntact()) {
            ADD_FAILURE() << candidate.name << ", " << Describe(c) << ": wrote outside "
                          << (frame.GuardsIntact() ? "the scratch" : "the frame");
            allMatch = false;
        }
    }
    return allMatch;
}

// h + 1 is the least height a window allows; the others cross the edges in every way.
std::set<int32_t> HeightsFor(int32_t count)
{
    const int32_t h = count / 2;
    return {h + 1, h + 2, count, count + 1, count + 9};
}

constexpr size_t kMisalignments[] = {0, 3, 8};

TEST(ChromaMedianDefinition, EveryCountOnNarrowFrames)
{
    std::mt19937 random(1);
    size_t caseIndex = 0;
    for (int32_t count = 1; count <= kMaxMedianWindow; ++count) {
        for (int32_t width : {8, 10, 12, 16, 18, 24, 40, 72}) {
            for (int32_t height : HeightsFor(count)) {
                for (Pattern pattern : {Pattern::Random, Pattern::FewValues}) {
                    const size_t misalign = kMisalignments[caseIndex++ % 3];
                    ASSERT_TRUE(AllMatchDefinition({{width, height}, count, pattern, misalign}, random));
                }
            }
        }
    }
}

TEST(ChromaMedianDefinition, EveryCountOnWideFrames)
{
    std::mt19937 random(2);
    for (int32_t count = 1; count <= kMaxMedianWindow; ++count) {
        for (int32_t width : {720, 722}) {
            for (int32_t height : {count / 2 + 1, count + 3})
                ASSERT_TRUE(AllMatchDefinition({{width, height}, count, Pattern::Random, 0}, random));
        }
    }
}

// The vector kernels walk the frame in groups of several 16-byte strips: every strip count left over at the
// right edge, with and without a final single strip.
TEST(ChromaMedianDefinition, EveryStripCountAtTheRightEdge)
{
    std::mt19937 random(6);
    for (int32_t count = 1; count <= kMaxMedianWindow; ++count) {
        for (int32_t strips = 1; strips <= 17; ++strips)
            ASSERT_TRUE(AllMatchDefinition({{8 * strips + 2, count / 2 + 2}, count, Pattern::Random, 0}, random));
    }
}

TEST(ChromaMedianDefinition, ExtremeContents)
{
    std::mt19937 random(3);
    for (int32_t count = 1; count <= kMaxMedianWindow; ++count) {
        for (Pattern pattern : {Pattern::AllZero, Pattern::AllMax, Pattern::Spikes}) {
            for (int32_t width : {8, 18, 40}) {
                for (int32_t height : {count / 2 + 1, 2 * count + 5})
                    ASSERT_TRUE(AllMatchDefinition({{width, height}, count, pattern, 0}, random));
            }
        }
        ASSERT_TRUE(AllMatchDefinition({{722, count + 2}, count, Pattern::Spikes, 0}, random));
    }
}

}  // namespace
