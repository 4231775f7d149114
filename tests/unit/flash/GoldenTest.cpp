// Whole frames compared with reviewed reference pictures in tests/golden/.
//
// A reference is made by running this test with KINOVEX_UPDATE_GOLDEN=1 and is looked at by eye
// before it is committed. A comparison allows small differences per channel (anti-aliasing
// differs slightly between cairo versions) and a small share of pixels beyond that; on failure
// the actual picture and a difference picture are saved next to the test program.
// KINOVEX_GOLDEN_MOVIES=DIR also writes each scene's movie there.

#include "FlashTestUtil.h"

#include <cairo.h>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace kinovex::flash::test {
namespace {

using swf::Rgb;

constexpr int kChannelTolerance = 10;
constexpr double kMaxDifferingShare = 0.005;

struct Scene {
    const char* name;
    std::function<swf::SwfWriter()> make;
    int frames = 1; // the frame that is drawn, 1-based
};

swf::Gradient gradient(std::initializer_list<std::pair<int, std::uint32_t>> stops,
                       swf::Spread spread = swf::Spread::Pad,
                       swf::Interpolation interpolation = swf::Interpolation::Normal) {
    swf::Gradient g;
    for (const auto& [ratio, color] : stops) {
        g.stops.push_back({static_cast<std::uint8_t>(ratio), Rgb(color)});
    }
    g.spread = spread;
    g.interpolation = interpolation;
    return g;
}

swf::SwfWriter gradients() {
    swf::SwfWriter movie(320, 240, 12);
    movie.setBackground(Rgb(0xeeeeee));
    swf::ShapeBuilder s;
    auto box = [&](const swf::FillStyle& f, double x, double y) {
        s.fill0(s.addFill(f)).rectangle(x, y, 100, 100);
    };
    const auto rgb3 = gradient({{0, 0xff0000}, {128, 0x00ff00}, {255, 0x0000ff}});
    box(swf::FillStyle::linear(swf::Matrix::gradientBox(100, 100, 0, 55, 55), rgb3), 5, 5);
    box(swf::FillStyle::linear(swf::Matrix::gradientBox(40, 40, 0.6, 160, 55),
                               gradient({{0, 0x000000}, {255, 0xffffff}}, swf::Spread::Reflect)),
        110, 5);
    box(swf::FillStyle::linear(swf::Matrix::gradientBox(30, 30, 0, 265, 55),
                               gradient({{0, 0xffff00}, {255, 0x0000ff}}, swf::Spread::Repeat)),
        215, 5);
    box(swf::FillStyle::radial(swf::Matrix::gradientBox(100, 60, 0.3, 55, 160),
                               gradient({{0, 0xffffff}, {100, 0xff8000}, {255, 0x400000}})),
        5, 110);
    box(swf::FillStyle::focal(swf::Matrix::gradientBox(100, 100, 0, 160, 160),
                              gradient({{0, 0xffffff}, {255, 0x004080}}), 0.75),
        110, 110);
    swf::ShapeBuilder& t = s;
    t.fill0(t.addFill(
                swf::FillStyle::linear(swf::Matrix::gradientBox(100, 100, 0, 265, 160),
                                       gradient({{0, 0xff0000}, {255, 0x00ff00}}, swf::Spread::Pad,
                                                swf::Interpolation::LinearRgb))))
        .rectangle(215, 110, 100, 50);
    t.fill0(t.addFill(swf::FillStyle::linear(swf::Matrix::gradientBox(100, 100, 0, 265, 160),
                                             gradient({{0, 0xff0000}, {255, 0x00ff00}}))))
        .rectangle(215, 160, 100, 50);
    movie.place(1, movie.defineShape(s, 4));
    movie.showFrame();
    return movie;
}

swf::SwfWriter strokes() {
    swf::SwfWriter movie(320, 240, 12);
    movie.setBackground(Rgb(0xffffff));
    swf::ShapeBuilder s;
    const swf::Cap caps[] = {swf::Cap::Round, swf::Cap::None, swf::Cap::Square};
    const swf::Join joins[] = {swf::Join::Round, swf::Join::Bevel, swf::Join::Miter};
    for (int i = 0; i < 3; ++i) {
        auto ls = swf::LineStyle::solid(12, Rgb(0x3050c0));
        ls.startCap = ls.endCap = caps[i];
        ls.join = joins[i];
        ls.miterLimit = 10;
        const double x = 30 + i * 100;
        s.line(s.addLine(ls)).moveTo(x, 90).lineTo(x + 30, 20).lineTo(x + 60, 90);
        s.line(0);
    }
    auto thin = swf::LineStyle::solid(0, Rgb(0x000000)); // hairline
    s.line(s.addLine(thin)).moveTo(10, 120).curveTo(160, 60, 310, 120);
    auto gradientLine = swf::LineStyle::solid(16, Rgb(0));
    gradientLine.fill = swf::FillStyle::linear(swf::Matrix::gradientBox(300, 10, 0, 160, 150),
                                               gradient({{0, 0xff0000}, {255, 0x00c0ff}}));
    s.line(s.addLine(gradientLine)).moveTo(20, 150).lineTo(300, 150);
    const auto shape = movie.defineShape(s, 4);
    movie.place(1, shape);
    // The same scaled: one line keeps its width, the other grows.
    swf::ShapeBuilder n;
    auto fixed = swf::LineStyle::solid(2, Rgb(0xc00000));
    fixed.noHScale = fixed.noVScale = true;
    n.line(n.addLine(fixed)).moveTo(0, 0).lineTo(40, 0);
    n.line(n.addLine(swf::LineStyle::solid(2, Rgb(0x008000)))).moveTo(0, 6).lineTo(40, 6);
    movie.place(2, movie.defineShape(n, 4), swf::Matrix::scale(4, 4, 80, 180));
    movie.showFrame();
    return movie;
}

swf::SwfWriter bitmaps() {
    swf::SwfWriter movie(320, 240, 12);
    movie.setBackground(Rgb(0xdddddd));
    const swf::Image rainbow = swf::Image::rainbow(32, 32, true);
    const swf::Image opaque = swf::Image::rainbow(32, 32, false);
    const swf::Image checker = swf::Image::checker(8, 8, 2, 0xff202020u, 0xfff0c020u);
    const std::uint16_t ids[] = {
        movie.defineBitsLossless(checker, swf::LosslessFormat::Palette8),
        movie.defineBitsLossless(opaque, swf::LosslessFormat::Rgb15),
        movie.defineBitsLossless(rainbow, swf::LosslessFormat::Rgb24, true),
        movie.defineBitsJpeg(opaque, 90),
        movie.defineBitsJpeg2(opaque, 90, true),
        movie.defineBitsJpeg3(rainbow, 90),
        movie.defineBitsJpeg2Data(swf::EncodePng(rainbow)),
        movie.defineBitsJpeg2Data(swf::EncodeGif(checker)),
    };
    swf::ShapeBuilder s;
    for (int i = 0; i < 8; ++i) {
        const double x = 10 + (i % 4) * 77;
        const double y = 10 + (i / 4) * 77;
        const bool repeat = i == 0 || i == 7;
        const bool smooth = i != 0;
        s.fill0(s.addFill(
                    swf::FillStyle::bitmap(ids[i], swf::Matrix::bitmap(2, x, y), repeat, smooth)))
            .rectangle(x, y, repeat ? 70 : 64, repeat ? 70 : 64);
    }
    // Rotated and scaled, smoothed.
    s.fill0(s.addFill(swf::FillStyle::bitmap(
                ids[2], swf::Matrix::transform(3 * 20, 2 * 20, 0.4, 120, 160), false, true)))
        .rectangle(100, 160, 150, 75);
    movie.place(1, movie.defineShape(s));
    movie.showFrame();
    return movie;
}

swf::SwfWriter masks() {
    swf::SwfWriter movie(240, 240, 12);
    movie.setBackground(Rgb(0xffffff));
    swf::ShapeBuilder circle;
    circle.fill0(circle.addFill(swf::FillStyle::solid(Rgb(0)))).ellipse(120, 120, 100, 100);
    const auto circleId = movie.defineShape(circle);
    swf::ShapeBuilder bars;
    for (int i = 0; i < 6; ++i) {
        bars.fill0(bars.addFill(swf::FillStyle::solid(Rgb(0)))).rectangle(0, i * 40, 240, 20);
    }
    const auto barsId = movie.defineShape(bars);
    swf::ShapeBuilder picture;
    picture
        .fill0(picture.addFill(
            swf::FillStyle::linear(swf::Matrix::gradientBox(240, 240, 0.8, 120, 120),
                                   gradient({{0, 0xff4000}, {255, 0x2040ff}}))))
        .rectangle(0, 0, 240, 240);
    const auto pictureId = movie.defineShape(picture);
    // A sprite as a mask: bars inside a sprite.
    swf::Sprite maskSprite;
    maskSprite.place(1, barsId);
    maskSprite.showFrame();
    const auto maskSpriteId = movie.defineSprite(maskSprite);
    swf::Place outer;
    outer.depth = 1;
    outer.character = circleId;
    outer.clipDepth = 10;
    movie.place(outer);
    swf::Place inner;
    inner.depth = 2;
    inner.character = maskSpriteId;
    inner.clipDepth = 5;
    movie.place(inner);
    movie.place(3, pictureId);
    movie.place(11, defineRect(movie, 100, 100, 40, 40, 0x000000));
    movie.showFrame();
    return movie;
}

swf::Font testFont() {
    swf::Font font;
    auto glyph = [&](char c, const std::function<void(swf::ShapeBuilder&)>& draw) {
        swf::Glyph g;
        g.code = static_cast<std::uint16_t>(c);
        g.shape.fill0(1);
        draw(g.shape);
        g.advance = 700;
        font.glyphs.push_back(std::move(g));
    };
    // Font units in twips calls: 1024 to the em, baseline at 0, letters up into negative y.
    glyph('I', [](swf::ShapeBuilder& s) {
        s.moveToTwips(200, -700)
            .lineToTwips(200, 0)
            .lineToTwips(400, 0)
            .lineToTwips(400, -700)
            .lineToTwips(200, -700);
    });
    glyph('O', [](swf::ShapeBuilder& s) {
        s.moveToTwips(50, -700)
            .lineToTwips(50, 0)
            .lineToTwips(600, 0)
            .lineToTwips(600, -700)
            .lineToTwips(50, -700);
        s.moveToTwips(200, -550)
            .lineToTwips(450, -550)
            .lineToTwips(450, -150)
            .lineToTwips(200, -150)
            .lineToTwips(200, -550);
    });
    glyph('V', [](swf::ShapeBuilder& s) {
        s.moveToTwips(0, -700)
            .lineToTwips(300, 0)
            .lineToTwips(600, -700)
            .lineToTwips(450, -700)
            .lineToTwips(300, -300)
            .lineToTwips(150, -700)
            .lineToTwips(0, -700);
    });
    return font;
}

swf::SwfWriter text() {
    swf::SwfWriter movie(320, 160, 12);
    movie.setBackground(Rgb(0x202020));
    const swf::Font font = testFont();
    const auto font2 = movie.defineFont(font, 2);
    const auto font3 = movie.defineFont(font, 3);
    const auto run1 = swf::TextRun::layout(font, font2, "VOI", 60, Rgb(0xffd040), 10, 70);
    const auto run2 = swf::TextRun::layout(font, font3, "IOV", 40, Rgb(0x40c0ff, 200), 10, 140);
    movie.place(1, movie.defineText({run1}, swf::Rect::pixels(0, 0, 320, 80)));
    movie.place(2, movie.defineText({run2}, swf::Rect::pixels(0, 80, 320, 160), {}, 2));
    // Text rotated and tinted as a whole.
    swf::Place p;
    p.depth = 3;
    p.character =
        movie.defineText({swf::TextRun::layout(font, font2, "OVO", 30, Rgb(0xffffff), 0, 0)},
                         swf::Rect::pixels(0, -30, 120, 0));
    p.matrix = swf::Matrix::transform(1, 1, -0.3, 190, 100);
    p.colorTransform = swf::ColorTransform::tint(1.0, 0.3, 0.3);
    movie.place(p);
    movie.showFrame();
    return movie;
}

swf::SwfWriter morphs() {
    swf::SwfWriter movie(330, 120, 12);
    movie.setBackground(Rgb(0xffffff));
    swf::MorphShape morph;
    morph.fills.push_back({swf::FillStyle::linear(swf::Matrix::gradientBox(80, 80, 0, 50, 50),
                                                  gradient({{0, 0xff0000}, {255, 0xffff00}})),
                           swf::FillStyle::linear(swf::Matrix::gradientBox(80, 80, 1.5, 50, 50),
                                                  gradient({{0, 0x0000ff}, {255, 0x00ffff}}))});
    morph.lines.push_back(
        {swf::LineStyle::solid(2, Rgb(0x000000)), swf::LineStyle::solid(8, Rgb(0x008000))});
    morph.start.fill0(1).line(1).moveTo(10, 10).lineTo(90, 10).lineTo(90, 90).lineTo(10, 90).lineTo(
        10, 10);
    // The same four edges, two of them bent.
    morph.end.moveTo(50, 5)
        .curveTo(95, 5, 95, 50)
        .lineTo(50, 95)
        .lineTo(5, 50)
        .curveTo(5, 5, 50, 5);
    const auto id = movie.defineMorphShape(morph, 2);
    for (int i = 0; i < 3; ++i) {
        swf::Place p;
        p.depth = static_cast<std::uint16_t>(i + 1);
        p.character = id;
        p.matrix = swf::Matrix::translate(10 + i * 110, 10);
        p.ratio = static_cast<std::uint16_t>(i * 32767);
        movie.place(p);
    }
    movie.showFrame();
    return movie;
}

swf::SwfWriter blends() {
    swf::SwfWriter movie(280, 140, 12);
    movie.setBackground(Rgb(0xffffff));
    swf::ShapeBuilder back;
    back.fill0(back.addFill(swf::FillStyle::linear(
                   swf::Matrix::gradientBox(280, 140, 0, 140, 70),
                   gradient({{0, 0x000000}, {128, 0x40a040}, {255, 0xffffff}}))))
        .rectangle(0, 0, 280, 140);
    movie.place(1, movie.defineShape(back));
    swf::ShapeBuilder dot;
    dot.fill0(dot.addFill(swf::FillStyle::solid(Rgb(0xff6020, 200)))).ellipse(0, 0, 22, 22);
    const auto dotId = movie.defineShape(dot);
    for (int mode = 1; mode <= 14; ++mode) {
        swf::Place p;
        p.depth = static_cast<std::uint16_t>(10 + mode);
        p.character = dotId;
        p.matrix = swf::Matrix::translate(30 + ((mode - 1) % 7) * 37, 40 + ((mode - 1) / 7) * 60);
        p.blendMode = static_cast<swf::BlendMode>(mode);
        movie.place(p);
    }
    movie.showFrame();
    return movie;
}

swf::SwfWriter filters() {
    swf::SwfWriter movie(320, 200, 12);
    movie.setBackground(Rgb(0xf0f0f0));
    swf::ShapeBuilder star;
    star.fill0(star.addFill(swf::FillStyle::solid(Rgb(0x3060e0))))
        .polygon({{0, -30},
                  {9, -9},
                  {30, -9},
                  {13, 5},
                  {20, 28},
                  {0, 14},
                  {-20, 28},
                  {-13, 5},
                  {-30, -9},
                  {-9, -9}});
    const auto id = movie.defineShape(star);
    swf::BlurFilter blur;
    blur.blurX = blur.blurY = 8;
    blur.passes = 2;
    swf::DropShadowFilter shadow;
    shadow.distance = 6;
    shadow.blurX = shadow.blurY = 6;
    shadow.color = Rgb(0x000000, 160);
    swf::GlowFilter glow;
    glow.color = Rgb(0xff2000);
    swf::ColorMatrixFilter gray;
    gray.matrix = {0.3f, 0.59f, 0.11f, 0, 0, 0.3f, 0.59f, 0.11f, 0, 0,
                   0.3f, 0.59f, 0.11f, 0, 0, 0,    0,     0,     1, 0};
    swf::BevelFilter bevel;
    bevel.distance = 3;
    bevel.strength = 2;
    swf::GradientGlowFilter gradientGlow;
    gradientGlow.stops = {
        {Rgb(0xffff00, 0), 0}, {Rgb(0xffff00, 255), 128}, {Rgb(0xff0000, 255), 255}};
    gradientGlow.distance = 0;
    gradientGlow.blurX = gradientGlow.blurY = 10;
    gradientGlow.strength = 2;
    swf::GradientGlowFilter gradientBevel = gradientGlow;
    gradientBevel.bevel = true;
    gradientBevel.distance = 3;
    gradientBevel.blurX = gradientBevel.blurY = 4;
    gradientBevel.inner = true;
    gradientBevel.stops = {
        {Rgb(0x000000, 255), 0}, {Rgb(0x808080, 0), 128}, {Rgb(0xffffff, 255), 255}};
    const std::vector<swf::Filter> list[] = {{blur},  {shadow},       {glow},         {gray},
                                             {bevel}, {gradientGlow}, {gradientBevel}};
    for (int i = 0; i < 7; ++i) {
        swf::Place p;
        p.depth = static_cast<std::uint16_t>(i + 1);
        p.character = id;
        p.matrix = swf::Matrix::translate(45 + (i % 4) * 77, 60 + (i / 4) * 80);
        p.filters = list[i];
        movie.place(p);
    }
    movie.showFrame();
    return movie;
}

// Motion, nested sprites and colour transforms half way through an animation.
swf::SwfWriter animation() {
    swf::SwfWriter movie(200, 200, 24);
    movie.setBackground(Rgb(0x102030));
    swf::ShapeBuilder petal;
    petal
        .fill0(petal.addFill(swf::FillStyle::radial(swf::Matrix::gradientBox(40, 40, 0, 0, -30),
                                                    gradient({{0, 0xffffff}, {255, 0xff40a0}}))))
        .ellipse(0, -30, 12, 30);
    const auto petalId = movie.defineShape(petal);
    swf::Sprite flower;
    for (int i = 0; i < 6; ++i) {
        flower.place(static_cast<std::uint16_t>(i + 1), petalId,
                     swf::Matrix::transform(1, 1, i * 1.0472));
    }
    flower.showFrame();
    const auto flowerId = movie.defineSprite(flower);
    swf::Sprite spinner;
    spinner.place(1, flowerId);
    for (int f = 0; f < 12; ++f) {
        spinner.move(1, swf::Matrix::transform(1, 1, f * 0.1));
        spinner.showFrame();
    }
    const auto spinnerId = movie.defineSprite(spinner);
    for (int f = 0; f < 20; ++f) {
        swf::Place p;
        p.depth = 1;
        if (f == 0) {
            p.character = spinnerId;
        } else {
            p.move = true;
        }
        p.matrix = swf::Matrix::transform(0.5 + f * 0.05, 0.5 + f * 0.05, 0, 40 + f * 6, 100);
        p.colorTransform = swf::ColorTransform::alpha(0.3 + f * 0.035);
        movie.place(p);
        movie.showFrame();
    }
    return movie;
}

std::filesystem::path goldenDir() {
    return std::filesystem::path(KINOVEX_SOURCE_DIR) / "tests/golden";
}

cairo_surface_t* surfaceOf(const Frame& f) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, f.width, f.height);
    auto* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < f.height; ++y) {
        std::copy_n(
            f.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(f.width),
            f.width,
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride));
    }
    cairo_surface_mark_dirty(s);
    return s;
}

void PrintTo(const Scene& scene, std::ostream* out) {
    *out << scene.name;
}

class Golden : public ::testing::TestWithParam<Scene> {};

TEST_P(Golden, MatchesTheReviewedReference) {
    const Scene& scene = GetParam();
    const swf::SwfWriter movie = scene.make();
    // KINOVEX_GOLDEN_MOVIES=DIR keeps the scene's movie, to look at it in other players.
    if (const char* keep = std::getenv("KINOVEX_GOLDEN_MOVIES"); keep != nullptr && *keep != 0) {
        movie.save(std::filesystem::path(keep) / (std::string(scene.name) + ".swf"));
    }
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    for (int i = 1; i < scene.frames; ++i) {
        player.nextFrame();
    }
    const Frame actual = render(player);
    EXPECT_TRUE(player.diagnostics().empty()) << player.diagnostics().front().text();
    const std::filesystem::path reference = goldenDir() / (std::string(scene.name) + ".png");
    cairo_surface_t* actualSurface = surfaceOf(actual);
    const char* update = std::getenv("KINOVEX_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        ASSERT_EQ(cairo_surface_write_to_png(actualSurface, reference.c_str()),
                  CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(actualSurface);
        GTEST_SKIP() << "reference written: " << reference;
    }
    cairo_surface_t* expected = cairo_image_surface_create_from_png(reference.c_str());
    ASSERT_EQ(cairo_surface_status(expected), CAIRO_STATUS_SUCCESS) << "no reference " << reference;
    ASSERT_EQ(cairo_image_surface_get_width(expected), actual.width);
    ASSERT_EQ(cairo_image_surface_get_height(expected), actual.height);
    const auto* data = cairo_image_surface_get_data(expected);
    const int stride = cairo_image_surface_get_stride(expected);
    Frame diff = actual;
    std::size_t differing = 0;
    for (int y = 0; y < actual.height; ++y) {
        for (int x = 0; x < actual.width; ++x) {
            const std::uint32_t want = reinterpret_cast<const std::uint32_t*>(
                                           data + static_cast<std::ptrdiff_t>(y) * stride)[x] |
                                       0xff000000u;
            const std::uint32_t got = actual.at(x, y);
            const bool same = near(want, got, kChannelTolerance);
            differing += same ? 0 : 1;
            diff.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(actual.width) +
                        static_cast<std::size_t>(x)] =
                same ? 0xff000000u | ((got >> 2) & 0x3f3f3fu) : 0xffff00ffu;
        }
    }
    const double share = static_cast<double>(differing) / static_cast<double>(actual.pixels.size());
    if (share > kMaxDifferingShare) {
        const std::filesystem::path out =
            std::filesystem::read_symlink("/proc/self/exe").parent_path() / "golden-failures";
        std::filesystem::create_directories(out);
        cairo_surface_write_to_png(actualSurface,
                                   (out / (std::string(scene.name) + "-actual.png")).c_str());
        cairo_surface_t* diffSurface = surfaceOf(diff);
        cairo_surface_write_to_png(diffSurface,
                                   (out / (std::string(scene.name) + "-diff.png")).c_str());
        cairo_surface_destroy(diffSurface);
        ADD_FAILURE() << scene.name << ": " << differing << " pixels differ (" << share * 100
                      << "%); actual and difference saved in " << out;
    }
    cairo_surface_destroy(expected);
    cairo_surface_destroy(actualSurface);
}

INSTANTIATE_TEST_SUITE_P(Scenes, Golden,
                         ::testing::Values(Scene{"gradients", gradients}, Scene{"strokes", strokes},
                                           Scene{"bitmaps", bitmaps}, Scene{"masks", masks},
                                           Scene{"text", text}, Scene{"morphs", morphs},
                                           Scene{"blends", blends}, Scene{"filters", filters},
                                           Scene{"animation", animation, 14}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace kinovex::flash::test
