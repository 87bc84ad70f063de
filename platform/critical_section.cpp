#include "platform/critical_section.h"

#if defined(_WIN32)
#include <windows.h>

static CRITICAL_SECTION* AsNative(unsigned char* storage)
{
    return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

CCriticalSection::CCriticalSection()
{
    static_assert(sizeof(CRITICAL_SECTION) <= sizeof m_storage, "critical section storage too small");
    InitializeCriticalSection(AsNative(m_storage));
}

CCriticalSection::~CCriticalSection() { DeleteCriticalSection(AsNative(m_storage)); }
void CCriticalSection::Lock() { EnterCriticalSection(AsNative(m_storage)); }
void CCriticalSection::Unlock() { LeaveCriticalSection(AsNative(m_storage)); }

#else

CCriticalSection::CCriticalSection() = default;
CCriticalSection::~CCriticalSection() = default;
void CCriticalSection::Lock() { m_mutex.lock(); }
void CCriticalSection::Unlock() { m_mutex.unlock(); }

#endif
