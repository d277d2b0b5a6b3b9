#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <semaphore.h>
#include <sys/types.h>

namespace pv::threading {

// Stack size for the threads this library starts: thousands of workers must stay cheap, and
// nothing they run keeps large buffers on the stack.
inline constexpr std::size_t kThreadStackBytes = 256 * 1024;

// Starts a detached POSIX thread running `body`. False when the thread cannot be made.
bool StartDetachedThread(std::function<void()> body, std::size_t stackBytes = kThreadStackBytes);

// One POSIX thread whose end can be waited for and whose 32-bit result is kept, shared by
// everyone who holds it. The thread holds it too while it runs; whoever lets go of it last
// reclaims the thread, so its native handle stays valid as long as anybody can use it.
class NativeThread : public std::enable_shared_from_this<NativeThread> {
public:
    using Routine = std::function<std::uint32_t(std::uintptr_t parameter)>;

    // The exit code read from a thread that has not ended yet.
    static constexpr std::uint32_t kStillActive = 259;

    // Starts `routine(parameter)` on a new thread; a thread started suspended waits before
    // the routine until Resume. Nothing when the thread cannot be made.
    static std::shared_ptr<NativeThread> Start(Routine routine, std::uintptr_t parameter,
                                               bool suspended,
                                               std::size_t stackBytes = kThreadStackBytes);

    ~NativeThread();
    NativeThread(const NativeThread&) = delete;
    NativeThread& operator=(const NativeThread&) = delete;

    bool HasEnded() const;
    // Waits for the end; std::nullopt waits without limit. True when the thread has ended.
    bool WaitForEnd(std::optional<int> timeoutMs) const;
    // The routine's result once the thread has ended (0 when it was cancelled), else
    // kStillActive.
    std::uint32_t ExitCode() const;

    // Suspension is counted: each Suspend needs its own Resume. Both return the count before
    // the call, or -1 when the thread has ended or could not be reached. Suspend returns only
    // once the thread has really stopped. A running thread is parked inside a signal handler,
    // wherever it is; like any suspension, one that happens while the thread holds a lock
    // blocks everyone who waits for that lock until Resume.
    int Suspend();
    int Resume();

    // Asks the system to cancel the thread. It ends at its next cancellation point (a
    // blocking system call such as a sleep, a wait or a read) and unwinds its stack, running
    // destructors; a thread that only computes is not interrupted. Its exit code becomes 0.
    bool Cancel();

    // The thread's scheduling level on the Windows scale (-15 idle, -2 lowest, -1 below
    // normal, 0 normal, 1 above normal, 2 highest, 15 time critical), mapped to its nice
    // value. Raising it above normal needs the privilege to lower nice values.
    std::optional<int> GetPriority() const;
    bool SetPriority(int priority);
    // Binds the thread to the processors whose bits are set in `mask` (bit 0: processor 0).
    bool SetAffinity(std::uint64_t mask);

private:
    NativeThread(Routine routine, std::uintptr_t parameter, bool suspended);
    static void* Entry(void* self);
    static void OnSuspendSignal(int);
    static void OnResumeSignal(int);
    void Finish(std::uint32_t exitCode);
    void PassStartGate();

    Routine routine_;
    const std::uintptr_t parameter_;
    pthread_t handle_{};
    bool joinable_ = false;
    pid_t tid_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool started_ = false; // tid_ is known
    bool ended_ = false;
    std::uint32_t exitCode_ = kStillActive;
    int suspendCount_ = 0;
    bool inStartGate_ = false;
    // Read by the signal handler, which may not take the mutex.
    std::atomic<bool> parked_{false};
    sem_t parkAcknowledged_{};
    // Keeps the object alive while the thread runs.
    std::shared_ptr<NativeThread> selfWhileRunning_;
};

} // namespace pv::threading
