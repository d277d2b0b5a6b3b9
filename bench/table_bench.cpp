// The proxy list at scale: imports a generated 1,000,000-line file and exports all rows
// through the headless toolkit, and reports rows per second, peak memory and what the table
// stores per row beyond the cell texts themselves.
#include "proxy_file.h"
#include "proxylist/import_export.h"
#include "proxylist/proxy_table.h"
#include "shell/headless/headless_toolkit.h"
#include "text/line_file.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLines = 1'000'000;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main() {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("pv-table-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string input = (dir / "list.txt").string();
    const std::string output = (dir / "export.txt").string();
    if (!pv::bench::WriteProxyFile(input, kLines)) {
        std::fprintf(stderr, "cannot write %s\n", input.c_str());
        return 1;
    }

    pv::shell::HeadlessToolkit toolkit;
    std::string nextPath = input;
    toolkit.SetFileDialogResponder(
        [&](const auto&) -> std::optional<std::string> { return nextPath; });
    toolkit.SetMessageResponder([](const auto& box) {
        return box.buttons == pv::shell::MessageButtons::kYesNo ? pv::shell::kNoPressed
                                                                : pv::shell::kOkPressed;
    });

    auto start = Clock::now();
    toolkit.RunOnUiThread([&] { pv::proxylist::ImportProxyList(toolkit); });
    const double importSeconds = SecondsSince(start);

    nextPath = output;
    start = Clock::now();
    toolkit.RunOnUiThread([&] { pv::proxylist::ExportProxyList(toolkit); });
    const double exportSeconds = SecondsSince(start);

    pv::proxylist::ProxyTable& table = toolkit.ProxyList();
    const int rows = table.RowCount();
    std::size_t textBytes = 0;
    for (int i = 0; i < rows; ++i) {
        const auto row = table.ReadRow(i);
        textBytes += row->number.size() + row->host.size() + row->port.size() + row->delay.size() +
                     row->status.size();
    }
    const auto exported = fs::file_size(output);
    fs::remove_all(dir);
    if (rows != kLines || exported == 0) {
        std::fprintf(stderr, "imported %d rows of %d\n", rows, kLines);
        return 1;
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("import_rows_per_s=%.0f\n", rows / importSeconds);
    std::printf("export_rows_per_s=%.0f\n", rows / exportSeconds);
    std::printf("peak_rss_mib=%.1f\n", static_cast<double>(usage.ru_maxrss) / 1024);
    std::printf("store_bytes_per_row=%.1f\n",
                static_cast<double>(table.StoreBytes() - textBytes) / rows);
    return 0;
}
