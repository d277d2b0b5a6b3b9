#include "http/http_request.h"
#include "http/last_error.h"
#include "support/loopback_http_server.h"

#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace pv::http {
namespace {

using pv::testing_support::LoopbackHttpServer;
using pv::testing_support::RecordedRequest;
using pv::testing_support::Reply;
using Strings = std::vector<std::string>;

// A page for every request; each test reads what arrived.
class HttpRequestWireTest : public testing::Test {
protected:
    // The names of the headers that reached the server, in order, without Host.
    Strings HeaderNames(const RecordedRequest& request) {
        Strings names;
        for (const auto& [name, value] : request.headers) {
            if (name != "Host") {
                names.push_back(name);
            }
        }
        return names;
    }
    RecordedRequest LastRequest() {
        const auto requests = server_.Requests();
        EXPECT_FALSE(requests.empty());
        return requests.empty() ? RecordedRequest{} : requests.back();
    }

    LoopbackHttpServer server_{[](const RecordedRequest&) { return Reply::Page("hello"); }};
};

TEST_F(HttpRequestWireTest, TheCheckSequenceSendsEachManagedHeaderOnce) {
    HttpRequest request;
    std::string url = server_.Url("/page");
    request.Open(url);
    request.SetUserAgent();
    request.Send();
    EXPECT_EQ(request.Status(), 200);
    const RecordedRequest sent = LastRequest();
    EXPECT_EQ(sent.requestLine, "GET /page HTTP/1.1");
    EXPECT_EQ(HeaderNames(sent), (Strings{"User-Agent", "Accept", "Accept-Language", "Referer"}));
    EXPECT_EQ(sent.Values("User-Agent"), Strings{std::string(HttpRequest::kDefaultUserAgent)});
    EXPECT_EQ(sent.Values("Accept"), Strings{std::string(HttpRequest::kDefaultAccept)});
    EXPECT_EQ(sent.Values("Accept-Language"), Strings{"zh-CN"});
    EXPECT_EQ(sent.Values("Referer"), Strings{url});
    EXPECT_TRUE(sent.Values("Content-Type").empty());
}

TEST_F(HttpRequestWireTest, PostInLowerCaseAddsContentTypeLast) {
    HttpRequest request;
    std::string url = server_.Url("/form");
    request.Open(url, "post");
    request.Send("a=1");
    const RecordedRequest sent = LastRequest();
    EXPECT_EQ(HeaderNames(sent), (Strings{"Accept", "Accept-Language", "Referer", "User-Agent",
                                          "Content-Type", "Content-Length"}));
    EXPECT_EQ(sent.Values("Content-Type"), Strings{"application/x-www-form-urlencoded"});
    EXPECT_EQ(sent.body, "a=1");
}

TEST_F(HttpRequestWireTest, WithoutAutomaticHeadersNoManagedHeaderIsSent) {
    HttpRequest request;
    request.SetAutoHeaders(false);
    std::string url = server_.Url("/");
    request.Open(url, "POST");
    request.Send();
    const RecordedRequest sent = LastRequest();
    for (const char* name : {"Accept-Language", "Referer", "User-Agent", "Content-Type"}) {
        EXPECT_TRUE(sent.Values(name).empty()) << name;
    }
    EXPECT_NE(sent.Values("Accept"), Strings{std::string(HttpRequest::kDefaultAccept)});
}

TEST_F(HttpRequestWireTest, AUserAgentStoredBeforeOpenIsSentByTheNextSend) {
    HttpRequest request;
    request.SetUserAgent("TestAgent/1.0");
    std::string url = server_.Url("/");
    request.Open(url);
    request.Send();
    EXPECT_EQ(LastRequest().Values("User-Agent"), Strings{"TestAgent/1.0"});
}

TEST_F(HttpRequestWireTest, HeadersSetByTheCallerReplaceTheManagedOnes) {
    HttpRequest request;
    std::string url = server_.Url("/");
    request.Open(url);
    request.SetRequestHeader("ACCEPT-LANGUAGE", "en"); // counts as handed over
    request.SetRequestHeader("Referer", "");           // empty: not counted
    request.SetRequestHeader("", "ignored");           // no name: nothing at all
    request.SetAccept();                               // the stored value, now
    request.SetRequestHeaderZero("X-Zero");
    request.SetClientAddress("10.1.2.3");
    request.Send();
    const RecordedRequest sent = LastRequest();
    EXPECT_EQ(sent.Values("Accept-Language"), Strings{"en"});
    EXPECT_EQ(sent.Values("Referer"), Strings{url});
    EXPECT_EQ(sent.Values("Accept"), Strings{std::string(HttpRequest::kDefaultAccept)});
    EXPECT_EQ(sent.Values("X-Zero"), Strings{"0"});
    for (const char* name : {"X-Forwarded-For", "CLIENT_IP", "VIA", "REMOTE_ADDR"}) {
        EXPECT_EQ(sent.Values(name), Strings{"10.1.2.3"}) << name;
    }
}

TEST_F(HttpRequestWireTest, ASecondSendOnOneOpenSendsNoManagedHeaderAgain) {
    HttpRequest request;
    std::string url = server_.Url("/");
    request.Open(url, "GET");
    request.Send();
    request.Send(); // refused by the component: the request was sent already
    EXPECT_EQ(server_.Requests().size(), 1u);
    EXPECT_FALSE(LastError().empty());
}

TEST_F(HttpRequestWireTest, SendBytesSendsTheBytesAsTheyAre) {
    HttpRequest request;
    std::string url = server_.Url("/upload");
    request.Open(url, "POST");
    request.SendBytes(ByteArray{0x00, 0xFF, 'a', '\r'});
    const RecordedRequest sent = LastRequest();
    EXPECT_EQ(sent.body, std::string("\0\xFF"
                                     "a\r",
                                     4));
    EXPECT_EQ(sent.Values("Content-Type"), Strings{std::string(HttpRequest::kDefaultContentType)});
    const std::unique_ptr<std::istream> stream = request.ResponseStream();
    ASSERT_NE(stream, nullptr);
    std::string streamed;
    *stream >> streamed;
    EXPECT_EQ(streamed, "hello");
}

TEST(HttpRequestCredentialsTest, ServerAndProxyCredentialsAnswerTheirChallenges) {
    // The same loopback server plays the server and, for the second request, the proxy.
    LoopbackHttpServer server([](const RecordedRequest& request) {
        const bool viaProxy = request.requestLine.find(" http://") != std::string::npos;
        const char* answer = viaProxy ? "Proxy-Authorization" : "Authorization";
        if (request.Values(answer).empty()) {
            return viaProxy ? Reply::Page("", "Proxy-Authenticate: Basic realm=\"p\"\r\n", 407,
                                          "Proxy Authentication Required")
                            : Reply::Page("", "WWW-Authenticate: Basic realm=\"s\"\r\n", 401,
                                          "Unauthorized");
        }
        return Reply::Page("welcome");
    });
    HttpRequest direct;
    direct.SetCredentials("u", "p", kCredentialsForServer);
    std::string url = server.Url("/private");
    direct.Open(url);
    direct.Send();
    EXPECT_EQ(direct.Status(), 200);
    EXPECT_EQ(server.Requests().back().Values("Authorization"), Strings{"Basic dTpw"});

    HttpRequest proxied;
    proxied.SetProxy("127.0.0.1:" + std::to_string(server.Port()));
    proxied.SetCredentials("u", "p", kCredentialsForProxy);
    url = "http://example.test/";
    proxied.Open(url);
    proxied.Send();
    EXPECT_EQ(proxied.Status(), 200);
    EXPECT_EQ(server.Requests().back().Values("Proxy-Authorization"), Strings{"Basic dTpw"});
}

struct OpenCase {
    const char* name;
    std::string url;
    std::string opened;
    friend void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }
};

class OpenPrefixTest : public testing::TestWithParam<OpenCase> {};

TEST_P(OpenPrefixTest, PutsHttpBeforeAUrlWithoutIt) {
    HttpRequest request;
    std::string url = GetParam().url;
    request.Open(url);
    EXPECT_EQ(url, GetParam().opened);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenPrefixTest,
    testing::Values(OpenCase{"BareHost", "www.example.com/a", "http://www.example.com/a"},
                    OpenCase{"UpperCaseScheme", "HTTP://www.example.com/",
                             "HTTP://www.example.com/"},
                    OpenCase{"Https", "https://www.example.com/", "https://www.example.com/"},
                    OpenCase{"HostBeginningWithHttp", "httpbin.example/get", "httpbin.example/get"},
                    OpenCase{"LeadingBlanks", "  www.example.com", "http://  www.example.com"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpRequestWireTest, APrefixedUrlIsFetchedAndSentAsReferer) {
    HttpRequest request;
    std::string url = "127.0.0.1:" + std::to_string(server_.Port()) + "/p";
    request.Open(url);
    request.Send();
    EXPECT_EQ(request.Status(), 200);
    EXPECT_EQ(LastRequest().Values("Referer"), Strings{"http://" + url.substr(7)});
    EXPECT_EQ(url.substr(0, 7), "http://");
}

TEST(HttpRequestTest, WithoutAComponentEveryCallFailsQuietly) {
    HttpRequest request([]() -> std::shared_ptr<RequestComponent> { return nullptr; });
    EXPECT_TRUE(request.IsComponentEmpty());
    std::string url = "http://127.0.0.1:1/";
    request.Open(url, "GET", true);
    request.Send();
    EXPECT_FALSE(request.WaitForResponse(1));
    EXPECT_FALSE(LastError().empty());
    request.Abort();
    EXPECT_EQ(request.Status(), 0);
    EXPECT_EQ(request.ResponseBodyText(), "");
    EXPECT_FALSE(request.CreateComponent());
}

TEST(HttpRequestTest, ComponentsCanBeSharedReplacedAndReset) {
    HttpRequest first;
    HttpRequest second;
    ASSERT_FALSE(first.IsComponentEmpty());
    second.SetComponent(first.GetComponent());
    EXPECT_EQ(second.GetComponent(), first.GetComponent());
    second.SetComponent(nullptr);
    EXPECT_TRUE(second.IsComponentEmpty());

    first.SetAutoHeaders(false);
    const auto before = first.GetComponent();
    first.Reset();
    EXPECT_FALSE(first.IsComponentEmpty());
    EXPECT_NE(first.GetComponent(), before);
    EXPECT_FALSE(first.AutoHeaders()) << "Reset keeps the header settings";
}

TEST(HttpRequestTest, LastErrorBelongsToTheThreadAndClearsOnSuccess) {
    HttpRequest request;
    request.SetAutoLogonPolicy(9);
    EXPECT_FALSE(LastError().empty());
    std::string otherThreadError = "unset";
    std::thread([&] { otherThreadError = LastError(); }).join();
    EXPECT_EQ(otherThreadError, "");
    request.SetAutoLogonPolicy(2);
    EXPECT_EQ(LastError(), "");
}

TEST(HttpRequestTest, OptionWithoutAValueOnlyReads) {
    HttpRequest request;
    EXPECT_EQ(request.Option(kOptionFollowRedirects), OptionValue{std::int32_t{1}});
    EXPECT_EQ(request.Option(kOptionFollowRedirects, std::int32_t{0}),
              OptionValue{std::int32_t{0}});
    EXPECT_EQ(request.Option(kOptionFollowRedirects), OptionValue{std::int32_t{0}});
    EXPECT_EQ(request.Option(kOptionBodyCap), OptionValue{std::int32_t{8 * 1024 * 1024}});
    EXPECT_EQ(request.Option(9999), OptionValue{});
    EXPECT_FALSE(LastError().empty());
}

} // namespace
} // namespace pv::http
