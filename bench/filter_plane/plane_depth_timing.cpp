// Nanoseconds per chroma sample at 8 and at 10 bits (16-bit samples), one thread, for every variant this CPU
// runs: the plane median, and the repair (detection and replacement, window 7, threshold 18) on a plane
// with 1 % sparkles over textured luma. The 10-bit plane is the 8-bit one times 4, so both do the same work.
// Rounds are interleaved, 8-bit and 10-bit run back to back, and each figure is the median of 9 rounds of
// the thread's own processor time, which other work on a shared machine disturbs less than the clock's.
// Prints a markdown table.

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "filter/chroma_repair_plane.h"
#include "filter/cpu_features.h"
#include "tests/common/guarded_bytes.h"

namespace {

constexpr int kRounds = 9;
constexpr int kWidth = 960, kHeight = 1080;  // a 1920x1080 4:2:2 picture's chroma plane
constexpr int kRepairWindow = 7, kRepairThreshold = 18;

double ThreadNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return 1e9 * static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec);
}

double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Nanoseconds per sample of each job, run in interleaved rounds.
std::vector<double> InterleavedNanoseconds(const std::vector<std::function<void()>>& jobs, int repeats)
{
    std::vector<std::vector<double>> samples(jobs.size());
    for (int round = 0; round < kRounds; ++round) {
        for (size_t j = 0; j < jobs.size(); ++j) {
            const double start = ThreadNanoseconds();
            for (int r = 0; r < repeats; ++r)
                jobs[j]();
            samples[j].push_back((ThreadNanoseconds() - start) / repeats / (double{kWidth} * kHeight));
        }
    }
    std::vector<double> medians;
    for (const auto& s : samples)
        medians.push_back(Median(s));
    return medians;
}

// A plane and its luma at one sample width; the work planes of the repair beside them.
template <class Sample>
struct Planes {
    std::vector<Sample> chroma, luma, working, median;
    std::vector<uint8_t> mask;

    Planes(const std::vector<uint8_t>& chroma8, const std::vector<uint8_t>& luma8, int scale)
        : median(chroma8.size()), mask(chroma8.size())
    {
        for (const uint8_t v : chroma8)
            chroma.push_back(static_cast<Sample>(v * scale));
        for (const uint8_t v : luma8)
            luma.push_back(static_cast<Sample>(v * scale));
        working = chroma;
    }

    void Repair(const ChromaRepairKernelsOf<Sample>& kernels, int depth, uint8_t* scratch)
    {
        std::copy(chroma.begin(), chroma.end(), working.begin());
        const ChromaRepairPlaneOf<Sample> plane{
            working.data(), kWidth, kWidth, kHeight, {luma.data(), 2 * kWidth, 2 * kWidth, kHeight, 1, 0},
            median.data(), mask.data(), depth};
        DetectChromaSparkles(plane, 0, kWidth, kRepairWindow, kRepairThreshold, kernels, scratch);
        ReplaceChromaSparkles(plane, 0, kWidth, kRepairThreshold);
    }
};

}  // namespace

int main()
{
    const uint32_t cpu = DetectCpuFeatures();
    GuardedBytes scratchBytes(kChromaMedianPlaneScratchBytes);
    uint8_t* const scratch = scratchBytes.data();
    std::mt19937 random(1);
    // Smooth colour with 1 % sparkles, and luma with texture: what the repair meets in a capture.
    std::vector<uint8_t> chroma8(size_t{kWidth} * kHeight), luma8(size_t{2} * kWidth * kHeight);
    for (size_t i = 0; i < chroma8.size(); ++i)
        chroma8[i] = random() % 100 == 0 ? static_cast<uint8_t>(random()) : static_cast<uint8_t>(100 + i % 37);
    for (size_t i = 0; i < luma8.size(); ++i)
        luma8[i] = static_cast<uint8_t>(60 + random() % 40 + (i / 7) % 50);
    Planes<uint8_t> planes8(chroma8, luma8, 1);
    Planes<uint16_t> planes10(chroma8, luma8, 4);

    std::printf("ns per sample, %dx%d plane, one thread\n\n", kWidth, kHeight);
    std::printf("| mode | variant | 8-bit | 10-bit | 10-bit / 8-bit |\n|---|---|---|---|---|\n");
    const auto variants8 = ChromaMedianPlaneVariants<uint8_t>();
    const auto variants16 = ChromaMedianPlaneVariants<uint16_t>();
    for (const int count : {3, 7, 15}) {
        for (size_t v = 0; v < variants8.size() && v < variants16.size(); ++v) {
            if (!HasFeatures(cpu, variants8[v].neededFeatures) || !variants8[v].Serves(count))
                continue;
            const int repeats = variants8[v].neededFeatures == 0 ? 1 : 10;
            const auto times = InterleavedNanoseconds(
                {[&] { variants8[v].fn(planes8.working.data(), kWidth, kWidth, kHeight, count, scratch); },
                 [&] { variants16[v].fn(planes10.working.data(), kWidth, kWidth, kHeight, count, scratch); }},
                repeats);
            std::printf("| median, window %d | %s | %.3f | %.3f | %.2f |\n", count, variants16[v].name, times[0],
                        times[1], times[1] / times[0]);
        }
    }
    const auto masks8 = ChromaSparkleMaskVariants<uint8_t>();
    const auto masks16 = ChromaSparkleMaskVariants<uint16_t>();
    for (size_t v = 0; v < masks8.size() && v < masks16.size(); ++v) {
        if (!HasFeatures(cpu, masks8[v].neededFeatures))
            continue;
        const uint32_t features = masks8[v].neededFeatures;
        const ChromaRepairKernelsOf<uint8_t> kernels8{
            ChooseChromaMedianPlaneKernels<uint8_t>(features).byCount[kRepairWindow], masks8[v].fn};
        const ChromaRepairKernelsOf<uint16_t> kernels16{
            ChooseChromaMedianPlaneKernels<uint16_t>(features).byCount[kRepairWindow], masks16[v].fn};
        const int repeats = features == 0 ? 1 : 5;
        const auto times = InterleavedNanoseconds({[&] { planes8.Repair(kernels8, 8, scratch); },
                                                   [&] { planes10.Repair(kernels16, 10, scratch); }},
                                                  repeats);
        std::printf("| repair, window %d, threshold %d | %s | %.3f | %.3f | %.2f |\n", kRepairWindow,
                    kRepairThreshold, masks16[v].name, times[0], times[1], times[1] / times[0]);
    }
}
