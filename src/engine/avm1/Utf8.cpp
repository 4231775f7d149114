#include "engine/avm1/Utf8.h"

#include "engine/text/TextEncoding.h"

#include <optional>

namespace kinovex::flash::avm1 {

namespace {

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xc0) == 0x80;
}

// Byte offset of character `index` (s.size() when beyond the end).
std::size_t offsetOf(std::string_view s, double index) {
    std::size_t i = 0;
    for (double k = 0; k < index && i < s.size(); ++k) {
        ++i;
        while (i < s.size() && isContinuation(s[i])) {
            ++i;
        }
    }
    return i;
}

} // namespace

std::size_t utf8Length(std::string_view s) {
    std::size_t n = 0;
    for (char c : s) {
        n += isContinuation(c) ? 0 : 1;
    }
    return n;
}

std::string utf8Substr(std::string_view s, double from, double count) {
    const std::size_t a = offsetOf(s, from);
    const std::size_t b = offsetOf(s.substr(a), count);
    return std::string(s.substr(a, b));
}

std::uint32_t utf8At(std::string_view s, std::size_t index) {
    const std::size_t i = offsetOf(s, static_cast<double>(index));
    if (i >= s.size()) {
        return 0;
    }
    const auto c0 = static_cast<unsigned char>(s[i]);
    int extra = c0 >= 0xf0 ? 3 : c0 >= 0xe0 ? 2 : c0 >= 0xc0 ? 1 : 0;
    std::uint32_t cp = extra == 3 ? c0 & 7u : extra == 2 ? c0 & 15u : extra == 1 ? c0 & 31u : c0;
    for (std::size_t k = 1; extra > 0 && i + k < s.size() && isContinuation(s[i + k]);
         ++k, --extra) {
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 63u);
    }
    return cp;
}

std::string utf8Encode(std::uint32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 63));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xe0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 63));
        out += static_cast<char>(0x80 | (cp & 63));
    } else {
        cp = cp > 0x10ffff ? 0xfffd : cp;
        out += static_cast<char>(0xf0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 63));
        out += static_cast<char>(0x80 | ((cp >> 6) & 63));
        out += static_cast<char>(0x80 | (cp & 63));
    }
    return out;
}

std::string textOfCode(std::uint32_t code, int swfVersion) {
    if (swfVersion >= 6) {
        return utf8Encode(code & 0xffffu);
    }
    if (code <= 0xffu) {
        return utf8Encode(code);
    }
    return utf8Encode((code >> 8) & 0xffu) + utf8Encode(code & 0xffu);
}

namespace {

// The code point of a whole UTF-8 sequence of `n` bytes; none when it is malformed, overlong, a
// surrogate or beyond U+10FFFF.
std::optional<std::uint32_t> strictCodePoint(std::string_view seq) {
    const std::size_t n = seq.size();
    if (n > 4) {
        return std::nullopt;
    }
    static constexpr std::uint8_t kLeadMask[] = {0, 0, 0x1F, 0x0F, 0x07};
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    std::uint32_t cp = static_cast<std::uint8_t>(seq[0]) & kLeadMask[n];
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<std::uint8_t>(seq[k]);
        if ((b & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = cp << 6 | (b & 0x3F);
    }
    if (cp < kSmallest[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
        return std::nullopt;
    }
    return cp;
}

std::size_t announcedLength(std::uint8_t lead) {
    if (lead < 0xE0) {
        return 2;
    }
    if (lead < 0xF0) {
        return 3;
    }
    if (lead < 0xF8) {
        return 4;
    }
    if (lead < 0xFC) {
        return 5;
    }
    return lead < 0xFE ? 6 : 7;
}

} // namespace

std::string readUtf8Leniently(std::string_view bytes) {
    std::string out;
    std::size_t i = 0;
    while (i < bytes.size() && bytes[i] != '\0') {
        const auto lead = static_cast<std::uint8_t>(bytes[i]);
        if (lead < 0xC0) {
            out += utf8Encode(lead);
            ++i;
            continue;
        }
        const std::size_t n = announcedLength(lead);
        if (i + n > bytes.size()) {
            break;
        }
        out += utf8Encode(strictCodePoint(bytes.substr(i, n)).value_or(0xFFFD));
        i += n;
    }
    return out;
}

std::string cutAtNul(std::string s) {
    const auto nul = s.find('\0');
    if (nul != std::string::npos) {
        s.resize(nul);
    }
    return s;
}

std::string movieBytes(std::string_view text, int swfVersion) {
    if (swfVersion >= 6) {
        return std::string(text);
    }
    std::string out;
    for (const char32_t c : decodeUtf8(text)) {
        out += static_cast<char>(c <= 0xff ? c : U'?');
    }
    return out;
}

std::string movieText(std::string_view text, int swfVersion) {
    return swfVersion < 6 ? encodeUtf8(decodeMovieText(text, swfVersion)) : std::string(text);
}

} // namespace kinovex::flash::avm1
