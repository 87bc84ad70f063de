#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// A block of memory between marked bytes that nothing may touch, filled with the marker too; the block
// starts `misalign` bytes past a 64-byte boundary (enough for every kernel's scratch).
class GuardedBytes {
public:
    static constexpr size_t kGuardBytes = 64;
    static constexpr uint8_t kMarker = 0xA5;
    static constexpr size_t kAlign = 64;

    explicit GuardedBytes(size_t bytes, size_t misalign = 0)
        : m_bytes(bytes), m_storage(bytes + 2 * (kGuardBytes + kAlign), kMarker)
    {
        const auto base = reinterpret_cast<uintptr_t>(m_storage.data()) + kGuardBytes;
        m_start = kGuardBytes + (kAlign - base % kAlign) % kAlign + misalign % kAlign;
    }

    // Not copyable: a copy's block would lie elsewhere against the alignment.
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    uint8_t* data() { return m_storage.data() + m_start; }
    const uint8_t* data() const { return m_storage.data() + m_start; }
    size_t size() const { return m_bytes; }

    bool GuardsIntact() const
    {
        const auto marked = [](uint8_t byte) { return byte == kMarker; };
        const auto begin = m_storage.begin();
        return std::all_of(begin, begin + m_start, marked) && std::all_of(begin + m_start + m_bytes, m_storage.end(), marked);
    }

private:
    size_t m_bytes;
    size_t m_start;
    std::vector<uint8_t> m_storage;
};
