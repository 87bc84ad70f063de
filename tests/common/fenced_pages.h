#pragma once

// Memory placed against inaccessible pages, so that a read or write one byte outside a buffer faults
// instead of passing unnoticed (VirtualProtect under Windows, mprotect elsewhere).

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

inline size_t PageBytes()
{
#if defined(_WIN32)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
}

// Accessible pages between two inaccessible ones; a block is placed against either guard.
class FencedPages {
public:
    explicit FencedPages(size_t bytes) : m_page(PageBytes())
    {
        m_inner = (bytes + m_page - 1) / m_page * m_page;
        const size_t total = m_inner + 2 * m_page;
#if defined(_WIN32)
        m_base = static_cast<uint8_t*>(VirtualAlloc(nullptr, total, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(m_base, m_page, PAGE_NOACCESS, &old);
        VirtualProtect(m_base + m_page + m_inner, m_page, PAGE_NOACCESS, &old);
#else
        void* mapped = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        m_base = mapped == MAP_FAILED ? nullptr : static_cast<uint8_t*>(mapped);
        if (m_base) {
            mprotect(m_base, m_page, PROT_NONE);
            mprotect(m_base + m_page + m_inner, m_page, PROT_NONE);
        }
#endif
    }
    ~FencedPages()
    {
#if defined(_WIN32)
        VirtualFree(m_base, 0, MEM_RELEASE);
#else
        munmap(m_base, m_inner + 2 * m_page);
#endif
    }
    FencedPages(const FencedPages&) = delete;
    FencedPages& operator=(const FencedPages&) = delete;

    bool Valid() const { return m_base != nullptr; }
    uint8_t* RightAfterLowGuard() { return m_base + m_page; }
    uint8_t* EndingAtHighGuard(size_t bytes) { return m_base + m_page + m_inner - bytes; }

    // Makes the accessible pages inaccessible too.
    void LockAll()
    {
#if defined(_WIN32)
        DWORD old;
        VirtualProtect(m_base + m_page, m_inner, PAGE_NOACCESS, &old);
#else
        mprotect(m_base + m_page, m_inner, PROT_NONE);
#endif
    }

private:
    size_t m_page;
    size_t m_inner = 0;
    uint8_t* m_base = nullptr;
};
