#include "engine/display/TextField.h"

#include "engine/definitions/Movie.h"
#include "engine/text/TextEncoding.h"
#include "engine/text/TextFonts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kinovex::flash {

TextField::TextField(const EditText& def, const Font* font, int swfVersion)
    : m_def(&def), m_font(font), m_html(def.html), m_variable(def.variableName),
      m_border(def.border), m_background(def.border), m_wordWrap(def.wordWrap),
      m_multiline(def.multiline), m_password(def.password), m_autoSize(def.autoSize),
      m_bounds(def.bounds) {
    m_version = swfVersion;
    m_format.size = def.height;
    m_format.color = def.color;
    // Fields without a font of their own use Flash's default text format.
    m_format.face = font != nullptr ? font->name : std::string("Times New Roman");
    m_format.bold = font != nullptr && font->bold;
    m_format.italic = font != nullptr && font->italic;
    m_htmlFormat = m_format;
    m_paragraph.align = static_cast<TextAlign>(def.align & 3);
    m_paragraph.leftMargin = def.leftMargin;
    m_paragraph.rightMargin = def.rightMargin;
    m_paragraph.indent = def.indent;
    m_paragraph.leading = def.leading;
    m_source = decodeMovieText(def.text, swfVersion);
    m_sourceHtml = def.html;
    reformat();
}

void TextField::reformat() {
    if (m_sourceHtml) {
        m_content = styledFromHtml(m_source, m_version >= 8 ? m_format : m_htmlFormat, m_paragraph,
                                   m_multiline);
    } else {
        m_content = styledFromPlain(m_source, m_format, m_paragraph);
    }
    changed();
}

std::string TextField::text() const {
    return encodeUtf8(plainOf(m_content));
}

void TextField::setText(std::string_view text) {
    // Text set as text is never read as HTML, even in an HTML field.
    m_source = decodeUtf8(text);
    m_sourceHtml = false;
    reformat();
}

std::string TextField::htmlText() const {
    return m_html ? encodeUtf8(htmlOf(m_content)) : text();
}

void TextField::setHtmlText(std::string_view html) {
    m_source = decodeUtf8(html);
    m_sourceHtml = m_html; // a field that is not HTML shows it as it is
    reformat();
    // Text set later continues in the format the HTML ended with.
    if (m_sourceHtml && !m_content.formatOf.empty() &&
        m_content.formatOf.back() < m_content.formats.size()) {
        m_format = m_content.formats[m_content.formatOf.back()];
    }
}

void TextField::setHtml(bool on) {
    if (on != m_html) {
        m_html = on;
        // What shows stays; it is only read differently when set next.
        m_source = m_html ? htmlOf(m_content) : plainOf(m_content);
        m_sourceHtml = m_html;
        changed();
    }
}

void TextField::showVariableValue(const std::optional<std::string>& value) {
    if (!value || value == m_shownValue) {
        return;
    }
    m_shownValue = value;
    if (m_html) {
        setHtmlText(*value);
    } else {
        setText(*value);
    }
}

void TextField::setTextColor(Rgba c) {
    m_format.color = c;
    m_htmlFormat.color = c;
    for (CharFormat& f : m_content.formats) {
        f.color = c;
    }
    changed();
}

void TextField::setWordWrap(bool on) {
    m_wordWrap = on;
    changed();
}

void TextField::setMultiline(bool on) {
    if (on != m_multiline) {
        m_multiline = on;
        reformat();
    }
}

void TextField::setPassword(bool on) {
    m_password = on;
    changed();
}

void TextField::setAutoSize(bool on) {
    m_autoSize = on;
    changed();
}

namespace {

void applyChar(const TextFormatChange& change, CharFormat& f) {
    if (change.face) {
        f.face = *change.face;
    }
    if (change.size) {
        f.size = *change.size;
    }
    if (change.color) {
        f.color = *change.color;
    }
    if (change.bold) {
        f.bold = *change.bold;
    }
    if (change.italic) {
        f.italic = *change.italic;
    }
    if (change.underline) {
        f.underline = *change.underline;
    }
}

} // namespace

void TextField::setNewTextFormat(const TextFormatChange& change) {
    applyChar(change, m_format);
    applyChar(change, m_htmlFormat);
    if (change.align) {
        m_paragraph.align = *change.align;
    }
}

void TextField::setTextFormat(const TextFormatChange& change, std::size_t begin, std::size_t end) {
    StyledText& t = m_content;
    end = std::min(end, t.text.size());
    if (begin >= end) {
        return;
    }
    // Each format in use once changed, then the characters in range moved to the changed one.
    std::vector<std::uint32_t> changedIndex(t.formats.size(), UINT32_MAX);
    for (std::size_t i = begin; i < end && i < t.formatOf.size(); ++i) {
        const std::uint32_t old = t.formatOf[i];
        if (old >= t.formats.size()) {
            continue;
        }
        if (changedIndex[old] == UINT32_MAX) {
            CharFormat f = t.formats[old];
            applyChar(change, f);
            changedIndex[old] = t.formatIndex(f);
        }
        t.formatOf[i] = changedIndex[old];
    }
    if (change.align) {
        std::size_t paragraph = 0;
        for (std::size_t i = 0; i < end; ++i) {
            if (i >= begin && paragraph < t.paragraphs.size()) {
                t.paragraphs[paragraph].align = *change.align;
            }
            if (t.text[i] == U'\n') {
                ++paragraph;
            }
        }
    }
    changed();
}

void TextField::setSize(double width, double height) {
    m_bounds.xMax = m_bounds.xMin + static_cast<std::int32_t>(std::lround(std::max(width, 0.0)));
    m_bounds.yMax = m_bounds.yMin + static_cast<std::int32_t>(std::lround(std::max(height, 0.0)));
    changed();
}

const TextLayout& TextField::layout(TextFonts& fonts) {
    if (m_layoutValid) {
        return m_layout;
    }
    const Font* own = m_font;
    StyledText shown = m_content;
    if (m_password) {
        for (char32_t& c : shown.text) {
            c = c == U'\n' ? c : U'*';
        }
    }
    m_embedded = m_embedFonts ? *m_embedFonts
                              : m_def->useOutlines && own != nullptr && !own->glyphs.empty() &&
                                    !own->codes.empty();
    const bool embedded = m_embedded;
    LayoutOptions options;
    options.width = std::max(m_bounds.width() - 2 * kGutter, 0.0);
    options.wordWrap = m_wordWrap;
    if (m_autoSize && !m_wordWrap) {
        options.width = 1e9; // the field grows to its longest line
    }
    m_layout = layoutText(shown, options,
                          [&](const CharFormat& f) { return fonts.resolve(f, embedded, own); });
    if (m_autoSize && !m_wordWrap) {
        // Laid out again at the width found, so that right and centred lines line up in it.
        options.width = m_layout.width;
        m_layout = layoutText(shown, options,
                              [&](const CharFormat& f) { return fonts.resolve(f, embedded, own); });
    }
    m_layoutValid = true;
    return m_layout;
}

bool TextField::embedFonts() const {
    return m_embedFonts.value_or(m_def->useOutlines);
}

void TextField::setEmbedFonts(bool on) {
    m_embedFonts = on;
    changed();
}

Rect TextField::bounds(TextFonts& fonts) {
    if (!m_autoSize) {
        return m_bounds;
    }
    const TextLayout& l = layout(fonts);
    Rect r = m_bounds;
    if (!m_wordWrap) {
        r.xMax = r.xMin + static_cast<std::int32_t>(std::ceil(l.width + 2 * kGutter));
    }
    r.yMax = r.yMin + static_cast<std::int32_t>(std::ceil(l.height + 2 * kGutter));
    return r;
}

int TextField::lineCount(TextFonts& fonts) {
    return static_cast<int>(layout(fonts).lines.size());
}

int TextField::maxScroll(TextFonts& fonts) {
    const TextLayout& l = layout(fonts);
    const double visible = bounds(fonts).height() - 2 * kGutter;
    // The last line counts as shown once its ink fits; scrolling stops when it does.
    int first = static_cast<int>(l.lines.size());
    while (first > 1 &&
           l.lines.back().bottom() - l.lines[static_cast<std::size_t>(first - 2)].top <=
               visible + 0.5) {
        --first;
    }
    return std::max(first, 1);
}

int TextField::bottomScroll(TextFonts& fonts) {
    const TextLayout& l = layout(fonts);
    if (l.lines.empty()) {
        return 1;
    }
    const int first = std::clamp(m_scroll, 1, maxScroll(fonts));
    const double visible = bounds(fonts).height() - 2 * kGutter;
    const double top = l.lines[static_cast<std::size_t>(first - 1)].top;
    std::size_t last = static_cast<std::size_t>(first);
    while (last < l.lines.size() && l.lines[last].bottom() - top <= visible + 0.5) {
        ++last;
    }
    return static_cast<int>(last);
}

double TextField::textWidth(TextFonts& fonts) {
    return layout(fonts).width;
}

double TextField::textHeight(TextFonts& fonts) {
    return layout(fonts).height;
}

std::shared_ptr<TextField> makeTextField(const EditText& definition, const Movie& movie) {
    const Font* font = definition.hasFont
                           ? movie.characterAs<Font>(definition.fontId, Character::Kind::Font)
                           : nullptr;
    return std::make_shared<TextField>(definition, font, movie.version());
}

} // namespace kinovex::flash
