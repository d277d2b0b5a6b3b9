// Task pool figures: empty tasks per second through 8 and 500 workers, the time Create takes
// to start 5,000 workers, and the memory each idle worker costs.
#include "threading/task_pool.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTasks = 1'000'000;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long ResidentKib() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

double TasksPerSecond(int workers) {
    pv::threading::TaskPool pool;
    if (!pool.Create(workers, workers)) {
        std::fprintf(stderr, "cannot start %d workers\n", workers);
        return 0;
    }
    const auto start = Clock::now();
    for (int i = 0; i < kTasks; ++i) {
        pool.PostAddress([](std::int32_t, std::int32_t) {}, i);
    }
    pool.Stop(1); // runs every queued task before it returns
    return kTasks / SecondsSince(start);
}

} // namespace

int main() {
    std::printf("tasks_per_s_8=%.0f\n", TasksPerSecond(8));
    std::printf("tasks_per_s_500=%.0f\n", TasksPerSecond(500));

    constexpr int kWorkers = 5000;
    pv::threading::TaskPool pool;
    const long before = ResidentKib();
    const auto start = Clock::now();
    if (!pool.Create(kWorkers, kWorkers) || pool.ThreadCount() != kWorkers) {
        std::fprintf(stderr, "started %d of %d workers\n", pool.ThreadCount(), kWorkers);
        return 1;
    }
    std::printf("start_ms_5000=%.0f\n", SecondsSince(start) * 1000);
    std::printf("rss_kib_per_worker=%.1f\n",
                static_cast<double>(ResidentKib() - before) / kWorkers);
    pool.Stop();
    return 0;
}
