#pragma once
// Whether a point lies on a shape as it is drawn: inside the area of a fill by the shape's fill
// rule, or within half the width of a line. Outlines are kept with curves cut into straight
// pieces at most kHitTolerance off the true curve, and with every point on a grid of 1/256
// twip. The point asked about is put on the same grid, so a point that lies on an outline, as
// a mouse position in whole pixels often does on an upright edge, counts however the matrices
// that brought it there rounded it.

#include "engine/definitions/ShapeGeometry.h"

#include <cstdint>
#include <vector>

namespace kinovex::flash {

// Twips: curves are cut finely enough that no piece strays further from them.
constexpr double kHitTolerance = 0.5;

// A position in 1/256 twip.
struct GridPoint {
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool operator==(const GridPoint&) const = default;
};

// The nearest grid position; false for a point that is not a number.
bool toGrid(Point p, GridPoint& out);

// The area of one fill style: its contours, each closed back to its start. A point on the
// outline is inside.
class FillOutline {
public:
    explicit FillOutline(const std::vector<Contour>& contours);

    // By the non-zero winding rule, or else even-odd.
    bool contains(GridPoint q, bool nonZero) const;
    bool empty() const { return m_points.empty(); }

private:
    std::vector<GridPoint> m_points; // every contour's points, its first not repeated at its end
    std::vector<std::size_t> m_ends; // where each contour ends in m_points
};

// One line drawn along joined edges, `width` twips wide. Its ends are cut square at the end
// points; where two edges meet, the corner is mitred, or bevelled where the miter would reach
// further than kMiterLimit half-widths; a curve bends round. A closed line meets itself at its
// start with a corner too.
class StrokeOutline {
public:
    static constexpr double kMiterLimit = 10.0;

    StrokeOutline(const Contour& line, bool closed, double width);

    bool contains(GridPoint q) const;
    double width() const { return m_halfWidth * 2; }

private:
    // A straight piece, its end points in twips on the grid.
    struct Piece {
        Point from;
        Point to;
    };
    // A corner where two edges meet: the triangle of its bevel or the four corners out to its
    // miter's tip, in order round it.
    struct Patch {
        Point corners[4];
        int count = 0;
    };
    // Round, within half the width of `at`, in the angle (under a half turn) from the
    // direction `from` round to `to`: where the pieces of a curve meet, and between a curve's
    // end piece and its true direction at that end.
    struct Bend {
        Point at;
        Point from;
        Point to;
    };

    void addPieces(const std::vector<Point>& points);
    void addCorner(Point at, Point in, Point out);
    // Round on the outer side where the direction `in` turns to `out`.
    void addSliver(Point at, Point in, Point out);
    bool inPiece(const Piece& piece, Point q) const;
    bool inBend(const Bend& bend, Point q) const;
    static bool inPatch(const Patch& patch, Point q);

    double m_halfWidth = 0;
    std::vector<Piece> m_pieces;
    std::vector<Patch> m_patches;
    std::vector<Bend> m_bends;
};

} // namespace kinovex::flash
