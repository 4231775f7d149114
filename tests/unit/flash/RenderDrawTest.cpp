// The renderer's own painting: gradients painted straight into the frame against cairo's,
// line caps, and the convolution filter (pixel values, and a frame against a reviewed
// reference picture in tests/golden/; KINOVEX_UPDATE_GOLDEN=1 writes the references).

#include "FlashTestUtil.h"
#include "engine/render/Compositor.h"
#include "engine/render/CoverageBlur.h"
#include "engine/render/Filters.h"
#include "engine/render/Renderer.h"

#include <algorithm>
#include <array>
#include <cairo.h>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

namespace kinovex::flash::test {
namespace {

using swf::Rgb;

// ---- gradients painted directly match cairo's -------------------------------------------

struct GradientCase {
    FillStyle::Type type;
    SpreadMode spread;
    double focal;
};

class RenderDirectGradient : public ::testing::TestWithParam<GradientCase> {};

TEST_P(RenderDirectGradient, MatchesCairosPattern) {
    const GradientCase& gc = GetParam();
    FillStyle fill;
    fill.type = gc.type;
    fill.gradient.spread = gc.spread;
    fill.gradient.focalPoint = gc.focal;
    fill.gradient.stops = {
        {0, Rgba{255, 0, 0, 255}}, {90, Rgba{0, 200, 40, 160}}, {255, Rgba{20, 40, 250, 255}}};
    const GradientRamp ramp = makeRamp(fill, ColorTransform{});
    constexpr int kSize = 64;
    // The unit square spans 20 pixels around (32, 32), turned a little.
    const double angle = 0.4;
    const double scale = 20.0;
    cairo_matrix_t toDevice;
    cairo_matrix_init(&toDevice, scale * std::cos(angle), scale * std::sin(angle),
                      -scale * std::sin(angle), scale * std::cos(angle), 32, 32);
    cairo_matrix_t toUnit = toDevice;
    ASSERT_EQ(cairo_matrix_invert(&toUnit), CAIRO_STATUS_SUCCESS);

    // Cairo's own drawing of the same gradient.
    cairo_pattern_t* p = gc.type == FillStyle::Type::Linear
                             ? cairo_pattern_create_linear(-1, 0, 1, 0)
                             : cairo_pattern_create_radial(
                                   gc.type == FillStyle::Type::Focal ? gc.focal : 0, 0, 0, 0, 0, 1);
    for (const RampStop& s : gradientStops(fill.gradient, ColorTransform{})) {
        cairo_pattern_add_color_stop_rgba(p, s.offset, s.color.r / 255.0, s.color.g / 255.0,
                                          s.color.b / 255.0, s.color.a / 255.0);
    }
    cairo_pattern_set_extend(p, gc.spread == SpreadMode::Pad       ? CAIRO_EXTEND_PAD
                                : gc.spread == SpreadMode::Reflect ? CAIRO_EXTEND_REFLECT
                                                                   : CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_matrix(p, &toUnit);
    cairo_surface_t* expected = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);
    cairo_t* cr = cairo_create(expected);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_pattern_destroy(p);
    cairo_surface_flush(expected);

    std::vector<std::uint32_t> actual(kSize * kSize, 0xffffffffu);
    std::vector<std::uint8_t> coverage(kSize * kSize, 255);
    Paint paint;
    paint.ramp = &ramp;
    paint.a = toUnit.xx;
    paint.b = toUnit.yx;
    paint.c = toUnit.xy;
    paint.d = toUnit.yy;
    paint.tx = toUnit.x0;
    paint.ty = toUnit.y0;
    compositeOver(CoverageTarget{actual.data(), kSize, coverage.data(), kSize, 0, 0, kSize, kSize},
                  paint);

    const auto* want =
        reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(expected));
    const int stride = cairo_image_surface_get_stride(expected) / 4;
    int differing = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            // Repeat and reflect jump from one end of the ramp to the other within a pixel;
            // only the colours count, not where exactly the jump falls.
            differing +=
                near(want[y * stride + x], actual[static_cast<std::size_t>(y * kSize + x)], 3) ? 0
                                                                                               : 1;
        }
    }
    cairo_surface_destroy(expected);
    EXPECT_LE(differing, kSize * kSize / 100);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RenderDirectGradient,
    ::testing::Values(GradientCase{FillStyle::Type::Linear, SpreadMode::Pad, 0},
                      GradientCase{FillStyle::Type::Linear, SpreadMode::Reflect, 0},
                      GradientCase{FillStyle::Type::Linear, SpreadMode::Repeat, 0},
                      GradientCase{FillStyle::Type::Radial, SpreadMode::Pad, 0},
                      GradientCase{FillStyle::Type::Radial, SpreadMode::Repeat, 0},
                      GradientCase{FillStyle::Type::Focal, SpreadMode::Pad, 0.7},
                      GradientCase{FillStyle::Type::Focal, SpreadMode::Reflect, -0.5}));

TEST(RenderDirectGradient, PartialCoverageBlendsAsCairoDoes) {
    // Half-covered pixels of a half-transparent colour over an opaque one.
    std::vector<std::uint32_t> pixels(4, 0xff204080u);
    const std::vector<std::uint8_t> coverage = {0, 128, 255, 64};
    Paint paint;
    paint.solid = 0x80400000u; // red at half alpha, premultiplied
    compositeOver(CoverageTarget{pixels.data(), 4, coverage.data(), 4, 0, 0, 4, 1}, paint);
    EXPECT_EQ(pixels[0], 0xff204080u);
    // dst * (1 - 0.25) + src * 0.5
    EXPECT_TRUE(near(pixels[1], 0xff383060u, 1)) << std::hex << pixels[1];
    EXPECT_TRUE(near(pixels[2], 0xff502040u, 1)) << std::hex << pixels[2];
}

// ---- line caps ------------------------------------------------------------------------

// A thick horizontal line from x 40 to 120 at y 30 with the given caps, drawn in black on white.
Frame drawLine(swf::Cap start, swf::Cap end) {
    swf::SwfWriter movie(160, 60, 12);
    movie.setBackground(Rgb(0xffffff));
    swf::ShapeBuilder s;
    swf::LineStyle line = swf::LineStyle::solid(20, Rgb(0x000000));
    line.startCap = start;
    line.endCap = end;
    s.line(s.addLine(line)).moveTo(40, 30).lineTo(120, 30);
    movie.place(1, movie.defineShape(s, 4));
    movie.showFrame();
    Player player;
    EXPECT_TRUE(load(player, movie).ok);
    return render(player);
}

bool inked(const Frame& f, int x, int y) {
    return rgb(f.at(x, y)) < 0x404040u;
}

TEST(RenderLineCaps, EachEndHasItsOwnCap) {
    // Round reaches 10 pixels out along the line but not at the corners; square fills the
    // corners; none stops at the end point.
    const Frame roundNone = drawLine(swf::Cap::Round, swf::Cap::None);
    EXPECT_TRUE(inked(roundNone, 33, 30));
    EXPECT_FALSE(inked(roundNone, 32, 22)); // a round cap leaves the corner
    EXPECT_FALSE(inked(roundNone, 124, 30));
    EXPECT_TRUE(inked(roundNone, 118, 30));

    const Frame noneSquare = drawLine(swf::Cap::None, swf::Cap::Square);
    EXPECT_FALSE(inked(noneSquare, 35, 30));
    EXPECT_TRUE(inked(noneSquare, 127, 22));
    EXPECT_TRUE(inked(noneSquare, 127, 38));
    EXPECT_FALSE(inked(noneSquare, 133, 30));

    const Frame squareRound = drawLine(swf::Cap::Square, swf::Cap::Round);
    EXPECT_TRUE(inked(squareRound, 32, 22));
    EXPECT_TRUE(inked(squareRound, 127, 30));
    EXPECT_FALSE(inked(squareRound, 128, 22));

    // The same caps at both ends: the line's length is unchanged by the split drawing.
    const Frame both = drawLine(swf::Cap::None, swf::Cap::None);
    EXPECT_FALSE(inked(both, 37, 30));
    EXPECT_TRUE(inked(both, 41, 30));
    EXPECT_TRUE(inked(both, 119, 30));
    EXPECT_FALSE(inked(both, 123, 30));
}

// ---- fills that meet ------------------------------------------------------------------

TEST(RenderSeams, FillsSharingAnEdgeLeaveNoLineOfBackground) {
    // Two dark fills of one shape meet along an edge that falls inside pixels (x = 30.5, and
    // a slanted one once the shape is turned); the white background must not show there.
    swf::SwfWriter movie(120, 100, 12);
    movie.setBackground(Rgb(0xffffff));
    swf::ShapeBuilder s;
    const auto left = s.addFill(swf::FillStyle::solid(Rgb(0x000000)));
    const auto right = s.addFill(swf::FillStyle::solid(Rgb(0x101010)));
    // One outline per fill, as drawing tools write them: the shared edge is in both.
    s.fill1(left).moveTo(10, 10).lineTo(30.5, 10).lineTo(30.5, 90).lineTo(10, 90).lineTo(10, 10);
    s.fill1(0).fill0(right).moveTo(30.5, 10).lineTo(30.5, 90).lineTo(50, 90).lineTo(50, 10).lineTo(
        30.5, 10);
    const auto id = movie.defineShape(s, 3);
    movie.place(1, id);
    swf::Place turned;
    turned.depth = 2;
    turned.character = id;
    turned.matrix = swf::Matrix::transform(1, 1, 0.3, 55, -5);
    movie.place(turned);
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    const Frame f = render(player);
    for (int y = 15; y < 85; ++y) {
        EXPECT_LT(rgb(f.at(30, y)) & 0xff, 0x20u) << "straight edge at y " << y;
    }
    // Along the turned shape's shared edge: every pixel between its outer edges is dark.
    int light = 0;
    for (int y = 20; y < 80; ++y) {
        for (int x = 0; x < f.width; ++x) {
            // Inside the turned shape, at least two pixels from its outline.
            const double ux = (x + 0.5 - 55) * std::cos(0.3) + (y + 0.5 + 5) * std::sin(0.3);
            const double uy = -(x + 0.5 - 55) * std::sin(0.3) + (y + 0.5 + 5) * std::cos(0.3);
            if (ux > 12 && ux < 48 && uy > 12 && uy < 88 && (rgb(f.at(x, y)) & 0xff) >= 0x20) {
                ++light;
            }
        }
    }
    EXPECT_EQ(light, 0);
}

TEST(RenderSeams, OverlappingFillsOfOneLayerStackInOrder) {
    // Some tools write shapes whose fills overlap: the later fill is on top, half-transparent
    // ones blend over what is below, and nothing is added up into a third colour.
    swf::SwfWriter movie(100, 60, 12);
    movie.setBackground(Rgb(0xffffff));
    swf::ShapeBuilder s;
    s.fill0(s.addFill(swf::FillStyle::solid(Rgb(0xff0000)))).rectangle(10, 10, 40, 40);
    s.fill0(s.addFill(swf::FillStyle::solid(Rgb(0x0000ff)))).rectangle(30, 10, 40, 40);
    movie.place(1, movie.defineShape(s));
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    const Frame f = render(player);
    EXPECT_EQ(rgb(f.at(20, 30)), 0xff0000u);
    EXPECT_EQ(rgb(f.at(40, 30)), 0x0000ffu);
    EXPECT_EQ(rgb(f.at(60, 30)), 0x0000ffu);
}

// ---- convolution ----------------------------------------------------------------------

struct Picture {
    cairo_surface_t* surface;
    explicit Picture(int w, int h, std::uint32_t fill)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                set(x, y, fill);
            }
        }
    }
    ~Picture() { cairo_surface_destroy(surface); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    std::uint32_t* row(int y) const {
        return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                                y * cairo_image_surface_get_stride(surface));
    }
    std::uint32_t at(int x, int y) const { return row(y)[x]; }
    void set(int x, int y, std::uint32_t v) { row(y)[x] = v; }
};

Filter convolution(int cols, int rows, std::vector<float> kernel, float divisor = 1) {
    Filter f;
    f.type = Filter::Type::Convolution;
    f.matrixX = cols;
    f.matrixY = rows;
    f.matrix = std::move(kernel);
    f.divisor = divisor;
    f.clamp = true;
    f.preserveAlpha = true;
    return f;
}

TEST(RenderConvolution, WeighsNeighboursDividesAndAddsTheBias) {
    Picture pic(5, 5, 0xff000000u);
    pic.set(2, 2, 0xffffffffu);
    Filter box = convolution(3, 3, {1, 1, 1, 1, 1, 1, 1, 1, 1}, 9);
    applyFilter(pic.surface, box, 1.0);
    EXPECT_TRUE(near(pic.at(1, 1), 0xff1c1c1cu, 1)) << std::hex << pic.at(1, 1);
    EXPECT_TRUE(near(pic.at(2, 2), 0xff1c1c1cu, 1));
    EXPECT_EQ(pic.at(0, 0), 0xff000000u);

    Picture biased(3, 3, 0xff102030u);
    Filter shift = convolution(1, 1, {1});
    shift.bias = 100;
    applyFilter(biased.surface, shift, 1.0);
    EXPECT_TRUE(near(biased.at(1, 1), 0xff748494u, 1)) << std::hex << biased.at(1, 1);

    // Kernel positions: the first column weighs the pixel to the left.
    Picture edge(3, 1, 0xff000000u);
    edge.set(0, 0, 0xffc80000u);
    applyFilter(edge.surface, convolution(3, 1, {1, 0, 0}), 1.0);
    EXPECT_EQ(edge.at(1, 0), 0xffc80000u);
    EXPECT_EQ(edge.at(2, 0), 0xff000000u);
}

TEST(RenderConvolution, EdgesRepeatOrTakeTheFilterColour) {
    // Only the pixel to the left counts: at the left edge that is the edge itself (clamp) or
    // the filter's colour.
    Filter left = convolution(3, 1, {1, 0, 0});
    Picture clamped(2, 1, 0xff00ff00u);
    applyFilter(clamped.surface, left, 1.0);
    EXPECT_EQ(clamped.at(0, 0), 0xff00ff00u);

    left.clamp = false;
    left.color = Rgba{255, 0, 0, 255};
    Picture coloured(2, 1, 0xff00ff00u);
    applyFilter(coloured.surface, left, 1.0);
    EXPECT_EQ(coloured.at(0, 0), 0xffff0000u);
    EXPECT_EQ(coloured.at(1, 0), 0xff00ff00u);

    // With the alpha convolved too, a transparent filter colour fades the edge.
    left.color = Rgba{0, 0, 0, 0};
    left.preserveAlpha = false;
    Filter half = left;
    half.matrix = {1, 1, 0};
    half.divisor = 2;
    Picture faded(2, 1, 0xff00ff00u);
    applyFilter(faded.surface, half, 1.0);
    EXPECT_EQ(faded.at(0, 0) >> 24, 0x80u);
    EXPECT_EQ(faded.at(1, 0), 0xff00ff00u);
}

TEST(RenderConvolution, DamagedParametersLeaveThePictureUsable) {
    Picture pic(4, 4, 0xff336699u);
    // A divisor of 0 counts as 1: the identity kernel changes nothing.
    applyFilter(pic.surface, convolution(3, 3, {0, 0, 0, 0, 1, 0, 0, 0, 0}, 0), 1.0);
    EXPECT_EQ(pic.at(2, 2), 0xff336699u);
    // Too few weights, or a kernel beyond 15 x 15: nothing happens.
    applyFilter(pic.surface, convolution(3, 3, {1, 1}), 1.0);
    Filter huge = convolution(200, 200, std::vector<float>(200 * 200, 1.0f));
    applyFilter(pic.surface, huge, 1.0);
    EXPECT_EQ(pic.at(2, 2), 0xff336699u);
    // Results beyond a channel's range stay valid premultiplied pixels.
    applyFilter(pic.surface, convolution(1, 1, {40}), 1.0);
    const std::uint32_t p = pic.at(1, 1);
    EXPECT_EQ(p, 0xffffffffu) << std::hex << p;
}

// ---- blur and the area a filter works on -----------------------------------------------

// A box blur done the plain way: each value the mean of the 2r+1 around it, transparent beyond
// the edges, rows then columns, `passes` times.
std::vector<std::uint32_t> plainBoxBlur(std::vector<std::uint32_t> px, int w, int h, int rx, int ry,
                                        int passes) {
    auto blur = [&](int count, auto get, auto put, int r) {
        std::vector<std::uint32_t> line(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            line[static_cast<std::size_t>(i)] = get(i);
        }
        for (int i = 0; i < count; ++i) {
            std::uint32_t out = 0;
            for (int c = 0; c < 32; c += 8) {
                std::uint32_t sum = 0;
                for (int k = i - r; k <= i + r; ++k) {
                    sum += k < 0 || k >= count ? 0 : (line[static_cast<std::size_t>(k)] >> c) & 255;
                }
                out |= sum / static_cast<std::uint32_t>(2 * r + 1) << c;
            }
            put(i, out);
        }
    };
    auto at = [&](int x, int y) -> std::uint32_t& {
        return px[static_cast<std::size_t>(y * w + x)];
    };
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; rx > 0 && y < h; ++y) {
            blur(
                w, [&](int x) { return at(x, y); }, [&](int x, std::uint32_t v) { at(x, y) = v; },
                rx);
        }
        for (int x = 0; ry > 0 && x < w; ++x) {
            blur(
                h, [&](int y) { return at(x, y); }, [&](int y, std::uint32_t v) { at(x, y) = v; },
                ry);
        }
    }
    return px;
}

TEST(RenderBlur, RunningSumsGiveThePlainBoxMeansOverPixelsAndCoverage) {
    struct Case {
        int w, h, rx, ry, passes;
    };
    for (const Case c : {Case{17, 9, 1, 3, 1}, Case{40, 33, 6, 0, 2}, Case{5, 30, 0, 9, 3},
                         Case{64, 48, 40, 40, 3}, Case{3, 3, 255, 255, 1}}) {
        std::vector<std::uint32_t> px(static_cast<std::size_t>(c.w * c.h));
        std::uint32_t seed = 12345;
        for (auto& p : px) {
            seed = seed * 1103515245u + 12345u;
            const std::uint32_t a = (seed >> 24) & 255;
            p = a << 24 | std::min(a, (seed >> 16) & 255) << 16 |
                std::min(a, (seed >> 8) & 255) << 8 | std::min(a, seed & 255);
        }
        // The coverage blur works on one byte a pixel: the alpha channel alone.
        std::vector<std::uint8_t> plane(px.size());
        std::transform(px.begin(), px.end(), plane.begin(),
                       [](std::uint32_t p) { return static_cast<std::uint8_t>(p >> 24); });
        const auto expected = plainBoxBlur(px, c.w, c.h, c.rx, c.ry, c.passes);
        boxBlur(px.data(), c.w, c.h, c.w, c.rx, c.ry, c.passes);
        EXPECT_EQ(px, expected) << c.w << "x" << c.h << " r " << c.rx << "," << c.ry;
        coverageBlur(plane.data(), c.w, c.h, c.rx, c.ry, c.passes);
        for (std::size_t i = 0; i < plane.size(); ++i) {
            ASSERT_EQ(plane[i], expected[i] >> 24) << c.w << "x" << c.h << " at " << i;
        }
    }
}

// A drop shadow composed in real numbers: `cover` is the shadow's coverage at the pixel (0..1),
// `src` the object's premultiplied pixel there; the result's channels in 0..1 (A, R, G, B).
std::array<double, 4> plainShadow(std::uint32_t src, double cover, const Filter& f) {
    auto ch = [src](int shift) { return ((src >> shift) & 255u) / 255.0; };
    const double srcA = ch(24);
    double sa = std::min(1.0, cover * f.strength) * f.color.a / 255.0;
    const std::array<double, 3> color = {f.color.r / 255.0, f.color.g / 255.0, f.color.b / 255.0};
    std::array<double, 4> out{};
    if (f.knockout) {
        const double keep = f.inner ? srcA : 1.0 - srcA;
        out[0] = sa * keep;
        for (int c = 0; c < 3; ++c) {
            out[static_cast<std::size_t>(c + 1)] = color[static_cast<std::size_t>(c)] * out[0];
        }
        return out;
    }
    if (f.inner) {
        sa *= srcA;
    }
    const double under = f.inner ? 1.0 - sa : 1.0 - srcA; // what shows of the lower one
    const bool alone = !f.inner && !f.compositeSource;
    out[0] = f.inner ? srcA : alone ? sa : srcA + sa * under;
    for (int c = 0; c < 3; ++c) {
        const double shadow = color[static_cast<std::size_t>(c)] * sa;
        const double object = ch(16 - 8 * c);
        const double v = alone     ? shadow
                         : f.inner ? shadow + object * under
                                   : object + shadow * under;
        out[static_cast<std::size_t>(c + 1)] = std::min(v, out[0]);
    }
    return out;
}

// Drop shadows in each of their modes, unblurred (the shadow is the object's coverage moved),
// over an object of many alphas: the result is the composition in real numbers, within the
// roundings of 8-bit channels.
TEST(RenderShadow, EachModeComposesAsInRealNumbers) {
    struct Mode {
        bool inner, knockout, compositeSource;
    };
    for (const Mode m :
         {Mode{false, false, true}, Mode{false, false, false}, Mode{true, false, true},
          Mode{false, true, true}, Mode{true, true, true}}) {
        Filter f;
        f.type = Filter::Type::DropShadow;
        f.blurX = f.blurY = 0;
        f.distance = 3;
        f.angle = 0;
        f.strength = 0.8;
        f.inner = m.inner;
        f.knockout = m.knockout;
        f.compositeSource = m.compositeSource;
        f.color = Rgba{200, 40, 90, 180};
        constexpr int kW = 28;
        constexpr int kH = 8;
        auto object = [](int x, int y) -> std::uint32_t {
            if (x < 4 || x >= 22 || y < 2 || y >= 6) {
                return 0;
            }
            const std::uint32_t a = 40 + 12 * static_cast<std::uint32_t>(x - 4);
            return a << 24 | (a * 3 / 4) << 16 | (a / 3) << 8 | a / 2;
        };
        Picture pic(kW, kH, 0);
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                pic.set(x, y, object(x, y));
            }
        }
        applyFilter(pic.surface, f, 1.0);
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const double moved = (object(x - 3, y) >> 24) / 255.0;
                const auto want = plainShadow(object(x, y), m.inner ? 1.0 - moved : moved, f);
                for (int c = 0; c < 4; ++c) {
                    const double got = ((pic.at(x, y) >> (24 - 8 * c)) & 255u) / 255.0;
                    ASSERT_NEAR(got, want[static_cast<std::size_t>(c)], 2.5 / 255.0)
                        << "inner " << m.inner << " knockout " << m.knockout << " composite "
                        << m.compositeSource << " at " << x << "," << y << " channel " << c;
                }
            }
        }
    }
}

// Filters whose result stays near the object work only on the object and the margin around it.
// Their result there must be what working on the whole surface gives: a far corner pixel makes
// the object's area the whole surface, and the pixels around the object must not change.
TEST(RenderFilterArea, WorkingNearTheObjectGivesWhatTheWholeSurfaceGives) {
    std::vector<Filter> filters;
    auto add = [&](Filter::Type type, double blur, int passes, double distance, bool inner,
                   bool knockout) {
        Filter f;
        f.type = type;
        f.blurX = blur;
        f.blurY = blur * 0.5;
        f.passes = passes;
        f.distance = distance;
        f.angle = 0.9;
        f.strength = 1.5;
        f.inner = inner;
        f.knockout = knockout;
        f.color = Rgba{20, 40, 200, 200};
        f.highlight = Rgba{250, 250, 200, 255};
        f.gradient = {{0, Rgba{255, 0, 0, 0}}, {255, Rgba{0, 0, 255, 255}}};
        filters.push_back(f);
    };
    add(Filter::Type::Blur, 9, 3, 0, false, false);
    add(Filter::Type::DropShadow, 6, 2, 7, false, false);
    add(Filter::Type::DropShadow, 6, 1, 5, true, false);
    add(Filter::Type::Glow, 12, 3, 0, false, true);
    add(Filter::Type::Bevel, 5, 2, 4, true, false);
    add(Filter::Type::GradientGlow, 8, 2, 3, false, false);
    constexpr int kSize = 120;
    for (const Filter& f : filters) {
        Picture alone(kSize, kSize, 0);
        Picture spread(kSize, kSize, 0);
        for (Picture* pic : {&alone, &spread}) {
            for (int y = 50; y < 70; ++y) {
                for (int x = 45; x < 60 + (y - 50); ++x) {
                    pic->set(x, y, 0xff806040u);
                }
            }
        }
        spread.set(kSize - 1, kSize - 1, 0x01000000u);
        applyFilter(alone.surface, f, 1.0);
        applyFilter(spread.surface, f, 1.0);
        int differing = 0;
        for (int y = 0; y < kSize - 2; ++y) {
            for (int x = 0; x < kSize - 2; ++x) {
                differing += alone.at(x, y) != spread.at(x, y);
            }
        }
        EXPECT_EQ(differing, 0) << "filter type " << static_cast<int>(f.type);
    }
}

// A clip with a drop shadow whose content moves inside it, then stands still while the clip
// moves by whole and by part pixels, then changes colour; beside it a glowing bar that the
// stage's left edge cuts stands still, then moves. Every frame drawn by a player that kept
// the filtered pictures from frame to frame must be what a player drawing that frame first
// shows; a filtered picture stands on whole pixels, so the move by part of a pixel (23 to
// 23.4) leaves the frame as it was.
TEST(RenderFilteredKept, AKeptPictureIsLaidOnlyWhileNothingInsideChanged) {
    swf::SwfWriter movie(120, 90, 12);
    movie.setBackground(Rgb(0xffffff));
    const auto square = defineRect(movie, 0, 0, 16, 12, 0x2060c0);
    swf::Sprite clip;
    for (int f = 0; f < 6; ++f) {
        const auto m = swf::Matrix::translate(std::min(f, 3) * 5.0, 0);
        if (f == 0) {
            clip.place(1, square, m);
        } else {
            clip.move(1, m);
        }
        clip.showFrame();
    }
    const auto clipId = movie.defineSprite(clip);
    swf::Sprite barClip;
    barClip.place(1, defineRect(movie, 0, 0, 30, 8, 0xc04020));
    barClip.showFrame();
    const auto barId = movie.defineSprite(barClip);
    const double xs[] = {20, 20, 20, 20, 23, 23.4, 23.4, 40};
    for (int f = 0; f < 8; ++f) {
        swf::Place bar;
        bar.depth = 2;
        bar.matrix = swf::Matrix::translate(f < 7 ? -12 : -9, 70);
        if (f == 0) {
            bar.character = barId;
            bar.filters = std::vector<swf::Filter>{swf::GlowFilter{}};
        } else {
            bar.move = true;
        }
        movie.place(bar);
        swf::Place p;
        p.depth = 1;
        p.matrix = swf::Matrix::translate(xs[f], 30);
        if (f == 0) {
            p.character = clipId;
            p.filters = std::vector<swf::Filter>{swf::DropShadowFilter{}};
        } else {
            p.move = true;
        }
        if (f == 6) {
            p.colorTransform = swf::ColorTransform::alpha(0.5);
        }
        movie.place(p);
        movie.showFrame();
    }
    Player kept;
    ASSERT_TRUE(load(kept, movie).ok);
    std::vector<Frame> frames;
    for (int f = 0; f < 8; ++f) {
        frames.push_back(render(kept));
        Player fresh;
        ASSERT_TRUE(load(fresh, movie).ok);
        for (int k = 0; k < f; ++k) {
            fresh.nextFrame();
        }
        EXPECT_EQ(frames.back().pixels, render(fresh).pixels) << "frame " << f + 1;
        kept.nextFrame();
    }
    EXPECT_EQ(frames[4].pixels, frames[5].pixels);
    EXPECT_NE(frames[3].pixels, frames[4].pixels);
}

// A shape and a static text each held for frames, moved by whole pixels, then turned, beside a
// bitmap tinted one way, then another: a player that keeps them from frame to frame must show
// every frame as a player drawing that frame first shows it, but for the rounding of going
// through a bitmap (one step in a channel).
TEST(RenderKeptBitmaps, ShapesTextAndTintsLookAsDrawnAnew) {
    swf::SwfWriter movie(160, 120, 12);
    movie.setBackground(Rgb(0xf0e0d0));
    swf::ShapeBuilder shape;
    swf::Gradient g;
    g.stops = {{0, Rgb(0xff0000, 200)}, {255, Rgb(0x0000ff, 255)}};
    shape
        .fill0(
            shape.addFill(swf::FillStyle::linear(swf::Matrix::gradientBox(30, 20, 0.4, 0, 0), g)))
        .line(shape.addLine(swf::LineStyle::solid(2, Rgb(0x102030))))
        .polygon({{-15, -8}, {2, -14}, {15, 9}, {-9, 12}});
    const auto shapeId = movie.defineShape(shape, 3);
    swf::Font font;
    swf::Glyph v;
    v.code = 'V';
    v.shape.fill0(1);
    v.shape.moveToTwips(0, -700)
        .lineToTwips(310, 0)
        .lineToTwips(590, -700)
        .lineToTwips(430, -700)
        .lineToTwips(300, -290)
        .lineToTwips(170, -700)
        .lineToTwips(0, -700);
    v.advance = 650;
    font.glyphs.push_back(v);
    const auto fontId = movie.defineFont(font, 2);
    const auto textId =
        movie.defineText({swf::TextRun::layout(font, fontId, "VVV", 23, Rgb(0x203080, 220), 0, 0)},
                         swf::Rect::pixels(0, -20, 60, 0));
    const auto bitmapId = movie.defineBitsLossless(swf::Image::rainbow(24, 16, true),
                                                   swf::LosslessFormat::Rgb24, true);
    // A tint, then a fade: a new transform each frame, whose tint may take the last one's image.
    const auto tint = [](int f) {
        return f < 4 ? swf::ColorTransform::tint(0.8, 0.2, 0.9)
                     : swf::ColorTransform::alpha(0.6 - 0.2 * (f - 4));
    };
    const swf::Matrix placements[] = {swf::Matrix::translate(30.35, 40.6),
                                      swf::Matrix::translate(30.35, 40.6),
                                      swf::Matrix::translate(35.35, 43.6),
                                      swf::Matrix::translate(35.35, 43.6),
                                      swf::Matrix::transform(1.1, 0.9, 0.35, 36.2, 44.85),
                                      swf::Matrix::transform(1.1, 0.9, 0.35, 36.2, 44.85)};
    for (std::size_t f = 0; f < std::size(placements); ++f) {
        for (std::uint16_t depth : {1, 2, 3}) {
            swf::Place p;
            p.depth = depth;
            swf::Matrix m = placements[f];
            m.tx += (depth - 1) * 800; // each 40 pixels right of the one before, 30 down
            m.ty += (depth - 1) * 600;
            p.matrix = m;
            if (depth == 3) {
                p.colorTransform = tint(static_cast<int>(f));
            }
            if (f == 0) {
                p.character = depth == 1 ? shapeId : depth == 2 ? textId : bitmapId;
            } else {
                p.move = true;
            }
            movie.place(p);
        }
        movie.showFrame();
    }
    Player kept;
    ASSERT_TRUE(load(kept, movie).ok);
    for (std::size_t f = 0; f < std::size(placements); ++f) {
        const Frame seen = render(kept);
        Player fresh;
        ASSERT_TRUE(load(fresh, movie).ok);
        for (std::size_t k = 0; k < f; ++k) {
            fresh.nextFrame();
        }
        const Frame anew = render(fresh);
        int off = 0;
        for (std::size_t i = 0; i < seen.pixels.size(); ++i) {
            off += !near(seen.pixels[i], anew.pixels[i], 1);
        }
        EXPECT_EQ(off, 0) << "frame " << f + 1;
        kept.nextFrame();
    }
}

// Every premultiplied pixel (each alpha with each channel value it can carry) through a colour
// transform with multipliers and offsets comes out as the transform of its straight colour,
// premultiplied again.
TEST(RenderTint, EachPixelIsTheTransformOfItsStraightColour) {
    // Every kind of transform, and fades as the file format writes them (multiples of 1/256,
    // which opaque pixels take four at a time), over every premultiplied pixel of a row per
    // alpha.
    ColorTransform any;
    any.rMult = 0.7;
    any.gMult = 1.6;
    any.bMult = -0.4;
    any.aMult = 0.9;
    any.rAdd = 20;
    any.gAdd = -35;
    any.bAdd = 200;
    any.aAdd = 12;
    ColorTransform fade;
    fade.rMult = 251 / 256.0;
    fade.gMult = 128 / 256.0;
    fade.bMult = 0;
    ColorTransform fadeOut;
    fadeOut.aMult = 77 / 256.0;
    ColorTransform both = fade;
    both.aMult = 200 / 256.0;
    ColorTransform brighter = fade;
    brighter.rMult = 1.25;
    Picture pic(256, 256, 0);
    for (int a = 0; a < 256; ++a) {
        for (int c = 0; c <= a; ++c) {
            const auto v = static_cast<std::uint32_t>(c);
            pic.set(c, a, static_cast<std::uint32_t>(a) << 24 | v << 16 | (a - c) << 8 | v / 2);
        }
    }
    for (const ColorTransform& cx : {any, fade, fadeOut, both, brighter}) {
        SCOPED_TRACE(testing::Message() << cx.rMult << " " << cx.aMult);
        cairo_surface_t* tinted = transformedSurface(pic.surface, cx);
        const auto* out =
            reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(tinted));
        const int stride = cairo_image_surface_get_stride(tinted) / 4;
        int wrong = 0;
        for (int a = 0; a < 256; ++a) {
            for (int c = 0; c <= a; ++c) {
                const std::uint32_t p = pic.at(c, a);
                auto straight = [&](int shift) {
                    return static_cast<std::uint8_t>(a == 0 ? 0 : ((p >> shift) & 255) * 255 / a);
                };
                const Rgba t = cx.apply(
                    Rgba{straight(16), straight(8), straight(0), static_cast<std::uint8_t>(a)});
                const std::uint32_t want = std::uint32_t{t.a} << 24 | (t.r * t.a / 255u) << 16 |
                                           (t.g * t.a / 255u) << 8 | (t.b * t.a / 255u);
                wrong += out[a * stride + c] != want;
            }
        }
        cairo_surface_destroy(tinted);
        EXPECT_EQ(wrong, 0);
    }
}

// ---- reference pictures -----------------------------------------------------------------

swf::SwfWriter convolutionScene() {
    swf::SwfWriter movie(300, 100, 12);
    movie.setBackground(Rgb(0xf0f0f0));
    swf::ShapeBuilder s;
    s.fill0(s.addFill(swf::FillStyle::linear(
                swf::Matrix::gradientBox(60, 60, 0.5, 0, 0),
                [] {
                    swf::Gradient g;
                    g.stops = {{0, Rgb(0xff4000)}, {128, Rgb(0x2060ff)}, {255, Rgb(0x20c040)}};
                    return g;
                }())))
        .rectangle(-30, -30, 60, 60);
    s.fill0(s.addFill(swf::FillStyle::solid(Rgb(0xffffff)))).ellipse(0, 0, 14, 14);
    const auto id = movie.defineShape(s, 3);
    swf::ConvolutionFilter sharpen;
    sharpen.matrix = {0, -1, 0, -1, 5, -1, 0, -1, 0};
    swf::ConvolutionFilter emboss;
    emboss.matrix = {-2, -1, 0, -1, 1, 1, 0, 1, 2};
    emboss.bias = 40;
    swf::ConvolutionFilter edges;
    edges.matrix = {-1, -1, -1, -1, 8, -1, -1, -1, -1};
    edges.preserveAlpha = false;
    edges.clamp = false;
    edges.defaultColor = Rgb(0xff0000);
    const swf::ConvolutionFilter list[] = {sharpen, emboss, edges};
    for (int i = 0; i < 3; ++i) {
        swf::Place p;
        p.depth = static_cast<std::uint16_t>(i + 1);
        p.character = id;
        p.matrix = swf::Matrix::translate(50 + i * 100, 50);
        p.filters = {list[i]};
        movie.place(p);
    }
    movie.showFrame();
    return movie;
}

swf::SwfWriter capsScene() {
    swf::SwfWriter movie(200, 120, 12);
    movie.setBackground(Rgb(0xffffff));
    const swf::Cap caps[] = {swf::Cap::Round, swf::Cap::None, swf::Cap::Square};
    swf::ShapeBuilder s;
    int row = 0;
    for (swf::Cap start : caps) {
        for (swf::Cap end : caps) {
            swf::LineStyle line = swf::LineStyle::solid(8, Rgb(0x203060));
            line.startCap = start;
            line.endCap = end;
            line.join = row % 2 == 0 ? swf::Join::Miter : swf::Join::Bevel;
            const double x = 20 + (row % 3) * 60;
            const double y = 20 + (row / 3) * 35;
            s.line(s.addLine(line)).moveTo(x, y).lineTo(x + 30, y).lineTo(x + 15, y + 15);
            ++row;
        }
    }
    movie.place(1, movie.defineShape(s, 4));
    movie.showFrame();
    return movie;
}

struct RenderScene {
    const char* name;
    swf::SwfWriter (*make)();
};

void PrintTo(const RenderScene& scene, std::ostream* out) {
    *out << scene.name;
}

class RenderReference : public ::testing::TestWithParam<RenderScene> {};

TEST_P(RenderReference, MatchesTheReviewedPicture) {
    const RenderScene& scene = GetParam();
    Player player;
    ASSERT_TRUE(load(player, scene.make()).ok);
    const Frame actual = render(player);
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(actual.pixels.data())),
        CAIRO_FORMAT_ARGB32, actual.width, actual.height, actual.width * 4);
    const std::filesystem::path reference = std::filesystem::path(KINOVEX_SOURCE_DIR) /
                                            "tests/golden" / (std::string(scene.name) + ".png");
    const char* update = std::getenv("KINOVEX_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        ASSERT_EQ(cairo_surface_write_to_png(surface, reference.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(surface);
        GTEST_SKIP() << "reference written: " << reference;
    }
    cairo_surface_t* expected = cairo_image_surface_create_from_png(reference.c_str());
    ASSERT_EQ(cairo_surface_status(expected), CAIRO_STATUS_SUCCESS) << "no reference " << reference;
    ASSERT_EQ(cairo_image_surface_get_width(expected), actual.width);
    ASSERT_EQ(cairo_image_surface_get_height(expected), actual.height);
    const int stride = cairo_image_surface_get_stride(expected) / 4;
    const auto* want =
        reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(expected));
    std::size_t differing = 0;
    for (int y = 0; y < actual.height; ++y) {
        for (int x = 0; x < actual.width; ++x) {
            differing += near(want[y * stride + x] | 0xff000000u, actual.at(x, y), 10) ? 0 : 1;
        }
    }
    if (differing > actual.pixels.size() / 200) {
        const auto out =
            std::filesystem::read_symlink("/proc/self/exe").parent_path() / "golden-failures";
        std::filesystem::create_directories(out);
        cairo_surface_write_to_png(surface,
                                   (out / (std::string(scene.name) + "-actual.png")).c_str());
        ADD_FAILURE() << scene.name << ": " << differing << " pixels differ; actual saved in "
                      << out;
    }
    cairo_surface_destroy(expected);
    cairo_surface_destroy(surface);
}

INSTANTIATE_TEST_SUITE_P(Scenes, RenderReference,
                         ::testing::Values(RenderScene{"convolution", convolutionScene},
                                           RenderScene{"caps", capsScene}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace kinovex::flash::test
