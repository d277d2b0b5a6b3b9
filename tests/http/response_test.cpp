#include "http/http_request.h"
#include "http/response_decoding.h"
#include "support/loopback_http_server.h"

#include <string>

#include <gtest/gtest.h>

namespace pv::http {
namespace {

using namespace std::string_literals;
using pv::testing_support::LoopbackHttpServer;
using pv::testing_support::RecordedRequest;
using pv::testing_support::Reply;

const std::string kBaiduUtf8 = "\xE7\x99\xBE\xE5\xBA\xA6\xE4\xB8\x80\xE4\xB8\x8B";
const std::string kBaiduCp936 = "\xB0\xD9\xB6\xC8\xD2\xBB\xCF\xC2";

struct BodyCase {
    const char* name;
    std::string body;
    std::string text; // ResponseBodyText
    std::string utf8; // ResponseBodyUtf8
    friend void PrintTo(const BodyCase& c, std::ostream* os) { *os << c.name; }
};

class ResponseBodyTest : public testing::TestWithParam<BodyCase> {};

TEST_P(ResponseBodyTest, ReadsTheBodyBothWays) {
    const std::string body = GetParam().body;
    LoopbackHttpServer server([&](const RecordedRequest&) { return Reply::Page(body); });
    HttpRequest request;
    EXPECT_EQ(request.Status(), 0) << "no response yet";
    std::string url = server.Url("/");
    request.Open(url);
    request.Send();
    EXPECT_EQ(request.Status(), 200);
    EXPECT_EQ(request.ResponseBodyBytes(), body);
    EXPECT_EQ(request.ResponseBodyText(), GetParam().text);
    EXPECT_EQ(request.ResponseBodyUtf8(), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, ResponseBodyTest,
    testing::Values(
        BodyCase{"Empty", "", "", ""},
        BodyCase{"Ascii", "<html>plain</html>", "<html>plain</html>", "<html>plain</html>"},
        BodyCase{"Utf8Chinese", kBaiduUtf8, kBaiduUtf8, kBaiduCp936},
        BodyCase{"ZeroByteInTheMiddle", "before\0after"s, "before", "before"},
        BodyCase{"MissingCharacter", "a\xF0\x9F\x98\x80z", "a\xF0\x9F\x98\x80z", "a?z"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeUtf8Test, Cp936BytesDoNotDecodeToTheFeature) {
    EXPECT_NE(DecodeUtf8(kBaiduCp936).find(kBaiduCp936), 0u);
    EXPECT_EQ(DecodeUtf8(kBaiduCp936).find(kBaiduCp936), std::string::npos);
    EXPECT_EQ(DecodeUtf8(""), "");
    EXPECT_EQ(TextUpToZero("ab\0c"s), "ab");
}

TEST(ResponseTextTest, DecodesByTheCharsetOfTheResponse) {
    for (const auto& [contentType, body, expected] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"text/html; charset=utf-8", kBaiduUtf8, kBaiduCp936},
             {"text/html; charset=GBK", kBaiduCp936, kBaiduCp936},
             {"text/html", kBaiduUtf8, kBaiduCp936}}) {
        LoopbackHttpServer server([&](const RecordedRequest&) {
            return Reply::Page(body, "Content-Type: " + contentType + "\r\n");
        });
        HttpRequest request;
        std::string url = server.Url("/");
        request.Open(url);
        request.Send();
        EXPECT_EQ(request.ResponseText(), expected) << contentType;
        EXPECT_EQ(request.StatusText(), "OK");
    }
}

} // namespace
} // namespace pv::http
