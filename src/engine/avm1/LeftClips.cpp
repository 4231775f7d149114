// References to clips that left their parents: a reference finds the clip now at the target
// path the old one had when it was made, whatever it was renamed to since.

#include "engine/avm1/Vm.h"

#include <unordered_set>

namespace kinovex::flash::avm1 {

void Vm::clipMade(ClipId clip) {
    MadeAt at;
    at.names = namesFromLevel(clip, at.level);
    m_madeAt[clip] = std::move(at);
}

void Vm::clipLeft(ClipId clip) {
    const auto it = m_madeAt.find(clip);
    if (it != m_madeAt.end()) {
        m_leftClips[clip] = std::move(it->second);
        m_madeAt.erase(it);
    }
}

ClipId Vm::leftClipOf(const Object* o) const {
    if (o->objectClass() != ObjectClass::Clip || m_leftClips.empty()) {
        return 0;
    }
    ClipId id = o->clip();
    if (id == 0) {
        const auto it = m_leftClipObjects.find(o);
        id = it == m_leftClipObjects.end() ? 0 : it->second;
    }
    // The clip whose unload handler runs still stands for itself.
    if (id == 0 || m_leftClips.count(id) == 0 || m_host.clipExists(id) ||
        !m_host.formerPath(id).empty()) {
        return 0;
    }
    return id;
}

ClipId Vm::findLeftClip(ClipId clip) const {
    const auto it = m_leftClips.find(clip);
    if (it == m_leftClips.end() || !m_host.clipExists(it->second.level)) {
        return 0;
    }
    ClipId at = it->second.level;
    for (const std::string& name : it->second.names) {
        at = m_host.childClip(at, name, m_version >= 7);
        if (at == 0) {
            break;
        }
    }
    return at;
}

ClipId Vm::referencedClip(const Object* o) const {
    if (const ClipId left = leftClipOf(o)) {
        return findLeftClip(left);
    }
    return o->objectClass() == ObjectClass::Clip ? o->clip() : 0;
}

bool Vm::sameObject(const Object* a, const Object* b) const {
    if (a == b) {
        return true;
    }
    if (!isLeftClip(a) && !isLeftClip(b)) {
        return false;
    }
    return a->objectClass() == ObjectClass::Clip && b->objectClass() == ObjectClass::Clip &&
           referencedClip(a) == referencedClip(b);
}

// After a collection: clips that left are kept only while an object still stands for them.
void Vm::forgetUnreachableLeftClips() {
    std::unordered_set<ClipId> held;
    for (const auto& entry : m_leftClipObjects) {
        held.insert(entry.second);
    }
    std::erase_if(m_leftClips, [this, &held](const auto& entry) {
        return m_clips.count(entry.first) == 0 && held.count(entry.first) == 0;
    });
}

} // namespace kinovex::flash::avm1
