#pragma once

// The repair's suspect mask over one row, written once over a vector type (filter/vector_sse2.h,
// filter/vector_avx2.h): each instruction set's variant (filter/chroma_sparkle_mask_sse2.cpp, ...) is one
// line of its own.

#include <algorithm>
#include <cstdint>

#include "filter/chroma_repair_plane.h"

template <class V>
void SparkleMaskRow(const uint8_t* chroma, const uint8_t* median, uint8_t* mask, int32_t width, int32_t threshold)
{
    constexpr int32_t kStep = static_cast<int32_t>(V::kBytes);
    if (width < kStep) {
        ChromaSparkleMaskRow_C(chroma, median, mask, width, threshold);
        return;
    }
    const typename V::Reg limit = V::Splat(static_cast<uint8_t>(threshold));
    // The last step overlaps the one before it when the width is not a multiple of the step; both write the
    // same.
    for (int32_t x = 0;; x += kStep) {
        x = std::min(x, width - kStep);
        const typename V::Reg c = V::Load(chroma + x), m = V::Load(median + x);
        const typename V::Reg distance = V::Sub(V::Max(c, m), V::Min(c, m));
        // A suspect where the distance passes the limit, so that the smaller of the two is not the distance.
        V::Store(mask + x, V::Xor(V::Equal(V::Min(distance, limit), distance), V::Full()));
        if (x + kStep == width)
            return;
    }
}
