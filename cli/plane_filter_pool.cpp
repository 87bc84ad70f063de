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

template <class Sample>
std::vector<PlanePiece> SplitByColumns(const std::vector<PlaneRegion<Sample>>& regions, int threads)
{
    std::vector<PlanePiece> pieces;
    // Whole regions while there are enough for every thread: two threads cutting the same rows share the
    // cache lines where their columns meet, which cost more than the cut saved.
    const int32_t regionCount = std::max<int32_t>(1, static_cast<int32_t>(regions.size()));
    const int32_t piecesPerRegion = (threads + regionCount - 1) / regionCount;
    for (size_t r = 0; r < regions.size(); ++r) {
        const PlaneRegion<Sample>& region = regions[r];
        if (region.width <= 0 || region.height <= 0)
            continue;
        constexpr int32_t kLineSamples = kPieceAlign / sizeof(Sample);
        const int32_t lines = (region.width + kLineSamples - 1) / kLineSamples;
        const int32_t parts = std::max(1, std::min(piecesPerRegion, lines));
        for (int32_t part = 0, line = 0; part < parts; ++part) {
            const int32_t nextLine = lines * (part + 1) / parts;
            pieces.push_back({r, line * kLineSamples, std::min(region.width, nextLine * kLineSamples)});
            line = nextLine;
        }
    }
    return pieces;
}

template <class Sample>
PlaneFilterPool<Sample>::PlaneFilterPool(int threads, const PlaneFilterSettings& settings,
                                         std::vector<PlaneRegion<Sample>> regions)
    : m_settings(settings),
      m_median(ChooseChromaMedianPlaneKernels<Sample>(settings.cpuFeatures).byCount[settings.count]),
      m_repair(ChooseChromaRepairKernels<Sample>(settings.cpuFeatures, settings.count)),
      m_regions(std::move(regions))
{
    const int threadCount = std::max(1, threads);
    m_pieces = SplitByColumns(m_regions, threadCount);
    size_t largestPiece = 0;
    for (const PlanePiece& piece : m_pieces) {
        largestPiece = std::max(largestPiece, static_cast<size_t>(piece.right - piece.left) *
                                                  static_cast<size_t>(m_regions[piece.region].height));
    }
    m_workerData.resize(threadCount);
    for (Worker& worker : m_workerData) {
        worker.scratch.resize(kChromaMedianPlaneScratchBytes + kChromaMedianPlaneScratchAlign);
        if (settings.countChanges && settings.threshold == 0)
            worker.before.resize(largestPiece);
    }
    if (settings.threshold > 0) {
        for (const PlaneRegion<Sample>& region : m_regions) {
            const size_t samples = static_cast<size_t>(std::max(region.width, 0)) * std::max(region.height, 0);
            Sample* const median = m_medianPlanes.emplace_back(samples).data();
            uint8_t* const mask = m_maskPlanes.emplace_back(samples).data();
            m_repairPlanes.push_back({region.first, region.stride, region.width, region.height, region.luma,
                                      median, mask, settings.depth});
        }
    }
    try {
        for (int worker = 1; worker < threadCount; ++worker)
            m_workers.emplace_back([this, worker] { WorkerLoop(worker); });
    } catch (...) {
        // The destructor does not run for a constructor that throws: the started threads are stopped here.
        Stop();
        throw;
    }
}

template <class Sample>
PlaneFilterPool<Sample>::~PlaneFilterPool()
{
    Stop();
}

template <class Sample>
void PlaneFilterPool<Sample>::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

template <class Sample>
uint64_t PlaneFilterPool<Sample>::Filter()
{
    m_changed = 0;
    if (m_settings.threshold == 0) {
        RunStage(Stage::kMedian);
    } else {
        RunStage(Stage::kDetect);
        RunStage(Stage::kReplace);
    }
    return m_changed;
}

template <class Sample>
void PlaneFilterPool<Sample>::RunStage(Stage stage)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stage = stage;
        m_nextPiece = 0;
        m_finishedPieces = 0;
        ++m_generation;
    }
    m_wake.notify_all();
    RunPieces(m_workerData[0]);
    // The stage ends with its last piece, not when every worker has looked: a worker that wakes late finds
    // nothing left, and the frame does not wait for its wake-up.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return m_finishedPieces == m_pieces.size(); });
}

template <class Sample>
void PlaneFilterPool<Sample>::RunPieces(Worker& worker)
{
    bool finishedOne = false;
    uint64_t changed = 0;
    for (;;) {
        PlanePiece piece;
        Stage stage;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (finishedOne) {
                m_changed += changed;
                if (++m_finishedPieces == m_pieces.size())
                    m_done.notify_one();
            }
            if (m_nextPiece == m_pieces.size())
                return;
            piece = m_pieces[m_nextPiece++];
            stage = m_stage;
        }
        changed = RunPiece(stage, piece, worker);
        finishedOne = true;
    }
}

template <class Sample>
uint64_t PlaneFilterPool<Sample>::RunPiece(Stage stage, const PlanePiece& piece, Worker& worker)
{
    const int32_t count = m_settings.count;
    switch (stage) {
    case Stage::kMedian: {
        if (m_settings.countChanges)
            return MedianCounted(piece, worker);
        const PlaneRegion<Sample>& region = m_regions[piece.region];
        m_median(region.first + piece.left, region.stride, piece.right - piece.left, region.height, count,
                 Aligned(worker.scratch));
        return 0;
    }
    case Stage::kDetect:
        DetectChromaSparkles(m_repairPlanes[piece.region], piece.left, piece.right, count, m_settings.threshold,
                             m_repair, Aligned(worker.scratch));
        return 0;
    case Stage::kReplace:
        return ReplaceChromaSparkles(m_repairPlanes[piece.region], piece.left, piece.right, m_settings.threshold);
    }
    return 0;
}

template <class Sample>
uint64_t PlaneFilterPool<Sample>::MedianCounted(const PlanePiece& piece, Worker& worker)
{
    const PlaneRegion<Sample>& region = m_regions[piece.region];
    const size_t width = static_cast<size_t>(piece.right - piece.left);
    Sample* const first = region.first + piece.left;
    for (int32_t y = 0; y < region.height; ++y)
        std::copy_n(first + region.stride * y, width, worker.before.data() + width * y);
    m_median(first, region.stride, piece.right - piece.left, region.height, m_settings.count, Aligned(worker.scratch));
    uint64_t changed = 0;
    for (int32_t y = 0; y < region.height; ++y) {
        const Sample* before = worker.before.data() + width * y;
        const Sample* after = first + region.stride * y;
        for (size_t x = 0; x < width; ++x)
            changed += before[x] != after[x];
    }
    return changed;
}

template <class Sample>
void PlaneFilterPool<Sample>::WorkerLoop(size_t worker)
{
    size_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || m_generation != seen; });
            if (m_stopping)
                return;
            seen = m_generation;
        }
        RunPieces(m_workerData[worker]);
    }
}

template class PlaneFilterPool<uint8_t>;
template class PlaneFilterPool<uint16_t>;
