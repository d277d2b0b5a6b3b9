#include "text/feature_search.h"

#include "text/cp936_char.h"

namespace pv::text {

std::size_t FindFeature(std::string_view text, std::string_view feature) {
    // Let the library's substring search propose candidates, and walk the character
    // boundaries alongside to reject a candidate that starts inside a character. The walk
    // never goes back, so the whole search stays linear in the text apart from the
    // library's own work.
    std::size_t boundary = 0;
    for (std::size_t candidate = text.find(feature); candidate != std::string_view::npos;
         candidate = text.find(feature, candidate + 1)) {
        while (boundary < candidate) {
            boundary += CharLengthAt(text, boundary);
        }
        if (boundary == candidate) {
            return candidate;
        }
    }
    return std::string_view::npos;
}

} // namespace pv::text
