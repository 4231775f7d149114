// Frames drawn by the engine, checked pixel by pixel where the answer is known exactly.

#include "FlashTestUtil.h"
#include "engine/definitions/Movie.h"
#include "engine/display/Timeline.h"
#include "engine/render/Renderer.h"

#include <cairo.h>
#include <gtest/gtest.h>

namespace kinovex::flash::test {
namespace {

using swf::Rgb;

TEST(Render, SolidSquareLandsOnItsPixelsOverTheBackground) {
    swf::SwfWriter movie(100, 80, 12);
    movie.setBackground(Rgb(0x0000ff));
    movie.place(1, defineRect(movie, 10, 20, 30, 40, 0xff0000));
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    const Frame f = render(player);
    EXPECT_EQ(rgb(f.at(10, 20)), 0xff0000u);
    EXPECT_EQ(rgb(f.at(39, 59)), 0xff0000u);
    EXPECT_EQ(rgb(f.at(40, 20)), 0x0000ffu);
    EXPECT_EQ(rgb(f.at(9, 20)), 0x0000ffu);
    EXPECT_EQ(rgb(f.at(10, 60)), 0x0000ffu);
    EXPECT_EQ(f.at(0, 0) >> 24, 0xffu); // the frame is opaque
}

TEST(Render, ScalesToShowAllAndCentres) {
    swf::SwfWriter movie(100, 50, 12);
    movie.setBackground(Rgb(0x000000));
    movie.place(1, defineRect(movie, 0, 0, 100, 50, 0x00ff00));
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    // 200x200: scale 2, the stage is 200x100 centred vertically (rows 50..149).
    const Frame f = render(player, 200, 200);
    EXPECT_EQ(rgb(f.at(0, 49)), 0x000000u);
    EXPECT_EQ(rgb(f.at(0, 50)), 0x00ff00u);
    EXPECT_EQ(rgb(f.at(199, 149)), 0x00ff00u);
    EXPECT_EQ(rgb(f.at(199, 150)), 0x000000u);
}

TEST(Render, ColourTransformsMultiplyAndAddOnNestedSprites) {
    swf::SwfWriter movie(40, 40, 12);
    movie.setBackground(Rgb(0x000000));
    const auto square = defineRect(movie, 0, 0, 40, 40, 0x808080);
    swf::Sprite inner;
    swf::Place p;
    p.depth = 1;
    p.character = square;
    swf::ColorTransform add;
    add.rAdd = 0x40;
    p.colorTransform = add;
    inner.place(p);
    inner.showFrame();
    const auto sprite = movie.defineSprite(inner);
    swf::Place outer;
    outer.depth = 1;
    outer.character = sprite;
    outer.colorTransform = swf::ColorTransform::tint(0.5, 1.0, 0.0);
    movie.place(outer);
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    // red: (0x80 + 0x40) * 0.5 = 0x60; green unchanged; blue gone.
    EXPECT_TRUE(near(render(player).at(20, 20), 0xff608000u, 1))
        << std::hex << render(player).at(20, 20);
}

TEST(Render, AlphaBlendsOverTheBackground) {
    swf::SwfWriter movie(20, 20, 12);
    movie.setBackground(Rgb(0xffffff));
    movie.place(1, defineRect(movie, 0, 0, 20, 20, 0x000000, 128));
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    EXPECT_TRUE(near(render(player).at(10, 10), 0xff7f7f7fu, 2));
}

TEST(Render, LinearGradientShowsItsEndColoursAtItsEnds) {
    swf::SwfWriter movie(200, 20, 12);
    swf::ShapeBuilder shape;
    swf::Gradient g;
    g.stops = {{0, Rgb(0xff0000)}, {255, Rgb(0x0000ff)}};
    shape
        .fill0(
            shape.addFill(swf::FillStyle::linear(swf::Matrix::gradientBox(200, 20, 0, 100, 10), g)))
        .rectangle(0, 0, 200, 20);
    movie.place(1, movie.defineShape(shape));
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    const Frame f = render(player);
    EXPECT_TRUE(near(f.at(0, 10), 0xffff0000u, 6)) << std::hex << f.at(0, 10);
    EXPECT_TRUE(near(f.at(199, 10), 0xff0000ffu, 6)) << std::hex << f.at(199, 10);
    EXPECT_TRUE(near(f.at(100, 10), 0xff800080u, 6)) << std::hex << f.at(100, 10);
}

TEST(Render, RadialGradientRepeatsAndPads) {
    for (const auto spread : {swf::Spread::Pad, swf::Spread::Repeat}) {
        swf::SwfWriter movie(200, 200, 12);
        swf::ShapeBuilder shape;
        swf::Gradient g;
        g.spread = spread;
        g.stops = {{0, Rgb(0xffffff)}, {255, Rgb(0x000000)}};
        // A circle of radius 50 around the centre.
        shape
            .fill0(shape.addFill(
                swf::FillStyle::radial(swf::Matrix::gradientBox(100, 100, 0, 100, 100), g)))
            .rectangle(0, 0, 200, 200);
        movie.place(1, movie.defineShape(shape));
        movie.showFrame();
        Player player;
        ASSERT_TRUE(load(player, movie).ok);
        const Frame f = render(player);
        EXPECT_TRUE(near(f.at(100, 100), 0xffffffffu, 8));
        // 75 pixels out is half way into the second cycle when repeating, black when padding.
        const std::uint32_t out = f.at(175, 100);
        if (spread == swf::Spread::Pad) {
            EXPECT_TRUE(near(out, 0xff000000u, 6)) << std::hex << out;
        } else {
            EXPECT_TRUE(near(out, 0xff808080u, 12)) << std::hex << out;
        }
    }
}

TEST(Render, MaskShowsOnlyWhatItCoversAndOnlyUpToItsClipDepth) {
    swf::SwfWriter movie(100, 100, 12);
    movie.setBackground(Rgb(0xffffff));
    const auto mask = defineRect(movie, 0, 0, 50, 100, 0x000000);
    const auto red = defineRect(movie, 0, 0, 100, 50, 0xff0000);
    const auto blue = defineRect(movie, 0, 50, 100, 50, 0x0000ff);
    swf::Place m;
    m.depth = 1;
    m.character = mask;
    m.clipDepth = 2;
    movie.place(m);
    movie.place(2, red);  // masked: left half only
    movie.place(3, blue); // above the clip depth: whole width
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    const Frame f = render(player);
    EXPECT_EQ(rgb(f.at(25, 25)), 0xff0000u);
    EXPECT_EQ(rgb(f.at(75, 25)), 0xffffffu); // the mask itself is never drawn
    EXPECT_EQ(rgb(f.at(25, 75)), 0x0000ffu);
    EXPECT_EQ(rgb(f.at(75, 75)), 0x0000ffu);
}

TEST(Render, NestedMasksIntersect) {
    swf::SwfWriter movie(100, 100, 12);
    movie.setBackground(Rgb(0xffffff));
    const auto left = defineRect(movie, 0, 0, 50, 100, 0);
    const auto top = defineRect(movie, 0, 0, 100, 50, 0);
    const auto green = defineRect(movie, 0, 0, 100, 100, 0x00ff00);
    swf::Place outer;
    outer.depth = 1;
    outer.character = left;
    outer.clipDepth = 3;
    movie.place(outer);
    swf::Place inner;
    inner.depth = 2;
    inner.character = top;
    inner.clipDepth = 3;
    movie.place(inner);
    movie.place(3, green);
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    const Frame f = render(player);
    EXPECT_EQ(rgb(f.at(25, 25)), 0x00ff00u);
    EXPECT_EQ(rgb(f.at(75, 25)), 0xffffffu);
    EXPECT_EQ(rgb(f.at(25, 75)), 0xffffffu);
}

TEST(Render, ObjectsUnderAMaskBlendWithWhatLiesBeneathTheMaskToo) {
    // Dark grey beneath the mask; the mask covers the left half, over a red square in overlay
    // across the whole stage. Overlay on dark grey halves the red where the mask shows it; the
    // grey stays elsewhere. The masked objects are drawn straight onto a plain image, and in a
    // group when a clip cairo cannot give as rectangles keeps the renderer off the pixels: the
    // same picture either way.
    swf::SwfWriter writer(40, 20, 12);
    writer.place(1, defineRect(writer, 0, 0, 40, 20, 0x404040));
    swf::Place mask;
    mask.depth = 2;
    mask.character = defineRect(writer, 0, 0, 20, 20, 0x000000);
    mask.clipDepth = 3;
    writer.place(mask);
    swf::Place top;
    top.depth = 3;
    top.character = defineRect(writer, 0, 0, 40, 20, 0xff0000);
    top.blendMode = swf::BlendMode::Overlay;
    writer.place(top);
    writer.showFrame();
    Log log;
    Movie movie;
    ASSERT_TRUE(movie.load(writer.finish(), log).ok);
    std::size_t liveSprites = 0;
    TimelineInstance root(movie, movie.timeline(), 0, liveSprites);
    root.start();
    for (const bool group : {false, true}) {
        SCOPED_TRACE(group ? "in a group" : "straight onto the image");
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 20);
        cairo_t* cr = cairo_create(surface);
        if (group) {
            cairo_rectangle(cr, 0.5, 0, 39.5, 20);
            cairo_clip(cr);
        }
        Renderer renderer(movie, log);
        renderer.render(cr, root, Matrix::scale(0.05, 0.05), 1);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        auto at = [&](int x, int y) {
            return reinterpret_cast<const std::uint32_t*>(
                cairo_image_surface_get_data(surface) +
                static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(surface))[x];
        };
        EXPECT_TRUE(near(at(10, 10), 0xff800000u, 2)) << std::hex << at(10, 10);
        EXPECT_TRUE(near(at(30, 10), 0xff404040u, 1)) << std::hex << at(30, 10);
        cairo_surface_destroy(surface);
    }
}

TEST(Render, StrokesHaveTheirWidthAndAHairlineIsOnePixel) {
    swf::SwfWriter movie(100, 100, 12);
    movie.setBackground(Rgb(0xffffff));
    swf::ShapeBuilder shape;
    shape.line(shape.addLine(swf::LineStyle::solid(10, Rgb(0x000000))))
        .moveTo(10, 50)
        .lineTo(90, 50);
    auto hair = swf::LineStyle::solid(0, Rgb(0x000000));
    shape.line(shape.addLine(hair)).moveTo(10, 80.5).lineTo(90, 80.5);
    movie.place(1, movie.defineShape(shape));
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    const Frame f = render(player);
    EXPECT_EQ(rgb(f.at(50, 46)), 0x000000u);
    EXPECT_EQ(rgb(f.at(50, 53)), 0x000000u);
    EXPECT_EQ(rgb(f.at(50, 44)), 0xffffffu);
    EXPECT_EQ(rgb(f.at(50, 56)), 0xffffffu);
    EXPECT_EQ(rgb(f.at(50, 80)), 0x000000u);
    EXPECT_EQ(rgb(f.at(50, 78)), 0xffffffu);
    EXPECT_EQ(rgb(f.at(50, 82)), 0xffffffu);
    // Round caps reach past the ends by half the width.
    EXPECT_EQ(rgb(f.at(7, 50)), 0x000000u);
}

TEST(Render, Rgb555RowsAreBottomUpAndPadded) {
    swf::SwfWriter movie(3, 2, 12);
    movie.setBackground(Rgb(0x0000ff));
    movie.place(1, defineRect(movie, 0, 0, 3, 1, 0xff0000)); // top row red
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    ASSERT_EQ(Player::rgb555Stride(3), 8);
    std::vector<std::uint8_t> bits(16, 0xaa);
    player.drawRgb555(bits.data(), 3, 2);
    // First row in memory is the bottom (blue) row: 0x001f; then padding; then red 0x7c00.
    EXPECT_EQ(bits[0], 0x1f);
    EXPECT_EQ(bits[1], 0x00);
    EXPECT_EQ(bits[6], 0x00);
    EXPECT_EQ(bits[7], 0x00);
    EXPECT_EQ(bits[8], 0x00);
    EXPECT_EQ(bits[9], 0x7c);
}

TEST(Render, BlendModesCombineWithWhatIsBelow) {
    struct Case {
        swf::BlendMode mode;
        std::uint32_t expected;
    };
    // Below: 0x808080; above: 0xff4000.
    const Case cases[] = {
        {swf::BlendMode::Multiply, 0x802000},   {swf::BlendMode::Screen, 0xffa080},
        {swf::BlendMode::Lighten, 0xff8080},    {swf::BlendMode::Darken, 0x804000},
        {swf::BlendMode::Difference, 0x7f4080}, {swf::BlendMode::Add, 0xffc080},
        {swf::BlendMode::Subtract, 0x004080},   {swf::BlendMode::Invert, 0x7f7f7f},
    };
    for (const Case& c : cases) {
        swf::SwfWriter movie(20, 20, 12);
        movie.place(1, defineRect(movie, 0, 0, 20, 20, 0x808080));
        swf::Place top;
        top.depth = 2;
        top.character = defineRect(movie, 0, 0, 20, 20, 0xff4000);
        top.blendMode = c.mode;
        movie.place(top);
        movie.showFrame();
        Player player;
        ASSERT_TRUE(load(player, movie).ok);
        const std::uint32_t got = render(player).at(10, 10);
        EXPECT_TRUE(near(got, 0xff000000u | c.expected, 2))
            << "mode " << static_cast<int>(c.mode) << ": " << std::hex << got;
    }
}

TEST(Render, LosslessBitmapFillsKeepTheirPixelsAndAlpha) {
    swf::Image image(4, 4, 0xffff0000u);
    image.at(1, 0) = 0xff00ff00u;
    image.at(2, 0) = 0x800000ffu; // half transparent blue
    for (const auto format : {swf::LosslessFormat::Rgb24, swf::LosslessFormat::Palette8}) {
        for (const bool alpha : {false, true}) {
            swf::SwfWriter movie(40, 40, 12);
            movie.setBackground(Rgb(0xffffff));
            const auto bitmap = movie.defineBitsLossless(image, format, alpha);
            swf::ShapeBuilder shape;
            shape
                .fill0(shape.addFill(
                    swf::FillStyle::bitmap(bitmap, swf::Matrix::bitmap(10, 0, 0), false, false)))
                .rectangle(0, 0, 40, 40);
            movie.place(1, movie.defineShape(shape));
            movie.showFrame();
            Player player;
            ASSERT_TRUE(load(player, movie).ok);
            const Frame f = render(player);
            SCOPED_TRACE(static_cast<int>(format) * 10 + alpha);
            EXPECT_EQ(rgb(f.at(5, 5)), 0xff0000u);
            EXPECT_EQ(rgb(f.at(15, 5)), 0x00ff00u);
            const std::uint32_t expected = alpha ? 0xff7f7fffu : 0xff0000ffu;
            EXPECT_TRUE(near(f.at(25, 5), expected, 3)) << std::hex << f.at(25, 5);
        }
    }
}

TEST(Render, RepeatingBitmapFillTilesAndClippedOneStretchesItsEdge) {
    const swf::Image image = swf::Image::checker(2, 2, 1, 0xff000000u, 0xffffffffu);
    for (const bool repeat : {true, false}) {
        swf::SwfWriter movie(40, 10, 12);
        const auto bitmap = movie.defineBitsLossless(image, swf::LosslessFormat::Rgb24);
        swf::ShapeBuilder shape;
        shape
            .fill0(shape.addFill(
                swf::FillStyle::bitmap(bitmap, swf::Matrix::bitmap(5, 0, 0), repeat, false)))
            .rectangle(0, 0, 40, 10);
        movie.place(1, movie.defineShape(shape));
        movie.showFrame();
        Player player;
        ASSERT_TRUE(load(player, movie).ok);
        const Frame f = render(player);
        // Columns 0-4 black, 5-9 white in the first row of cells; then it repeats or stays.
        EXPECT_EQ(rgb(f.at(2, 2)), 0x000000u);
        EXPECT_EQ(rgb(f.at(7, 2)), 0xffffffu);
        EXPECT_EQ(rgb(f.at(12, 2)), repeat ? 0x000000u : 0xffffffu);
    }
}

TEST(Render, JpegBitmapsDecodeInEveryTagForm) {
    const swf::Image image(16, 16, 0xff2040e0u);
    enum class Form { Bits, Jpeg2, Jpeg2Stray, Jpeg3 };
    for (const Form form : {Form::Bits, Form::Jpeg2, Form::Jpeg2Stray, Form::Jpeg3}) {
        swf::SwfWriter movie(16, 16, 12);
        movie.setBackground(Rgb(0xffffff));
        std::uint16_t bitmap = 0;
        switch (form) {
        case Form::Bits:
            bitmap = movie.defineBitsJpeg(image, 90);
            break;
        case Form::Jpeg2:
            bitmap = movie.defineBitsJpeg2(image, 90);
            break;
        case Form::Jpeg2Stray:
            bitmap = movie.defineBitsJpeg2(image, 90, true);
            break;
        case Form::Jpeg3:
            bitmap = movie.defineBitsJpeg3(image, 90);
            break;
        }
        swf::ShapeBuilder shape;
        shape.fill0(shape.addFill(swf::FillStyle::bitmap(bitmap, swf::Matrix::bitmap(1, 0, 0))))
            .rectangle(0, 0, 16, 16);
        movie.place(1, movie.defineShape(shape));
        movie.showFrame();
        Player player;
        ASSERT_TRUE(load(player, movie).ok);
        const Frame f = render(player);
        EXPECT_TRUE(near(f.at(8, 8), 0xff2040e0u, 8))
            << "form " << static_cast<int>(form) << ": " << std::hex << f.at(8, 8);
        EXPECT_TRUE(player.diagnostics().empty()) << player.diagnostics().front().text();
    }
}

TEST(Render, Jpeg3AlphaPlaneMakesPixelsTransparent) {
    swf::Image image(8, 8, 0xff000000u);
    for (int x = 0; x < 8; ++x) {
        for (int y = 4; y < 8; ++y) {
            image.at(x, y) = 0x00000000u; // bottom half fully transparent
        }
    }
    swf::SwfWriter movie(8, 8, 12);
    movie.setBackground(Rgb(0xffffff));
    const auto bitmap = movie.defineBitsJpeg3(image, 90);
    swf::ShapeBuilder shape;
    shape
        .fill0(shape.addFill(
            swf::FillStyle::bitmap(bitmap, swf::Matrix::bitmap(1, 0, 0), false, false)))
        .rectangle(0, 0, 8, 8);
    movie.place(1, movie.defineShape(shape));
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    const Frame f = render(player);
    EXPECT_TRUE(near(f.at(4, 1), 0xff000000u, 8)) << std::hex << f.at(4, 1);
    EXPECT_TRUE(near(f.at(4, 6), 0xffffffffu, 8)) << std::hex << f.at(4, 6);
}

} // namespace
} // namespace kinovex::flash::test

namespace kinovex::flash::test {
namespace {

TEST(Render, ShapesDrawnAgainFromTheBitmapCacheLookTheSame) {
    // Gradients, strokes and colour transforms at fractional positions, drawn three times: the
    // first draw is direct, the later ones come from the cache. Some hang over the stage's
    // edges, some are inside a sprite drawn as a layer of its own.
    swf::SwfWriter movie(120, 90, 12);
    swf::ShapeBuilder s;
    swf::Gradient g;
    g.stops = {{0, swf::Rgb(0xffffff, 200)}, {255, swf::Rgb(0x2040a0)}};
    s.fill0(s.addFill(swf::FillStyle::radial(swf::Matrix::gradientBox(30, 30, 0, 0, 0), g)))
        .line(s.addLine(swf::LineStyle::solid(1.5, swf::Rgb(0x000000, 160))))
        .ellipse(0, 0, 15, 10);
    const auto id = movie.defineShape(s);
    for (int i = 0; i < 12; ++i) {
        swf::Place p;
        p.depth = static_cast<std::uint16_t>(i + 1);
        p.character = id;
        p.matrix =
            swf::Matrix::transform(1 + i * 0.05, 1, i * 0.4, 10.35 + i * 8.1, 20.7 + i * 4.3);
        if (i % 3 == 0) {
            p.colorTransform = swf::ColorTransform::tint(1, 0.5, 0.5, 0.8);
        }
        movie.place(p);
    }
    swf::Sprite layer;
    for (int i = 0; i < 4; ++i) {
        layer.place(static_cast<std::uint16_t>(i + 1), id,
                    swf::Matrix::transform(1, 1.2, i * 0.7, i * 17.3, 3.6 + i * 2.1));
    }
    layer.showFrame();
    swf::Place layered;
    layered.depth = 20;
    layered.character = movie.defineSprite(layer);
    layered.matrix = swf::Matrix::translate(60.4, 50.15);
    layered.blendMode = swf::BlendMode::Layer;
    movie.place(layered);
    std::uint16_t depth = 30;
    for (const auto& [x, y] : {std::pair{-7.6, -5.35}, {113.3, 86.8}, {-3.1, 84.45}}) {
        movie.place(depth++, id, swf::Matrix::transform(1, 1, 0.3, x, y));
    }
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    const Frame first = render(player);
    const Frame second = render(player);
    const Frame third = render(player);
    int worst = 0;
    for (std::size_t i = 0; i < first.pixels.size(); ++i) {
        for (const Frame* f : {&second, &third}) {
            for (int shift = 0; shift < 32; shift += 8) {
                const int a = static_cast<int>((first.pixels[i] >> shift) & 255);
                const int b = static_cast<int>((f->pixels[i] >> shift) & 255);
                worst = std::max(worst, std::abs(a - b));
            }
        }
    }
    EXPECT_LE(worst, 2);
}

} // namespace
} // namespace kinovex::flash::test

namespace kinovex::flash::test {
namespace {

TEST(Render, AShapeWhoseDeclaredBoundsAreWrongIsNotCutOffWhenDrawnAgain) {
    swf::SwfWriter movie(60, 60, 12);
    movie.setBackground(swf::Rgb(0xffffff));
    swf::ShapeBuilder s;
    s.fill0(s.addFill(swf::FillStyle::solid(swf::Rgb(0xff0000)))).rectangle(10, 10, 40, 40);
    swf::BitWriter w;
    const std::uint16_t id = movie.takeId();
    w.u16(id);
    w.rect(swf::Rect{0, 20, 0, 20}); // claims one pixel
    s.writeWithStyles(w, 3);
    movie.rawTag(32, w.data());
    movie.place(1, id, swf::Matrix::translate(0.5, 0.25));
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    for (int i = 0; i < 3; ++i) {
        const Frame f = render(player);
        EXPECT_EQ(rgb(f.at(45, 45)), 0xff0000u) << "draw " << i;
        EXPECT_EQ(rgb(f.at(20, 30)), 0xff0000u) << "draw " << i;
    }
}

} // namespace
} // namespace kinovex::flash::test

namespace kinovex::flash::test {
namespace {

TEST(Render, DefineShape4CanFillOverlapsByTheNonZeroRule) {
    for (const bool nonZero : {false, true}) {
        swf::SwfWriter movie(60, 60, 12);
        movie.setBackground(swf::Rgb(0xffffff));
        swf::ShapeBuilder s;
        const auto fill = s.addFill(swf::FillStyle::solid(swf::Rgb(0x0000ff)));
        s.fill1(fill).rectangle(0, 0, 40, 40).rectangle(20, 20, 40, 40); // same direction
        swf::BitWriter w;
        const std::uint16_t id = movie.takeId();
        w.u16(id);
        w.rect(swf::Rect::pixels(0, 0, 60, 60));
        w.rect(swf::Rect::pixels(0, 0, 60, 60));
        w.u8(nonZero ? 0x04 : 0x00);
        s.writeWithStyles(w, 4);
        movie.rawTag(83, w.data());
        movie.place(1, id);
        movie.showFrame();
        Player player;
        ASSERT_TRUE(load(player, movie).ok);
        const Frame f = render(player);
        EXPECT_EQ(rgb(f.at(10, 10)), 0x0000ffu);
        EXPECT_EQ(rgb(f.at(30, 30)), nonZero ? 0x0000ffu : 0xffffffu) << nonZero;
    }
}

} // namespace
} // namespace kinovex::flash::test
