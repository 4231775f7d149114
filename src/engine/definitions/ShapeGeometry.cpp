#include "engine/definitions/ShapeGeometry.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

namespace kinovex::flash {

namespace {

struct PointHash {
    std::size_t operator()(const Point& p) const {
        const auto hx = std::hash<double>{}(p.x);
        const auto hy = std::hash<double>{}(p.y);
        return hx ^ (hy * 0x9e3779b97f4a7c15ull);
    }
};

class LayerBuilder {
public:
    explicit LayerBuilder(std::uint32_t table) { m_layer.styleTable = table; }

    void addEdge(const Edge& e, std::uint32_t fill0, std::uint32_t fill1, std::uint32_t line) {
        if (fill0 != fill1) {
            if (fill1 != 0) {
                m_fills[fill1].push_back(e);
            }
            if (fill0 != 0) {
                m_fills[fill0].push_back(e.reversed());
            }
        }
        if (line != 0) {
            auto& lines = m_strokes[line];
            if (m_lastLine != line || lines.empty() || m_breakLine ||
                !(lines.back().back().to == e.from)) {
                lines.emplace_back();
            }
            lines.back().push_back(e);
            m_lastLine = line;
            m_breakLine = false;
        }
    }
    void breakLine() { m_breakLine = true; }

    ShapeLayer finish() {
        for (auto& [fill, edges] : m_fills) {
            m_layer.fills.push_back(FillPath{fill, joinEdges(std::move(edges))});
        }
        for (auto& [line, lines] : m_strokes) {
            m_layer.strokes.push_back(StrokePath{line, std::move(lines)});
        }
        return std::move(m_layer);
    }
    bool empty() const { return m_fills.empty() && m_strokes.empty(); }

private:
    ShapeLayer m_layer;
    std::map<std::uint32_t, std::vector<Edge>> m_fills;
    std::map<std::uint32_t, std::vector<Contour>> m_strokes;
    std::uint32_t m_lastLine = 0;
    bool m_breakLine = true;
};

double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

std::uint8_t lerp8(std::uint8_t a, std::uint8_t b, double t) {
    return static_cast<std::uint8_t>(std::lround(lerp(a, b, t)));
}

Rgba lerpColor(Rgba a, Rgba b, double t) {
    return Rgba{lerp8(a.r, b.r, t), lerp8(a.g, b.g, t), lerp8(a.b, b.b, t), lerp8(a.a, b.a, t)};
}

Matrix lerpMatrix(const Matrix& a, const Matrix& b, double t) {
    return Matrix{lerp(a.a, b.a, t), lerp(a.b, b.b, t),   lerp(a.c, b.c, t),
                  lerp(a.d, b.d, t), lerp(a.tx, b.tx, t), lerp(a.ty, b.ty, t)};
}

FillStyle lerpFill(const FillStyle& a, const FillStyle& b, double t) {
    FillStyle f = a;
    f.color = lerpColor(a.color, b.color, t);
    f.matrix = lerpMatrix(a.matrix, b.matrix, t);
    f.gradient.focalPoint = lerp(a.gradient.focalPoint, b.gradient.focalPoint, t);
    for (std::size_t i = 0; i < f.gradient.stops.size() && i < b.gradient.stops.size(); ++i) {
        f.gradient.stops[i].ratio = lerp8(a.gradient.stops[i].ratio, b.gradient.stops[i].ratio, t);
        f.gradient.stops[i].color =
            lerpColor(a.gradient.stops[i].color, b.gradient.stops[i].color, t);
    }
    return f;
}

} // namespace

std::vector<Contour> joinEdges(std::vector<Edge> edges) {
    std::vector<Contour> contours;
    if (edges.empty()) {
        return contours;
    }
    std::unordered_multimap<Point, std::size_t, PointHash> byStart;
    byStart.reserve(edges.size());
    for (std::size_t i = 0; i < edges.size(); ++i) {
        byStart.emplace(edges[i].from, i);
    }
    std::vector<bool> used(edges.size(), false);
    auto take = [&](const Point& p) -> std::ptrdiff_t {
        auto range = byStart.equal_range(p);
        for (auto it = range.first; it != range.second; ++it) {
            if (!used[it->second]) {
                const std::size_t index = it->second;
                byStart.erase(it);
                return static_cast<std::ptrdiff_t>(index);
            }
        }
        return -1;
    };
    for (std::size_t i = 0; i < edges.size(); ++i) {
        if (used[i]) {
            continue;
        }
        used[i] = true;
        Contour c{edges[i]};
        const Point start = edges[i].from;
        while (!(c.back().to == start)) {
            const std::ptrdiff_t next = take(c.back().to);
            if (next < 0) {
                break;
            }
            used[static_cast<std::size_t>(next)] = true;
            c.push_back(edges[static_cast<std::size_t>(next)]);
        }
        contours.push_back(std::move(c));
    }
    return contours;
}

ShapeGeometry buildGeometry(const std::vector<ShapeRecord>& records) {
    ShapeGeometry geometry;
    LayerBuilder layer(0);
    Point cur;
    std::uint32_t fill0 = 0, fill1 = 0, line = 0;
    for (const ShapeRecord& rec : records) {
        switch (rec.type) {
        case ShapeRecord::Type::StyleChange:
            if (rec.hasNewStyles) {
                geometry.layers.push_back(layer.finish());
                layer = LayerBuilder(rec.styleTable);
                fill0 = fill1 = line = 0;
            }
            if (rec.hasMove) {
                cur = Point{static_cast<double>(rec.moveX), static_cast<double>(rec.moveY)};
                layer.breakLine();
            }
            if (rec.hasFill0) {
                fill0 = rec.fill0;
            }
            if (rec.hasFill1) {
                fill1 = rec.fill1;
            }
            if (rec.hasLine) {
                line = rec.line;
                layer.breakLine();
            }
            break;
        case ShapeRecord::Type::Line: {
            const Point to{cur.x + rec.anchorDx, cur.y + rec.anchorDy};
            layer.addEdge(Edge{cur, cur, to, false}, fill0, fill1, line);
            cur = to;
            break;
        }
        case ShapeRecord::Type::Curve: {
            const Point control{cur.x + rec.controlDx, cur.y + rec.controlDy};
            const Point to{control.x + rec.anchorDx, control.y + rec.anchorDy};
            layer.addEdge(Edge{cur, control, to, true}, fill0, fill1, line);
            cur = to;
            break;
        }
        }
    }
    geometry.layers.push_back(layer.finish());
    return geometry;
}

namespace {

// Absolute positions of every record of a shape: moves keep their own, edges get from/to.
struct Placed {
    const ShapeRecord* rec;
    Point from, control, to;
};

std::vector<Placed> place(const std::vector<ShapeRecord>& records) {
    std::vector<Placed> out;
    out.reserve(records.size());
    Point cur;
    for (const ShapeRecord& rec : records) {
        Placed p{&rec, cur, cur, cur};
        if (rec.type == ShapeRecord::Type::StyleChange) {
            if (rec.hasMove) {
                cur = Point{static_cast<double>(rec.moveX), static_cast<double>(rec.moveY)};
            }
            p.to = cur;
        } else if (rec.type == ShapeRecord::Type::Line) {
            p.to = Point{cur.x + rec.anchorDx, cur.y + rec.anchorDy};
            p.control = Point{(cur.x + p.to.x) / 2, (cur.y + p.to.y) / 2};
        } else {
            p.control = Point{cur.x + rec.controlDx, cur.y + rec.controlDy};
            p.to = Point{p.control.x + rec.anchorDx, p.control.y + rec.anchorDy};
        }
        cur = p.to;
        out.push_back(p);
    }
    return out;
}

std::int32_t roundTwip(double v) {
    return static_cast<std::int32_t>(std::lround(std::clamp(v, -1e9, 1e9)));
}

} // namespace

std::vector<ShapeRecord> interpolateMorph(const MorphShape& morph, std::uint16_t ratio) {
    const double t = ratio / 65535.0;
    const std::vector<Placed> start = place(morph.startRecords);
    const std::vector<Placed> end = place(morph.endRecords);
    // The end shape only has edges (and the moves between them); pair edges in order.
    std::vector<const Placed*> endEdges;
    for (const Placed& p : end) {
        if (p.rec->type != ShapeRecord::Type::StyleChange) {
            endEdges.push_back(&p);
        }
    }
    std::vector<ShapeRecord> out;
    out.reserve(start.size());
    std::size_t edgeIndex = 0;
    Point cur; // rounded current position of the output
    std::size_t nextEndEdge = 0;
    for (const Placed& s : start) {
        ShapeRecord rec = *s.rec;
        if (rec.type == ShapeRecord::Type::StyleChange) {
            if (rec.hasMove) {
                // The move goes to where the matching end edge starts.
                Point endFrom = s.to;
                if (nextEndEdge < endEdges.size()) {
                    endFrom = endEdges[nextEndEdge]->from;
                }
                rec.moveX = roundTwip(lerp(s.to.x, endFrom.x, t));
                rec.moveY = roundTwip(lerp(s.to.y, endFrom.y, t));
                cur = Point{static_cast<double>(rec.moveX), static_cast<double>(rec.moveY)};
            }
            out.push_back(rec);
            continue;
        }
        const Placed* e = edgeIndex < endEdges.size() ? endEdges[edgeIndex] : &s;
        ++edgeIndex;
        nextEndEdge = edgeIndex;
        const bool curve =
            rec.type == ShapeRecord::Type::Curve || e->rec->type == ShapeRecord::Type::Curve;
        const Point to{static_cast<double>(roundTwip(lerp(s.to.x, e->to.x, t))),
                       static_cast<double>(roundTwip(lerp(s.to.y, e->to.y, t)))};
        if (curve) {
            const Point control{static_cast<double>(roundTwip(lerp(s.control.x, e->control.x, t))),
                                static_cast<double>(roundTwip(lerp(s.control.y, e->control.y, t)))};
            rec.type = ShapeRecord::Type::Curve;
            rec.controlDx = roundTwip(control.x - cur.x);
            rec.controlDy = roundTwip(control.y - cur.y);
            rec.anchorDx = roundTwip(to.x - control.x);
            rec.anchorDy = roundTwip(to.y - control.y);
        } else {
            rec.anchorDx = roundTwip(to.x - cur.x);
            rec.anchorDy = roundTwip(to.y - cur.y);
        }
        cur = to;
        out.push_back(rec);
    }
    return out;
}

StyleTable interpolateMorphStyles(const MorphShape& morph, std::uint16_t ratio) {
    const double t = ratio / 65535.0;
    StyleTable table;
    for (std::size_t i = 0; i < morph.startStyles.fills.size(); ++i) {
        const FillStyle& a = morph.startStyles.fills[i];
        const FillStyle& b = i < morph.endStyles.fills.size() ? morph.endStyles.fills[i] : a;
        table.fills.push_back(lerpFill(a, b, t));
    }
    for (std::size_t i = 0; i < morph.startStyles.lines.size(); ++i) {
        const LineStyle& a = morph.startStyles.lines[i];
        const LineStyle& b = i < morph.endStyles.lines.size() ? morph.endStyles.lines[i] : a;
        LineStyle l = a;
        l.width = static_cast<std::uint16_t>(std::lround(lerp(a.width, b.width, t)));
        l.color = lerpColor(a.color, b.color, t);
        if (a.hasFill) {
            l.fill = lerpFill(a.fill, b.fill, t);
        }
        table.lines.push_back(l);
    }
    return table;
}

} // namespace kinovex::flash
