// The coverage rasteriser on its own: exact area per pixel, lines with their joins and caps,
// regions that cut pictures off, and coordinates no picture should have.

#include "engine/render/Rasterizer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <initializer_list>
#include <limits>
#include <numbers>
#include <vector>

namespace kinovex::flash::test {
namespace {

// A picture of the region [x0, x0 + w) x [y0, y0 + h).
struct Mask {
    int x0 = 0, y0 = 0, w = 0, h = 0;
    std::vector<std::uint8_t> cov;
    int at(int x, int y) const { return cov[static_cast<std::size_t>((y - y0) * w + (x - x0))]; }
    double total() const {
        double sum = 0;
        for (std::uint8_t c : cov) {
            sum += c / 255.0;
        }
        return sum;
    }
};

FlatPath polyline(std::initializer_list<Point> points, bool closed = false) {
    FlatPath p;
    bool first = true;
    for (const Point& pt : points) {
        if (first) {
            p.moveTo(pt);
            first = false;
        } else {
            p.lineTo(pt);
        }
    }
    if (closed) {
        p.close();
    }
    return p;
}

Mask fill(const FlatPath& path, int x0, int y0, int w, int h, FillRule rule = FillRule::NonZero) {
    Rasterizer r;
    r.reset(x0, y0, x0 + w, y0 + h);
    r.fill(path);
    Mask m{x0, y0, w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w * h), 7)};
    r.resolve(m.cov.data(), w, rule);
    return m;
}

Mask stroke(const FlatPath& path, const StrokeStyle& style, int x0, int y0, int w, int h) {
    Rasterizer r;
    r.reset(x0, y0, x0 + w, y0 + h);
    r.stroke(path, style);
    Mask m{x0, y0, w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w * h), 7)};
    r.resolve(m.cov.data(), w, FillRule::NonZero);
    return m;
}

StrokeStyle lineOf(double width, JoinStyle join = JoinStyle::Round,
                   CapStyle cap = CapStyle::Round) {
    StrokeStyle s;
    s.width = width;
    s.join = join;
    s.startCap = cap;
    s.endCap = cap;
    s.miterLimit = 4;
    s.tolerance = 0.01;
    return s;
}

// ---- fills ---------------------------------------------------------------------------------

TEST(RenderRasterizer, EdgePixelsCoverExactlyTheShareInside) {
    // 1.25..5.75 across, 2.5..4 down: a quarter off on the left and right, half at the top.
    const Mask m =
        fill(polyline({{1.25, 2.5}, {5.75, 2.5}, {5.75, 4}, {1.25, 4}}, true), 0, 0, 8, 6);
    EXPECT_EQ(m.at(1, 2), 96);  // 0.75 * 0.5
    EXPECT_EQ(m.at(3, 2), 128); // 0.5
    EXPECT_EQ(m.at(1, 3), 191); // 0.75
    EXPECT_EQ(m.at(3, 3), 255);
    EXPECT_EQ(m.at(5, 3), 191);
    EXPECT_EQ(m.at(0, 3), 0);
    EXPECT_EQ(m.at(6, 3), 0);
    EXPECT_EQ(m.at(3, 4), 0);
    EXPECT_EQ(m.at(3, 1), 0);

    // Slanted and turned outlines cover their area, whichever way round they run.
    const double c = std::cos(0.3), s = std::sin(0.3);
    auto turned = [&](double x, double y) { return Point{20 + c * x - s * y, 20 + s * x + c * y}; };
    const Mask square = fill(
        polyline({turned(-7, -7), turned(-7, 7), turned(7, 7), turned(7, -7)}, true), 0, 0, 40, 40);
    EXPECT_NEAR(square.total(), 196.0, 0.5);
    EXPECT_EQ(square.at(20, 20), 255);
    const Mask triangle =
        fill(polyline({{3.3, 2.1}, {31.7, 9.4}, {12.2, 27.9}}, true), 0, 0, 40, 40);
    const double area = std::abs((31.7 - 3.3) * (27.9 - 2.1) - (12.2 - 3.3) * (9.4 - 2.1)) / 2;
    EXPECT_NEAR(triangle.total(), area, 0.5);
}

// The area of a polygon inside the pixel (x, y), by cutting it down to the pixel's square.
double areaInPixel(const std::vector<Point>& polygon, int x, int y) {
    std::vector<Point> poly = polygon;
    auto clip = [&poly](auto inside, auto cross) {
        std::vector<Point> out;
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const Point a = poly[i];
            const Point b = poly[(i + 1) % poly.size()];
            if (inside(a)) {
                out.push_back(a);
            }
            if (inside(a) != inside(b)) {
                out.push_back(cross(a, b));
            }
        }
        poly = out;
    };
    auto atX = [](double cx) {
        return [cx](Point a, Point b) {
            return Point{cx, a.y + (b.y - a.y) * (cx - a.x) / (b.x - a.x)};
        };
    };
    auto atY = [](double cy) {
        return [cy](Point a, Point b) {
            return Point{a.x + (b.x - a.x) * (cy - a.y) / (b.y - a.y), cy};
        };
    };
    clip([x](Point p) { return p.x >= x; }, atX(x));
    clip([x](Point p) { return p.x <= x + 1; }, atX(x + 1));
    clip([y](Point p) { return p.y >= y; }, atY(y));
    clip([y](Point p) { return p.y <= y + 1; }, atY(y + 1));
    double area = 0;
    for (std::size_t i = 0; i < poly.size(); ++i) {
        const Point a = poly[i];
        const Point b = poly[(i + 1) % poly.size()];
        area += a.x * b.y - b.x * a.y;
    }
    return std::abs(area) / 2;
}

TEST(RenderRasterizer, EveryPixelOfRegionsOfEveryWidthCoversItsExactArea) {
    // Rows of every width, so that sixteen-, four- and one-pixel steps along a row all meet
    // edges, and polygons whose flat edges cross many pixels in one row as well as steep ones.
    // The same outline twice over: with even-odd, pixels on an edge covered by a share a come
    // out as 2a folded back past 1, inside it nothing; with non-zero, min(2a, 1).
    Rasterizer r;
    std::vector<std::uint8_t> out;
    for (int width = 1; width <= 40; ++width) {
        const double w = width;
        const std::vector<std::vector<Point>> polygons = {
            {{0.3, 0.6}, {w - 0.2, 2.15}, {w * 0.6, 8.7}},                      // flat top edge
            {{w * 0.5 + 0.13, 0.4}, {w + 3, 5.5}, {w * 0.5, 9.9}, {-2.5, 4.8}}, // past both sides
            {{1.7, 0.2}, {2.4, 9.3}, {1.1, 9.8}},                               // steep and thin
            {{-0.4, 3.25}, {w + 0.4, 3.4}, {w + 0.4, 3.9}, {-0.4, 3.5}}};       // a sliver
        for (std::size_t k = 0; k < polygons.size(); ++k) {
            const std::vector<Point>& poly = polygons[k];
            for (int times : {1, 2}) {
                for (FillRule rule : {FillRule::NonZero, FillRule::EvenOdd}) {
                    // One rasteriser for all of them: each picture must leave no trace in
                    // the next.
                    r.reset(0, 0, width, 11);
                    for (int t = 0; t < times; ++t) {
                        r.addPolygon(poly.data(), poly.size());
                    }
                    out.assign(static_cast<std::size_t>(width * 11), 7);
                    r.resolve(out.data(), width, rule);
                    for (int y = 0; y < 11; ++y) {
                        for (int x = 0; x < width; ++x) {
                            double a = areaInPixel(poly, x, y) * times;
                            if (rule == FillRule::EvenOdd && a > 1) {
                                a = 2 - a;
                            }
                            a = std::min(a, 1.0);
                            ASSERT_NEAR(out[static_cast<std::size_t>(y * width + x)], a * 255, 0.6)
                                << "width " << width << " polygon " << k << " times " << times
                                << " rule " << static_cast<int>(rule) << " at " << x << "," << y;
                        }
                    }
                }
            }
        }
    }
}

TEST(RenderRasterizer, EvenOddLeavesNestedOutlinesHollowAndNonZeroFillsThem) {
    FlatPath p = polyline({{2, 2}, {18, 2}, {18, 18}, {2, 18}}, true);
    p.moveTo({6, 6});
    p.lineTo({14, 6});
    p.lineTo({14, 14});
    p.lineTo({6, 14});
    p.close();
    const Mask evenOdd = fill(p, 0, 0, 20, 20, FillRule::EvenOdd);
    const Mask nonZero = fill(p, 0, 0, 20, 20, FillRule::NonZero);
    EXPECT_EQ(evenOdd.at(10, 10), 0);
    EXPECT_EQ(evenOdd.at(4, 10), 255);
    EXPECT_NEAR(evenOdd.total(), 256 - 64, 0.1);
    EXPECT_EQ(nonZero.at(10, 10), 255);
    EXPECT_NEAR(nonZero.total(), 256, 0.1);
}

TEST(RenderRasterizer, FillsSharingASlantedEdgeAddUpToFullCoverage) {
    // Two halves of a square cut along a slanted line: where the cut runs through a pixel, its
    // two parts must make the whole pixel, or the background shows through as a seam.
    const Point a{3.2, 1.7}, b{27.6, 1.7}, c{27.6, 26.1}, d{3.2, 26.1};
    const Point cutTop{11.35, 1.7}, cutBottom{19.9, 26.1};
    const Mask left = fill(polyline({a, cutTop, cutBottom, d}, true), 0, 0, 30, 30);
    const Mask right = fill(polyline({cutTop, b, c, cutBottom}, true), 0, 0, 30, 30);
    for (int y = 2; y < 26; ++y) {
        for (int x = 4; x < 27; ++x) {
            EXPECT_NEAR(left.at(x, y) + right.at(x, y), 255, 1) << x << "," << y;
        }
    }
}

TEST(RenderRasterizer, ARegionCutsThePictureOffWithoutChangingIt) {
    // The same outlines rasterised over a large region and over small windows into it, some
    // with edges crossing every border and far beyond it on the left.
    FlatPath shapes = polyline({{-300, 4}, {45, 13.5}, {-80, 61}}, true);
    shapes.moveTo({30.5, -20});
    shapes.lineTo({70, 33.3});
    shapes.lineTo({22.2, 41});
    shapes.close();
    FlatPath line = polyline({{-50, 30}, {25, 2}, {60, 48}, {18, 70}});
    const Mask whole = fill(shapes, -310, -30, 400, 120);
    const Mask wholeLine = stroke(line, lineOf(5, JoinStyle::Miter), -60, -10, 140, 100);
    for (const auto& [x0, y0, w, h] :
         {std::array<int, 4>{0, 0, 50, 50}, {10, 10, 17, 23}, {33, 20, 5, 40}, {-5, 40, 80, 3}}) {
        const Mask part = fill(shapes, x0, y0, w, h);
        const Mask partLine = stroke(line, lineOf(5, JoinStyle::Miter), x0, y0, w, h);
        for (int y = y0; y < y0 + h; ++y) {
            for (int x = x0; x < x0 + w; ++x) {
                ASSERT_NEAR(part.at(x, y), whole.at(x, y), 1) << x << "," << y;
                ASSERT_NEAR(partLine.at(x, y), wholeLine.at(x, y), 1) << x << "," << y;
            }
        }
    }
}

TEST(RenderRasterizer, HugeAndBrokenCoordinatesNeitherCrashNorSpoilThePicture) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // A square far larger than the region covers all of it.
    const Mask huge =
        fill(polyline({{-1e9, -1e9}, {1e9, -1e9}, {1e9, 1e9}, {-1e9, 1e9}}, true), 0, 0, 16, 16);
    EXPECT_NEAR(huge.total(), 256, 0.01);
    // Points at infinity or not numbers at all are left out; what remains is drawn.
    const Mask broken = fill(
        polyline({{2, 2}, {nan, 5}, {12, 2}, {inf, -inf}, {12, 12}, {2, 12}}, true), 0, 0, 16, 16);
    EXPECT_NEAR(broken.total(), 100, 0.01);
    const Mask far =
        fill(polyline({{1e300, 1e300}, {-1e300, 1e300}, {1e300, -1e300}}, true), 0, 0, 16, 16);
    EXPECT_NEAR(far.total(), 256, 0.01); // the region lies inside it
    const Mask wide = stroke(polyline({{-1e12, 8}, {1e12, 8.5}}), lineOf(1e6), 0, 0, 16, 16);
    EXPECT_NEAR(wide.total(), 256, 0.01);
    const Mask nothing = stroke(polyline({{nan, nan}, {inf, 3}}), lineOf(4), 0, 0, 16, 16);
    EXPECT_EQ(nothing.total(), 0);
    const Mask zeroWide = stroke(polyline({{2, 2}, {10, 10}}), lineOf(0), 0, 0, 16, 16);
    EXPECT_EQ(zeroWide.total(), 0);
}

// ---- lines ---------------------------------------------------------------------------------

TEST(RenderRasterizer, AThinSlantedLineCoversItsWidthInEveryColumn) {
    // A line one pixel wide at 30 degrees is 1 / cos(30) pixels tall in every column it
    // crosses, spread over two or three pixels, and never darker than full.
    const double angle = std::numbers::pi / 6;
    const Point from{2, 4}, to{2 + 40 * std::cos(angle), 4 + 40 * std::sin(angle)};
    const Mask m =
        stroke(polyline({from, to}), lineOf(1, JoinStyle::Round, CapStyle::None), 0, 0, 48, 32);
    for (int x = 5; x < 36; ++x) {
        double column = 0;
        int touched = 0;
        for (int y = 0; y < 32; ++y) {
            column += m.at(x, y) / 255.0;
            touched += m.at(x, y) > 0 ? 1 : 0;
        }
        EXPECT_NEAR(column, 1 / std::cos(angle), 0.01) << "column " << x;
        EXPECT_LE(touched, 3) << "column " << x;
    }
    // A hairline across a pixel boundary shares itself between the two rows.
    const Mask straddling = stroke(polyline({{0, 10}, {20, 10}}),
                                   lineOf(1, JoinStyle::Round, CapStyle::None), 0, 0, 20, 20);
    EXPECT_EQ(straddling.at(10, 9), 128);
    EXPECT_EQ(straddling.at(10, 10), 128);
}

class RenderRasterizerJoins : public ::testing::TestWithParam<JoinStyle> {};

TEST_P(RenderRasterizerJoins, WideLinesHaveNoGapsAtTheirJoins) {
    // A zig-zag of sharp and gentle bends, and a closed triangle: every pixel whose square lies
    // within the line's half width of the middle line must be covered in full.
    const JoinStyle join = GetParam();
    const double r = 6;
    const std::vector<Point> zig{{8, 40}, {30, 10}, {45, 45}, {70, 38}, {72, 12}, {95, 14}};
    FlatPath path;
    path.moveTo(zig[0]);
    for (std::size_t i = 1; i < zig.size(); ++i) {
        path.lineTo(zig[i]);
    }
    path.moveTo({20, 60});
    path.lineTo({80, 62});
    path.lineTo({50, 90});
    path.close();
    const Mask m = stroke(path, lineOf(2 * r, join), 0, 0, 110, 110);
    auto distance = [](Point p, Point a, Point b) {
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double t =
            std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
    };
    std::vector<std::pair<Point, Point>> segments;
    for (std::size_t i = 1; i < zig.size(); ++i) {
        segments.emplace_back(zig[i - 1], zig[i]);
    }
    segments.push_back({{20, 60}, {80, 62}});
    segments.push_back({{80, 62}, {50, 90}});
    segments.push_back({{50, 90}, {20, 60}});
    // Every join covers at least the bevel between its segments, which reaches cos(turn / 2)
    // of the half width out from the corner.
    double sharpest = 0;
    auto turnAt = [&](Point a, Point b, Point c) {
        const double t0 = std::atan2(b.y - a.y, b.x - a.x), t1 = std::atan2(c.y - b.y, c.x - b.x);
        const double turn = std::abs(std::remainder(t1 - t0, 2 * std::numbers::pi));
        sharpest = std::max(sharpest, turn);
    };
    for (std::size_t i = 1; i + 1 < zig.size(); ++i) {
        turnAt(zig[i - 1], zig[i], zig[i + 1]);
    }
    turnAt({50, 90}, {20, 60}, {80, 62});
    turnAt({20, 60}, {80, 62}, {50, 90});
    turnAt({80, 62}, {50, 90}, {20, 60});
    const double core = join == JoinStyle::Round ? r : r * std::cos(sharpest / 2);
    auto insideSegment = [&](Point p, Point a, Point b) {
        const double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
        const double along = ((p.x - a.x) * dx + (p.y - a.y) * dy) / len;
        const double across = std::abs((p.x - a.x) * dy - (p.y - a.y) * dx) / len;
        return along > 0.71 && along < len - 0.71 && across < r - 0.71;
    };
    int checked = 0;
    for (int y = 0; y < 110; ++y) {
        for (int x = 0; x < 110; ++x) {
            const Point centre{x + 0.5, y + 0.5};
            double nearest = 1e9;
            bool inSegment = false;
            for (const auto& [a, b] : segments) {
                nearest = std::min(nearest, distance(centre, a, b));
                inSegment = inSegment || insideSegment(centre, a, b);
            }
            // The pixel's farthest corner is 0.71 from its centre.
            if (inSegment || nearest < core - 0.71) {
                ++checked;
                EXPECT_EQ(m.at(x, y), 255) << x << "," << y;
            } else if (nearest > r + 0.71 && join == JoinStyle::Round) {
                EXPECT_EQ(m.at(x, y), 0) << x << "," << y; // round joins reach no further
            }
        }
    }
    EXPECT_GT(checked, 1500);
}

INSTANTIATE_TEST_SUITE_P(Styles, RenderRasterizerJoins,
                         ::testing::Values(JoinStyle::Round, JoinStyle::Bevel, JoinStyle::Miter),
                         [](const auto& p) {
                             return p.param == JoinStyle::Round   ? std::string("Round")
                                    : p.param == JoinStyle::Bevel ? std::string("Bevel")
                                                                  : std::string("Miter");
                         });

TEST(RenderRasterizer, JoinsReachOutAsTheirStyleSays) {
    // A right-angle corner at (30, 30), 10 wide: the outside corner point (35, 25) is inside
    // a miter, cut off by a bevel, and a round join stays within 5 of the corner.
    const FlatPath corner = polyline({{5, 30}, {30, 30}, {30, 55}});
    const Mask miter = stroke(corner, lineOf(10, JoinStyle::Miter), 0, 0, 60, 60);
    const Mask bevel = stroke(corner, lineOf(10, JoinStyle::Bevel), 0, 0, 60, 60);
    const Mask round = stroke(corner, lineOf(10, JoinStyle::Round), 0, 0, 60, 60);
    EXPECT_EQ(miter.at(34, 25), 255);
    EXPECT_EQ(bevel.at(34, 25), 0);
    EXPECT_EQ(round.at(34, 25), 0);
    EXPECT_EQ(round.at(32, 27), 255); // wholly within 5 of the corner
    EXPECT_EQ(bevel.at(31, 27), 255);
    // Past the miter limit a sharp corner is beveled rather than drawn as a long spike.
    StrokeStyle limited = lineOf(10, JoinStyle::Miter);
    limited.miterLimit = 1.5;
    const FlatPath sharp = polyline({{5, 50}, {30, 10}, {55, 50}});
    const Mask spike = stroke(sharp, lineOf(10, JoinStyle::Miter), 0, 0, 60, 60);
    const Mask cut = stroke(sharp, limited, 0, 0, 60, 60);
    EXPECT_EQ(spike.at(30, 3), 255); // the tip is about 9.4 above the corner
    EXPECT_EQ(cut.at(30, 3), 0);     // the bevel is about 2.6 above it
    EXPECT_EQ(cut.at(30, 5), 0);
    EXPECT_EQ(cut.at(30, 8), 255);
}

TEST(RenderRasterizer, EachEndGetsItsOwnCap) {
    // A line from (10, 10) to (30, 10), 6 wide: no cap ends at the point, a square cap 3
    // beyond it, a round one reaches 3 straight on but not into the corners.
    auto ends = [](CapStyle start, CapStyle end) {
        StrokeStyle s = lineOf(6, JoinStyle::Round, start);
        s.endCap = end;
        return stroke(polyline({{10, 10}, {30, 10}}), s, 0, 0, 40, 20);
    };
    const Mask none = ends(CapStyle::None, CapStyle::None);
    EXPECT_EQ(none.at(9, 10), 0);
    EXPECT_EQ(none.at(10, 10), 255);
    EXPECT_EQ(none.at(30, 10), 0);
    EXPECT_NEAR(none.total(), 20 * 6, 0.01);
    const Mask square = ends(CapStyle::Square, CapStyle::None);
    EXPECT_EQ(square.at(7, 7), 255);
    EXPECT_EQ(square.at(6, 10), 0);
    EXPECT_EQ(square.at(30, 10), 0);
    EXPECT_NEAR(square.total(), 23 * 6, 0.01);
    const Mask round = ends(CapStyle::None, CapStyle::Round);
    EXPECT_EQ(round.at(9, 10), 0);
    EXPECT_EQ(round.at(31, 10), 255);
    EXPECT_LT(round.at(32, 7), 64); // a square cap would cover this corner in full
    EXPECT_NEAR(round.total(), 20 * 6 + std::numbers::pi * 9 / 2, 0.2);
    // A line of no length is a dot for a round cap and nothing without a cap.
    const Mask dot = stroke(polyline({{10, 10}, {10, 10}}), lineOf(6), 0, 0, 20, 20);
    EXPECT_NEAR(dot.total(), std::numbers::pi * 9, 0.2);
    const Mask noDot = stroke(polyline({{10, 10}, {10, 10}}),
                              lineOf(6, JoinStyle::Round, CapStyle::None), 0, 0, 20, 20);
    EXPECT_EQ(noDot.total(), 0);
}

TEST(RenderRasterizer, LinesAlongCurvesAreWholeRingsEvenWhenWiderThanTheCurve) {
    // Circles of four cubic arcs, stroked: a thin line makes a ring of its width, a line wider
    // than the circle's radius a full disc (its inner edge folds over the centre and must not
    // leave a hole there).
    auto circle = [](double cx, double cy, double radius) {
        const double k = 0.5523 * radius;
        FlatPath p;
        p.moveTo({cx + radius, cy});
        p.curveTo({cx + radius, cy + k}, {cx + k, cy + radius}, {cx, cy + radius}, 0.02);
        p.curveTo({cx - k, cy + radius}, {cx - radius, cy + k}, {cx - radius, cy}, 0.02);
        p.curveTo({cx - radius, cy - k}, {cx - k, cy - radius}, {cx, cy - radius}, 0.02);
        p.curveTo({cx + k, cy - radius}, {cx + radius, cy - k}, {cx + radius, cy}, 0.02);
        p.close();
        return p;
    };
    for (const auto& [radius, width] :
         {std::pair{20.0, 3.0}, {20.0, 1.0}, {6.0, 20.0}, {3.0, 8.0}}) {
        const double outer = radius + width / 2;
        const double inner = std::max(0.0, radius - width / 2);
        const Mask m =
            stroke(circle(32.3, 31.7, radius), lineOf(width, JoinStyle::Bevel), 0, 0, 64, 64);
        EXPECT_NEAR(m.total(), std::numbers::pi * (outer * outer - inner * inner),
                    0.01 * outer * outer)
            << radius << " " << width;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                const double d = std::hypot(x + 0.5 - 32.3, y + 0.5 - 31.7);
                if (d < outer - 0.75 && d > inner + 0.75) {
                    ASSERT_EQ(m.at(x, y), 255) << radius << " " << width << " at " << x << "," << y;
                } else if (d > outer + 0.75 || d < inner - 0.75) {
                    ASSERT_EQ(m.at(x, y), 0) << radius << " " << width << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(RenderRasterizer, CurvesAreCutFinerTheLargerTheyShow) {
    // A quarter circle-like cubic at two sizes: every piece stays within the tolerance of the
    // curve, and the larger one needs more pieces.
    auto pieces = [](double size) {
        FlatPath p;
        p.moveTo({0, 0});
        p.curveTo({0.55 * size, 0}, {size, 0.45 * size}, {size, size}, 0.1);
        const Point c1{0.55 * size, 0}, c2{size, 0.45 * size}, to{size, size};
        for (std::size_t i = 1; i < p.points.size(); ++i) {
            // The chord's middle against the curve near it: the closest of many curve points.
            const Point mid{(p.points[i - 1].x + p.points[i].x) / 2,
                            (p.points[i - 1].y + p.points[i].y) / 2};
            double best = 1e9;
            for (int k = 0; k <= 20000; ++k) {
                const double t = k / 20000.0, u = 1 - t;
                const double x = 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * to.x;
                const double y = 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * to.y;
                best = std::min(best, std::hypot(x - mid.x, y - mid.y));
            }
            EXPECT_LE(best, 0.1) << "size " << size << " piece " << i;
        }
        EXPECT_EQ(p.points.back(), to);
        return p.points.size();
    };
    const std::size_t small = pieces(10);
    const std::size_t large = pieces(400);
    EXPECT_LE(small, 10u);
    EXPECT_GT(large, 3 * small);
}

} // namespace
} // namespace kinovex::flash::test
