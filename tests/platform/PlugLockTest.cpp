#include "platform/PlugLock.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

TEST(PlugLock, SameThreadMayTakeItAgain)
{
    PlugLock lock;
    lock.Enter();
    {
        PlugLockGuard inner(lock);
        EXPECT_TRUE(lock.TryEnter());
        lock.Leave();
    }
    // Still held once: another thread is shut out.
    bool otherGot = true;
    std::thread(
        [&]
        {
            otherGot = lock.TryEnter();
            if (otherGot) lock.Leave();
        })
        .join();
    EXPECT_FALSE(otherGot);

    lock.Leave();
    std::thread(
        [&]
        {
            otherGot = lock.TryEnter();
            if (otherGot) lock.Leave();
        })
        .join();
    EXPECT_TRUE(otherGot);
}

TEST(PlugLock, SerialisesThreads)
{
    PlugLock lock;
    long long counter = 0;
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
    auto work = [&]
    {
        for (int i = 0; i < 20000; ++i)
        {
            std::lock_guard<PlugLock> outer(lock);
            PlugLockGuard nested(lock);
            if (inside.fetch_add(1) != 0) overlap = true;
            ++counter;
            inside.fetch_sub(1);
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
    EXPECT_FALSE(overlap);
}
