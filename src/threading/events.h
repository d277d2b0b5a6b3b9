#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace pv::threading {

// Waits take a time-out in milliseconds; std::nullopt waits without limit. They return true
// when the event was set, false when the time-out ran out.

// Stays set once set, until one waiter takes it: a Set releases exactly one waiter, or the
// next one to come when nobody waits. Setting an event that is set already changes nothing.
class AutoResetEvent {
public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void Set();
    bool Wait(std::optional<int> timeoutMs = std::nullopt);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    // Written under the mutex; read without it only to skip a Set that would change nothing.
    std::atomic<bool> signaled_{false};
    int waiters_ = 0;
};

// Stays set until reset; while set, every wait returns at once.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool initiallySet)
        : signaled_(initiallySet) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const { return signaled_.load(std::memory_order_acquire); }
    bool Wait(std::optional<int> timeoutMs = std::nullopt);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    // Written under the mutex, so a waiter that checks it under the mutex misses no Set;
    // read without it on the fast path of Wait.
    std::atomic<bool> signaled_;
};

} // namespace pv::threading
