#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace pv::testing_support {

// A program started by a test, in a folder of the test's, its output going to `logPath`.
// Destroying the object ends the program (SIGTERM, then SIGKILL) and reaps it.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::string& workDir,
                 const std::string& logPath);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    // True while the program runs.
    bool Running();

private:
    pid_t pid_ = -1;
};

} // namespace pv::testing_support
