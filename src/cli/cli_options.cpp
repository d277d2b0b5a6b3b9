#include "cli/cli_options.h"

#include "shell/control_names.h"
#include "shell/window_layout.h"
#include "text/code_page.h"

namespace pv::cli {

namespace {

// The window's initial text of a control, in UTF-8.
std::string InitialText(std::string_view control) {
    for (const shell::ControlLayout& layout : shell::MainWindowControls()) {
        if (layout.name == control) {
            return text::Cp936ToUtf8(layout.text);
        }
    }
    return {};
}

} // namespace

std::string UsageText() {
    return "Usage: proxy-verifier-cli [OPTIONS] FILE\n"
           "Checks every host:port line of FILE as an HTTP proxy.\n\n"
           "  --url URL              page to fetch through each proxy\n"
           "  --feature TEXT         text whose presence makes a proxy valid\n"
           "  --no-utf-decode        search the page as delivered, without decoding UTF-8\n"
           "  --threads N            checks at once (default 500)\n"
           "  --connect-timeout MS   connect time-out (default 5000)\n"
           "  --verify-timeout MS    verify time-out (default 15000)\n"
           "  --export FILE          write the results to FILE instead of standard output\n"
           "  --all                  export all rows (default: valid proxies only)\n"
           "  --encoding cp936|utf-8 encoding of the export file (default cp936)\n"
           "  --format jsonl         one JSON object per row instead of text lines\n"
           "  --test                 only fetch the page directly and look for the feature\n"
           "  --quiet                no progress on standard error\n"
           "  --help, --version\n\n"
           "Exit codes: 0 done, 1 bad usage or nothing to verify, 2 a file that cannot be\n"
           "read or written, 130 interrupted.\n";
}

ParsedOptions ParseCliOptions(const std::vector<std::string>& arguments) {
    CliOptions options;
    options.url = InitialText(shell::kUrlEdit);
    options.feature = InitialText(shell::kFeatureEdit);
    options.threads = InitialText(shell::kThreadsEdit);
    options.connectTimeout = InitialText(shell::kConnectTimeoutEdit);
    options.verifyTimeout = InitialText(shell::kVerifyTimeoutEdit);

    std::vector<std::string> files;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto value = [&](std::string& into) {
            if (i + 1 >= arguments.size()) {
                return false;
            }
            into = arguments[++i];
            return true;
        };
        std::string text;
        bool ok = true;
        if (argument == "--url") {
            ok = value(options.url);
        } else if (argument == "--feature") {
            ok = value(options.feature);
        } else if (argument == "--no-utf-decode") {
            options.utfDecode = false;
        } else if (argument == "--threads") {
            ok = value(options.threads);
        } else if (argument == "--connect-timeout") {
            ok = value(options.connectTimeout);
        } else if (argument == "--verify-timeout") {
            ok = value(options.verifyTimeout);
        } else if (argument == "--export") {
            ok = value(text);
            options.exportPath = text;
        } else if (argument == "--all") {
            options.allRows = true;
        } else if (argument == "--encoding") {
            ok = value(text);
            if (ok && text == "utf-8") {
                options.encoding = FileEncoding::kUtf8;
            } else if (ok && text != "cp936") {
                return {std::nullopt, "unknown encoding '" + text + "': use cp936 or utf-8"};
            }
        } else if (argument == "--format") {
            ok = value(text);
            if (ok && text == "jsonl") {
                options.format = OutputFormat::kJsonLines;
            } else if (ok) {
                return {std::nullopt, "unknown format '" + text + "': use jsonl"};
            }
        } else if (argument == "--test") {
            options.testOnly = true;
        } else if (argument == "--quiet") {
            options.quiet = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return {std::nullopt, "unknown option '" + argument + "'"};
        } else {
            files.push_back(argument);
        }
        if (!ok) {
            return {std::nullopt, "option '" + argument + "' needs a value"};
        }
    }
    if (options.help || options.version || options.testOnly) {
        return {options, {}};
    }
    if (files.size() != 1) {
        return {std::nullopt,
                files.empty() ? "no proxy list file given" : "more than one file given"};
    }
    options.file = files.front();
    return {options, {}};
}

} // namespace pv::cli
