// Points against the outlines hit tests use: inside fills by either fill rule, on outlines, in
// holes, along curves, and within half a line's width of its pieces, corners and ends.

#include "engine/display/HitOutline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace kinovex::flash {
namespace {

Edge line(Point from, Point to) {
    return Edge{from, from, to, false};
}

Edge curve(Point from, Point control, Point to) {
    return Edge{from, control, to, true};
}

// A closed polygon through `points`.
Contour polygon(const std::vector<Point>& points) {
    Contour c;
    for (std::size_t i = 0; i < points.size(); ++i) {
        c.push_back(line(points[i], points[(i + 1) % points.size()]));
    }
    return c;
}

// An upright square, clockwise as the stage shows it (y runs down) or the other way round.
Contour square(double x0, double y0, double size, bool clockwise = true) {
    const Point a{x0, y0}, b{x0 + size, y0}, c{x0 + size, y0 + size}, d{x0, y0 + size};
    return clockwise ? polygon({a, b, c, d}) : polygon({a, d, c, b});
}

struct FillCase {
    const char* name;
    std::vector<Contour> contours;
    Point point;
    bool evenOdd; // expected by the even-odd rule
    bool nonZero; // expected by the non-zero rule
};

class HitFill : public ::testing::TestWithParam<FillCase> {};

TEST_P(HitFill, AnswersByTheFillRule) {
    const FillCase& c = GetParam();
    const FillOutline outline(c.contours);
    GridPoint q;
    ASSERT_TRUE(toGrid(c.point, q));
    EXPECT_EQ(outline.contains(q, false), c.evenOdd) << "even-odd";
    EXPECT_EQ(outline.contains(q, true), c.nonZero) << "non-zero";
}

// A lens: from (0, 0) bowed down to (2000, 0), its lowest point (1000, 500), and the straight
// line back.
const std::vector<Contour> kLens{{curve({0, 0}, {1000, 1000}, {2000, 0}), line({2000, 0}, {0, 0})}};
// Two squares of 2000 overlapping in a 1000 square, both drawn the same way round.
const std::vector<Contour> kOverlap{square(0, 0, 2000), square(1000, 1000, 2000)};
// A square whose outline crosses itself: a figure of eight, its halves wound opposite ways.
const std::vector<Contour> kBowTie{polygon({{0, 0}, {2000, 2000}, {2000, 0}, {0, 2000}})};

INSTANTIATE_TEST_SUITE_P(
    Shapes, HitFill,
    ::testing::Values(
        FillCase{"SquareMiddle", {square(0, 0, 2000)}, {1000, 1000}, true, true},
        FillCase{"SquareDrawnTheOtherWay", {square(0, 0, 2000, false)}, {1000, 1000}, true, true},
        FillCase{"BesideSquare", {square(0, 0, 2000)}, {2001, 1000}, false, false},
        FillCase{"AboveSquare", {square(0, 0, 2000)}, {1000, -1}, false, false},
        FillCase{"OnLeftEdge", {square(0, 0, 2000)}, {0, 1000}, true, true},
        FillCase{"OnRightEdge", {square(0, 0, 2000)}, {2000, 1000}, true, true},
        FillCase{"OnBottomEdge", {square(0, 0, 2000)}, {700, 2000}, true, true},
        FillCase{"OnCorner", {square(0, 0, 2000)}, {2000, 2000}, true, true},
        // A point that arithmetic left a hair off the edge is still on it.
        FillCase{"AHairOutsideTheEdge", {square(0, 0, 2000)}, {-1e-4, 1000}, true, true},
        FillCase{"OnTheLineOfAnEdgeBeyondIt", {square(0, 0, 2000)}, {0, 2500}, false, false},
        FillCase{
            "OnDiagonalEdge", {polygon({{0, 0}, {2000, 0}, {0, 1000}})}, {1000, 500}, true, true},
        FillCase{"BesideDiagonalEdge",
                 {polygon({{0, 0}, {2000, 0}, {0, 1000}})},
                 {1000, 501},
                 false,
                 false},
        FillCase{"RingHoleWoundAgainst",
                 {square(0, 0, 3000), square(1000, 1000, 1000, false)},
                 {1500, 1500},
                 false,
                 false},
        FillCase{"RingHoleWoundAlong",
                 {square(0, 0, 3000), square(1000, 1000, 1000)},
                 {1500, 1500},
                 false,
                 true},
        FillCase{"RingItself",
                 {square(0, 0, 3000), square(1000, 1000, 1000, false)},
                 {500, 1500},
                 true,
                 true},
        FillCase{"OnTheHolesEdge",
                 {square(0, 0, 3000), square(1000, 1000, 1000)},
                 {1000, 1500},
                 true,
                 true},
        FillCase{"OverlapOfTwoSquares", kOverlap, {1500, 1500}, false, true},
        FillCase{"OneOfTwoSquaresOnly", kOverlap, {2500, 2900}, true, true},
        FillCase{"LeftHalfOfBowTie", kBowTie, {300, 1000}, true, true},
        FillCase{"RightHalfOfBowTie", kBowTie, {1700, 1000}, true, true},
        FillCase{"BetweenTheBowTiesHalves", kBowTie, {1000, 300}, false, false},
        // Along a curve the outline may be off by the cutting tolerance, no more.
        FillCase{"JustInsideCurve", kLens, {1000, 498}, true, true},
        FillCase{"JustOutsideCurve", kLens, {1000, 502}, false, false},
        FillCase{"InsideCurveNearItsEnd", kLens, {200, 178}, true, true},
        FillCase{"OutsideCurveNearItsEnd", kLens, {200, 182}, false, false},
        FillCase{"OnLensChord", kLens, {1000, 0}, true, true}),
    [](const auto& p) { return std::string(p.param.name); });

struct StrokeCase {
    const char* name;
    Contour line;
    bool closed;
    double width;
    Point point;
    bool hit;
};

class HitStroke : public ::testing::TestWithParam<StrokeCase> {};

TEST_P(HitStroke, HitsWithinHalfTheWidth) {
    const StrokeCase& c = GetParam();
    const StrokeOutline outline(c.line, c.closed, c.width);
    GridPoint q;
    ASSERT_TRUE(toGrid(c.point, q));
    EXPECT_EQ(outline.contains(q), c.hit);
}

// 200 twips wide along y = 0 from x = 0 to 2000.
const Contour kBar{line({0, 0}, {2000, 0})};
// Right, then down at a right angle.
const Contour kCorner{line({0, 0}, {1000, 0}), line({1000, 0}, {1000, 1000})};
// Right, then almost straight back: a miter would reach 40 half-widths out.
const Contour kSpike{line({0, 0}, {1000, 0}), line({1000, 0}, {0, 50})};
// The lens's curve: its lowest point (1000, 500), level there.
const Contour kArc{curve({0, 0}, {1000, 1000}, {2000, 0})};
const Contour kBox = square(0, 0, 1000);

INSTANTIATE_TEST_SUITE_P(
    Lines, HitStroke,
    ::testing::Values(
        StrokeCase{"OnTheLine", kBar, false, 200, {1000, 0}, true},
        StrokeCase{"WithinHalfTheWidth", kBar, false, 200, {1000, 99}, true},
        StrokeCase{"AtHalfTheWidth", kBar, false, 200, {1000, -100}, true},
        StrokeCase{"BeyondHalfTheWidth", kBar, false, 200, {1000, 101}, false},
        StrokeCase{"NearTheEnd", kBar, false, 200, {1990, 90}, true},
        StrokeCase{"AtTheEnd", kBar, false, 200, {2000, 50}, true},
        StrokeCase{"JustBeyondTheEnd", kBar, false, 200, {2010, 0}, false},
        StrokeCase{"JustBeforeTheStart", kBar, false, 200, {-10, 50}, false},
        StrokeCase{"IntoTheMiter", kCorner, false, 200, {1095, -95}, true},
        StrokeCase{"BeyondTheMiter", kCorner, false, 200, {1105, -105}, false},
        StrokeCase{"InsideTheCorner", kCorner, false, 200, {900, 100}, true},
        StrokeCase{"BevelledSpike", kSpike, false, 200, {1030, 0}, false},
        StrokeCase{"BesideTheSpike", kSpike, false, 200, {990, 0}, true},
        StrokeCase{"ClosedCorner", kBox, true, 200, {-95, -95}, true},
        StrokeCase{"OpenEndsAtTheStart", kBox, false, 200, {-50, -50}, false},
        StrokeCase{"InTheBoxsHole", kBox, true, 200, {500, 500}, false},
        StrokeCase{"InsideTheBoxsLine", kBox, true, 200, {500, 950}, true},
        StrokeCase{"OnTheCurve", kArc, false, 40, {1000, 500}, true},
        StrokeCase{"WithinHalfTheWidthOfTheCurve", kArc, false, 40, {1000, 519}, true},
        StrokeCase{"BeyondHalfTheWidthOfTheCurve", kArc, false, 40, {1000, 522}, false},
        StrokeCase{"InsideTheCurvesBend", kArc, false, 40, {1000, 481}, true},
        StrokeCase{"FarInsideTheCurvesBend", kArc, false, 40, {1000, 477}, false},
        StrokeCase{"BeyondTheCurvesEnd", kArc, false, 40, {-12, -12}, false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(HitOutline, PointsThatAreNoNumbersHaveNoPlace) {
    GridPoint q;
    EXPECT_FALSE(toGrid(Point{std::nan(""), 0}, q));
    EXPECT_FALSE(toGrid(Point{0, std::numeric_limits<double>::infinity()}, q));
}

} // namespace
} // namespace kinovex::flash
