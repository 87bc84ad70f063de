#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

// An owned block of memory aligned to 16 bytes; empty when the allocation failed.
class AlignedBuffer {
public:
    AlignedBuffer() = default;
    ~AlignedBuffer() { Release(); }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;

    bool Allocate(size_t bytes)
    {
        Release();
        m_data = static_cast<uint8_t*>(::operator new[](bytes, std::align_val_t{16}, std::nothrow));
        return m_data != nullptr;
    }

    void Release()
    {
        if (m_data)
            ::operator delete[](m_data, std::align_val_t{16});
        m_data = nullptr;
    }

    uint8_t* Data() const { return m_data; }

private:
    uint8_t* m_data = nullptr;
};
