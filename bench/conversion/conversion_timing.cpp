// Microseconds per frame for each conversion variant, hot and cold, with ratios to the memory floor and
// to the portable version measured in the same run. Plain C++ so that the 32-bit build runs it under Wine.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "conversion_bench_support.h"
#include "filter/cpu_features.h"

namespace {

constexpr int kRounds = 7;
constexpr double kBatchSeconds = 0.03;
constexpr int kMinBatchFrames = 30;

using Clock = std::chrono::steady_clock;

struct Measurement {
    ConversionOp op;
    const TimedVariant* variant;
    std::vector<double> microseconds;
};

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The fastest frame of a batch, in microseconds. Other processes on the machine stretch some frames of
// every batch; the fastest one is the code's own speed.
double FastestFrame(const Measurement& m, FrameRing& ring, int frames)
{
    double fastest = 1e300;
    for (int i = 0; i < frames; ++i) {
        const auto start = Clock::now();
        RunOp(m.op, *m.variant, ring);
        fastest = std::min(fastest, SecondsSince(start) * 1e6);
    }
    return fastest;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void PrintCpu()
{
    const uint32_t features = DetectCpuFeatures();
    std::printf("conversion timing, %d-bit build; CPU:%s%s\n", static_cast<int>(sizeof(void*) * 8),
                features & kCpuSSE2 ? " SSE2" : "", features & kCpuAVX2 ? " AVX2" : "");
}

void TimeSize(const FrameSize& size, bool cold, const std::vector<TimedVariant>& variants)
{
    FrameRing ring(size, cold);
    const TimedVariant floorOnly{"memory", nullptr, nullptr};
    std::vector<Measurement> measurements{{ConversionOp::Floor, &floorOnly, {}}};
    for (const TimedVariant& variant : variants) {
        for (ConversionOp op : {ConversionOp::ToYuy2, ConversionOp::ToRgb, ConversionOp::RoundTrip})
            measurements.push_back({op, &variant, {}});
    }

    // One pass over the ring warms the code and, for hot frames, the cache; it also sizes the batches:
    // enough frames for some to run undisturbed, and at least one whole pass so that cold frames stay cold.
    std::vector<int> batchFrames;
    for (const Measurement& m : measurements) {
        const int ringFrames = static_cast<int>(ring.frameCount());
        const auto start = Clock::now();
        for (int i = 0; i < ringFrames; ++i)
            RunOp(m.op, *m.variant, ring);
        const double perFrame = SecondsSince(start) * 1e6 / ringFrames;
        batchFrames.push_back(
            std::max({ringFrames, kMinBatchFrames, static_cast<int>(kBatchSeconds * 1e6 / perFrame)}));
    }
    // Rounds interleave the measurements so that drift in the machine's speed touches all of them alike.
    for (int round = 0; round < kRounds; ++round) {
        for (size_t i = 0; i < measurements.size(); ++i)
            measurements[i].microseconds.push_back(FastestFrame(measurements[i], ring, batchFrames[i]));
    }

    const double floorTime = Median(measurements[0].microseconds);
    for (const Measurement& m : measurements) {
        const double time = Median(m.microseconds);
        std::printf("%-10s %-5s %-7s %-10s %10.1f %9.2f", Describe(size).c_str(), cold ? "cold" : "hot",
                    m.variant->name, OpName(m.op), time, time / floorTime);
        for (const Measurement& base : measurements) {
            if (m.op != ConversionOp::Floor && base.op == m.op && base.variant == &variants.front())
                std::printf(" %11.2f", time / Median(base.microseconds));
        }
        std::printf("\n");
    }
}

}  // namespace

int main()
{
    PrintCpu();
    if (!(DetectCpuFeatures() & kCpuSSE2)) {
        std::printf("the memory floor pass needs SSE2\n");
        return 1;
    }
    std::printf("us/frame: median over %d rounds of each round's fastest frame; floor = in-place read and write\n"
                "of the RGB frame; every figure and ratio from this one run\n",
                kRounds);
    std::printf("%-10s %-5s %-7s %-10s %10s %9s %11s\n", "size", "cache", "variant", "operation", "us/frame",
                "x floor", "x portable");
    const std::vector<TimedVariant> variants = RunnableVariants();
    for (const FrameSize size : {FrameSize{720, 576}, FrameSize{1920, 1080}}) {
        for (bool cold : {false, true})
            TimeSize(size, cold, variants);
    }
    return 0;
}
