#include "http/http_request.h"
#include "http/last_error.h"
#include "support/loopback_http_server.h"
#include "support/proxy_servers.h"
#include "support/wait_until.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace pv::http {
namespace {

using namespace std::chrono_literals;
using pv::testing_support::FreeLoopbackPort;
using pv::testing_support::LoopbackHttpServer;
using pv::testing_support::RecordedRequest;
using pv::testing_support::Reply;
using pv::testing_support::Tinyproxy;
using pv::testing_support::TlsFileServer;
using pv::testing_support::WaitUntil;
using Clock = std::chrono::steady_clock;

std::chrono::milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// Opens an asynchronous GET of `url` and sends it, as a check does.
void StartGet(HttpRequest& request, std::string url) {
    request.Open(url, "GET", true);
    request.SetUserAgent();
    request.Send();
}

TEST(CurlTransferTest, AGetThroughTinyproxyReachesTheTarget) {
    Tinyproxy proxy;
    ASSERT_TRUE(proxy.Started()) << "tinyproxy did not start";
    LoopbackHttpServer target([](const RecordedRequest&) { return Reply::Page("<p>ok</p>"); });
    HttpRequest request;
    request.SetProxy(proxy.Address());
    request.SetTimeouts(5000, 5000, 5000, 5000);
    StartGet(request, target.Url("/through"));
    bool complete = false;
    for (int wait = 0; wait < 10 && !complete; ++wait) {
        complete = request.WaitForResponse(1);
    }
    ASSERT_TRUE(complete) << LastError();
    EXPECT_EQ(request.Status(), 200);
    EXPECT_EQ(request.ResponseBodyText(), "<p>ok</p>");
    const auto requests = target.Requests();
    ASSERT_EQ(requests.size(), 1u);
    // The proxy made the connection and says so.
    ASSERT_EQ(requests[0].Values("Via").size(), 1u);
    EXPECT_NE(requests[0].Values("Via")[0].find("tinyproxy"), std::string::npos);
}

TEST(CurlTransferTest, HttpsGoesThroughTheProxyByConnectWithCertificatesChecked) {
    Tinyproxy proxy;
    ASSERT_TRUE(proxy.Started()) << "tinyproxy did not start";
    TlsFileServer target("secret page");
    ASSERT_TRUE(target.Started()) << "openssl s_server did not start";
    const std::string url = "https://127.0.0.1:" + std::to_string(target.Port()) + "/page.html";

    HttpRequest trusting;
    trusting.SetProxy(proxy.Address());
    trusting.Option(kOptionCaFile, target.CaFile());
    std::string opened = url;
    trusting.Open(opened);
    trusting.Send();
    EXPECT_EQ(trusting.Status(), 200) << LastError();
    EXPECT_EQ(trusting.ResponseBodyText(), "secret page");

    // The test's authority is in no system store: the certificate is refused.
    HttpRequest untrusting;
    untrusting.SetProxy(proxy.Address());
    opened = url;
    untrusting.Open(opened);
    untrusting.Send();
    EXPECT_EQ(untrusting.Status(), 0);
    EXPECT_FALSE(LastError().empty());
}

TEST(CurlTransferTest, AProxyPortWhereNothingListensFailsAtOnce) {
    HttpRequest request;
    request.SetProxy("127.0.0.1:" + std::to_string(FreeLoopbackPort()));
    request.SetTimeouts(5000, 5000, 15000, 15000);
    const auto start = Clock::now();
    StartGet(request, "http://127.0.0.1:9/");
    EXPECT_FALSE(request.WaitForResponse(1));
    EXPECT_LT(Since(start), 900ms) << "a refused connection must not wait out the second";
    EXPECT_FALSE(LastError().empty());
    EXPECT_EQ(request.ResponseBodyText(), "");
}

TEST(CurlTransferTest, WaitingOnAServerThatNeverAnswersTakesASecondEachAndAbortEndsIt) {
    LoopbackHttpServer silent([](const RecordedRequest&) { return Reply::Stall(); });
    HttpRequest request;
    request.SetTimeouts(5000, 5000, 15000, 15000);
    StartGet(request, silent.Url("/"));
    for (int wait = 0; wait < 2; ++wait) {
        const auto start = Clock::now();
        EXPECT_FALSE(request.WaitForResponse(1));
        EXPECT_GE(Since(start), 990ms);
        EXPECT_LT(Since(start), 1500ms);
    }
    ASSERT_EQ(silent.OpenConnections(), 1);
    const auto start = Clock::now();
    request.Abort();
    EXPECT_FALSE(request.WaitForResponse(1));
    EXPECT_LT(Since(start), 200ms);
    EXPECT_TRUE(WaitUntil([&] { return silent.OpenConnections() == 0; }, 2s))
        << "Abort left the connection open";
}

TEST(CurlTransferTest, TheReceiveTimeOutEndsAStalledResponse) {
    LoopbackHttpServer stalling([](const RecordedRequest&) {
        return Reply::Stall("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart of it");
    });
    HttpRequest request;
    request.SetTimeouts(500, 500, 700, 700);
    const auto start = Clock::now();
    StartGet(request, stalling.Url("/"));
    bool complete = false;
    while (!complete && Since(start) < 5s) {
        complete = request.WaitForResponse(1);
        if (!complete && !LastError().empty()) {
            break; // the request failed
        }
    }
    EXPECT_FALSE(complete);
    EXPECT_GE(Since(start), 650ms);
    EXPECT_LT(Since(start), 2s);
    EXPECT_NE(LastError().find("time-out"), std::string::npos) << LastError();
}

TEST(CurlTransferTest, ASlowTrickleIsNoStall) {
    LoopbackHttpServer trickling([](const RecordedRequest&) {
        return Reply::Trickle("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nslow", 40);
    });
    HttpRequest request;
    request.SetTimeouts(500, 500, 300, 300);
    std::string url = trickling.Url("/");
    request.Open(url);
    request.Send();
    EXPECT_EQ(request.Status(), 200) << LastError();
    EXPECT_EQ(request.ResponseBodyText(), "slow");
}

TEST(CurlTransferTest, TheBodyIsCutAtItsCap) {
    const std::string big(9 * 1024 * 1024, 'x');
    LoopbackHttpServer server([&](const RecordedRequest&) { return Reply::Page(big); });
    HttpRequest request;
    std::string url = server.Url("/");
    request.Open(url);
    request.Send();
    EXPECT_EQ(request.Status(), 200) << LastError();
    EXPECT_EQ(request.ResponseBodyBytes().size(), 8u * 1024 * 1024);

    HttpRequest capped;
    capped.Option(kOptionBodyCap, std::int32_t{1000});
    url = server.Url("/");
    capped.Open(url);
    capped.Send();
    EXPECT_EQ(capped.ResponseBodyBytes(), std::string(1000, 'x'));
}

TEST(CurlTransferTest, AResetOrNothingAtAllFailsTheRequest) {
    for (const Reply& reply :
         {Reply::Reset(), Reply::Raw(""), Reply::Reset("HTTP/1.1 200 OK\r\n")}) {
        LoopbackHttpServer server([&](const RecordedRequest&) { return reply; });
        HttpRequest request;
        std::string url = server.Url("/");
        request.Open(url);
        request.Send();
        EXPECT_EQ(request.Status(), 0);
        EXPECT_FALSE(LastError().empty());
    }
}

TEST(CurlTransferTest, RedirectsAreFollowedUnlessTurnedOff) {
    LoopbackHttpServer server([](const RecordedRequest& request) {
        if (request.requestLine.find("/old") != std::string::npos) {
            return Reply::Page("moved", "Location: /new\r\n", 302, "Found");
        }
        return Reply::Page("new page", "Set-Cookie: sid=42; Path=/\r\n");
    });
    HttpRequest following;
    std::string url = server.Url("/old");
    following.Open(url);
    following.Send();
    EXPECT_EQ(following.Status(), 200);
    EXPECT_EQ(following.ResponseBodyText(), "new page");
    EXPECT_EQ(following.GetCookie("sid"), "42");
    // The cookie's line is the last of the headers, so no line end follows it.
    EXPECT_EQ(following.GetSetCookieHeaders(), "Set-Cookie: sid=42; Path=/");
    EXPECT_EQ(following.GetResponseHeader("content-length"), "8");
    EXPECT_EQ(std::get<std::string>(following.Option(kOptionUrl)), server.Url("/new"));

    HttpRequest staying;
    staying.Option(kOptionFollowRedirects, std::int32_t{0});
    url = server.Url("/old");
    staying.Open(url);
    staying.Send();
    EXPECT_EQ(staying.Status(), 302);
    EXPECT_EQ(staying.StatusText(), "Found");
    EXPECT_EQ(staying.GetResponseHeader("Location"), "/new");
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

TEST(CurlTransferTest, AThousandRequestsOnAThousandThreadsAllCompleteAndLeaveNoDescriptor) {
    LoopbackHttpServer server([](const RecordedRequest&) { return Reply::Page("pong"); });
    {
        HttpRequest warmUp; // libcurl's one-time set-up keeps a few descriptors of its own
        std::string url = server.Url("/");
        warmUp.Open(url);
        warmUp.Send();
    }
    ASSERT_TRUE(WaitUntil([&] { return server.OpenConnections() == 0; }));
    const int before = OpenDescriptors();

    constexpr int kThreads = 1000;
    std::atomic<int> completed{0};
    std::latch allAlive(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            HttpRequest request;
            request.SetTimeouts(10000, 10000, 20000, 20000);
            allAlive.arrive_and_wait(); // every object is alive before any request goes out
            StartGet(request, server.Url("/"));
            for (int wait = 0; wait < 30; ++wait) {
                if (request.WaitForResponse(1)) {
                    if (request.ResponseBodyText() == "pong") {
                        ++completed;
                    }
                    break;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(completed.load(), kThreads);
    EXPECT_TRUE(WaitUntil([&] { return server.OpenConnections() == 0; }));
    EXPECT_EQ(OpenDescriptors(), before);
}

} // namespace
} // namespace pv::http
