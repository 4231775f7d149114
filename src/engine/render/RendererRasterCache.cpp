// Pictures kept from frame to frame: shapes and static text as bitmaps of their own, laid again
// while they are drawn the same way, and bitmaps under a colour transform.

#include "engine/definitions/Movie.h"
#include "engine/render/Compositor.h"
#include "engine/render/KeyHasher.h"
#include "engine/render/Renderer.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash {

namespace {

// Shapes drawn the same way twice are kept as bitmaps, within these limits. A backdrop as
// large as a 1920 x 1080 stage is among them: drawn again every frame it costs the most.
constexpr int kMaxRasterPixels = 2048 * 1200;
// Past this size a bitmap is kept only while most of it (four fifths) is seen: a drawing
// zoomed far past the stage would take many megabytes for what the frame cuts off.
constexpr long kSmallRasterPixels = 512L * 512L;

// Whether most of the box [x0, x1) x [y0, y1) (device pixels) lies within what `cr` may draw on.
bool mostlySeen(cairo_t* cr, double x0, double y0, double x1, double y1) {
    const double area = (x1 - x0) * (y1 - y0);
    if (area <= static_cast<double>(kSmallRasterPixels)) {
        return true;
    }
    const auto [cx0, cy0, cx1, cy1] = deviceClipExtents(cr);
    const double w = std::min(x1, cx1) - std::max(x0, cx0);
    const double h = std::min(y1, cy1) - std::max(y0, cy0);
    return w > 0 && h > 0 && w * h * 5 >= area * 4;
}

} // namespace

std::array<double, 4> deviceClipExtents(cairo_t* cr) {
    std::array<double, 4> box{};
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_clip_extents(cr, &box[0], &box[1], &box[2], &box[3]);
    cairo_restore(cr);
    return box;
}

void Renderer::drawShapeCached(cairo_t* cr, const CachedShape& shape, const State& state) {
    drawKept(cr,
             Keepable{&shape, shape.bounds, shape.maxNoScaleWidth,
                      [&](cairo_t* on, const State& s) { drawShape(on, shape, s); }},
             state);
}

void Renderer::drawTextCached(cairo_t* cr, const StaticText& text, const State& state) {
    const std::optional<Rect>& bounds = textBounds(text);
    if (!bounds) {
        drawText(cr, text, state);
        return;
    }
    drawKept(
        cr,
        Keepable{&text, *bounds, 0.0, [&](cairo_t* on, const State& s) { drawText(on, text, s); }},
        state);
}

const std::optional<Rect>& Renderer::textBounds(const StaticText& text) {
    auto found = m_textBounds.find(&text);
    if (found != m_textBounds.end()) {
        return found->second;
    }
    // Every point of every glyph's outline, control points included (a curve stays within
    // them), as drawText places it.
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (const TextRun& run : text.runs) {
        const auto* font = m_movie.characterAs<Font>(run.fontId, Character::Kind::Font);
        if (font == nullptr) {
            continue;
        }
        const double scale = run.height / font->unitsPerEm;
        double x = run.x;
        for (const TextGlyph& g : run.glyphs) {
            const Matrix gm =
                text.matrix * Matrix::translate(x, run.y) * Matrix::scale(scale, scale);
            x += g.advance;
            const CairoPath& path = glyphFor(*font, g.index);
            for (std::size_t i = 0; i < path.data.size(); i += path.data[i].header.length) {
                const auto length =
                    static_cast<std::size_t>(std::max(0, path.data[i].header.length));
                for (std::size_t j = 1; j < length && i + j < path.data.size(); ++j) {
                    const auto& p = path.data[i + j].point;
                    const double px = gm.a * p.x + gm.c * p.y + gm.tx;
                    const double py = gm.b * p.x + gm.d * p.y + gm.ty;
                    minX = std::min(minX, px);
                    maxX = std::max(maxX, px);
                    minY = std::min(minY, py);
                    maxY = std::max(maxY, py);
                }
                if (path.data[i].header.length <= 0) {
                    break; // a damaged path: no length to step by
                }
            }
        }
    }
    std::optional<Rect> bounds;
    if (minX <= maxX && minY <= maxY && std::abs(minX) < 1e9 && std::abs(maxX) < 1e9 &&
        std::abs(minY) < 1e9 && std::abs(maxY) < 1e9) {
        bounds = Rect{static_cast<std::int32_t>(std::floor(minX)),
                      static_cast<std::int32_t>(std::ceil(maxX)),
                      static_cast<std::int32_t>(std::floor(minY)),
                      static_cast<std::int32_t>(std::ceil(maxY))};
    }
    return m_textBounds.emplace(&text, bounds).first->second;
}

void Renderer::drawKept(cairo_t* cr, const Keepable& what, const State& state) {
    if (state.mask) {
        what.draw(cr, state);
        return;
    }
    const Matrix& m = state.matrix;
    const double ix = std::floor(m.tx);
    const double iy = std::floor(m.ty);
    Matrix local = m;
    // Within a pixel the position counts in quarters: a shape moving smoothly across the
    // stage then comes from a handful of bitmaps, at most an eighth of a pixel off.
    // Drawn directly or from the bitmap, the shape is at the same place.
    local.tx = std::round((m.tx - ix) * 4.0) / 4.0;
    local.ty = std::round((m.ty - iy) * 4.0) / 4.0;
    State snapped = state;
    snapped.matrix.tx = ix + local.tx;
    snapped.matrix.ty = iy + local.ty;
    PixelBox box;
    if (!rasterBox(what, local, box)) {
        what.draw(cr, state);
        return;
    }
    const RasterKey key{what.key,         m.a, m.b, m.c, m.d, local.tx, local.ty, state.cx,
                        m_stagePixelScale};
    auto it = m_raster.find(key);
    if (it == m_raster.end()) {
        // The first time it is drawn straight away; a shape seen twice is likely to stay.
        if (m_seenOnce.insert(key).second || m_rasterBytes > m_rasterBudget ||
            !mostlySeen(cr, ix + box.x0, iy + box.y0, ix + box.x1, iy + box.y1)) {
            what.draw(cr, snapped);
            return;
        }
        State inRaster = state;
        inRaster.matrix = local;
        const RasterEntry entry = drawRaster(cr, what, inRaster, box);
        m_rasterBytes += entry.bytes;
        m_seenOnce.erase(key);
        it = m_raster.emplace(key, entry).first;
    }
    it->second.lastUsed = m_frame;
    placeRaster(cr, it->second, ix, iy, box, state);
}

bool Renderer::rasterBox(const Keepable& what, const Matrix& local, PixelBox& out) const {
    // The shape's box on the device, with room for anti-aliasing, hairlines and lines that do
    // not scale with the shape.
    const Rect& b = what.bounds;
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (const auto& [x, y] : {std::pair<double, double>{b.xMin, b.yMin},
                               {b.xMax, b.yMin},
                               {b.xMin, b.yMax},
                               {b.xMax, b.yMax}}) {
        const double dx = local.a * x + local.c * y + local.tx;
        const double dy = local.b * x + local.d * y + local.ty;
        minX = std::min(minX, dx);
        maxX = std::max(maxX, dx);
        minY = std::min(minY, dy);
        maxY = std::max(maxY, dy);
    }
    const double margin = 2.0 + what.maxNoScaleWidth / 20.0 * m_stagePixelScale / 2.0;
    if (!std::isfinite(minX) || !std::isfinite(maxX) || !std::isfinite(minY) ||
        !std::isfinite(maxY) || maxX - minX > 4096 || maxY - minY > 4096 || b.xMax < b.xMin ||
        b.yMax < b.yMin) {
        return false;
    }
    out.x0 = static_cast<int>(std::floor(minX - margin));
    out.y0 = static_cast<int>(std::floor(minY - margin));
    out.x1 = static_cast<int>(std::ceil(maxX + margin));
    out.y1 = static_cast<int>(std::ceil(maxY + margin));
    const int w = out.x1 - out.x0;
    const int h = out.y1 - out.y0;
    return w > 0 && h > 0 && w * h <= kMaxRasterPixels;
}

Renderer::RasterEntry Renderer::drawRaster(cairo_t* cr, const Keepable& what, const State& state,
                                           const PixelBox& box) {
    const int w = box.x1 - box.x0;
    const int h = box.y1 - box.y0;
    RasterEntry entry;
    entry.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    entry.ox = box.x0;
    entry.oy = box.y0;
    entry.bytes = static_cast<std::size_t>(cairo_image_surface_get_stride(entry.surface)) *
                  static_cast<std::size_t>(h);
    cairo_t* raster = cairo_create(entry.surface);
    cairo_set_tolerance(raster, cairo_get_tolerance(cr));
    cairo_set_antialias(raster, cairo_get_antialias(cr));
    State inRaster = state;
    inRaster.matrix.tx -= box.x0;
    inRaster.matrix.ty -= box.y0;
    what.draw(raster, inRaster);
    cairo_destroy(raster);
    cairo_surface_flush(entry.surface);
    return entry;
}

void Renderer::placeRaster(cairo_t* cr, const RasterEntry& entry, double ix, double iy,
                           const PixelBox& box, const State& state) {
    DirectTarget target;
    if (std::abs(ix) < 1e9 && std::abs(iy) < 1e9 && directTarget(cr, state, target) &&
        target.offX == std::floor(target.offX) && target.offY == std::floor(target.offY)) {
        // The bitmap lands on whole pixels: it goes over the target pixel for pixel, as cairo
        // would lay it there, without setting up a pattern for it.
        const int x0 = static_cast<int>(ix + target.offX) + entry.ox;
        const int y0 = static_cast<int>(iy + target.offY) + entry.oy;
        const PixelBox on = PixelBox{x0, y0, x0 + cairo_image_surface_get_width(entry.surface),
                                     y0 + cairo_image_surface_get_height(entry.surface)}
                                .intersect(target.clip);
        const auto* bits =
            reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(entry.surface));
        if (!on.empty() && bits != nullptr) {
            const int stride = cairo_image_surface_get_stride(target.surface) / 4;
            const int bitsStride = cairo_image_surface_get_stride(entry.surface) / 4;
            compositeImageOver(
                targetPixels(target) + static_cast<std::ptrdiff_t>(on.y0) * stride + on.x0, stride,
                bits + static_cast<std::ptrdiff_t>(on.y0 - y0) * bitsStride + (on.x0 - x0),
                bitsStride, on.x1 - on.x0, on.y1 - on.y0);
            targetChanged(target, on);
        }
        return;
    }
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_source_surface(cr, entry.surface, ix + entry.ox, iy + entry.oy);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, ix + entry.ox, iy + entry.oy, box.x1 - box.x0, box.y1 - box.y0);
    cairo_fill(cr);
    cairo_restore(cr);
}

std::size_t Renderer::TintKeyHash::operator()(const TintKey& k) const {
    KeyHasher h{k.id};
    h.add(k.cx);
    return static_cast<std::size_t>(h.h);
}

cairo_surface_t* Renderer::tintedBitmapFor(std::uint16_t id, cairo_surface_t* plain,
                                           const ColorTransform& cx) {
    auto it = m_tinted.find(TintKey{id, cx});
    if (it == m_tinted.end()) {
        // A fade tints the bitmap anew each frame: the image of a tint no drawing of this
        // frame took is written over, rather than a new one cleared first and the old one
        // dropped at the end of the next frame.
        auto stale = std::find_if(m_tinted.begin(), m_tinted.end(), [&](const auto& entry) {
            return entry.first.id == id && entry.second.lastUsed < m_frame &&
                   cairo_image_surface_get_width(entry.second.surface) ==
                       cairo_image_surface_get_width(plain) &&
                   cairo_image_surface_get_height(entry.second.surface) ==
                       cairo_image_surface_get_height(plain);
        });
        BitmapEntry entry;
        if (stale != m_tinted.end()) {
            entry.surface = stale->second.surface;
            m_tinted.erase(stale);
            transformInto(plain, cx, entry.surface);
        } else {
            entry.surface = transformedSurface(plain, cx);
        }
        it = m_tinted.emplace(TintKey{id, cx}, entry).first;
    }
    it->second.lastUsed = m_frame;
    return it->second.surface;
}

} // namespace kinovex::flash
