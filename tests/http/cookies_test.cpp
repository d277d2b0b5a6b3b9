#include "http/cookies.h"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace pv::http {
namespace {

struct CookieCase {
    const char* name;
    std::string headers;
    std::string cookie;
    std::string expected;
    friend void PrintTo(const CookieCase& c, std::ostream* os) { *os << c.name; }
};

class CookieFromHeadersTest : public testing::TestWithParam<CookieCase> {};

TEST_P(CookieFromHeadersTest, FindsTheValueUpToTheNextSemicolon) {
    EXPECT_EQ(CookieFromHeaders(GetParam().headers, GetParam().cookie), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CookieFromHeadersTest,
    testing::Values(CookieCase{"WithAttributes",
                               "Content-Type: text/html\r\nSet-Cookie: sid=abc; Path=/\r\n", "sid",
                               "abc"},
                    CookieCase{"NoBlankAfterColon", "Set-Cookie:sid=abc; Path=/\r\n", "sid", "abc"},
                    CookieCase{"SecondCookie",
                               "Set-Cookie: a=1; Path=/\r\nSet-Cookie: b=2; Path=/\r\n", "b", "2"},
                    // Without ";" on its own line, the value runs to the next ";" further down.
                    CookieCase{"SemicolonOnALaterLine",
                               "Set-Cookie: sid=abc\r\nSet-Cookie: other=1; Path=/\r\n", "sid",
                               "abc\r\nSet-Cookie: other=1"},
                    CookieCase{"NoSemicolonAtAll", "Set-Cookie: sid=abc\r\n", "sid", ""},
                    CookieCase{"TailOfAnotherName", "Set-Cookie: xsid=abc; Path=/\r\n", "sid", ""},
                    CookieCase{"CaseSensitive", "set-cookie: sid=abc; Path=/\r\n", "sid", ""},
                    CookieCase{"Missing", "Set-Cookie: a=1; Path=/\r\n", "sid", ""},
                    CookieCase{"EmptyHeaders", "", "sid", ""},
                    CookieCase{"EmptyValue", "Set-Cookie: sid=; Path=/\r\n", "sid", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SetCookieLinesTest, KeepsLineEndsExceptAfterTheLastPiece) {
    EXPECT_EQ(SetCookieLines("Server: x\r\nSet-Cookie: a=1\r\nVary: y\r\nSet-Cookie:b=2\r\n"),
              "Set-Cookie: a=1\r\nSet-Cookie:b=2");
    EXPECT_EQ(SetCookieLines("Set-Cookie: a=1\r\n\r\n"), "Set-Cookie: a=1\r\n");
    EXPECT_EQ(SetCookieLines("Server: x\r\nset-cookie: a=1\r\n"), "");
    EXPECT_EQ(SetCookieLines(""), "");
}

} // namespace
} // namespace pv::http
