#include "text/blanks.h"

#include "text/cp936_char.h"

namespace pv::text {

namespace {

// The length of the blank that starts at `pos`, or 0 when the character there is none.
std::size_t BlankLengthAt(std::string_view text, std::size_t pos) {
    if (text[pos] == ' ') {
        return 1;
    }
    if (text.substr(pos, 2) == "\xA1\xA1") {
        return 2;
    }
    return 0;
}

} // namespace

std::string_view TrimLeadingBlanks(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t blank = BlankLengthAt(text, pos);
        if (blank == 0) {
            break;
        }
        pos += blank;
    }
    return text.substr(pos);
}

std::string_view TrimBlanks(std::string_view text) {
    text = TrimLeadingBlanks(text);
    // Character boundaries are only known from the start, so walk forward and remember where
    // the last character that is not a blank ends.
    std::size_t end = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = CharLengthAt(text, pos);
        if (BlankLengthAt(text, pos) == 0) {
            end = pos + length;
        }
        pos += length;
    }
    return text.substr(0, end);
}

} // namespace pv::text
