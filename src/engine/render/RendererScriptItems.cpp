// Display objects a script machine made itself: drawn among a clip's children where the script
// put them, with their own matrix, colours, filters and blend, their drawing, text or pixels
// beneath their children.

#include "engine/display/ScriptDrawing.h"
#include "engine/display/TextField.h"
#include "engine/render/Renderer.h"
#include "engine/render/TextFieldPainter.h"

namespace kinovex::flash {

std::vector<ScriptItem> Renderer::scriptItemsOf(const TimelineInstance& clip) const {
    std::vector<ScriptItem> items;
    if (m_scriptLayers != nullptr) {
        m_scriptLayers->itemsOfClip(clip, items);
    }
    return items;
}

void Renderer::renderScriptItem(cairo_t* cr, const ScriptItem& item, const State& parent) {
    if (item.placement != nullptr) {
        renderObject(cr, *item.placement, parent);
        return;
    }
    if (!item.mask.empty() && !parent.mask) {
        ScriptItem unmasked = item;
        unmasked.mask.clear();
        renderThroughMask(cr, item.mask.front(), parent,
                          [&] { renderScriptItem(cr, unmasked, parent); });
        return;
    }
    State state = parent;
    state.matrix = parent.matrix * item.matrix;
    state.cx = parent.cx * item.colorTransform;
    state.nesting = parent.nesting + 1;
    if (state.nesting > TimelineInstance::kMaxNesting + 4 || !invertible(state.matrix)) {
        return; // squashed flat, or nested past what is drawn
    }
    const bool grouped =
        !state.mask && (!item.filters.empty() || item.blendMode != BlendMode::Normal);
    if (!grouped) {
        drawScriptItemContent(cr, item, state);
        return;
    }
    cairo_push_group(cr);
    state.inLayer = true;
    drawScriptItemContent(cr, item, state);
    cairo_pattern_t* group = cairo_pop_group(cr);
    cairo_surface_t* surface = nullptr;
    if (!item.filters.empty() &&
        cairo_pattern_get_surface(group, &surface) == CAIRO_STATUS_SUCCESS &&
        cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE) {
        applyFilters(surface, item.filters);
    }
    cairo_save(cr);
    cairo_set_source(cr, group);
    cairo_set_operator(cr, blendOperator(item.blendMode));
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_pattern_destroy(group);
}

void Renderer::beginScroll(cairo_t* cr, const Rect& scrollRect, State& state) {
    cairo_save(cr);
    if (invertible(state.matrix)) {
        const Matrix& s = state.matrix;
        const cairo_matrix_t m{s.a, s.b, s.c, s.d, s.tx, s.ty};
        cairo_set_matrix(cr, &m);
        cairo_rectangle(cr, 0, 0, scrollRect.width(), scrollRect.height());
        cairo_identity_matrix(cr);
    } else {
        cairo_rectangle(cr, 0, 0, 0, 0);
    }
    cairo_clip(cr);
    state.matrix = state.matrix * Matrix::translate(-scrollRect.xMin, -scrollRect.yMin);
}

void Renderer::drawScriptItemContent(cairo_t* cr, const ScriptItem& item, const State& given) {
    State state = given;
    if (item.scrollRect) {
        beginScroll(cr, *item.scrollRect, state);
    }
    drawScriptItemOwn(cr, item, state);
    if (item.scrollRect) {
        cairo_restore(cr);
    }
}

void Renderer::drawScriptItemOwn(cairo_t* cr, const ScriptItem& item, const State& state) {
    if (item.pixels.argb != nullptr) {
        drawPixels(cr, item.pixels, state);
    }
    drawDrawing(cr, item.drawing, state);
    if (item.textField != nullptr) {
        m_textPainter->draw(cr, item.textField->definition(), item.textField, state.matrix,
                            state.cx, state.mask);
    }
    std::vector<ScriptItem> children;
    m_scriptLayers->itemsOfNode(item.node, children);
    if (item.clip != nullptr) {
        drawScriptDrawing(cr, *item.clip, state);
        renderList(cr, item.clip->displayList(), state, children);
        return;
    }
    for (const ScriptItem& child : children) {
        renderScriptItem(cr, child, state);
    }
}

void Renderer::renderThroughMask(cairo_t* cr, const ScriptItem& mask, const State& state,
                                 const std::function<void()>& draw) {
    cairo_push_group(cr);
    draw();
    cairo_pattern_t* content = cairo_pop_group(cr);
    cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
    State maskState;
    maskState.mask = true;
    maskState.nesting = state.nesting;
    maskState.matrix = m_stageToDevice * mask.matrix;
    if (mask.placement != nullptr) {
        renderContent(cr, *mask.placement, maskState);
    } else {
        ScriptItem atStage = mask;
        atStage.matrix = Matrix{};
        renderScriptItem(cr, atStage, maskState);
    }
    cairo_pattern_t* coverage = cairo_pop_group(cr);
    cairo_set_source(cr, content);
    cairo_mask(cr, coverage);
    cairo_pattern_destroy(coverage);
    cairo_pattern_destroy(content);
}

// Pixels cover 20 twips each from the object's origin; smoothed only when asked.
void Renderer::drawPixels(cairo_t* cr, const ScriptPixels& pixels, const State& state) {
    if (pixels.width <= 0 || pixels.height <= 0) {
        return;
    }
    cairo_save(cr);
    const Matrix toDevice = state.matrix * Matrix::scale(20, 20);
    const cairo_matrix_t m{toDevice.a, toDevice.b,  toDevice.c,
                           toDevice.d, toDevice.tx, toDevice.ty};
    cairo_set_matrix(cr, &m);
    cairo_rectangle(cr, 0, 0, pixels.width, pixels.height);
    if (state.mask) {
        cairo_set_source_rgba(cr, 1, 1, 1, 1);
        cairo_fill(cr);
        cairo_restore(cr);
        return;
    }
    // Only read: cairo takes the pixels as they lie.
    auto* data = reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(pixels.argb));
    cairo_surface_t* source = cairo_image_surface_create_for_data(
        data, CAIRO_FORMAT_ARGB32, pixels.width, pixels.height, pixels.width * 4);
    cairo_surface_t* shown = source;
    if (!state.cx.isIdentity()) {
        shown = transformedSurface(source, state.cx);
        cairo_surface_destroy(source);
    }
    cairo_set_source_surface(cr, shown, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr),
                             pixels.smoothing ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(shown);
}

} // namespace kinovex::flash
