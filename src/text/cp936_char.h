#pragma once

#include <cstddef>
#include <string_view>

namespace pv::text {

// Texts of this program are code page 936 bytes. There, a byte of 0x80 or above starts a
// two-byte character and takes the byte after it along, whatever that byte is; every
// routine that walks a text steps by these characters so that nothing matches, splits or
// ends in the middle of one.
constexpr bool IsLeadByte(char byte) {
    return static_cast<unsigned char>(byte) >= 0x80;
}

// The length of the character that starts at `pos`: 2 for a lead byte that has a byte
// after it, otherwise 1. `pos` must be inside the text.
constexpr std::size_t CharLengthAt(std::string_view text, std::size_t pos) {
    return IsLeadByte(text[pos]) && pos + 1 < text.size() ? 2 : 1;
}

} // namespace pv::text
