#include "text/blanks.h"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace pv::text {
namespace {

struct TrimCase {
    const char* name;
    std::string input;
    std::string expected;
    friend void PrintTo(const TrimCase& c, std::ostream* os) { *os << c.name; }
};

class TrimBlanksTest : public testing::TestWithParam<TrimCase> {};

TEST_P(TrimBlanksTest, RemovesBlanksAtBothEndsByWholeCharacters) {
    EXPECT_EQ(TrimBlanks(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimBlanksTest,
    testing::Values(TrimCase{"Bare", "1.2.3.4:80", "1.2.3.4:80"},
                    TrimCase{"AsciiSpaces", "   1.2.3.4:80  ", "1.2.3.4:80"},
                    TrimCase{"IdeographicSpaces", "\xA1\xA1 1.2.3.4:80 \xA1\xA1", "1.2.3.4:80"},
                    TrimCase{"InnerBlanksStay", " 1.2.3.4 : 80 ", "1.2.3.4 : 80"},
                    TrimCase{"TabsStay", "\t1.2.3.4:80\t ", "\t1.2.3.4:80\t"},
                    TrimCase{"LineBreaksStay", "a\r", "a\r"}, TrimCase{"Empty", "", ""},
                    TrimCase{"OnlyBlanks", " \xA1\xA1  \xA1\xA1", ""},
                    // 0x81 0x20 is one character: its second byte is not a space.
                    TrimCase{"SpaceAsSecondByte", "\x81 ", "\x81 "},
                    // B0 A1 is a character; the A1 after it is a lone lead byte, not half a blank.
                    TrimCase{"HalfIdeographicSpaceAfterCharacter", "\xB0\xA1\xA1", "\xB0\xA1\xA1"},
                    TrimCase{"IdeographicSpaceAfterCharacter", "\xB0\xA1\xA1\xA1", "\xB0\xA1"},
                    TrimCase{"LoneLeadByteAtEnd", "a \xA1", "a \xA1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TrimLeadingBlanksTest, KeepsTrailingBlanks) {
    EXPECT_EQ(TrimLeadingBlanks(" \xA1\xA1x "), "x ");
}

} // namespace
} // namespace pv::text
