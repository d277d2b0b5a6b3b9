#pragma once

#include <string_view>

namespace pv::text {

// Removes the blanks at both ends: ASCII spaces and the ideographic space (the code page 936
// pair A1 A1). Tabs, line breaks and other control characters stay. The text is walked by
// whole characters, so the second byte of a character is never taken for a blank.
std::string_view TrimBlanks(std::string_view text);

// Removes the leading blanks only, by the same rule.
std::string_view TrimLeadingBlanks(std::string_view text);

} // namespace pv::text
