#include "threading/task_queue.h"

#include <future>

#include <gtest/gtest.h>

namespace pv::threading {
namespace {

TaskPacket Packet(std::int32_t argument1) {
    return TaskPacket{[](std::int32_t, std::int32_t) {}, argument1, 0, false};
}

TEST(TaskQueueTest, TakesInTheOrderPosted) {
    TaskQueue queue;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(queue.Post(Packet(i)));
    }
    for (int i = 0; i < 5; ++i) {
        const auto packet = queue.Take(0);
        ASSERT_TRUE(packet);
        EXPECT_EQ(packet->argument1, i);
    }
    EXPECT_FALSE(queue.Take(0));
}

TEST(TaskQueueTest, TakeWaitsForAPost) {
    TaskQueue queue;
    auto taken = std::async(std::launch::async, [&] { return queue.Take(std::nullopt); });
    ASSERT_TRUE(queue.Post(Packet(7)));
    const auto packet = taken.get();
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->argument1, 7);
}

TEST(TaskQueueTest, ClosingFailsEveryTakeAtOnce) {
    TaskQueue queue;
    auto waiting = std::async(std::launch::async, [&] { return queue.Take(std::nullopt); });
    ASSERT_TRUE(queue.Post(Packet(1)));
    waiting.get();
    ASSERT_TRUE(queue.Post(Packet(2)));
    queue.Close();
    EXPECT_FALSE(queue.Take(std::nullopt)); // a packet was queued, but the queue is closed
    EXPECT_FALSE(queue.Post(Packet(3)));
}

} // namespace
} // namespace pv::threading
