#include "engine/text/TextFieldLayout.h"

#include "engine/text/TextFonts.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash {

namespace {

constexpr double kPixel = 20;
constexpr double kBulletTextIndent = 35 * kPixel; // text of a bulleted paragraph
constexpr double kBulletPosition = 18 * kPixel;   // the bullet itself
constexpr char32_t kBullet = U'\u2022';

bool isBlank(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\u3000';
}

struct Piece {
    std::size_t index = 0; // into the text
    char32_t code = 0;
    std::uint32_t glyph = 0;
    std::uint32_t format = 0;
    const TextFont* font = nullptr;
    double advance = 0; // letter spacing and kerning included; tabs are placed as laid out
};

class Layouter {
public:
    Layouter(const StyledText& text, const LayoutOptions& options, const FontLookup& fontFor)
        : m_text(text), m_options(options), m_fontFor(fontFor),
          m_fonts(text.formats.size(), nullptr), m_resolved(text.formats.size(), false) {}

    TextLayout run() {
        std::size_t start = 0;
        for (std::size_t p = 0; p < m_text.paragraphs.size() && start <= m_text.text.size(); ++p) {
            std::size_t end = m_text.text.find(U'\n', start);
            if (end == std::u32string::npos || p + 1 == m_text.paragraphs.size()) {
                end = m_text.text.size();
            }
            paragraph(start, end, m_text.paragraphs[p]);
            start = end + 1;
        }
        if (!m_out.lines.empty()) {
            m_out.height = m_out.lines.back().bottom();
        }
        return std::move(m_out);
    }

private:
    const TextFont* fontOf(std::uint32_t format) {
        if (format >= m_fonts.size()) {
            return nullptr;
        }
        if (!m_resolved[format]) {
            m_resolved[format] = true;
            m_fonts[format] = m_fontFor(m_text.formats[format]);
        }
        return m_fonts[format];
    }

    const CharFormat& formatAt(std::uint32_t format) const {
        static const CharFormat kDefault;
        return format < m_text.formats.size() ? m_text.formats[format] : kDefault;
    }

    std::uint32_t formatOfIndex(std::size_t index) const {
        if (index < m_text.formatOf.size()) {
            return m_text.formatOf[index];
        }
        return m_text.formatOf.empty() ? 0 : m_text.formatOf.back();
    }

    double advanceAt(const Piece& piece, double x) const {
        if (piece.code != U'\t') {
            return piece.advance;
        }
        // Tabs go to the next stop; stops are 2.7 em apart.
        const double step = std::max(formatAt(piece.format).size * 2.7, 1.0);
        return (std::floor(x / step) + 1) * step - x;
    }

    void paragraph(std::size_t start, std::size_t end, const ParagraphFormat& pf) {
        std::vector<Piece> pieces;
        for (std::size_t i = start; i < end; ++i) {
            const std::uint32_t f = formatOfIndex(i);
            const TextFont* font = fontOf(f);
            if (font == nullptr) {
                continue;
            }
            const CharFormat& cf = formatAt(f);
            Piece piece{i, m_text.text[i], 0, f, font, 0};
            if (piece.code != U'\t') {
                std::optional<std::uint32_t> g = font->glyph(piece.code);
                if (!g && piece.code == U'\u00a0') {
                    g = font->glyph(U' ');
                }
                if (!g) {
                    continue; // a character the font lacks shows nothing and takes no room
                }
                piece.glyph = *g;
                piece.advance = font->advance(*g, cf.size) + cf.letterSpacing;
                if (cf.kerning && !pieces.empty() && pieces.back().font == font &&
                    pieces.back().code != U'\t') {
                    pieces.back().advance += font->kerning(pieces.back().code, piece.code, cf.size);
                }
            }
            pieces.push_back(piece);
        }
        std::size_t a = 0;
        bool first = true;
        do {
            const double offset = leftOffset(pf, first);
            const double avail = m_options.width - offset - pf.rightMargin;
            double x = 0;
            std::size_t b = a;
            std::size_t lastBreak = std::string::npos;
            while (b < pieces.size()) {
                const double adv = advanceAt(pieces[b], x);
                if (m_options.wordWrap && !isBlank(pieces[b].code) && x + adv > avail && b > a) {
                    if (lastBreak != std::string::npos) {
                        b = lastBreak;
                    }
                    break;
                }
                x += adv;
                ++b;
                if (isBlank(pieces[b - 1].code) || pieces[b - 1].code == U'-') {
                    lastBreak = b; // a line may end after a blank or a hyphen
                }
            }
            line(pieces, a, b, pf, first, b >= pieces.size(),
                 pieces.empty() ? formatOfIndex(end) : pieces[a < pieces.size() ? a : 0].format);
            a = b;
            first = false;
        } while (a < pieces.size());
    }

    static double leftOffset(const ParagraphFormat& pf, bool first) {
        return pf.leftMargin + pf.blockIndent + (first ? pf.indent : 0) +
               (pf.bullet ? kBulletTextIndent : 0);
    }

    void line(const std::vector<Piece>& pieces, std::size_t a, std::size_t b,
              const ParagraphFormat& pf, bool first, bool last, std::uint32_t emptyFormat) {
        LaidLine l;
        const double offset = leftOffset(pf, first);
        const double avail = m_options.width - offset - pf.rightMargin;
        // Heights: the tallest font on the line; an empty line has the height of its format.
        auto measure = [&](std::uint32_t format, const TextFont* font) {
            const double size = formatAt(format).size;
            l.ascent = std::max(l.ascent, font ? font->ascent(size) : size * 0.9);
            l.descent = std::max(l.descent, font ? font->descent(size) : size * 0.22);
        };
        if (a == b) {
            measure(emptyFormat, fontOf(emptyFormat));
        }
        std::size_t lastInk = a; // one past the last piece that is not blank
        double x = 0;
        std::vector<double> xs;
        for (std::size_t i = a; i < b; ++i) {
            measure(pieces[i].format, pieces[i].font);
            xs.push_back(x);
            x += advanceAt(pieces[i], x);
            if (!isBlank(pieces[i].code)) {
                lastInk = i + 1;
                l.width = x;
            }
        }
        const TextAlign align = pf.bullet ? TextAlign::Left : pf.align;
        double shift = 0;
        double spread = 0; // justified lines: added after each blank
        if (align == TextAlign::Right) {
            shift = std::max(avail - l.width, 0.0);
        } else if (align == TextAlign::Center) {
            shift = std::max((avail - l.width) / 2, 0.0);
        } else if (align == TextAlign::Justify && !last && m_options.wordWrap) {
            int blanks = 0;
            for (std::size_t i = a; i < lastInk; ++i) {
                blanks += pieces[i].code == U' ' ? 1 : 0;
            }
            if (blanks > 0) {
                spread = std::max(avail - l.width, 0.0) / blanks;
            }
        }
        l.left = offset + shift;
        double extra = 0;
        for (std::size_t i = a; i < b; ++i) {
            const Piece& p = pieces[i];
            const double gx = l.left + xs[i - a] + extra;
            if (p.code != U'\t' && !isBlank(p.code)) {
                l.glyphs.push_back(LaidGlyph{p.glyph, p.code, gx, p.format, p.font});
            }
            const double end = gx + advanceAt(p, xs[i - a]);
            if (formatAt(p.format).underline && i < lastInk) {
                if (!l.underlines.empty() && l.underlines.back().format == p.format &&
                    std::abs(l.underlines.back().x1 - gx) < 1e-6) {
                    l.underlines.back().x1 = end;
                } else {
                    l.underlines.push_back(Underline{gx, end, p.format});
                }
            }
            if (p.code == U' ' && i < lastInk) {
                extra += spread;
            }
        }
        if (spread > 0) {
            l.width = std::max(avail, l.width);
        }
        if (pf.bullet && first) {
            const std::uint32_t f = a < b ? pieces[a].format : emptyFormat;
            if (const TextFont* font = fontOf(f); font != nullptr) {
                if (auto g = font->glyph(kBullet)) {
                    l.hasBullet = true;
                    l.bullet = LaidGlyph{
                        *g, kBullet, pf.leftMargin + pf.blockIndent + pf.indent + kBulletPosition,
                        f, font};
                }
            }
        }
        l.leading = pf.leading;
        l.top = m_y;
        m_y += l.ascent + l.descent + l.leading;
        m_out.width = std::max(m_out.width, offset + l.width + pf.rightMargin);
        m_out.lines.push_back(std::move(l));
    }

    const StyledText& m_text;
    const LayoutOptions& m_options;
    const FontLookup& m_fontFor;
    std::vector<const TextFont*> m_fonts;
    std::vector<bool> m_resolved;
    TextLayout m_out;
    double m_y = 0;
};

} // namespace

TextLayout layoutText(const StyledText& text, const LayoutOptions& options,
                      const FontLookup& fontFor) {
    return Layouter(text, options, fontFor).run();
}

} // namespace kinovex::flash
