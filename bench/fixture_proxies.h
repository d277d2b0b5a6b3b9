#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace pv::bench {

// How the fixture proxies answer every request.
struct FixtureBehaviour {
    enum class Kind { kInstant, kDelayed, kSilent };
    Kind kind = Kind::kInstant;
    int delayMs = 0;
};

// HTTP proxies on 127.0.0.1, served by one epoll loop in a child process of their own, so
// that their work is not counted as the engine's. Each answers every request with a small
// page that holds the default feature string (in UTF-8), at once, after a delay, or never.
class FixtureProxies {
public:
    FixtureProxies(int ports, FixtureBehaviour behaviour);
    ~FixtureProxies();
    FixtureProxies(const FixtureProxies&) = delete;
    FixtureProxies& operator=(const FixtureProxies&) = delete;

    const std::vector<int>& Ports() const { return ports_; }

private:
    pid_t child_ = -1;
    std::vector<int> ports_;
};

// The page every fixture proxy serves.
extern const char* const kFixturePage;

} // namespace pv::bench
