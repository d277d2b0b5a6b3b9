#pragma once

#include "threading/task_queue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace pv::threading {

// Runs short tasks on worker threads fed from one first-in first-out queue.
//
// Create starts a number of workers; a manager thread adds workers, up to a maximum, while
// every worker is busy and tasks wait, and the workers it adds retire after an idle time-out
// (the pool never shrinks below the workers Create started). A run gate pauses the pool:
// a worker that has taken a packet holds it until the gate opens. Stop comes in four modes:
//
//   mode  tasks still queued   caller waits until Stopped
//   0     dropped              yes
//   1     run                  yes
//   2     dropped              no
//   3     run                  no
//
// and a mode outside 0..3 counts as 0. In every mode a task already inside its routine runs
// to its end.
//
// The state moves by atomic compare-exchange and exchange, the counters by atomic increment
// and decrement; no lock guards them. The waits of Create, Stop and Pause call `pump` between
// their checks (the toolkit's message pump when the UI thread calls them).
//
// The workers and the manager share the pool's inner state, so destroying the TaskPool
// while they still run is safe: it stops the pool without waiting, and the last thread to
// leave frees what is left. Not copyable.
enum PoolState : int { kStopped = 0, kRunning = 1, kStarting = 2, kStopping = 3 };

class TaskPool {
public:
    explicit TaskPool(std::function<void()> pump = {});
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    // Starts `threads` workers (default 5, at least 1) with a ceiling of `maxThreads` for the
    // manager (default 20; a given value below `threads` is raised to it) and the idle
    // time-out of added workers (default 10000 ms, at least 100). True once at least one
    // worker runs; false when the pool is not Stopped or nothing could be started.
    bool Create(std::optional<int> threads = std::nullopt,
                std::optional<int> maxThreads = std::nullopt,
                std::optional<int> idleTimeoutMs = std::nullopt);
    // True when stopped, stopping begun without waiting, or Stopped already; false when the
    // pool is Starting or Stopping, or the time-out (above 0) ran out.
    bool Stop(int mode = 0, int timeoutMs = 0);
    // Closes the run gate; with `wait`, waits (up to the time-out) until no task runs. False
    // when the pool is not Running.
    bool Pause(bool wait = false, std::optional<int> timeoutMs = std::nullopt);
    bool Resume();

    // Queues a task; false when the pool is not Running or the routine is empty.
    bool Post(TaskRoutine routine, std::int32_t argument1 = 0, std::int32_t argument2 = 0);
    // The same with a plain function; false for a null one.
    bool PostAddress(void (*routine)(std::int32_t, std::int32_t), std::int32_t argument1 = 0,
                     std::int32_t argument2 = 0);

    // Waits until a task has finished since the last such wait, or Stop was called. False on
    // time-out or when the pool is not Running.
    bool WaitTaskDone(std::optional<int> timeoutMs = std::nullopt);

    int FreeWorkers() const; // ThreadCount() - BusyCount()
    int BusyCount() const;
    int QueuedCount() const; // posted and not yet taken into a routine
    int ThreadCount() const;
    bool IsIdle() const; // nothing queued and nothing running
    PoolState State() const;
    int MaxThreads() const;
    int IdleTimeoutMs() const;

    // Sets the manager's ceiling while Running. A count below ThreadCount() keeps the
    // current ceiling: workers are never stopped to meet it.
    void SetMaxThreads(int count);
    // Sets the idle time-out (at least 100 ms) for workers the manager adds from now on.
    void SetIdleTimeout(int milliseconds);

    struct Core;

private:
    std::shared_ptr<Core> core_;
};

} // namespace pv::threading
