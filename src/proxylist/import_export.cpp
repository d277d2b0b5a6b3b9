#include "proxylist/import_export.h"

#include "proxylist/proxy_line.h"
#include "proxylist/proxy_table.h"
#include "shell/control_names.h"
#include "shell/toolkit.h"
#include "text/code_page.h"
#include "text/line_file.h"
#include "text/program_texts.h"

#include <string>

namespace pv::proxylist {

using shell::FileDialogKind;
using shell::MessageButtons;
using shell::MessageIcon;

namespace {

constexpr std::string_view kFieldSeparator = "----";

// Enables the button again on every way out of a handler.
class DisabledWhileInScope {
public:
    DisabledWhileInScope(shell::Toolkit& toolkit, std::string_view button)
        : toolkit_(toolkit)
        , button_(button) {
        toolkit_.SetEnabled(button_, false);
    }
    ~DisabledWhileInScope() { toolkit_.SetEnabled(button_, true); }
    DisabledWhileInScope(const DisabledWhileInScope&) = delete;
    DisabledWhileInScope& operator=(const DisabledWhileInScope&) = delete;

private:
    shell::Toolkit& toolkit_;
    std::string_view button_;
};

} // namespace

void ImportProxyList(shell::Toolkit& toolkit) {
    const text::ProgramTexts& texts = text::Texts();
    if (!toolkit.ShowFileDialog(FileDialogKind::kOpen, texts.fileFilter)) {
        return;
    }
    const DisabledWhileInScope disabled(toolkit, shell::kImportButton);
    auto reader = text::LineReader::OpenForReading(toolkit.FileDialogPath());
    if (!reader) {
        return;
    }
    ProxyTable& table = toolkit.ProxyList();
    while (!reader->AtEnd()) {
        const std::string line = reader->ReadLine();
        const std::optional<ProxyAddress> proxy = ParseProxyLine(line);
        if (!proxy) {
            continue;
        }
        table.AppendProxyRow(proxy->host, proxy->port);
        toolkit.PumpMessages();
    }
    reader->Close();
    toolkit.SetPaneText(0, texts.paneTotal + std::to_string(table.RowCount()));
}

void ExportProxyList(shell::Toolkit& toolkit) {
    const text::ProgramTexts& texts = text::Texts();
    ProxyTable& table = toolkit.ProxyList();
    if (table.RowCount() < 1) {
        toolkit.ShowMessage(texts.exportNoRows, MessageIcon::kExclamation, MessageButtons::kOk);
        return;
    }
    const bool validOnly = toolkit.ShowMessage(texts.exportAskValidOnly, MessageIcon::kExclamation,
                                               MessageButtons::kYesNo) == shell::kYesPressed;
    if (!toolkit.ShowFileDialog(FileDialogKind::kSave, texts.fileFilter)) {
        return;
    }
    const DisabledWhileInScope disabled(toolkit, shell::kExportButton);
    const std::string path = toolkit.FileDialogPath();
    auto writer = text::LineWriter::CreateForWriting(path);
    if (!writer) {
        return;
    }
    const int rows = table.RowCount();
    int written = 0;
    bool failed = false;
    std::string line;
    for (int index = 0; index < rows && !failed; ++index) {
        toolkit.PumpMessages();
        const std::optional<ProxyRow> row = table.ReadRow(index);
        if (!row || (validOnly && row->status != texts.statusValid)) {
            continue;
        }
        line.assign(row->host).append(":").append(row->port).append(kFieldSeparator);
        line.append(row->delay);
        if (!validOnly) {
            line.append(kFieldSeparator).append(row->status);
        }
        failed = !writer->WriteLine(line);
        ++written;
    }
    failed = !writer->Close() || failed;

    const std::string shownPath = text::Utf8ToCp936(path);
    if (failed) {
        // The file is incomplete: say so instead of reporting success.
        toolkit.ShowMessage(texts.exportSaved + shownPath + texts.exportFailed,
                            MessageIcon::kExclamation, MessageButtons::kOk);
        return;
    }
    toolkit.ShowMessage(texts.exportSaved + shownPath + texts.exportSucceeded +
                            std::to_string(written) + texts.exportLines,
                        MessageIcon::kInformation, MessageButtons::kOk);
}

} // namespace pv::proxylist
