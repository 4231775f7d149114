// Text fields compared with reviewed reference pictures in tests/golden/, as the other scenes
// are (see GoldenTest.cpp): KINOVEX_UPDATE_GOLDEN=1 writes the references, which are looked at
// by eye before they are committed; on failure the actual picture is saved next to the test
// program.

#include "FlashTestUtil.h"

#include <array>
#include <cairo.h>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace kinovex::flash::test {
namespace {

using swf::Rgb;

struct FieldSpec {
    swf::Rect bounds;
    std::optional<std::uint16_t> font;
    std::uint16_t height = 240;
    std::uint32_t color = 0x000000;
    std::uint8_t flags1 = 0; // word wrap 0x40, multiline 0x20
    std::uint8_t flags2 = 0; // border 0x08, html 0x02, outlines 0x01
    std::uint8_t align = 0;
    std::uint16_t leftMargin = 0, rightMargin = 0, indent = 0;
    std::int16_t leading = 0;
    std::string text;
};

std::uint16_t field(swf::SwfWriter& movie, const FieldSpec& f) {
    swf::BitWriter w;
    const std::uint16_t id = movie.takeId();
    w.u16(id);
    w.rect(f.bounds);
    w.u8(0x80 | f.flags1 | 0x08 | 0x04 | (f.font ? 0x01 : 0));
    w.u8(0x20 | f.flags2);
    if (f.font) {
        w.u16(*f.font);
        w.u16(f.height);
    }
    w.rgba(Rgb(f.color));
    w.u8(f.align);
    w.u16(f.leftMargin);
    w.u16(f.rightMargin);
    w.u16(f.indent);
    w.s16(f.leading);
    w.string("");
    w.string(f.text);
    movie.rawTag(37, w.data());
    return id;
}

// Blocky capitals and a bullet, enough for words.
swf::Font letters() {
    swf::Font font;
    font.name = "Blocks";
    auto add = [&](char32_t code, std::int16_t advance,
                   std::initializer_list<std::array<int, 4>> rects) {
        swf::Glyph g;
        g.code = static_cast<std::uint16_t>(code);
        g.advance = advance;
        g.shape.fill0(1);
        for (const auto& r : rects) {
            g.shape.moveToTwips(r[0], r[1])
                .lineToTwips(r[0], r[3])
                .lineToTwips(r[2], r[3])
                .lineToTwips(r[2], r[1])
                .lineToTwips(r[0], r[1]);
        }
        font.glyphs.push_back(std::move(g));
    };
    add('I', 400, {{100, -700, 300, 0}});
    add('L', 600, {{100, -700, 250, 0}, {250, -150, 550, 0}});
    add('T', 700, {{50, -700, 650, -550}, {275, -550, 425, 0}});
    add('E', 600,
        {{100, -700, 250, 0}, {250, -700, 550, -560}, {250, -420, 500, -280}, {250, -140, 550, 0}});
    add('H', 700, {{100, -700, 250, 0}, {450, -700, 600, 0}, {250, -420, 450, -280}});
    add(' ', 300, {});
    add(U'\u2022', 500, {{150, -450, 350, -250}});
    return font;
}

swf::SwfWriter embeddedFields() {
    swf::SwfWriter movie(320, 240, 12);
    movie.setBackground(Rgb(0xf4f0e8));
    const auto font = movie.defineFont(letters(), 3);
    FieldSpec f;
    f.font = font;
    f.flags2 = 0x01 | 0x02 | 0x08; // outlines, html, border
    f.flags1 = 0x40 | 0x20;        // word wrap, multiline
    f.height = 18 * 20;
    f.bounds = swf::Rect::pixels(10, 10, 310, 150);
    f.text = "<p align='left'>LITE <font color='#c02020'>HELL</font> TILE</p>"
             "<p align='center'><font size='26' color='#2040c0'>HI THEE</font></p>"
             "<p align='right'><u>ELITE</u> <b>TITLE</b></p>"
             "<li>LET THE TILE</li>"
             "<p align='justify'>TELL THE ELITE HE HIT THE HILT THE TITLE HE LET</p>";
    movie.place(1, field(movie, f));
    // Margins, indent and leading from the field itself, rotated and tinted as a whole.
    FieldSpec g;
    g.font = font;
    g.flags2 = 0x01;
    g.flags1 = 0x40 | 0x20;
    g.height = 14 * 20;
    g.color = 0x206020;
    g.leftMargin = 200;
    g.indent = 300;
    g.leading = 100;
    g.bounds = swf::Rect::pixels(0, 0, 150, 60);
    g.text = "THE TILE THE HILT THE LITHE ELITE";
    swf::Place p;
    p.depth = 2;
    p.character = field(movie, g);
    p.matrix = swf::Matrix::transform(1, 1, -0.15, 20, 170);
    p.colorTransform = swf::ColorTransform::alpha(0.7);
    movie.place(p);
    movie.showFrame();
    return movie;
}

swf::SwfWriter deviceFields() {
    swf::SwfWriter movie(320, 160, 12);
    movie.setBackground(Rgb(0xffffff));
    FieldSpec f;
    f.flags2 = 0x02 | 0x08;
    f.flags1 = 0x40 | 0x20;
    f.bounds = swf::Rect::pixels(10, 10, 310, 150);
    f.text = "<p><font face='_sans' size='16'>Sans <b>bold</b> <i>italic</i> "
             "<font color='#c00000'>red</font> &amp; <u>underlined</u></font></p>"
             "<p align='center'><font face='_serif' size='20'>Serif, centred</font></p>"
             "<p align='right'><font face='_typewriter' size='14'>typewriter, right</font></p>"
             "<p><font face='_sans' size='12'>A longer line of small text wraps at the edge "
             "of the field and goes on on the next line.</font></p>";
    movie.place(1, field(movie, f));
    movie.showFrame();
    return movie;
}

std::filesystem::path reference(const std::string& name) {
    return std::filesystem::path(KINOVEX_SOURCE_DIR) / "tests/golden" / (name + ".png");
}

void compareWithReference(const std::string& name, const Frame& actual) {
    cairo_surface_t* got =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, actual.width, actual.height);
    for (int y = 0; y < actual.height; ++y) {
        std::copy_n(&actual.pixels[static_cast<std::size_t>(y * actual.width)], actual.width,
                    reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(got) +
                                                     y * cairo_image_surface_get_stride(got)));
    }
    cairo_surface_mark_dirty(got);
    const char* update = std::getenv("KINOVEX_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        EXPECT_EQ(cairo_surface_write_to_png(got, reference(name).c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(got);
        GTEST_SKIP() << "reference written: " << reference(name);
    }
    cairo_surface_t* want = cairo_image_surface_create_from_png(reference(name).c_str());
    ASSERT_EQ(cairo_surface_status(want), CAIRO_STATUS_SUCCESS) << "no reference " << name;
    ASSERT_EQ(cairo_image_surface_get_width(want), actual.width);
    ASSERT_EQ(cairo_image_surface_get_height(want), actual.height);
    std::size_t differing = 0;
    for (int y = 0; y < actual.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(
            cairo_image_surface_get_data(want) + y * cairo_image_surface_get_stride(want));
        for (int x = 0; x < actual.width; ++x) {
            differing += near(row[x] | 0xff000000u, actual.at(x, y), 10) ? 0 : 1;
        }
    }
    const double share = static_cast<double>(differing) / static_cast<double>(actual.pixels.size());
    if (share > 0.005) {
        const auto out =
            std::filesystem::read_symlink("/proc/self/exe").parent_path() / "golden-failures";
        std::filesystem::create_directories(out);
        cairo_surface_write_to_png(got, (out / (name + "-actual.png")).c_str());
        ADD_FAILURE() << name << ": " << share * 100 << "% of the pixels differ; saved in " << out;
    }
    cairo_surface_destroy(want);
    cairo_surface_destroy(got);
}

TEST(TextFieldGolden, EmbeddedFontsWithHtmlAlignmentBulletsAndMargins) {
    Player player;
    ASSERT_TRUE(load(player, embeddedFields()).ok);
    EXPECT_TRUE(player.diagnostics().empty());
    compareWithReference("textfields-embedded", render(player));
}

// System fonts depend on what is installed; the reference was made with the DejaVu fonts.
TEST(TextFieldGolden, SystemFontsInTheirStyles) {
    Player player;
    ASSERT_TRUE(load(player, deviceFields()).ok);
    compareWithReference("textfields-device", render(player));
}

} // namespace
} // namespace kinovex::flash::test
