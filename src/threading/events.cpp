#include "threading/events.h"

#include <algorithm>
#include <chrono>

namespace pv::threading {

namespace {

// Waits on `changed` until `ready()` or the time-out; `lock` holds the event's mutex.
template <typename Ready>
bool WaitUntil(std::condition_variable& changed, std::unique_lock<std::mutex>& lock,
               std::optional<int> timeoutMs, Ready ready) {
    if (!timeoutMs) {
        changed.wait(lock, ready);
        return true;
    }
    return changed.wait_for(lock, std::chrono::milliseconds(std::max(0, *timeoutMs)), ready);
}

} // namespace

void AutoResetEvent::Set() {
    if (signaled_.load(std::memory_order_acquire)) {
        return;
    }
    std::lock_guard lock(mutex_);
    signaled_.store(true, std::memory_order_release);
    if (waiters_ > 0) {
        changed_.notify_one();
    }
}

bool AutoResetEvent::Wait(std::optional<int> timeoutMs) {
    std::unique_lock lock(mutex_);
    ++waiters_;
    const bool set = WaitUntil(changed_, lock, timeoutMs,
                               [this] { return signaled_.load(std::memory_order_relaxed); });
    --waiters_;
    if (set) {
        signaled_.store(false, std::memory_order_release);
    }
    return set;
}

void ManualResetEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        signaled_.store(true, std::memory_order_release);
    }
    changed_.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard lock(mutex_);
    signaled_.store(false, std::memory_order_release);
}

bool ManualResetEvent::Wait(std::optional<int> timeoutMs) {
    if (IsSet()) {
        return true;
    }
    std::unique_lock lock(mutex_);
    return WaitUntil(changed_, lock, timeoutMs,
                     [this] { return signaled_.load(std::memory_order_relaxed); });
}

} // namespace pv::threading
