#pragma once

#include <string>
#include <string_view>

namespace pv::http {

// In a response's header text (lines ended by CR LF): the text between "Set-Cookie: " or,
// failing that, "Set-Cookie:" followed by `name` and "=", and the next ";" anywhere after
// it, line breaks included. Empty when either is missing. Both searches are case-sensitive
// and step by whole code page 936 characters.
std::string CookieFromHeaders(std::string_view headers, std::string_view name);

// The header lines that begin with "Set-Cookie:", each followed by CR LF unless it is the
// last piece of the header text split at CR LF.
std::string SetCookieLines(std::string_view headers);

} // namespace pv::http
