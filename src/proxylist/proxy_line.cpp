#include "proxylist/proxy_line.h"

#include "text/blanks.h"
#include "text/feature_search.h"

namespace pv::proxylist {

std::optional<ProxyAddress> ParseProxyLine(std::string_view line) {
    line = text::TrimBlanks(line);
    const std::size_t colon = text::FindFeature(line, ":");
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view host = line.substr(0, colon);
    std::string_view port = line.substr(colon + 1);
    port = port.substr(0, text::FindFeature(port, ":"));
    if (host.empty() || port.empty()) {
        return std::nullopt;
    }
    return ProxyAddress{host, port};
}

} // namespace pv::proxylist
