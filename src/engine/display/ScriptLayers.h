#pragma once
// Display objects a script machine made itself (a sprite built with `new`, a text field, a
// bitmap) and put among a clip's children. The timeline's display list does not hold them; the
// machine hands them to the renderer through this view, each with where it stands among the
// timeline's own objects.

#include "engine/definitions/Characters.h"

#include <climits>
#include <cstdint>
#include <optional>
#include <vector>

namespace kinovex::flash {

class ScriptDrawing;
struct DisplayObject;
class TextField;
class TimelineInstance;

// Premultiplied ARGB pixels, rows without padding.
struct ScriptPixels {
    const std::uint32_t* argb = nullptr;
    int width = 0;
    int height = 0;
    bool smoothing = false;
};

struct ScriptItem {
    // A clip its timeline placed that a script moved into another container: drawn as placed,
    // and nothing below applies. Otherwise an object the script made.
    const DisplayObject* placement = nullptr;
    // Drawn above the timeline object at this depth and beneath the next one; INT_MIN: beneath
    // them all.
    std::int32_t after = INT_MIN;
    Matrix matrix;
    ColorTransform colorTransform;
    BlendMode blendMode = BlendMode::Normal;
    std::vector<Filter> filters;
    // Only this part shows, moved to the origin (a scrollRect).
    std::optional<Rect> scrollRect;
    // What it shows itself, beneath its children; any may be missing.
    const ScriptDrawing* drawing = nullptr;
    TextField* textField = nullptr; // the painter keeps its laid-out lines on it
    ScriptPixels pixels;
    // A symbol's timeline the script made (its display list is drawn like a placed clip's).
    const TimelineInstance* clip = nullptr;
    // The object itself: the key for its own children.
    const void* node = nullptr;
    // The mask a script gave it (none, or one item whose matrix maps to the stage).
    std::vector<ScriptItem> mask;
};

class ScriptLayers {
public:
    virtual ~ScriptLayers() = default;
    // What scripts added among the children of a clip the timeline placed (or the main
    // timeline), and of an object a script made; in drawing order, only those to be seen.
    virtual void itemsOfClip(const TimelineInstance& clip, std::vector<ScriptItem>& out) const = 0;
    virtual void itemsOfNode(const void* node, std::vector<ScriptItem>& out) const = 0;
    // The mask a script gave a placed clip (`scriptMasked`), as an item whose matrix maps to
    // the stage; false when it has none.
    virtual bool maskOf(const DisplayObject& placement, ScriptItem& out) const = 0;
};

} // namespace kinovex::flash
