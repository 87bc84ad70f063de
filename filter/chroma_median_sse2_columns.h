#pragma once

// How the packed frames' SSE2 kernels reach a frame's chroma: loads, stores, prefetches and the walk over
// its columns. Include only from translation units built with SSE2 enabled.

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "filter/frame_size.h"

namespace chroma_sse2 {

// Two 16-byte strips side by side make a column: their 16 chroma bytes share one register, the left
// strip's 8 lanes first. A frame with an odd strip count ends in a half column of one strip, whose upper
// 8 lanes are zero and never stored.
constexpr size_t kColumnBytes = 32;

inline __m128i LoadChroma(const uint8_t* p, bool half)
{
    const __m128i left = _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), 8);
    const __m128i right =
        half ? _mm_setzero_si128() : _mm_srli_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), 8);
    return _mm_packus_epi16(left, right);
}

// Puts 16 chroma bytes back between the column's luma bytes.
inline void StoreChroma(uint8_t* p, __m128i chroma, bool half)
{
    const __m128i lumaMask = _mm_set1_epi16(0x00FF);
    const __m128i zero = _mm_setzero_si128();
    __m128i* left = reinterpret_cast<__m128i*>(p);
    _mm_storeu_si128(left, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(left), lumaMask),
                                        _mm_unpacklo_epi8(zero, chroma)));
    if (!half) {
        __m128i* right = left + 1;
        _mm_storeu_si128(right, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(right), lumaMask),
                                             _mm_unpackhi_epi8(zero, chroma)));
    }
}

// Asks for every cache line of G columns of the row at p, the last one half when EndsHalf.
template <int G, bool EndsHalf>
inline void PrefetchColumns(const uint8_t* p)
{
    constexpr size_t bytes = kColumnBytes * G - (EndsHalf ? kColumnBytes / 2 : 0);
    const char* first = reinterpret_cast<const char*>(p);
    for (size_t k = 0; k < bytes; k += 64)
        _mm_prefetch(first + k, _MM_HINT_T0);
    _mm_prefetch(first + bytes - 1, _MM_HINT_T0);
}

// Walks a column down the rows as a window sees them, row by row from `row` (which may lie above the frame),
// clamped to the frame; cheaper than clamping every row number.
class RowCursor {
public:
    RowCursor(const uint8_t* first, size_t rowBytes, int32_t height, int32_t row)
        : m_rowBytes(rowBytes), m_height(height), m_next(row)
    {
        const int32_t clamped = row < 0 ? 0 : row >= height ? height - 1 : row;
        m_row = first + rowBytes * static_cast<size_t>(clamped);
    }
    const uint8_t* Row() const { return m_row; }
    void Advance()
    {
        ++m_next;
        if (m_next > 0 && m_next < m_height)
            m_row += m_rowBytes;
    }

private:
    const uint8_t* m_row;
    size_t m_rowBytes;
    int32_t m_height;
    int32_t m_next;
};

template <int Columns, class Walker>
void RunLastGroup(int fullColumns, bool endsHalf, size_t offset, const Walker& walker)
{
    if constexpr (Columns > 0) {
        if (fullColumns + (endsHalf ? 1 : 0) == Columns) {
            if (endsHalf)
                walker.template Run<Columns, true>(offset);
            else
                walker.template Run<Columns, false>(offset);
            return;
        }
        RunLastGroup<Columns - 1>(fullColumns, endsHalf, offset, walker);
    }
}

// Walks the frame's columns in groups of Group, left to right: walker.Run<Columns, EndsHalf>(byte offset of
// the group in every row). The last group may be narrower and may end in a half column.
template <int Group, class Walker>
void ForEachColumnGroup(int32_t width, const Walker& walker)
{
    const int strips = width / 8;
    const int fullColumns = strips / 2;
    int column = 0;
    for (; column + Group <= fullColumns; column += Group)
        walker.template Run<Group, false>(kColumnBytes * column);
    RunLastGroup<Group>(fullColumns - column, strips % 2 != 0, kColumnBytes * column, walker);
}

}  // namespace chroma_sse2
