// The chroma median's implementations under Google Benchmark (native tree): microseconds per frame, hot
// (one frame over and over) and cold (a ring of frames larger than the last-level cache). The ratios are
// printed by chroma_median_table, which runs in the 32-bit tree as well.

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

#include "chroma_bench_frames.h"
#include "filter/chroma_median.h"
#include "filter/cpu_features.h"
#include "memory_floor.h"
#include "rank_table_u64.h"

namespace {

constexpr size_t kRingBytes = size_t{128} << 20;

void Run(benchmark::State& state, FrameSize size, bool cold, const std::function<void(uint8_t*)>& work)
{
    FrameRing ring(size, cold ? kRingBytes : 0);
    for (auto _ : state) {
        uint8_t* frame = cold ? ring.NextCold() : ring.Frame(0);
        work(frame);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(ring.FrameBytes()));
}

void RegisterAll()
{
    const ChromaMedianKernels table = ChooseChromaMedianKernels(CpuFeatures());
    const ChromaMedianFn block = RunnableChromaMedianVariant("ChromaMedianFilter_SSE2");
    static AlignedScratch scratch(ChromaScratchBytes({1920, 1080}));

    struct Named {
        std::string name;
        ChromaMedianFn fn;
    };
    for (const FrameSize size : {FrameSize{720, 576}, FrameSize{1920, 1080}}) {
        const std::string frame = std::to_string(size.width) + "x" + std::to_string(size.height);
        for (const bool cold : {false, true}) {
            const std::string temperature = cold ? "/cold" : "/hot";
            benchmark::RegisterBenchmark(("floor/" + frame + temperature).c_str(),
                                         [size, cold](benchmark::State& state) {
                                             Run(state, size, cold, [size](uint8_t* f) {
                                                 InPlaceReadWritePass(f, 2 * size_t(size.width) * size.height);
                                             });
                                         })
                ->Unit(benchmark::kMicrosecond);
            for (const int32_t count : {2, 3, 4, 5, 15, 30}) {
                std::vector<Named> kernels{{"table", table.byCount[count]}};
                if (block)
                    kernels.push_back({"SSE2_block", block});
                if (!cold) {
                    kernels.push_back({"C", ChromaMedianFilter_C});
                    kernels.push_back({"u64_lanes", ChromaMedianRankTableU64});
                }
                for (const Named& kernel : kernels) {
                    const std::string name = kernel.name + "/" + frame + "/" + std::to_string(count) + temperature;
                    const ChromaMedianFn fn = kernel.fn;
                    benchmark::RegisterBenchmark(name.c_str(),
                                                 [size, cold, fn, count](benchmark::State& state) {
                                                     Run(state, size, cold, [&](uint8_t* f) {
                                                         fn(f, &size, scratch.data(), count);
                                                     });
                                                 })
                        ->Unit(benchmark::kMicrosecond);
                }
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
