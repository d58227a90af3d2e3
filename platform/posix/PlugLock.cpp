#include "platform/PlugLock.h"

PlugLock::PlugLock() = default;

PlugLock::~PlugLock() = default;

void PlugLock::Enter()
{
    mMutex.lock();
}

void PlugLock::Leave()
{
    mMutex.unlock();
}

bool PlugLock::TryEnter()
{
    return mMutex.try_lock();
}
