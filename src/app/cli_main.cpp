// proxy-verifier-cli: the verification engine for servers and scripts.
#include "cli/cli_options.h"
#include "cli/cli_run.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    using namespace pv::cli;
    const ParsedOptions parsed = ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::cerr << "proxy-verifier-cli: " << parsed.error
                  << "\nTry 'proxy-verifier-cli --help'.\n";
        return kExitUsage;
    }
    const CliOptions& options = *parsed.options;
    if (options.help) {
        std::cout << UsageText();
        return kExitDone;
    }
    if (options.version) {
        std::cout << "proxy-verifier-cli " PV_VERSION "\n";
        return kExitDone;
    }

    // Every thread made from here on inherits the blocked signals, so they reach only the
    // watcher below: the first one asks the run to stop, a second ends the process at once.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    static std::atomic<int> interrupts{0};
    std::thread([signals] {
        int received = 0;
        while (sigwait(&signals, &received) == 0) {
            if (interrupts.fetch_add(1) >= 1) {
                _exit(kExitInterrupted);
            }
        }
    }).detach();
    return RunCli(options, std::cout, std::cerr, interrupts);
}
