#include "threading/task_queue.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace pv::threading {

namespace {

// The most rounds a taker looks for a packet before it blocks, giving way to other threads
// in each: enough to bridge the gap between two posts of a busy producer.
constexpr int kMaxSpinRounds = 64;

} // namespace

bool TaskQueue::Post(TaskPacket packet) {
    std::unique_lock lock(mutex_);
    if (closed_.load(std::memory_order_relaxed)) {
        return false;
    }
    packets_.push_back(std::move(packet));
    size_.store(packets_.size(), std::memory_order_release);
    const std::size_t onTheirWay =
        static_cast<std::size_t>(wakesPending_) +
        static_cast<std::size_t>(spinners_.load(std::memory_order_acquire));
    const bool wake = waiters_ > wakesPending_ && onTheirWay < packets_.size();
    if (wake) {
        ++wakesPending_;
    }
    lock.unlock();
    if (wake) {
        posted_.notify_one();
    }
    return true;
}

std::optional<TaskPacket> TaskQueue::Take(std::optional<int> timeoutMs) {
    // A spinner that gives up checks again under the mutex below, so a post that counted on
    // it is never lost.
    // Looking pays only while packets come in quick succession: each look that finds one
    // lets the next look longer, each that finds none halves it, down to one glance.
    const int rounds = spinRounds_.load(std::memory_order_relaxed);
    spinners_.fetch_add(1, std::memory_order_acq_rel);
    bool found = false;
    for (int round = 0;; ++round) {
        if (size_.load(std::memory_order_acquire) > 0 || closed_.load(std::memory_order_relaxed)) {
            found = true;
            break;
        }
        if (round >= rounds) {
            break;
        }
        std::this_thread::yield();
    }
    spinners_.fetch_sub(1, std::memory_order_acq_rel);
    spinRounds_.store(found ? std::min(std::max(rounds * 2, 1), kMaxSpinRounds) : rounds / 2,
                      std::memory_order_relaxed);

    std::unique_lock lock(mutex_);
    const auto ready = [this] {
        return closed_.load(std::memory_order_relaxed) || !packets_.empty();
    };
    ++waiters_;
    bool gotOne = true;
    if (!timeoutMs) {
        posted_.wait(lock, ready);
    } else {
        gotOne = posted_.wait_for(lock, std::chrono::milliseconds(std::max(0, *timeoutMs)), ready);
    }
    --waiters_;
    wakesPending_ = std::max(0, wakesPending_ - 1);
    if (!gotOne || closed_.load(std::memory_order_relaxed)) {
        return std::nullopt;
    }
    TaskPacket packet = std::move(packets_.front());
    packets_.pop_front();
    size_.store(packets_.size(), std::memory_order_release);
    return packet;
}

void TaskQueue::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_.store(true, std::memory_order_relaxed);
        packets_.clear();
        size_.store(0, std::memory_order_release);
    }
    posted_.notify_all();
}

} // namespace pv::threading
