#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace pv::testing_support {

// A request as it arrived on the wire.
struct RecordedRequest {
    std::string requestLine;
    // Header lines in the order received, names as written.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The values of every header with this name (ASCII case ignored), in order.
    std::vector<std::string> Values(std::string_view name) const;
};

// How the server answers one request.
struct Reply {
    enum class Kind {
        kBytes,   // send `bytes`, then close
        kTrickle, // send `bytes` one at a time, `intervalMs` apart, then close
        kStall,   // send `bytes`, then keep the connection open without another byte
        kReset,   // send `bytes`, then close with a reset
    };
    Kind kind = Kind::kBytes;
    std::string bytes;
    int intervalMs = 0;

    // A complete response with Content-Length and "Connection: close".
    static Reply Page(std::string body, std::string extraHeaders = {}, int status = 200,
                      std::string reason = "OK");
    static Reply Raw(std::string bytes) { return Reply{Kind::kBytes, std::move(bytes), 0}; }
    static Reply Stall(std::string bytes = {}) { return Reply{Kind::kStall, std::move(bytes), 0}; }
    static Reply Reset(std::string bytes = {}) { return Reply{Kind::kReset, std::move(bytes), 0}; }
    static Reply Trickle(std::string bytes, int intervalMs) {
        return Reply{Kind::kTrickle, std::move(bytes), intervalMs};
    }
};

// An HTTP/1.1 server on 127.0.0.1 and a free port, one thread per connection, for tests. It
// records every request and answers as the test's responder says. Stopping it (or
// destroying it) closes every connection and joins every thread.
class LoopbackHttpServer {
public:
    using Responder = std::function<Reply(const RecordedRequest&)>;

    explicit LoopbackHttpServer(Responder responder);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& path = "/") const;
    std::vector<RecordedRequest> Requests() const;
    // Connections accepted and not yet closed by either side.
    int OpenConnections() const { return openConnections_.load(); }
    void Stop();

private:
    void AcceptLoop();
    void Serve(int fd);
    // Waits up to `ms` for the peer to close or the server to stop; true when it should end.
    bool WaitForCloseOrStop(int fd, int ms);

    Responder responder_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> openConnections_{0};
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    std::vector<int> connections_;
    std::vector<std::thread> threads_;
    std::thread acceptThread_;
};

// A port on 127.0.0.1 that nothing listens on right now.
int FreeLoopbackPort();

// Waits until something accepts connections on 127.0.0.1:port; false after `timeoutMs`.
bool WaitForListener(int port, int timeoutMs = 10000);

} // namespace pv::testing_support
