#include "engine/render/Renderer.h"

#include "engine/display/ScriptDrawing.h"

#include "engine/definitions/Movie.h"
#include "engine/display/Button.h"
#include "engine/render/BlendModes.h"
#include "engine/render/Compositor.h"
#include "engine/render/Filters.h"
#include "engine/render/KeyHasher.h"
#include "engine/render/TextFieldPainter.h"
#include "engine/render/VideoDraw.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

namespace kinovex::flash {

namespace {

// The gradient square spans -16384..16384 twips. Cairo's image backend works in 16.16 fixed
// point and a radial gradient that large overflows it (nothing is drawn), so patterns are made
// 64 times smaller and the gradient matrix is scaled up to match.
constexpr double kGradientHalf = 256.0;
constexpr double kGradientScale = 16384.0 / kGradientHalf;
constexpr std::size_t kMaxMorphCache = 512;
// Our straight pieces stray from the true curve by at most this share of cairo's tolerance.
constexpr double kFlatness = 0.25;
// Shapes seen drawn once, remembered to keep them when drawn the same way again.
constexpr std::size_t kMaxSeenOnce = 50000;
// Decoded pictures kept beyond what the current frames show.
constexpr std::size_t kBitmapBudgetBytes = 64u * 1024u * 1024u;

cairo_matrix_t toCairo(const Matrix& m) {
    return cairo_matrix_t{m.a, m.b, m.c, m.d, m.tx, m.ty};
}

void setColor(cairo_t* cr, Rgba c) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0);
}

cairo_pattern_t* makeGradient(const FillStyle& fill, const ColorTransform& cx) {
    const Gradient& g = fill.gradient;
    cairo_pattern_t* p = nullptr;
    if (fill.type == FillStyle::Type::Linear) {
        p = cairo_pattern_create_linear(-kGradientHalf, 0, kGradientHalf, 0);
    } else {
        const double focal = fill.type == FillStyle::Type::Focal ? g.focalPoint * kGradientHalf : 0;
        // A focal point exactly on the circle makes an infinitely thin cone; keep it inside.
        p = cairo_pattern_create_radial(
            std::clamp(focal, -kGradientHalf * 0.998, kGradientHalf * 0.998), 0, 0, 0, 0,
            kGradientHalf);
    }
    for (const RampStop& stop : gradientStops(g, cx)) {
        cairo_pattern_add_color_stop_rgba(p, stop.offset, stop.color.r / 255.0,
                                          stop.color.g / 255.0, stop.color.b / 255.0,
                                          stop.color.a / 255.0);
    }
    switch (g.spread) {
    case SpreadMode::Pad:
        cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
        break;
    case SpreadMode::Reflect:
        cairo_pattern_set_extend(p, CAIRO_EXTEND_REFLECT);
        break;
    case SpreadMode::Repeat:
        cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
        break;
    }
    return p;
}

void appendQuad(std::vector<cairo_path_data_t>& d, const Point& from, const Point& c,
                const Point& to) {
    cairo_path_data_t h;
    h.header.type = CAIRO_PATH_CURVE_TO;
    h.header.length = 4;
    d.push_back(h);
    cairo_path_data_t p;
    p.point.x = from.x + 2.0 / 3.0 * (c.x - from.x);
    p.point.y = from.y + 2.0 / 3.0 * (c.y - from.y);
    d.push_back(p);
    p.point.x = to.x + 2.0 / 3.0 * (c.x - to.x);
    p.point.y = to.y + 2.0 / 3.0 * (c.y - to.y);
    d.push_back(p);
    p.point.x = to.x;
    p.point.y = to.y;
    d.push_back(p);
}

void appendPoint(std::vector<cairo_path_data_t>& d, cairo_path_data_type_t type, const Point& pt) {
    cairo_path_data_t h;
    h.header.type = type;
    h.header.length = 2;
    d.push_back(h);
    cairo_path_data_t p;
    p.point.x = pt.x;
    p.point.y = pt.y;
    d.push_back(p);
}

} // namespace

cairo_operator_t blendOperator(BlendMode mode) {
    switch (mode) {
    case BlendMode::Multiply:
        return CAIRO_OPERATOR_MULTIPLY;
    case BlendMode::Screen:
        return CAIRO_OPERATOR_SCREEN;
    case BlendMode::Lighten:
        return CAIRO_OPERATOR_LIGHTEN;
    case BlendMode::Darken:
        return CAIRO_OPERATOR_DARKEN;
    case BlendMode::Difference:
        return CAIRO_OPERATOR_DIFFERENCE;
    case BlendMode::Add:
        return CAIRO_OPERATOR_ADD;
    case BlendMode::Overlay:
        return CAIRO_OPERATOR_OVERLAY;
    case BlendMode::Hardlight:
        return CAIRO_OPERATOR_HARD_LIGHT;
    case BlendMode::Alpha:
        return CAIRO_OPERATOR_DEST_IN;
    case BlendMode::Erase:
        return CAIRO_OPERATOR_DEST_OUT;
    default:
        return CAIRO_OPERATOR_OVER;
    }
}

CairoPath toCairoPath(const std::vector<Contour>& contours, bool closeContours) {
    CairoPath out;
    for (const Contour& c : contours) {
        if (c.empty()) {
            continue;
        }
        appendPoint(out.data, CAIRO_PATH_MOVE_TO, c.front().from);
        for (const Edge& e : c) {
            if (e.curve) {
                appendQuad(out.data, e.from, e.control, e.to);
            } else {
                appendPoint(out.data, CAIRO_PATH_LINE_TO, e.to);
            }
        }
        if (closeContours) {
            cairo_path_data_t h;
            h.header.type = CAIRO_PATH_CLOSE_PATH;
            h.header.length = 1;
            out.data.push_back(h);
        }
    }
    return out;
}

Renderer::Renderer(const Movie& movie, Log& log)
    : m_movie(movie), m_log(log), m_textPainter(std::make_unique<TextFieldPainter>(movie)) {}

namespace {} // namespace

std::size_t Renderer::RampKeyHash::operator()(const RampKey& k) const {
    KeyHasher h{reinterpret_cast<std::uintptr_t>(k.fill)};
    h.add(k.cx);
    return static_cast<std::size_t>(h.h);
}

std::size_t RasterKeyHash::operator()(const RasterKey& k) const {
    KeyHasher h{reinterpret_cast<std::uintptr_t>(k.shape)};
    for (double v : {k.a, k.b, k.c, k.d, k.fx, k.fy, k.stagePixelScale}) {
        h.add(v);
    }
    h.add(k.cx);
    return static_cast<std::size_t>(h.h);
}

Renderer::~Renderer() {
    if (m_coverageCr != nullptr) {
        cairo_destroy(m_coverageCr);
        cairo_surface_destroy(m_coverage);
    }
    for (auto& [key, entry] : m_raster) {
        cairo_surface_destroy(entry.surface);
    }
    for (auto& [key, entry] : m_filtered) {
        cairo_surface_destroy(entry.surface);
    }
    for (auto& [id, entry] : m_bitmaps) {
        if (entry.surface != nullptr) {
            cairo_surface_destroy(entry.surface);
        }
    }
    for (auto& [key, entry] : m_tinted) {
        cairo_surface_destroy(entry.surface);
    }
}

namespace {

// The box of everything drawn, from the geometry itself: the bounds a movie declares are
// sometimes wrong, and a bitmap made from them would cut the shape off.
Rect measure(const ShapeGeometry& g, const std::vector<StyleTable>& styles) {
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    auto include = [&](const Point& p, double grow) {
        minX = std::min(minX, p.x - grow);
        maxX = std::max(maxX, p.x + grow);
        minY = std::min(minY, p.y - grow);
        maxY = std::max(maxY, p.y + grow);
    };
    auto includeContours = [&](const std::vector<Contour>& contours, double grow) {
        for (const Contour& c : contours) {
            for (const Edge& e : c) {
                include(e.from, grow);
                include(e.control, grow);
                include(e.to, grow);
            }
        }
    };
    for (const ShapeLayer& layer : g.layers) {
        const StyleTable* table =
            layer.styleTable < styles.size() ? &styles[layer.styleTable] : nullptr;
        for (const FillPath& f : layer.fills) {
            includeContours(f.contours, 0);
        }
        for (const StrokePath& s : layer.strokes) {
            double grow = 0;
            if (table != nullptr && s.line >= 1 && s.line <= table->lines.size()) {
                const LineStyle& l = table->lines[s.line - 1];
                if (!l.noHScale && !l.noVScale) {
                    // Square caps reach out by the half-width's diagonal, miters further.
                    const double reach =
                        l.join == JoinStyle::Miter ? std::max(l.miterLimit, 1.5) : 1.5;
                    grow = l.width / 2.0 * reach;
                }
            }
            includeContours(s.lines, grow);
        }
    }
    if (minX > maxX) {
        return Rect{0, -1, 0, -1}; // nothing drawn
    }
    auto clampTwips = [](double v) { return static_cast<std::int32_t>(std::clamp(v, -1e9, 1e9)); };
    return Rect{clampTwips(std::floor(minX)), clampTwips(std::ceil(maxX)),
                clampTwips(std::floor(minY)), clampTwips(std::ceil(maxY))};
}

CachedShape cacheGeometry(const ShapeGeometry& g, const std::vector<StyleTable>& styles) {
    CachedShape cached;
    cached.bounds = measure(g, styles);
    for (const StyleTable& table : styles) {
        for (const LineStyle& l : table.lines) {
            if (l.noHScale || l.noVScale) {
                cached.maxNoScaleWidth = std::max<double>(cached.maxNoScaleWidth, l.width);
            }
        }
    }
    for (const ShapeLayer& layer : g.layers) {
        CachedShape::Layer out;
        if (layer.styleTable < styles.size()) {
            out.styles = &styles[layer.styleTable];
        }
        for (const FillPath& f : layer.fills) {
            out.fills.push_back(CachedShape::Fill{f.fill, toCairoPath(f.contours, true)});
        }
        for (const StrokePath& s : layer.strokes) {
            CachedShape::Stroke stroke{s.line, {}};
            const bool noClose = out.styles != nullptr && s.line <= out.styles->lines.size() &&
                                 out.styles->lines[s.line - 1].noClose;
            for (const Contour& line : s.lines) {
                const bool closed = !noClose && line.front().from == line.back().to;
                stroke.lines.push_back(toCairoPath({line}, closed));
            }
            out.strokes.push_back(std::move(stroke));
        }
        cached.layers.push_back(std::move(out));
    }
    return cached;
}

} // namespace

const CachedShape& Renderer::shapeFor(const Shape& shape) {
    auto it = m_shapes.find(&shape);
    if (it != m_shapes.end()) {
        return it->second;
    }
    CachedShape& cached =
        m_shapes.emplace(&shape, cacheGeometry(buildGeometry(shape.records), shape.styles))
            .first->second;
    cached.nonZeroWinding = shape.nonZeroWinding;
    return cached;
}

const CachedShape& Renderer::morphFor(const MorphShape& morph, std::uint16_t ratio) {
    const auto key = std::make_pair(&morph, ratio);
    auto it = m_morphs.find(key);
    if (it != m_morphs.end()) {
        return it->second;
    }
    if (m_morphs.size() >= kMaxMorphCache) {
        m_morphs.clear();
        m_ramps.clear(); // some were keyed by the styles just dropped
    }
    CachedShape& slot = m_morphs[key];
    slot.ownStyles.push_back(interpolateMorphStyles(morph, ratio));
    CachedShape built =
        cacheGeometry(buildGeometry(interpolateMorph(morph, ratio)), slot.ownStyles);
    slot.layers = std::move(built.layers);
    slot.bounds = built.bounds;
    slot.maxNoScaleWidth = built.maxNoScaleWidth;
    return slot;
}

const CairoPath& Renderer::glyphFor(const Font& font, std::uint32_t index) {
    const auto key = std::make_pair(&font, index);
    auto it = m_glyphs.find(key);
    if (it != m_glyphs.end()) {
        return it->second;
    }
    std::vector<Contour> contours;
    if (index < font.glyphs.size()) {
        const ShapeGeometry g = buildGeometry(font.glyphs[index]);
        for (const ShapeLayer& layer : g.layers) {
            for (const FillPath& f : layer.fills) {
                contours.insert(contours.end(), f.contours.begin(), f.contours.end());
            }
        }
    }
    return m_glyphs.emplace(key, toCairoPath(contours, true)).first->second;
}

cairo_surface_t* Renderer::bitmapFor(std::uint16_t id) {
    auto it = m_bitmaps.find(id);
    if (it != m_bitmaps.end()) {
        it->second.lastUsed = m_frame;
        return it->second.surface;
    }
    cairo_surface_t* surface = nullptr;
    const auto* bm = m_movie.characterAs<BitmapCharacter>(id, Character::Kind::Bitmap);
    if (bm != nullptr) {
        DecodedImage image;
        std::string error;
        if (decodeBitmap(*bm, image, error)) {
            surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
            if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
                cairo_surface_destroy(surface);
                surface = nullptr;
            } else {
                unsigned char* data = cairo_image_surface_get_data(surface);
                const int stride = cairo_image_surface_get_stride(surface);
                for (int y = 0; y < image.height; ++y) {
                    std::copy_n(image.pixels.data() + static_cast<std::size_t>(y) *
                                                          static_cast<std::size_t>(image.width),
                                image.width,
                                reinterpret_cast<std::uint32_t*>(
                                    data + static_cast<std::ptrdiff_t>(y) * stride));
                }
                cairo_surface_mark_dirty(surface);
            }
        }
        if (!error.empty()) {
            m_log.report(-1, 0, "bitmap " + std::to_string(id) + ": " + error);
        }
    }
    BitmapEntry entry{surface, m_frame, 0};
    if (surface != nullptr) {
        entry.bytes = static_cast<std::size_t>(cairo_image_surface_get_stride(surface)) *
                      static_cast<std::size_t>(cairo_image_surface_get_height(surface));
        m_bitmapBytes += entry.bytes;
    }
    m_bitmaps.emplace(id, entry);
    return surface;
}

void Renderer::render(cairo_t* cr, const DisplayList& list, const Matrix& stageToDevice,
                      double stagePixelScale, const std::vector<ScriptItem>& items) {
    m_stagePixelScale = stagePixelScale;
    ++m_frame;
    if (m_rasterBytes > m_rasterBudget) {
        // Keep what the last frame used; a movie whose every frame is new pays for nothing.
        for (auto it = m_raster.begin(); it != m_raster.end();) {
            if (it->second.lastUsed + 1 < m_frame) {
                m_rasterBytes -= it->second.bytes;
                cairo_surface_destroy(it->second.surface);
                it = m_raster.erase(it);
            } else {
                ++it;
            }
        }
    }
    if (m_bitmapBytes > kBitmapBudgetBytes) {
        // Pictures the last frame did not show are decoded again when they come back.
        for (auto it = m_bitmaps.begin(); it != m_bitmaps.end();) {
            if (it->second.surface != nullptr && it->second.lastUsed + 1 < m_frame) {
                m_bitmapBytes -= it->second.bytes;
                cairo_surface_destroy(it->second.surface);
                it = m_bitmaps.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Tinted bitmaps neither this frame nor the last drew (a fade makes a new one each frame).
    std::erase_if(m_tinted, [&](const auto& entry) {
        if (entry.second.lastUsed + 1 < m_frame) {
            cairo_surface_destroy(entry.second.surface);
            return true;
        }
        return false;
    });
    // Filtered pictures not laid for a few frames (their object changed or went). A few, not
    // one: an object sliding slowly comes back to the same place within a pixel.
    for (auto it = m_filtered.begin(); it != m_filtered.end();) {
        if (it->second.lastUsed + kFilteredKeptFrames < m_frame) {
            m_filteredBytes -= it->second.bytes;
            cairo_surface_destroy(it->second.surface);
            it = m_filtered.erase(it);
        } else {
            ++it;
        }
    }
    if (m_seenOnce.size() > kMaxSeenOnce) {
        m_seenOnce.clear();
    }
    // Drawings neither this frame nor the last showed (cleared, or their clip went).
    for (auto it = m_drawings.begin(); it != m_drawings.end();) {
        if (it->second.lastUsed + 1 < m_frame) {
            forgetDrawing(it->second);
            it = m_drawings.erase(it);
        } else {
            ++it;
        }
    }
    m_stageToDevice = stageToDevice;
    State state;
    state.matrix = stageToDevice;
    renderList(cr, list, state, items);
}

void Renderer::render(cairo_t* cr, const TimelineInstance& root, const Matrix& stageToDevice,
                      double stagePixelScale) {
    const std::vector<ScriptItem> items = scriptItemsOf(root);
    if (root.drawing() || !items.empty()) {
        m_stageToDevice = stageToDevice;
        m_stagePixelScale = stagePixelScale;
        State state;
        state.matrix = stageToDevice;
        drawScriptDrawing(cr, root, state);
        if (!items.empty()) {
            render(cr, root.displayList(), stageToDevice, stagePixelScale, items);
            return;
        }
    }
    render(cr, root.displayList(), stageToDevice, stagePixelScale);
}

void Renderer::forgetDrawing(const DrawingEntry& entry) {
    if (!entry.shape) {
        return;
    }
    // Gradient colours are kept by fill style address: this shape's go with it, before another
    // shape may come to have the same addresses.
    std::unordered_set<const FillStyle*> fills;
    for (const StyleTable& table : entry.shape->styles) {
        for (const FillStyle& f : table.fills) {
            if (f.type != FillStyle::Type::Solid) {
                fills.insert(&f);
            }
        }
    }
    if (!fills.empty()) {
        std::erase_if(m_ramps, [&](const auto& e) { return fills.count(e.first.fill) != 0; });
    }
}

void Renderer::drawScriptDrawing(cairo_t* cr, const TimelineInstance& clip, const State& state) {
    drawDrawing(cr, clip.drawing().get(), state);
}

void Renderer::drawDrawing(cairo_t* cr, const ScriptDrawing* drawing, const State& state) {
    if (drawing == nullptr || drawing->empty() || !invertible(state.matrix)) {
        return;
    }
    DrawingEntry& entry = m_drawings[drawing->serial()];
    if (!entry.shape || entry.version != drawing->version()) {
        forgetDrawing(entry);
        entry.shape = drawing->shape();
        entry.version = drawing->version();
        entry.cached = cacheGeometry(buildGeometry(entry.shape->records), entry.shape->styles);
    }
    entry.lastUsed = m_frame;
    // Drawn straight: a drawing that changes every frame would only churn the bitmap cache.
    drawShape(cr, entry.cached, state);
}

void Renderer::renderScriptMasked(cairo_t* cr, const DisplayObject& obj, const State& state) {
    const TimelineInstance* mask = obj.sprite->scriptMask();
    cairo_push_group(cr);
    renderObject(cr, obj, state);
    cairo_pattern_t* content = cairo_pop_group(cr);
    // The mask clip where it stands on the stage, whoever its parent is.
    Matrix toStage;
    for (const TimelineInstance* t = mask; t != nullptr; t = t->parent()) {
        if (const DisplayObject* owner = t->owner()) {
            toStage = owner->matrix * toStage;
        }
    }
    cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
    State maskState;
    maskState.matrix = m_stageToDevice * toStage;
    maskState.mask = true;
    maskState.nesting = state.nesting;
    drawScriptDrawing(cr, *mask, maskState);
    renderList(cr, mask->displayList(), maskState);
    cairo_pattern_t* coverage = cairo_pop_group(cr);
    cairo_set_source(cr, content);
    cairo_mask(cr, coverage);
    cairo_pattern_destroy(coverage);
    cairo_pattern_destroy(content);
}

void Renderer::renderList(cairo_t* cr, const DisplayList& list, const State& state,
                          const std::vector<ScriptItem>& items) {
    std::vector<ActiveMask> masks;
    auto popMask = [&]() {
        endMask(cr, masks.back());
        masks.pop_back();
    };
    // Objects scripts made go between the depths they stand above and the next one, masked
    // by the timeline masks that reach over both.
    auto nextItem = items.begin();
    auto itemsBefore = [&](std::int64_t depth) {
        for (; nextItem != items.end() && nextItem->after < depth; ++nextItem) {
            while (!masks.empty() && nextItem->after >= masks.back().clipDepth) {
                popMask();
            }
            renderScriptItem(cr, *nextItem, state);
        }
    };
    for (const auto& [depth, obj] : list) {
        itemsBefore(depth);
        if (obj.takenByScript || obj.scriptMaskOfAnother) {
            continue;
        }
        if (obj.scriptMasked && !state.mask && m_scriptLayers != nullptr) {
            ScriptItem mask;
            if (m_scriptLayers->maskOf(obj, mask)) {
                const DisplayObject& masked = obj; // clang 14 cannot capture a structured binding
                renderThroughMask(cr, mask, state, [&] { renderObject(cr, masked, state); });
                continue;
            }
        }
        while (!masks.empty() && depth > masks.back().clipDepth) {
            popMask();
        }
        if (obj.clipDepth != 0) {
            if (state.mask) {
                continue; // a mask inside a mask adds no coverage of its own
            }
            masks.push_back(beginMask(cr, obj, state));
            continue;
        }
        if (!obj.visible) {
            continue;
        }
        if (obj.sprite && obj.sprite->maskedClip() != nullptr) {
            continue; // masks another clip: only its coverage is used, there
        }
        if (obj.sprite && obj.sprite->scriptMask() != nullptr && !state.mask) {
            renderScriptMasked(cr, obj, state);
            continue;
        }
        renderObject(cr, obj, state);
    }
    itemsBefore(std::int64_t{INT32_MAX} + 1);
    while (!masks.empty()) {
        popMask();
    }
}

void Renderer::renderObject(cairo_t* cr, const DisplayObject& obj, const State& parent) {
    if (obj.character == nullptr) {
        return;
    }
    State state = parent;
    state.matrix = parent.matrix * obj.matrix;
    state.cx = parent.cx * obj.colorTransform;
    state.nesting = parent.nesting + 1;
    if (state.mask) {
        renderContent(cr, obj, state);
        return;
    }
    BlendMode blend = obj.blendMode;
    if ((blend == BlendMode::Alpha || blend == BlendMode::Erase) && !parent.inLayer) {
        return; // with no layer below to act on they show nothing
    }
    if (!obj.filters.empty() && blend == BlendMode::Normal && drawFilteredKept(cr, obj, state)) {
        return;
    }
    const bool grouped = blend != BlendMode::Normal || !obj.filters.empty();
    // The group need only cover the object (and what its filters reach): past it the group is
    // clear, and laying clear pixels changes nothing, with every mode but alpha, which clears
    // what lies beneath the object's clear pixels too.
    const bool clipped = grouped && blend != BlendMode::Alpha && clipToFilterReach(cr, obj, state);
    if (grouped) {
        cairo_push_group(cr);
        state.inLayer = blend == BlendMode::Layer || blend == BlendMode::Alpha ||
                        blend == BlendMode::Erase || !obj.filters.empty();
    }
    renderContent(cr, obj, state);
    if (!grouped) {
        return;
    }
    cairo_pattern_t* group = cairo_pop_group(cr);
    if (!obj.filters.empty()) {
        cairo_surface_t* surface = nullptr;
        if (cairo_pattern_get_surface(group, &surface) == CAIRO_STATUS_SUCCESS &&
            cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE) {
            applyFilters(surface, obj.filters);
        }
    }
    cairo_save(cr);
    cairo_set_source(cr, group);
    if (blend == BlendMode::Invert || blend == BlendMode::Subtract) {
        // dst' = dst*(1-a) + (1-dst)*a is white DIFFERENCE'd through the object's coverage;
        // subtract is invert(invert(dst) + src).
        if (blend == BlendMode::Invert) {
            cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_mask(cr, group);
        } else {
            cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_mask(cr, group);
            cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
            cairo_set_source(cr, group);
            cairo_paint(cr);
            cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_mask(cr, group);
        }
    } else if (!blendDirect(cr, group, blend, state)) {
        cairo_set_operator(cr, blendOperator(blend));
        cairo_paint(cr);
    }
    cairo_restore(cr);
    cairo_pattern_destroy(group);
    if (clipped) {
        cairo_restore(cr);
    }
}

bool Renderer::blendDirect(cairo_t* cr, cairo_pattern_t* group, BlendMode blend,
                           const State& state) {
    cairo_surface_t* layer = nullptr;
    DirectTarget target;
    if (!blendsDirectly(blend) ||
        cairo_pattern_get_surface(group, &layer) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(layer) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(layer) != CAIRO_FORMAT_ARGB32 ||
        !directTarget(cr, state, target)) {
        return false;
    }
    cairo_matrix_t patternMatrix;
    cairo_pattern_get_matrix(group, &patternMatrix);
    double offX = 0, offY = 0;
    cairo_surface_get_device_offset(layer, &offX, &offY);
    if (patternMatrix.xx != 1 || patternMatrix.yx != 0 || patternMatrix.xy != 0 ||
        patternMatrix.yy != 1 || offX != std::floor(offX) || offY != std::floor(offY) ||
        target.offX != std::floor(target.offX) || target.offY != std::floor(target.offY)) {
        return false;
    }
    // The layer's pixel (0, 0) lies at user (-offX, -offY), moved by the pattern's matrix.
    const int x0 = static_cast<int>(target.offX - offX - patternMatrix.x0);
    const int y0 = static_cast<int>(target.offY - offY - patternMatrix.y0);
    const PixelBox on = PixelBox{x0, y0, x0 + cairo_image_surface_get_width(layer),
                                 y0 + cairo_image_surface_get_height(layer)}
                            .intersect(target.clip);
    if (on.empty()) {
        return true;
    }
    cairo_surface_flush(layer);
    const auto* bits = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(layer));
    const int stride = cairo_image_surface_get_stride(target.surface) / 4;
    const int bitsStride = cairo_image_surface_get_stride(layer) / 4;
    blendImage(targetPixels(target) + static_cast<std::ptrdiff_t>(on.y0) * stride + on.x0, stride,
               bits + static_cast<std::ptrdiff_t>(on.y0 - y0) * bitsStride + (on.x0 - x0),
               bitsStride, on.x1 - on.x0, on.y1 - on.y0, blend);
    targetChanged(target, on);
    return true;
}

void Renderer::renderContent(cairo_t* cr, const DisplayObject& obj, const State& given) {
    State state = given;
    if (obj.scrollRect) {
        beginScroll(cr, *obj.scrollRect, state);
    }
    if (obj.sprite) {
        drawScriptDrawing(cr, *obj.sprite, state);
        renderList(cr, obj.sprite->displayList(), state, scriptItemsOf(*obj.sprite));
    } else {
        renderCharacter(cr, obj.character, &obj, state, obj.ratio);
    }
    if (obj.scrollRect) {
        cairo_restore(cr);
    }
}

void Renderer::renderCharacter(cairo_t* cr, const Character* c, const DisplayObject* obj,
                               const State& state, std::uint16_t ratio) {
    (void)obj;
    if (!invertible(state.matrix) || state.nesting > TimelineInstance::kMaxNesting + 4) {
        return; // squashed flat: nothing to see
    }
    switch (c->kind) {
    case Character::Kind::Shape:
        drawShapeCached(cr, shapeFor(*static_cast<const Shape*>(c)), state);
        break;
    case Character::Kind::MorphShape:
        drawShapeCached(cr, morphFor(*static_cast<const MorphShape*>(c), ratio), state);
        break;
    case Character::Kind::Text:
        drawTextCached(cr, *static_cast<const StaticText*>(c), state);
        break;
    case Character::Kind::EditText:
        drawEditText(cr, *static_cast<const EditText*>(c), obj, state);
        break;
    case Character::Kind::Button:
        drawButton(cr, *static_cast<const Button*>(c), obj, state);
        break;
    case Character::Kind::Bitmap: {
        cairo_surface_t* s = bitmapFor(c->id);
        if (s == nullptr) {
            break;
        }
        // A bitmap placed by itself covers its pixels at 20 twips each.
        FillStyle fill;
        fill.type = FillStyle::Type::Bitmap;
        fill.bitmapId = c->id;
        fill.bitmapRepeat = false;
        fill.matrix = Matrix::scale(20, 20);
        cairo_save(cr);
        const cairo_matrix_t m = toCairo(state.matrix);
        cairo_set_matrix(cr, &m);
        cairo_rectangle(cr, 0, 0, cairo_image_surface_get_width(s) * 20.0,
                        cairo_image_surface_get_height(s) * 20.0);
        if (setFillSource(cr, fill, state, Matrix{})) {
            cairo_fill(cr);
        }
        cairo_restore(cr);
        break;
    }
    case Character::Kind::Video:
        drawVideo(cr, *static_cast<const VideoStream*>(c), obj, state.matrix, state.cx, state.mask,
                  m_log);
        break;
    case Character::Kind::Sprite:
    case Character::Kind::Font:
        break;
    }
}

bool Renderer::setFillSource(cairo_t* cr, const FillStyle& fill, const State& state,
                             const Matrix& patternSpace) {
    if (state.mask) {
        cairo_set_source_rgba(cr, 1, 1, 1, 1);
        return true;
    }
    switch (fill.type) {
    case FillStyle::Type::Solid:
        setColor(cr, state.cx.apply(fill.color));
        return true;
    case FillStyle::Type::Linear:
    case FillStyle::Type::Radial:
    case FillStyle::Type::Focal: {
        const auto& stops = fill.gradient.stops;
        if (stops.empty()) {
            return false;
        }
        Matrix inverse;
        if (stops.size() == 1 ||
            !invert(patternSpace * fill.matrix * Matrix::scale(kGradientScale, kGradientScale),
                    inverse)) {
            setColor(cr, state.cx.apply(stops.back().color));
            return true;
        }
        cairo_pattern_t* p = makeGradient(fill, state.cx);
        const cairo_matrix_t pm = toCairo(inverse);
        cairo_pattern_set_matrix(p, &pm);
        cairo_set_source(cr, p);
        cairo_pattern_destroy(p);
        return true;
    }
    case FillStyle::Type::Bitmap: {
        cairo_surface_t* s = bitmapFor(fill.bitmapId);
        Matrix inverse;
        if (s == nullptr || !invert(patternSpace * fill.matrix, inverse)) {
            return false;
        }
        if (!state.cx.isIdentity()) {
            s = tintedBitmapFor(fill.bitmapId, s, state.cx);
        }
        cairo_pattern_t* p = cairo_pattern_create_for_surface(s);
        const cairo_matrix_t pm = toCairo(inverse);
        cairo_pattern_set_matrix(p, &pm);
        cairo_pattern_set_extend(p, fill.bitmapRepeat ? CAIRO_EXTEND_REPEAT : CAIRO_EXTEND_PAD);
        cairo_pattern_set_filter(p, fill.bitmapSmooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
        cairo_set_source(cr, p);
        cairo_pattern_destroy(p);
        return true;
    }
    }
    return false;
}

const GradientRamp& Renderer::rampFor(const FillStyle& fill, const ColorTransform& cx) {
    constexpr std::size_t kMaxRamps = 4096;
    const RampKey key{&fill, cx};
    auto it = m_ramps.find(key);
    if (it != m_ramps.end()) {
        return *it->second;
    }
    if (m_ramps.size() >= kMaxRamps) {
        m_ramps.clear(); // a movie that animates colour transforms endlessly
    }
    return *m_ramps.emplace(key, std::make_unique<GradientRamp>(makeRamp(fill, cx))).first->second;
}

namespace {

cairo_line_cap_t cairoCap(CapStyle cap) {
    return cap == CapStyle::None     ? CAIRO_LINE_CAP_BUTT
           : cap == CapStyle::Square ? CAIRO_LINE_CAP_SQUARE
                                     : CAIRO_LINE_CAP_ROUND;
}

cairo_line_join_t cairoJoin(JoinStyle join) {
    return join == JoinStyle::Bevel   ? CAIRO_LINE_JOIN_BEVEL
           : join == JoinStyle::Miter ? CAIRO_LINE_JOIN_MITER
                                      : CAIRO_LINE_JOIN_ROUND;
}

} // namespace

bool Renderer::directTarget(cairo_t* cr, const State& state, DirectTarget& out) {
    if (state.mask || cairo_get_operator(cr) != CAIRO_OPERATOR_OVER ||
        cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        return false;
    }
    cairo_surface_t* target = cairo_get_group_target(cr);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(target) != CAIRO_FORMAT_ARGB32) {
        return false;
    }
    double sx = 1, sy = 1;
    cairo_surface_get_device_scale(target, &sx, &sy);
    if (sx != 1 || sy != 1) {
        return false;
    }
    out.surface = target;
    cairo_surface_get_device_offset(target, &out.offX, &out.offY);
    out.width = cairo_image_surface_get_width(target);
    out.height = cairo_image_surface_get_height(target);
    // What may be drawn: one rectangle of clip at most (masks and layers are groups, not clips).
    cairo_rectangle_list_t* clips = cairo_copy_clip_rectangle_list(cr);
    if (clips->status != CAIRO_STATUS_SUCCESS || clips->num_rectangles > 1) {
        cairo_rectangle_list_destroy(clips);
        return false;
    }
    double x0 = 0, y0 = 0, x1 = out.width, y1 = out.height;
    if (clips->num_rectangles == 1) {
        const cairo_rectangle_t& r = clips->rectangles[0];
        x0 = std::max(x0, r.x + out.offX);
        y0 = std::max(y0, r.y + out.offY);
        x1 = std::min(x1, r.x + r.width + out.offX);
        y1 = std::min(y1, r.y + r.height + out.offY);
    } else {
        x1 = x0; // clipped away entirely
    }
    cairo_rectangle_list_destroy(clips);
    out.clip = PixelBox{static_cast<int>(std::ceil(x0)), static_cast<int>(std::ceil(y0)),
                        static_cast<int>(std::floor(x1)), static_cast<int>(std::floor(y1))};
    if (m_coverage == nullptr || cairo_image_surface_get_width(m_coverage) < out.width ||
        cairo_image_surface_get_height(m_coverage) < out.height) {
        int w = out.width;
        int h = out.height;
        if (m_coverageCr != nullptr) {
            w = std::max(w, cairo_image_surface_get_width(m_coverage));
            h = std::max(h, cairo_image_surface_get_height(m_coverage));
            cairo_destroy(m_coverageCr);
            cairo_surface_destroy(m_coverage);
        }
        m_coverage = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
        m_coverageCr = cairo_create(m_coverage);
        cairo_set_source_rgba(m_coverageCr, 1, 1, 1, 1);
    }
    if (cairo_surface_status(m_coverage) != CAIRO_STATUS_SUCCESS) {
        return false;
    }
    cairo_set_antialias(m_coverageCr, cairo_get_antialias(cr));
    cairo_set_tolerance(m_coverageCr, cairo_get_tolerance(cr));
    return true;
}

bool Renderer::directPaint(const DirectTarget& target, const DirectPaint& what,
                           const ColorTransform& cx, Paint& paint) {
    const FillStyle& fill = *what.fill;
    if (fill.type == FillStyle::Type::Solid ||
        (fill.type != FillStyle::Type::Bitmap && fill.gradient.stops.size() == 1)) {
        const Rgba c = cx.apply(
            fill.type == FillStyle::Type::Solid ? fill.color : fill.gradient.stops.back().color);
        // Premultiplied through 16 bits, as cairo turns a solid colour into a pixel.
        auto ch = [&](std::uint8_t v) {
            return static_cast<std::uint32_t>(v / 255.0 * (c.a / 255.0) * 65535.0 + 0.5) >> 8;
        };
        paint.solid =
            static_cast<std::uint32_t>(c.a) << 24 | ch(c.r) << 16 | ch(c.g) << 8 | ch(c.b);
        paint.ramp = nullptr;
        return true;
    }
    if (fill.type == FillStyle::Type::Bitmap || fill.gradient.stops.empty()) {
        return false;
    }
    Matrix inverse;
    const Matrix patternToPixels =
        Matrix::translate(target.offX, target.offY) * what.patternSpace * fill.matrix;
    if (!invert(patternToPixels * Matrix::scale(16384.0, 16384.0), inverse)) {
        return false; // drawn as cairo draws a flat gradient
    }
    paint.ramp = &rampFor(fill, cx);
    paint.a = inverse.a;
    paint.b = inverse.b;
    paint.c = inverse.c;
    paint.d = inverse.d;
    paint.tx = inverse.tx;
    paint.ty = inverse.ty;
    return true;
}

void Renderer::flatten(const std::vector<const CairoPath*>& paths, const Matrix& toPixels,
                       double tolerance, FlatPath& out) {
    out.clear();
    auto device = [&](const cairo_path_data_t& p) {
        return Point{toPixels.a * p.point.x + toPixels.c * p.point.y + toPixels.tx,
                     toPixels.b * p.point.x + toPixels.d * p.point.y + toPixels.ty};
    };
    for (const CairoPath* path : paths) {
        const auto& d = path->data;
        for (std::size_t i = 0; i < d.size(); i += static_cast<std::size_t>(d[i].header.length)) {
            const int length = d[i].header.length;
            if (length <= 0 || i + static_cast<std::size_t>(length) > d.size()) {
                break;
            }
            switch (d[i].header.type) {
            case CAIRO_PATH_MOVE_TO:
                out.moveTo(device(d[i + 1]));
                break;
            case CAIRO_PATH_LINE_TO:
                out.lineTo(device(d[i + 1]));
                break;
            case CAIRO_PATH_CURVE_TO:
                if (length >= 4) {
                    out.curveTo(device(d[i + 1]), device(d[i + 2]), device(d[i + 3]), tolerance);
                }
                break;
            case CAIRO_PATH_CLOSE_PATH:
                out.close();
                break;
            }
        }
    }
}

Renderer::PixelBox Renderer::rasterize(const DirectTarget& target,
                                       const std::vector<const CairoPath*>& paths, const Matrix& m,
                                       const DirectPaint& what) {
    const Matrix toPixels = Matrix::translate(target.offX, target.offY) * m;
    // Curves and round ends cut into straight pieces stay well within cairo's tolerance, so
    // high-contrast edges come out as smooth as cairo's adaptive cuts made them.
    const double tolerance = cairo_get_tolerance(m_coverageCr) * kFlatness;
    flatten(paths, toPixels, tolerance, m_flat);
    if (m_flat.empty()) {
        return PixelBox{};
    }
    double grow = 1.0;
    const LineStyle* line = what.line;
    if (line != nullptr) {
        // Square caps reach out by the half-width's diagonal, miters by their limit.
        const double reach = line->join == JoinStyle::Miter ? std::max(line->miterLimit, 1.5) : 1.5;
        grow += what.lineWidth / 2.0 * reach;
    }
    if (!std::isfinite(grow)) {
        return PixelBox{};
    }
    const double covW = cairo_image_surface_get_width(m_coverage);
    const double covH = cairo_image_surface_get_height(m_coverage);
    const PixelBox box{static_cast<int>(std::clamp(std::floor(m_flat.minX - grow), 0.0, covW)),
                       static_cast<int>(std::clamp(std::floor(m_flat.minY - grow), 0.0, covH)),
                       static_cast<int>(std::clamp(std::ceil(m_flat.maxX + grow), 0.0, covW)),
                       static_cast<int>(std::clamp(std::ceil(m_flat.maxY + grow), 0.0, covH))};
    const PixelBox used = box.intersect(target.clip);
    if (used.empty()) {
        return PixelBox{};
    }
    // Only the part the clip lets through is rasterised; it is written whole, so the mask
    // needs no clearing first.
    m_rasterizer.reset(used.x0, used.y0, used.x1, used.y1);
    FillRule rule = FillRule::NonZero;
    if (line == nullptr) {
        rule = what.rule == CAIRO_FILL_RULE_EVEN_ODD ? FillRule::EvenOdd : FillRule::NonZero;
        m_rasterizer.fill(m_flat);
    } else {
        StrokeStyle style;
        style.width = what.lineWidth;
        style.startCap = line->startCap;
        style.endCap = line->endCap;
        style.join = line->join;
        style.miterLimit = line->miterLimit;
        style.tolerance = tolerance;
        m_rasterizer.stroke(m_flat, style);
    }
    cairo_surface_flush(m_coverage);
    unsigned char* mask = cairo_image_surface_get_data(m_coverage);
    const int maskStride = cairo_image_surface_get_stride(m_coverage);
    m_rasterizer.resolve(mask + static_cast<std::ptrdiff_t>(used.y0) * maskStride + used.x0,
                         maskStride, rule);
    cairo_surface_mark_dirty_rectangle(m_coverage, used.x0, used.y0, used.x1 - used.x0,
                                       used.y1 - used.y0);
    return used;
}

CoverageTarget Renderer::coverageOver(std::uint32_t* pixels, int strideWords, int originX,
                                      int originY, const PixelBox& box) const {
    const int maskStride = cairo_image_surface_get_stride(m_coverage);
    CoverageTarget t;
    t.pixels =
        pixels + static_cast<std::ptrdiff_t>(box.y0 - originY) * strideWords + (box.x0 - originX);
    t.strideWords = strideWords;
    t.coverage = cairo_image_surface_get_data(m_coverage) +
                 static_cast<std::ptrdiff_t>(box.y0) * maskStride + box.x0;
    t.coverageStride = maskStride;
    t.x0 = box.x0;
    t.y0 = box.y0;
    t.width = box.x1 - box.x0;
    t.height = box.y1 - box.y0;
    return t;
}

std::uint32_t* Renderer::targetPixels(const DirectTarget& target) {
    cairo_surface_flush(target.surface);
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(target.surface));
}

void Renderer::targetChanged(const DirectTarget& target, const PixelBox& box) {
    cairo_surface_mark_dirty_rectangle(target.surface, box.x0 - static_cast<int>(target.offX),
                                       box.y0 - static_cast<int>(target.offY), box.x1 - box.x0,
                                       box.y1 - box.y0);
}

bool Renderer::paintDirect(cairo_t* cr, const std::vector<const CairoPath*>& paths, const Matrix& m,
                           const DirectPaint& what, const State& state) {
    DirectTarget target;
    Paint paint;
    if (!directTarget(cr, state, target) || !directPaint(target, what, state.cx, paint)) {
        return false;
    }
    const PixelBox box = rasterize(target, paths, m, what);
    if (box.empty()) {
        return true; // nothing of it shows
    }
    const int stride = cairo_image_surface_get_stride(target.surface) / 4;
    compositeOver(coverageOver(targetPixels(target), stride, 0, 0, box), paint);
    targetChanged(target, box);
    return true;
}

bool Renderer::fillLayerDirect(cairo_t* cr, const CachedShape::Layer& layer, const State& state,
                               cairo_fill_rule_t rule) {
    // Fills that meet along an edge each cover part of the pixels on it. Drawn one over the
    // other, the background shows through there as a faint line; added together first, the
    // parts make a whole, as in Flash.
    DirectTarget target;
    if (!directTarget(cr, state, target)) {
        return false;
    }
    std::vector<std::pair<const CairoPath*, Paint>> fills;
    for (const CachedShape::Fill& f : layer.fills) {
        if (f.index == 0 || f.index > layer.styles->fills.size() || f.path.empty()) {
            continue;
        }
        Paint paint;
        if (!directPaint(
                target,
                DirectPaint{&layer.styles->fills[f.index - 1], state.matrix, rule, nullptr, 0},
                state.cx, paint)) {
            return false;
        }
        fills.emplace_back(&f.path, paint);
    }
    if (fills.empty()) {
        return true;
    }
    // The box of the whole layer on the target.
    PixelBox all{target.width, target.height, 0, 0};
    {
        const Matrix toPixels = Matrix::translate(target.offX, target.offY) * state.matrix;
        std::vector<const CairoPath*> paths;
        paths.reserve(fills.size());
        for (const auto& [path, paint] : fills) {
            paths.push_back(path);
        }
        flatten(paths, toPixels, cairo_get_tolerance(m_coverageCr), m_flat);
        if (m_flat.empty()) {
            return true;
        }
        const double x1 = m_flat.minX, y1 = m_flat.minY, x2 = m_flat.maxX, y2 = m_flat.maxY;
        all =
            PixelBox{static_cast<int>(std::clamp(std::floor(x1 - 1), -1.0, double(target.width))),
                     static_cast<int>(std::clamp(std::floor(y1 - 1), -1.0, double(target.height))),
                     static_cast<int>(std::clamp(std::ceil(x2 + 1), 0.0, double(target.width))),
                     static_cast<int>(std::clamp(std::ceil(y2 + 1), 0.0, double(target.height)))}
                .intersect(target.clip);
    }
    if (all.empty()) {
        return true;
    }
    const int w = all.x1 - all.x0;
    const int h = all.y1 - all.y0;
    m_layerScratch.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    // Where fills overlap (some tools write such shapes) the later one is on top, as it would
    // be drawn one over the other: the fills are gathered front to back.
    for (auto it = fills.rbegin(); it != fills.rend(); ++it) {
        const PixelBox box = rasterize(target, {it->first}, state.matrix,
                                       DirectPaint{nullptr, Matrix{}, rule, nullptr, 0})
                                 .intersect(all);
        if (box.empty()) {
            continue;
        }
        const CoverageTarget t = coverageOver(m_layerScratch.data(), w, all.x0, all.y0, box);
        accumulate(t, it->second);
    }
    const int stride = cairo_image_surface_get_stride(target.surface) / 4;
    std::uint32_t* pixels = targetPixels(target);
    compositeImageOver(pixels + static_cast<std::ptrdiff_t>(all.y0) * stride + all.x0, stride,
                       m_layerScratch.data(), w, w, h);
    targetChanged(target, all);
    return true;
}

void Renderer::drawShape(cairo_t* cr, const CachedShape& shape, const State& state) {
    const cairo_matrix_t m = toCairo(state.matrix);
    const double det = std::abs(state.matrix.a * state.matrix.d - state.matrix.b * state.matrix.c);
    const double objectScale = std::sqrt(det); // device pixels per twip
    cairo_save(cr);
    const cairo_fill_rule_t rule =
        shape.nonZeroWinding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD;
    cairo_set_fill_rule(cr, rule);
    for (const CachedShape::Layer& layer : shape.layers) {
        if (layer.styles == nullptr) {
            continue;
        }
        const bool layerDone = layer.fills.size() > 1 && fillLayerDirect(cr, layer, state, rule);
        for (const CachedShape::Fill& f : layer.fills) {
            if (layerDone) {
                break;
            }
            if (f.index == 0 || f.index > layer.styles->fills.size() || f.path.empty()) {
                continue;
            }
            const FillStyle& fill = layer.styles->fills[f.index - 1];
            const CairoPath* one = &f.path;
            if (paintDirect(cr, {one}, state.matrix,
                            DirectPaint{&fill, state.matrix, rule, nullptr, 0.0}, state)) {
                continue;
            }
            cairo_set_matrix(cr, &m);
            cairo_new_path(cr);
            const cairo_path_t path = f.path.view();
            cairo_append_path(cr, &path);
            if (setFillSource(cr, fill, state, Matrix{})) {
                cairo_fill(cr);
            }
        }
        for (const CachedShape::Stroke& s : layer.strokes) {
            if (s.index == 0 || s.index > layer.styles->lines.size()) {
                continue;
            }
            const LineStyle& ls = layer.styles->lines[s.index - 1];
            double width = 0;
            if (ls.noHScale || ls.noVScale) {
                width = ls.width / 20.0 * m_stagePixelScale;
            } else {
                width = ls.width * objectScale;
            }
            // Flash never draws a line thinner than a pixel; width 0 is the hairline.
            width = std::max(width, 1.0);
            if (!ls.hasFill || ls.fill.type != FillStyle::Type::Bitmap) {
                FillStyle solid;
                solid.color = ls.color;
                std::vector<const CairoPath*> lines;
                lines.reserve(s.lines.size());
                for (const CairoPath& line : s.lines) {
                    lines.push_back(&line);
                }
                if (paintDirect(cr, lines, state.matrix,
                                DirectPaint{ls.hasFill ? &ls.fill : &solid, state.matrix,
                                            CAIRO_FILL_RULE_WINDING, &ls, width},
                                state)) {
                    continue;
                }
            }
            cairo_set_matrix(cr, &m);
            cairo_new_path(cr);
            for (const CairoPath& line : s.lines) {
                const cairo_path_t path = line.view();
                cairo_append_path(cr, &path);
            }
            cairo_identity_matrix(cr);
            bool haveSource = true;
            if (ls.hasFill) {
                haveSource = setFillSource(cr, ls.fill, state, state.matrix);
            } else if (state.mask) {
                cairo_set_source_rgba(cr, 1, 1, 1, 1);
            } else {
                setColor(cr, state.cx.apply(ls.color));
            }
            if (!haveSource) {
                continue;
            }
            cairo_set_line_width(cr, width);
            cairo_set_line_cap(cr, cairoCap(ls.startCap));
            cairo_set_line_join(cr, cairoJoin(ls.join));
            cairo_set_miter_limit(cr, std::max(1.0, ls.miterLimit));
            cairo_stroke(cr);
        }
    }
    cairo_restore(cr);
}

void Renderer::drawText(cairo_t* cr, const StaticText& text, const State& state) {
    cairo_save(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    const Matrix base = state.matrix * text.matrix;
    for (const TextRun& run : text.runs) {
        const auto* font = m_movie.characterAs<Font>(run.fontId, Character::Kind::Font);
        if (font == nullptr) {
            continue;
        }
        if (state.mask) {
            cairo_set_source_rgba(cr, 1, 1, 1, 1);
        } else {
            setColor(cr, state.cx.apply(run.color));
        }
        const double scale = run.height / font->unitsPerEm;
        double x = run.x;
        cairo_new_path(cr);
        for (const TextGlyph& g : run.glyphs) {
            const Matrix gm = base * Matrix::translate(x, run.y) * Matrix::scale(scale, scale);
            x += g.advance;
            if (!invertible(gm)) {
                continue;
            }
            const CairoPath& path = glyphFor(*font, g.index);
            if (path.empty()) {
                continue;
            }
            // Each glyph is filled by itself: with one even-odd path for the run, glyphs that
            // overlap (tight spacing, italics) would cut holes into each other.
            const cairo_matrix_t cm = toCairo(gm);
            cairo_set_matrix(cr, &cm);
            const cairo_path_t view = path.view();
            cairo_new_path(cr);
            cairo_append_path(cr, &view);
            cairo_fill(cr);
        }
        cairo_identity_matrix(cr);
    }
    cairo_restore(cr);
}

void Renderer::drawEditText(cairo_t* cr, const EditText& field, const DisplayObject* obj,
                            const State& state) {
    m_textPainter->draw(cr, field, obj != nullptr ? obj->textField.get() : nullptr, state.matrix,
                        state.cx, state.mask);
}

TextFonts& Renderer::textFonts() {
    return m_textPainter->fonts();
}

void Renderer::drawButton(cairo_t* cr, const Button& button, const DisplayObject* obj,
                          const State& state) {
    if (obj != nullptr && obj->button) {
        renderList(cr, obj->button->displayList(), state);
        return;
    }
    // A button with no state of its own (inside another button): its up look, its sprites as
    // the button holds them.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < button.records.size(); ++i) {
        if (button.records[i].looks & ButtonLookUp) {
            order.push_back(i);
        }
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return button.records[a].depth < button.records[b].depth;
    });
    for (std::size_t i : order) {
        const ButtonRecord& rec = button.records[i];
        const Character* c = m_movie.character(rec.characterId);
        if (c == nullptr || c == &button || c->kind == Character::Kind::Button) {
            continue;
        }
        DisplayObject part;
        part.depth = rec.depth;
        part.characterId = rec.characterId;
        part.character = c;
        part.matrix = rec.matrix;
        part.colorTransform = rec.colorTransform;
        part.blendMode = rec.blendMode;
        part.filters = rec.filters;
        if (c->kind == Character::Kind::Sprite) {
            const TimelineInstance* instance =
                obj != nullptr && obj->stillButton ? obj->stillButton->sprite(i) : nullptr;
            if (instance == nullptr) {
                continue;
            }
            State child = state;
            child.matrix = state.matrix * rec.matrix;
            child.cx = state.cx * rec.colorTransform;
            child.nesting = state.nesting + 1;
            renderList(cr, instance->displayList(), child);
            continue;
        }
        renderObject(cr, part, state);
    }
}

void Renderer::applyFilters(cairo_surface_t* surface, const std::vector<Filter>& filters) {
    for (const Filter& f : filters) {
        applyFilter(surface, f, m_stagePixelScale);
    }
}

} // namespace kinovex::flash
