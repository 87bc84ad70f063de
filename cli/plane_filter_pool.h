#pragma once

// Filters the chroma planes of one frame at a time on several threads. Work is split by columns, and every
// split gives the same bytes: the plain median's columns are independent, and the repair detects every
// column of a frame before it replaces any (filter/chroma_repair_plane.h says why that suffices).

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "filter/chroma_repair_plane.h"

// Rows 0 .. height - 1 of `width` samples, `stride` bytes apart (a field is every second picture row), and
// the luma they cover, which the repair reads.
struct PlaneRegion {
    uint8_t* first;
    ptrdiff_t stride;
    int32_t width;
    int32_t height;
    LumaCover luma;
};

struct PlaneFilterSettings {
    int32_t count;       // the median's window
    int32_t threshold;   // 0: every sample becomes its median; 1 .. 255: only sparkles are repaired
    bool countChanges;   // Filter() counts the samples it changes (the plain median compares a copy)
    uint32_t cpuFeatures;
};

// Columns left .. right - 1 of one region.
struct PlanePiece {
    size_t region;
    int32_t left;
    int32_t right;
};

class PlaneFilterPool {
public:
    // The regions stay the same for every frame; all buffers are made here. Throws std::system_error when a
    // thread cannot start, std::bad_alloc without memory for the buffers.
    PlaneFilterPool(int threads, const PlaneFilterSettings& settings, std::vector<PlaneRegion> regions);
    ~PlaneFilterPool();
    PlaneFilterPool(const PlaneFilterPool&) = delete;
    PlaneFilterPool& operator=(const PlaneFilterPool&) = delete;

    // Filters every region in place and returns when all are done: the samples changed, when counted, else 0.
    uint64_t Filter();

private:
    enum class Stage { kMedian, kDetect, kReplace };
    struct Worker {
        std::vector<uint8_t> scratch;
        std::vector<uint8_t> before;  // the plain median's piece as it was, when changes are counted
    };

    void RunStage(Stage stage);
    void WorkerLoop(size_t worker);
    void Stop();
    void RunPieces(Worker& worker);
    uint64_t RunPiece(Stage stage, const PlanePiece& piece, Worker& worker);
    uint64_t MedianCounted(const PlanePiece& piece, Worker& worker);

    PlaneFilterSettings m_settings;
    ChromaMedianPlaneFn m_median;
    ChromaRepairKernels m_repair;
    std::vector<PlaneRegion> m_regions;
    std::vector<ChromaRepairPlane> m_repairPlanes;
    std::vector<std::vector<uint8_t>> m_workPlanes;  // each repair plane's median and mask
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

// Cuts each region into column ranges for `threads` threads, at most one per thread and region, each a
// whole number of 64-byte lines wide except the last.
std::vector<PlanePiece> SplitByColumns(const std::vector<PlaneRegion>& regions, int threads);
