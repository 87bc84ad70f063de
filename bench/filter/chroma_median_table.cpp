// Prints microseconds per frame for every implementation of the chroma median, hot (one frame filtered
// over and over) and cold (a ring of frames larger than the last-level cache), with ratios measured in the
// same run: to the in-place read-and-write pass over the same frames (the memory floor), and of the slower
// implementations to the one the kernel table picks. Runs in both trees; under Wine it times the 32-bit code.
//   chroma_median_table [--ring-mb N] [--runs N] [--counts 2,3,15] [--sizes 720x576,1920x1080]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "chroma_bench_frames.h"
#include "filter/chroma_median.h"
#include "filter/chroma_median_variants.h"
#include "filter/cpu_features.h"
#include "memory_floor.h"
#include "rank_table_u64.h"
#include "tests/filter/chroma_median_definition.h"

namespace {

using Clock = std::chrono::steady_clock;
using FrameWork = std::function<void(uint8_t* frame)>;

struct Options {
    size_t ringBytes = size_t{128} << 20;
    int runs = 7;
    std::vector<int32_t> counts{2, 3, 4, 5, 15, 30};
    std::vector<FrameSize> sizes{{720, 576}, {1920, 1080}};
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Median over runs of the time per frame; each run lasts about 50 ms or one frame, whichever is longer.
double MicrosecondsPerFrame(const FrameWork& work, FrameRing& ring, bool cold, int runs)
{
    auto nextFrame = [&] { return cold ? ring.NextCold() : ring.Frame(0); };
    const Clock::time_point start = Clock::now();
    work(nextFrame());
    const double once = std::max(Seconds(Clock::now() - start), 1e-7);
    const size_t callLimit = cold ? ring.Frames() - 1 : 100000;
    const size_t calls = std::clamp<size_t>(static_cast<size_t>(0.05 / once), 1, callLimit);
    if (once > 0.05)
        runs = std::min(runs, 3);

    std::vector<double> perFrame;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point t0 = Clock::now();
        for (size_t c = 0; c < calls; ++c)
            work(nextFrame());
        perFrame.push_back(Seconds(Clock::now() - t0) / static_cast<double>(calls) * 1e6);
    }
    std::sort(perFrame.begin(), perFrame.end());
    return perFrame[perFrame.size() / 2];
}

struct Candidate {
    const char* name;
    ChromaMedianFn fn;
};

// Refuses to time anything that does not produce the definition's bytes.
bool MatchesDefinition(const Candidate& candidate, int32_t count, uint8_t* scratch)
{
    const FrameSize size{722, 2 * count + 3};
    FrameRing source(size, 0);
    std::vector<uint8_t> expected(FrameBytes(size)), actual(source.Frame(0), source.Frame(0) + FrameBytes(size));
    DefinitionChromaMedian(source.Frame(0), expected.data(), size, count);
    candidate.fn(actual.data(), &size, scratch, count);
    if (actual == expected)
        return true;
    std::printf("MISMATCH: %s at count %d differs from the definition\n", candidate.name, count);
    return false;
}

std::string Cell(double value, int decimals)
{
    if (value < 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

struct Row {
    double floorUs, tableUs, blockUs = -1, networkUs = -1, portableUs = -1, u64Us = -1, sortUs = -1;
};

void PrintHeader()
{
    std::printf("| frame | count | temp | floor us | table us | table/floor | SSE2 block us | block/floor | "
                "network us | network/floor | C us | C/table | u64 lanes us | u64/table | sort def us |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
}

void PrintRow(FrameSize size, int32_t count, const char* temperature, const Row& row)
{
    auto ratio = [](double us, double base) { return us < 0 ? -1.0 : us / base; };
    std::printf("| %dx%d | %d | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", size.width,
                size.height, count, temperature, Cell(row.floorUs, 1).c_str(), Cell(row.tableUs, 1).c_str(),
                Cell(row.tableUs / row.floorUs, 2).c_str(), Cell(row.blockUs, 1).c_str(),
                Cell(ratio(row.blockUs, row.floorUs), 2).c_str(), Cell(row.networkUs, 1).c_str(),
                Cell(ratio(row.networkUs, row.floorUs), 2).c_str(), Cell(row.portableUs, 0).c_str(),
                Cell(ratio(row.portableUs, row.tableUs), 1).c_str(), Cell(row.u64Us, 0).c_str(),
                Cell(ratio(row.u64Us, row.tableUs), 1).c_str(), Cell(row.sortUs, 0).c_str());
    std::fflush(stdout);
}

ChromaMedianFn NetworkFor(int32_t count)
{
    switch (count) {
    case 2: return ChromaMedian2_SSE2;
    case 3: return ChromaMedian3_SSE2;
    case 4: return ChromaMedian4_SSE2;
    case 5: return ChromaMedian5_SSE2;
    default: return nullptr;
    }
}

Options ParseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--ring-mb")
            options.ringBytes = static_cast<size_t>(std::atoi(value)) << 20;
        else if (key == "--runs")
            options.runs = std::max(1, std::atoi(value));
        else if (key == "--counts" || key == "--sizes") {
            std::vector<std::string> items;
            for (const char* p = value; *p;) {
                const char* end = std::strchr(p, ',');
                items.emplace_back(p, end ? end : p + std::strlen(p));
                p = end ? end + 1 : p + std::strlen(p);
            }
            if (key == "--counts") {
                options.counts.clear();
                for (const std::string& item : items)
                    options.counts.push_back(std::atoi(item.c_str()));
            } else {
                options.sizes.clear();
                for (const std::string& item : items)
                    options.sizes.push_back({std::atoi(item.c_str()), std::atoi(item.c_str() + item.find('x') + 1)});
            }
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(argc, argv);
    const uint32_t features = CpuFeatures();
    const ChromaMedianKernels table = ChooseChromaMedianKernels(features);
    const bool sse2 = (features & kCpuSSE2) != 0;
    std::printf("chroma median, %d-bit build, CPU features 0x%x%s, ring %zu MB, median of %d runs\n",
                static_cast<int>(8 * sizeof(void*)), features, sse2 ? " (SSE2)" : "", options.ringBytes >> 20,
                options.runs);

    AlignedScratch scratch(ChromaScratchBytes({1920, 1080}));
    bool allMatch = true;
    for (int32_t count : options.counts) {
        std::vector<Candidate> candidates{{"table", table.byCount[count]},
                                          {"C", ChromaMedianFilter_C},
                                          {"u64 lanes", ChromaMedianRankTableU64}};
        if (sse2)
            candidates.push_back({"SSE2 block", ChromaMedianFilter_SSE2});
        if (sse2 && NetworkFor(count))
            candidates.push_back({"network", NetworkFor(count)});
        for (const Candidate& candidate : candidates)
            allMatch = MatchesDefinition(candidate, count, scratch.data()) && allMatch;
    }
    if (!allMatch)
        return 1;

    PrintHeader();
    for (const FrameSize& size : options.sizes) {
        FrameRing ring(size, options.ringBytes);
        std::vector<uint8_t> sortOutput(ring.FrameBytes());
        auto filterWith = [&](ChromaMedianFn fn, int32_t count) {
            return [&, fn, count](uint8_t* frame) { fn(frame, &size, scratch.data(), count); };
        };
        const FrameWork floor = [&](uint8_t* frame) { InPlaceReadWritePass(frame, ring.FrameBytes()); };
        const double floorHot = MicrosecondsPerFrame(floor, ring, false, options.runs);
        const double floorCold = MicrosecondsPerFrame(floor, ring, true, options.runs);

        for (int32_t count : options.counts) {
            for (const bool cold : {false, true}) {
                auto time = [&](ChromaMedianFn fn) {
                    return MicrosecondsPerFrame(filterWith(fn, count), ring, cold, options.runs);
                };
                Row row;
                row.floorUs = cold ? floorCold : floorHot;
                row.tableUs = time(table.byCount[count]);
                if (sse2)
                    row.blockUs = time(ChromaMedianFilter_SSE2);
                if (sse2 && NetworkFor(count))
                    row.networkUs = time(NetworkFor(count));
                // The slow references are bound by arithmetic, not memory: timed hot only.
                if (!cold) {
                    row.portableUs = time(ChromaMedianFilter_C);
                    row.u64Us = time(ChromaMedianRankTableU64);
                    if (size.width * size.height <= 720 * 576)
                        row.sortUs = MicrosecondsPerFrame(
                            [&](uint8_t* frame) { DefinitionChromaMedian(frame, sortOutput.data(), size, count); },
                            ring, false, 1);
                }
                PrintRow(size, count, cold ? "cold" : "hot", row);
            }
        }
    }
    return 0;
}
