#pragma once

#include <chrono>
#include <cstdint>

namespace pv::threading {

// Milliseconds on a clock that never goes back; only differences mean anything.
inline std::int64_t TickCountMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace pv::threading
