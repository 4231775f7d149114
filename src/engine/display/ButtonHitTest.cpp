#include "engine/display/ButtonHitTest.h"

#include "engine/definitions/ShapeGeometry.h"
#include "engine/display/Button.h"
#include "engine/display/ScriptDrawing.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash {

namespace {

// Deeper than any timeline can nest (sprites stop at kMaxNesting), with room for buttons.
constexpr int kMaxHitNesting = TimelineInstance::kMaxNesting + 4;

Point apply(const Matrix& m, double x, double y) {
    return Point{m.a * x + m.c * y + m.tx, m.b * x + m.d * y + m.ty};
}

void addCorners(HitBox& box, const Matrix& m, double x0, double y0, double x1, double y1) {
    for (const Point& p :
         {apply(m, x0, y0), apply(m, x1, y0), apply(m, x0, y1), apply(m, x1, y1)}) {
        box.add(p.x, p.y);
    }
}

bool inRect(const Rect& r, Point local) {
    return local.x >= r.xMin && local.x <= r.xMax && local.y >= r.yMin && local.y <= r.yMax;
}

} // namespace

void HitBox::add(double x, double y) {
    xMin = std::min(xMin, x);
    yMin = std::min(yMin, y);
    xMax = std::max(xMax, x);
    yMax = std::max(yMax, y);
}

HitTester::HitTester() = default;

HitTester::~HitTester() = default;

HitTester::ShapePaths HitTester::buildPaths(const std::vector<ShapeRecord>& records,
                                            const std::vector<StyleTable>& styles, bool nonZero) {
    ShapePaths paths;
    paths.nonZero = nonZero;
    const ShapeGeometry geometry = buildGeometry(records);
    for (const ShapeLayer& layer : geometry.layers) {
        const StyleTable* table =
            layer.styleTable < styles.size() ? &styles[layer.styleTable] : nullptr;
        for (const FillPath& f : layer.fills) {
            if (f.contours.empty() || table == nullptr || f.fill == 0 ||
                f.fill > table->fills.size()) {
                continue;
            }
            paths.fills.emplace_back(f.contours);
            for (const Contour& c : f.contours) {
                for (const Edge& e : c) {
                    paths.box.add(e.from.x, e.from.y);
                    paths.box.add(e.control.x, e.control.y);
                    paths.box.add(e.to.x, e.to.y);
                }
            }
        }
        for (const StrokePath& s : layer.strokes) {
            if (table == nullptr || s.line == 0 || s.line > table->lines.size()) {
                continue;
            }
            // A hairline still takes the mouse a pixel wide.
            const double width = std::max<double>(table->lines[s.line - 1].width, 20.0);
            for (const Contour& line : s.lines) {
                const bool closed = line.front().from == line.back().to;
                paths.lines.emplace_back(line, closed, width);
                for (const Edge& e : line) {
                    for (const Point& q : {e.from, e.control, e.to}) {
                        paths.box.add(q.x - width / 2, q.y - width / 2);
                        paths.box.add(q.x + width / 2, q.y + width / 2);
                    }
                }
            }
        }
    }
    return paths;
}

const HitTester::ShapePaths& HitTester::pathsFor(const Shape& shape) {
    auto it = m_shapes.find(&shape);
    if (it == m_shapes.end()) {
        it = m_shapes.emplace(&shape, buildPaths(shape.records, shape.styles, shape.nonZeroWinding))
                 .first;
    }
    return it->second;
}

bool HitTester::inPaths(const ShapePaths& paths, const Matrix& full, Point p) {
    Matrix inv;
    if (paths.box.empty() || !invert(full, inv)) {
        return false;
    }
    const Point local = apply(inv, p.x, p.y);
    if (local.x < paths.box.xMin || local.x > paths.box.xMax || local.y < paths.box.yMin ||
        local.y > paths.box.yMax) {
        return false;
    }
    GridPoint q;
    if (!toGrid(local, q)) {
        return false;
    }
    return std::any_of(paths.fills.begin(), paths.fills.end(),
                       [&](const FillOutline& f) { return f.contains(q, paths.nonZero); }) ||
           std::any_of(paths.lines.begin(), paths.lines.end(),
                       [&](const StrokeOutline& l) { return l.contains(q); });
}

const HitTester::ShapePaths* HitTester::drawingPaths(const ScriptDrawing* drawing) {
    if (drawing == nullptr || drawing->empty()) {
        return nullptr;
    }
    auto it = m_drawings.find(drawing->serial());
    if (it == m_drawings.end() || it->second.version != drawing->version()) {
        if (m_drawings.size() >= 256) {
            m_drawings.clear(); // drawings come and go; only those tested lately are worth keeping
        }
        const std::shared_ptr<const Shape> shape = drawing->shape();
        it = m_drawings
                 .insert_or_assign(drawing->serial(),
                                   DrawingPaths{drawing->version(),
                                                buildPaths(shape->records, shape->styles, false)})
                 .first;
    }
    return &it->second.paths;
}

bool HitTester::hitsDrawing(const TimelineInstance& clip, const Matrix& full, Point p) {
    return hitsDrawing(clip.drawing().get(), full, p);
}

bool HitTester::hitsDrawing(const ScriptDrawing* drawing, const Matrix& full, Point p) {
    const ShapePaths* paths = drawingPaths(drawing);
    return paths != nullptr && inPaths(*paths, full, p);
}

bool HitTester::hitsCharacter(const Character& c, const DisplayObject& obj, const Matrix& full,
                              Point p) {
    Matrix inv;
    switch (c.kind) {
    case Character::Kind::Shape: {
        const auto& shape = static_cast<const Shape&>(c);
        return inPaths(pathsFor(shape), full, p);
    }
    case Character::Kind::MorphShape: {
        const auto& morph = static_cast<const MorphShape&>(c);
        auto& slot = m_morphs[&morph];
        if (slot.second.box.empty() || slot.first != obj.ratio) {
            const std::vector<StyleTable> styles{interpolateMorphStyles(morph, obj.ratio)};
            slot.second = buildPaths(interpolateMorph(morph, obj.ratio), styles, false);
            slot.first = obj.ratio;
        }
        return inPaths(slot.second, full, p);
    }
    case Character::Kind::Text:
        // Static text takes the mouse over its whole box, not only on the glyphs.
        return invert(full, inv) &&
               inRect(static_cast<const StaticText&>(c).bounds, apply(inv, p.x, p.y));
    case Character::Kind::EditText:
        return invert(full, inv) &&
               inRect(static_cast<const EditText&>(c).bounds, apply(inv, p.x, p.y));
    case Character::Kind::Bitmap: {
        const auto& bitmap = static_cast<const BitmapCharacter&>(c);
        if (bitmap.format == BitmapCharacter::Format::Jpeg || !invert(full, inv)) {
            return false; // a JPEG's size is known only once decoded; never a hit area alone
        }
        const Rect r{0, bitmap.width * 20, 0, bitmap.height * 20};
        return inRect(r, apply(inv, p.x, p.y));
    }
    default:
        return false;
    }
}

bool HitTester::hitsObject(const DisplayObject& obj, const Matrix& parent, Point p, int nesting) {
    if (obj.character == nullptr || nesting > kMaxHitNesting) {
        return false;
    }
    const Matrix full = parent * obj.matrix;
    if (obj.sprite) {
        return hitsClip(*obj.sprite, full, p, nesting + 1);
    }
    if (obj.button) {
        return hitsList(obj.button->displayList(), full, p, nesting + 1);
    }
    return hitsCharacter(*obj.character, obj, full, p);
}

std::vector<const DisplayObject*> HitTester::unmasked(const DisplayList& list, const Matrix& m,
                                                      Point p, int nesting) {
    struct ActiveMask {
        std::int32_t clipDepth;
        bool covers; // the point lies inside the mask
    };
    std::vector<ActiveMask> masks;
    std::vector<const DisplayObject*> out;
    for (const auto& [depth, obj] : list) {
        while (!masks.empty() && depth > masks.back().clipDepth) {
            masks.pop_back();
        }
        if (obj.clipDepth != 0) {
            // Masks act whether or not they are visible, as they are drawn.
            masks.push_back({obj.clipDepth, hitsObject(obj, m, p, nesting)});
            continue;
        }
        if (!obj.visible) {
            continue;
        }
        const bool hidden = std::any_of(masks.begin(), masks.end(),
                                        [](const ActiveMask& mask) { return !mask.covers; });
        if (!hidden) {
            out.push_back(&obj);
        }
    }
    return out;
}

bool HitTester::hitsList(const DisplayList& list, const Matrix& m, Point p, int nesting) {
    if (nesting > kMaxHitNesting) {
        return false;
    }
    for (const DisplayObject* obj : unmasked(list, m, p, nesting)) {
        if (hitsObject(*obj, m, p, nesting)) {
            return true;
        }
    }
    return false;
}

bool HitTester::hitsButtonArea(const ButtonInstance& button, const Matrix& full, Point p,
                               int nesting) {
    // The hit area is never drawn, so its objects count whether visible or not.
    for (const auto& [depth, obj] : button.hitList()) {
        if (hitsObject(obj, full, p, nesting + 1)) {
            return true;
        }
    }
    return false;
}

void HitTester::addBox(const DisplayObject& obj, const Matrix& parent, HitBox& box, int nesting) {
    if (obj.character == nullptr || nesting > kMaxHitNesting) {
        return;
    }
    const Matrix full = parent * obj.matrix;
    if (obj.sprite) {
        if (const ShapePaths* drawn = drawingPaths(obj.sprite->drawing().get());
            drawn && !drawn->box.empty()) {
            addCorners(box, full, drawn->box.xMin, drawn->box.yMin, drawn->box.xMax,
                       drawn->box.yMax);
        }
        addListBox(obj.sprite->displayList(), full, box, nesting + 1);
        return;
    }
    if (obj.button) {
        addListBox(obj.button->displayList(), full, box, nesting + 1);
        return;
    }
    const Character& c = *obj.character;
    switch (c.kind) {
    case Character::Kind::Shape: {
        const auto& shape = static_cast<const Shape&>(c);
        const HitBox& b = pathsFor(shape).box;
        if (!b.empty()) {
            addCorners(box, full, b.xMin, b.yMin, b.xMax, b.yMax);
        }
        break;
    }
    case Character::Kind::MorphShape: {
        const Rect& r = static_cast<const MorphShape&>(c).startBounds;
        addCorners(box, full, r.xMin, r.yMin, r.xMax, r.yMax);
        break;
    }
    case Character::Kind::Text: {
        const Rect& r = static_cast<const StaticText&>(c).bounds;
        addCorners(box, full, r.xMin, r.yMin, r.xMax, r.yMax);
        break;
    }
    case Character::Kind::EditText: {
        const Rect& r = static_cast<const EditText&>(c).bounds;
        addCorners(box, full, r.xMin, r.yMin, r.xMax, r.yMax);
        break;
    }
    case Character::Kind::Bitmap: {
        const auto& bitmap = static_cast<const BitmapCharacter&>(c);
        if (bitmap.format != BitmapCharacter::Format::Jpeg) {
            addCorners(box, full, 0, 0, bitmap.width * 20.0, bitmap.height * 20.0);
        }
        break;
    }
    default:
        break;
    }
}

void HitTester::addListBox(const DisplayList& list, const Matrix& m, HitBox& box, int nesting) {
    for (const auto& [depth, obj] : list) {
        if (obj.clipDepth == 0 && obj.visible) {
            addBox(obj, m, box, nesting);
        }
    }
}

HitBox HitTester::buttonAreaBox(const ButtonInstance& button, const Matrix& full) {
    HitBox box;
    for (const auto& [depth, obj] : button.hitList()) {
        addBox(obj, full, box, 1);
    }
    return box;
}

} // namespace kinovex::flash
