#include "threading/native_thread.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sched.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#include <utility>

namespace pv::threading {

namespace {

// The thread's own NativeThread, for the signal handlers.
thread_local NativeThread* tCurrentThread = nullptr;

int SuspendSignal() {
    return SIGRTMIN + 6;
}

int ResumeSignal() {
    return SIGRTMIN + 7;
}

class ThreadAttributes {
public:
    explicit ThreadAttributes(std::size_t stackBytes) {
        pthread_attr_init(&attributes_);
        pthread_attr_setstacksize(&attributes_,
                                  std::max<std::size_t>(stackBytes, PTHREAD_STACK_MIN));
    }
    ~ThreadAttributes() { pthread_attr_destroy(&attributes_); }
    ThreadAttributes(const ThreadAttributes&) = delete;
    ThreadAttributes& operator=(const ThreadAttributes&) = delete;

    pthread_attr_t* get() { return &attributes_; }

private:
    pthread_attr_t attributes_;
};

void* RunDetachedBody(void* raw) {
    const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(raw));
    (*body)();
    return nullptr;
}

// A thread that is past its routine must not be parked any more: it may be about to take the
// mutex that Resume needs.
void BlockSuspendSignal() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SuspendSignal());
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

struct PriorityLevel {
    int windowsLevel;
    int nice;
};

constexpr std::array<PriorityLevel, 7> kPriorityLevels{
    {{15, -20}, {2, -10}, {1, -5}, {0, 0}, {-1, 5}, {-2, 10}, {-15, 19}}};

} // namespace

bool StartDetachedThread(std::function<void()> body, std::size_t stackBytes) {
    ThreadAttributes attributes(stackBytes);
    pthread_attr_setdetachstate(attributes.get(), PTHREAD_CREATE_DETACHED);
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    pthread_t thread;
    if (pthread_create(&thread, attributes.get(), &RunDetachedBody, owned.get()) != 0) {
        return false;
    }
    owned.release(); // the thread owns it now
    return true;
}

NativeThread::NativeThread(Routine routine, std::uintptr_t parameter, bool suspended)
    : routine_(std::move(routine))
    , parameter_(parameter)
    , suspendCount_(suspended ? 1 : 0)
    , inStartGate_(true) {
    sem_init(&parkAcknowledged_, 0, 0);
}

NativeThread::~NativeThread() {
    if (joinable_) {
        if (pthread_equal(pthread_self(), handle_)) {
            pthread_detach(handle_);
        } else {
            pthread_join(handle_, nullptr);
        }
    }
    sem_destroy(&parkAcknowledged_);
}

std::shared_ptr<NativeThread> NativeThread::Start(Routine routine, std::uintptr_t parameter,
                                                  bool suspended, std::size_t stackBytes) {
    static std::once_flag handlersInstalled;
    std::call_once(handlersInstalled, [] {
        struct sigaction action {};
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        // While parked the thread must not take a resume signal before it waits for one.
        sigaddset(&action.sa_mask, ResumeSignal());
        action.sa_handler = &NativeThread::OnSuspendSignal;
        sigaction(SuspendSignal(), &action, nullptr);
        sigemptyset(&action.sa_mask);
        action.sa_handler = &NativeThread::OnResumeSignal;
        sigaction(ResumeSignal(), &action, nullptr);
    });

    std::shared_ptr<NativeThread> thread(
        new NativeThread(std::move(routine), parameter, suspended));
    thread->selfWhileRunning_ = thread;
    ThreadAttributes attributes(stackBytes);
    if (pthread_create(&thread->handle_, attributes.get(), &NativeThread::Entry, thread.get()) !=
        0) {
        thread->selfWhileRunning_.reset();
        return nullptr;
    }
    thread->joinable_ = true;
    std::unique_lock lock(thread->mutex_);
    thread->changed_.wait(lock, [&] { return thread->started_; });
    return thread;
}

void* NativeThread::Entry(void* raw) {
    auto* self = static_cast<NativeThread*>(raw);
    const std::shared_ptr<NativeThread> keepAlive = std::move(self->selfWhileRunning_);
    tCurrentThread = self;
    {
        std::lock_guard lock(self->mutex_);
        self->tid_ = ::gettid();
        self->started_ = true;
    }
    self->changed_.notify_all();
    // A cancelled thread unwinds its stack; the guard records its end with exit code 0.
    struct EndOnUnwind {
        NativeThread* thread;
        bool ended = false;
        ~EndOnUnwind() {
            if (!ended) {
                BlockSuspendSignal();
                thread->Finish(0);
            }
        }
    } guard{self};
    self->PassStartGate();
    const std::uint32_t exitCode = self->routine_(self->parameter_);
    BlockSuspendSignal();
    self->Finish(exitCode);
    guard.ended = true;
    return nullptr;
}

void NativeThread::PassStartGate() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return suspendCount_ == 0; });
    inStartGate_ = false;
}

void NativeThread::Finish(std::uint32_t exitCode) {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        exitCode_ = exitCode;
    }
    changed_.notify_all();
}

void NativeThread::OnSuspendSignal(int) {
    NativeThread* self = tCurrentThread;
    if (self == nullptr || !self->parked_.load()) {
        return;
    }
    const int savedErrno = errno;
    sem_post(&self->parkAcknowledged_);
    // The resume signal is blocked here (see the handler's mask), so one sent between the
    // check and sigsuspend stays pending and ends the sigsuspend at once.
    sigset_t waitMask;
    pthread_sigmask(SIG_SETMASK, nullptr, &waitMask);
    sigdelset(&waitMask, ResumeSignal());
    while (self->parked_.load()) {
        sigsuspend(&waitMask);
    }
    errno = savedErrno;
}

void NativeThread::OnResumeSignal(int) {}

bool NativeThread::HasEnded() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

bool NativeThread::WaitForEnd(std::optional<int> timeoutMs) const {
    std::unique_lock lock(mutex_);
    const auto ended = [this] { return ended_; };
    if (!timeoutMs) {
        changed_.wait(lock, ended);
        return true;
    }
    return changed_.wait_for(lock, std::chrono::milliseconds(std::max(0, *timeoutMs)), ended);
}

std::uint32_t NativeThread::ExitCode() const {
    std::lock_guard lock(mutex_);
    return exitCode_;
}

int NativeThread::Suspend() {
    {
        std::lock_guard lock(mutex_);
        if (ended_) {
            return -1;
        }
        const int before = suspendCount_++;
        if (before > 0 || inStartGate_) {
            return before;
        }
        parked_.store(true);
    }
    if (pthread_kill(handle_, SuspendSignal()) != 0) {
        std::lock_guard lock(mutex_);
        --suspendCount_;
        parked_.store(false);
        return -1;
    }
    // Return only once the thread is parked, or has ended and never will be.
    while (true) {
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_nsec += 10'000'000;
        if (deadline.tv_nsec >= 1'000'000'000) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1'000'000'000;
        }
        if (sem_timedwait(&parkAcknowledged_, &deadline) == 0) {
            return 0;
        }
        if (HasEnded()) {
            std::lock_guard lock(mutex_);
            suspendCount_ = 0;
            parked_.store(false);
            return -1;
        }
    }
}

int NativeThread::Resume() {
    bool wake = false;
    int before = 0;
    {
        std::lock_guard lock(mutex_);
        if (ended_) {
            return -1;
        }
        before = suspendCount_;
        if (before == 0) {
            return 0;
        }
        if (--suspendCount_ == 0) {
            wake = parked_.exchange(false);
        }
    }
    changed_.notify_all(); // a thread waiting in its start gate
    if (wake) {
        pthread_kill(handle_, ResumeSignal());
    }
    return before;
}

bool NativeThread::Cancel() {
    return !HasEnded() && pthread_cancel(handle_) == 0;
}

std::optional<int> NativeThread::GetPriority() const {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid_));
    if (nice == -1 && errno != 0) {
        return std::nullopt;
    }
    const PriorityLevel* nearest = &kPriorityLevels[0];
    for (const PriorityLevel& level : kPriorityLevels) {
        if (std::abs(level.nice - nice) < std::abs(nearest->nice - nice)) {
            nearest = &level;
        }
    }
    return nearest->windowsLevel;
}

bool NativeThread::SetPriority(int priority) {
    for (const PriorityLevel& level : kPriorityLevels) {
        if (level.windowsLevel == priority) {
            return setpriority(PRIO_PROCESS, static_cast<id_t>(tid_), level.nice) == 0;
        }
    }
    return false;
}

bool NativeThread::SetAffinity(std::uint64_t mask) {
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int cpu = 0; cpu < 64; ++cpu) {
        if ((mask >> cpu) & 1U) {
            CPU_SET(cpu, &set);
        }
    }
    return mask != 0 && pthread_setaffinity_np(handle_, sizeof set, &set) == 0;
}

} // namespace pv::threading
