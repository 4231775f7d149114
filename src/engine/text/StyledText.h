#pragma once
// The content of a text field: its characters, each with a character format, cut into
// paragraphs that each have a paragraph format. Plain text and the HTML subset text fields
// understand both become this.

#include "engine/swf/Types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kinovex::flash {

enum class TextAlign : std::uint8_t { Left = 0, Right = 1, Center = 2, Justify = 3 };

// How characters look. Lengths are in twips.
struct CharFormat {
    std::string face = "_sans"; // an embedded font's name, a system family or _sans/_serif/...
    double size = 240;          // the em
    Rgba color{0, 0, 0, 255};
    bool bold = false;
    bool italic = false;
    bool underline = false;
    double letterSpacing = 0;
    bool kerning = false;
    bool operator==(const CharFormat&) const = default;
};

// How a paragraph's lines are placed. Lengths are in twips.
struct ParagraphFormat {
    TextAlign align = TextAlign::Left;
    double leftMargin = 0;
    double rightMargin = 0;
    double indent = 0; // first line only; may be negative
    double blockIndent = 0;
    double leading = 0; // between lines; may be negative
    bool bullet = false;
    bool operator==(const ParagraphFormat&) const = default;
};

struct StyledText {
    std::u32string text;                 // '\n' ends a paragraph
    std::vector<std::uint32_t> formatOf; // per character, index into `formats`
    std::vector<CharFormat> formats;
    std::vector<ParagraphFormat> paragraphs; // one per paragraph: one more than the '\n's

    // Appends characters in `format` (reusing an equal format already present).
    void append(std::u32string_view chars, const CharFormat& format);
    // Ends the current paragraph; the next one starts with `next`.
    void breakParagraph(const CharFormat& format, const ParagraphFormat& next);
    std::uint32_t formatIndex(const CharFormat& format);
};

// Plain text: CR, LF and CR LF each end a paragraph; every paragraph gets `paragraph`.
StyledText styledFromPlain(std::u32string_view text, const CharFormat& format,
                           const ParagraphFormat& paragraph);

// The HTML subset of text fields: <b> <i> <u> <font face size color letterspacing kerning>,
// <p align>, <br>, <li>, <textformat leftmargin rightmargin indent blockindent leading>,
// entities (named and numeric). Other tags are dropped and their content kept. A field that
// is not multiline keeps its text on one paragraph: <p>, <br> and <li> do not break it.
StyledText styledFromHtml(std::u32string_view html, const CharFormat& format,
                          const ParagraphFormat& paragraph, bool multiline);

// The text as scripts see it: paragraphs ended by "\r".
std::u32string plainOf(const StyledText& text);

// HTML that gives `text` back, written the way Flash writes a field's htmlText:
// <P ALIGN="LEFT"><FONT FACE="_sans" SIZE="12" COLOR="#000000" ...>...</FONT></P>.
std::u32string htmlOf(const StyledText& text);

} // namespace kinovex::flash
