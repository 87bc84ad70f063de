#pragma once

// The repair's suspect mask over one row, written once over a vector type (filter/vector_sse2.h,
// filter/vector_avx2.h) and its sample: each instruction set's variants (filter/chroma_sparkle_mask_sse2.cpp,
// ...) are one line each.

#include <algorithm>
#include <cstdint>

#include "filter/chroma_repair_plane.h"

template <class V>
void SparkleMaskRow(const typename V::Sample* chroma, const typename V::Sample* median, uint8_t* mask,
                    int32_t width, int32_t threshold)
{
    constexpr int32_t kStep = static_cast<int32_t>(V::kLanes);
    if (width < kStep) {
        if constexpr (sizeof(typename V::Sample) == 1)
            ChromaSparkleMaskRow_C(chroma, median, mask, width, threshold);
        else
            ChromaSparkleMaskRow16_C(chroma, median, mask, width, threshold);
        return;
    }
    const typename V::Reg limit = V::Splat(static_cast<typename V::Sample>(threshold));
    // The last step overlaps the one before it when the width is not a multiple of the step; both write the
    // same.
    for (int32_t x = 0;; x += kStep) {
        x = std::min(x, width - kStep);
        const typename V::Reg c = V::Load(chroma + x), m = V::Load(median + x);
        V::StoreMask(mask + x, V::Above(V::Sub(V::Max(c, m), V::Min(c, m)), limit));
        if (x + kStep == width)
            return;
    }
}
