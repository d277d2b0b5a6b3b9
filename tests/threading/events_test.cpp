#include "support/wait_until.h"
#include "threading/events.h"

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace pv::threading {
namespace {

using pv::testing_support::WaitUntil;

TEST(AutoResetEventTest, ASetBeforeTheWaitIsKeptForOneWaiter) {
    AutoResetEvent event;
    event.Set();
    event.Set(); // setting a set event changes nothing
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(AutoResetEventTest, EachSetReleasesOneWaiter) {
    AutoResetEvent event;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            event.Wait();
            ++released;
        });
    }
    for (int expected = 1; expected <= 3; ++expected) {
        // Wait until the previous Set has been taken before setting again.
        ASSERT_TRUE(WaitUntil([&] { return released.load() == expected - 1; }));
        event.Set();
        ASSERT_TRUE(WaitUntil([&] { return released.load() == expected; }));
    }
    for (auto& waiter : waiters) {
        waiter.join();
    }
}

TEST(AutoResetEventTest, WaitTimesOut) {
    AutoResetEvent event;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.Wait(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(ManualResetEventTest, StaysSetForEveryWaiterUntilReset) {
    ManualResetEvent event(false);
    EXPECT_FALSE(event.Wait(0));
    auto first = std::async(std::launch::async, [&] { return event.Wait(); });
    auto second = std::async(std::launch::async, [&] { return event.Wait(); });
    event.Set();
    EXPECT_TRUE(first.get());
    EXPECT_TRUE(second.get());
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(0));
}

} // namespace
} // namespace pv::threading
