// Text field content and layout without drawing: the HTML subset, the field's state as scripts
// see it, and where lines and characters go. A made-up font with simple numbers stands in for
// real ones, so positions can be checked exactly.

#include "engine/text/TextFieldLayout.h"
#include "SwfWriter.h"
#include "engine/avm1/TextBinding.h"
#include "engine/definitions/Movie.h"
#include "engine/display/TextField.h"
#include "engine/display/Timeline.h"
#include "engine/text/StyledText.h"
#include "engine/text/TextEncoding.h"
#include "engine/text/TextFonts.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace kinovex::flash::test {
namespace {

// Every character is 0.5 em wide except 'W' (1 em); '#' is missing. Ascent 0.8, descent 0.2.
class BoxFont final : public TextFont {
public:
    double ascent(double size) const override { return size * 0.8; }
    double descent(double size) const override { return size * 0.2; }
    std::optional<std::uint32_t> glyph(char32_t c) const override {
        return c == U'#' ? std::nullopt : std::optional<std::uint32_t>(c);
    }
    double advance(std::uint32_t g, double size) const override {
        return g == U'W' ? size : size / 2;
    }
    double kerning(char32_t a, char32_t b, double size) const override {
        return a == U'A' && b == U'V' ? -size / 4 : 0;
    }
    bool isEmbedded() const override { return true; }
};

const BoxFont kFont;

// 200-twip characters (size 400) in a 2000-twip wide area.
TextLayout lay(const StyledText& text, double width = 2000, bool wrap = true) {
    LayoutOptions options;
    options.width = width;
    options.wordWrap = wrap;
    return layoutText(text, options, [](const CharFormat&) { return &kFont; });
}

CharFormat size400() {
    CharFormat f;
    f.size = 400;
    return f;
}

StyledText plain(const std::u32string& text, ParagraphFormat p = {}) {
    return styledFromPlain(text, size400(), p);
}

std::u32string lineText(const LaidLine& line) {
    std::u32string s;
    for (const LaidGlyph& g : line.glyphs) {
        s += g.code;
    }
    return s;
}

TEST(TextFieldLayout, WrapsAtBlanksAndBreaksWordsLongerThanTheLine) {
    // 10 characters fit on a line.
    TextLayout l = lay(plain(U"aaaa bbbb cccc"));
    ASSERT_EQ(l.lines.size(), 2u);
    EXPECT_EQ(lineText(l.lines[0]), U"aaaabbbb"); // blanks take room but draw nothing
    EXPECT_EQ(lineText(l.lines[1]), U"cccc");
    EXPECT_DOUBLE_EQ(l.lines[0].width, 1800); // the blank after "bbbb" does not count
    EXPECT_DOUBLE_EQ(l.lines[1].glyphs[0].x, 0);
    EXPECT_DOUBLE_EQ(l.lines[1].top, 400 + 0); // ascent + descent, no leading
    EXPECT_DOUBLE_EQ(l.lines[1].baseline(), 400 + 320);

    l = lay(plain(U"abcdefghijklmn"));
    ASSERT_EQ(l.lines.size(), 2u);
    EXPECT_EQ(lineText(l.lines[0]), U"abcdefghij");
    EXPECT_EQ(lineText(l.lines[1]), U"klmn");

    // Blanks at the end of a line never push it over; a word that just fits stays.
    l = lay(plain(U"abcdefghij     klm"));
    ASSERT_EQ(l.lines.size(), 2u);
    EXPECT_EQ(lineText(l.lines[1]), U"klm");

    // Without word wrap lines only end at line breaks, whatever the width; "\r\n" is two.
    l = lay(plain(U"aaaa bbbb cccc\rdd\r\nee"), 2000, false);
    ASSERT_EQ(l.lines.size(), 4u);
    EXPECT_EQ(lineText(l.lines[0]), U"aaaabbbbcccc");
    EXPECT_EQ(lineText(l.lines[2]), U"");
    EXPECT_DOUBLE_EQ(l.width, 2800);
    EXPECT_DOUBLE_EQ(l.height, 4 * 400);
}

TEST(TextFieldLayout, AlignmentMarginsIndentAndLeadingPlaceLines) {
    ParagraphFormat p;
    p.leftMargin = 100;
    p.rightMargin = 300;
    for (const auto& [align, x] :
         {std::pair{TextAlign::Left, 100.0}, std::pair{TextAlign::Right, 2000.0 - 300 - 400},
          std::pair{TextAlign::Center, 100 + (1600.0 - 400) / 2}}) {
        p.align = align;
        const TextLayout l = lay(plain(U"ab  ", p)); // trailing blanks are not aligned
        EXPECT_DOUBLE_EQ(l.lines[0].glyphs[0].x, x) << int(align);
    }
    // The indent moves the first line of each paragraph only; leading opens up every line.
    p = {};
    p.indent = 200;
    p.leading = 60;
    TextLayout l = lay(plain(U"aaaa bbbb cccc\rdd", p));
    ASSERT_EQ(l.lines.size(), 3u);
    EXPECT_EQ(lineText(l.lines[0]), U"aaaabbbb");
    EXPECT_DOUBLE_EQ(l.lines[0].glyphs[0].x, 200);
    EXPECT_DOUBLE_EQ(l.lines[1].glyphs[0].x, 0);
    EXPECT_DOUBLE_EQ(l.lines[2].glyphs[0].x, 200);
    EXPECT_DOUBLE_EQ(l.lines[2].top, 2 * 460);

    // Justified lines reach both edges; the last line of the paragraph stays left.
    p = {};
    p.align = TextAlign::Justify;
    l = lay(plain(U"aa bb cc dd ee ff", p));
    ASSERT_EQ(l.lines.size(), 2u);
    const LaidLine& first = l.lines[0];
    EXPECT_EQ(lineText(first), U"aabbcc");
    EXPECT_DOUBLE_EQ(first.glyphs.back().x + 200, 2000);
    EXPECT_DOUBLE_EQ(l.lines[1].glyphs[0].x, 0);
    EXPECT_DOUBLE_EQ(l.lines[1].glyphs[1].x, 200);
}

TEST(TextFieldLayout, RunsOfDifferentSizesShareOneBaselineAndMissingGlyphsTakeNoRoom) {
    StyledText t;
    t.paragraphs.push_back({});
    CharFormat small = size400();
    CharFormat big = size400();
    big.size = 800;
    t.append(U"a#", small);
    t.append(U"W", big);
    t.append(U"AV", small);
    CharFormat kerned = small;
    kerned.kerning = true;
    kerned.letterSpacing = 20;
    t.append(U"AV", kerned);
    const TextLayout l = lay(t);
    ASSERT_EQ(l.lines.size(), 1u);
    const LaidLine& line = l.lines[0];
    EXPECT_EQ(lineText(line), U"aWAVAV");
    EXPECT_DOUBLE_EQ(line.ascent, 640);
    EXPECT_DOUBLE_EQ(line.descent, 160);
    EXPECT_DOUBLE_EQ(line.glyphs[1].x, 200);  // '#' took no room
    EXPECT_DOUBLE_EQ(line.glyphs[2].x, 1000); // after the 800-twip W
    EXPECT_DOUBLE_EQ(line.glyphs[3].x, 1200); // no kerning unless asked for
    EXPECT_DOUBLE_EQ(line.glyphs[4].x, 1400);
    EXPECT_DOUBLE_EQ(line.glyphs[5].x, 1400 + 120); // 200 + 20 spacing - 100 kerning
}

TEST(TextFieldLayout, BulletsIndentTheirParagraph) {
    const StyledText t =
        styledFromHtml(U"<li>aaaa bbbb</li><li>c</li>", size400(), ParagraphFormat{}, true);
    ASSERT_EQ(t.paragraphs.size(), 2u);
    const TextLayout l = lay(t);
    ASSERT_EQ(l.lines.size(), 3u); // 35 pixels less room: "bbbb" wraps
    EXPECT_TRUE(l.lines[0].hasBullet);
    EXPECT_FALSE(l.lines[1].hasBullet);
    EXPECT_DOUBLE_EQ(l.lines[0].glyphs[0].x, 700);
    EXPECT_DOUBLE_EQ(l.lines[1].glyphs[0].x, 700);
    EXPECT_LT(l.lines[0].bullet.x, 700);
}

TEST(TextFieldHtml, TagsGiveRunsAndParagraphs) {
    CharFormat base = size400();
    base.face = "Base";
    const StyledText t = styledFromHtml(
        U"<P ALIGN=\"RIGHT\"><FONT FACE='Arial, Helvetica' SIZE=\"30\" COLOR=\"#FF0000\">Big"
        U"</FONT> <b>b<i>i</i></b> <u>u</u></P><p>&lt;&amp;&#65;&#x42;&nbsp;&bogus;</p>"
        U"<p>x<br>y</p><textformat leftmargin='5' leading=\"-2\"><p>z</p></textformat>"
        U"<p><font size='+2'>s</font><img src='a'><unknown>k</unknown></p>",
        base, ParagraphFormat{}, true);
    EXPECT_EQ(t.text, U"Big bi u\n<&AB\u00a0&bogus;\nx\ny\nz\nsk");
    ASSERT_EQ(t.paragraphs.size(), 6u);
    EXPECT_EQ(t.paragraphs[0].align, TextAlign::Right);
    EXPECT_EQ(t.paragraphs[1].align, TextAlign::Left);
    EXPECT_DOUBLE_EQ(t.paragraphs[4].leftMargin, 100);
    EXPECT_DOUBLE_EQ(t.paragraphs[4].leading, -40);
    EXPECT_DOUBLE_EQ(t.paragraphs[5].leftMargin, 0); // </textformat> ended it
    auto at = [&](std::size_t i) { return t.formats[t.formatOf[i]]; };
    EXPECT_EQ(at(0).face, "Arial");
    EXPECT_DOUBLE_EQ(at(0).size, 600);
    EXPECT_EQ(at(0).color, (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(at(3).face, "Base"); // the blank after </font>
    EXPECT_TRUE(at(4).bold && !at(4).italic);
    EXPECT_TRUE(at(5).bold && at(5).italic);
    EXPECT_TRUE(at(7).underline && !at(7).bold);
    EXPECT_DOUBLE_EQ(at(t.text.rfind(U's')).size, 400 + 40); // +2 pixels

    // A field that is not multiline keeps one paragraph; literal line breaks still break.
    const StyledText single =
        styledFromHtml(U"<p>a</p><p>b<br>c</p>", base, ParagraphFormat{}, false);
    EXPECT_EQ(single.text, U"abc");
    // Unfinished markup: the tag and what follows are dropped, nothing crashes.
    EXPECT_EQ(styledFromHtml(U"ok<font color=", base, {}, true).text, U"ok");
    EXPECT_EQ(styledFromHtml(U"", base, {}, true).paragraphs.size(), 1u);
}

std::unique_ptr<EditText> definition(const std::string& text, bool html = false) {
    auto made = std::make_unique<EditText>();
    EditText& d = *made;
    d.bounds = Rect{0, 2000, 0, 1000};
    d.height = 400;
    d.color = Rgba{0, 0, 255, 255};
    d.html = html;
    d.multiline = true;
    d.text = text;
    d.variableName = "/:score";
    return made;
}

TEST(TextFieldState, TextAndHtmlAsScriptsSeeThem) {
    const auto def = definition("<p align='center'><b>Hi</b></p><p>there</p>", true);
    TextField field(*def, nullptr, 8);
    EXPECT_TRUE(field.html());
    EXPECT_EQ(field.text(), "Hi\rthere"); // line breaks read back as CR
    EXPECT_EQ(field.variable(), "/:score");
    EXPECT_EQ(field.htmlText(),
              "<P ALIGN=\"CENTER\"><FONT FACE=\"Times New Roman\" SIZE=\"20\" COLOR=\"#0000FF\" "
              "LETTERSPACING=\"0\" KERNING=\"0\"><B>Hi</B></FONT></P><P ALIGN=\"LEFT\"><FONT "
              "FACE=\"Times New Roman\" SIZE=\"20\" COLOR=\"#0000FF\" LETTERSPACING=\"0\" "
              "KERNING=\"0\">there</FONT></P>");
    // Text set as text is shown as it is, tags and all, even in an HTML field.
    field.setText("<b>x</b>\ny");
    EXPECT_EQ(field.text(), "<b>x</b>\ry");
    EXPECT_EQ(field.content().paragraphs.size(), 2u);
    field.setHtmlText("a&amp;b");
    EXPECT_EQ(field.text(), "a&b");
    // A run that differs from the paragraph's first gets a FONT inside with only what differs,
    // and text set afterwards continues in the format the HTML ended with.
    field.setHtmlText("a<font size='30'>b</font><font size='40' color='#FF0000'>c</font>");
    EXPECT_EQ(field.htmlText(),
              "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"20\" COLOR=\"#0000FF\" "
              "LETTERSPACING=\"0\" KERNING=\"0\">a<FONT SIZE=\"30\">b</FONT><FONT SIZE=\"40\" "
              "COLOR=\"#FF0000\">c</FONT></FONT></P>");
    field.setText("d");
    EXPECT_EQ(field.newTextFormat().size, 800);
    // The empty paragraph after the last break is not written out.
    field.setText("x\n");
    EXPECT_EQ(field.htmlText(), "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"40\" "
                                "COLOR=\"#FF0000\" LETTERSPACING=\"0\" KERNING=\"0\">x</FONT></P>");

    // The bound variable's value replaces the text when it changes; undefined leaves it.
    const auto startDef = definition("start");
    TextField plainField(*startDef, nullptr, 8);
    EXPECT_EQ(plainField.htmlText(), "start");
    plainField.showVariableValue(std::string("42"));
    EXPECT_EQ(plainField.text(), "42");
    plainField.setText("typed");
    plainField.showVariableValue(std::string("42")); // unchanged value: the text stays
    EXPECT_EQ(plainField.text(), "typed");
    plainField.showVariableValue(std::nullopt);
    EXPECT_EQ(plainField.text(), "typed");
    plainField.showVariableValue(std::string("43"));
    EXPECT_EQ(plainField.text(), "43");
}

TEST(TextFieldState, OldMoviesStoreLatin1AndNewOnesUtf8) {
    EXPECT_EQ(TextField(*definition("caf\xe9"), nullptr, 5).text(), "caf\xc3\xa9");
    EXPECT_EQ(TextField(*definition("caf\xc3\xa9"), nullptr, 6).text(), "caf\xc3\xa9");
    // A version 5 movie's bytes are Latin-1 even when they happen to look like UTF-8.
    EXPECT_EQ(TextField(*definition("caf\xc3\xa9"), nullptr, 5).text(), "caf\xc3\x83\xc2\xa9");
    // Broken UTF-8 in a newer movie keeps its bytes as Latin-1 instead of losing the text.
    EXPECT_EQ(decodeMovieText("a\xe9z\xe2\x82", 6), U"a\u00e9z\u00e2\u0082");
    EXPECT_EQ(decodeUtf8("\xc0\xaf"), U"\u00c0\u00af"); // overlong: not a '/'
    EXPECT_EQ(encodeUtf8(U"\u00e9\u20ac\U0001f600"), "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
}

TEST(TextFieldState, AutoSizeAndScrollFollowTheText) {
    TextFonts fonts; // system fonts only
    const auto defined = definition("one\rtwo\rthree\rfour\rfive");
    EditText& def = *defined;
    def.bounds = Rect{100, 300, 200, 1200}; // 10 x 50 pixels
    TextField field(def, nullptr, 8);
    const double lineHeight = field.layout(fonts).lines[1].top;
    ASSERT_GT(lineHeight, 300);
    EXPECT_EQ(field.lineCount(fonts), 5);
    // 1000 - 80 twips show two lines and a part; scrolling ends when the last line is shown.
    const int visible = static_cast<int>((1000 - 2 * TextField::kGutter) / lineHeight);
    EXPECT_EQ(field.maxScroll(fonts), 5 - visible + 1);
    EXPECT_EQ(field.bounds(fonts), def.bounds);

    field.setAutoSize(true);
    const Rect grown = field.bounds(fonts);
    EXPECT_EQ(grown.xMin, 100);
    EXPECT_EQ(grown.yMin, 200);
    EXPECT_GT(grown.width(), def.bounds.width()); // "three" is wider than 10 pixels
    EXPECT_NEAR(grown.height(), field.textHeight(fonts) + 2 * TextField::kGutter, 1);
    EXPECT_EQ(field.maxScroll(fonts), 1);
}

TEST(TextFieldState, BoundFieldsShowTheirTimelineVariable) {
    // A movie with a field bound to "score", inside a sprite, and an unbound one.
    swf::SwfWriter writer(100, 100, 12);
    auto defineEditText = [&](const std::string& variable, const std::string& text) {
        swf::BitWriter w;
        const std::uint16_t id = writer.takeId();
        w.u16(id);
        w.rect(swf::Rect::pixels(0, 0, 100, 20));
        w.u8(0x80 | 0x08); // text, read-only
        w.u8(0);
        w.string(variable);
        w.string(text);
        writer.rawTag(37, w.data());
        return id;
    };
    const auto bound = defineEditText("score", "0");
    const auto unbound = defineEditText("", "fixed");
    swf::Sprite hud;
    hud.place(1, bound);
    hud.showFrame();
    writer.place(1, writer.defineSprite(hud));
    writer.place(2, unbound);
    writer.showFrame();
    const std::vector<std::uint8_t> bytes = writer.finish(swf::Compression::None);
    Log log;
    Movie movie;
    ASSERT_TRUE(movie.load(bytes, log).ok);
    std::size_t live = 0;
    TimelineInstance root(movie, movie.timeline(), 0, live);
    root.start();
    TimelineInstance& sprite = *root.displayList().at(1).sprite;
    TextField& field = *sprite.displayList().begin()->second.textField;
    ASSERT_EQ(field.variable(), "score");

    std::map<std::pair<TimelineInstance*, std::string>, std::string> variables;
    int reads = 0;
    TextVariableAccess access;
    access.read = [&](TimelineInstance& t, std::string_view path) -> std::optional<std::string> {
        ++reads;
        auto it = variables.find({&t, std::string(path)});
        return it == variables.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    access.write = [&](TimelineInstance& t, std::string_view path, std::string_view text) {
        variables[{&t, std::string(path)}] = std::string(text);
    };
    // Undefined at first: the variable takes the field's text, on the sprite's timeline.
    syncBoundTextFields(root, access);
    EXPECT_EQ(reads, 1); // the unbound field is left alone
    EXPECT_EQ((variables[{&sprite, "score"}]), "0");
    EXPECT_EQ(field.text(), "0");
    // A script changes the variable: the field follows.
    variables[{&sprite, "score"}] = "1250";
    syncBoundTextFields(root, access);
    EXPECT_EQ(field.text(), "1250");
    // Deleted later: the field keeps showing the last value and the variable is not remade.
    variables.clear();
    syncBoundTextFields(root, access);
    EXPECT_EQ(field.text(), "1250");
    EXPECT_TRUE(variables.empty());
}

} // namespace
} // namespace kinovex::flash::test
