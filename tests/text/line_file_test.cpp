#include "support/temp_dir.h"
#include "text/line_file.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace pv::text {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;
using pv::testing_support::ReadBytes;
using pv::testing_support::TempDir;
using pv::testing_support::WriteBytes;

// Reads every line the way the import does: until AtEnd.
std::vector<std::string> ReadAllLines(LineReader& reader) {
    std::vector<std::string> lines;
    while (!reader.AtEnd()) {
        lines.push_back(reader.ReadLine());
    }
    return lines;
}

std::vector<std::string> ReadAllLines(const std::string& path) {
    auto reader = LineReader::OpenForReading(path);
    if (!reader) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    return ReadAllLines(*reader);
}

struct ReaderCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
    friend void PrintTo(const ReaderCase& c, std::ostream* os) { *os << c.name; }
};

class LineReaderTest : public testing::TestWithParam<ReaderCase> {
protected:
    TempDir dir_;
};

TEST_P(LineReaderTest, SplitsTheTextIntoLines) {
    const std::string path = dir_.File("list.txt");
    WriteBytes(path, GetParam().bytes);
    EXPECT_EQ(ReadAllLines(path), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineReaderTest,
    testing::Values(
        ReaderCase{"EmptyFile", "", {}},
        ReaderCase{"LineFeeds", "1.2.3.4:80\n5.6.7.8:3128\n", {"1.2.3.4:80", "5.6.7.8:3128"}},
        ReaderCase{"CrLf", "1.2.3.4:80\r\n5.6.7.8:3128\r\n", {"1.2.3.4:80", "5.6.7.8:3128"}},
        ReaderCase{"NoFinalLineEnd", "a\r\nb", {"a", "b"}},
        ReaderCase{"EmptyLines", "\n\r\n\n", {"", "", ""}},
        ReaderCase{"OnlyOneCrDropped", "a\r\r\n", {"a\r"}},
        ReaderCase{"LoneCrStays", "a\rb\n", {"a\rb"}},
        ReaderCase{"NulInTheMiddle", "a\nb\0c\nd\n"s, {"a", "b"}},
        ReaderCase{"NulAtStart", "\0a\n"s, {}},
        ReaderCase{"FinalCtrlZ", "a\r\nb\r\n\x1A", {"a", "b"}},
        ReaderCase{"CtrlZAtStart",
                   "\x1A"
                   "a\n",
                   {}},
        ReaderCase{"CtrlZEndsLine",
                   "a\x1A"
                   "b\n",
                   {"a"}},
        ReaderCase{"CtrlZAsSecondByte",
                   "\x81\x1A"
                   "b\nc",
                   {"\x81\x1A"
                    "b",
                    "c"}},
        ReaderCase{"LineFeedAsSecondByteJoinsLines", "a\x81\nb\nc", {"a\x81\nb", "c"}},
        ReaderCase{"CrAsSecondByteStays", "\x81\r\nx", {"\x81\r", "x"}},
        ReaderCase{"ChineseText", "\xB0\xD9\xB6\xC8\r\n", {"\xB0\xD9\xB6\xC8"}},
        ReaderCase{"LeadByteAtEndOfFile", "a\x81", {"a\x81"}},
        ReaderCase{"NulAsSecondByteEndsText", "a\x81\0b\n"s, {"a\x81"}},
        ReaderCase{"Utf8ByteOrderMarkIsKept",
                   "\xEF\xBB\xBF"
                   "1.2.3.4:80\n",
                   {"\xEF\xBB\xBF"
                    "1.2.3.4:80"}},
        // "1:2" in UTF-16: FF FE is one character, then "1" and the first NUL.
        ReaderCase{"Utf16",
                   "\xFF\xFE"
                   "1\0:\0"
                   "2\0"s,
                   {"\xFF\xFE"
                    "1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineReaderBufferTest, CharactersAcrossReadBoundariesStayWhole) {
    // Put a lead byte, followed by a line feed or a NUL, at every offset around the first
    // few multiples of any plausible read size, so that one of them splits the pair.
    TempDir dir;
    const std::string path = dir.File("list.txt");
    for (const std::size_t boundary : {4096u, 8192u, 65536u, 131072u}) {
        for (std::size_t length = boundary - 2; length <= boundary + 1; ++length) {
            const std::string head(length, 'x');
            WriteBytes(path, head + "\x81\ny\nz");
            EXPECT_EQ(ReadAllLines(path), (std::vector<std::string>{head + "\x81\ny", "z"}))
                << "lead byte at " << length;
            WriteBytes(path, head + "\x81"s + "\0y"s);
            EXPECT_EQ(ReadAllLines(path), std::vector<std::string>{head + "\x81"})
                << "lead byte at " << length;
            WriteBytes(path, head + "\r\nz");
            EXPECT_EQ(ReadAllLines(path), (std::vector<std::string>{head, "z"}))
                << "carriage return at " << length;
        }
    }
}

TEST(LineReaderBufferTest, ReadsALineOfTenMegabytes) {
    TempDir dir;
    const std::string path = dir.File("long.txt");
    std::string line;
    for (int i = 0; line.size() < 10'000'000; ++i) {
        line += std::to_string(i) + ":\xB0\xD9;";
    }
    WriteBytes(path, line + "\r\nlast");
    const auto lines = ReadAllLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0] == line) << "the long line came back changed";
    EXPECT_EQ(lines[1], "last");
}

TEST(LineReaderTest, ReadLineAtTheEndGivesTheEmptyText) {
    TempDir dir;
    const std::string path = dir.File("list.txt");
    WriteBytes(path, "a\n\x1A"
                     "b\n");
    auto reader = LineReader::OpenForReading(path);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->ReadLine(), "a");
    EXPECT_TRUE(reader->AtEnd());
    EXPECT_EQ(reader->ReadLine(), "");
    EXPECT_TRUE(reader->AtEnd());
}

TEST(LineReaderTest, RefusesWhatCannotBeRead) {
    TempDir dir;
    EXPECT_FALSE(LineReader::OpenForReading(dir.File("missing.txt")));
    EXPECT_FALSE(LineReader::OpenForReading(dir.File("")));
    const std::string locked = dir.File("locked.txt");
    WriteBytes(locked, "a:1\n");
    fs::permissions(locked, fs::perms::none);
    if (::geteuid() != 0) { // root reads whatever the permissions say
        EXPECT_FALSE(LineReader::OpenForReading(locked));
    }
}

TEST(LineReaderTest, TheFileStaysOpenToOthers) {
    TempDir dir;
    const std::string path = dir.File("list.txt");
    WriteBytes(path, "a:1\nb:2\n");
    auto reader = LineReader::OpenForReading(path);
    ASSERT_TRUE(reader);
    EXPECT_EQ(ReadAllLines(path), (std::vector<std::string>{"a:1", "b:2"}));
    EXPECT_TRUE(WriteWholeFile(path, "c:3\n"));
    EXPECT_EQ(ReadAllLines(*reader), std::vector<std::string>{"c:3"});
}

TEST(LineWriterTest, EndsEveryLineWithCrLfAndReplacesTheFile) {
    TempDir dir;
    const std::string path = dir.File("out.txt");
    WriteBytes(path, "old content that is longer than the new one\n");
    auto writer = LineWriter::CreateForWriting(path);
    ASSERT_TRUE(writer);
    EXPECT_TRUE(writer->WriteLine("1.2.3.4:80----350"));
    EXPECT_TRUE(writer->WriteLine(""));
    EXPECT_TRUE(writer->WriteLine("\xD1\xE9\xD6\xA4"s + "\0z"s));
    EXPECT_TRUE(writer->Close());
    EXPECT_EQ(ReadBytes(path), "1.2.3.4:80----350\r\n\r\n\xD1\xE9\xD6\xA4\0z\r\n"s);
}

TEST(LineWriterTest, ManyLinesAllArrive) {
    TempDir dir;
    const std::string path = dir.File("out.txt");
    std::string expected;
    {
        auto writer = LineWriter::CreateForWriting(path);
        ASSERT_TRUE(writer);
        for (int i = 0; i < 100000; ++i) {
            const std::string line = "10.0." + std::to_string(i) + ":8080";
            ASSERT_TRUE(writer->WriteLine(line));
            expected += line + "\r\n";
        }
        // The destructor writes out what is still buffered.
    }
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST(LineWriterTest, ReportsAFailedWrite) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    // Enough lines to fill any buffer: the failure shows on a line.
    auto writer = LineWriter::CreateForWriting("/dev/full");
    ASSERT_TRUE(writer);
    bool everyLineAccepted = true;
    for (int i = 0; i < 100000; ++i) {
        everyLineAccepted = writer->WriteLine("1.2.3.4:80----350----ok") && everyLineAccepted;
    }
    EXPECT_FALSE(everyLineAccepted);
    EXPECT_FALSE(writer->Close());

    // One short line stays buffered: the failure shows when the file is closed.
    auto shortWriter = LineWriter::CreateForWriting("/dev/full");
    ASSERT_TRUE(shortWriter);
    EXPECT_TRUE(shortWriter->WriteLine("1.2.3.4:80"));
    EXPECT_FALSE(shortWriter->Close());
    EXPECT_FALSE(WriteWholeFile("/dev/full", "x"));
}

TEST(LineWriterTest, RefusesAFolderThatDoesNotExist) {
    TempDir dir;
    EXPECT_FALSE(LineWriter::CreateForWriting(dir.File("missing/out.txt")));
    EXPECT_FALSE(WriteWholeFile(dir.File("missing/out.txt"), "x"));
}

TEST(WriteWholeFileTest, WritesExactlyTheBytes) {
    TempDir dir;
    const std::string path = dir.File("1.she");
    const std::string bytes = "\x00\x01\xFF\r\n"s;
    ASSERT_TRUE(WriteWholeFile(path, "a much longer earlier content"));
    ASSERT_TRUE(WriteWholeFile(path, bytes));
    EXPECT_EQ(ReadBytes(path), bytes);
    ASSERT_TRUE(WriteWholeFile(path, ""));
    EXPECT_EQ(ReadBytes(path), "");
}

TEST(CurrentDirectoryTest, MatchesTheProcessWorkingDirectory) {
    const fs::path before = fs::current_path();
    EXPECT_EQ(CurrentDirectory(), before.string());
    fs::current_path("/");
    EXPECT_EQ(CurrentDirectory(), "/");
    fs::current_path(before);
}

} // namespace
} // namespace pv::text
