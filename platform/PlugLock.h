#pragma once

// Re-entrant mutual-exclusion lock. A thread that holds it may take it again;
// it becomes free after as many Leave() calls as Enter() calls.
// Windows: a critical section. Elsewhere: std::recursive_mutex.

#ifndef _WIN32
#include <mutex>
#endif

class PlugLock
{
public:
    PlugLock();
    ~PlugLock();

    PlugLock(const PlugLock&) = delete;
    PlugLock& operator=(const PlugLock&) = delete;

    void Enter();
    void Leave();
    bool TryEnter();

    // Standard Lockable names, so std::lock_guard and std::unique_lock work too.
    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return TryEnter(); }

private:
#ifdef _WIN32
    // Holds a CRITICAL_SECTION without pulling <windows.h> into every includer;
    // the size is checked where the section is created.
    alignas(8) unsigned char mStorage[48];
#else
    std::recursive_mutex mMutex;
#endif
};

// Takes the lock for the lifetime of the guard.
class PlugLockGuard
{
public:
    explicit PlugLockGuard(PlugLock& lock) : mLock(lock) { mLock.Enter(); }
    ~PlugLockGuard() { mLock.Leave(); }

    PlugLockGuard(const PlugLockGuard&) = delete;
    PlugLockGuard& operator=(const PlugLockGuard&) = delete;

private:
    PlugLock& mLock;
};
