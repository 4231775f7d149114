#include "engine/avm2/DisplayTreeView.h"

#include "engine/avm2/Avm2Runtime.h"
#include "engine/avm2/BitmapPixels.h"
#include "engine/avm2/DisplayNatives.h"
#include "engine/display/Timeline.h"

#include <algorithm>
#include <climits>

namespace kinovex::flash {

using avm2::hidden;
using avm2::Object;
using avm2::Value;

namespace {

// How a child stands among its container's children: placed by the container's timeline (at
// a depth), made by a script, a clip another timeline placed (moved here by a script), or
// another object that timeline shows (drawn there).
enum class Standing { Timeline, Script, MovedClip, Elsewhere };

Standing standingOf(const Object* container, Object* child, const TimelineInstance* root,
                    std::int32_t& depth) {
    if (child->clip != nullptr) {
        if (child->clip == root) {
            return Standing::Elsewhere;
        }
        if (child->clip->owner() == nullptr) {
            return Standing::Script; // a symbol's timeline a script started
        }
        depth = child->clip->depth();
        return child->clip->parent() == container->clip ? Standing::Timeline : Standing::MovedClip;
    }
    const Value placedDepth = hidden(child, "depth");
    if (!placedDepth.isNumeric()) {
        return Standing::Script;
    }
    depth = static_cast<std::int32_t>(placedDepth.num());
    return container->clip != nullptr && display_natives::placed(child) != nullptr
               ? Standing::Timeline
               : Standing::Elsewhere;
}

// Visible, and not another object's mask (drawn only as that).
bool shown(Object* o) {
    const Value visible = hidden(o, "visible");
    const Value maskOf = hidden(o, "maskOf");
    const bool masking =
        maskOf.isObject() && hidden(maskOf.o, "mask").isObject() && hidden(maskOf.o, "mask").o == o;
    return (visible.kind != avm2::Kind::Boolean || visible.b) && !masking;
}

} // namespace

void DisplayTreeView::itemsOfClip(const TimelineInstance& clip,
                                  std::vector<ScriptItem>& out) const {
    Object* o = m_runtime.existingObjectFor(clip);
    if (o == nullptr) {
        return;
    }
    Object* stage = m_runtime.stageObject();
    if (&clip != m_runtime.root() || stage == nullptr) {
        itemsOf(o, INT_MIN, out);
        return;
    }
    // What scripts put on the stage itself goes beneath the main timeline or above it all.
    auto at = std::find(stage->children.begin(), stage->children.end(), o);
    std::vector<ScriptItem> above;
    std::vector<ScriptItem>& beneath = out;
    for (auto it = stage->children.begin(); it != stage->children.end(); ++it) {
        if (*it != o && (*it)->clip != m_runtime.root() && shown(*it)) {
            (it < at ? beneath : above).push_back(itemFor(*it, it < at ? INT_MIN : INT_MAX));
        }
    }
    itemsOf(o, INT_MIN, out);
    out.insert(out.end(), above.begin(), above.end());
}

void DisplayTreeView::itemsOfNode(const void* node, std::vector<ScriptItem>& out) const {
    // Only nodes this view handed out come back.
    auto* o = static_cast<Object*>(const_cast<void*>(node));
    itemsOf(o, INT_MIN, out);
}

void DisplayTreeView::itemsOf(Object* container, std::int32_t after,
                              std::vector<ScriptItem>& out) const {
    for (Object* child : container->children) {
        std::int32_t depth = 0;
        switch (standingOf(container, child, m_runtime.root(), depth)) {
        case Standing::Timeline:
            after = std::max(after, depth);
            break;
        case Standing::Script:
            if (shown(child)) {
                out.push_back(itemFor(child, after));
            }
            break;
        case Standing::MovedClip:
            if (shown(child) && child->clip->owner()->visible) {
                ScriptItem moved;
                moved.after = after;
                moved.placement = child->clip->owner();
                out.push_back(std::move(moved));
            }
            break;
        case Standing::Elsewhere:
            break;
        }
    }
}

bool DisplayTreeView::maskOf(const DisplayObject& placement, ScriptItem& out) const {
    Object* o = placement.sprite ? m_runtime.existingObjectFor(*placement.sprite) : nullptr;
    const Value mask = o != nullptr ? hidden(o, "mask") : Value();
    if (!mask.isObject()) {
        return false;
    }
    out = maskItem(mask.o);
    return true;
}

ScriptItem DisplayTreeView::maskItem(Object* mask) const {
    ScriptItem item;
    if (DisplayObject* d = display_natives::placed(mask)) {
        item.placement = d;
    } else {
        item = itemFor(mask, INT_MIN, false);
    }
    item.matrix = display_natives::stageMatrixOf(mask);
    return item;
}

ScriptItem DisplayTreeView::itemFor(Object* o, std::int32_t after, bool withMask) const {
    ScriptItem item;
    item.after = after;
    item.node = o;
    item.matrix = display_natives::objectMatrix(o);
    item.colorTransform = display_natives::colorTransformOf(o);
    item.scrollRect = display_natives::scrollRectOf(o);
    if (const Value filters = hidden(o, "filters"); filters.isObject()) {
        for (const Value& f : filters.o->elems) {
            if (f.isObject()) {
                if (std::optional<Filter> shownFilter =
                        display_natives::displayFilter(m_runtime.machine(), f.o)) {
                    item.filters.push_back(*shownFilter);
                }
            }
        }
    }
    item.drawing = o->drawing.get();
    item.textField = o->textField.get();
    if (const Value data = hidden(o, "bitmapData"); data.isObject() && data.o->pixels) {
        const avm2::BitmapPixels& pixels = *data.o->pixels;
        if (!pixels.argb.empty()) {
            item.pixels = {pixels.argb.data(), pixels.width, pixels.height,
                           avm2::Machine::toBoolean(hidden(o, "smoothing"))};
        }
    }
    item.clip = o->clip;
    if (const Value mask = hidden(o, "mask"); withMask && mask.isObject()) {
        item.mask.push_back(maskItem(mask.o));
    }
    return item;
}

} // namespace kinovex::flash
