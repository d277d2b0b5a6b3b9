#include "text/feature_search.h"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace pv::text {
namespace {

constexpr std::size_t kNotFound = std::string_view::npos;
// 百度一下 in code page 936.
const std::string kBaiduFeature = "\xB0\xD9\xB6\xC8\xD2\xBB\xCF\xC2";

struct SearchCase {
    const char* name;
    std::string text;
    std::string feature;
    std::size_t expected;
    friend void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }
};

class FindFeatureTest : public testing::TestWithParam<SearchCase> {};

TEST_P(FindFeatureTest, FindsTheFirstMatchAtACharacterStart) {
    EXPECT_EQ(FindFeature(GetParam().text, GetParam().feature), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindFeatureTest,
    testing::Values(
        SearchCase{"Ascii", "<title>hello</title>", "hello", 7},
        SearchCase{"FirstOfTwo", "ab ab", "ab", 0},
        SearchCase{"AfterChineseText", "abc" + kBaiduFeature, kBaiduFeature, 3},
        SearchCase{"CaseSensitive", "baidu", "Baidu", kNotFound},
        // D9 B6 occurs only as the second byte of B0 D9 and the first of B6 C8.
        SearchCase{"AcrossCharacterBoundary", "\xB0\xD9\xB6\xC8", "\xD9\xB6", kNotFound},
        // The same bytes first across a boundary, then as a whole character.
        SearchCase{"SkipsSplitCandidate", "\xB0\xD9\xB6\xC8x\xD9\xB6", "\xD9\xB6", 5},
        // 0x81 0x61 is one character, so its "a" is no match.
        SearchCase{"AsciiAsSecondByte",
                   "\x81"
                   "a",
                   "a", kNotFound},
        SearchCase{"LoneLeadByteAtEnd", "x\x81", "\x81", 1},
        SearchCase{"FeatureLongerThanText", "ab", "abc", kNotFound},
        SearchCase{"EmptyText", "", "a", kNotFound}, SearchCase{"EmptyFeature", "abc", "", 0},
        SearchCase{"SpacesAreSearchedAsSpaces", "a  b", "  ", 1},
        SearchCase{"ZeroBytesCompareExactly", std::string("a\0b", 3), std::string("\0b", 2), 1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace pv::text
