#include "engine/text/TextEncoding.h"

namespace kinovex::flash {

std::u32string decodeUtf8(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        int extra = -1;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (b < 0x80) {
            extra = 0;
            cp = b;
        } else if ((b & 0xe0) == 0xc0) {
            extra = 1;
            cp = b & 0x1f;
            minimum = 0x80;
        } else if ((b & 0xf0) == 0xe0) {
            extra = 2;
            cp = b & 0x0f;
            minimum = 0x800;
        } else if ((b & 0xf8) == 0xf0) {
            extra = 3;
            cp = b & 0x07;
            minimum = 0x10000;
        }
        bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < bytes.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            valid = (cont & 0xc0) == 0x80;
            cp = (cp << 6) | (cont & 0x3f);
        }
        // Overlong forms, surrogates and values past Unicode are not characters.
        valid = valid && cp >= minimum && cp <= 0x10ffff && (cp < 0xd800 || cp > 0xdfff);
        if (!valid) {
            out += static_cast<char32_t>(b);
            ++i;
            continue;
        }
        out += cp;
        i += 1 + static_cast<std::size_t>(extra);
    }
    return out;
}

std::u32string decodeMovieText(std::string_view bytes, int swfVersion) {
    if (swfVersion >= 6) {
        return decodeUtf8(bytes);
    }
    std::u32string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        out += static_cast<char32_t>(static_cast<unsigned char>(c));
    }
    return out;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xc0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xe0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x110000) {
        out += static_cast<char>(0xf0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    }
}

std::string encodeUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        appendUtf8(out, c);
    }
    return out;
}

} // namespace kinovex::flash
