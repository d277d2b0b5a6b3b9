#pragma once

#include <string>
#include <string_view>

namespace pv::http {

// Decodes bytes from UTF-8 into a code page 936 text: a malformed sequence becomes "?" (by
// way of U+FFFD), as does a character that code page 936 lacks. The text ends before the
// first zero character. Never fails: empty input gives the empty text.
std::string DecodeUtf8(std::string_view bytes);

// The bytes up to the first zero byte, taken as a text without conversion.
std::string_view TextUpToZero(std::string_view bytes);

} // namespace pv::http
