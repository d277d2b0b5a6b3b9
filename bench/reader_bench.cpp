// Reads a generated proxy file of 1,000,000 lines the way the import does (ReadLine until
// AtEnd) and prints the best of several passes as lines and MiB per second.
#include "proxy_file.h"
#include "text/line_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr int kLines = 1'000'000;
constexpr int kPasses = 5;

std::string MakeProxyFile(std::uintmax_t& bytes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "pv-reader-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        std::perror("mkstemp");
        std::exit(1);
    }
    ::close(fd);
    if (!pv::bench::WriteProxyFile(pattern, kLines)) {
        std::fprintf(stderr, "cannot write %s\n", pattern.c_str());
        std::exit(1);
    }
    bytes = std::filesystem::file_size(pattern);
    return pattern;
}

} // namespace

int main() {
    std::uintmax_t bytes = 0;
    const std::string path = MakeProxyFile(bytes);
    double bestSeconds = 1e9;
    for (int pass = 0; pass < kPasses; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        auto reader = pv::text::LineReader::OpenForReading(path);
        int lines = 0;
        std::size_t lineBytes = 0;
        while (!reader->AtEnd()) {
            lineBytes += reader->ReadLine().size();
            ++lines;
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (lines != kLines || lineBytes == 0) {
            std::fprintf(stderr, "read %d lines, expected %d\n", lines, kLines);
            return 1;
        }
        bestSeconds = std::min(bestSeconds, elapsed.count());
    }
    std::filesystem::remove(path);
    std::printf("reader_file_mib=%.1f\n", static_cast<double>(bytes) / (1024 * 1024));
    std::printf("reader_lines_per_s=%.0f\n", kLines / bestSeconds);
    std::printf("reader_mib_per_s=%.0f\n",
                static_cast<double>(bytes) / (1024 * 1024) / bestSeconds);
    return 0;
}
