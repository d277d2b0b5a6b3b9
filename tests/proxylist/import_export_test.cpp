#include "proxylist/import_export.h"
#include "proxylist/proxy_table.h"
#include "shell/control_names.h"
#include "shell/headless/headless_toolkit.h"
#include "support/temp_dir.h"
#include "text/code_page.h"
#include "text/program_texts.h"

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace pv::proxylist {
namespace {

using namespace std::string_literals;
using pv::testing_support::ReadBytes;
using pv::testing_support::TempDir;
using pv::testing_support::WriteBytes;
using shell::HeadlessToolkit;
using shell::MessageButtons;
using shell::MessageIcon;

const text::ProgramTexts& T = text::Texts();

class ImportExportTest : public testing::Test {
protected:
    ImportExportTest() {
        toolkit_.SetFileDialogResponder([this](const HeadlessToolkit::FileDialogRequest& request)
                                            -> std::optional<std::string> {
            dialogRequests_.push_back(request);
            return nextPath_;
        });
        toolkit_.SetMessageResponder([this](const HeadlessToolkit::MessageRecord& box) -> int {
            if (box.buttons == MessageButtons::kYesNo) {
                return answerValidOnly_ ? shell::kYesPressed : shell::kNoPressed;
            }
            return shell::kOkPressed;
        });
    }

    // Imports a file holding `bytes` through the dialog, as a click does.
    void ImportBytes(const std::string& bytes, const std::string& name = "list.txt") {
        nextPath_ = dir_.File(name);
        WriteBytes(*nextPath_, bytes);
        toolkit_.RunOnUiThread([this] { ImportProxyList(toolkit_); });
    }
    void Export(bool validOnly, const std::string& name = "out.txt") {
        answerValidOnly_ = validOnly;
        nextPath_ = dir_.File(name);
        toolkit_.RunOnUiThread([this] { ExportProxyList(toolkit_); });
    }
    std::vector<ProxyRow> Rows() {
        std::vector<ProxyRow> rows;
        for (int i = 0; i < toolkit_.ProxyList().RowCount(); ++i) {
            rows.push_back(*toolkit_.ProxyList().ReadRow(i));
        }
        return rows;
    }
    std::vector<std::pair<std::string, std::string>> HostsAndPorts() {
        std::vector<std::pair<std::string, std::string>> result;
        for (const ProxyRow& row : Rows()) {
            result.emplace_back(row.host, row.port);
        }
        return result;
    }
    std::string SavedMessage(const std::string& name, int lines) {
        return T.exportSaved + text::Utf8ToCp936(dir_.File(name)) + T.exportSucceeded +
               std::to_string(lines) + T.exportLines;
    }

    TempDir dir_;
    HeadlessToolkit toolkit_;
    std::optional<std::string> nextPath_;
    bool answerValidOnly_ = false;
    std::vector<HeadlessToolkit::FileDialogRequest> dialogRequests_;
};

using HostPorts = std::vector<std::pair<std::string, std::string>>;

TEST_F(ImportExportTest, ImportAppendsAUsableRowPerLine) {
    ImportBytes("1.2.3.4:80\r\n"
                "  5.6.7.8:3128\xA1\xA1\n"
                "1.2.3.4 : 80\n"
                "9.9.9.9:8080:user:pass\n"
                "1.2.3.4:\n:80\n1.2.3.4\n1.2.3.4::80\n\n"
                "http://1.2.3.4:80\n"
                "7.7.7.7:81\t\n"
                "last.example:8000");
    EXPECT_EQ(HostsAndPorts(), (HostPorts{{"1.2.3.4", "80"},
                                          {"5.6.7.8", "3128"},
                                          {"1.2.3.4 ", " 80"},
                                          {"9.9.9.9", "8080"},
                                          {"http", "//1.2.3.4"},
                                          {"7.7.7.7", "81\t"},
                                          {"last.example", "8000"}}));
    const std::vector<ProxyRow> rows = Rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].number, std::to_string(i + 1));
        EXPECT_EQ(rows[i].delay, "**");
        EXPECT_EQ(rows[i].status, "-");
        EXPECT_EQ(rows[i].stateImage, kNotVerified);
    }
    EXPECT_EQ(toolkit_.PaneText(0), T.paneTotal + "7");
    EXPECT_TRUE(toolkit_.IsEnabled(shell::kImportButton));
    EXPECT_TRUE(toolkit_.Messages().empty());
    ASSERT_EQ(dialogRequests_.size(), 1u);
    EXPECT_EQ(dialogRequests_[0].kind, shell::FileDialogKind::kOpen);
    EXPECT_EQ(dialogRequests_[0].filter, T.fileFilter);
}

struct FileCase {
    const char* name;
    std::string bytes;
    HostPorts rows;
    friend void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }
};

class ImportFileTest : public ImportExportTest, public testing::WithParamInterface<FileCase> {};

TEST_P(ImportFileTest, ReadsTheFileAsTheRulesSay) {
    ImportBytes(GetParam().bytes);
    EXPECT_EQ(HostsAndPorts(), GetParam().rows);
    EXPECT_EQ(toolkit_.PaneText(0), T.paneTotal + std::to_string(GetParam().rows.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImportFileTest,
    testing::Values(FileCase{"LastLineWithoutLineEnd", "1.2.3.4:80", {{"1.2.3.4", "80"}}},
                    FileCase{"Utf8ByteOrderMark",
                             "\xEF\xBB\xBF"
                             "1.2.3.4:80\r\n",
                             {{"\xEF\xBB\xBF"
                               "1.2.3.4",
                               "80"}}},
                    FileCase{"Utf16GivesNoRow",
                             "\xFF\xFE"
                             "1\0.\0"
                             "2\0:\0"
                             "8\0"
                             "0\0"s,
                             {}},
                    FileCase{"FinalCtrlZ",
                             "1.2.3.4:80\r\n5.6.7.8:81\r\n\x1A",
                             {{"1.2.3.4", "80"}, {"5.6.7.8", "81"}}},
                    FileCase{"NulEndsTheText",
                             "1.2.3.4:80\n\0"
                             "5.6.7.8:81\n"s,
                             {{"1.2.3.4", "80"}}},
                    // A lead byte before the line feed joins the next line to this one.
                    FileCase{"HalfCharacterJoinsLines",
                             "1.2.3.4:80\x81\n5.6.7.8:3128\n",
                             {{"1.2.3.4", "80\x81\n5.6.7.8"}}},
                    FileCase{"ExportedFile", "1.2.3.4:80----350\r\n", {{"1.2.3.4", "80----350"}}},
                    FileCase{"NothingUsable", "\r\n\r\nno proxies here\r\n", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImportExportTest, ASecondImportNumbersOnAndOffersTheLastFile) {
    ImportBytes("1.1.1.1:1\n2.2.2.2:2\n3.3.3.3:3\n", "first.txt");
    ImportBytes("4.4.4.4:4\n5.5.5.5:5\n6.6.6.6:6\n", "second.txt");
    const std::vector<ProxyRow> rows = Rows();
    ASSERT_EQ(rows.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rows[static_cast<std::size_t>(i)].number, std::to_string(i + 1));
    }
    EXPECT_EQ(rows[3].host, "4.4.4.4");
    EXPECT_EQ(toolkit_.PaneText(0), T.paneTotal + "6");
    ASSERT_EQ(dialogRequests_.size(), 2u);
    EXPECT_EQ(dialogRequests_[0].initialPath, "");
    EXPECT_EQ(dialogRequests_[1].initialPath, dir_.File("first.txt"));
}

TEST_F(ImportExportTest, ImportKeepsTheButtonDisabledWhileItReads) {
    std::vector<bool> enabledWhileAppending;
    toolkit_.ProxyList().SetChangeListener([&] {
        enabledWhileAppending.push_back(toolkit_.IsEnabled(shell::kImportButton));
        toolkit_.ProxyList().TakeChanges();
    });
    ImportBytes("1.1.1.1:1\n2.2.2.2:2\n");
    EXPECT_EQ(enabledWhileAppending, (std::vector<bool>{false, false}));
    EXPECT_TRUE(toolkit_.IsEnabled(shell::kImportButton));
}

TEST_F(ImportExportTest, ImportOfAFileThatCannotBeOpenedChangesNothing) {
    ImportBytes("1.1.1.1:1\n");
    nextPath_ = dir_.File("missing.txt");
    toolkit_.RunOnUiThread([this] { ImportProxyList(toolkit_); });
    nextPath_ = std::nullopt; // cancel
    toolkit_.RunOnUiThread([this] { ImportProxyList(toolkit_); });
    EXPECT_EQ(Rows().size(), 1u);
    EXPECT_EQ(toolkit_.PaneText(0), T.paneTotal + "1");
    EXPECT_TRUE(toolkit_.IsEnabled(shell::kImportButton));
    EXPECT_TRUE(toolkit_.Messages().empty());
}

TEST_F(ImportExportTest, CancelledImportLeavesThePaneAsItWas) {
    nextPath_ = std::nullopt;
    toolkit_.RunOnUiThread([this] { ImportProxyList(toolkit_); });
    EXPECT_EQ(toolkit_.PaneText(0), T.paneTotal + "0");
    EXPECT_EQ(dialogRequests_.size(), 1u);
}

TEST_F(ImportExportTest, ExportOfAnEmptyTableOnlySaysSo) {
    Export(true);
    const auto messages = toolkit_.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, T.exportNoRows);
    EXPECT_EQ(messages[0].caption, T.messageCaption);
    EXPECT_EQ(messages[0].icon, MessageIcon::kExclamation);
    EXPECT_EQ(messages[0].buttons, MessageButtons::kOk);
    EXPECT_TRUE(dialogRequests_.empty());
}

class ExportTest : public ImportExportTest {
protected:
    ExportTest() {
        ImportBytes("1.1.1.1:80\n2.2.2.2:81\n3.3.3.3:82\n9.9.9.9:80\n", "list.txt");
        ProxyTable& table = toolkit_.ProxyList();
        table.SetResult(0, "350", T.statusValid, kValid);
        table.SetResult(1, "*/*", T.statusInvalid, kInvalid);
        table.SetResult(2, "12000", T.statusValid, kSlowValid);
        dialogRequests_.clear();
    }
};

TEST_F(ExportTest, ValidOnlyWritesEveryRowFoundValidSlowOnesIncluded) {
    Export(true);
    EXPECT_EQ(ReadBytes(dir_.File("out.txt")), "1.1.1.1:80----350\r\n3.3.3.3:82----12000\r\n");
    const auto messages = toolkit_.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, T.exportAskValidOnly);
    EXPECT_EQ(messages[0].icon, MessageIcon::kExclamation);
    EXPECT_EQ(messages[0].buttons, MessageButtons::kYesNo);
    EXPECT_EQ(messages[1].text, SavedMessage("out.txt", 2));
    EXPECT_EQ(messages[1].icon, MessageIcon::kInformation);
    ASSERT_EQ(dialogRequests_.size(), 1u);
    EXPECT_EQ(dialogRequests_[0].kind, shell::FileDialogKind::kSave);
    EXPECT_EQ(dialogRequests_[0].initialPath, dir_.File("list.txt"));
    EXPECT_TRUE(toolkit_.IsEnabled(shell::kExportButton));
}

TEST_F(ExportTest, AllRowsCarryDelayAndStatus) {
    Export(false);
    EXPECT_EQ(ReadBytes(dir_.File("out.txt")),
              "1.1.1.1:80----350----" + T.statusValid + "\r\n" + "2.2.2.2:81----*/*----" +
                  T.statusInvalid + "\r\n" + "3.3.3.3:82----12000----" + T.statusValid + "\r\n" +
                  "9.9.9.9:80----**-----\r\n");
    EXPECT_EQ(toolkit_.Messages().back().text, SavedMessage("out.txt", 4));
}

TEST_F(ExportTest, ASecondExportReplacesTheFile) {
    Export(false);
    Export(true);
    EXPECT_EQ(ReadBytes(dir_.File("out.txt")), "1.1.1.1:80----350\r\n3.3.3.3:82----12000\r\n");
}

TEST_F(ExportTest, NoQualifyingRowGivesAnEmptyFile) {
    ProxyTable& table = toolkit_.ProxyList();
    table.SetResult(0, "*/*", T.statusInvalid, kInvalid);
    table.SetResult(2, "3000", T.statusTimeout, kInvalid);
    WriteBytes(dir_.File("out.txt"), "old");
    Export(true);
    EXPECT_EQ(ReadBytes(dir_.File("out.txt")), "");
    EXPECT_EQ(toolkit_.Messages().back().text, SavedMessage("out.txt", 0));
}

TEST_F(ExportTest, CancelledOrUnwritableExportWritesNothing) {
    nextPath_ = std::nullopt;
    answerValidOnly_ = true;
    toolkit_.RunOnUiThread([this] { ExportProxyList(toolkit_); });
    Export(true, "missing-folder/out.txt");
    const auto messages = toolkit_.Messages();
    ASSERT_EQ(messages.size(), 2u); // the question each time, nothing after it
    EXPECT_EQ(messages[0].text, T.exportAskValidOnly);
    EXPECT_EQ(messages[1].text, T.exportAskValidOnly);
    EXPECT_TRUE(toolkit_.IsEnabled(shell::kExportButton));
}

TEST_F(ExportTest, AFailedWriteIsReportedAsAFailure) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    answerValidOnly_ = false;
    nextPath_ = "/dev/full";
    toolkit_.RunOnUiThread([this] { ExportProxyList(toolkit_); });
    const auto messages = toolkit_.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, T.exportSaved + "/dev/full" + T.exportFailed);
    EXPECT_EQ(messages[1].icon, MessageIcon::kExclamation);
    EXPECT_TRUE(toolkit_.IsEnabled(shell::kExportButton));
}

TEST_F(ImportExportTest, ResultsWrittenDuringImportAndExportStayWholeAndInTheirRows) {
    constexpr int kRows = 2000;
    std::string list;
    for (int i = 0; i < kRows; ++i) {
        list += "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256) + ":" +
                std::to_string(1000 + i) + "\r\n";
    }
    ImportBytes(list, "first.txt");

    // Workers write results that name their row and their round, as checks would, until the
    // imports and exports below are done.
    constexpr int kWorkers = 4;
    std::atomic<bool> stop{false};
    std::vector<int> lastRound(kWorkers, -1);
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int round = 0; !stop.load(); ++round) {
                for (int row = w; row < kRows; row += kWorkers) {
                    const std::string mark = std::to_string(row) + "r" + std::to_string(round);
                    toolkit_.ProxyList().SetResult(row, mark, "s" + mark, kValid);
                    // A worker calls the UI thread now and then, as the checks do.
                    if (row % 97 == 0) {
                        toolkit_.SetPaneText(1, mark);
                    }
                }
                lastRound[static_cast<std::size_t>(w)] = round;
            }
        });
    }
    constexpr int kExports = 3;
    for (int exportNumber = 0; exportNumber < kExports; ++exportNumber) {
        ImportBytes(list, "second.txt");
        Export(false, "all.txt");
        // Every exported line holds one row's own cells from one moment.
        const std::string exported = ReadBytes(dir_.File("all.txt"));
        std::size_t start = 0;
        int line = 0;
        while (start < exported.size()) {
            const std::size_t end = exported.find("\r\n", start);
            ASSERT_NE(end, std::string::npos);
            const std::string text = exported.substr(start, end - start);
            start = end + 2;
            const int row = line++ % kRows;
            const std::string address = "10.0." + std::to_string(row / 256) + "." +
                                        std::to_string(row % 256) + ":" +
                                        std::to_string(1000 + row);
            ASSERT_EQ(text.substr(0, address.size()), address) << text;
            const std::string rest = text.substr(address.size());
            if (rest == "----**-----") {
                continue;
            }
            const std::size_t split = rest.find("----s");
            ASSERT_NE(split, std::string::npos) << text;
            const std::string delay = rest.substr(4, split - 4);
            EXPECT_EQ(rest.substr(split + 5), delay) << "torn row: " << text;
            EXPECT_EQ(delay.substr(0, delay.find('r')), std::to_string(row)) << text;
        }
        EXPECT_EQ(line, kRows * (exportNumber + 2));
    }
    stop = true;
    for (auto& worker : workers) {
        worker.join();
    }
    // Each first-import row ends with its worker's last result.
    for (int row = 0; row < kRows; ++row) {
        const std::string mark =
            std::to_string(row) + "r" +
            std::to_string(lastRound[static_cast<std::size_t>(row % kWorkers)]);
        const std::optional<ProxyRow> r = toolkit_.ProxyList().ReadRow(row);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->delay, mark);
        EXPECT_EQ(r->status, "s" + mark);
    }
    EXPECT_EQ(toolkit_.ProxyList().RowCount(), kRows * (kExports + 1));
}

} // namespace
} // namespace pv::proxylist
