// The repair over time: short sequences of three small pictures that pan by up to 8 luma samples a picture
// over a scene of the input's bytes, each picture with its own chroma changes and luma noise, every
// subsampling, either neighbour missing, the kernels of a CPU feature level and the plane cut in two column
// pieces anywhere. The picture's repair must equal the one written from the rule's definition.
//
// Input: width, height, subsampling, window, threshold, feature level, cut, pan, which neighbours (one byte
// each), then the scene's bytes (repeated), from which the samples and changes are drawn.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "filter/cpu_features.h"
#include "tests/common/kernel_variants.h"
#include "tests/common/temporal_reference.h"
#include "tests/common/temporal_run.h"

namespace {

constexpr int kMaxWidth = 40;
constexpr int kMaxHeight = 24;
constexpr int kMargin = 16;  // scene samples around the picture, for two pans of 8
constexpr int kShifts[4][2] = {{0, 0}, {1, 0}, {1, 1}, {2, 0}};

uint32_t FeatureLevel(uint32_t index)
{
    static const std::vector<uint32_t> kLevels = CpuFeatureLevels();
    return CpuFeatures() & kLevels[index % kLevels.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 10)
        return 0;
    const int width = 1 + data[0] % kMaxWidth, height = 1 + data[1] % kMaxHeight;
    const int shiftX = kShifts[data[2] % 4][0], shiftY = kShifts[data[2] % 4][1];
    const int lumaWidth = width << shiftX, lumaHeight = height << shiftY;
    const int count = 1 + data[3] % kMaxMedianWindow, threshold = 1 + data[4] % 255;
    const uint32_t features = FeatureLevel(data[5]);
    const int cut = data[6] % (width + 1);
    const int panX = data[7] % 17 - 8, panY = data[7] / 17 % 17 - 8;
    const bool hasPrevious = (data[8] & 1) == 0, hasNext = (data[8] & 2) == 0;
    data += 9;
    size -= 9;
    auto byte = [&](size_t i) { return size ? data[i % size] : static_cast<uint8_t>(i * 37); };

    const int sceneWidth = lumaWidth + 2 * kMargin, sceneHeight = lumaHeight + 2 * kMargin;
    size_t next = 0;
    std::vector<uint8_t> sceneLuma(static_cast<size_t>(sceneWidth) * sceneHeight);
    for (uint8_t& sample : sceneLuma)
        sample = byte(next++);
    std::vector<product::PlanePicture<uint8_t>> pictures(3);
    for (int k = 0; k < 3; ++k) {
        product::PlanePicture<uint8_t>& p = pictures[k];
        p = {{}, {}, width, height, lumaWidth, lumaHeight};
        const int left = kMargin + (k - 1) * panX, top = kMargin + (k - 1) * panY;
        for (int y = 0; y < lumaHeight; ++y)
            for (int x = 0; x < lumaWidth; ++x)
                p.luma.push_back(static_cast<uint8_t>(sceneLuma[static_cast<size_t>(top + y) * sceneWidth + left + x] +
                                                      byte(next++) % 3));
        // Chroma from the scene's luma where it moved, so that the neighbours' colours match, with changes.
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint8_t change = byte(next++);
                const uint8_t scene = sceneLuma[static_cast<size_t>(top + (y << shiftY)) * sceneWidth + left + (x << shiftX)];
                p.chroma.push_back(change < 200 ? scene : change);
            }
    }
    const product::RepairSetup setup{shiftX, shiftY, 8, count, threshold, features, {cut}};
    product::PlanePicture<uint8_t>* previous = hasPrevious ? &pictures[0] : nullptr;
    product::PlanePicture<uint8_t>* following = hasNext ? &pictures[2] : nullptr;
    const std::vector<uint8_t> actual = product::RepairedOverTime(previous, pictures[1], following, setup);

    auto view = [&](product::PlanePicture<uint8_t>& p) {
        return reference::RepairPlane<uint8_t>{p.chroma.data(), width, width, height, p.luma.data(),
                                               lumaWidth, lumaWidth, lumaHeight, shiftX, shiftY};
    };
    const reference::RepairPlane<uint8_t> before = view(pictures[0]), after = view(pictures[2]);
    reference::ChromaRepairOverTime(view(pictures[1]), hasPrevious ? &before : nullptr, hasNext ? &after : nullptr,
                                    count, threshold);
    if (actual != pictures[1].chroma) {
        std::fprintf(stderr, "picture %dx%d shifts %d,%d window %d threshold %d features %#x cut %d pan %d,%d differs\n",
                     width, height, shiftX, shiftY, count, threshold, features, cut, panX, panY);
        std::abort();
    }
    return 0;
}
