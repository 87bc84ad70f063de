#pragma once

// Filters the chroma planes of one frame at a time on several threads. Work is split by columns: columns
// are independent under the filter, so every split gives the same bytes.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "filter/chroma_median_plane.h"

// Rows 0 .. height - 1 of `width` samples, `stride` bytes apart (a field is every second picture row).
struct PlaneRegion {
    uint8_t* first;
    ptrdiff_t stride;
    int32_t width;
    int32_t height;
};

class PlaneFilterPool {
public:
    // Throws std::system_error when a thread cannot start, std::bad_alloc without memory for the scratch.
    PlaneFilterPool(int threads, ChromaMedianPlaneFn kernel, int32_t count);
    ~PlaneFilterPool();
    PlaneFilterPool(const PlaneFilterPool&) = delete;
    PlaneFilterPool& operator=(const PlaneFilterPool&) = delete;

    // Filters every region in place and returns when all are done.
    void Filter(const std::vector<PlaneRegion>& regions);

private:
    void WorkerLoop(size_t worker);
    void Stop();
    void RunPieces(uint8_t* scratch);

    ChromaMedianPlaneFn m_kernel;
    int32_t m_count;
    int m_threads;
    std::vector<std::vector<uint8_t>> m_scratch;  // one per thread, the caller's included
    std::vector<PlaneRegion> m_pieces;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    size_t m_nextPiece = 0;
    size_t m_generation = 0;
    int m_busyWorkers = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

// Cuts each region into column ranges for `threads` threads, at most one per thread and region, each a
// whole number of 64-byte lines wide except the last.
std::vector<PlaneRegion> SplitByColumns(const std::vector<PlaneRegion>& regions, int threads);
