#include "engine/avm2/Utf16Text.h"

#include "engine/text/TextEncoding.h"

namespace kinovex::flash::avm2 {

namespace {

bool continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The length of the sequence starting at `at` when it is whole (1 for a byte taken alone),
// and the character it encodes.
std::size_t decodeAt(std::string_view s, std::size_t at, char32_t& c) {
    const auto lead = static_cast<unsigned char>(s[at]);
    const std::size_t extra = lead >= 0xF0 && lead < 0xF8   ? 3
                              : lead >= 0xE0 && lead < 0xF0 ? 2
                              : lead >= 0xC2 && lead < 0xE0 ? 1
                                                            : 0;
    c = lead;
    if (extra == 0 || at + extra >= s.size()) {
        return 1;
    }
    char32_t v = lead & (0x3F >> extra);
    for (std::size_t i = 1; i <= extra; ++i) {
        const auto b = static_cast<unsigned char>(s[at + i]);
        if (!continuation(b)) {
            return 1;
        }
        v = (v << 6) | (b & 0x3F);
    }
    c = v;
    return extra + 1;
}

bool high(char32_t u) {
    return u >= 0xD800 && u < 0xDC00;
}
bool low(char32_t u) {
    return u >= 0xDC00 && u < 0xE000;
}

} // namespace

bool isAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::u16string toUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t c = 0;
        at += decodeAt(text, at, c);
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string fromUtf16(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t u = units[i];
        if (high(u) && i + 1 < units.size() && low(units[i + 1])) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t c = 0;
        const std::size_t n = decodeAt(text, at, c);
        char32_t next = 0;
        if (n == 3 && high(c) && at + n < text.size() && decodeAt(text, at + n, next) == 3 &&
            low(next)) {
            appendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00)); // joined halves
            at += 6;
            continue;
        }
        if (n == 3 && (high(c) || low(c))) {
            out += "\xEF\xBF\xBD";
        } else {
            out.append(text.substr(at, n));
        }
        at += n;
    }
    return out;
}

} // namespace kinovex::flash::avm2
