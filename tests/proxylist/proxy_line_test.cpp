#include "proxylist/proxy_line.h"

#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace pv::proxylist {
namespace {

struct LineCase {
    const char* name;
    std::string line;
    std::optional<std::pair<std::string, std::string>> expected; // host, port
    friend void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
};

using HostPort = std::pair<std::string, std::string>;

class ParseProxyLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(ParseProxyLineTest, SplitsHostAndPort) {
    const std::optional<ProxyAddress> parsed = ParseProxyLine(GetParam().line);
    ASSERT_EQ(parsed.has_value(), GetParam().expected.has_value());
    if (parsed) {
        EXPECT_EQ(parsed->host, GetParam().expected->first);
        EXPECT_EQ(parsed->port, GetParam().expected->second);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseProxyLineTest,
    testing::Values(LineCase{"Plain", "1.2.3.4:80", HostPort{"1.2.3.4", "80"}},
                    LineCase{"BlanksAtBothEnds", "  1.2.3.4:80\xA1\xA1", HostPort{"1.2.3.4", "80"}},
                    LineCase{"BlanksAroundColonStay", "1.2.3.4 : 80", HostPort{"1.2.3.4 ", " 80"}},
                    LineCase{"FourFields", "1.2.3.4:80:user:pass", HostPort{"1.2.3.4", "80"}},
                    LineCase{"WebAddress", "http://1.2.3.4:80", HostPort{"http", "//1.2.3.4"}},
                    LineCase{"TrailingTabStays", "1.2.3.4:80\t", HostPort{"1.2.3.4", "80\t"}},
                    LineCase{"ExportedLine", "1.2.3.4:80----350", HostPort{"1.2.3.4", "80----350"}},
                    LineCase{"HostName", "proxy.example:3128", HostPort{"proxy.example", "3128"}},
                    LineCase{"NoPort", "1.2.3.4:", std::nullopt},
                    LineCase{"NoHost", ":80", std::nullopt},
                    LineCase{"NoColon", "1.2.3.4", std::nullopt},
                    LineCase{"TwoColons", "1.2.3.4::80", std::nullopt},
                    LineCase{"Empty", "", std::nullopt},
                    LineCase{"OnlyBlanks", "  \xA1\xA1", std::nullopt},
                    // 0x81 0x3A is one character, so its second byte is no colon.
                    LineCase{"ColonAsSecondByte", "\x81:80", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace pv::proxylist
