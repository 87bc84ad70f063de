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
#include <utility>
#include <vector>

#include "chroma_bench_frames.h"
#include "filter/chroma_median.h"
#include "filter/cpu_features.h"
#include "memory_floor.h"
#include "rank_table_u64.h"
#include "tests/common/definition_reference.h"

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

// One implementation timed in rounds. Every round times each contender once, so ratios compare figures
// taken moments apart: other work on the machine then moves both sides of a ratio alike.
struct Contender {
    FrameWork work;
    int rounds = 0;
    size_t calls = 1;        // per round, so that a round lasts about 20 ms or one frame
    std::vector<double> us;  // per round: microseconds per frame
};

Contender Timed(FrameWork work, int rounds)
{
    Contender contender;
    contender.work = std::move(work);
    contender.rounds = rounds;
    return contender;
}

void Calibrate(Contender& contender, FrameRing& ring, bool cold)
{
    const Clock::time_point start = Clock::now();
    contender.work(cold ? ring.NextCold() : ring.Frame(0));
    const double once = std::max(Seconds(Clock::now() - start), 1e-7);
    const size_t callLimit = cold ? ring.Frames() - 1 : 100000;
    contender.calls = std::clamp<size_t>(static_cast<size_t>(0.02 / once), 1, callLimit);
}

void TimeInRounds(std::vector<Contender*>& contenders, FrameRing& ring, bool cold, int rounds)
{
    for (Contender* contender : contenders)
        Calibrate(*contender, ring, cold);
    for (int round = 0; round < rounds; ++round) {
        for (Contender* contender : contenders) {
            if (round >= contender->rounds)
                continue;
            const Clock::time_point t0 = Clock::now();
            for (size_t c = 0; c < contender->calls; ++c)
                contender->work(cold ? ring.NextCold() : ring.Frame(0));
            contender->us.push_back(Seconds(Clock::now() - t0) / static_cast<double>(contender->calls) * 1e6);
        }
    }
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median over the rounds both took part in of a's time over b's.
double MedianRatio(const Contender& a, const Contender& b)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < a.us.size() && i < b.us.size(); ++i)
        ratios.push_back(a.us[i] / b.us[i]);
    return Median(ratios);
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
    std::vector<uint8_t> expected(Yuy2Bytes(size)), actual(source.Frame(0), source.Frame(0) + Yuy2Bytes(size));
    reference::ChromaMedian(source.Frame(0), expected.data(), size, count);
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

void PrintHeader()
{
    std::printf("| frame | count | temp | floor us | table us | table/floor | SSE2 block us | block/floor | "
                "network us | network/floor | C us | C/table | u64 lanes us | u64/table | sort def us |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
}

struct Row {
    Contender floor, table, block, network, portable, u64, sort;
};

void PrintRow(FrameSize size, int32_t count, const char* temperature, const Row& row)
{
    auto us = [](const Contender& c, int decimals) { return Cell(Median(c.us), decimals); };
    auto ratio = [](const Contender& a, const Contender& b, int decimals) { return Cell(MedianRatio(a, b), decimals); };
    std::printf("| %dx%d | %d | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", size.width,
                size.height, count, temperature, us(row.floor, 1).c_str(), us(row.table, 1).c_str(),
                ratio(row.table, row.floor, 2).c_str(), us(row.block, 1).c_str(),
                ratio(row.block, row.floor, 2).c_str(),
                us(row.network, 1).c_str(), ratio(row.network, row.floor, 2).c_str(), us(row.portable, 0).c_str(),
                ratio(row.portable, row.table, 1).c_str(), us(row.u64, 0).c_str(), ratio(row.u64, row.table, 1).c_str(),
                us(row.sort, 0).c_str());
    std::fflush(stdout);
}

ChromaMedianFn NetworkFor(int32_t count)
{
    return count >= 2 && count <= 5 ? RunnableChromaMedianVariant("ChromaMedianNetwork_SSE2") : nullptr;
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
    const ChromaMedianFn block = RunnableChromaMedianVariant("ChromaMedianFilter_SSE2");
    const bool sse2 = block != nullptr;
    std::printf("chroma median, %d-bit build, CPU features 0x%x%s, ring %zu MB, median of %d rounds "
                "(ratios: median of the rounds' ratios)\n",
                static_cast<int>(8 * sizeof(void*)), features, sse2 ? " (SSE2)" : "", options.ringBytes >> 20,
                options.runs);

    AlignedScratch scratch(ChromaScratchBytes({1920, 1080}));
    bool allMatch = true;
    for (int32_t count : options.counts) {
        std::vector<Candidate> candidates{{"table", table.byCount[count]},
                                          {"C", ChromaMedianFilter_C},
                                          {"u64 lanes", ChromaMedianRankTableU64}};
        if (sse2)
            candidates.push_back({"SSE2 block", block});
        if (NetworkFor(count))
            candidates.push_back({"network", NetworkFor(count)});
        for (const Candidate& candidate : candidates)
            allMatch = MatchesDefinition(candidate, count, scratch.data()) && allMatch;
    }
    if (!allMatch)
        return 1;

    PrintHeader();
    const int slowRounds = std::min(options.runs, 3);
    for (const FrameSize& size : options.sizes) {
        FrameRing ring(size, options.ringBytes);
        std::vector<uint8_t> sortOutput(ring.FrameBytes());
        for (int32_t count : options.counts) {
            for (const bool cold : {false, true}) {
                auto filterWith = [&, count](ChromaMedianFn fn, int rounds) {
                    return Timed([&, fn, count](uint8_t* frame) { fn(frame, &size, scratch.data(), count); }, rounds);
                };
                Row row;
                const FrameWork floor = [&](uint8_t* frame) { InPlaceReadWritePass(frame, ring.FrameBytes()); };
                row.floor = Timed(floor, options.runs);
                row.table = filterWith(table.byCount[count], options.runs);
                std::vector<Contender*> timed{&row.floor, &row.table};
                if (sse2) {
                    row.block = filterWith(block, options.runs);
                    timed.push_back(&row.block);
                }
                if (NetworkFor(count)) {
                    row.network = filterWith(NetworkFor(count), options.runs);
                    timed.push_back(&row.network);
                }
                // The slow references are bound by arithmetic, not memory: timed hot only, in fewer rounds.
                if (!cold) {
                    row.portable = filterWith(ChromaMedianFilter_C, slowRounds);
                    row.u64 = filterWith(ChromaMedianRankTableU64, slowRounds);
                    timed.push_back(&row.portable);
                    timed.push_back(&row.u64);
                    if (size.width * size.height <= 720 * 576) {
                        const FrameWork sortDefinition = [&, count](uint8_t* frame) {
                            reference::ChromaMedian(frame, sortOutput.data(), size, count);
                        };
                        row.sort = Timed(sortDefinition, 1);
                        timed.push_back(&row.sort);
                    }
                }
                TimeInRounds(timed, ring, cold, options.runs);
                PrintRow(size, count, cold ? "cold" : "hot", row);
            }
        }
    }
    return 0;
}
