#include "cli/cli_run.h"

#include "engine/application.h"
#include "engine/run_commands.h"
#include "engine/target_test.h"
#include "proxylist/import_export.h"
#include "proxylist/proxy_table.h"
#include "shell/control_names.h"
#include "shell/headless/headless_toolkit.h"
#include "text/code_page.h"
#include "text/line_file.h"
#include "text/program_texts.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace pv::cli {

namespace {

using Clock = std::chrono::steady_clock;
using shell::HeadlessToolkit;

// A message box's text for a terminal: UTF-8, lines ended by LF alone.
std::string Utf8Message(std::string_view cp936) {
    const std::string utf8 = text::Cp936ToUtf8(cp936);
    std::string text;
    text.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (!(utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')) {
            text += utf8[i];
        }
    }
    return text;
}

std::string JsonString(std::string_view utf8) {
    std::string json = "\"";
    for (const char c : utf8) {
        switch (c) {
        case '"':
            json += "\\\"";
            break;
        case '\\':
            json += "\\\\";
            break;
        case '\n':
            json += "\\n";
            break;
        case '\r':
            json += "\\r";
            break;
        case '\t':
            json += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                json += escaped;
            } else {
                json += c;
            }
        }
    }
    return json + "\"";
}

std::string JsonRow(const proxylist::ProxyRow& row) {
    const text::ProgramTexts& texts = text::Texts();
    std::string state = "unverified";
    std::string delay = "null";
    if (row.status == texts.statusValid) {
        state = row.stateImage == proxylist::kSlowValid ? "slow-valid" : "valid";
        delay = row.delay;
    } else if (row.status == texts.statusTimeout) {
        state = "timeout";
    } else if (row.status == texts.statusInvalid) {
        state = "invalid";
    }
    return "{\"host\":" + JsonString(text::Cp936ToUtf8(row.host)) +
           ",\"port\":" + JsonString(text::Cp936ToUtf8(row.port)) + ",\"delay\":" + delay +
           ",\"status\":" + JsonString(text::Cp936ToUtf8(row.status)) +
           ",\"state\":" + JsonString(state) + "}";
}

class Progress {
public:
    Progress(std::ostream& err, bool quiet, int total)
        : err_(err)
        , quiet_(quiet)
        , terminal_(::isatty(STDERR_FILENO) == 1)
        , total_(total)
        , start_(Clock::now())
        , lastShown_(start_) {}

    void Show(const engine::RunState& state, bool final) {
        const Clock::time_point now = Clock::now();
        const auto interval = terminal_ ? std::chrono::milliseconds(100) : std::chrono::seconds(5);
        if (quiet_ || (!final && now - lastShown_ < interval)) {
            return;
        }
        lastShown_ = now;
        const int done = state.doneCount.load();
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double rate = seconds > 0 ? done / seconds : 0;
        const double left = rate > 0 ? (total_ - done) / rate : 0;
        char line[160];
        std::snprintf(line, sizeof line,
                      "%d/%d done, %d valid, %d invalid, %.0f checks/s, %.0f s left", done, total_,
                      state.validCount.load(), state.invalidCount.load(), rate, left);
        if (terminal_) {
            err_ << '\r' << line << "\x1b[K" << (final ? "\n" : "") << std::flush;
        } else {
            err_ << line << '\n' << std::flush;
        }
    }

private:
    std::ostream& err_;
    bool quiet_;
    bool terminal_;
    int total_;
    Clock::time_point start_;
    Clock::time_point lastShown_;
};

class CliSession {
public:
    CliSession(const CliOptions& options, std::ostream& err)
        : options_(options)
        , err_(err) {
        toolkit_.SetMessageResponder([this](const HeadlessToolkit::MessageRecord& box) {
            // The export's question is answered by --all, not shown.
            if (box.buttons == shell::MessageButtons::kYesNo) {
                return options_.allRows ? int{shell::kNoPressed} : int{shell::kYesPressed};
            }
            err_ << Utf8Message(box.caption) << Utf8Message(box.text) << '\n' << std::flush;
            return int{shell::kOkPressed};
        });
        toolkit_.SetFileDialogResponder([this](const HeadlessToolkit::FileDialogRequest& request) {
            return request.kind == shell::FileDialogKind::kOpen ? options_.file
                                                                : options_.exportPath.value_or("");
        });
        toolkit_.TypeText(shell::kUrlEdit, text::Utf8ToCp936(options_.url));
        toolkit_.TypeText(shell::kFeatureEdit, text::Utf8ToCp936(options_.feature));
        toolkit_.SetCheckedByUser(shell::kUtfDecodeCheck, options_.utfDecode);
        toolkit_.TypeText(shell::kThreadsEdit, options_.threads);
        toolkit_.TypeText(shell::kConnectTimeoutEdit, options_.connectTimeout);
        toolkit_.TypeText(shell::kVerifyTimeoutEdit, options_.verifyTimeout);
    }

    HeadlessToolkit& Toolkit() { return toolkit_; }
    engine::Application& App() { return app_; }
    void Click(void (*handler)(engine::Application&)) {
        toolkit_.RunOnUiThread([&] { handler(app_); });
    }
    void Click(void (*handler)(shell::Toolkit&)) {
        toolkit_.RunOnUiThread([&] { handler(toolkit_); });
    }
    std::size_t MessageCount() const { return toolkit_.Messages().size(); }

private:
    const CliOptions& options_;
    std::ostream& err_;
    HeadlessToolkit toolkit_;
    engine::Application app_{toolkit_};
};

int WriteResults(CliSession& session, const CliOptions& options, std::ostream& out,
                 std::ostream& err) {
    proxylist::ProxyTable& table = session.Toolkit().ProxyList();
    const text::ProgramTexts& texts = text::Texts();
    if (options.format == OutputFormat::kJsonLines) {
        std::ostringstream lines;
        for (int i = 0; i < table.RowCount(); ++i) {
            lines << JsonRow(*table.ReadRow(i)) << '\n';
        }
        if (!options.exportPath) {
            out << lines.str() << std::flush;
            return kExitDone;
        }
        if (!text::WriteWholeFile(*options.exportPath, lines.str())) {
            err << "proxy-verifier-cli: cannot write " << *options.exportPath << '\n';
            return kExitFile;
        }
        return kExitDone;
    }
    if (!options.exportPath) {
        for (int i = 0; i < table.RowCount(); ++i) {
            const proxylist::ProxyRow row = *table.ReadRow(i);
            if (row.status == texts.statusValid) {
                out << text::Cp936ToUtf8(row.host + ":" + row.port + "----" + row.delay) << '\n';
            }
        }
        out << std::flush;
        return kExitDone;
    }
    const std::size_t before = session.MessageCount();
    session.Click(&proxylist::ExportProxyList);
    // The export says nothing when it cannot create the file; it asks, then reports.
    const auto messages = session.Toolkit().Messages();
    const bool saved = messages.size() > before + 1 &&
                       messages.back().text.rfind(texts.exportSaved, 0) == 0 &&
                       messages.back().icon == shell::MessageIcon::kInformation;
    if (!saved) {
        err << "proxy-verifier-cli: cannot write " << *options.exportPath << '\n';
        return kExitFile;
    }
    if (options.encoding == FileEncoding::kUtf8) {
        std::ifstream in(*options.exportPath, std::ios::binary);
        const std::string cp936{std::istreambuf_iterator<char>(in), {}};
        if (!text::WriteWholeFile(*options.exportPath, text::Cp936ToUtf8(cp936))) {
            err << "proxy-verifier-cli: cannot write " << *options.exportPath << '\n';
            return kExitFile;
        }
    }
    return kExitDone;
}

} // namespace

int RunCli(const CliOptions& options, std::ostream& out, std::ostream& err,
           const std::atomic<int>& interrupts) {
    if (!options.testOnly && !text::LineReader::OpenForReading(options.file)) {
        err << "proxy-verifier-cli: cannot read " << options.file << '\n';
        return kExitFile;
    }
    CliSession session(options, err);
    engine::Application& app = session.App();
    if (options.testOnly) {
        const std::size_t before = session.MessageCount();
        session.Click(&engine::TestTarget);
        const bool ran = session.MessageCount() > before &&
                         session.Toolkit().Messages().back().text != text::Texts().testBadInput;
        return ran && app.TestRunner().ExitCode() == 1 ? kExitDone : kExitUsage;
    }

    session.Click(&proxylist::ImportProxyList);
    const int rows = session.Toolkit().ProxyList().RowCount();
    session.Click(&engine::StartOrStopRun);
    if (app.RunRunner().IsFinished() && app.State().doneCount.load() == 0 &&
        session.MessageCount() > 0) {
        return kExitUsage; // refused: nothing to verify, or no URL or feature
    }

    Progress progress(err, options.quiet, rows);
    bool interrupted = false;
    while (!app.RunRunner().Wait(100)) {
        if (interrupts.load() > 0) {
            interrupted = true;
            err << (options.quiet ? "" : "\n") << "proxy-verifier-cli: stopping\n" << std::flush;
            // The stop command, once the run is up; while it is still starting, the pool
            // refuses to stop, so keep asking until the run controller has ended.
            do {
                if (session.Toolkit().GetCaption(shell::kStartStopButton) ==
                    text::Texts().captionStop) {
                    session.Click(&engine::StartOrStopRun);
                } else {
                    app.Pool().Stop();
                }
            } while (!app.RunRunner().Wait(50));
            break;
        }
        progress.Show(app.State(), false);
    }
    progress.Show(app.State(), true);
    const int written = WriteResults(session, options, out, err);
    if (written != kExitDone) {
        return written;
    }
    return interrupted ? kExitInterrupted : kExitDone;
}

} // namespace pv::cli
