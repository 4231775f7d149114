// loadMovie with no address: the clip's movie is unloaded, and an empty clip of the same name,
// depth and placement stands where it stood from the second frame after the call.

#include "engine/avm1/ScriptRuntime.h"

namespace kinovex::flash {

void ScriptRuntime::unloadMovieLater(avm1::ClipId clip) {
    m_movieUnloads.push_back(MovieUnload{clip, 2});
}

void ScriptRuntime::finishMovieUnloads() {
    std::vector<avm1::ClipId> due;
    std::erase_if(m_movieUnloads, [&due](MovieUnload& u) {
        if (--u.framesLeft > 0) {
            return false;
        }
        due.push_back(u.clip);
        return true;
    });
    for (const avm1::ClipId id : due) {
        replaceWithEmptyClip(id);
    }
}

avm1::ClipId ScriptRuntime::replaceWithEmptyClip(avm1::ClipId id) {
    TimelineInstance* c = clip(id);
    const DisplayObject* obj = objectOf(id);
    if (c == nullptr || obj == nullptr || c->parent() == nullptr) {
        return 0;
    }
    TimelineInstance& parent = *c->parent();
    const std::int32_t depth = obj->depth;
    const std::string name = obj->name;
    const Matrix matrix = obj->matrix;
    const ColorTransform cx = obj->colorTransform;
    const bool visible = obj->visible;
    parent.removeObject(depth);
    DisplayObject& made = parent.addObject(depth, *m_emptySprite, name);
    made.matrix = matrix;
    made.colorTransform = cx;
    made.visible = visible;
    return made.sprite ? made.sprite->clipId() : 0;
}

} // namespace kinovex::flash
