#include "flash/render/TextLayout.h"

#include <algorithm>
#include <cctype>

namespace kinovex::flash {

std::string htmlToPlain(const std::string& html) {
    std::string out;
    out.reserve(html.size());
    for (std::size_t i = 0; i < html.size();) {
        const char c = html[i];
        if (c == '<') {
            const std::size_t end = html.find('>', i);
            if (end == std::string::npos) {
                break;
            }
            std::string tag = html.substr(i + 1, end - i - 1);
            std::transform(tag.begin(), tag.end(), tag.begin(),
                           [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
            if (tag.rfind("br", 0) == 0 || tag == "/p" || tag == "/li") {
                out += '\n';
            }
            i = end + 1;
            continue;
        }
        if (c == '&') {
            static const std::pair<const char*, const char*> kEntities[] = {
                {"&amp;", "&"},   {"&lt;", "<"},   {"&gt;", ">"},
                {"&quot;", "\""}, {"&apos;", "'"}, {"&nbsp;", "\xc2\xa0"}};
            bool matched = false;
            for (const auto& [name, value] : kEntities) {
                if (html.compare(i, std::char_traits<char>::length(name), name) == 0) {
                    out += value;
                    i += std::char_traits<char>::length(name);
                    matched = true;
                    break;
                }
            }
            if (matched) {
                continue;
            }
        }
        out += c;
        ++i;
    }
    while (!out.empty() && out.back() == '\n') {
        out.pop_back(); // the last paragraph's end adds no line
    }
    return out;
}

std::u32string decodeText(const std::string& text) {
    std::u32string out;
    out.reserve(text.size());
    bool valid = true;
    for (std::size_t i = 0; i < text.size() && valid;) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xe0) == 0xc0) {
            extra = 1;
            cp = b & 0x1f;
        } else if ((b & 0xf0) == 0xe0) {
            extra = 2;
            cp = b & 0x0f;
        } else if ((b & 0xf8) == 0xf0) {
            extra = 3;
            cp = b & 0x07;
        } else {
            valid = false;
            break;
        }
        if (i + static_cast<std::size_t>(extra) >= text.size()) {
            valid = false; // a sequence cut off at the end
            break;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((cont & 0xc0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (cont & 0x3f);
        }
        out += cp;
        i += 1 + static_cast<std::size_t>(extra);
    }
    if (valid) {
        return out;
    }
    out.clear();
    for (char c : text) {
        out += static_cast<char32_t>(static_cast<unsigned char>(c));
    }
    return out;
}

std::vector<std::u32string> splitLines(const std::u32string& text) {
    std::vector<std::u32string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\r' || c == U'\n') {
            if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') {
                ++i;
            }
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

std::string encodeUtf8(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
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
    return out;
}

} // namespace kinovex::flash
