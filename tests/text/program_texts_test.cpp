#include "text/program_texts.h"

#include <gtest/gtest.h>

namespace pv::text {
namespace {

TEST(ProgramTextsTest, AreCodePage936Bytes) {
    const ProgramTexts& texts = Texts();
    EXPECT_EQ(texts.defaultFeature, "\xB0\xD9\xB6\xC8\xD2\xBB\xCF\xC2");
    EXPECT_EQ(texts.statusValid, "\xD1\xE9\xD6\xA4\xB3\xC9\xB9\xA6");
    EXPECT_EQ(texts.messageCaption, "\xD0\xC5\xCF\xA2\xA3\xBA");
    EXPECT_EQ(texts.columnStatus, "\xD7\xB4\xCC\xAC");
    EXPECT_EQ(texts.reportInvalid.substr(0, 2), "\r\n");
    EXPECT_EQ(&Texts(), &texts);
}

} // namespace
} // namespace pv::text
