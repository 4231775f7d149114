#pragma once
// A text field on the stage: the state one placed DefineEditText has while the movie plays
// (its current text, whether that is HTML, scrolling, border and colours), apart from the
// character's initial values. Scripts read and change it through this class:
//
//   TextField.text       text() / setText()          (line breaks read back as "\r")
//   TextField.htmlText   htmlText() / setHtmlText()  (plain text when the field is not HTML)
//   TextField.html       html() / setHtml()
//   TextField.variable   variable() / setVariable()
//   scroll, maxscroll, textWidth, textHeight, border, background, textColor, wordWrap, ...
//
// A field bound to a variable shows that variable: each frame the player hands its value to
// showVariableValue(), which changes the text only when the value changed. All strings are
// UTF-8.

#include "engine/definitions/Characters.h"
#include "engine/text/StyledText.h"
#include "engine/text/TextFieldLayout.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kinovex::flash {

class Movie;
class TextFonts;

// The parts of a text format a script gives (TextFormat): what is missing stays as it is.
struct TextFormatChange {
    std::optional<std::string> face;
    std::optional<double> size; // twips
    std::optional<Rgba> color;
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> underline;
    std::optional<TextAlign> align;
};

class TextField {
public:
    // Space between the field's edge and its text, on every side.
    static constexpr double kGutter = 40; // twips

    // `font` is the movie's font the field names (null for none); `swfVersion` says how the
    // initial text is encoded (Latin-1 before version 6).
    TextField(const EditText& definition, const Font* font, int swfVersion);

    const EditText& definition() const { return *m_def; }

    std::string text() const;
    void setText(std::string_view text);
    std::string htmlText() const;
    void setHtmlText(std::string_view html);
    bool html() const { return m_html; }
    void setHtml(bool on);

    // The variable path the field shows ("" for none), as the movie wrote it.
    const std::string& variable() const { return m_variable; }
    void setVariable(std::string path) { m_variable = std::move(path); }
    // The bound variable's current value as text; nothing when it is undefined (the field
    // then keeps what it shows).
    void showVariableValue(const std::optional<std::string>& value);
    // Whether the binding has looked at the variable yet (see syncBoundTextFields).
    bool variableSeen() const { return m_variableSeen; }
    void markVariableSeen() { m_variableSeen = true; }

    // 1-based first line shown. Kept within 1..maxScroll() when drawn.
    int scroll() const { return m_scroll; }
    void setScroll(int line) { m_scroll = std::max(line, 1); }
    int maxScroll(TextFonts& fonts);
    // The last line shown, 1-based: from the first one shown down to the last that fits whole.
    int bottomScroll(TextFonts& fonts);
    int lineCount(TextFonts& fonts);
    // The text's own size in twips (without the gutters).
    double textWidth(TextFonts& fonts);
    double textHeight(TextFonts& fonts);

    bool border() const { return m_border; }
    void setBorder(bool on) { m_border = on; }
    bool background() const { return m_background; }
    void setBackground(bool on) { m_background = on; }
    Rgba borderColor() const { return m_borderColor; }
    void setBorderColor(Rgba c) { m_borderColor = c; }
    Rgba backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(Rgba c) { m_backgroundColor = c; }
    // The colour of new text, and of all the text when set.
    Rgba textColor() const { return m_format.color; }
    void setTextColor(Rgba c);

    bool wordWrap() const { return m_wordWrap; }
    void setWordWrap(bool on);
    bool multiline() const { return m_multiline; }
    void setMultiline(bool on);
    bool password() const { return m_password; }
    void setPassword(bool on);
    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

    // The format of text set from now on (setNewTextFormat), and a change of the format of the
    // characters from `begin` up to `end` and of their paragraphs (setTextFormat).
    void setNewTextFormat(const TextFormatChange& change);
    void setTextFormat(const TextFormatChange& change, std::size_t begin, std::size_t end);
    const CharFormat& newTextFormat() const { return m_format; }
    const ParagraphFormat& newParagraphFormat() const { return m_paragraph; }

    // The field's rectangle in its own coordinates, twips. Setting a size keeps the top left.
    void setSize(double width, double height);
    // The rectangle as set, whatever autoSize makes of it.
    const Rect& box() const { return m_bounds; }
    // The rectangle as drawn: with autoSize, grown or shrunk around the text, its left and
    // top edges kept.
    Rect bounds(TextFonts& fonts);

    // The text laid out in the field (worked out again only after a change), and the fonts
    // choice made for it.
    const TextLayout& layout(TextFonts& fonts);
    bool usesEmbeddedFonts() const { return m_embedded; }
    // Whether the field draws with the movie's embedded fonts: as its definition says, until a
    // script says otherwise (then a font is found by the name the format gives).
    bool embedFonts() const;
    void setEmbedFonts(bool on);
    const StyledText& content() const { return m_content; }

private:
    void changed() { m_layoutValid = false; }
    void reformat(); // the text again from its source, after a change of html or multiline

    const EditText* m_def;
    const Font* m_font;
    CharFormat m_format; // for text set by scripts
    // What HTML text starts from before version 8: the format as the definition and
    // setNewTextFormat give it, not as the last HTML text left it.
    CharFormat m_htmlFormat;
    int m_version = 8;
    ParagraphFormat m_paragraph; // likewise
    std::u32string m_source;     // the text or HTML last set
    bool m_sourceHtml = false;   // m_source is HTML
    StyledText m_content;
    bool m_html = false;
    bool m_embedded = false;
    std::optional<bool> m_embedFonts; // set by a script
    std::string m_variable;
    std::optional<std::string> m_shownValue;
    bool m_variableSeen = false;
    int m_scroll = 1;
    bool m_border = false;
    bool m_background = false;
    Rgba m_borderColor{0, 0, 0, 255};
    Rgba m_backgroundColor{255, 255, 255, 255};
    bool m_wordWrap = false;
    bool m_multiline = false;
    bool m_password = false;
    bool m_autoSize = false;
    Rect m_bounds;
    bool m_layoutValid = false;
    TextLayout m_layout;
};

// The state of a newly placed field of `movie`.
std::shared_ptr<TextField> makeTextField(const EditText& definition, const Movie& movie);

} // namespace kinovex::flash
