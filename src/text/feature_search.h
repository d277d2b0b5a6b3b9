#pragma once

#include <cstddef>
#include <string_view>

namespace pv::text {

// Finds the first occurrence of `feature` in `text` that begins at a character start of
// code page 936: bytes are compared exactly (so the search is case-sensitive), and bytes
// that merely span the boundary between two double-byte characters do not count. Returns
// the match's byte offset, or std::string_view::npos. An empty feature is found at 0.
std::size_t FindFeature(std::string_view text, std::string_view feature);

} // namespace pv::text
