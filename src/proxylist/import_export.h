#pragma once

namespace pv::shell {
class Toolkit;
}

namespace pv::proxylist {

// The click handler of 按钮_导入: lets the user pick a proxy list file and appends a row for
// every usable line, serving the window's messages after each row; pane 0 then shows the
// table's row count. Runs on the UI thread.
void ImportProxyList(shell::Toolkit& toolkit);

// The click handler of 按钮_导出: writes the valid proxies, or all rows with their results,
// to a file the user picks, one line per row ending in CR LF, and reports how many lines it
// wrote. Each row is read whole, at one moment, while checks go on writing results. Runs
// on the UI thread.
void ExportProxyList(shell::Toolkit& toolkit);

} // namespace pv::proxylist
