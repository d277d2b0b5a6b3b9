#include "threading/task_pool.h"

#include "threading/events.h"
#include "threading/native_thread.h"
#include "threading/tick_count.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

namespace pv::threading {

namespace {

constexpr int kDefaultThreads = 5;
constexpr int kDefaultMaxThreads = 20;
constexpr int kDefaultIdleTimeoutMs = 10000;
constexpr int kMinIdleTimeoutMs = 100;
constexpr int kFailedStartsInARow = 5;

void SleepOneMs() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// What one Create makes for the workers and the manager it starts. Threads that start late
// keep the one they were made for, so a later Create never hands them its own.
struct Channel {
    TaskQueue queue;
    AutoResetEvent wake;     // the manager sleeps on it
    AutoResetEvent taskDone; // set after every finished task and by Stop
    ManualResetEvent runGate{true};
};

} // namespace

struct TaskPool::Core : std::enable_shared_from_this<TaskPool::Core> {
    std::function<void()> pump;
    std::atomic<int> state{kStopped};
    std::atomic<int> running{0};
    std::atomic<int> threadCount{0};
    std::atomic<int> busyCount{0};
    std::atomic<int> queuedCount{0};
    std::atomic<int> managerAlive{0};
    std::atomic<int> maxThreads{0};
    std::atomic<int> idleTimeoutMs{0};
    std::atomic<std::shared_ptr<Channel>> channel;

    void Pump() const {
        if (pump) {
            pump();
        }
    }

    bool GrowthDue() const {
        return busyCount.load() >= threadCount.load() && threadCount.load() < maxThreads.load() &&
               queuedCount.load() > 0;
    }

    bool StartWorker(const std::shared_ptr<Channel>& ch,
                     const std::shared_ptr<AutoResetEvent>& checkIn) {
        return StartDetachedThread(
            [core = shared_from_this(), ch, checkIn] { core->WorkerLoop(*ch, checkIn.get()); });
    }

    void WorkerLoop(Channel& ch, AutoResetEvent* checkIn);
    void ManagerLoop(const std::shared_ptr<Channel>& ch);
};

void TaskPool::Core::WorkerLoop(Channel& ch, AutoResetEvent* checkIn) {
    threadCount.fetch_add(1);
    std::optional<int> takeLimit;
    if (checkIn != nullptr) {
        checkIn->Set();
        takeLimit = idleTimeoutMs.load();
    }
    // Stop posts one leave packet per worker it counted. A worker that counted itself after
    // that would wait for a packet forever, so one that comes in while the pool is stopping
    // leaves at once; one that was counted as well leaves a spare packet, which is harmless.
    if (state.load() != kStopping) {
        while (true) {
            std::optional<TaskPacket> packet = ch.queue.Take(takeLimit);
            ch.runGate.Wait();
            if (running.load() != 1 || !packet || packet->leave) {
                break;
            }
            busyCount.fetch_add(1);
            queuedCount.fetch_sub(1);
            // Tasks posted while this worker was still idle did not ask for growth; now
            // that it is busy, the tasks behind it may.
            if (GrowthDue()) {
                ch.wake.Set();
            }
            packet->routine(packet->argument1, packet->argument2);
            busyCount.fetch_sub(1);
            ch.taskDone.Set();
        }
    }
    if (threadCount.fetch_sub(1) - 1 != 0) {
        return;
    }
    // The last worker to leave closes the run. A worker of a failed Create, whose channel
    // is no longer the pool's, leaves the pool alone.
    ch.queue.Close();
    ch.runGate.Set();
    std::shared_ptr<Channel> current = channel.load();
    if (current.get() != &ch || !channel.compare_exchange_strong(current, nullptr)) {
        return;
    }
    running.store(0);
    threadCount.store(0);
    busyCount.store(0);
    queuedCount.store(0);
    state.exchange(kStopped);
}

void TaskPool::Core::ManagerLoop(const std::shared_ptr<Channel>& ch) {
    ch->wake.Wait();
    if (state.load() == kRunning) {
        const auto checkIn = std::make_shared<AutoResetEvent>();
        int failures = 0;
        while (state.load() == kRunning) {
            if (!GrowthDue()) {
                ch->wake.Wait();
                continue;
            }
            const int before = threadCount.load();
            if (StartWorker(ch, checkIn)) {
                failures = 0;
                checkIn->Wait(before * 10 + 500);
            } else if (++failures == kFailedStartsInARow) {
                maxThreads.store(threadCount.load());
                failures = 0;
            }
        }
    }
    managerAlive.store(0);
}

TaskPool::TaskPool(std::function<void()> pump)
    : core_(std::make_shared<Core>()) {
    core_->pump = std::move(pump);
}

TaskPool::~TaskPool() {
    Stop(2);
}

bool TaskPool::Create(std::optional<int> threads, std::optional<int> maxThreads,
                      std::optional<int> idleTimeoutMs) {
    Core& core = *core_;
    int expected = kStopped;
    if (!core.state.compare_exchange_strong(expected, kStarting)) {
        return false;
    }
    const int workers = threads ? std::max(1, *threads) : kDefaultThreads;
    core.maxThreads.store(maxThreads ? std::max(*maxThreads, workers) : kDefaultMaxThreads);
    core.idleTimeoutMs.store(idleTimeoutMs ? std::max(*idleTimeoutMs, kMinIdleTimeoutMs)
                                           : kDefaultIdleTimeoutMs);
    const auto ch = std::make_shared<Channel>();
    core.channel.store(ch);

    if (!StartDetachedThread([core = core_, ch] { core->ManagerLoop(ch); })) {
        core.running.store(0);
        core.channel.store(nullptr);
        core.state.exchange(kStopped);
        return false;
    }
    core.threadCount.store(0);
    core.busyCount.store(0);
    core.queuedCount.store(0);
    core.running.store(1);

    int started = 0;
    int failuresInARow = 0;
    for (int turn = 0; turn < workers; ++turn) {
        if (core.StartWorker(ch, nullptr)) {
            ++started;
            failuresInARow = 0;
        } else if (++failuresInARow == kFailedStartsInARow) {
            break;
        }
        core.Pump();
    }

    if (started > 0) {
        const std::int64_t begin = TickCountMs();
        while (core.threadCount.load() < started &&
               TickCountMs() - begin < std::int64_t{started} * 10 + 1000) {
            SleepOneMs();
            core.Pump();
        }
    }

    if (core.threadCount.load() == 0) {
        core.running.store(0);
        core.managerAlive.store(-1);
        ch->wake.Set();
        core.Pump();
        for (int pass = 0; core.managerAlive.load() != 0 && pass <= 1000; ++pass) {
            SleepOneMs();
            core.Pump();
        }
        ch->queue.Close();
        core.channel.store(nullptr);
        core.state.exchange(kStopped);
        return false;
    }
    core.managerAlive.store(core.threadCount.load());
    core.state.exchange(kRunning);
    return true;
}

bool TaskPool::Stop(int mode, int timeoutMs) {
    Core& core = *core_;
    int expected = kRunning;
    if (!core.state.compare_exchange_strong(expected, kStopping)) {
        return expected == kStopped;
    }
    if (mode < 0 || mode > 3) {
        mode = 0;
    }
    const std::shared_ptr<Channel> ch = core.channel.load();
    if (ch) {
        ch->taskDone.Set();
        ch->runGate.Set();
        ch->wake.Set();
    }
    core.Pump();

    const int managerPasses = core.threadCount.load() * 10 + 800;
    for (int pass = 0; core.managerAlive.load() != 0 && pass < managerPasses; ++pass) {
        SleepOneMs();
        core.Pump();
    }

    const int workers = core.threadCount.load();
    for (int i = 0; i < workers && ch; ++i) {
        ch->queue.Post(TaskPacket{.routine = {}, .argument1 = -1, .argument2 = -1, .leave = true});
        core.Pump();
    }

    if (mode == 0 || mode == 2) {
        core.running.store(0);
    }
    if (mode == 2 || mode == 3) {
        return true;
    }
    const std::int64_t begin = TickCountMs();
    while (core.state.load() == kStopping) {
        if (timeoutMs > 0 && TickCountMs() - begin > timeoutMs) {
            return false;
        }
        SleepOneMs();
        core.Pump();
    }
    return true;
}

bool TaskPool::Pause(bool wait, std::optional<int> timeoutMs) {
    Core& core = *core_;
    const std::shared_ptr<Channel> ch = core.channel.load();
    if (core.state.load() != kRunning || !ch) {
        return false;
    }
    ch->runGate.Reset();
    if (wait) {
        const std::int64_t begin = TickCountMs();
        while (core.busyCount.load() > 0 && core.state.load() == kRunning &&
               (!timeoutMs || TickCountMs() - begin < *timeoutMs)) {
            core.Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
    }
    return true;
}

bool TaskPool::Resume() {
    const std::shared_ptr<Channel> ch = core_->channel.load();
    if (core_->state.load() != kRunning || !ch) {
        return false;
    }
    ch->runGate.Set();
    return true;
}

bool TaskPool::Post(TaskRoutine routine, std::int32_t argument1, std::int32_t argument2) {
    Core& core = *core_;
    if (!routine || core.state.load() != kRunning) {
        return false;
    }
    const std::shared_ptr<Channel> ch = core.channel.load();
    if (!ch) {
        return false;
    }
    core.queuedCount.fetch_add(1);
    if (!ch->queue.Post(TaskPacket{std::move(routine), argument1, argument2, false})) {
        core.queuedCount.fetch_sub(1);
        return false;
    }
    if (core.GrowthDue()) {
        ch->wake.Set();
    }
    return true;
}

bool TaskPool::PostAddress(void (*routine)(std::int32_t, std::int32_t), std::int32_t argument1,
                           std::int32_t argument2) {
    return routine != nullptr && Post(routine, argument1, argument2);
}

bool TaskPool::WaitTaskDone(std::optional<int> timeoutMs) {
    const std::shared_ptr<Channel> ch = core_->channel.load();
    if (core_->state.load() != kRunning || !ch) {
        return false;
    }
    return ch->taskDone.Wait(timeoutMs);
}

int TaskPool::FreeWorkers() const {
    return core_->threadCount.load() - core_->busyCount.load();
}

int TaskPool::BusyCount() const {
    return core_->busyCount.load();
}

int TaskPool::QueuedCount() const {
    return core_->queuedCount.load();
}

int TaskPool::ThreadCount() const {
    return core_->threadCount.load();
}

bool TaskPool::IsIdle() const {
    return core_->queuedCount.load() == 0 && core_->busyCount.load() == 0;
}

PoolState TaskPool::State() const {
    return static_cast<PoolState>(core_->state.load());
}

int TaskPool::MaxThreads() const {
    return core_->maxThreads.load();
}

int TaskPool::IdleTimeoutMs() const {
    return core_->idleTimeoutMs.load();
}

void TaskPool::SetMaxThreads(int count) {
    Core& core = *core_;
    const std::shared_ptr<Channel> ch = core.channel.load();
    if (core.state.load() != kRunning || !ch) {
        return;
    }
    if (count >= core.threadCount.load()) {
        core.maxThreads.store(count);
    }
    if (core.GrowthDue()) {
        ch->wake.Set();
    }
}

void TaskPool::SetIdleTimeout(int milliseconds) {
    if (core_->state.load() == kRunning) {
        core_->idleTimeoutMs.store(std::max(milliseconds, kMinIdleTimeoutMs));
    }
}

} // namespace pv::threading
