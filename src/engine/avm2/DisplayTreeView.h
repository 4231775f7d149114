#pragma once
// The display objects scripts made, as the renderer sees them: for a container, the children a
// script made (or a symbol's timeline a script started), each with where it stands among the
// timeline's own objects and how it looks now.

#include "engine/display/ScriptLayers.h"

namespace kinovex::flash {

class Avm2Runtime;

namespace avm2 {
struct Object;
}

class DisplayTreeView final : public ScriptLayers {
public:
    explicit DisplayTreeView(Avm2Runtime& runtime) : m_runtime(runtime) {}

    void itemsOfClip(const TimelineInstance& clip, std::vector<ScriptItem>& out) const override;
    void itemsOfNode(const void* node, std::vector<ScriptItem>& out) const override;
    bool maskOf(const DisplayObject& placement, ScriptItem& out) const override;

private:
    // `container`'s script-made children; `after` starts as where they stand when they come
    // before every timeline object.
    void itemsOf(avm2::Object* container, std::int32_t after, std::vector<ScriptItem>& out) const;
    // `withMask`: with the mask a script gave it (a mask's own mask is not drawn).
    ScriptItem itemFor(avm2::Object* o, std::int32_t after, bool withMask = true) const;
    // `mask` as the renderer draws a mask: its matrix maps to the stage, and it has no mask.
    ScriptItem maskItem(avm2::Object* mask) const;

    Avm2Runtime& m_runtime;
};

} // namespace kinovex::flash
