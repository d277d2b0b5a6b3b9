#pragma once

#include <cstdint>
#include <string_view>

namespace pv::text {

// Reads an integer from the start of a text: leading blanks (see TrimBlanks), an optional
// "+" or "-", then decimal digits up to the first other character. A text without such
// digits gives 0. A value beyond the 32-bit range saturates at its nearest end.
std::int32_t LeadingInteger(std::string_view text);

} // namespace pv::text
