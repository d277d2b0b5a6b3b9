// The engine at speed, headless, against fixture proxies on loopback. Each engine scenario
// runs in a child process of its own, so that its processor time and memory are its alone.
// Prints one key=value line per figure.
#include "engine/application.h"
#include "engine/run_commands.h"
#include "fixture_proxies.h"
#include "proxylist/proxy_table.h"
#include "shell/control_names.h"
#include "shell/headless/headless_toolkit.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace pv;
using Clock = std::chrono::steady_clock;

constexpr const char* kUrl = "http://example.test/";

struct Scenario {
    int rows;
    const std::vector<int>* ports;
    int threads;
    int connectTimeoutMs = 5000;
    int verifyTimeoutMs = 15000;
};

struct Figures {
    double seconds = 0;
    double cpuMs = 0;
    double rssBeforeKib = 0;
    double peakRssKib = 0;
    int done = 0;
    int valid = 0;
};

long StatusKib(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == key) {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    return -1;
}

double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

Figures RunEngine(const Scenario& scenario) {
    shell::HeadlessToolkit toolkit;
    toolkit.SetMessageResponder([](const auto&) { return shell::kOkPressed; });
    Figures figures;
    {
        engine::Application app(toolkit);
        for (int i = 0; i < scenario.rows; ++i) {
            const int port =
                (*scenario.ports)[static_cast<std::size_t>(i) % scenario.ports->size()];
            toolkit.ProxyList().AppendProxyRow("127.0.0.1", std::to_string(port));
        }
        toolkit.TypeText(shell::kUrlEdit, kUrl);
        toolkit.TypeText(shell::kThreadsEdit, std::to_string(scenario.threads));
        toolkit.TypeText(shell::kConnectTimeoutEdit, std::to_string(scenario.connectTimeoutMs));
        toolkit.TypeText(shell::kVerifyTimeoutEdit, std::to_string(scenario.verifyTimeoutMs));
        figures.rssBeforeKib = static_cast<double>(StatusKib("VmRSS:"));
        const double cpuBefore = CpuMs();
        const auto start = Clock::now();
        toolkit.RunOnUiThread([&] { engine::StartOrStopRun(app); });
        app.RunRunner().Wait();
        figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        figures.cpuMs = CpuMs() - cpuBefore;
        figures.peakRssKib = static_cast<double>(StatusKib("VmHWM:"));
        figures.done = app.State().doneCount.load();
        figures.valid = app.State().validCount.load();
    }
    return figures;
}

// Runs the scenario in a child process and reads its figures back.
Figures RunInChild(const Scenario& scenario) {
    int channel[2];
    if (::pipe(channel) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const Figures figures = RunEngine(scenario);
        const std::string line =
            std::to_string(figures.seconds) + ' ' + std::to_string(figures.cpuMs) + ' ' +
            std::to_string(figures.rssBeforeKib) + ' ' + std::to_string(figures.peakRssKib) + ' ' +
            std::to_string(figures.done) + ' ' + std::to_string(figures.valid) + '\n';
        if (::write(channel[1], line.data(), line.size()) < 0) {
            std::_Exit(1);
        }
        std::_Exit(0);
    }
    ::close(channel[1]);
    std::string text;
    char buffer[256];
    ssize_t got = 0;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    Figures figures;
    if (std::sscanf(text.c_str(), "%lf %lf %lf %lf %d %d", &figures.seconds, &figures.cpuMs,
                    &figures.rssBeforeKib, &figures.peakRssKib, &figures.done,
                    &figures.valid) != 6) {
        std::fprintf(stderr, "a scenario failed\n");
        std::exit(1);
    }
    return figures;
}

double TimeCommand(const std::string& command) {
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// ApacheBench's requests per second through one fixture proxy.
double AbRequestsPerSecond(int port, int requests) {
    const std::string command = "ab -q -n " + std::to_string(requests) +
                                " -c 500 -X 127.0.0.1:" + std::to_string(port) + " " + kUrl +
                                " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    double perSecond = 0;
    char line[512];
    while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr) {
        std::sscanf(line, "Requests per second: %lf", &perSecond);
    }
    if (pipe != nullptr) {
        ::pclose(pipe);
    }
    return perSecond;
}

// Every closed loopback connection lingers in TIME_WAIT for a minute, and tens of thousands of
// them slow down every new connection. Waits until the previous phase's have gone, so that
// each phase, the engine's and the baselines' alike, starts from the same quiet network.
void WaitForQuietNetwork() {
    for (int second = 0; second < 75; ++second) {
        std::ifstream sockstat("/proc/net/sockstat");
        std::string word;
        long lingering = 0;
        while (sockstat >> word) {
            if (word == "tw") {
                sockstat >> lingering;
                break;
            }
        }
        if (lingering < 1000) {
            return;
        }
        ::sleep(1);
    }
}

void Check(const Figures& figures, int rows, bool allValid) {
    if (figures.done != rows || (allValid && figures.valid != rows)) {
        std::fprintf(stderr, "run ended with %d of %d done, %d valid\n", figures.done, rows,
                     figures.valid);
        std::exit(1);
    }
}

} // namespace

// With the argument "engine", only the first scenario runs: for profiling the engine alone.
int main(int argc, char** argv) {
    const bool engineOnly = argc > 1 && std::string(argv[1]) == "engine";
    // The fixtures fork before any thread exists.
    const bench::FixtureProxies instant(16, {bench::FixtureBehaviour::Kind::kInstant, 0});
    const bench::FixtureProxies delayed(16, {bench::FixtureBehaviour::Kind::kDelayed, 1000});
    const bench::FixtureProxies silent(16, {bench::FixtureBehaviour::Kind::kSilent, 0});

    constexpr int kRows = 20000;
    WaitForQuietNetwork();
    const Figures fast = RunInChild({kRows, &instant.Ports(), 500});
    Check(fast, kRows, true);
    const double checksPerSecond = kRows / fast.seconds;
    std::printf("checks_per_s=%.0f\n", checksPerSecond);
    std::printf("cpu_ms_per_1000=%.0f\n", fast.cpuMs / kRows * 1000);
    std::printf("peak_rss_mib=%.1f\n", fast.peakRssKib / 1024);
    if (engineOnly) {
        return 0;
    }

    // The command-line front end on the same work, as a script would run it.
    {
        std::string rowsText;
        for (int i = 0; i < kRows; ++i) {
            rowsText +=
                "127.0.0.1:" + std::to_string(instant.Ports()[static_cast<std::size_t>(i) % 16]) +
                "\r\n";
        }
        char path[] = "/tmp/pv-checks-cli-XXXXXX";
        const int fd = ::mkstemp(path);
        if (fd < 0 || ::write(fd, rowsText.data(), rowsText.size()) < 0) {
            std::perror("cli proxy list");
            return 1;
        }
        ::close(fd);
        WaitForQuietNetwork();
        const double cliSeconds = TimeCommand(std::string(PV_CLI_PATH) + " --quiet --url " + kUrl +
                                              " --threads 500 " + path + " > /dev/null 2>&1");
        ::unlink(path);
        std::printf("cli_checks_per_s=%.0f\n", kRows / cliSeconds);
    }

    // The way without this tool: curl and grep per proxy, 500 at a time.
    constexpr int kBaselineRows = 2000;
    std::string list;
    for (int i = 0; i < kBaselineRows; ++i) {
        list +=
            "127.0.0.1:" + std::to_string(instant.Ports()[static_cast<std::size_t>(i) % 16]) + "\n";
    }
    char listPath[] = "/tmp/pv-checks-bench-XXXXXX";
    const int listFd = ::mkstemp(listPath);
    if (listFd < 0 || ::write(listFd, list.data(), list.size()) < 0) {
        std::perror("proxy list");
        return 1;
    }
    ::close(listFd);
    const std::string feature = "\xE7\x99\xBE\xE5\xBA\xA6\xE4\xB8\x80\xE4\xB8\x8B";
    WaitForQuietNetwork();
    const double baselineSeconds =
        TimeCommand(std::string("xargs -P 500 -I{} sh -c 'curl --proxy {} -s -m 15 ") + kUrl +
                    " | grep -q " + feature + "' < " + listPath);
    ::unlink(listPath);
    const double baseline = kBaselineRows / baselineSeconds;
    std::printf("baseline_checks_per_s=%.0f\n", baseline);
    std::printf("speedup_vs_baseline=%.1f\n", checksPerSecond / baseline);

    WaitForQuietNetwork();
    const double limit = AbRequestsPerSecond(instant.Ports()[0], kRows);
    std::printf("limit_checks_per_s=%.0f\n", limit);
    std::printf("limit_ratio=%.2f\n", limit > 0 ? checksPerSecond / limit : 0);

    WaitForQuietNetwork();
    const Figures slow = RunInChild({5000, &delayed.Ports(), 500});
    Check(slow, 5000, true);
    std::printf("latency_efficiency=%.3f\n", 10.0 / slow.seconds);

    const Figures dead = RunInChild({2000, &silent.Ports(), 1000, 5000, 2000});
    Check(dead, 2000, false);
    std::printf("dead_efficiency=%.3f\n", 4.0 / dead.seconds);

    const Figures wide = RunInChild({2000, &delayed.Ports(), 2000});
    Check(wide, 2000, true);
    std::printf("rss_kib_per_check_2000=%.1f\n", (wide.peakRssKib - wide.rssBeforeKib) / 2000);
    return 0;
}
