#include "support/loopback_http_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace pv::testing_support {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
    return lower;
}

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

} // namespace

std::vector<std::string> RecordedRequest::Values(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& [headerName, value] : headers) {
        if (Lower(headerName) == Lower(name)) {
            values.push_back(value);
        }
    }
    return values;
}

Reply Reply::Page(std::string body, std::string extraHeaders, int status, std::string reason) {
    std::string bytes = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n" +
                        "Content-Length: " + std::to_string(body.size()) + "\r\n" +
                        "Connection: close\r\n" + extraHeaders + "\r\n" + body;
    return Raw(std::move(bytes));
}

LoopbackHttpServer::LoopbackHttpServer(Responder responder)
    : responder_(std::move(responder)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = Loopback(0);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 4096) != 0) {
        throw std::runtime_error("cannot listen on loopback");
    }
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    Stop();
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<RecordedRequest> LoopbackHttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LoopbackHttpServer::Stop() {
    if (stopping_.exchange(true)) {
        return;
    }
    ::shutdown(listenFd_, SHUT_RDWR);
    acceptThread_.join();
    ::close(listenFd_);
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        for (const int fd : connections_) {
            ::shutdown(fd, SHUT_RDWR);
        }
        threads.swap(threads_);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

void LoopbackHttpServer::AcceptLoop() {
    while (!stopping_) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (stopping_) {
                return;
            }
            continue;
        }
        std::lock_guard lock(mutex_);
        ++openConnections_;
        connections_.push_back(fd);
        threads_.emplace_back([this, fd] { Serve(fd); });
    }
}

bool LoopbackHttpServer::WaitForCloseOrStop(int fd, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (ms >= 0 && left <= 0) {
            return false;
        }
        pollfd entry{fd, POLLIN, 0};
        const int ready =
            ::poll(&entry, 1, ms >= 0 ? static_cast<int>(std::min<long>(left, 50)) : 50);
        if (ready > 0) {
            char scratch[4096];
            if (::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT) <= 0) {
                return true; // the peer closed the connection
            }
        }
    }
    return true;
}

void LoopbackHttpServer::Serve(int fd) {
    // Read the request head, then a body of Content-Length bytes.
    std::string received;
    std::size_t headEnd = std::string::npos;
    char buffer[16384];
    while (headEnd == std::string::npos) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        received.append(buffer, static_cast<std::size_t>(got));
        headEnd = received.find("\r\n\r\n");
    }
    if (headEnd != std::string::npos) {
        RecordedRequest request;
        std::size_t lineStart = 0;
        while (lineStart < headEnd) {
            const std::size_t lineEnd = received.find("\r\n", lineStart);
            const std::string line = received.substr(lineStart, lineEnd - lineStart);
            lineStart = lineEnd + 2;
            if (request.requestLine.empty()) {
                request.requestLine = line;
                continue;
            }
            const std::size_t colon = line.find(':');
            std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            request.headers.emplace_back(line.substr(0, colon), value);
        }
        request.body = received.substr(headEnd + 4);
        const std::vector<std::string> lengths = request.Values("Content-Length");
        const std::size_t length = lengths.empty() ? 0 : std::stoul(lengths.front());
        while (request.body.size() < length) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            request.body.append(buffer, static_cast<std::size_t>(got));
        }
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        const Reply reply = responder_(request);
        switch (reply.kind) {
        case Reply::Kind::kBytes:
            SendAll(fd, reply.bytes);
            break;
        case Reply::Kind::kTrickle:
            for (const char byte : reply.bytes) {
                if (!SendAll(fd, std::string_view(&byte, 1)) ||
                    WaitForCloseOrStop(fd, reply.intervalMs)) {
                    break;
                }
            }
            break;
        case Reply::Kind::kStall:
            SendAll(fd, reply.bytes);
            WaitForCloseOrStop(fd, -1);
            break;
        case Reply::Kind::kReset: {
            SendAll(fd, reply.bytes);
            const linger abortive{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            break;
        }
        }
    }
    {
        std::lock_guard lock(mutex_);
        connections_.erase(std::find(connections_.begin(), connections_.end(), fd));
        ::close(fd);
    }
    --openConnections_;
}

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool WaitForListener(int port, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(port);
        const bool connected =
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (connected) {
            return true;
        }
        ::usleep(10000);
    }
    return false;
}

} // namespace pv::testing_support
