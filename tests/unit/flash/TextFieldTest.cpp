// Text fields (DefineEditText) and static text as a user sees them drawn. Our writer has no
// text fields, so the tag is put together here.

#include "FlashTestUtil.h"
#include "ScriptClipTestUtil.h"

#include <gtest/gtest.h>

#include <limits>

// Fontconfig, which cairo asks for system fonts, keeps allocations it never frees; they are not
// ours, so the leak checker of the sanitizer build is told to look past them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace kinovex::flash::test {
namespace {

struct Field {
    swf::Rect bounds;
    std::optional<std::uint16_t> font;
    std::uint16_t height = 400;
    swf::Color color{0, 0, 0, 255};
    bool border = false;
    bool html = false;
    bool outlines = false;
    bool multiline = false;
    bool wordWrap = false;
    bool autoSize = false;
    std::uint8_t align = 0;
    std::string variable = "field";
    std::string text;
};

std::uint16_t defineField(swf::SwfWriter& movie, const Field& f) {
    swf::BitWriter w;
    const std::uint16_t id = movie.takeId();
    w.u16(id);
    w.rect(f.bounds);
    w.u8(0x80 | (f.wordWrap ? 0x40 : 0) | (f.multiline ? 0x20 : 0) | 0x08 | 0x04 |
         (f.font ? 0x01 : 0)); // text, read-only, colour
    w.u8((f.autoSize ? 0x40 : 0) | 0x20 | (f.border ? 0x08 : 0) | (f.html ? 0x02 : 0) |
         (f.outlines ? 0x01 : 0));
    if (f.font) {
        w.u16(*f.font);
        w.u16(f.height);
    }
    w.rgba(f.color);
    w.u8(f.align);
    w.u16(0);
    w.u16(0);
    w.u16(0);
    w.s16(0);
    w.string(f.variable);
    w.string(f.text);
    movie.rawTag(37, w.data());
    return id;
}

// One glyph, 'I': a bar 400 units wide and 700 high, advance 600 (1024 to the em).
swf::Font blockFont() {
    swf::Font font;
    swf::Glyph g;
    g.code = 'I';
    g.shape.fill0(1)
        .moveToTwips(100, -700)
        .lineToTwips(100, 0)
        .lineToTwips(500, 0)
        .lineToTwips(500, -700)
        .lineToTwips(100, -700);
    g.advance = 600;
    font.glyphs.push_back(g);
    swf::Glyph blank;
    blank.code = ' ';
    blank.advance = 300;
    font.glyphs.push_back(blank);
    return font;
}

// Bounding box of the pixels that are not the background colour.
struct Box {
    int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1;
    int width() const { return x1 - x0 + 1; }
    int height() const { return y1 - y0 + 1; }
};
Box inked(const Frame& f, std::uint32_t background, int fromX = 0, int toX = 1 << 20) {
    Box b;
    for (int y = 0; y < f.height; ++y) {
        for (int x = fromX; x < std::min(f.width, toX); ++x) {
            if (!near(f.at(x, y), background, 40)) {
                b.x0 = std::min(b.x0, x);
                b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x);
                b.y1 = std::max(b.y1, y);
            }
        }
    }
    return b;
}

Frame show(swf::SwfWriter& movie, std::uint32_t background, const Field& f) {
    movie.setBackground(swf::Rgb(background));
    movie.place(1, defineField(movie, f));
    movie.showFrame();
    Player player;
    EXPECT_TRUE(load(player, movie).ok);
    EXPECT_TRUE(player.diagnostics().empty()) << player.diagnostics().front().text();
    return render(player);
}

TEST(TextField, EmbeddedOutlinesAreLaidOutWithTheFontsAdvancesAndAlignment) {
    for (const std::uint8_t align : {0, 1, 2}) {
        swf::SwfWriter movie(200, 60, 12);
        Field f;
        f.font = movie.defineFont(blockFont(), 2);
        f.bounds = swf::Rect::pixels(0, 0, 200, 60);
        f.height = 40 * 20; // 40 pixels
        f.color = swf::Rgb(0xff0000);
        f.outlines = true;
        f.align = align;
        f.text = "III";
        const Frame frame = show(movie, 0xffffff, f);
        const Box box = inked(frame, 0xffffffff);
        // Three glyphs 600/1024 em apart: 40 px * 600/1024 = 23.4 px each; the ink of the
        // first starts 100/1024 em in, that of the last ends 100/1024 em before its advance.
        const double em = 40.0;
        const double inkWidth = 2 * 600 / 1024.0 * em + 400 / 1024.0 * em;
        EXPECT_NEAR(box.width(), inkWidth, 2) << int(align);
        const double advances = 3 * 600 / 1024.0 * em;
        const double start = align == 0   ? 2                           // the gutter
                             : align == 1 ? 198 - advances              // against the right
                                          : 2 + (196 - advances) / 2.0; // centred
        EXPECT_NEAR(box.x0, start + 100 / 1024.0 * em, 1.5) << int(align);
        // The baseline sits the font's ascent (900 units) below the top gutter.
        EXPECT_NEAR(box.y1 + 1, 2 + 900 / 1024.0 * em, 1.5);
        EXPECT_EQ(rgb(frame.at(box.x0 + 3, box.y0 + 3)), 0xff0000u);
    }
}

TEST(TextField, HtmlRunsDrawInTheirOwnColoursAndSizes) {
    swf::SwfWriter movie(240, 80, 12);
    Field f;
    f.font = movie.defineFont(blockFont(), 3); // DefineFont3: 20 times finer glyphs
    f.bounds = swf::Rect::pixels(0, 0, 240, 80);
    f.height = 20 * 20;
    f.outlines = true;
    f.html = true;
    f.text = "<p><font color=\"#ff0000\">II</font><font color='#0000FF' size='40'>II</font>"
             "I#I</p>";
    const Frame frame = show(movie, 0xffffff, f);
    // Red glyphs 20 px high, then blue ones 40 px high, all on one baseline.
    const double small = 20, big = 40;
    const int redEnd = static_cast<int>(2 + 2 * 600 / 1024.0 * small);
    const Box red = inked(frame, 0xffffffff, 0, redEnd);
    const Box blue = inked(frame, 0xffffffff, redEnd, redEnd + static_cast<int>(1.2 * big));
    EXPECT_EQ(rgb(frame.at(red.x0 + 2, red.y1 - 2)), 0xff0000u);
    EXPECT_EQ(rgb(frame.at(blue.x0 + 2, blue.y1 - 2)), 0x0000ffu);
    EXPECT_NEAR(red.height(), 700 / 1024.0 * small, 1.5);
    EXPECT_NEAR(blue.height(), 700 / 1024.0 * big, 1.5);
    EXPECT_NEAR(red.y1, blue.y1, 1);
    // The font has no '#': it shows nothing and takes no room, so the last two bars stand as
    // close as any two.
    const int afterBlue = static_cast<int>(redEnd + 2 * 600 / 1024.0 * big);
    const Box tail = inked(frame, 0xffffffff, afterBlue, 240);
    EXPECT_NEAR(tail.width(), (600 + 400) / 1024.0 * small, 1.5);
}

TEST(TextField, WordWrapBreaksLinesAtTheFieldWidth) {
    swf::SwfWriter movie(200, 120, 12);
    Field f;
    f.font = movie.defineFont(blockFont(), 2);
    f.bounds = swf::Rect::pixels(10, 10, 60, 110); // 46 px of text area
    f.height = 20 * 20;                            // 'I' advances 11.7 px
    f.outlines = true;
    f.multiline = true;
    f.wordWrap = true;
    f.text = "III III III";
    const Frame frame = show(movie, 0xffffff, f);
    const Box box = inked(frame, 0xffffffff);
    // "III III" would need 76 px: three lines of three bars, each (900+200)/1024 em apart.
    const double lineHeight = 1100 / 1024.0 * 20;
    EXPECT_NEAR(box.height(), 2 * lineHeight + 700 / 1024.0 * 20, 2);
    EXPECT_NEAR(box.width(), (2 * 600 + 400) / 1024.0 * 20, 1.5);
    EXPECT_GE(box.x0, 12);

    // Without word wrap the line runs on and is cut at the field's edge.
    swf::SwfWriter unwrapped(200, 120, 12);
    f.font = unwrapped.defineFont(blockFont(), 2);
    f.wordWrap = false;
    const Box cut = inked(show(unwrapped, 0xffffff, f), 0xffffffff);
    EXPECT_NEAR(cut.height(), 700 / 1024.0 * 20, 1.5);
    EXPECT_EQ(cut.x1, 59);
}

TEST(TextField, DeviceFontTextDrawsGlyphsInItsColourInsideItsBorderedField) {
    swf::SwfWriter movie(200, 100, 12);
    Field f;
    f.bounds = swf::Rect::pixels(20, 20, 80, 50);
    f.height = 24 * 20;
    f.color = swf::Rgb(0xc00000);
    f.border = true;
    f.html = true;
    f.text = "<p><b>Wide&amp;long text that does not fit</b></p>";
    const Frame frame = show(movie, 0x0000ff, f);
    EXPECT_EQ(rgb(frame.at(50, 48)), 0xffffffu); // the field's background
    EXPECT_EQ(rgb(frame.at(85, 35)), 0x0000ffu); // the text is cut at the field's edge
    const Box box = inked(frame, 0xff0000ffu);
    EXPECT_NEAR(box.x0, 20, 1); // the border line is centred on the field's edge
    EXPECT_NEAR(box.x1, 79, 1);
    int red = 0;
    for (int y = 22; y < 48; ++y) {
        for (int x = 22; x < 78; ++x) {
            red += near(frame.at(x, y), 0xffc00000u, 30) ? 1 : 0;
        }
    }
    EXPECT_GT(red, 60); // glyph pixels in the text's colour (whatever sans-serif is installed)
}

TEST(TextField, AutoSizeGrowsTheFieldAroundItsText) {
    swf::SwfWriter movie(300, 100, 12);
    Field f;
    f.bounds = swf::Rect::pixels(10, 10, 20, 20); // far too small
    f.border = true;                              // no font: 12-pixel text in the default face
    f.autoSize = true;
    f.multiline = true;
    f.text = "Automatic\rsize";
    const Frame frame = show(movie, 0x808080, f);
    const Box box = inked(frame, 0xff808080u);
    EXPECT_NEAR(box.x0, 10, 1);
    EXPECT_NEAR(box.y0, 10, 1);
    EXPECT_GT(box.x1, 60);              // the longer line fits
    EXPECT_GT(box.y1, 10 + 4 + 2 * 12); // and both lines
    EXPECT_LT(box.y1, 10 + 4 + 2 * 18);
}

TEST(TextField, ABoundFieldShowsItsTimelineVariable) {
    swf::SwfWriter movie(200, 60, 12);
    Field f;
    f.font = movie.defineFont(blockFont(), 2);
    f.bounds = swf::Rect::pixels(0, 0, 200, 60);
    f.height = 40 * 20;
    f.outlines = true;
    f.variable = "score";
    f.text = "I";
    movie.setBackground(swf::Rgb(0xffffff));
    movie.place(1, defineField(movie, f));
    // The field's own text is the variable's value until a script sets it.
    swf::Actions frame1;
    frame1.traceVar("score").setVar("score", "III");
    doAction(movie, frame1);
    movie.showFrame();
    Player player;
    Lines lines;
    player.setTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
    ASSERT_TRUE(load(player, movie).ok);
    EXPECT_EQ(lines, Lines{"I"});
    const Box box = inked(render(player), 0xffffffff);
    EXPECT_NEAR(box.width(), (2 * 600 + 400) / 1024.0 * 40, 2); // three bars
}

TEST(StaticText, ColoursAndAlphaFollowTheColourTransform) {
    swf::SwfWriter movie(100, 60, 12);
    movie.setBackground(swf::Rgb(0xffffff));
    const swf::Font font = blockFont();
    const auto fontId = movie.defineFont(font, 2);
    // Black at half alpha, placed at half alpha again: a quarter of black over white.
    const auto run = swf::TextRun::layout(font, fontId, "I", 40, swf::Rgb(0x000000, 128), 10, 40);
    swf::Place p;
    p.depth = 1;
    p.character = movie.defineText({run}, swf::Rect::pixels(0, 0, 100, 60), {}, 2);
    p.colorTransform = swf::ColorTransform::alpha(0.5);
    movie.place(p);
    // Two overlapping glyphs of one run both show: overlaps never cut holes.
    const auto overlap = swf::TextRun::layout(font, fontId, "II", 40, swf::Rgb(0x0000ff), 50, 40);
    auto tight = overlap;
    tight.glyphs[0].advance = 100; // 5 px: the bars overlap
    movie.place(2, movie.defineText({tight}, swf::Rect::pixels(0, 0, 100, 60)));
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    const Frame frame = render(player);
    const std::uint32_t quarter = frame.at(10 + 8, 30);
    EXPECT_NEAR(static_cast<int>(quarter & 0xff), 191, 3);
    EXPECT_EQ(rgb(frame.at(50 + 10, 30)), 0x0000ffu); // where the two bars overlap
}

// A damaged movie may give glyph advances as wide as 32 bits: the pen position they add up to
// must not overflow while the text is read (the sanitizer build stops on it), and it draws.
TEST(StaticText, AdvancesOfAnyWidthAddUpWithoutOverflow) {
    swf::SwfWriter movie(100, 60, 12);
    const swf::Font font = blockFont();
    const auto fontId = movie.defineFont(font, 2);
    auto wide = swf::TextRun::layout(font, fontId, "III", 40, swf::Rgb(0x000000), 10, 40);
    for (auto& g : wide.glyphs) {
        g.advance = std::numeric_limits<std::int32_t>::min();
    }
    swf::TextRun next; // starts where the wide run ended
    next.glyphs = wide.glyphs;
    movie.place(1, movie.defineText({wide, next}, swf::Rect::pixels(0, 0, 100, 60)));
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    render(player);
}

} // namespace
} // namespace kinovex::flash::test
