#pragma once

// Filters the chroma planes of one frame at a time on several threads. Work is split by columns, and every
// split gives the same bytes: the plain median's columns are independent, and the repair detects every
// column of a frame before it replaces any (filter/chroma_repair_plane.h says why that suffices). One pool
// takes one sample type: 8-bit samples, or 9 to 16 bits in uint16_t.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "filter/chroma_repair_plane.h"

// Rows 0 .. height - 1 of `width` samples, `stride` samples apart (a field is every second picture row),
// and the luma they cover, which the repair reads.
template <class Sample>
struct PlaneRegion {
    Sample* first;
    ptrdiff_t stride;
    int32_t width;
    int32_t height;
    LumaCoverOf<Sample> luma;
};

struct PlaneFilterSettings {
    int32_t count;       // the median's window
    int32_t threshold;   // 0: every sample becomes its median; 1 .. 255 (8-bit units): only sparkles are repaired
    bool countChanges;   // Filter() counts the samples it changes (the plain median compares a copy)
    uint32_t cpuFeatures;
    int32_t depth = 8;   // the samples' bits: 8, or 9 to 16 in uint16_t
};

// What the job sees of a pool, whatever its samples.
class PictureFilter {
public:
    virtual ~PictureFilter() = default;
    // Filters every region in place and returns when all are done: the samples changed, when counted, else 0.
    virtual uint64_t Filter() = 0;
};

// Columns left .. right - 1 of one region.
struct PlanePiece {
    size_t region;
    int32_t left;
    int32_t right;
};

template <class Sample>
class PlaneFilterPool final : public PictureFilter {
public:
    // The regions stay the same for every frame; all buffers are made here. Throws std::system_error when a
    // thread cannot start, std::bad_alloc without memory for the buffers.
    PlaneFilterPool(int threads, const PlaneFilterSettings& settings, std::vector<PlaneRegion<Sample>> regions);
    ~PlaneFilterPool() override;
    PlaneFilterPool(const PlaneFilterPool&) = delete;
    PlaneFilterPool& operator=(const PlaneFilterPool&) = delete;

    uint64_t Filter() override;

private:
    enum class Stage { kMedian, kDetect, kReplace };
    struct Worker {
        std::vector<uint8_t> scratch;
        std::vector<Sample> before;  // the plain median's piece as it was, when changes are counted
    };

    void RunStage(Stage stage);
    void WorkerLoop(size_t worker);
    void Stop();
    void RunPieces(Worker& worker);
    uint64_t RunPiece(Stage stage, const PlanePiece& piece, Worker& worker);
    uint64_t MedianCounted(const PlanePiece& piece, Worker& worker);

    PlaneFilterSettings m_settings;
    ChromaMedianPlaneFnOf<Sample> m_median;
    ChromaRepairKernelsOf<Sample> m_repair;
    std::vector<PlaneRegion<Sample>> m_regions;
    std::vector<ChromaRepairPlaneOf<Sample>> m_repairPlanes;
    std::vector<std::vector<Sample>> m_medianPlanes;  // each repair plane's median
    std::vector<std::vector<uint8_t>> m_maskPlanes;   // and its mask
    std::vector<PlanePiece> m_pieces;
    std::vector<Worker> m_workerData;  // one per thread, the caller's first

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    Stage m_stage = Stage::kMedian;
    size_t m_nextPiece = 0;
    size_t m_generation = 0;
    size_t m_finishedPieces = 0;
    uint64_t m_changed = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

extern template class PlaneFilterPool<uint8_t>;
extern template class PlaneFilterPool<uint16_t>;

// Cuts each region into column ranges for `threads` threads, at most one per thread and region, each a
// whole number of 64-byte lines wide except the last.
template <class Sample>
std::vector<PlanePiece> SplitByColumns(const std::vector<PlaneRegion<Sample>>& regions, int threads);
