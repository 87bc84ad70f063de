#include "cli/plane_filter_pool.h"

#include <algorithm>

namespace {

constexpr int32_t kPieceAlign = 64;

uint8_t* Aligned(std::vector<uint8_t>& bytes)
{
    const auto address = reinterpret_cast<uintptr_t>(bytes.data());
    return bytes.data() + (kChromaMedianPlaneScratchAlign - address % kChromaMedianPlaneScratchAlign) %
                              kChromaMedianPlaneScratchAlign;
}

}  // namespace

std::vector<PlaneRegion> SplitByColumns(const std::vector<PlaneRegion>& regions, int threads)
{
    std::vector<PlaneRegion> pieces;
    for (const PlaneRegion& region : regions) {
        if (region.width <= 0 || region.height <= 0)
            continue;
        const int32_t lines = (region.width + kPieceAlign - 1) / kPieceAlign;
        const int32_t parts = std::max(1, std::min(threads, lines));
        for (int32_t part = 0, line = 0; part < parts; ++part) {
            const int32_t nextLine = lines * (part + 1) / parts;
            const int32_t left = line * kPieceAlign;
            const int32_t right = std::min(region.width, nextLine * kPieceAlign);
            pieces.push_back({region.first + left, region.stride, right - left, region.height});
            line = nextLine;
        }
    }
    return pieces;
}

PlaneFilterPool::PlaneFilterPool(int threads, ChromaMedianPlaneFn kernel, int32_t count)
    : m_kernel(kernel), m_count(count), m_threads(std::max(1, threads))
{
    m_scratch.resize(m_threads);
    for (auto& scratch : m_scratch)
        scratch.resize(kChromaMedianPlaneScratchBytes + kChromaMedianPlaneScratchAlign);
    try {
        for (int worker = 1; worker < m_threads; ++worker)
            m_workers.emplace_back([this, worker] { WorkerLoop(worker); });
    } catch (...) {
        // The destructor does not run for a constructor that throws: the started threads are stopped here.
        Stop();
        throw;
    }
}

PlaneFilterPool::~PlaneFilterPool() { Stop(); }

void PlaneFilterPool::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void PlaneFilterPool::Filter(const std::vector<PlaneRegion>& regions)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pieces = SplitByColumns(regions, m_threads);
        m_nextPiece = 0;
        m_busyWorkers = static_cast<int>(m_workers.size());
        ++m_generation;
    }
    m_wake.notify_all();
    RunPieces(Aligned(m_scratch[0]));
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return m_busyWorkers == 0; });
}

void PlaneFilterPool::RunPieces(uint8_t* scratch)
{
    for (;;) {
        PlaneRegion piece;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_nextPiece == m_pieces.size())
                return;
            piece = m_pieces[m_nextPiece++];
        }
        m_kernel(piece.first, piece.stride, piece.width, piece.height, m_count, scratch);
    }
}

void PlaneFilterPool::WorkerLoop(size_t worker)
{
    uint8_t* scratch = Aligned(m_scratch[worker]);
    size_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || m_generation != seen; });
            if (m_stopping)
                return;
            seen = m_generation;
        }
        RunPieces(scratch);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_busyWorkers;
        }
        m_done.notify_one();
    }
}
