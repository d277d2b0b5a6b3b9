#pragma once

#include <chrono>
#include <thread>

namespace pv::testing_support {

// Polls `condition` until it holds or `limit` has passed, and returns its last value. For
// state that offers no event to wait on; returns as soon as the condition holds.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace pv::testing_support
