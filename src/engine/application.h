#pragma once

#include "engine/run_state.h"
#include "shell/toolkit.h"
#include "threading/lock.h"
#include "threading/task_pool.h"
#include "threading/thread_runner.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace pv::engine {

// Milliseconds since some fixed moment; the checks measure their delay with it.
using MillisecondClock = std::function<std::int64_t()>;
std::int64_t SteadyClockMs();

// The objects one verification session shares: the window's toolkit, the task pool, the two
// thread runners, the lock and the run state. Made in the order pool, test runner, run
// runner, lock; destroyed, once the run thread and the test thread have ended, in the order
// pool, run state texts, test runner, run runner, lock. Waits of the pool and the runners
// serve the toolkit's messages.
//
// Making it also raises the process's open-file limit to its hard limit: every running check
// holds descriptors, and the thread count allows thousands of checks at once.
class Application {
public:
    explicit Application(shell::Toolkit& toolkit, MillisecondClock clock = &SteadyClockMs);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    shell::Toolkit& Toolkit() { return toolkit_; }
    threading::TaskPool& Pool() { return *pool_; }
    threading::ThreadRunner& TestRunner() { return *testRunner_; }
    threading::ThreadRunner& RunRunner() { return *runRunner_; }
    threading::Lock& GlobalLock() { return *lock_; }
    RunState& State() { return *state_; }
    std::int64_t NowMs() const { return clock_(); }

private:
    shell::Toolkit& toolkit_;
    MillisecondClock clock_;
    std::unique_ptr<threading::TaskPool> pool_;
    std::unique_ptr<threading::ThreadRunner> testRunner_;
    std::unique_ptr<threading::ThreadRunner> runRunner_;
    std::unique_ptr<threading::Lock> lock_;
    std::unique_ptr<RunState> state_;
};

} // namespace pv::engine
