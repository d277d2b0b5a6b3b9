#include "engine/application.h"

#include "threading/tick_count.h"

#include <sys/resource.h>

namespace pv::engine {

namespace {

void RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

std::int64_t SteadyClockMs() {
    return threading::TickCountMs();
}

Application::Application(shell::Toolkit& toolkit, MillisecondClock clock)
    : toolkit_(toolkit)
    , clock_(std::move(clock)) {
    RaiseOpenFileLimit();
    const auto pump = [this] { toolkit_.PumpMessages(); };
    pool_ = std::make_unique<threading::TaskPool>(pump);
    testRunner_ = std::make_unique<threading::ThreadRunner>(pump);
    runRunner_ = std::make_unique<threading::ThreadRunner>(pump);
    lock_ = std::make_unique<threading::Lock>();
    state_ = std::make_unique<RunState>();
}

Application::~Application() {
    // Nothing may go while the run thread or the test thread can still use it. The pool is
    // stopped first, so a run controller still running ends on its own.
    pool_->Stop();
    runRunner_->WaitEnd();
    testRunner_->WaitEnd();
    pool_.reset();
    state_->ReleaseTexts();
    testRunner_.reset();
    runRunner_.reset();
    lock_.reset();
    state_.reset();
}

} // namespace pv::engine
