#include "http/response_decoding.h"

#include "text/code_page.h"

namespace pv::http {

std::string_view TextUpToZero(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

std::string DecodeUtf8(std::string_view bytes) {
    std::string decoded = text::Utf8ToCp936(bytes);
    decoded.resize(TextUpToZero(decoded).size());
    return decoded;
}

} // namespace pv::http
