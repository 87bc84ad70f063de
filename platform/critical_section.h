#pragma once

#if !defined(_WIN32)
#include <mutex>
#endif

// The module's lock: re-entrant for its holder, like a Windows critical section. The Windows
// object lives in opaque storage so that the portable core never includes <windows.h>.
class CCriticalSection {
public:
    CCriticalSection();
    ~CCriticalSection();
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Lock();
    void Unlock();

private:
#if defined(_WIN32)
    alignas(8) unsigned char m_storage[48];
#else
    std::recursive_mutex m_mutex;
#endif
};

class CSingleLock {
public:
    explicit CSingleLock(CCriticalSection& lock) : m_lock(lock) { m_lock.Lock(); }
    ~CSingleLock() { m_lock.Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

private:
    CCriticalSection& m_lock;
};
