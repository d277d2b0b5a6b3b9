#include "threading/thread_runner.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace pv::threading {

namespace {

constexpr int kWaitEndSliceMs = 15;
// How long one wait of MsgWaitEnd and of a waiting Start lasts before messages are served.
constexpr int kMessageWaitSliceMs = 10;

} // namespace

ThreadRunner::ThreadRunner(std::function<void()> pump)
    : pump_(std::move(pump)) {}

ThreadRunner::~ThreadRunner() {
    ReleaseHandle();
}

void ThreadRunner::Pump() {
    if (pump_) {
        pump_();
    }
}

bool ThreadRunner::IsFinished() {
    ThreadHandle thread = thread_.load();
    if (!thread) {
        return true;
    }
    if (!thread->HasEnded()) {
        return false;
    }
    thread_.compare_exchange_strong(thread, nullptr);
    return true;
}

void ThreadRunner::WaitStartGuard() {
    for (int pass = 0; pass < 200 && startGuard_.load(); ++pass) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        Pump();
    }
}

bool ThreadRunner::IsRunning() {
    WaitStartGuard();
    const ThreadHandle thread = thread_.load();
    return thread && !thread->HasEnded();
}

ThreadHandle ThreadRunner::RunningThread() {
    return IsFinished() ? nullptr : thread_.load();
}

bool ThreadRunner::Start(ThreadRoutine routine, const StartOptions& options) {
    if (!routine || !IsFinished()) {
        return false;
    }
    bool expected = false;
    if (!startGuard_.compare_exchange_strong(expected, true)) {
        return false;
    }
    ThreadHandle thread =
        NativeThread::Start(std::move(routine), options.parameter, options.suspended);
    thread_.store(thread);
    startGuard_.store(false);
    if (!thread) {
        if (options.handleOut) {
            *options.handleOut = nullptr;
        }
        return false;
    }
    if (options.wait && !options.suspended) {
        const std::optional<int> limit =
            options.timeoutMs >= 1 ? std::optional<int>(options.timeoutMs) : std::nullopt;
        if (WaitServingMessages(thread, limit, /*pumpFirst=*/true)) {
            if (options.exitCodeOut) {
                *options.exitCodeOut = thread->ExitCode();
            }
            thread_.compare_exchange_strong(thread, nullptr);
            if (options.handleOut) {
                *options.handleOut = nullptr;
            }
            return true;
        }
    }
    if (options.handleOut) {
        *options.handleOut = thread;
    }
    return true;
}

bool ThreadRunner::StartStrict(ThreadRoutine routine, const StartOptions& options) {
    return routine && Start(std::move(routine), options);
}

bool ThreadRunner::Wait(std::optional<int> timeoutMs) {
    const ThreadHandle thread = thread_.load();
    return !thread || thread->WaitForEnd(timeoutMs);
}

bool ThreadRunner::WaitEnd(std::optional<int> timeoutMs) {
    const ThreadHandle thread = thread_.load();
    if (!thread) {
        return true;
    }
    if (!timeoutMs || *timeoutMs < 0) {
        while (!thread->WaitForEnd(kWaitEndSliceMs)) {
            Pump();
        }
        return true;
    }
    bool ended = thread->WaitForEnd(*timeoutMs % kWaitEndSliceMs);
    for (int slice = 0; slice < *timeoutMs / kWaitEndSliceMs && !ended; ++slice) {
        Pump();
        ended = thread->WaitForEnd(kWaitEndSliceMs);
    }
    return ended;
}

bool ThreadRunner::MsgWaitEnd(std::optional<int> timeoutMs) {
    const ThreadHandle thread = thread_.load();
    return !thread || WaitServingMessages(thread, timeoutMs, /*pumpFirst=*/false);
}

bool ThreadRunner::WaitServingMessages(const ThreadHandle& thread, std::optional<int> timeoutMs,
                                       bool pumpFirst) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(timeoutMs.value_or(0));
    for (bool first = true;; first = false) {
        if (pumpFirst || !first) {
            Pump();
        }
        int slice = kMessageWaitSliceMs;
        if (timeoutMs) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            slice = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, slice));
        }
        if (thread->WaitForEnd(slice)) {
            return true;
        }
        if (timeoutMs && Clock::now() >= deadline) {
            return false;
        }
    }
}

bool ThreadRunner::Suspend() {
    WaitStartGuard();
    const ThreadHandle thread = RunningThread();
    return thread && thread->Suspend() != -1;
}

bool ThreadRunner::Resume() {
    const ThreadHandle thread = RunningThread();
    return thread && thread->Resume() != -1;
}

bool ThreadRunner::Terminate() {
    WaitStartGuard();
    const ThreadHandle thread = RunningThread();
    if (!thread) {
        return true;
    }
    thread->Cancel();
    return IsFinished();
}

int ThreadRunner::GetPriority() {
    WaitStartGuard();
    const ThreadHandle thread = RunningThread();
    return thread ? thread->GetPriority().value_or(0) : 0;
}

bool ThreadRunner::SetPriority(int priority) {
    WaitStartGuard();
    const ThreadHandle thread = RunningThread();
    return thread && thread->SetPriority(priority);
}

bool ThreadRunner::SetAffinity(std::uint64_t mask) {
    WaitStartGuard();
    const ThreadHandle thread = RunningThread();
    return thread && thread->SetAffinity(mask);
}

bool ThreadRunner::ReleaseHandle() {
    thread_.store(nullptr);
    return true;
}

std::uint32_t ThreadRunner::ExitCode() {
    const ThreadHandle thread = thread_.load();
    return thread ? thread->ExitCode() : 0;
}

ThreadHandle ThreadRunner::Handle() const {
    return thread_.load();
}

} // namespace pv::threading
