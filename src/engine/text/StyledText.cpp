#include "engine/text/StyledText.h"

#include "engine/text/TextEncoding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace kinovex::flash {

namespace {

char32_t lower(char32_t c) {
    return c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : c;
}

std::string lowerAscii(std::u32string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char32_t c : s) {
        const char32_t l = lower(c);
        out += l < 0x80 ? static_cast<char>(l) : '?';
    }
    return out;
}

bool isSpace(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n';
}

std::u32string fromAscii(std::string_view s) {
    return std::u32string(s.begin(), s.end());
}

// A number at the start of `s` ("12", "-3", "+2", "4.5"); nullopt when there is none.
std::optional<double> leadingNumber(std::u32string_view s) {
    std::string ascii;
    for (char32_t c : s) {
        if ((c >= U'0' && c <= U'9') || c == U'.' || ((c == U'-' || c == U'+') && ascii.empty())) {
            ascii += static_cast<char>(c);
        } else if (!(ascii.empty() && isSpace(c))) {
            break;
        }
    }
    if (ascii.empty() || ascii == "-" || ascii == "+") {
        return std::nullopt;
    }
    char* end = nullptr;
    const double v = std::strtod(ascii.c_str(), &end);
    return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

std::optional<Rgba> parseColor(std::u32string_view s, std::uint8_t alpha) {
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i])) {
        ++i;
    }
    if (i < s.size() && s[i] == U'#') {
        ++i;
    } else if (i + 1 < s.size() && s[i] == U'0' && lower(s[i + 1]) == U'x') {
        i += 2;
    }
    std::uint32_t v = 0;
    int digits = 0;
    for (; i < s.size() && digits < 6; ++i, ++digits) {
        const char32_t c = lower(s[i]);
        int d = 0;
        if (c >= U'0' && c <= U'9') {
            d = static_cast<int>(c - U'0');
        } else if (c >= U'a' && c <= U'f') {
            d = static_cast<int>(c - U'a') + 10;
        } else {
            break;
        }
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return Rgba{static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                static_cast<std::uint8_t>(v), alpha};
}

struct Tag {
    std::string name; // lower case, without the '/'
    bool closing = false;
    std::vector<std::pair<std::string, std::u32string>> attributes; // names in lower case

    const std::u32string* attribute(std::string_view n) const {
        for (const auto& [k, v] : attributes) {
            if (k == n) {
                return &v;
            }
        }
        return nullptr;
    }
};

Tag parseTag(std::u32string_view body) {
    Tag tag;
    std::size_t i = 0;
    auto skipSpace = [&] {
        while (i < body.size() && isSpace(body[i])) {
            ++i;
        }
    };
    skipSpace();
    if (i < body.size() && body[i] == U'/') {
        tag.closing = true;
        ++i;
    }
    const std::size_t nameStart = i;
    while (i < body.size() && !isSpace(body[i]) && body[i] != U'/') {
        ++i;
    }
    tag.name = lowerAscii(body.substr(nameStart, i - nameStart));
    while (i < body.size()) {
        skipSpace();
        const std::size_t keyStart = i;
        while (i < body.size() && !isSpace(body[i]) && body[i] != U'=' && body[i] != U'/') {
            ++i;
        }
        if (i == keyStart) {
            ++i; // a stray '/' or '='
            continue;
        }
        std::string key = lowerAscii(body.substr(keyStart, i - keyStart));
        skipSpace();
        std::u32string value;
        if (i < body.size() && body[i] == U'=') {
            ++i;
            skipSpace();
            if (i < body.size() && (body[i] == U'"' || body[i] == U'\'')) {
                const char32_t quote = body[i++];
                const std::size_t end = body.find(quote, i);
                const std::size_t stop = end == std::u32string_view::npos ? body.size() : end;
                value = body.substr(i, stop - i);
                i = stop + 1;
            } else {
                const std::size_t valueStart = i;
                while (i < body.size() && !isSpace(body[i])) {
                    ++i;
                }
                value = body.substr(valueStart, i - valueStart);
            }
        }
        tag.attributes.emplace_back(std::move(key), std::move(value));
    }
    return tag;
}

// The entity starting at html[i] ('&'); returns its character and length, or 0 length.
std::pair<char32_t, std::size_t> entityAt(std::u32string_view html, std::size_t i) {
    const std::size_t end = html.find(U';', i);
    if (end == std::u32string_view::npos || end - i > 10) {
        return {0, 0};
    }
    const std::u32string_view name = html.substr(i + 1, end - i - 1);
    const std::size_t length = end - i + 1;
    if (!name.empty() && name[0] == U'#') {
        std::uint32_t v = 0;
        const bool hex = name.size() > 1 && lower(name[1]) == U'x';
        std::size_t k = hex ? 2 : 1;
        if (k >= name.size()) {
            return {0, 0};
        }
        for (; k < name.size(); ++k) {
            const char32_t c = lower(name[k]);
            std::uint32_t d = 0;
            if (c >= U'0' && c <= U'9') {
                d = c - U'0';
            } else if (hex && c >= U'a' && c <= U'f') {
                d = c - U'a' + 10;
            } else {
                return {0, 0};
            }
            v = v * (hex ? 16 : 10) + d;
            if (v > 0x10ffff) {
                return {0, 0};
            }
        }
        return {static_cast<char32_t>(v), length};
    }
    const std::string n = lowerAscii(name);
    if (n == "amp") {
        return {U'&', length};
    }
    if (n == "lt") {
        return {U'<', length};
    }
    if (n == "gt") {
        return {U'>', length};
    }
    if (n == "quot") {
        return {U'"', length};
    }
    if (n == "apos") {
        return {U'\'', length};
    }
    if (n == "nbsp") {
        return {U'\u00a0', length};
    }
    return {0, 0};
}

TextAlign alignOf(std::u32string_view value, TextAlign fallback) {
    const std::string v = lowerAscii(value);
    if (v == "left") {
        return TextAlign::Left;
    }
    if (v == "right") {
        return TextAlign::Right;
    }
    if (v == "center") {
        return TextAlign::Center;
    }
    if (v == "justify") {
        return TextAlign::Justify;
    }
    return fallback;
}

class HtmlReader {
public:
    HtmlReader(const CharFormat& format, const ParagraphFormat& paragraph, bool multiline)
        : m_multiline(multiline) {
        m_chars.push_back({"", format});
        m_paragraphs.push_back({"", paragraph});
        m_out.paragraphs.push_back(paragraph);
    }

    StyledText read(std::u32string_view html) {
        std::u32string pending;
        auto flushText = [&] {
            if (!pending.empty()) {
                text(pending);
                pending.clear();
            }
        };
        for (std::size_t i = 0; i < html.size();) {
            const char32_t c = html[i];
            if (c == U'<') {
                const std::size_t end = html.find(U'>', i);
                if (end == std::u32string_view::npos) {
                    break; // an unfinished tag ends the text
                }
                flushText();
                tag(parseTag(html.substr(i + 1, end - i - 1)));
                i = end + 1;
                continue;
            }
            if (c == U'&') {
                const auto [ch, length] = entityAt(html, i);
                if (length > 0) {
                    pending += ch;
                    i += length;
                    continue;
                }
            }
            pending += c;
            ++i;
        }
        flushText();
        return std::move(m_out);
    }

private:
    void text(std::u32string_view chars) {
        // Line breaks written into the HTML break lines too, as they do in Flash.
        std::size_t start = 0;
        for (std::size_t i = 0; i <= chars.size(); ++i) {
            if (i < chars.size() && chars[i] != U'\r' && chars[i] != U'\n') {
                continue;
            }
            if (i > start) {
                flushBreak();
                m_out.append(chars.substr(start, i - start), m_chars.back().second);
            }
            if (i < chars.size()) {
                if (chars[i] == U'\r' && i + 1 < chars.size() && chars[i + 1] == U'\n') {
                    ++i;
                }
                flushBreak();
                breakNow();
            }
            start = i + 1;
        }
    }

    // A paragraph end that happens only if more content follows, so that the last </p>
    // adds no empty line.
    void flushBreak() {
        if (m_pendingBreak) {
            m_pendingBreak = false;
            breakNow();
        }
    }

    void breakNow() { m_out.breakParagraph(m_chars.back().second, m_paragraphs.back().second); }

    bool paragraphEmpty() const { return m_out.text.empty() || m_out.text.back() == U'\n'; }

    void openParagraph(const Tag& t, bool bullet) {
        ParagraphFormat p = m_paragraphs.back().second;
        if (const auto* a = t.attribute("align")) {
            p.align = alignOf(*a, p.align);
        }
        p.bullet = p.bullet || bullet;
        if (m_multiline) {
            flushBreak();
            if (!paragraphEmpty()) {
                breakNow();
            }
            m_out.paragraphs.back() = p;
        } else if (paragraphEmpty()) {
            m_out.paragraphs.back() = p;
        }
        m_paragraphs.push_back({t.name, p});
    }

    void closeParagraph(const std::string& name) {
        popTo(m_paragraphs, name);
        if (m_multiline) {
            flushBreak();
            m_pendingBreak = true;
        }
    }

    template <typename T>
    static void popTo(std::vector<std::pair<std::string, T>>& stack, const std::string& name) {
        for (std::size_t k = stack.size(); k-- > 1;) {
            if (stack[k].first == name) {
                stack.resize(k);
                return;
            }
        }
    }

    void tag(const Tag& t) {
        const std::string& n = t.name;
        if (n == "p" || n == "li") {
            if (t.closing) {
                closeParagraph(n);
            } else {
                openParagraph(t, n == "li");
            }
            return;
        }
        if (n == "br" || n == "sbr") {
            if (m_multiline && !t.closing) {
                flushBreak();
                breakNow();
            }
            return;
        }
        if (n == "textformat") {
            if (t.closing) {
                popTo(m_paragraphs, n);
                return;
            }
            ParagraphFormat p = m_paragraphs.back().second;
            auto length = [&](const char* key, double& field) {
                if (const auto* a = t.attribute(key)) {
                    if (auto v = leadingNumber(*a)) {
                        field = *v * 20;
                    }
                }
            };
            length("leftmargin", p.leftMargin);
            length("rightmargin", p.rightMargin);
            length("indent", p.indent);
            length("blockindent", p.blockIndent);
            length("leading", p.leading);
            m_paragraphs.push_back({n, p});
            if (paragraphEmpty() && !m_pendingBreak) {
                m_out.paragraphs.back() = p;
            }
            return;
        }
        const bool inline_ =
            n == "b" || n == "i" || n == "u" || n == "font" || n == "a" || n == "span";
        if (!inline_) {
            return; // <img>, <tab> and unknown tags show nothing
        }
        if (t.closing) {
            popTo(m_chars, n);
            return;
        }
        CharFormat f = m_chars.back().second;
        if (n == "b") {
            f.bold = true;
        } else if (n == "i") {
            f.italic = true;
        } else if (n == "u") {
            f.underline = true;
        } else if (n == "font") {
            if (const auto* a = t.attribute("face")) {
                std::u32string face = *a;
                face = face.substr(0, face.find(U',')); // the first of a list
                while (!face.empty() && isSpace(face.back())) {
                    face.pop_back();
                }
                while (!face.empty() && isSpace(face.front())) {
                    face.erase(face.begin());
                }
                if (!face.empty()) {
                    f.face = encodeUtf8(face);
                }
            }
            if (const auto* a = t.attribute("size")) {
                if (auto v = leadingNumber(*a)) {
                    const bool relative = !a->empty() && (a->front() == U'+' || a->front() == U'-');
                    const double px = relative ? f.size / 20 + *v : *v;
                    f.size = std::clamp(px, 0.0, 1000.0) * 20;
                }
            }
            if (const auto* a = t.attribute("color")) {
                if (auto col = parseColor(*a, f.color.a)) {
                    f.color = *col;
                }
            }
            if (const auto* a = t.attribute("letterspacing")) {
                if (auto v = leadingNumber(*a)) {
                    f.letterSpacing = std::clamp(*v, -1000.0, 1000.0) * 20;
                }
            }
            if (const auto* a = t.attribute("kerning")) {
                f.kerning = leadingNumber(*a).value_or(0) != 0;
            }
        }
        m_chars.push_back({n, f});
    }

    bool m_multiline;
    bool m_pendingBreak = false;
    std::vector<std::pair<std::string, CharFormat>> m_chars;
    std::vector<std::pair<std::string, ParagraphFormat>> m_paragraphs;
    StyledText m_out;
};

std::u32string escaped(std::u32string_view s) {
    std::u32string out;
    for (char32_t c : s) {
        switch (c) {
        case U'<':
            out += U"&lt;";
            break;
        case U'>':
            out += U"&gt;";
            break;
        case U'&':
            out += U"&amp;";
            break;
        case U'"':
            out += U"&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::u32string number(double twips) {
    const double px = twips / 20;
    char buf[32];
    if (px == std::floor(px)) {
        std::snprintf(buf, sizeof buf, "%.0f", px);
    } else {
        std::snprintf(buf, sizeof buf, "%g", px);
    }
    return fromAscii(buf);
}

} // namespace

std::uint32_t StyledText::formatIndex(const CharFormat& format) {
    for (std::size_t i = formats.size(); i-- > 0;) {
        if (formats[i] == format) {
            return static_cast<std::uint32_t>(i);
        }
    }
    formats.push_back(format);
    return static_cast<std::uint32_t>(formats.size() - 1);
}

void StyledText::append(std::u32string_view chars, const CharFormat& format) {
    if (chars.empty()) {
        return;
    }
    const std::uint32_t index = formatIndex(format);
    text.append(chars);
    formatOf.insert(formatOf.end(), chars.size(), index);
}

void StyledText::breakParagraph(const CharFormat& format, const ParagraphFormat& next) {
    const std::uint32_t index = formatIndex(format);
    text += U'\n';
    formatOf.push_back(index);
    paragraphs.push_back(next);
}

StyledText styledFromPlain(std::u32string_view text, const CharFormat& format,
                           const ParagraphFormat& paragraph) {
    StyledText out;
    out.paragraphs.push_back(paragraph);
    out.formats.push_back(format);
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != U'\r' && text[i] != U'\n') {
            continue;
        }
        out.append(text.substr(start, i - start), format);
        if (i < text.size()) {
            out.breakParagraph(format, paragraph); // "\r\n" is two breaks
        }
        start = i + 1;
    }
    return out;
}

StyledText styledFromHtml(std::u32string_view html, const CharFormat& format,
                          const ParagraphFormat& paragraph, bool multiline) {
    StyledText out = HtmlReader(format, paragraph, multiline).read(html);
    if (out.formats.empty()) {
        out.formats.push_back(format);
    }
    return out;
}

std::u32string plainOf(const StyledText& text) {
    std::u32string out = text.text;
    std::replace(out.begin(), out.end(), U'\n', U'\r');
    return out;
}

namespace {

const CharFormat& formatAt(const StyledText& text, std::size_t k) {
    static const CharFormat kPlain;
    const std::uint32_t fi = k < text.formatOf.size() ? text.formatOf[k]
                             : text.formatOf.empty()  ? 0
                                                      : text.formatOf.back();
    return fi < text.formats.size() ? text.formats[fi] : kPlain;
}

// The FONT attributes of `f`; with `outer`, only those that differ from it.
std::u32string fontAttributes(const CharFormat& f, const CharFormat* outer) {
    std::u32string out;
    if (outer == nullptr || f.face != outer->face) {
        out += U" FACE=\"" + escaped(decodeUtf8(f.face)) + U"\"";
    }
    if (outer == nullptr || f.size != outer->size) {
        out += U" SIZE=\"" + number(f.size) + U"\"";
    }
    if (outer == nullptr || f.color != outer->color) {
        char color[8];
        std::snprintf(color, sizeof color, "%02X%02X%02X", f.color.r, f.color.g, f.color.b);
        out += U" COLOR=\"#" + fromAscii(color) + U"\"";
    }
    if (outer == nullptr || f.letterSpacing != outer->letterSpacing) {
        out += U" LETTERSPACING=\"" + number(f.letterSpacing) + U"\"";
    }
    if (outer == nullptr || f.kerning != outer->kerning) {
        out += U" KERNING=\"" + std::u32string(f.kerning ? U"1" : U"0") + U"\"";
    }
    return out;
}

// The runs of the paragraph text[begin, end): all in a FONT with the first run's attributes;
// a later run whose attributes differ gets a FONT of its own, inside, with only those.
std::u32string paragraphRunsHtml(const StyledText& text, std::size_t begin, std::size_t end) {
    const CharFormat& outer = formatAt(text, begin);
    std::u32string out = U"<FONT" + fontAttributes(outer, nullptr) + U">";
    // An empty paragraph still says which format it has.
    std::size_t k = begin;
    do {
        const CharFormat& f = formatAt(text, k);
        std::size_t runEnd = k;
        while (runEnd < end && formatAt(text, runEnd) == f) {
            ++runEnd;
        }
        const std::u32string inner = fontAttributes(f, &outer);
        out += inner.empty() ? U"" : U"<FONT" + inner + U">";
        out += f.bold ? U"<B>" : U"";
        out += f.italic ? U"<I>" : U"";
        out += f.underline ? U"<U>" : U"";
        out += escaped(std::u32string_view(text.text).substr(k, runEnd - k));
        out += f.underline ? U"</U>" : U"";
        out += f.italic ? U"</I>" : U"";
        out += f.bold ? U"</B>" : U"";
        out += inner.empty() ? U"" : U"</FONT>";
        k = runEnd;
    } while (k < end);
    return out + U"</FONT>";
}

} // namespace

std::u32string htmlOf(const StyledText& text) {
    static const char* const kAlign[] = {"LEFT", "RIGHT", "CENTER", "JUSTIFY"};
    std::u32string out;
    std::size_t i = 0;
    for (std::size_t p = 0; p < text.paragraphs.size(); ++p) {
        // The empty paragraph after a text's last break is left out.
        if (p > 0 && i >= text.text.size()) {
            break;
        }
        const ParagraphFormat& pf = text.paragraphs[p];
        const bool textFormat = pf.leftMargin != 0 || pf.rightMargin != 0 || pf.indent != 0 ||
                                pf.blockIndent != 0 || pf.leading != 0;
        if (textFormat) {
            out += U"<TEXTFORMAT";
            auto attr = [&](const char32_t* name, double v) {
                if (v != 0) {
                    out += U" ";
                    out += name;
                    out += U"=\"" + number(v) + U"\"";
                }
            };
            attr(U"LEFTMARGIN", pf.leftMargin);
            attr(U"RIGHTMARGIN", pf.rightMargin);
            attr(U"INDENT", pf.indent);
            attr(U"BLOCKINDENT", pf.blockIndent);
            attr(U"LEADING", pf.leading);
            out += U">";
        }
        out += pf.bullet
                   ? U"<LI>"
                   : U"<P ALIGN=\"" + fromAscii(kAlign[static_cast<int>(pf.align) & 3]) + U"\">";
        const std::size_t end = std::min(text.text.find(U'\n', i), text.text.size());
        out += paragraphRunsHtml(text, i, end);
        out += pf.bullet ? U"</LI>" : U"</P>";
        if (textFormat) {
            out += U"</TEXTFORMAT>";
        }
        i = end + 1;
    }
    return out;
}

} // namespace kinovex::flash
