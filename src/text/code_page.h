#pragma once

#include <string>
#include <string_view>

namespace pv::text {

// Conversions between the program's texts (code page 936 bytes) and Unicode. None of them
// fails or throws on bad input:
// - a malformed UTF-8 or UTF-16 sequence, and a byte sequence that code page 936 does not
//   define, becomes U+FFFD;
// - a character that code page 936 lacks (U+FFFD among them) becomes "?".
// Zero bytes and zero characters are converted like any other character.

std::string Utf8ToCp936(std::string_view utf8);
std::string Cp936ToUtf8(std::string_view cp936);
std::u16string Cp936ToUtf16(std::string_view cp936);
std::string Utf16ToCp936(std::u16string_view utf16);

} // namespace pv::text
