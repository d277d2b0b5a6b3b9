#include "support/wait_until.h"
#include "threading/events.h"
#include "threading/task_pool.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace pv::threading {
namespace {

using namespace std::chrono_literals;
using pv::testing_support::WaitUntil;

// Tasks that block until released, and tasks that only count, for filling a pool.
class TaskPoolTest : public testing::Test {
protected:
    ~TaskPoolTest() override { release_.Set(); }

    TaskRoutine Blocker() {
        return [this](std::int32_t, std::int32_t) {
            ++entered_;
            release_.Wait();
            ++finished_;
        };
    }
    TaskRoutine Counter() {
        return [this](std::int32_t, std::int32_t) { ++counted_; };
    }
    // Fills every worker with a blocker and waits until each has entered it.
    void OccupyWorkers(TaskPool& pool, int workers) {
        for (int i = 0; i < workers; ++i) {
            ASSERT_TRUE(pool.Post(Blocker()));
        }
        ASSERT_TRUE(WaitUntil([&] { return entered_.load() == workers; }));
    }

    ManualResetEvent release_{false};
    std::atomic<int> entered_{0};
    std::atomic<int> finished_{0};
    std::atomic<int> counted_{0};
};

struct CreateCase {
    const char* name;
    std::optional<int> threads;
    std::optional<int> maxThreads;
    std::optional<int> idleTimeoutMs;
    int expectedThreads;
    int expectedMax;
    int expectedIdleMs;
    friend void PrintTo(const CreateCase& c, std::ostream* os) { *os << c.name; }
};

class TaskPoolCreateTest : public testing::TestWithParam<CreateCase> {};

TEST_P(TaskPoolCreateTest, AppliesDefaultsAndClamps) {
    const CreateCase& c = GetParam();
    TaskPool pool;
    ASSERT_TRUE(pool.Create(c.threads, c.maxThreads, c.idleTimeoutMs));
    EXPECT_EQ(pool.State(), kRunning);
    EXPECT_TRUE(WaitUntil([&] { return pool.ThreadCount() == c.expectedThreads; }))
        << pool.ThreadCount();
    EXPECT_EQ(pool.MaxThreads(), c.expectedMax);
    EXPECT_EQ(pool.IdleTimeoutMs(), c.expectedIdleMs);
    EXPECT_EQ(pool.FreeWorkers(), c.expectedThreads);
    EXPECT_TRUE(pool.Stop());
    EXPECT_EQ(pool.State(), kStopped);
    EXPECT_EQ(pool.ThreadCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TaskPoolCreateTest,
    testing::Values(CreateCase{"Defaults", {}, {}, {}, 5, 20, 10000},
                    CreateCase{"ZeroThreads", 0, {}, {}, 1, 20, 10000},
                    CreateCase{"NegativeThreads", -3, {}, {}, 1, 20, 10000},
                    CreateCase{"MaxBelowThreadsIsRaised", 8, 2, {}, 8, 8, 10000},
                    CreateCase{"IdleTimeoutFloor", 2, 4, 50, 2, 4, 100},
                    CreateCase{"ManyThreadsKeepDefaultMax", 500, {}, {}, 500, 20, 10000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TaskPoolTest, RunsEveryTaskWithItsArguments) {
    TaskPool pool;
    ASSERT_TRUE(pool.Create(8));
    std::atomic<long> sum{0};
    constexpr int kTasks = 10000;
    for (int i = 0; i < kTasks; ++i) {
        ASSERT_TRUE(pool.Post([&sum](std::int32_t a, std::int32_t b) { sum += a * 2 + b; }, i, 1));
    }
    EXPECT_TRUE(pool.Stop(1));
    EXPECT_EQ(sum.load(), long{kTasks} * (kTasks - 1) + kTasks);
}

TEST_F(TaskPoolTest, ATaskNeverWaitsBehindALongOneWhileWorkersAreIdle) {
    // Idle workers must be woken for every task that no other worker is about to take, or a
    // short task could sit in the queue for as long as a long one runs.
    TaskPool pool;
    ASSERT_TRUE(pool.Create(4, 4));
    for (int round = 1; round <= 200; ++round) {
        ManualResetEvent longTaskDone(false);
        ASSERT_TRUE(pool.Post([&](std::int32_t, std::int32_t) { longTaskDone.Wait(); }));
        ASSERT_TRUE(pool.Post(Counter()));
        ASSERT_TRUE(WaitUntil([&] { return counted_.load() == round; }, 5s))
            << "round " << round << ": the short task waited behind the long one";
        longTaskDone.Set();
        ASSERT_TRUE(WaitUntil([&] { return pool.IsIdle(); }));
    }
    EXPECT_TRUE(pool.Stop());
}

TEST_F(TaskPoolTest, CreateIsRefusedUnlessStopped) {
    // While starting: the pump runs inside Create.
    TaskPool* self = nullptr;
    std::optional<bool> nestedCreate;
    std::optional<PoolState> stateSeenByPump;
    TaskPool pool([&] {
        if (self != nullptr && !nestedCreate) {
            stateSeenByPump = self->State();
            nestedCreate = self->Create();
        }
    });
    self = &pool;
    ASSERT_TRUE(pool.Create(1, 1));
    ASSERT_TRUE(nestedCreate);
    EXPECT_EQ(stateSeenByPump, kStarting);
    EXPECT_FALSE(*nestedCreate);

    // While running.
    EXPECT_FALSE(pool.Create(4));
    EXPECT_EQ(pool.ThreadCount(), 1);

    // While stopping.
    OccupyWorkers(pool, 1);
    EXPECT_TRUE(pool.Stop(3));
    EXPECT_EQ(pool.State(), kStopping);
    EXPECT_FALSE(pool.Create());
    release_.Set();
    ASSERT_TRUE(WaitUntil([&] { return pool.State() == kStopped; }));

    // Once stopped the pool can be created again.
    EXPECT_TRUE(pool.Create(2));
    EXPECT_TRUE(pool.Stop());
}

TEST_F(TaskPoolTest, PostIsRefusedOutsideARunAndWithoutRoutine) {
    TaskPool pool;
    EXPECT_FALSE(pool.Post(Counter()));
    ASSERT_TRUE(pool.Create(1));
    EXPECT_FALSE(pool.Post(TaskRoutine{}));
    EXPECT_FALSE(pool.PostAddress(nullptr));
    EXPECT_EQ(pool.QueuedCount(), 0);
    EXPECT_TRUE(pool.PostAddress([](std::int32_t, std::int32_t) {}));
    EXPECT_TRUE(pool.Stop(1));
    EXPECT_FALSE(pool.Post(Counter()));
    EXPECT_EQ(pool.QueuedCount(), 0);
}

struct StopCase {
    const char* name;
    int mode;
    bool queuedTasksRun;
    bool callerWaits;
    friend void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }
};

class TaskPoolStopTest : public TaskPoolTest, public testing::WithParamInterface<StopCase> {};

TEST_P(TaskPoolStopTest, HandlesTasksQueuedBehindBusyWorkers) {
    const StopCase& c = GetParam();
    TaskPool pool;
    ASSERT_TRUE(pool.Create(2, 2));
    OccupyWorkers(pool, 2);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(pool.Post(Counter()));
    }
    EXPECT_EQ(pool.QueuedCount(), 5);
    EXPECT_EQ(pool.FreeWorkers(), 0);

    if (c.callerWaits) {
        auto stopped = std::async(std::launch::async, [&] { return pool.Stop(c.mode); });
        ASSERT_TRUE(WaitUntil([&] { return pool.State() == kStopping; }));
        // Stop decides the fate of the queued tasks right after it enters Stopping; the
        // blockers hold both workers until then.
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(stopped.wait_for(0s), std::future_status::timeout) << "Stop did not wait";
        release_.Set();
        EXPECT_TRUE(stopped.get());
    } else {
        EXPECT_TRUE(pool.Stop(c.mode));
        EXPECT_EQ(pool.State(), kStopping);
        release_.Set();
        ASSERT_TRUE(WaitUntil([&] { return pool.State() == kStopped; }));
    }
    EXPECT_EQ(pool.State(), kStopped);
    EXPECT_EQ(finished_.load(), 2);
    EXPECT_EQ(counted_.load(), c.queuedTasksRun ? 5 : 0);
    EXPECT_EQ(pool.QueuedCount(), 0);
    EXPECT_EQ(pool.ThreadCount(), 0);
    EXPECT_EQ(pool.BusyCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, TaskPoolStopTest,
                         testing::Values(StopCase{"DropAndWait", 0, false, true},
                                         StopCase{"RunAndWait", 1, true, true},
                                         StopCase{"DropAndReturn", 2, false, false},
                                         StopCase{"RunAndReturn", 3, true, false},
                                         StopCase{"ModeSevenIsZero", 7, false, true},
                                         StopCase{"NegativeModeIsZero", -1, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TaskPoolTest, StopOnAStoppedPoolSucceedsAndASecondStopIsRefused) {
    TaskPool pool;
    EXPECT_TRUE(pool.Stop());
    ASSERT_TRUE(pool.Create(1, 1));
    OccupyWorkers(pool, 1);
    auto first = std::async(std::launch::async, [&] { return pool.Stop(); });
    ASSERT_TRUE(WaitUntil([&] { return pool.State() == kStopping; }));
    EXPECT_FALSE(pool.Stop());
    release_.Set();
    EXPECT_TRUE(first.get());
    EXPECT_TRUE(pool.Stop());
}

TEST_F(TaskPoolTest, StopGivesUpAfterItsTimeOut) {
    TaskPool pool;
    ASSERT_TRUE(pool.Create(1, 1));
    OccupyWorkers(pool, 1);
    EXPECT_FALSE(pool.Stop(0, 50));
    EXPECT_EQ(pool.State(), kStopping);
    release_.Set();
    ASSERT_TRUE(WaitUntil([&] { return pool.State() == kStopped; }));
}

TEST_F(TaskPoolTest, PauseHoldsPacketsAtTheGateUntilResume) {
    TaskPool pool;
    EXPECT_FALSE(pool.Pause());
    EXPECT_FALSE(pool.Resume());
    ASSERT_TRUE(pool.Create(2, 2));
    EXPECT_TRUE(pool.Pause());
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(pool.Post(Counter()));
    }
    // Nothing may start while paused; give the workers time in which they would.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(counted_.load(), 0);
    EXPECT_EQ(pool.BusyCount(), 0);
    EXPECT_EQ(pool.QueuedCount(), 3);
    EXPECT_TRUE(pool.Resume());
    EXPECT_TRUE(WaitUntil([&] { return counted_.load() == 3; }));
    EXPECT_TRUE(WaitUntil([&] { return pool.IsIdle(); }));
    EXPECT_TRUE(pool.Stop());
}

TEST_F(TaskPoolTest, PauseWithWaitReturnsAfterItsTimeOutWhileTasksRun) {
    TaskPool pool;
    ASSERT_TRUE(pool.Create(1, 1));
    OccupyWorkers(pool, 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(pool.Pause(true, 100));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_EQ(pool.BusyCount(), 1);
    release_.Set();
    EXPECT_TRUE(pool.Pause(true)); // returns once the running task has finished
    EXPECT_EQ(pool.BusyCount(), 0);
    EXPECT_TRUE(pool.Stop());
}

TEST_F(TaskPoolTest, StopWhilePausedOpensTheGate) {
    TaskPool pool;
    ASSERT_TRUE(pool.Create(2, 2));
    ASSERT_TRUE(pool.Pause());
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(pool.Post(Counter()));
    }
    EXPECT_TRUE(pool.Stop(1));
    EXPECT_EQ(counted_.load(), 3);
}

TEST_F(TaskPoolTest, WaitTaskDone) {
    TaskPool pool;
    EXPECT_FALSE(pool.WaitTaskDone());
    ASSERT_TRUE(pool.Create(1, 1));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(pool.WaitTaskDone(100));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);

    ASSERT_TRUE(pool.Post(Counter()));
    EXPECT_TRUE(pool.WaitTaskDone());
    EXPECT_EQ(counted_.load(), 1);

    // Stop releases a caller that waits without limit.
    auto waiting = std::async(std::launch::async, [&] { return pool.WaitTaskDone(); });
    EXPECT_TRUE(pool.Stop());
    EXPECT_EQ(waiting.wait_for(10s), std::future_status::ready);
}

TEST_F(TaskPoolTest, ManagerGrowsThePoolUpToItsMaximumAndAddedWorkersRetire) {
    TaskPool pool;
    ASSERT_TRUE(pool.Create(1, 3, 100));
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(pool.Post(Blocker()));
    }
    EXPECT_TRUE(WaitUntil([&] { return entered_.load() == 3; }));
    EXPECT_EQ(pool.ThreadCount(), 3);
    std::this_thread::sleep_for(50ms); // room to grow past the maximum, which it must not
    EXPECT_EQ(pool.ThreadCount(), 3);
    EXPECT_EQ(pool.QueuedCount(), 2);

    release_.Set();
    ASSERT_TRUE(WaitUntil([&] { return finished_.load() == 5; }));
    // The two added workers retire after 100 ms without a packet; the one Create started
    // stays.
    EXPECT_TRUE(WaitUntil([&] { return pool.ThreadCount() == 1; }));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(pool.ThreadCount(), 1);
    EXPECT_TRUE(pool.Stop());
}

TEST_F(TaskPoolTest, ManagerAddsNothingWhenCreateStartedTheMaximumAlready) {
    TaskPool pool;
    ASSERT_TRUE(pool.Create(25)); // above the default maximum of 20
    OccupyWorkers(pool, 25);
    ASSERT_TRUE(pool.Post(Counter()));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(pool.ThreadCount(), 25);
    release_.Set();
    EXPECT_TRUE(pool.Stop(1));
    EXPECT_EQ(counted_.load(), 1);
}

TEST_F(TaskPoolTest, SetMaxThreadsBelowTheThreadCountKeepsTheCeiling) {
    TaskPool pool;
    ASSERT_TRUE(pool.Create(3, 6));
    pool.SetMaxThreads(1);
    EXPECT_EQ(pool.MaxThreads(), 6);
    pool.SetMaxThreads(10);
    EXPECT_EQ(pool.MaxThreads(), 10);
    pool.SetIdleTimeout(5);
    EXPECT_EQ(pool.IdleTimeoutMs(), 100);
    EXPECT_TRUE(pool.Stop());
    pool.SetMaxThreads(50); // ignored outside a run
    EXPECT_EQ(pool.MaxThreads(), 10);
}

TEST_F(TaskPoolTest, DestroyingARunningPoolLetsItsTasksFinish) {
    auto pool = std::make_unique<TaskPool>();
    ASSERT_TRUE(pool->Create(4, 4));
    OccupyWorkers(*pool, 4);
    pool.reset();
    release_.Set();
    EXPECT_TRUE(WaitUntil([&] { return finished_.load() == 4; }));
}

} // namespace
} // namespace pv::threading
