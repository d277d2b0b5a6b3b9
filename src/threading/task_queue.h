#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace pv::threading {

// A task: a routine and its two arguments, run on a worker thread. The result is ignored.
using TaskRoutine = std::function<void(std::int32_t argument1, std::int32_t argument2)>;

struct TaskPacket {
    TaskRoutine routine;
    std::int32_t argument1 = 0;
    std::int32_t argument2 = 0;
    // A packet that tells the worker taking it to leave; it carries no routine.
    bool leave = false;
};

// A first-in first-out queue of task packets for many producers and many consumers.
// Closing it makes every take fail at once, queued packets or not, and every post fail.
class TaskQueue {
public:
    TaskQueue() = default;
    TaskQueue(const TaskQueue&) = delete;
    TaskQueue& operator=(const TaskQueue&) = delete;

    bool Post(TaskPacket packet);
    // Takes the oldest packet, waiting up to `timeoutMs` (std::nullopt: without limit) for
    // one. Nothing when the wait ran out or the queue is closed.
    std::optional<TaskPacket> Take(std::optional<int> timeoutMs);
    void Close();

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<TaskPacket> packets_;
    // Takers that look for a packet for a moment before they block; each takes one of the
    // packets queued without being woken.
    std::atomic<int> spinners_{0};
    // How many rounds the next taker looks before it blocks; adapts to how often looking pays.
    std::atomic<int> spinRounds_{1};
    // Read by spinners without the mutex; written under it.
    std::atomic<std::size_t> size_{0};
    std::atomic<bool> closed_{false};
    int waiters_ = 0;
    // Waiters notified that have not woken yet. A post notifies only while the waiters on
    // their way and the spinners are fewer than the packets queued, so that a steady stream
    // of short tasks is not paid for with one sleep and wake-up each.
    int wakesPending_ = 0;
};

} // namespace pv::threading
