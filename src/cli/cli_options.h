#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pv::cli {

enum class OutputFormat { kText, kJsonLines };
enum class FileEncoding { kCp936, kUtf8 };

// The command line, each setting defaulting to the window's initial value. Texts are UTF-8
// as typed in the terminal.
struct CliOptions {
    std::string file;
    std::string url;
    std::string feature;
    bool utfDecode = true;
    std::string threads;
    std::string connectTimeout;
    std::string verifyTimeout;
    std::optional<std::string> exportPath;
    bool allRows = false;
    FileEncoding encoding = FileEncoding::kCp936;
    OutputFormat format = OutputFormat::kText;
    bool testOnly = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    std::optional<CliOptions> options;
    std::string error; // when there are no options
};

ParsedOptions ParseCliOptions(const std::vector<std::string>& arguments);

std::string UsageText();

} // namespace pv::cli
