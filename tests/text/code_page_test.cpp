#include "text/code_page.h"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace pv::text {
namespace {

using namespace std::string_literals;

// 百度一下, the default feature string.
const std::string kBaiduUtf8 = "\xE7\x99\xBE\xE5\xBA\xA6\xE4\xB8\x80\xE4\xB8\x8B";
const std::string kBaiduCp936 = "\xB0\xD9\xB6\xC8\xD2\xBB\xCF\xC2";

struct ConversionCase {
    const char* name;
    std::string utf8;
    std::string cp936;
    friend void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.name; }
};

class Utf8ToCp936Test : public testing::TestWithParam<ConversionCase> {};

TEST_P(Utf8ToCp936Test, ConvertsAndReplacesWhatCannotBeConverted) {
    EXPECT_EQ(Utf8ToCp936(GetParam().utf8), GetParam().cp936);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8ToCp936Test,
    testing::Values(ConversionCase{"Empty", "", ""},
                    ConversionCase{"Ascii", "Hello, 1.2.3.4:80", "Hello, 1.2.3.4:80"},
                    ConversionCase{"Chinese", kBaiduUtf8, kBaiduCp936},
                    ConversionCase{"IdeographicSpace", "\xE3\x80\x80", "\xA1\xA1"},
                    ConversionCase{"Euro", "\xE2\x82\xAC", "\x80"},
                    ConversionCase{"ZeroIsKept", "a\0b"s, "a\0b"s},
                    // Characters code page 936 lacks.
                    ConversionCase{"Emoji", "a\xF0\x9F\x98\x80z", "a?z"},
                    ConversionCase{"ReplacementCharacter", "\xEF\xBF\xBD", "?"},
                    // Malformed input: one question mark per maximal broken piece.
                    ConversionCase{"StrayContinuationByte", "a\x80z", "a?z"},
                    ConversionCase{"TruncatedAtEnd", "a\xE7\x99", "a?"},
                    ConversionCase{"TruncatedBeforeAscii", "\xE7\x99z", "?z"},
                    ConversionCase{"Overlong", "\xC0\xAF", "??"},
                    ConversionCase{"Surrogate", "\xED\xA0\x80", "???"},
                    ConversionCase{"PastUnicode", "\xF4\x90\x80\x80", "????"},
                    ConversionCase{"InvalidByte", "\xFF", "?"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8ToCp936Test, Cp936BytesReadAsUtf8DoNotGiveTheSameText) {
    const std::string decoded = Utf8ToCp936(kBaiduCp936);
    EXPECT_NE(decoded, kBaiduCp936);
    EXPECT_EQ(decoded.find(kBaiduCp936), std::string::npos);
}

TEST(Cp936ToUtf8Test, ConvertsChineseAndEuro) {
    EXPECT_EQ(Cp936ToUtf8(kBaiduCp936), kBaiduUtf8);
    EXPECT_EQ(Cp936ToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(Cp936ToUtf8("x\0y"s), "x\0y"s);
}

TEST(Cp936ToUtf16Test, ReplacesUndefinedBytes) {
    EXPECT_EQ(Cp936ToUtf16(kBaiduCp936), u"百度一下");
    // 0xFF defines no character; a lead byte at the end has no second byte.
    EXPECT_EQ(Cp936ToUtf16("a\xFF"), u"a\xFFFD");
    EXPECT_EQ(Cp936ToUtf16("a\x81"), u"a\xFFFD");
    EXPECT_EQ(Cp936ToUtf16(""), u"");
}

TEST(Utf16ToCp936Test, ReplacesLoneSurrogatesAndMissingCharacters) {
    EXPECT_EQ(Utf16ToCp936(u"百度一下"), kBaiduCp936);
    EXPECT_EQ(Utf16ToCp936(u"a\xD800z"), "a?z");
    EXPECT_EQ(Utf16ToCp936(u"a\xDC00"), "a?");
    // One character outside the basic plane gives one question mark, not one per unit.
    EXPECT_EQ(Utf16ToCp936(u"a\U0001F600z"), "a?z");
    EXPECT_EQ(Utf16ToCp936(u"a\0b"s), "a\0b"s);
}

TEST(CodePageTest, EveryDefinedDoubleByteCharacterSurvivesARoundTrip) {
    int defined = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const std::string character{static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string unicode = Cp936ToUtf16(character);
            ASSERT_EQ(unicode.size(), 1u) << std::hex << lead << ' ' << trail;
            if (unicode[0] == u'\xFFFD') {
                continue;
            }
            ++defined;
            EXPECT_EQ(Utf16ToCp936(unicode), character) << std::hex << lead << ' ' << trail;
            EXPECT_EQ(Utf8ToCp936(Cp936ToUtf8(character)), character);
        }
    }
    // GBK defines more than 21,000 double-byte characters.
    EXPECT_GT(defined, 21000);
}

} // namespace
} // namespace pv::text
