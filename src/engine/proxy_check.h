#pragma once

#include <cstdint>
#include <string_view>

namespace pv::engine {

class Application;

// The delay from which a valid proxy counts as slow.
inline constexpr std::int64_t kSlowDelayMs = 10000;

// Verifies one row of the proxy list on a pool worker: fetches the run's URL through the
// row's proxy, waiting in one-second steps and giving up early when the pool stops, searches
// the page for the feature, writes delay, status and image into the row and counts the
// outcome. No lock is held during network calls.
void ProxyCheckTask(Application& app, std::int32_t row);

// Writes one row's result (delay, status and image together) and scrolls the row after it
// into view when it is the furthest finished row so far; under the lock.
void WriteResult(Application& app, std::int32_t row, std::string_view delay,
                 std::string_view status, int image);

// How many one-second waits a verify time-out allows: the seconds, rounded up.
int WaitCountFor(std::int32_t verifyTimeoutMs);

} // namespace pv::engine
