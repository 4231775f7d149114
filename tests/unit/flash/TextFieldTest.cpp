// Text fields (DefineEditText) drawn with their initial text. Our writer has no text fields,
// so the tag is put together here.

#include "FlashTestUtil.h"
#include "flash/render/TextLayout.h"

#include <gtest/gtest.h>

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
    std::uint8_t align = 0;
    std::string text;
};

std::uint16_t defineField(swf::SwfWriter& movie, const Field& f) {
    swf::BitWriter w;
    const std::uint16_t id = movie.takeId();
    w.u16(id);
    w.rect(f.bounds);
    w.u8(0x80 | (f.multiline ? 0x20 : 0) | 0x08 | 0x04 | (f.font ? 0x01 : 0)); // text, colour
    w.u8(0x20 | (f.border ? 0x08 : 0) | (f.html ? 0x02 : 0) | (f.outlines ? 0x01 : 0));
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
    w.string("field");
    w.string(f.text);
    movie.rawTag(37, w.data());
    return id;
}

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
    return font;
}

// Bounding box of the pixels that are not the background colour.
struct Box {
    int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1;
};
Box inked(const Frame& f, std::uint32_t background) {
    Box b;
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
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

TEST(TextField, EmbeddedOutlinesAreLaidOutWithTheFontsAdvancesAndAlignment) {
    for (const std::uint8_t align : {0, 2}) {
        swf::SwfWriter movie(200, 60, 12);
        movie.setBackground(swf::Rgb(0xffffff));
        const auto font = movie.defineFont(blockFont(), 2);
        Field f;
        f.bounds = swf::Rect::pixels(0, 0, 200, 60);
        f.font = font;
        f.height = 40 * 20; // 40 pixels
        f.color = swf::Rgb(0xff0000);
        f.outlines = true;
        f.align = align;
        f.text = "III";
        movie.place(1, defineField(movie, f));
        movie.showFrame();
        Player player;
        ASSERT_TRUE(load(player, movie).ok);
        ASSERT_TRUE(player.diagnostics().empty()) << player.diagnostics().front().text();
        const Frame frame = render(player);
        const Box box = inked(frame, 0xffffffff);
        // Three glyphs 600/1024 em apart: 40 px * 600/1024 = 23.4 px each; the ink of the
        // first starts 100/1024 em in, that of the last ends 100/1024 em before its advance.
        const double em = 40.0;
        const double inkWidth = 2 * 600 / 1024.0 * em + 400 / 1024.0 * em;
        EXPECT_NEAR(box.x1 - box.x0 + 1, inkWidth, 2) << int(align);
        if (align == 0) {
            EXPECT_NEAR(box.x0, 2 + 100 / 1024.0 * em, 1.5); // after the 2-pixel gutter
        } else {
            const double fieldMiddle = 100;
            EXPECT_NEAR((box.x0 + box.x1 + 1) / 2.0, fieldMiddle, 1.5);
        }
        EXPECT_EQ(rgb(frame.at(box.x0 + 3, box.y0 + 3)), 0xff0000u);
    }
}

TEST(TextField, DeviceFontTextStaysInsideItsBorderedField) {
    swf::SwfWriter movie(200, 100, 12);
    movie.setBackground(swf::Rgb(0x0000ff));
    Field f;
    f.bounds = swf::Rect::pixels(20, 20, 80, 50);
    f.height = 24 * 20;
    f.border = true;
    f.html = true;
    f.text = "<p><b>Wide&amp;long text that does not fit</b></p>";
    movie.place(1, defineField(movie, f));
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    const Frame frame = render(player);
    EXPECT_EQ(rgb(frame.at(50, 48)), 0xffffffu); // the field's background
    EXPECT_EQ(rgb(frame.at(85, 35)), 0x0000ffu); // the text is cut at the field's edge
    const Box box = inked(frame, 0xff0000ffu);
    EXPECT_NEAR(box.x0, 20, 1); // the border line is centred on the field's edge
    EXPECT_NEAR(box.x1, 79, 1);
    int dark = 0;
    for (int y = 22; y < 48; ++y) {
        for (int x = 22; x < 78; ++x) {
            dark += rgb(frame.at(x, y)) < 0x404040u ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 30); // some text was drawn (with whatever sans-serif font is installed)
}

TEST(TextLayout, HtmlBecomesLinesAndOldMoviesTextIsLatin1) {
    EXPECT_EQ(
        htmlToPlain("<P ALIGN=\"LEFT\"><FONT FACE=\"_sans\">a &amp; b</FONT></P><p>c<br/>d</p>"),
        "a & b\nc\nd");
    EXPECT_EQ(decodeText("caf\xc3\xa9"), U"caf\u00e9");
    EXPECT_EQ(decodeText("caf\xe9"), U"caf\u00e9");     // not UTF-8: Latin-1
    EXPECT_EQ(decodeText("\xe2\x82"), U"\u00e2\u0082"); // cut short: Latin-1
    EXPECT_EQ(splitLines(U"a\r\nb\rc\n"), (std::vector<std::u32string>{U"a", U"b", U"c", U""}));
    EXPECT_EQ(encodeUtf8(U"\u00e9\u20ac"), "\xc3\xa9\xe2\x82\xac");
}

} // namespace
} // namespace kinovex::flash::test
