#include "http/cookies.h"

#include "text/feature_search.h"

#include <vector>

namespace pv::http {

namespace {

std::string CookieAfter(std::string_view headers, std::string_view prefix, std::string_view name) {
    const std::string key = std::string(prefix) + std::string(name) + "=";
    const std::size_t found = text::FindFeature(headers, key);
    if (found == std::string_view::npos) {
        return {};
    }
    const std::string_view rest = headers.substr(found + key.size());
    const std::size_t end = text::FindFeature(rest, ";");
    return end == std::string_view::npos ? std::string() : std::string(rest.substr(0, end));
}

} // namespace

std::string CookieFromHeaders(std::string_view headers, std::string_view name) {
    if (headers.empty()) {
        return {};
    }
    std::string value = CookieAfter(headers, "Set-Cookie: ", name);
    if (value.empty()) {
        value = CookieAfter(headers, "Set-Cookie:", name);
    }
    return value;
}

std::string SetCookieLines(std::string_view headers) {
    std::vector<std::string_view> pieces;
    while (!headers.empty()) {
        const std::size_t end = headers.find("\r\n");
        if (end == std::string_view::npos) {
            pieces.push_back(headers);
            break;
        }
        pieces.push_back(headers.substr(0, end));
        headers.remove_prefix(end + 2);
    }
    std::string result;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].substr(0, 11) == "Set-Cookie:") {
            result.append(pieces[i]);
            if (i + 1 < pieces.size()) {
                result.append("\r\n");
            }
        }
    }
    return result;
}

} // namespace pv::http
