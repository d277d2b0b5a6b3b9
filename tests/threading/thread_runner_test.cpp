#include "support/wait_until.h"
#include "threading/events.h"
#include "threading/thread_runner.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

namespace pv::threading {
namespace {

using namespace std::chrono_literals;
using pv::testing_support::WaitUntil;

class ThreadRunnerTest : public testing::Test {
protected:
    ~ThreadRunnerTest() override {
        release_.Set();
        runner_.Wait();
    }

    // Runs until released, then returns `exitCode`.
    ThreadRoutine Blocking(std::uint32_t exitCode = 0) {
        return [this, exitCode](std::uintptr_t) {
            ++started_;
            release_.Wait();
            return exitCode;
        };
    }
    static ThreadRoutine Returning(std::uint32_t exitCode) {
        return [exitCode](std::uintptr_t) { return exitCode; };
    }

    std::atomic<int> pumps_{0};
    std::atomic<int> started_{0};
    ManualResetEvent release_{false};
    ThreadRunner runner_{[this] { ++pumps_; }};
};

TEST_F(ThreadRunnerTest, RefusesAStartWhileItsThreadRuns) {
    ASSERT_TRUE(runner_.Start(Blocking()));
    ASSERT_TRUE(WaitUntil([&] { return started_.load() == 1; }));
    EXPECT_TRUE(runner_.IsRunning());
    EXPECT_FALSE(runner_.IsFinished());
    EXPECT_FALSE(runner_.Start(Blocking()));
    EXPECT_EQ(runner_.ExitCode(), NativeThread::kStillActive);

    release_.Set();
    EXPECT_TRUE(runner_.WaitEnd());
    EXPECT_FALSE(runner_.IsRunning());
    ASSERT_TRUE(runner_.Start(Returning(3)));
    EXPECT_TRUE(runner_.WaitEnd());
    EXPECT_EQ(runner_.ExitCode(), 3u);
    EXPECT_EQ(started_.load(), 1);
}

TEST_F(ThreadRunnerTest, RefusesAnEmptyRoutine) {
    EXPECT_FALSE(runner_.StartStrict(ThreadRoutine{}, {}));
    EXPECT_FALSE(runner_.Start(ThreadRoutine{}));
    EXPECT_EQ(runner_.Handle(), nullptr);
    EXPECT_TRUE(runner_.IsFinished());
}

TEST_F(ThreadRunnerTest, WaitingStartReportsTheExitCodeAndForgetsTheThread) {
    ThreadHandle handle;
    std::uint32_t exitCode = 0;
    ThreadRunner::StartOptions options;
    options.wait = true;
    options.handleOut = &handle;
    options.exitCodeOut = &exitCode;
    EXPECT_TRUE(runner_.Start(Returning(7), options));
    EXPECT_EQ(exitCode, 7u);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(runner_.Handle(), nullptr);
    EXPECT_GE(pumps_.load(), 1) << "a waiting Start serves messages";
}

TEST_F(ThreadRunnerTest, WaitingStartWithATimeOutHandsBackTheRunningThread) {
    ThreadHandle handle;
    ThreadRunner::StartOptions options;
    options.wait = true;
    options.timeoutMs = 50;
    options.handleOut = &handle;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(runner_.Start(Blocking(), options));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle, runner_.Handle());
    EXPECT_FALSE(handle->HasEnded());
    release_.Set();
    EXPECT_TRUE(runner_.WaitEnd());
    EXPECT_TRUE(handle->HasEnded());
}

TEST_F(ThreadRunnerTest, SuspendedStartDoesNotWaitAndRunsOnResume) {
    ThreadHandle handle;
    ThreadRunner::StartOptions options;
    options.suspended = true;
    options.wait = true;
    options.handleOut = &handle;
    ASSERT_TRUE(runner_.Start(Returning(5), options));
    EXPECT_NE(handle, nullptr);
    EXPECT_FALSE(runner_.Wait(50)) << "a thread started suspended must not run";
    EXPECT_TRUE(runner_.Resume());
    EXPECT_TRUE(runner_.WaitEnd());
    EXPECT_EQ(runner_.ExitCode(), 5u);
}

TEST_F(ThreadRunnerTest, WaitsWithoutAThreadReturnAtOnce) {
    EXPECT_TRUE(runner_.Wait());
    EXPECT_TRUE(runner_.WaitEnd());
    EXPECT_TRUE(runner_.MsgWaitEnd());
    EXPECT_EQ(runner_.ExitCode(), 0u);
    EXPECT_EQ(pumps_.load(), 0);
}

struct SliceCase {
    int timeoutMs;
    int expectedPumps;
};

TEST_F(ThreadRunnerTest, WaitEndServesMessagesBetweenFifteenMillisecondSlices) {
    ASSERT_TRUE(runner_.Start(Blocking()));
    // 40 ms: a 10 ms wait, then two slices of 15 ms with messages served before each.
    for (const SliceCase c : {SliceCase{40, 2}, SliceCase{10, 0}, SliceCase{0, 0}}) {
        pumps_ = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(runner_.WaitEnd(c.timeoutMs));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(c.timeoutMs));
        EXPECT_EQ(pumps_.load(), c.expectedPumps) << "time-out " << c.timeoutMs;
    }
    EXPECT_FALSE(runner_.Wait(20));
    release_.Set();
    EXPECT_TRUE(runner_.WaitEnd());
}

TEST_F(ThreadRunnerTest, MsgWaitEndServesMessagesUntilItsTimeOut) {
    ASSERT_TRUE(runner_.Start(Blocking()));
    EXPECT_FALSE(runner_.MsgWaitEnd(40));
    EXPECT_GE(pumps_.load(), 1);
    release_.Set();
    EXPECT_TRUE(runner_.MsgWaitEnd());
}

TEST_F(ThreadRunnerTest, ExitCodeAfterWaitEnd) {
    for (const std::uint32_t code : {1u, 0u, 0xFFFFFFFFu}) {
        ASSERT_TRUE(runner_.Start(Returning(code)));
        EXPECT_TRUE(runner_.WaitEnd());
        EXPECT_EQ(runner_.ExitCode(), code);
    }
}

TEST_F(ThreadRunnerTest, OperationsOnAnEndedThreadForgetIt) {
    ASSERT_TRUE(runner_.Start(Returning(1)));
    ASSERT_TRUE(runner_.WaitEnd());
    ASSERT_NE(runner_.Handle(), nullptr);
    EXPECT_FALSE(runner_.Suspend());
    EXPECT_EQ(runner_.Handle(), nullptr);

    const auto expectRefusedOnEnded = [&](const char* what, auto operation) {
        ASSERT_TRUE(runner_.Start(Returning(1)));
        ASSERT_TRUE(runner_.WaitEnd());
        EXPECT_FALSE(operation()) << what;
        EXPECT_EQ(runner_.Handle(), nullptr) << what;
    };
    expectRefusedOnEnded("Resume", [&] { return runner_.Resume(); });
    expectRefusedOnEnded("GetPriority", [&] { return runner_.GetPriority() != 0; });
    expectRefusedOnEnded("SetPriority", [&] { return runner_.SetPriority(1); });
    expectRefusedOnEnded("SetAffinity", [&] { return runner_.SetAffinity(1); });
    expectRefusedOnEnded("Terminate", [&] { return !runner_.Terminate(); });
}

TEST_F(ThreadRunnerTest, SuspendStopsProgressUntilResume) {
    std::atomic<bool> quit{false};
    std::atomic<long> progress{0};
    ASSERT_TRUE(runner_.Start([&](std::uintptr_t) -> std::uint32_t {
        while (!quit.load(std::memory_order_relaxed)) {
            progress.fetch_add(1, std::memory_order_relaxed);
        }
        return 0;
    }));
    ASSERT_TRUE(WaitUntil([&] { return progress.load() > 0; }));

    ASSERT_TRUE(runner_.Suspend());
    const long parkedAt = progress.load();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(progress.load(), parkedAt) << "the thread went on while suspended";

    // Suspension is counted: two suspends need two resumes.
    ASSERT_TRUE(runner_.Suspend());
    ASSERT_TRUE(runner_.Resume());
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(progress.load(), parkedAt);
    ASSERT_TRUE(runner_.Resume());
    EXPECT_TRUE(WaitUntil([&] { return progress.load() > parkedAt; }));

    quit = true;
    EXPECT_TRUE(runner_.WaitEnd());
}

TEST_F(ThreadRunnerTest, TerminateEndsABlockedThreadAndUnwindsIt) {
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer loses track of the locks a thread takes while it is being cancelled and
    // reports races that are none.
    GTEST_SKIP() << "thread cancellation under ThreadSanitizer";
#endif
    std::atomic<bool> unwound{false};
    struct SetOnExit {
        std::atomic<bool>& flag;
        ~SetOnExit() { flag = true; }
    };
    ASSERT_TRUE(runner_.Start([&](std::uintptr_t) -> std::uint32_t {
        SetOnExit guard{unwound};
        ++started_;
        while (true) {
            std::this_thread::sleep_for(10ms); // a cancellation point
        }
    }));
    ASSERT_TRUE(WaitUntil([&] { return started_.load() == 1; }));
    const ThreadHandle thread = runner_.Handle();
    runner_.Terminate();
    EXPECT_TRUE(thread->WaitForEnd(10000));
    EXPECT_TRUE(unwound.load());
    EXPECT_EQ(thread->ExitCode(), 0u);
    EXPECT_TRUE(runner_.Terminate());
}

TEST_F(ThreadRunnerTest, PriorityAndAffinityOfARunningThread) {
    ASSERT_TRUE(runner_.Start(Blocking()));
    EXPECT_EQ(runner_.GetPriority(), 0);
    EXPECT_TRUE(runner_.SetPriority(-1));
    EXPECT_EQ(runner_.GetPriority(), -1);
    EXPECT_FALSE(runner_.SetPriority(7)); // no such level
    EXPECT_TRUE(runner_.SetAffinity(1));
    EXPECT_FALSE(runner_.SetAffinity(0));
    release_.Set();
    EXPECT_TRUE(runner_.WaitEnd());
}

TEST_F(ThreadRunnerTest, ReleaseHandleLeavesTheThreadRunning) {
    ASSERT_TRUE(runner_.Start(Blocking(9)));
    const ThreadHandle thread = runner_.Handle();
    EXPECT_TRUE(runner_.ReleaseHandle());
    EXPECT_EQ(runner_.Handle(), nullptr);
    EXPECT_TRUE(runner_.IsFinished());
    EXPECT_FALSE(thread->HasEnded());
    release_.Set();
    EXPECT_TRUE(thread->WaitForEnd(10000));
    EXPECT_EQ(thread->ExitCode(), 9u);
}

} // namespace
} // namespace pv::threading
