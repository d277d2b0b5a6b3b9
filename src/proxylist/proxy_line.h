#pragma once

#include <optional>
#include <string_view>

namespace pv::proxylist {

struct ProxyAddress {
    std::string_view host;
    std::string_view port;
};

// Reads one line of a proxy list file: blanks are removed at both ends; the host is the
// text before the first ":", the port the text after it up to the next ":" or the end.
// Nothing when the line has no ":" or an empty host or port. Blanks around the colon and
// every other character stay as they are. The colon is found by whole code page 936
// characters, like every search in the program's texts.
std::optional<ProxyAddress> ParseProxyLine(std::string_view line);

} // namespace pv::proxylist
