// Timeline masks: the objects a mask reaches over are seen only where the mask covers them.

#include "engine/render/Compositor.h"
#include "engine/render/Renderer.h"

#include <cstring>

namespace kinovex::flash {

const std::uint8_t* Renderer::coverageAt(const ActiveMask& active, int x, int y) {
    return active.coverageBytes +
           static_cast<std::ptrdiff_t>(y - active.coverageY) * active.coverageStride +
           (x - active.coverageX);
}

Renderer::PixelBox Renderer::coveredWithin(const ActiveMask& active, PixelBox box) {
    PixelBox found{box.x1, box.y1, box.x0, box.y0};
    for (int y = box.y0; y < box.y1; ++y) {
        const std::uint8_t* row = coverageAt(active, box.x0, y); // pixel box.x0 of the row
        int first = box.x0;
        while (first < box.x1 && row[first - box.x0] == 0) {
            ++first;
        }
        if (first == box.x1) {
            continue;
        }
        int last = box.x1;
        while (row[last - 1 - box.x0] == 0) {
            --last;
        }
        found.x0 = std::min(found.x0, first);
        found.x1 = std::max(found.x1, last);
        found.y0 = std::min(found.y0, y);
        found.y1 = y + 1;
    }
    return found.empty() ? PixelBox{} : found;
}

Renderer::ActiveMask Renderer::beginMask(cairo_t* cr, const DisplayObject& mask,
                                         const State& state) {
    ActiveMask active;
    active.clipDepth = mask.clipDepth;
    cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
    State maskState = state;
    maskState.mask = true;
    renderObject(cr, mask, maskState);
    active.coverage = cairo_pop_group(cr);
    active.direct = beginDirectMask(cr, state, active);
    if (!active.direct) {
        // The group starts as a copy of what lies beneath, so that blend modes among the
        // objects act on it as they would on the target itself.
        cairo_surface_t* beneath = cairo_get_group_target(cr);
        cairo_push_group(cr);
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_set_source_surface(cr, beneath, 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    return active;
}

bool Renderer::beginDirectMask(cairo_t* cr, const State& state, ActiveMask& active) {
    cairo_surface_t* coverage = nullptr;
    if (!directTarget(cr, state, active.target) ||
        cairo_pattern_get_surface(active.coverage, &coverage) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(coverage) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(coverage) != CAIRO_FORMAT_A8) {
        return false;
    }
    // Both images are placed by their device offsets: pixel = device + offset.
    const DirectTarget& target = active.target;
    double cx = 0, cy = 0;
    cairo_surface_get_device_offset(coverage, &cx, &cy);
    const int dx = static_cast<int>(target.offX - cx);
    const int dy = static_cast<int>(target.offY - cy);
    if (dx != target.offX - cx || dy != target.offY - cy) {
        return false;
    }
    cairo_surface_flush(coverage);
    active.coverageBytes = cairo_image_surface_get_data(coverage);
    active.coverageStride = cairo_image_surface_get_stride(coverage);
    active.coverageX = dx;
    active.coverageY = dy;
    const PixelBox reach =
        target.clip.intersect(PixelBox{dx, dy, dx + cairo_image_surface_get_width(coverage),
                                       dy + cairo_image_surface_get_height(coverage)});
    active.box = reach.empty() ? PixelBox{} : coveredWithin(active, reach);

    // Nothing is drawn outside the covered box; inside it, what lies there now is kept.
    const PixelBox& box = active.box;
    cairo_save(cr);
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    cairo_identity_matrix(cr);
    cairo_rectangle(cr, box.x0 - target.offX, box.y0 - target.offY, box.x1 - box.x0,
                    box.y1 - box.y0);
    cairo_clip(cr);
    cairo_set_matrix(cr, &matrix);
    if (box.empty()) {
        return true;
    }
    const int width = box.x1 - box.x0;
    const int strideWords = cairo_image_surface_get_stride(target.surface) / 4;
    const std::uint32_t* pixels = targetPixels(target);
    active.under.resize(static_cast<std::size_t>(width) * (box.y1 - box.y0));
    for (int y = box.y0; y < box.y1; ++y) {
        std::memcpy(active.under.data() + static_cast<std::size_t>(y - box.y0) * width,
                    pixels + static_cast<std::ptrdiff_t>(y) * strideWords + box.x0,
                    static_cast<std::size_t>(width) * 4);
    }
    return true;
}

void Renderer::endMask(cairo_t* cr, ActiveMask& active) {
    if (!active.direct) {
        // Through the mask, the group takes the target's place: the target's pixels are mixed
        // with the group's by the coverage.
        cairo_pattern_t* content = cairo_pop_group(cr);
        cairo_save(cr);
        cairo_set_source(cr, content);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_mask(cr, active.coverage);
        cairo_restore(cr);
        cairo_pattern_destroy(content);
        cairo_pattern_destroy(active.coverage);
        return;
    }
    cairo_restore(cr);
    const PixelBox& box = active.box;
    if (!box.empty()) {
        const DirectTarget& target = active.target;
        const int strideWords = cairo_image_surface_get_stride(target.surface) / 4;
        const int width = box.x1 - box.x0;
        keepCovered(targetPixels(target) + static_cast<std::ptrdiff_t>(box.y0) * strideWords +
                        box.x0,
                    strideWords, active.under.data(), width, coverageAt(active, box.x0, box.y0),
                    active.coverageStride, width, box.y1 - box.y0);
        targetChanged(target, box);
    }
    cairo_pattern_destroy(active.coverage);
}

} // namespace kinovex::flash
