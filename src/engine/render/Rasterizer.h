#pragma once
// Anti-aliased coverage of outlines and lines, computed exactly per pixel: every edge adds the
// signed area it leaves to its right in each pixel it crosses, and a running sum along each
// row turns those into coverage. Lines become polygons (a quadrilateral per segment, a wedge
// per join, a cap at each end) that all run the same way round, so where they overlap they add
// up to more than full coverage and are clamped, and where they meet edge to edge the shared
// edge cancels out and leaves no seam.

#include "engine/definitions/Characters.h"
#include "engine/definitions/ShapeGeometry.h"

#include <cstdint>
#include <vector>

namespace kinovex::flash {

// Outlines in device pixels: polylines, each open or closed.
struct FlatPath {
    struct Polyline {
        std::size_t first = 0; // into points
        std::size_t count = 0;
        bool closed = false;
    };
    std::vector<Point> points;
    // Per point: it lies inside a curve (a bend that only approximates a smooth curve).
    std::vector<std::uint8_t> smooth;
    std::vector<Polyline> lines;
    double minX = 0, minY = 0, maxX = 0, maxY = 0; // of all points; empty() when none

    void clear();
    bool empty() const { return points.empty(); }
    void moveTo(Point p);
    void lineTo(Point p, bool inCurve = false);
    void close();
    // Cubic from the current point, split so no piece strays more than `tolerance` pixels.
    void curveTo(Point c1, Point c2, Point to, double tolerance);
    void quadTo(Point control, Point to, double tolerance);
};

struct StrokeStyle {
    double width = 1.0; // device pixels
    CapStyle startCap = CapStyle::Round;
    CapStyle endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3.0;
    double tolerance = 0.1; // how far round parts may stray from the true circle, in pixels
};

enum class FillRule { NonZero, EvenOdd };

class Rasterizer {
public:
    // Starts a new picture over the pixels [x0, x1) x [y0, y1); what falls outside is cut off.
    void reset(int x0, int y0, int x1, int y1);
    int x0() const { return m_x0; }
    int y0() const { return m_y0; }
    int width() const { return m_w; }
    int height() const { return m_h; }

    // One edge, in device pixels. A closed polygon is a loop of edges.
    void addLine(Point a, Point b);
    void addPolygon(const Point* points, std::size_t count);
    // Every polyline closed and filled.
    void fill(const FlatPath& path);
    void stroke(const FlatPath& path, const StrokeStyle& style);

    // Writes the coverage of the region (0..255) with its top left at `mask`, and leaves the
    // region empty for the next picture.
    void resolve(std::uint8_t* mask, int stride, FillRule rule);

private:
    void accumulate(double ax, double ay, double bx, double by);
    // A polygon added whichever way round it was given, as if given clockwise on screen.
    void addOriented(const Point* points, std::size_t count);
    void cap(Point at, Point outward, double r, CapStyle cap, double tolerance);
    void join(Point at, Point d0, Point d1, double r, const StrokeStyle& style, bool smooth);
    void dot(Point at, double r, CapStyle cap, double tolerance);
    // The segments s0..s1 of a line (directions in m_dirs) as one outline.
    void run(const std::vector<Point>& pts, std::size_t s0, std::size_t s1, double r);

    // Cells per row: one per pixel, one beyond them for what lies right of the region, and
    // two that edges on the right border touch without adding anything.
    std::size_t cellStride() const { return static_cast<std::size_t>(m_w) + 3; }

    std::vector<float> m_cells; // cellStride() per row: area added at each pixel
    int m_x0 = 0, m_y0 = 0, m_w = 0, m_h = 0;
    std::vector<Point> m_scratch;
    // A line's points and its segments' directions and lengths, kept for their capacity.
    std::vector<Point> m_points;
    std::vector<std::uint8_t> m_smooth;
    std::vector<Point> m_dirs;
    std::vector<double> m_lengths;
};

} // namespace kinovex::flash
