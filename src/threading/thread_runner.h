#pragma once

#include "threading/native_thread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace pv::threading {

// A handle to a thread a runner started. Copies share the thread; the runner keeps one of
// its own until it forgets the thread.
using ThreadHandle = std::shared_ptr<NativeThread>;
using ThreadRoutine = NativeThread::Routine;

// Owns at most one thread at a time: starts a routine on a new thread, refuses to start
// another while it runs, waits for its end (with or without serving the owner's messages in
// between), and reads the routine's 32-bit result as the thread's exit code.
//
// Waits that serve messages call `pump`, which the owner supplies (the toolkit's message
// pump on the UI thread; nothing in plain use). Timed waits take milliseconds; std::nullopt
// waits without limit. Not copyable.
class ThreadRunner {
public:
    struct StartOptions {
        std::uintptr_t parameter = 0;
        // Create the thread suspended: the routine starts only on Resume.
        bool suspended = false;
        // Wait for the end, serving messages, for at most timeoutMs (below 1: no limit).
        bool wait = false;
        int timeoutMs = 0;
        // Receives the thread while it still runs after the call, else nothing.
        ThreadHandle* handleOut = nullptr;
        // Receives the exit code when the waited-for thread ended.
        std::uint32_t* exitCodeOut = nullptr;
    };

    explicit ThreadRunner(std::function<void()> pump = {});
    ~ThreadRunner();
    ThreadRunner(const ThreadRunner&) = delete;
    ThreadRunner& operator=(const ThreadRunner&) = delete;

    // True when no thread runs. Forgets the thread once it has ended; whether the handle is
    // "closed" or only forgotten makes no difference here, as handles are shared.
    bool IsFinished();
    bool IsRunning();

    // Starts the routine unless the last thread still runs or another Start is under way.
    // True when the thread was made (and, when waiting, ended or the time-out ran out).
    // An empty routine is refused.
    bool Start(ThreadRoutine routine, const StartOptions& options);
    bool Start(ThreadRoutine routine) { return Start(std::move(routine), StartOptions{}); }
    bool StartStrict(ThreadRoutine routine, const StartOptions& options);

    // True when the thread has ended or there is none; false when the time-out ran out.
    // Wait serves no messages.
    bool Wait(std::optional<int> timeoutMs = std::nullopt);
    // Waits in 15 ms slices and serves messages between them: a time-out t waits t mod 15 ms
    // first, then at most t div 15 slices. No time-out, or any negative one, waits without
    // limit.
    bool WaitEnd(std::optional<int> timeoutMs = std::nullopt);
    // Waits and serves messages between short waits, for at most the time-out in all.
    bool MsgWaitEnd(std::optional<int> timeoutMs = std::nullopt);

    // See NativeThread for what suspension, cancellation and priorities mean on Linux. Each
    // returns false (GetPriority: 0) when no thread runs, and forgets an ended thread.
    bool Suspend();
    bool Resume();
    bool Terminate(); // true when the thread is found ended afterwards
    int GetPriority();
    bool SetPriority(int priority);
    bool SetAffinity(std::uint64_t mask);

    // Forgets the thread, which runs on. Always true.
    bool ReleaseHandle();
    // The ended thread's exit code; NativeThread::kStillActive while it runs; 0 without one.
    std::uint32_t ExitCode();
    ThreadHandle Handle() const;

private:
    void WaitStartGuard();
    // The running thread, after forgetting an ended one; nothing when none runs.
    ThreadHandle RunningThread();
    // Waits for `thread` to end, serving messages before each short wait (and first too
    // when `pumpFirst`), for at most `timeoutMs` in all.
    bool WaitServingMessages(const ThreadHandle& thread, std::optional<int> timeoutMs,
                             bool pumpFirst);
    void Pump();

    std::function<void()> pump_;
    std::atomic<ThreadHandle> thread_;
    std::atomic<bool> startGuard_{false};
};

} // namespace pv::threading
