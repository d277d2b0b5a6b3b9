#pragma once

#include "cli/cli_options.h"

#include <atomic>
#include <ostream>

namespace pv::cli {

enum ExitCode : int {
    kExitDone = 0,
    kExitUsage = 1,
    kExitFile = 2,
    kExitInterrupted = 130,
};

// Runs the command line's work on the engine through the headless toolkit: imports the
// file, runs the start command, shows progress, and writes the results. Once `interrupts`
// (SIGINT or SIGTERM received) is above 0, the run is stopped and what was verified is kept.
int RunCli(const CliOptions& options, std::ostream& out, std::ostream& err,
           const std::atomic<int>& interrupts);

} // namespace pv::cli
