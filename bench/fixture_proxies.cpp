#include "fixture_proxies.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <queue>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unordered_map>

namespace pv::bench {

const char* const kFixturePage =
    "<html><title>\xE7\x99\xBE\xE5\xBA\xA6\xE4\xB8\x80\xE4\xB8\x8B</title></html>";

namespace {

using Clock = std::chrono::steady_clock;

int Listen(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4096) != 0) {
        std::perror("fixture proxy listen");
        std::exit(1);
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

[[noreturn]] void Serve(const std::vector<int>& listeners, FixtureBehaviour behaviour) {
    const std::string page = kFixturePage;
    const std::string response = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                                 "Content-Length: " +
                                 std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" +
                                 page;
    const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
    for (const int fd : listeners) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = -1 - fd; // listeners are marked negative
        ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
    }
    std::unordered_map<int, std::string> requests;
    using Due = std::pair<Clock::time_point, int>;
    std::priority_queue<Due, std::vector<Due>, std::greater<>> due;
    const auto answer = [&](int fd) {
        ::send(fd, response.data(), response.size(), MSG_NOSIGNAL);
        ::close(fd);
    };
    epoll_event events[256];
    while (true) {
        int timeout = -1;
        if (!due.empty()) {
            timeout = static_cast<int>(std::max<long>(
                0, std::chrono::ceil<std::chrono::milliseconds>(due.top().first - Clock::now())
                       .count()));
        }
        const int ready = ::epoll_wait(epoll, events, 256, timeout);
        for (int i = 0; i < ready; ++i) {
            const int tagged = events[i].data.fd;
            if (tagged < 0) {
                while (true) {
                    const int fd =
                        ::accept4(-1 - tagged, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                    if (fd < 0) {
                        break;
                    }
                    epoll_event event{};
                    event.events = EPOLLIN | EPOLLRDHUP;
                    event.data.fd = fd;
                    ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
                    requests[fd];
                }
                continue;
            }
            const int fd = tagged;
            char buffer[4096];
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                // The client gave up; a delayed answer for it finds the descriptor closed.
                ::epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
                requests.erase(fd);
                ::close(fd);
                continue;
            }
            std::string& request = requests[fd];
            request.append(buffer, static_cast<std::size_t>(got));
            if (request.find("\r\n\r\n") == std::string::npos) {
                continue;
            }
            requests.erase(fd);
            switch (behaviour.kind) {
            case FixtureBehaviour::Kind::kInstant:
                ::epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
                answer(fd);
                break;
            case FixtureBehaviour::Kind::kDelayed:
                ::epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
                due.emplace(Clock::now() + std::chrono::milliseconds(behaviour.delayMs), fd);
                break;
            case FixtureBehaviour::Kind::kSilent:
                break; // keep reading until the client closes
            }
        }
        while (!due.empty() && due.top().first <= Clock::now()) {
            answer(due.top().second);
            due.pop();
        }
    }
}

} // namespace

FixtureProxies::FixtureProxies(int ports, FixtureBehaviour behaviour) {
    std::vector<int> listeners;
    for (int i = 0; i < ports; ++i) {
        int port = 0;
        listeners.push_back(Listen(port));
        ports_.push_back(port);
    }
    child_ = ::fork();
    if (child_ == 0) {
        Serve(listeners, behaviour);
    }
    for (const int fd : listeners) {
        ::close(fd);
    }
}

FixtureProxies::~FixtureProxies() {
    if (child_ > 0) {
        ::kill(child_, SIGKILL);
        ::waitpid(child_, nullptr, 0);
    }
}

} // namespace pv::bench
