// Google Benchmark version of the conversion timings; a reporter adds each run's ratio to the memory
// floor and to the portable version, both measured earlier in the same process.
#include <benchmark/benchmark.h>

#include <limits>
#include <map>
#include <memory>
#include <string>

#include "conversion_bench_support.h"

namespace {

struct Registered {
    std::string group;  // size and cache state
    ConversionOp op;
    bool portable;
};

std::map<std::string, Registered>& Registry()
{
    static std::map<std::string, Registered> registry;
    return registry;
}

// Filling a cold ring takes a while: each size and cache state gets one, shared by its benchmarks.
FrameRing& RingFor(const FrameSize& size, bool cold)
{
    static std::map<std::string, std::unique_ptr<FrameRing>> rings;
    auto& ring = rings[Describe(size) + (cold ? "cold" : "hot")];
    if (!ring)
        ring = std::make_unique<FrameRing>(size, cold);
    return *ring;
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        std::vector<Run> annotated = runs;
        for (Run& run : annotated) {
            const auto found = Registry().find(run.run_name.function_name);
            if (found == Registry().end() || run.error_occurred)
                continue;
            const Registered& what = found->second;
            const double time = run.GetAdjustedRealTime();
            if (what.op == ConversionOp::Floor)
                m_floor[what.group] = time;
            if (what.portable)
                m_portable[what.group + OpName(what.op)] = time;
            if (m_floor.count(what.group))
                run.counters["xFloor"] = time / m_floor[what.group];
            // The floor has no portable version: NaN keeps one set of columns, so one table header.
            const auto portable = m_portable.find(what.group + OpName(what.op));
            run.counters["xPortable"] = portable != m_portable.end() ? time / portable->second
                                                                      : std::numeric_limits<double>::quiet_NaN();
        }
        ConsoleReporter::ReportRuns(annotated);
    }

private:
    std::map<std::string, double> m_floor;
    std::map<std::string, double> m_portable;
};

void Register(ConversionOp op, const TimedVariant& variant, FrameSize size, bool cold, bool portable)
{
    const std::string group = Describe(size) + (cold ? "/cold" : "/hot");
    const std::string name = std::string(OpName(op)) + "/" + variant.name + "/" + group;
    Registry()[name] = {group, op, portable};
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
        FrameRing& ring = RingFor(size, cold);
        for (auto _ : state)
            RunOp(op, variant, ring);
    })->Unit(benchmark::kMicrosecond)->UseRealTime();
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const std::vector<TimedVariant> variants = RunnableVariants();
    const TimedVariant floorOnly{"memory", nullptr, nullptr};
    for (const FrameSize size : {FrameSize{720, 576}, FrameSize{1920, 1080}}) {
        for (bool cold : {false, true}) {
            Register(ConversionOp::Floor, floorOnly, size, cold, false);
            for (const TimedVariant& variant : variants) {
                for (ConversionOp op : {ConversionOp::ToYuy2, ConversionOp::ToRgb, ConversionOp::RoundTrip})
                    Register(op, variant, size, cold, &variant == &variants.front());
            }
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
