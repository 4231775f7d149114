// Shape records to fill contours and stroke lines, and morph shapes between their ends.

#include "FlashTestUtil.h"
#include "engine/definitions/Movie.h"
#include "engine/definitions/ShapeGeometry.h"
#include "engine/display/Bounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kinovex::flash::test {
namespace {

std::vector<ShapeRecord> recordsOf(const swf::ShapeBuilder& builder, int version = 3) {
    swf::SwfWriter movie(100, 100, 12);
    const auto id = movie.defineShape(builder, version);
    Movie m;
    Log log;
    EXPECT_TRUE(m.load(movie.finish(), log).ok);
    const auto* shape = m.characterAs<Shape>(id, Character::Kind::Shape);
    EXPECT_NE(shape, nullptr);
    return shape ? shape->records : std::vector<ShapeRecord>{};
}

bool closed(const Contour& c) {
    return !c.empty() && c.front().from == c.back().to;
}

// Twice the signed area enclosed (shoelace over the end points).
double area(const Contour& c) {
    double sum = 0;
    for (const Edge& e : c) {
        sum += e.from.x * e.to.y - e.to.x * e.from.y;
    }
    return sum / 2;
}

TEST(Geometry, SharedEdgeBetweenTwoFillsClosesBothSides) {
    // Two squares side by side, drawn as one outline with the middle edge carrying both fills.
    swf::ShapeBuilder b;
    const auto left = b.addFill(swf::FillStyle::solid(swf::Rgb(0xff0000)));
    const auto right = b.addFill(swf::FillStyle::solid(swf::Rgb(0x0000ff)));
    b.fill1(left).moveTo(0, 0).lineTo(10, 0);
    b.fill1(right).lineTo(20, 0).lineTo(20, 10).lineTo(10, 10);
    b.fill1(left).lineTo(0, 10).lineTo(0, 0);
    b.fill0(left).fill1(right).moveTo(10, 10).lineTo(10, 0); // the middle, walked upwards
    const ShapeGeometry g = buildGeometry(recordsOf(b));
    ASSERT_EQ(g.layers.size(), 1u);
    ASSERT_EQ(g.layers[0].fills.size(), 2u);
    for (const FillPath& f : g.layers[0].fills) {
        ASSERT_EQ(f.contours.size(), 1u) << "fill " << f.fill;
        EXPECT_TRUE(closed(f.contours[0])) << "fill " << f.fill;
        EXPECT_EQ(f.contours[0].size(), 4u);
        EXPECT_DOUBLE_EQ(std::abs(area(f.contours[0])), 200.0 * 200.0);
    }
    // Both sides run the same way round, so each fills its own square.
    EXPECT_GT(area(g.layers[0].fills[0].contours[0]) * area(g.layers[0].fills[1].contours[0]), 0);
}

TEST(Geometry, EdgesGivenOutOfOrderAreChainedIntoOneContour) {
    swf::ShapeBuilder b;
    const auto f = b.addFill(swf::FillStyle::solid(swf::Rgb(0)));
    b.fill0(f);
    b.moveTo(10, 0).lineTo(10, 10);
    b.moveTo(0, 0).lineTo(10, 0);
    b.moveTo(0, 10).lineTo(0, 0);
    b.moveTo(10, 10).curveTo(5, 15, 0, 10);
    const ShapeGeometry g = buildGeometry(recordsOf(b));
    ASSERT_EQ(g.layers[0].fills.size(), 1u);
    const auto& contours = g.layers[0].fills[0].contours;
    ASSERT_EQ(contours.size(), 1u);
    EXPECT_TRUE(closed(contours[0]));
    EXPECT_EQ(contours[0].size(), 4u);
    int curves = 0;
    for (const Edge& e : contours[0]) {
        curves += e.curve ? 1 : 0;
    }
    EXPECT_EQ(curves, 1);
}

TEST(Geometry, AHoleRunsAgainstItsOutlineAndEdgesWithTheSameFillOnBothSidesVanish) {
    swf::ShapeBuilder b;
    const auto f = b.addFill(swf::FillStyle::solid(swf::Rgb(0)));
    b.fill1(f).rectangle(0, 0, 30, 30);
    b.fill1(0).fill0(f).rectangle(10, 10, 10, 10);    // the same direction, other side: a hole
    b.fill0(f).fill1(f).moveTo(0, 15).lineTo(10, 15); // an inner edge of no consequence
    const ShapeGeometry g = buildGeometry(recordsOf(b));
    const auto& contours = g.layers[0].fills[0].contours;
    ASSERT_EQ(contours.size(), 2u);
    EXPECT_TRUE(closed(contours[0]));
    EXPECT_TRUE(closed(contours[1]));
    EXPECT_LT(area(contours[0]) * area(contours[1]), 0);
}

TEST(Geometry, NewStylesStartALayerAndLinesBreakAtMoves) {
    swf::ShapeBuilder b;
    const auto line = b.addLine(swf::LineStyle::solid(1, swf::Rgb(0)));
    b.line(line).moveTo(0, 0).lineTo(10, 0).lineTo(10, 10);
    b.moveTo(20, 20).lineTo(30, 20);
    b.newStyles();
    const auto fill = b.addFill(swf::FillStyle::solid(swf::Rgb(0xff)));
    b.fill0(fill).rectangle(0, 0, 5, 5);
    const ShapeGeometry g = buildGeometry(recordsOf(b));
    ASSERT_EQ(g.layers.size(), 2u);
    EXPECT_EQ(g.layers[1].styleTable, 1u);
    ASSERT_EQ(g.layers[0].strokes.size(), 1u);
    ASSERT_EQ(g.layers[0].strokes[0].lines.size(), 2u);
    EXPECT_EQ(g.layers[0].strokes[0].lines[0].size(), 2u);
    EXPECT_TRUE(g.layers[0].fills.empty());
    EXPECT_EQ(g.layers[1].fills.size(), 1u);
}

TEST(Geometry, MorphShapesMoveFromStartToEnd) {
    swf::MorphShape morph;
    morph.fills.push_back(
        {swf::FillStyle::solid(swf::Rgb(0xff0000)), swf::FillStyle::solid(swf::Rgb(0x0000ff))});
    morph.start.fill1(1).moveTo(0, 0).lineTo(10, 0).lineTo(10, 10).lineTo(0, 0);
    morph.end.moveTo(20, 20).curveTo(40, 20, 40, 40).lineTo(20, 40).lineTo(20, 20);
    swf::SwfWriter movie(100, 100, 12);
    const auto id = movie.defineMorphShape(morph);
    Movie m;
    Log log;
    ASSERT_TRUE(m.load(movie.finish(), log).ok);
    const auto* shape = m.characterAs<MorphShape>(id, Character::Kind::MorphShape);
    ASSERT_NE(shape, nullptr);
    auto firstPoint = [](const ShapeGeometry& g) { return g.layers[0].fills[0].contours[0][0]; };
    const Edge start = firstPoint(buildGeometry(interpolateMorph(*shape, 0)));
    EXPECT_EQ(start.from, (Point{0, 0}));
    EXPECT_EQ(start.to, (Point{200, 0}));
    const Edge end = firstPoint(buildGeometry(interpolateMorph(*shape, 65535)));
    EXPECT_EQ(end.from, (Point{400, 400}));
    EXPECT_EQ(end.to, (Point{800, 800}));
    EXPECT_TRUE(end.curve);
    const Edge half = firstPoint(buildGeometry(interpolateMorph(*shape, 32768)));
    EXPECT_NEAR(half.to.x, 500, 1);
    EXPECT_NEAR(half.to.y, 400, 1);
    const StyleTable styles = interpolateMorphStyles(*shape, 32768);
    EXPECT_NEAR(styles.fills[0].color.r, 128, 1);
    EXPECT_NEAR(styles.fills[0].color.b, 128, 1);
}

// Bounds land on whole twips, halves away from zero, and stay within +-2e9 twips; turned
// boxes (all four corners mapped) and upright ones (sides mapped) alike.
TEST(Geometry, TransformedBoundsRoundToWholeTwipsHalvesAwayFromZero) {
    const double edges[] = {
        0.5, -0.5, 1.5, -1.5, 2.4999999, -2.4999999, 123456.5, 0.49999999999999994, 7.0, 3e9, -3e9};
    for (const double edge : edges) {
        const auto expected = static_cast<std::int32_t>(std::clamp(std::round(edge), -2e9, 2e9));
        const Rect box{0, 0, 0, 0};
        for (const double turn : {0.0, 1e-300}) { // a tiny skew takes the four-corner path
            const Rect r = transformRect(Matrix{1, turn, 0, 1, edge, -edge}, box);
            EXPECT_EQ(r.xMin, expected) << edge;
            EXPECT_EQ(r.yMax, -expected) << edge;
        }
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(transformRect(Matrix{1, 0, 0, 1, nan, 0}, Rect{0, 20, 0, 20}).xMin, 0);
}

} // namespace
} // namespace kinovex::flash::test
