#pragma once

namespace pv::engine {

class Application;

// Drives one run on the run thread: settles the time-outs, starts the pool's workers, posts
// one check per row in batches as large as the idle workers, refreshes the progress while
// checks finish, stops the pool and reports the counts. Ends early, without report and
// without touching the window, when the pool leaves the running state (stop or shut-down).
void RunController(Application& app);

// The smallest time-out a run uses, in milliseconds.
inline constexpr int kMinTimeoutMs = 500;

} // namespace pv::engine
