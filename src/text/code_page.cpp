#include "text/code_page.h"

#include "text/cp936_char.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace pv::text {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

constexpr const char* kUtf32Native =
    std::endian::native == std::endian::little ? "UTF-32LE" : "UTF-32BE";

// Owns one iconv conversion descriptor.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from)
        : handle_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) {
            iconv_close(handle_);
        }
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return handle_; }

private:
    iconv_t handle_;
};

// Runs `cd` over all of `input` and returns the output bytes. Where iconv rejects the input
// (an invalid sequence, or a character the target lacks), `onReject(rest, out)` appends a
// replacement to `out` and returns how many bytes of `rest` to step over (at least 1).
template <typename OnReject>
std::string RunIconv(const IconvHandle& cd, std::string_view input, OnReject onReject) {
    std::string out;
    if (!cd.valid()) {
        return out;
    }
    out.resize(input.size() * 2 + 16);
    std::size_t written = 0;
    // iconv's interface is not const-correct; it never writes through the input pointer.
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char* outPtr = out.data() + written;
        std::size_t outLeft = out.size() - written;
        const std::size_t result = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        written = out.size() - outLeft;
        if (result != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL: the sequence at `in` cannot be converted.
        out.resize(written);
        const std::size_t skip =
            std::min(inLeft, std::max<std::size_t>(1, onReject(std::string_view(in, inLeft), out)));
        written = out.size();
        out.resize(written + inLeft * 2 + 16);
        in += skip;
        inLeft -= skip;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(written);
    return out;
}

void AppendUtf32(std::string& out, char32_t c) {
    char bytes[sizeof c];
    std::memcpy(bytes, &c, sizeof c);
    out.append(bytes, sizeof c);
}

std::u32string Utf32BytesToString(std::string_view bytes) {
    std::u32string result(bytes.size() / sizeof(char32_t), U'\0');
    std::memcpy(result.data(), bytes.data(), result.size() * sizeof(char32_t));
    return result;
}

std::u32string Cp936ToCodePoints(std::string_view cp936) {
    const IconvHandle cd(kUtf32Native, "CP936");
    const std::string bytes = RunIconv(cd, cp936, [](std::string_view rest, std::string& out) {
        AppendUtf32(out, kReplacement);
        return CharLengthAt(rest, 0);
    });
    return Utf32BytesToString(bytes);
}

std::string CodePointsToCp936(std::u32string_view codePoints) {
    const IconvHandle cd("CP936", kUtf32Native);
    const std::string_view bytes(reinterpret_cast<const char*>(codePoints.data()),
                                 codePoints.size() * sizeof(char32_t));
    return RunIconv(cd, bytes, [](std::string_view, std::string& out) {
        out.push_back('?');
        return sizeof(char32_t);
    });
}

// Decodes UTF-8 by the "maximal subpart" practice: each maximal prefix of a valid sequence
// that is cut short, and each byte that cannot start one, gives one U+FFFD. Overlong forms,
// surrogates and values past U+10FFFF are malformed.
std::u32string Utf8ToCodePoints(std::string_view utf8) {
    std::u32string result;
    result.reserve(utf8.size());
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    std::size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = byteAt(i);
        if (lead < 0x80) {
            result.push_back(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t value = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            value = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            value = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            value = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            result.push_back(kReplacement);
            ++i;
            continue;
        }
        std::size_t taken = 1;
        while (taken < length && i + taken < utf8.size()) {
            const unsigned char next = byteAt(i + taken);
            if (next < low || next > high) {
                break;
            }
            value = (value << 6) | (next & 0x3F);
            low = 0x80;
            high = 0xBF;
            ++taken;
        }
        result.push_back(taken == length ? value : kReplacement);
        i += taken;
    }
    return result;
}

std::u32string Utf16ToCodePoints(std::u16string_view utf16) {
    std::u32string result;
    result.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            result.push_back(0x10000 + ((char32_t{unit} - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            result.push_back(kReplacement);
        } else {
            result.push_back(unit);
        }
    }
    return result;
}

std::string CodePointsToUtf8(std::u32string_view codePoints) {
    std::string result;
    result.reserve(codePoints.size());
    for (const char32_t c : codePoints) {
        if (c < 0x80) {
            result.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            result.push_back(static_cast<char>(0xC0 | (c >> 6)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            result.push_back(static_cast<char>(0xE0 | (c >> 12)));
            result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            result.push_back(static_cast<char>(0xF0 | (c >> 18)));
            result.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return result;
}

std::u16string CodePointsToUtf16(std::u32string_view codePoints) {
    std::u16string result;
    result.reserve(codePoints.size());
    for (const char32_t c : codePoints) {
        if (c < 0x10000) {
            result.push_back(static_cast<char16_t>(c));
        } else {
            result.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    return result;
}

} // namespace

std::string Utf8ToCp936(std::string_view utf8) {
    return CodePointsToCp936(Utf8ToCodePoints(utf8));
}

std::string Cp936ToUtf8(std::string_view cp936) {
    return CodePointsToUtf8(Cp936ToCodePoints(cp936));
}

std::u16string Cp936ToUtf16(std::string_view cp936) {
    return CodePointsToUtf16(Cp936ToCodePoints(cp936));
}

std::string Utf16ToCp936(std::u16string_view utf16) {
    return CodePointsToCp936(Utf16ToCodePoints(utf16));
}

} // namespace pv::text
