// Objects with filters, kept as their filtered picture while their content stays the same.

#include "engine/display/Bounds.h"
#include "engine/render/Filters.h"
#include "engine/render/KeyHasher.h"
#include "engine/render/LayerFingerprint.h"
#include "engine/render/Renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kinovex::flash {

namespace {

// The pixels of `area` of a layer (`stride` pixels a row), copied into a picture of their own.
cairo_surface_t* copyArea(const std::uint32_t* px, int stride, const PixelArea& area) {
    const int aw = area.right - area.left;
    const int ah = area.bottom - area.top;
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, aw, ah);
    auto* out = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(copy));
    const int outStride = cairo_image_surface_get_stride(copy) / 4;
    for (int y = 0; y < ah; ++y) {
        std::memcpy(out + static_cast<std::ptrdiff_t>(y) * outStride,
                    px + static_cast<std::ptrdiff_t>(area.top + y) * stride + area.left,
                    static_cast<std::size_t>(aw) * 4);
    }
    cairo_surface_mark_dirty(copy);
    return copy;
}

} // namespace

std::size_t FilteredKeyHash::operator()(const FilteredKey& k) const {
    KeyHasher h{k.content};
    for (double v : {k.a, k.b, k.c, k.d, k.stagePixelScale}) {
        h.add(v);
    }
    h.add(k.cx);
    for (double v : k.cutPlace) {
        h.add(v);
    }
    for (const Filter& f : k.filters) {
        h.add(static_cast<std::uint64_t>(f.type));
        for (double v : {f.blurX, f.blurY, f.angle, f.distance, f.strength}) {
            h.add(v);
        }
    }
    return static_cast<std::size_t>(h.h);
}

bool Renderer::drawFilteredKept(cairo_t* cr, const DisplayObject& obj, const State& state) {
    const std::optional<std::uint64_t> content = contentFingerprint(obj);
    const Matrix& m = state.matrix;
    if (!content || !std::isfinite(m.tx) || !std::isfinite(m.ty) || std::abs(m.tx) > 1e9 ||
        std::abs(m.ty) > 1e9) {
        return false;
    }
    // A filtered object is drawn once into a picture of its own, which is then laid on the
    // stage snapped to the nearest whole pixel, as the player lays its cached bitmaps: moving
    // the object only moves the picture.
    const double ix = std::floor(m.tx + 0.5);
    const double iy = std::floor(m.ty + 0.5);
    FilteredKey key{*content, m.a, m.b, m.c, m.d, state.cx, m_stagePixelScale, obj.filters};
    auto it = m_filtered.find(key);
    if (it == m_filtered.end()) {
        FilteredKey cutKey = key;
        cutKey.cut = true;
        const std::array<double, 4> clip = deviceClipExtents(cr);
        cutKey.cutPlace = {ix, iy, clip[0], clip[1], clip[2], clip[3]};
        it = m_filtered.find(cutKey);
        if (it == m_filtered.end()) {
            State snapped = state;
            snapped.matrix.tx = ix;
            snapped.matrix.ty = iy;
            snapped.inLayer = true;
            std::optional<FilteredPicture> drawn = drawFilteredLayer(cr, obj, snapped, ix, iy);
            if (!drawn) {
                return true; // laid on the target already, or nothing to see
            }
            const RasterEntry& entry = drawn->entry;
            if (m_filteredBytes + entry.bytes > kFilteredBudgetBytes) {
                const PixelBox box{entry.ox, entry.oy,
                                   entry.ox + cairo_image_surface_get_width(entry.surface),
                                   entry.oy + cairo_image_surface_get_height(entry.surface)};
                placeRaster(cr, entry, ix, iy, box, state);
                cairo_surface_destroy(entry.surface);
                return true;
            }
            m_filteredBytes += entry.bytes;
            it = m_filtered.emplace(drawn->cut ? std::move(cutKey) : std::move(key), entry).first;
        }
    }
    RasterEntry& kept = it->second;
    kept.lastUsed = m_frame;
    const PixelBox box{kept.ox, kept.oy, kept.ox + cairo_image_surface_get_width(kept.surface),
                       kept.oy + cairo_image_surface_get_height(kept.surface)};
    placeRaster(cr, kept, ix, iy, box, state);
    return true;
}

bool Renderer::clipToFilterReach(cairo_t* cr, const DisplayObject& obj, const State& state) {
    if (!drawnWithinBounds(obj)) {
        return false;
    }
    const std::optional<Rect> bounds = contentBounds(obj);
    if (!bounds) {
        return false;
    }
    double reachX = 0;
    double reachY = 0;
    for (const Filter& f : obj.filters) {
        const std::optional<std::pair<int, int>> reach = filterReach(f, m_stagePixelScale);
        if (!reach) {
            return false;
        }
        reachX += reach->first;
        reachY += reach->second;
    }
    const Matrix& m = state.matrix;
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (const auto& [x, y] : {std::pair<double, double>{bounds->xMin, bounds->yMin},
                               {bounds->xMax, bounds->yMin},
                               {bounds->xMin, bounds->yMax},
                               {bounds->xMax, bounds->yMax}}) {
        minX = std::min(minX, m.a * x + m.c * y + m.tx);
        maxX = std::max(maxX, m.a * x + m.c * y + m.tx);
        minY = std::min(minY, m.b * x + m.d * y + m.ty);
        maxY = std::max(maxY, m.b * x + m.d * y + m.ty);
    }
    // Room for anti-aliasing and for lines that keep their width however the shape is scaled.
    constexpr double kMargin = 4.0;
    const double x0 = std::floor(minX - reachX - kMargin);
    const double y0 = std::floor(minY - reachY - kMargin);
    const double x1 = std::ceil(maxX + reachX + kMargin);
    const double y1 = std::ceil(maxY + reachY + kMargin);
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1) ||
        std::abs(x0) > 1e7 || std::abs(y0) > 1e7 || std::abs(x1) > 1e7 || std::abs(y1) > 1e7) {
        return false;
    }
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
    cairo_clip(cr);
    return true;
}

std::optional<Renderer::FilteredPicture> Renderer::drawFilteredLayer(cairo_t* cr,
                                                                     const DisplayObject& obj,
                                                                     const State& state, double ix,
                                                                     double iy) {
    const bool clipped = clipToFilterReach(cr, obj, state);
    cairo_push_group(cr);
    renderContent(cr, obj, state);
    cairo_pattern_t* group = cairo_pop_group(cr);
    if (clipped) {
        cairo_restore(cr);
    }
    cairo_surface_t* layer = nullptr;
    std::optional<FilteredPicture> kept;
    if (cairo_pattern_get_surface(group, &layer) == CAIRO_STATUS_SUCCESS &&
        cairo_surface_get_type(layer) == CAIRO_SURFACE_TYPE_IMAGE &&
        cairo_image_surface_get_format(layer) == CAIRO_FORMAT_ARGB32) {
        applyFilters(layer, obj.filters);
        cairo_surface_flush(layer);
        const auto* px =
            reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(layer));
        const int w = cairo_image_surface_get_width(layer);
        const int h = cairo_image_surface_get_height(layer);
        const int stride = cairo_image_surface_get_stride(layer) / 4;
        const std::optional<PixelArea> area =
            px != nullptr ? coveredArea(px, w, h, stride) : std::nullopt;
        double offX = 0;
        double offY = 0;
        cairo_surface_get_device_offset(layer, &offX, &offY);
        if (!area) {
            cairo_pattern_destroy(group);
            return std::nullopt; // nothing to see
        }
        if (offX == std::floor(offX) && offY == std::floor(offY)) {
            kept.emplace();
            kept->entry.surface = copyArea(px, stride, *area);
            kept->entry.bytes =
                static_cast<std::size_t>(cairo_image_surface_get_stride(kept->entry.surface)) *
                static_cast<std::size_t>(area->bottom - area->top);
            // A picture touching the layer's edge may have been cut by it: it holds only
            // where it was drawn, since the object moved elsewhere would show what was cut.
            kept->cut = area->left == 0 || area->top == 0 || area->right >= w || area->bottom >= h;
            // Layer pixels are user space plus the device offset.
            kept->entry.ox = static_cast<int>(area->left - offX - ix);
            kept->entry.oy = static_cast<int>(area->top - offY - iy);
        }
    }
    if (!kept) {
        cairo_save(cr);
        cairo_set_source(cr, group);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    cairo_pattern_destroy(group);
    return kept;
}

} // namespace kinovex::flash
