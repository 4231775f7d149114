#include "engine/display/HitOutline.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash {

namespace {

constexpr double kGrid = 256.0; // grid steps per twip
// Grid positions stay within this, so that the products of two differences fit 64 bits.
constexpr double kGridLimit = 1073741824.0; // 2^30: some 4 million twips either way
// No curve is cut into more pieces than this, however large.
constexpr double kMaxCuts = 1024.0;

std::int64_t gridOf(double v) {
    return static_cast<std::int64_t>(
        std::nearbyint(std::clamp(v * kGrid, -kGridLimit, kGridLimit)));
}

GridPoint snap(Point p) {
    return GridPoint{gridOf(p.x), gridOf(p.y)};
}

Point twipsOf(GridPoint g) {
    return Point{static_cast<double>(g.x) / kGrid, static_cast<double>(g.y) / kGrid};
}

// Where an edge is cut into straight pieces: the points after its start, its end last.
void cutEdge(const Edge& e, std::vector<GridPoint>& out) {
    if (e.curve) {
        // A quadratic strays from the chords of n equal steps by at most |bend| / (4 n^2).
        const double bend =
            std::hypot(e.from.x - 2 * e.control.x + e.to.x, e.from.y - 2 * e.control.y + e.to.y);
        const int n = static_cast<int>(
            std::clamp(std::ceil(std::sqrt(bend / (4 * kHitTolerance))), 1.0, kMaxCuts));
        for (int i = 1; i < n; ++i) {
            const double t = static_cast<double>(i) / n;
            const double a = (1 - t) * (1 - t), b = 2 * t * (1 - t), c = t * t;
            out.push_back(snap(Point{a * e.from.x + b * e.control.x + c * e.to.x,
                                     a * e.from.y + b * e.control.y + c * e.to.y}));
        }
    }
    out.push_back(snap(e.to));
}

int signOf(std::int64_t v) {
    return (v > 0) - (v < 0);
}

// Where the line from `top` down to `bottom` passes at q's height, against q: negative left of
// q, positive right of it, 0 through it.
int sideAt(GridPoint top, GridPoint bottom, GridPoint q) {
    const std::int64_t ex = bottom.x - top.x;
    const std::int64_t dx = q.x - top.x;
    if (ex == 0) {
        return signOf(-dx);
    }
    if ((ex < 0) != (dx < 0)) {
        return signOf(ex);
    }
    const std::int64_t lhs = (q.y - top.y) * ex;
    const std::int64_t rhs = dx * (bottom.y - top.y);
    return (lhs > rhs) - (lhs < rhs);
}

// Counts the edge a -> b into `winding` when it crosses the horizontal left of q: +1 running
// down, -1 running up. An edge counts from its top end, its bottom end left out, so where two
// edges meet on the line only one of them counts. True when q lies on the edge.
bool onEdge(GridPoint a, GridPoint b, GridPoint q, int& winding) {
    int dir = 1;
    if (b.y < a.y) {
        std::swap(a, b);
        dir = -1;
    }
    if (a == q || b == q) {
        return true;
    }
    const bool beside =
        b.y < q.y || a.y > q.y || (a.x > q.x && b.x > q.x) || (a.x < q.x && b.x < q.x);
    if (!beside && sideAt(a, b, q) == 0) {
        return true;
    }
    if (b.y <= q.y || a.y > q.y || (a.x >= q.x && b.x >= q.x)) {
        return false;
    }
    if ((a.x <= q.x && b.x <= q.x) || sideAt(a, b, q) < 0) {
        winding += dir;
    }
    return false;
}

double cross(Point a, Point b) {
    return a.x * b.y - a.y * b.x;
}

double dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y;
}

Point minus(Point a, Point b) {
    return Point{a.x - b.x, a.y - b.y};
}

Point unit(Point v) {
    const double length = std::hypot(v.x, v.y);
    return length > 0 ? Point{v.x / length, v.y / length} : Point{};
}

// A quarter turn of `v`: to its left when y runs up.
Point normal(Point v) {
    return Point{-v.y, v.x};
}

} // namespace

bool toGrid(Point p, GridPoint& out) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
        return false;
    }
    out = snap(p);
    return true;
}

FillOutline::FillOutline(const std::vector<Contour>& contours) {
    std::vector<GridPoint> cuts;
    for (const Contour& contour : contours) {
        if (contour.empty()) {
            continue;
        }
        const std::size_t start = m_points.size();
        m_points.push_back(snap(contour.front().from));
        for (const Edge& e : contour) {
            cuts.clear();
            cutEdge(e, cuts);
            for (const GridPoint& p : cuts) {
                if (!(p == m_points.back())) {
                    m_points.push_back(p);
                }
            }
        }
        if (m_points.size() > start + 1 && m_points.back() == m_points[start]) {
            m_points.pop_back(); // the closing edge goes back to the start by itself
        }
        m_ends.push_back(m_points.size());
    }
}

bool FillOutline::contains(GridPoint q, bool nonZero) const {
    int winding = 0;
    std::size_t start = 0;
    for (const std::size_t end : m_ends) {
        for (std::size_t i = start; i < end; ++i) {
            const GridPoint& b = m_points[i + 1 < end ? i + 1 : start];
            if (onEdge(m_points[i], b, q, winding)) {
                return true;
            }
        }
        start = end;
    }
    return nonZero ? winding != 0 : winding % 2 != 0;
}

StrokeOutline::StrokeOutline(const Contour& line, bool closed, double width)
    : m_halfWidth(width / 2) {
    // The edges that have a length: their points on the grid and their directions at each end.
    struct Run {
        std::vector<Point> points;
        Point startTangent;
        Point endTangent;
    };
    std::vector<Run> runs;
    std::vector<GridPoint> cuts;
    for (const Edge& e : line) {
        const GridPoint from = snap(e.from);
        cuts.assign(1, from);
        cutEdge(e, cuts);
        Run run;
        for (const GridPoint& p : cuts) {
            if (run.points.empty() || !(twipsOf(p) == run.points.back())) {
                run.points.push_back(twipsOf(p));
            }
        }
        if (run.points.size() < 2) {
            continue; // a point: nothing to draw, and no corner with its neighbours
        }
        const Point start = run.points.front();
        const Point end = run.points.back();
        const Point control = twipsOf(snap(e.control));
        run.startTangent =
            unit(e.curve && !(control == start) ? minus(control, start) : minus(end, start));
        run.endTangent =
            unit(e.curve && !(control == end) ? minus(end, control) : minus(end, start));
        runs.push_back(std::move(run));
    }
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const Run& run = runs[k];
        addPieces(run.points);
        const std::size_t last = run.points.size() - 1;
        addSliver(run.points.front(), run.startTangent,
                  unit(minus(run.points[1], run.points.front())));
        addSliver(run.points.back(), unit(minus(run.points.back(), run.points[last - 1])),
                  run.endTangent);
        if (k > 0) {
            addCorner(run.points.front(), runs[k - 1].endTangent, run.startTangent);
        }
    }
    if (closed && !runs.empty()) {
        addCorner(runs.front().points.front(), runs.back().endTangent, runs.front().startTangent);
    }
}

void StrokeOutline::addPieces(const std::vector<Point>& points) {
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        m_pieces.push_back(Piece{points[i], points[i + 1]});
        if (i > 0) {
            // Round where the pieces of a curve meet.
            addSliver(points[i], unit(minus(points[i], points[i - 1])),
                      unit(minus(points[i + 1], points[i])));
        }
    }
}

void StrokeOutline::addSliver(Point at, Point in, Point out) {
    const double turn = cross(in, out);
    if (turn == 0) {
        if (dot(in, out) < 0) {
            // Turning right back: round ahead, in two quarters.
            m_bends.push_back(Bend{at, normal(in), in});
            m_bends.push_back(Bend{at, in, Point{-normal(in).x, -normal(in).y}});
        }
        return;
    }
    // Round on the outer side of the turn, between the two pieces' ends.
    const double side = turn > 0 ? -1 : 1;
    const Point a = normal(in);
    const Point b = normal(out);
    m_bends.push_back(Bend{at, Point{side * a.x, side * a.y}, Point{side * b.x, side * b.y}});
}

void StrokeOutline::addCorner(Point at, Point in, Point out) {
    const double turn = cross(in, out);
    if (turn == 0) {
        return; // straight on, or right back: the pieces' own ends meet
    }
    const double side = turn > 0 ? -1 : 1;
    const double h = m_halfWidth * side;
    const Point a = normal(in);
    const Point b = normal(out);
    Patch patch;
    patch.corners[0] = at;
    patch.corners[1] = Point{at.x + h * a.x, at.y + h * a.y};
    const double meet = 1 + dot(in, out);
    if (kMiterLimit * kMiterLimit * meet >= 2) {
        // The tip where the two outer edges meet: along the middle of the normals.
        patch.corners[2] = Point{at.x + h * (a.x + b.x) / meet, at.y + h * (a.y + b.y) / meet};
        patch.corners[3] = Point{at.x + h * b.x, at.y + h * b.y};
        patch.count = 4;
    } else {
        patch.corners[2] = Point{at.x + h * b.x, at.y + h * b.y};
        patch.count = 3;
    }
    m_patches.push_back(patch);
}

bool StrokeOutline::inPiece(const Piece& piece, Point q) const {
    const Point d = minus(piece.to, piece.from);
    const Point w = minus(q, piece.from);
    const double along = dot(w, d);
    const double length2 = dot(d, d);
    if (along < 0 || along > length2) {
        return false; // beyond a square end
    }
    const double across = cross(d, w);
    return across * across <= m_halfWidth * m_halfWidth * length2;
}

bool StrokeOutline::inBend(const Bend& bend, Point q) const {
    const Point d = minus(q, bend.at);
    if (dot(d, d) > m_halfWidth * m_halfWidth) {
        return false;
    }
    // Within the angle (less than a half turn) from `from` round to `to`.
    const double span = cross(bend.from, bend.to);
    return cross(bend.from, d) * span >= 0 && cross(d, bend.to) * span >= 0;
}

bool StrokeOutline::inPatch(const Patch& patch, Point q) {
    bool left = false;
    bool right = false;
    for (int i = 0; i < patch.count; ++i) {
        const Point& a = patch.corners[i];
        const Point& b = patch.corners[(i + 1) % patch.count];
        const double side = cross(minus(b, a), minus(q, a));
        left = left || side > 0;
        right = right || side < 0;
    }
    return !(left && right);
}

bool StrokeOutline::contains(GridPoint g) const {
    const Point q = twipsOf(g);
    return std::any_of(m_pieces.begin(), m_pieces.end(),
                       [&](const Piece& p) { return inPiece(p, q); }) ||
           std::any_of(m_patches.begin(), m_patches.end(),
                       [&](const Patch& p) { return inPatch(p, q); }) ||
           std::any_of(m_bends.begin(), m_bends.end(), [&](const Bend& b) { return inBend(b, q); });
}

} // namespace kinovex::flash
