#include "engine/render/Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kinovex::flash {

namespace {

// Curves are cut into at most this many pieces, however large they are on screen.
constexpr int kMaxCurvePieces = 512;

bool finite(Point p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// sqrt(x * x + y * y), and std::hypot's care with huge and tiny values only where the squares
// would leave the range of a double; that care costs more than the rest of a line's segment.
inline double length(double x, double y) {
    const double squared = x * x + y * y;
    return squared < 1e300 && squared > 1e-300 ? std::sqrt(squared) : std::hypot(x, y);
}

// How many pieces a circle of radius r needs to stay within `tolerance` of the true one.
double arcStep(double r, double tolerance) {
    if (!(r > tolerance)) {
        return std::numbers::pi / 2;
    }
    return std::clamp(2.0 * std::acos(1.0 - tolerance / r), 0.01, std::numbers::pi / 2);
}

} // namespace

// ---- FlatPath ----------------------------------------------------------------------------

void FlatPath::clear() {
    points.clear();
    smooth.clear();
    lines.clear();
}

void FlatPath::moveTo(Point p) {
    lines.push_back(Polyline{points.size(), 0, false});
    lineTo(p);
}

void FlatPath::lineTo(Point p, bool inCurve) {
    if (lines.empty()) {
        moveTo(p);
        return;
    }
    if (lines.back().closed) {
        // Drawing on after a close starts again where the closed line began.
        const Polyline closed = lines.back();
        lines.push_back(Polyline{points.size(), 0, false});
        if (closed.count > 0) {
            lineTo(points[closed.first]);
        }
    }
    if (!finite(p)) {
        return; // a damaged point is left out rather than spoiling the whole path
    }
    if (points.empty()) {
        minX = maxX = p.x;
        minY = maxY = p.y;
    } else {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    points.push_back(p);
    smooth.push_back(inCurve ? 1 : 0);
    ++lines.back().count;
}

void FlatPath::close() {
    if (!lines.empty()) {
        lines.back().closed = true;
    }
}

void FlatPath::curveTo(Point c1, Point c2, Point to, double tolerance) {
    if (lines.empty() || lines.back().count == 0) {
        moveTo(c1); // no point to start from: the curve starts at its first control point
    } else if (lines.back().closed) {
        lineTo(points[lines.back().first]);
    }
    if (lines.back().count == 0) {
        lineTo(to);
        return;
    }
    const Point from = points.back();
    // A cubic's distance from its chord pieces is at most 3/4 of its largest second difference
    // over the square of the number of pieces.
    const double ddx =
        std::max(std::abs(from.x - 2 * c1.x + c2.x), std::abs(c1.x - 2 * c2.x + to.x));
    const double ddy =
        std::max(std::abs(from.y - 2 * c1.y + c2.y), std::abs(c1.y - 2 * c2.y + to.y));
    const double dd = length(ddx, ddy);
    const double pieces = std::ceil(std::sqrt(0.75 * dd / std::max(tolerance, 1e-3)));
    const int n =
        std::isfinite(pieces) ? std::clamp(static_cast<int>(pieces), 1, kMaxCurvePieces) : 1;
    for (int i = 1; i < n; ++i) {
        const double t = static_cast<double>(i) / n;
        const double u = 1.0 - t;
        const double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
        lineTo(Point{w0 * from.x + w1 * c1.x + w2 * c2.x + w3 * to.x,
                     w0 * from.y + w1 * c1.y + w2 * c2.y + w3 * to.y},
               true);
    }
    lineTo(to);
}

void FlatPath::quadTo(Point control, Point to, double tolerance) {
    const Point from = lines.empty() || lines.back().count == 0 ? control
                       : lines.back().closed                    ? points[lines.back().first]
                                                                : points.back();
    curveTo(
        Point{from.x + 2.0 / 3.0 * (control.x - from.x), from.y + 2.0 / 3.0 * (control.y - from.y)},
        Point{to.x + 2.0 / 3.0 * (control.x - to.x), to.y + 2.0 / 3.0 * (control.y - to.y)}, to,
        tolerance);
}

// ---- Rasterizer --------------------------------------------------------------------------

void Rasterizer::reset(int x0, int y0, int x1, int y1) {
    m_x0 = x0;
    m_y0 = y0;
    m_w = std::max(0, x1 - x0);
    m_h = std::max(0, y1 - y0);
    const std::size_t size = cellStride() * static_cast<std::size_t>(m_h);
    if (m_cells.size() < size) {
        m_cells.resize(size); // zeroed; resolve() leaves every cell it reads at zero
    }
}

void Rasterizer::addLine(Point a, Point b) {
    if (!finite(a) || !finite(b) || m_h == 0) {
        return;
    }
    double ax = a.x - m_x0, ay = a.y - m_y0, bx = b.x - m_x0, by = b.y - m_y0;
    if (ay == by || (ay <= 0 && by <= 0) || (ay >= m_h && by >= m_h)) {
        return; // flat, or wholly above or below: changes no pixel of the region
    }
    // Left of the region an edge still covers everything right of it, so it is moved onto the
    // left border; right of the region it covers nothing there and lands in the column beyond.
    // An edge crossing a border is cut there first so each part keeps its own slope.
    const double w = m_w;
    if (ax >= 0.0 && bx >= 0.0 && ax <= w && bx <= w) {
        accumulate(ax, ay, bx, by); // within the columns: nothing to cut
        return;
    }
    double cuts[3] = {1.0, 1.0, 1.0};
    int n = 0;
    if (ax != bx) {
        for (double border : {0.0, w}) {
            const double t = (border - ax) / (bx - ax);
            if (t > 0.0 && t < 1.0) {
                cuts[n++] = t;
            }
        }
    }
    if (n == 2 && cuts[1] < cuts[0]) {
        std::swap(cuts[0], cuts[1]);
    }
    cuts[n++] = 1.0;
    double px = ax, py = ay;
    for (int i = 0; i < n; ++i) {
        const double t = cuts[i];
        const double qx = t == 1.0 ? bx : ax + (bx - ax) * t;
        const double qy = t == 1.0 ? by : ay + (by - ay) * t;
        accumulate(std::clamp(px, 0.0, w), py, std::clamp(qx, 0.0, w), qy);
        px = qx;
        py = qy;
    }
}

namespace {

// Calls `row(cells, lo, hi, d)` for each row of pixels an edge crosses, from (x, top) down to
// `bottom` at `dxdy` pixels across per pixel down: the edge enters and leaves the row between
// lo and hi, and d is its height in the row, negative for edges running up.
template <typename Row>
inline void eachRow(float* cells, std::size_t stride, double top, double bottom, double x,
                    double dxdy, double dir, double w, Row&& row) {
    const int firstRow = static_cast<int>(top);
    const int endRow = static_cast<int>(std::ceil(bottom));
    cells += static_cast<std::size_t>(firstRow) * stride;
    for (int r = firstRow; r < endRow; ++r, cells += stride) {
        const double y0 = r == firstRow ? top : static_cast<double>(r);
        const double y1 = r + 1 == endRow ? bottom : r + 1.0;
        const double dy = y1 - y0;
        // Rounding can carry x a hair past the borders; the column beyond absorbs it.
        const double xNext = std::clamp(x + dxdy * dy, 0.0, w);
        row(cells, std::min(x, xNext), std::max(x, xNext), dir * dy);
        x = xNext;
    }
}

} // namespace

void Rasterizer::accumulate(double ax, double ay, double bx, double by) {
    if (ay == by) {
        return;
    }
    double dir = 1.0;
    if (ay > by) {
        std::swap(ax, bx);
        std::swap(ay, by);
        dir = -1.0;
    }
    const double top = std::max(ay, 0.0);
    const double bottom = std::min(by, static_cast<double>(m_h));
    if (top >= bottom) {
        return;
    }
    const double dxdy = (bx - ax) / (by - ay);
    const double x = ax + (top - ay) * dxdy;
    const std::size_t stride = cellStride();
    if (std::abs(dxdy) <= 1.0) {
        // A steep edge crosses one pixel of a row or two. Its share of the row goes to three
        // cells the same way either way, without deciding which it is: the part of the edge
        // left of the first pixel's right side (a share f of it) leaves the first pixel
        // covered right of its middle, the rest (g) takes the part of the next pixel right of
        // its middle from the pixel after, and the second cell makes the row's sum whole.
        eachRow(m_cells.data(), stride, top, bottom, x, dxdy, dir, m_w,
                [](float* cells, double lo, double hi, double d) {
                    const int first = static_cast<int>(lo);
                    const double side = first + 1.0;
                    const double length = hi - lo;
                    const double leftEnd = std::min(hi, side);
                    const double rightStart = std::max(lo, side);
                    const double f = length > 0.0 ? (leftEnd - lo) / length : 1.0;
                    const double inFirst = d * f * (side - 0.5 * (lo + leftEnd));
                    const double inThird = d * (1.0 - f) * (0.5 * (hi + rightStart) - side);
                    cells[first] += static_cast<float>(inFirst);
                    cells[first + 1] += static_cast<float>(d - inFirst - inThird);
                    cells[first + 2] += static_cast<float>(inThird);
                });
        return;
    }
    eachRow(m_cells.data(), stride, top, bottom, x, dxdy, dir, m_w,
            [](float* cells, double lo, double hi, double d) {
                const int first = static_cast<int>(lo);
                if (hi <= first + 1.0) {
                    // Within one pixel: the part of it right of the edge's middle is covered.
                    const double mid = 0.5 * (lo + hi) - first;
                    cells[first] += static_cast<float>(d * (1.0 - mid));
                    cells[first + 1] += static_cast<float>(d * mid);
                    return;
                }
                // Across several pixels: pixel j is covered by the mean over the edge of the
                // part of [j, j + 1) right of it, and each cell holds the step from the pixel
                // before. The first and the last pixel the edge crosses have a triangle of it
                // left of the edge; every pixel between adds the same strip, so the steps
                // there are all alike.
                const int last = static_cast<int>(std::ceil(hi));
                const double perPixel = d / (hi - lo);
                const double head = 1.0 - (lo - first); // of the first pixel, right of lo
                const double tail = 1.0 - (last - hi);  // of the last pixel, left of hi
                const double firstStep = 0.5 * head * head * perPixel;
                const double lastStep = 0.5 * tail * tail * perPixel;
                cells[first] += static_cast<float>(firstStep);
                if (last == first + 2) {
                    cells[first + 1] += static_cast<float>(d - firstStep - lastStep);
                } else {
                    // Covered up to the second pixel, then a whole pixel's worth more each.
                    const double second = (head + 0.5) * perPixel;
                    cells[first + 1] += static_cast<float>(second - firstStep);
                    const auto step = static_cast<float>(perPixel);
                    for (int j = first + 2; j < last - 1; ++j) {
                        cells[j] += step;
                    }
                    const double beforeLast = second + (last - first - 3) * perPixel;
                    cells[last - 1] += static_cast<float>(d - beforeLast - lastStep);
                }
                cells[last] += static_cast<float>(lastStep);
            });
}

void Rasterizer::addOriented(const Point* p, std::size_t count) {
    if (count < 3) {
        return;
    }
    double area = 0.0;
    for (std::size_t i = 0, j = count - 1; i < count; j = i++) {
        area += (p[j].x - p[i].x) * (p[j].y + p[i].y);
    }
    if (!(std::abs(area) > 0.0)) {
        return;
    }
    if (area > 0.0) {
        for (std::size_t i = 0, j = count - 1; i < count; j = i++) {
            addLine(p[j], p[i]);
        }
    } else {
        for (std::size_t i = 0, j = count - 1; i < count; j = i++) {
            addLine(p[i], p[j]);
        }
    }
}

void Rasterizer::addPolygon(const Point* points, std::size_t count) {
    for (std::size_t i = 0, j = count - 1; i < count; j = i++) {
        addLine(points[j], points[i]);
    }
}

void Rasterizer::fill(const FlatPath& path) {
    for (const FlatPath::Polyline& line : path.lines) {
        if (line.count >= 2) {
            addPolygon(path.points.data() + line.first, line.count);
        }
    }
}

void Rasterizer::cap(Point at, Point e, double r, CapStyle style, double tolerance) {
    const Point n{-e.y * r, e.x * r};
    m_scratch.clear();
    if (style == CapStyle::Square) {
        m_scratch = {
            Point{at.x + n.x, at.y + n.y}, Point{at.x + n.x + e.x * r, at.y + n.y + e.y * r},
            Point{at.x - n.x + e.x * r, at.y - n.y + e.y * r}, Point{at.x - n.x, at.y - n.y}};
    } else if (style == CapStyle::Round) {
        // Half a circle from one side of the line round its end to the other.
        const int steps = static_cast<int>(std::ceil(std::numbers::pi / arcStep(r, tolerance)));
        for (int i = 0; i <= steps; ++i) {
            const double phi = std::numbers::pi * i / steps;
            const double c = std::cos(phi), s = std::sin(phi);
            m_scratch.push_back(Point{at.x + n.x * c + e.x * r * s, at.y + n.y * c + e.y * r * s});
        }
    }
    addOriented(m_scratch.data(), m_scratch.size());
}

void Rasterizer::dot(Point at, double r, CapStyle style, double tolerance) {
    // A line of no length: a round cap makes a dot, a square one a square, no cap nothing.
    if (style == CapStyle::None) {
        return;
    }
    m_scratch.clear();
    if (style == CapStyle::Square) {
        m_scratch = {Point{at.x - r, at.y - r}, Point{at.x + r, at.y - r},
                     Point{at.x + r, at.y + r}, Point{at.x - r, at.y + r}};
    } else {
        const int steps = static_cast<int>(std::ceil(2 * std::numbers::pi / arcStep(r, tolerance)));
        for (int i = 0; i < steps; ++i) {
            const double phi = 2 * std::numbers::pi * i / steps;
            m_scratch.push_back(Point{at.x + r * std::cos(phi), at.y + r * std::sin(phi)});
        }
    }
    addOriented(m_scratch.data(), m_scratch.size());
}

void Rasterizer::join(Point at, Point d0, Point d1, double r, const StrokeStyle& style,
                      bool smooth) {
    const double cross = d0.x * d1.y - d0.y * d1.x;
    const double cosTurn = d0.x * d1.x + d0.y * d1.y;
    if (std::abs(cross) < 1e-12 && cosTurn > 0) {
        return; // straight on
    }
    // The offsets of the two segments' ends on the outside of the bend; the inside is covered
    // by the segments themselves.
    const double side = cross > 0 ? -r : r;
    const Point o0{-d0.y * side, d0.x * side};
    const Point o1{-d1.y * side, d1.x * side};
    m_scratch.clear();
    m_scratch.push_back(at);
    m_scratch.push_back(Point{at.x + o0.x, at.y + o0.y});
    const JoinStyle join = smooth ? JoinStyle::Round : style.join;
    if (join == JoinStyle::Round) {
        const double angle = std::atan2(o0.x * o1.y - o0.y * o1.x, o0.x * o1.x + o0.y * o1.y);
        const int steps =
            static_cast<int>(std::ceil(std::abs(angle) / arcStep(r, style.tolerance)));
        for (int i = 1; i < steps; ++i) {
            const double phi = angle * i / steps;
            const double c = std::cos(phi), s = std::sin(phi);
            m_scratch.push_back(Point{at.x + o0.x * c - o0.y * s, at.y + o0.x * s + o0.y * c});
        }
    } else if (join == JoinStyle::Miter) {
        // The miter's length over the line's half width is 1 / cos(turn / 2); past the limit
        // the corner is cut off as a bevel.
        const double limit = std::max(1.0, style.miterLimit);
        if ((1.0 + cosTurn) * limit * limit >= 2.0 && 1.0 + cosTurn > 1e-12) {
            const double k = 1.0 / (1.0 + cosTurn);
            m_scratch.push_back(Point{at.x + (o0.x + o1.x) * k, at.y + (o0.y + o1.y) * k});
        }
    }
    m_scratch.push_back(Point{at.x + o1.x, at.y + o1.y});
    addOriented(m_scratch.data(), m_scratch.size());
}

void Rasterizer::stroke(const FlatPath& path, const StrokeStyle& style) {
    const double r = style.width / 2.0;
    if (!(r > 0.0) || !std::isfinite(r)) {
        return;
    }
    std::vector<Point>& pts = m_points;
    std::vector<std::uint8_t>& smooth = m_smooth;
    std::vector<Point>& dirs = m_dirs;
    std::vector<double>& lengths = m_lengths;
    for (const FlatPath::Polyline& line : path.lines) {
        // Points that repeat the one before add nothing and have no direction.
        pts.clear();
        smooth.clear();
        for (std::size_t i = line.first; i < line.first + line.count; ++i) {
            const Point& p = path.points[i];
            if (!pts.empty() && std::abs(p.x - pts.back().x) < 1e-9 &&
                std::abs(p.y - pts.back().y) < 1e-9) {
                continue;
            }
            pts.push_back(p);
            smooth.push_back(path.smooth[i]);
        }
        const bool closed = line.closed;
        if (closed && pts.size() > 2 && std::abs(pts.front().x - pts.back().x) < 1e-9 &&
            std::abs(pts.front().y - pts.back().y) < 1e-9) {
            pts.pop_back(); // the closing segment joins them anyway
            smooth.pop_back();
        }
        if (pts.empty()) {
            continue;
        }
        if (pts.size() == 1) {
            dot(pts[0], r, style.startCap, style.tolerance);
            continue;
        }
        const std::size_t n = pts.size();
        const std::size_t segments = closed ? n : n - 1;
        dirs.clear();
        lengths.clear();
        for (std::size_t i = 0; i < segments; ++i) {
            const Point a = pts[i];
            const Point b = pts[(i + 1) % n];
            lengths.push_back(length(b.x - a.x, b.y - a.y));
            dirs.push_back(Point{(b.x - a.x) / lengths.back(), (b.y - a.y) / lengths.back()});
        }
        // A bend inside a curve, gentle enough that the line's inner edge does not fold back
        // on itself there, needs no join: the outline runs on through it.
        auto runsThrough = [&](std::size_t v) {
            if (smooth[v] == 0) {
                return false;
            }
            const Point d0 = dirs[v - 1], d1 = dirs[v];
            const double cosTurn = d0.x * d1.x + d0.y * d1.y;
            const double sinTurn = std::abs(d0.x * d1.y - d0.y * d1.x);
            return cosTurn > 0 &&
                   r * sinTurn / (1.0 + cosTurn) < 0.5 * std::min(lengths[v - 1], lengths[v]);
        };
        for (std::size_t s0 = 0; s0 < segments;) {
            std::size_t s1 = s0;
            while (s1 + 1 < segments && runsThrough(s1 + 1)) {
                ++s1;
            }
            run(pts, s0, s1, r);
            if (s1 + 1 < segments) {
                join(pts[s1 + 1], dirs[s1], dirs[s1 + 1], r, style, smooth[s1 + 1] != 0);
            }
            s0 = s1 + 1;
        }
        if (closed) {
            join(pts[0], dirs.back(), dirs.front(), r, style, smooth[0] != 0);
        } else {
            cap(pts[0], Point{-dirs.front().x, -dirs.front().y}, r, style.startCap,
                style.tolerance);
            cap(pts[n - 1], dirs.back(), r, style.endCap, style.tolerance);
        }
    }
}

void Rasterizer::run(const std::vector<Point>& pts, std::size_t s0, std::size_t s1, double r) {
    // One outline for segments s0..s1: out along the left side, back along the right. Inside
    // the run each corner point sits where the two segments' sides meet; its ends are the
    // segments' own ends, which joins and caps meet edge to edge.
    const std::size_t n = pts.size();
    auto offset = [&](std::size_t v, double side) {
        const Point p = pts[v % n];
        if (v == s0 || v == s1 + 1) {
            const Point d = m_dirs[v == s0 ? s0 : s1];
            return Point{p.x - d.y * r * side, p.y + d.x * r * side};
        }
        const Point d0 = m_dirs[v - 1], d1 = m_dirs[v];
        const double k = r * side / (1.0 + d0.x * d1.x + d0.y * d1.y);
        return Point{p.x - (d0.y + d1.y) * k, p.y + (d0.x + d1.x) * k};
    };
    m_scratch.clear();
    for (std::size_t v = s0; v <= s1 + 1; ++v) {
        m_scratch.push_back(offset(v, 1.0));
    }
    for (std::size_t v = s1 + 2; v-- > s0;) {
        m_scratch.push_back(offset(v, -1.0));
    }
    addOriented(m_scratch.data(), m_scratch.size());
}

namespace {

template <FillRule kRule> inline std::uint8_t coverageOf(float sum) {
    float c = std::abs(sum);
    if constexpr (kRule == FillRule::NonZero) {
        c = std::min(c, 1.0f);
    } else {
        // Inside an even number of outlines is outside.
        c -= 2.0f * std::floor(c * 0.5f);
        c = c > 1.0f ? 2.0f - c : c;
    }
    return static_cast<std::uint8_t>(c * 255.0f + 0.5f);
}

#if defined(__SSE2__)
// Four coverages as four 32-bit integers 0..255, rounded as coverageOf rounds.
template <FillRule kRule> inline __m128i coverageOf4(__m128 sum) {
    __m128 c = _mm_andnot_ps(_mm_set1_ps(-0.0f), sum); // |sum|
    if constexpr (kRule == FillRule::NonZero) {
        c = _mm_min_ps(c, _mm_set1_ps(1.0f));
    } else {
        // c is not negative, so truncation is floor.
        const __m128 half = _mm_cvtepi32_ps(_mm_cvttps_epi32(_mm_mul_ps(c, _mm_set1_ps(0.5f))));
        c = _mm_sub_ps(c, _mm_add_ps(half, half));
        c = _mm_min_ps(c, _mm_sub_ps(_mm_set1_ps(2.0f), c));
    }
    return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(c, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f)));
}

// The running sum of four cells after `carry` (the sum so far in every lane); leaves the last
// lane's sum in every lane of `carry`.
inline __m128 prefixSum4(__m128 v, __m128& carry) {
    v = _mm_add_ps(v, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(v), 4)));
    v = _mm_add_ps(v, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(v), 8)));
    v = _mm_add_ps(v, carry);
    carry = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3));
    return v;
}
#endif

// The running sum along the row turned into coverage, sixteen cells at a time: stretches no
// edge passes are written at the coverage they have, the rest summed four lanes at a time.
template <FillRule kRule> void resolveRow(float* cells, std::uint8_t* out, int width) {
    int x = 0;
#if defined(__SSE2__)
    const __m128 zero = _mm_setzero_ps();
    __m128 carry = zero;
    __m128i still = _mm_setzero_si128(); // the coverage where nothing changes, in every byte
    for (; x + 16 <= width; x += 16) {
        float* c = cells + x;
        const __m128 v0 = _mm_loadu_ps(c);
        const __m128 v1 = _mm_loadu_ps(c + 4);
        const __m128 v2 = _mm_loadu_ps(c + 8);
        const __m128 v3 = _mm_loadu_ps(c + 12);
        const __m128 any = _mm_or_ps(_mm_or_ps(v0, v1), _mm_or_ps(v2, v3));
        // -0 counts as empty: its bits are only the sign bit.
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(
                _mm_castps_si128(_mm_andnot_ps(_mm_set1_ps(-0.0f), any)), _mm_setzero_si128())) ==
            0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), still);
            continue;
        }
        const __m128i c0 = coverageOf4<kRule>(prefixSum4(v0, carry));
        const __m128i c1 = coverageOf4<kRule>(prefixSum4(v1, carry));
        const __m128i c2 = coverageOf4<kRule>(prefixSum4(v2, carry));
        const __m128i c3 = coverageOf4<kRule>(prefixSum4(v3, carry));
        _mm_storeu_ps(c, zero);
        _mm_storeu_ps(c + 4, zero);
        _mm_storeu_ps(c + 8, zero);
        _mm_storeu_ps(c + 12, zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_packus_epi16(_mm_packs_epi32(c0, c1), _mm_packs_epi32(c2, c3)));
        const __m128i last = coverageOf4<kRule>(carry);
        still = _mm_packus_epi16(_mm_packs_epi32(last, last), _mm_packs_epi32(last, last));
    }
    for (; x + 4 <= width; x += 4) {
        const __m128i c0 = coverageOf4<kRule>(prefixSum4(_mm_loadu_ps(cells + x), carry));
        _mm_storeu_ps(cells + x, zero);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(c0, c0), c0);
        const auto four = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes));
        std::memcpy(out + x, &four, 4);
    }
    float sum = _mm_cvtss_f32(carry);
#else
    float sum = 0.0f;
#endif
    for (; x < width; ++x) {
        sum += cells[x];
        cells[x] = 0.0f;
        out[x] = coverageOf<kRule>(sum);
    }
    cells[width] = 0.0f;
    cells[width + 1] = 0.0f;
    cells[width + 2] = 0.0f;
}

} // namespace

void Rasterizer::resolve(std::uint8_t* mask, int stride, FillRule rule) {
    for (int row = 0; row < m_h; ++row) {
        float* cells = m_cells.data() + static_cast<std::size_t>(row) * cellStride();
        std::uint8_t* out = mask + static_cast<std::ptrdiff_t>(row) * stride;
        if (rule == FillRule::NonZero) {
            resolveRow<FillRule::NonZero>(cells, out, m_w);
        } else {
            resolveRow<FillRule::EvenOdd>(cells, out, m_w);
        }
    }
}

} // namespace kinovex::flash
