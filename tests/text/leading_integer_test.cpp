#include "text/leading_integer.h"

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace pv::text {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct IntegerCase {
    const char* name;
    std::string input;
    std::int32_t expected;
    friend void PrintTo(const IntegerCase& c, std::ostream* os) { *os << c.name; }
};

class LeadingIntegerTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(LeadingIntegerTest, ReadsTheLeadingNumber) {
    EXPECT_EQ(LeadingInteger(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LeadingIntegerTest,
    testing::Values(
        IntegerCase{"Plain", "500", 500}, IntegerCase{"LeadingSpaces", "  42", 42},
        IntegerCase{"IdeographicSpace", "\xA1\xA1 7", 7}, IntegerCase{"TabIsNoBlank", "\t5", 0},
        IntegerCase{"Negative", "-3", -3}, IntegerCase{"Plus", "+8", 8},
        IntegerCase{"SignThenBlank", "- 3", 0}, IntegerCase{"Letters", "abc", 0},
        IntegerCase{"DigitsThenLetters", "12ab", 12}, IntegerCase{"Empty", "", 0},
        IntegerCase{"OnlySign", "-", 0}, IntegerCase{"LeadingZeros", "0015000", 15000},
        IntegerCase{"FullWidthDigit", "\xA3\xB1", 0}, IntegerCase{"Max", "2147483647", kMax},
        IntegerCase{"JustPastMax", "2147483648", kMax}, IntegerCase{"Min", "-2147483648", kMin},
        IntegerCase{"JustPastMin", "-2147483649", kMin},
        IntegerCase{"FarPastMax", "99999999999999999999999999", kMax},
        IntegerCase{"FarPastMin", "-99999999999999999999999999", kMin}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace pv::text
