// Buttons and the mouse as scripts see them: a button's script object, the handlers queued for
// it and for clips that act as buttons, and what a dragged clip was dropped on.

#include "engine/avm1/ClipOperations.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/display/Button.h"
#include "engine/display/ButtonHitTest.h"

#include <optional>

namespace kinovex::flash {

using avm1::ClipId;

ButtonScripts ScriptRuntime::buttonScripts() {
    ButtonScripts scripts;
    scripts.runActions = [this](TimelineInstance& owner, const ActionCode& code) {
        queueActions(owner, code);
    };
    scripts.clipTakesMouse = [this](const TimelineInstance& clip) { return clipTakesMouse(clip); };
    scripts.clipHandCursor = [this](const TimelineInstance& clip) { return clipHandCursor(clip); };
    scripts.clipHitArea = [this](const TimelineInstance& clip, Matrix& areaToStage) {
        return clipHitArea(clip, areaToStage);
    };
    scripts.callHandler = [this](TimelineInstance& owner, const DisplayObject& target,
                                 std::string_view name) {
        if (target.sprite) {
            clipMouseEvent(*target.sprite, name);
            return;
        }
        ClipId id = existingButtonId(target);
        if (id == 0 && m_vm->hasProperty(m_vm->buttonPrototype(), name)) {
            id = buttonId(owner, target); // every button answers this one
        }
        queueHandler(id, name);
    };
    return scripts;
}

DisplayObject* ScriptRuntime::findButton(ClipId id, TimelineInstance** owner) const {
    auto ref = m_buttonRefs.find(id);
    if (ref == m_buttonRefs.end()) {
        return nullptr;
    }
    TimelineInstance* tl = clip(ref->second.owner);
    if (tl == nullptr) {
        return nullptr;
    }
    auto matches = [&](const DisplayObject& obj) {
        return obj.button && obj.button->serial() == ref->second.serial;
    };
    DisplayList& list = tl->displayList();
    DisplayObject* found = nullptr;
    // Usually where it stood last time; a swap or a script may have moved it.
    if (auto it = list.find(ref->second.depth); it != list.end() && matches(it->second)) {
        found = &it->second;
    } else {
        for (auto& [depth, obj] : list) {
            if (matches(obj)) {
                found = &obj;
                ref->second.depth = depth;
                break;
            }
        }
    }
    if (found != nullptr && owner != nullptr) {
        *owner = tl;
    }
    return found;
}

ClipId ScriptRuntime::buttonId(TimelineInstance& owner, const DisplayObject& button) {
    if (!button.button || owner.clipId() == 0) {
        return 0;
    }
    const std::uint64_t serial = button.button->serial();
    if (auto it = m_buttonIds.find(serial); it != m_buttonIds.end()) {
        return it->second;
    }
    const ClipId id = m_nextClip++;
    m_buttonIds.emplace(serial, id);
    m_buttonRefs.emplace(id, ButtonRef{owner.clipId(), serial, button.depth});
    return id;
}

ClipId ScriptRuntime::existingButtonId(const DisplayObject& button) const {
    if (!button.button) {
        return 0;
    }
    auto it = m_buttonIds.find(button.button->serial());
    return it == m_buttonIds.end() ? 0 : it->second;
}

bool ScriptRuntime::isButton(ClipId id) {
    return m_buttonRefs.count(id) != 0;
}

void ScriptRuntime::queueHandler(ClipId id, std::string_view name) {
    if (id != 0) {
        m_queue.push_back(Queued{id, nullptr, std::string(name), nullptr, false});
    }
}

DisplayObject* ScriptRuntime::buttonPart(const TimelineInstance& sprite, TimelineInstance** owner,
                                         const DisplayObject** button) const {
    if (&sprite == m_root || sprite.parent() != nullptr) {
        return nullptr;
    }
    // Sprites in a button's looks have no parent timeline; the button holding one is found by
    // looking through the buttons on every timeline (rare: only their properties and paths ask).
    for (const auto& [id, tl] : m_clips) {
        for (auto& [depth, obj] : tl->displayList()) {
            if (!obj.button) {
                continue;
            }
            for (auto& [d, part] : obj.button->displayList()) {
                if (part.sprite.get() == &sprite) {
                    if (owner != nullptr) {
                        *owner = tl;
                    }
                    if (button != nullptr) {
                        *button = &obj;
                    }
                    return &part;
                }
            }
        }
    }
    return nullptr;
}

ClipId ScriptRuntime::buttonHolding(const TimelineInstance& sprite) {
    TimelineInstance* owner = nullptr;
    const DisplayObject* button = nullptr;
    return buttonPart(sprite, &owner, &button) != nullptr ? buttonId(*owner, *button) : 0;
}

void ScriptRuntime::syncButtons() {
    for (auto it = m_buttonRefs.begin(); it != m_buttonRefs.end();) {
        const ClipId id = it->first;
        DisplayObject* obj = findButton(id);
        if (obj == nullptr) {
            m_vm->clipRemoved(id);
            m_buttonIds.erase(it->second.serial);
            m_dropTargets.erase(id);
            it = m_buttonRefs.erase(it);
            continue;
        }
        if (avm1::Object* o = m_vm->existingClipObject(id)) {
            obj->button->enabled = m_vm->toBoolean(m_vm->getMember(o, "enabled", avm1::Value(o)));
            obj->button->useHandCursor =
                m_vm->toBoolean(m_vm->getMember(o, "useHandCursor", avm1::Value(o)));
        }
        ++it;
    }
}

std::string ScriptRuntime::dropTargetAt(double x, double y, ClipId skip) const {
    if (m_root == nullptr) {
        return {};
    }
    if (!m_hitTester) {
        m_hitTester = std::make_unique<HitTester>();
    }
    HitTester& hit = *m_hitTester;
    const Point p{x * 20, y * 20};
    // Topmost first; a sprite answers for the shapes it holds itself, the main timeline for
    // none (a drop on the background is a drop on nothing).
    // Empty: nothing hit yet, look further down; 0: the main timeline's own drawing.
    auto search = [&](auto&& self, const TimelineInstance& tl, const Matrix& m,
                      int nesting) -> std::optional<ClipId> {
        if (nesting > TimelineInstance::kMaxNesting + 2) {
            return std::nullopt;
        }
        const std::vector<const DisplayObject*> objects = hit.unmasked(tl.displayList(), m, p);
        for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
            const DisplayObject& obj = **it;
            if (obj.sprite) {
                if (obj.sprite->clipId() == skip) {
                    continue;
                }
                if (const auto found = self(self, *obj.sprite, m * obj.matrix, nesting + 1)) {
                    return found;
                }
                continue;
            }
            if (hit.hitsObject(obj, m, p)) {
                return &tl == m_root ? 0 : tl.clipId();
            }
        }
        return std::nullopt;
    };
    const ClipId found = search(search, *m_root, Matrix{}, 0).value_or(0);
    return found != 0 ? m_vm->slashPath(found) : std::string();
}

} // namespace kinovex::flash

namespace kinovex::flash {

namespace {

struct MouseEvent {
    const char* handler;
    std::uint32_t clipEvent; // the on (press) ... clip action flag
};

constexpr MouseEvent kMouseEvents[] = {
    {"onPress", ClipEventPress},
    {"onRelease", ClipEventRelease},
    {"onReleaseOutside", ClipEventReleaseOutside},
    {"onRollOver", ClipEventRollOver},
    {"onRollOut", ClipEventRollOut},
    {"onDragOver", ClipEventDragOver},
    {"onDragOut", ClipEventDragOut},
};

constexpr std::uint32_t kMouseClipEvents = ClipEventPress | ClipEventRelease |
                                           ClipEventReleaseOutside | ClipEventRollOver |
                                           ClipEventRollOut | ClipEventDragOver | ClipEventDragOut;

// The frame a clip acting as a button shows after each of its mouse events, when it has a frame
// with that label: its own up, over and down looks.
std::string_view lookLabelAfter(std::string_view handler) {
    if (handler == "onRollOver" || handler == "onRelease" || handler == "onDragOut") {
        return "_over";
    }
    if (handler == "onPress" || handler == "onDragOver") {
        return "_down";
    }
    return "_up"; // onRollOut, onReleaseOutside
}

} // namespace

bool ScriptRuntime::clipTakesMouse(const TimelineInstance& clip) {
    // on (press), on (release) ... written on the clip's placement make it a button as well.
    bool any = false;
    if (const auto& actions = clip.clipActions()) {
        for (const ClipAction& a : *actions) {
            any = any || (a.events & kMouseClipEvents) != 0;
        }
    }
    avm1::Object* o = m_vm->existingClipObject(clip.clipId());
    // A clip no script touched has only the handlers every clip inherits.
    avm1::Object* handlers = o != nullptr ? o : m_vm->clipPrototype();
    for (const MouseEvent& e : kMouseEvents) {
        any = any || m_vm->hasProperty(handlers, e.handler);
    }
    if (!any) {
        return false;
    }
    if (o == nullptr) {
        return true;
    }
    // A disabled clip takes no mouse events at all.
    const avm1::Value enabled = m_vm->getMember(o, "enabled", avm1::Value(o));
    return enabled.isUndefined() || m_vm->toBoolean(enabled);
}

bool ScriptRuntime::clipHandCursor(const TimelineInstance& clip) {
    avm1::Object* o = m_vm->existingClipObject(clip.clipId());
    if (o == nullptr) {
        o = m_vm->clipPrototype(); // MovieClip.prototype.useHandCursor = false holds for all
    }
    const avm1::Value hand = m_vm->getMember(o, "useHandCursor", avm1::Value(o));
    return hand.isUndefined() || m_vm->toBoolean(hand);
}

const TimelineInstance* ScriptRuntime::clipHitArea(const TimelineInstance& clip,
                                                   Matrix& areaToStage) {
    avm1::Object* o = m_vm->existingClipObject(clip.clipId());
    if (o == nullptr) {
        return nullptr;
    }
    const TimelineInstance* area = clipOfValue(m_vm->getMember(o, "hitArea", avm1::Value(o)));
    if (area == nullptr) {
        return nullptr;
    }
    areaToStage = stageMatrix(*area);
    return area;
}

void ScriptRuntime::clipMouseEvent(TimelineInstance& clip, std::string_view handler) {
    const std::string_view label = lookLabelAfter(handler);
    for (const auto& [name, frame] : clip.definition().labels) {
        if (name == label) {
            clip.setPlaying(false);
            clip.jumpTo(frame);
            break;
        }
    }
    // Its on (...) actions first, in the clip's own scope, then the handler.
    for (const MouseEvent& e : kMouseEvents) {
        if (handler == e.handler) {
            queueEvent(clip, e.clipEvent, handler);
            return;
        }
    }
}

} // namespace kinovex::flash
