#pragma once
// Lines of a text field: where each character of its styled text goes, with word wrap,
// margins, indents, alignment, leading and bullets as Flash places them.

#include "engine/text/StyledText.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kinovex::flash {

class TextFont;

struct LaidGlyph {
    std::uint32_t glyph = 0; // the font's glyph number
    char32_t code = 0;
    double x = 0; // twips from the left of the text area, on the line's baseline
    std::uint32_t format = 0;
    const TextFont* font = nullptr;
};

struct Underline {
    double x0 = 0;
    double x1 = 0;
    std::uint32_t format = 0;
};

struct LaidLine {
    double top = 0; // twips from the top of the text area
    double ascent = 0;
    double descent = 0;
    double leading = 0;
    double left = 0;  // where the text starts, after margins, indent and alignment
    double width = 0; // of the text, blanks at its end not counted
    std::vector<LaidGlyph> glyphs;
    std::vector<Underline> underlines;
    bool hasBullet = false;
    LaidGlyph bullet;
    double baseline() const { return top + ascent; }
    double bottom() const { return top + ascent + descent; }
};

struct TextLayout {
    std::vector<LaidLine> lines;
    double width = 0;  // widest line with its margins
    double height = 0; // top of the first line to the bottom of the last
};

// The font that draws a run in `format`; null when none can.
using FontLookup = std::function<const TextFont*(const CharFormat&)>;

struct LayoutOptions {
    double width = 0; // of the text area (the field less its gutters), twips
    bool wordWrap = false;
};

TextLayout layoutText(const StyledText& text, const LayoutOptions& options,
                      const FontLookup& fontFor);

} // namespace kinovex::flash
