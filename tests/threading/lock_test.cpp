#include "threading/lock.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace pv::threading {
namespace {

// Asks another thread whether it can take the lock right now; that thread leaves again at once.
bool OtherThreadCanEnter(Lock& lock) {
    return std::async(std::launch::async,
                      [&lock] {
                          const bool entered = lock.TryEnter();
                          if (entered) {
                              lock.Leave();
                          }
                          return entered;
                      })
        .get();
}

TEST(LockTest, IsFreeOnlyAfterAsManyLeavesAsEnters) {
    Lock lock;
    EXPECT_TRUE(OtherThreadCanEnter(lock));
    lock.Enter();
    lock.Enter();
    EXPECT_FALSE(OtherThreadCanEnter(lock));
    lock.Leave();
    EXPECT_FALSE(OtherThreadCanEnter(lock));
    lock.Leave();
    EXPECT_TRUE(OtherThreadCanEnter(lock));
}

TEST(LockTest, TryEnterByTheOwnerAddsALevel) {
    Lock lock;
    lock.Enter();
    EXPECT_TRUE(lock.TryEnter());
    lock.Leave();
    EXPECT_FALSE(OtherThreadCanEnter(lock));
    lock.Leave();
    EXPECT_TRUE(OtherThreadCanEnter(lock));
}

TEST(LockTest, EnterWaitsForTheOwnersLastLeave) {
    Lock lock;
    lock.Enter();
    lock.Enter();
    std::atomic<bool> entered{false};
    std::promise<void> started;
    std::thread other([&] {
        started.set_value();
        lock.Enter();
        entered = true;
        lock.Leave();
    });
    started.get_future().wait();
    lock.Leave();
    // The other thread cannot be observed waiting; give it time in which it would have
    // entered wrongly.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered);
    lock.Leave();
    other.join();
    EXPECT_TRUE(entered);
}

TEST(LockTest, HolderLeavesAtTheEndOfItsScope) {
    Lock lock;
    {
        Lock::Holder holder(lock);
        EXPECT_FALSE(OtherThreadCanEnter(lock));
    }
    EXPECT_TRUE(OtherThreadCanEnter(lock));
}

TEST(LockTest, KeepsConcurrentIncrementsWhole) {
    Lock lock;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                Lock::Holder outer(lock);
                Lock::Holder inner(lock);
                ++counter;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, 80000);
}

} // namespace
} // namespace pv::threading
