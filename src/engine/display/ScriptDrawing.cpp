#include "engine/display/ScriptDrawing.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace kinovex::flash {

namespace {

std::uint64_t nextSerial() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

// Farther than any stage reaches, near enough that a delta between two positions fits the
// records' 32-bit fields.
constexpr double kMaxPixels = 1e7;

} // namespace

ScriptDrawing::ScriptDrawing() : m_serial(nextSerial()) {
    m_styles.resize(1);
}

std::shared_ptr<ScriptDrawing> ScriptDrawing::copy() const {
    auto made = std::make_shared<ScriptDrawing>(*this);
    made->m_serial = nextSerial();
    return made;
}

std::int32_t ScriptDrawing::toTwips(double pixels) {
    if (!std::isfinite(pixels)) {
        return 0;
    }
    return static_cast<std::int32_t>(std::lround(std::clamp(pixels, -kMaxPixels, kMaxPixels) * 20));
}

void ScriptDrawing::changed() {
    ++m_version;
}

void ScriptDrawing::clear() {
    const bool had = m_edges != 0;
    m_styles.assign(1, StyleTable{});
    m_recs.clear();
    m_edges = 0;
    m_pen = Pen{};
    m_fillStart = Pen{};
    m_filling = false;
    m_fill = 0;
    m_line = 0;
    m_lineStyle.reset();
    m_usedFill = 0;
    m_usedLine = 0;
    m_layerUsed = false;
    m_moved = true;
    m_hasBounds = false;
    m_minX = m_minY = m_maxX = m_maxY = 0;
    if (had) {
        changed();
    }
}

void ScriptDrawing::setLineStyle(const std::optional<LineStyle>& line) {
    m_lineStyle = line;
    if (!line) {
        m_line = 0;
        return;
    }
    auto& lines = m_styles.back().lines;
    lines.push_back(*line);
    m_line = static_cast<std::uint32_t>(lines.size());
}

void ScriptDrawing::newLayer() {
    m_styles.emplace_back();
    ShapeRecord rec;
    rec.hasNewStyles = true;
    rec.styleTable = static_cast<std::uint32_t>(m_styles.size() - 1);
    m_recs.push_back(rec);
    m_usedFill = 0;
    m_usedLine = 0;
    m_layerUsed = false;
    m_moved = true; // the next edge says where it starts
    m_fill = 0;
    m_line = 0;
    if (m_lineStyle) {
        m_styles.back().lines.push_back(*m_lineStyle);
        m_line = 1;
    }
}

void ScriptDrawing::beginFill(const std::optional<FillStyle>& fill) {
    endFill();
    if (m_layerUsed) {
        newLayer();
    }
    m_filling = true;
    m_fillStart = m_pen;
    if (fill) {
        auto& fills = m_styles.back().fills;
        fills.push_back(*fill);
        m_fill = static_cast<std::uint32_t>(fills.size());
    }
}

void ScriptDrawing::endFill() {
    if (!m_filling) {
        return;
    }
    closeFill();
    m_filling = false;
    m_fill = 0;
}

void ScriptDrawing::closeFill() {
    if (m_fill == 0 || m_pen == m_fillStart) {
        return;
    }
    useStyles(m_fill, 0);
    ShapeRecord rec;
    rec.type = ShapeRecord::Type::Line;
    rec.anchorDx = m_fillStart.x - m_pen.x;
    rec.anchorDy = m_fillStart.y - m_pen.y;
    m_recs.push_back(rec);
    ++m_edges;
    m_layerUsed = true;
    m_pen = m_fillStart;
    changed();
}

void ScriptDrawing::useStyles(std::uint32_t fill, std::uint32_t line) {
    if (!m_moved && fill == m_usedFill && line == m_usedLine) {
        return;
    }
    ShapeRecord rec;
    if (m_moved) {
        rec.hasMove = true;
        rec.moveX = m_pen.x;
        rec.moveY = m_pen.y;
        m_moved = false;
    }
    if (fill != m_usedFill) {
        rec.hasFill1 = true;
        rec.fill1 = fill;
        m_usedFill = fill;
    }
    if (line != m_usedLine) {
        rec.hasLine = true;
        rec.line = line;
        m_usedLine = line;
    }
    m_recs.push_back(rec);
}

void ScriptDrawing::moveTo(double x, double y) {
    closeFill();
    m_pen = Pen{toTwips(x), toTwips(y)};
    m_moved = true;
    if (m_filling) {
        m_fillStart = m_pen;
    }
}

void ScriptDrawing::include(double x, double y, double grow) {
    if (!m_hasBounds) {
        m_minX = m_maxX = x;
        m_minY = m_maxY = y;
        m_hasBounds = true;
    }
    m_minX = std::min(m_minX, x - grow);
    m_minY = std::min(m_minY, y - grow);
    m_maxX = std::max(m_maxX, x + grow);
    m_maxY = std::max(m_maxY, y + grow);
}

void ScriptDrawing::addEdge(const ShapeRecord& edge, Pen to, Pen control) {
    const Pen from = m_pen;
    if (m_fill == 0 && m_line == 0) {
        // Nothing to fill or stroke: the pen only moves.
        m_pen = to;
        m_moved = true;
        return;
    }
    useStyles(m_fill, m_line);
    m_recs.push_back(edge);
    ++m_edges;
    m_layerUsed = true;
    m_pen = to;
    const double grow = m_line != 0 ? m_lineStyle->width / 2.0 : 0.0;
    include(from.x, from.y, grow);
    include(to.x, to.y, grow);
    if (edge.type == ShapeRecord::Type::Curve) {
        // Where the curve turns in x or in y: t = (p0 - p1) / (p0 - 2 p1 + p2).
        auto extreme = [](double p0, double p1, double p2, double& t) {
            const double d = p0 - 2 * p1 + p2;
            if (d == 0) {
                return false;
            }
            t = (p0 - p1) / d;
            return t > 0 && t < 1;
        };
        auto at = [](double p0, double p1, double p2, double t) {
            return (1 - t) * (1 - t) * p0 + 2 * (1 - t) * t * p1 + t * t * p2;
        };
        double t = 0;
        if (extreme(from.x, control.x, to.x, t)) {
            include(at(from.x, control.x, to.x, t), at(from.y, control.y, to.y, t), grow);
        }
        if (extreme(from.y, control.y, to.y, t)) {
            include(at(from.x, control.x, to.x, t), at(from.y, control.y, to.y, t), grow);
        }
    }
    changed();
}

void ScriptDrawing::lineTo(double x, double y) {
    const Pen to{toTwips(x), toTwips(y)};
    ShapeRecord rec;
    rec.type = ShapeRecord::Type::Line;
    rec.anchorDx = to.x - m_pen.x;
    rec.anchorDy = to.y - m_pen.y;
    addEdge(rec, to, to);
}

void ScriptDrawing::curveTo(double controlX, double controlY, double x, double y) {
    const Pen control{toTwips(controlX), toTwips(controlY)};
    const Pen to{toTwips(x), toTwips(y)};
    ShapeRecord rec;
    rec.type = ShapeRecord::Type::Curve;
    rec.controlDx = control.x - m_pen.x;
    rec.controlDy = control.y - m_pen.y;
    rec.anchorDx = to.x - control.x;
    rec.anchorDy = to.y - control.y;
    addEdge(rec, to, control);
}

Rect ScriptDrawing::bounds() const {
    if (!m_hasBounds) {
        return Rect{};
    }
    return Rect{static_cast<std::int32_t>(std::floor(m_minX)),
                static_cast<std::int32_t>(std::ceil(m_maxX)),
                static_cast<std::int32_t>(std::floor(m_minY)),
                static_cast<std::int32_t>(std::ceil(m_maxY))};
}

std::shared_ptr<const Shape> ScriptDrawing::shape() const {
    if (m_shape && m_shapeVersion == m_version) {
        return m_shape;
    }
    auto made = std::make_shared<Shape>();
    made->bounds = bounds();
    made->styles = m_styles;
    made->records = m_recs;
    if (m_filling && m_fill != 0 && m_pen != m_fillStart) {
        // The open fill as it would end now.
        ShapeRecord styles;
        if (m_moved) {
            styles.hasMove = true;
            styles.moveX = m_pen.x;
            styles.moveY = m_pen.y;
        }
        styles.hasFill1 = true;
        styles.fill1 = m_fill;
        styles.hasLine = true;
        styles.line = 0;
        made->records.push_back(styles);
        ShapeRecord close;
        close.type = ShapeRecord::Type::Line;
        close.anchorDx = m_fillStart.x - m_pen.x;
        close.anchorDy = m_fillStart.y - m_pen.y;
        made->records.push_back(close);
    }
    m_shape = std::move(made);
    m_shapeVersion = m_version;
    return m_shape;
}

} // namespace kinovex::flash
