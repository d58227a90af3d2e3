#include "platform/PlugLock.h"

#include <new>
#include <windows.h>

namespace
{
CRITICAL_SECTION* Section(unsigned char* storage)
{
    return reinterpret_cast<CRITICAL_SECTION*>(storage);
}
} // namespace

PlugLock::PlugLock()
{
    static_assert(sizeof(CRITICAL_SECTION) <= sizeof(mStorage),
                  "critical section storage too small");
    static_assert(alignof(CRITICAL_SECTION) <= 8, "critical section storage misaligned");
    CRITICAL_SECTION* cs = new (mStorage) CRITICAL_SECTION;
    InitializeCriticalSection(cs);
}

PlugLock::~PlugLock()
{
    DeleteCriticalSection(Section(mStorage));
}

void PlugLock::Enter()
{
    EnterCriticalSection(Section(mStorage));
}

void PlugLock::Leave()
{
    LeaveCriticalSection(Section(mStorage));
}

bool PlugLock::TryEnter()
{
    return TryEnterCriticalSection(Section(mStorage)) != 0;
}
