#include "engine/avm1/ScriptRuntime.h"

#include "engine/avm1/ClipOperations.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/TextBinding.h"
#include "engine/avm1/Utf8.h"
#include "engine/definitions/Movie.h"
#include "engine/display/Button.h"
#include "engine/display/ButtonHitTest.h"
#include "engine/display/ButtonInput.h"
#include "engine/display/Mixer.h"
#include "engine/display/ScriptDrawing.h"
#include "engine/display/TextField.h"
#include "engine/swf/AsciiCase.h"
#include "engine/text/TextFonts.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <numbers>

namespace kinovex::flash {

using avm1::ClipId;
using avm1::ClipProperty;
using avm1::Value;

namespace {

bool sameName(std::string_view a, std::string_view b, bool caseSensitive) {
    return caseSensitive ? a == b : equalsIgnoringAsciiCase(a, b);
}

double xScaleOf(const Matrix& m) {
    return std::sqrt(m.a * m.a + m.b * m.b) * 100.0;
}

double yScaleOf(const Matrix& m) {
    const double s = std::sqrt(m.c * m.c + m.d * m.d) * 100.0;
    // A mirrored matrix reports its mirroring on the y scale.
    return m.a * m.d - m.b * m.c < 0 ? -s : s;
}

double rotationOf(const Matrix& m) {
    return std::atan2(m.b, m.a) * 180.0 / std::numbers::pi;
}

// Rebuilds a matrix from scales (percent) and rotation (degrees), keeping its position.
void compose(Matrix& m, double xScale, double yScale, double rotation) {
    const double r = rotation * std::numbers::pi / 180.0;
    const double cs = std::cos(r);
    const double sn = std::sin(r);
    m.a = xScale / 100.0 * cs;
    m.b = xScale / 100.0 * sn;
    m.c = -yScale / 100.0 * sn;
    m.d = yScale / 100.0 * cs;
}

} // namespace

ScriptRuntime::ScriptRuntime(const Movie& movie, Log& log, SoundMixer* mixer)
    : m_movie(movie), m_log(log), m_mixer(mixer) {
    m_emptySprite = std::make_unique<Sprite>();
    m_emptySprite->timeline.frames.resize(1);
    m_vm = std::make_unique<avm1::Vm>(*this, movie.version());
    installPlayerClasses();
}

ScriptRuntime::~ScriptRuntime() = default;

// ---- the frame ----

void ScriptRuntime::attachRoot(TimelineInstance& root) {
    m_root = &root;
    const ClipId id = m_nextClip++;
    root.setClipId(id);
    root.setHooks(this);
    m_clips[id] = &root;
    m_execOrder.push_back(id);
    // Before SWF 6 the main timeline has no load event.
    m_rootLoadDue = m_movie.version() >= 6;
}

void ScriptRuntime::runFrame(double nowMs) {
    m_nowMs = nowMs;
    // Loads that finished arrive before the timers of this frame run.
    finishLoads();
    finishClipLoads();
    finishMovieUnloads();
    m_vm->beginFrame();
    // Newest first; clips made during the walk wait for the next frame (they ran their first
    // frame when they were made).
    for (std::size_t i = m_execOrder.size(); i-- > 0;) {
        auto it = m_clips.find(m_execOrder[i]);
        if (it == m_clips.end()) {
            continue;
        }
        TimelineInstance& clip = *it->second;
        queueEvent(clip, ClipEventEnterFrame, "onEnterFrame");
        clip.advanceOwn();
    }
    finishFrame();
}

void ScriptRuntime::finishFrame() {
    // Fields placed this frame give undefined variables their text before scripts run; after
    // them, fields show what the scripts set.
    if (m_root != nullptr) {
        fieldsPlaced(*m_root);
        syncBoundTextFields(*m_root, *m_vm);
    }
    drain();
    if (m_rootLoadDue && m_root != nullptr) {
        m_rootLoadDue = false;
        queueEvent(*m_root, ClipEventLoad, "onLoad");
        drain();
    }
    if (m_root != nullptr) {
        syncBoundTextFields(*m_root, *m_vm);
    }
    syncButtons();
    for (const ClipId id : m_gone) {
        m_vm->clipRemoved(id);
    }
    m_gone.clear();
    m_formerPaths.clear();
    std::erase_if(m_execOrder, [this](ClipId id) { return m_clips.count(id) == 0; });
    dropGoneFields();
    m_vm->collectWhenGrown();
}

void ScriptRuntime::queueEvent(TimelineInstance& clip, std::uint32_t event,
                               std::string_view method) {
    if (const auto& actions = clip.clipActions()) {
        for (const ClipAction& a : *actions) {
            if ((a.events & event) != 0) {
                m_queue.push_back(Queued{clip.clipId(), a.code, {}, nullptr, false});
            }
        }
    }
    // A clip no script has touched has no handler of its own; only one MovieClip.prototype
    // gives all clips could answer. Skipping the rest keeps large movies from making a script
    // object for every clip on every frame.
    if (!method.empty() && (m_vm->existingClipObject(clip.clipId()) != nullptr ||
                            m_vm->hasProperty(m_vm->clipPrototype(), method))) {
        m_queue.push_back(Queued{clip.clipId(), nullptr, std::string(method), nullptr, false});
    }
}

void ScriptRuntime::queueInitialize(TimelineInstance& clip) {
    // A clip a script made (a duplicate carries its original's actions) runs its construct
    // actions at once, inside the call that made it, and its initialize ones wait in the queue.
    // A clip its timeline placed runs its initialize actions at once, before the init actions
    // that follow in the frame, and its construct ones wait.
    const DisplayObject* obj = clip.owner();
    const bool madeByScript = obj != nullptr && obj->dynamic;
    const std::uint32_t atOnce = madeByScript ? ClipEventConstruct : ClipEventInitialize;
    if (const auto& actions = clip.clipActions()) {
        for (const ClipAction& a : *actions) {
            if ((a.events & atOnce) != 0) {
                m_vm->runActions(clip.clipId(), a.code);
            } else if ((a.events & (ClipEventConstruct | ClipEventInitialize)) != 0) {
                const auto at = m_queue.begin() + static_cast<std::ptrdiff_t>(m_initializeQueued);
                m_queue.insert(at, Queued{clip.clipId(), a.code, {}, nullptr, false});
                ++m_initializeQueued;
            }
        }
    }
}

void ScriptRuntime::runClipActions(TimelineInstance& clip, std::uint32_t event) {
    if (const auto& actions = clip.clipActions()) {
        for (const ClipAction& a : *actions) {
            if ((a.events & event) != 0) {
                m_vm->runActions(clip.clipId(), a.code);
            }
        }
    }
}

void ScriptRuntime::queueActions(TimelineInstance& clip, const ActionCode& code) {
    m_queue.push_back(Queued{clip.clipId(), code, {}, nullptr, false});
}

void ScriptRuntime::drain() {
    if (m_draining) {
        return; // the running pass picks up what was queued
    }
    m_draining = true;
    while (!m_queue.empty()) {
        Queued q = std::move(m_queue.front());
        m_queue.pop_front();
        if (m_initializeQueued > 0) {
            --m_initializeQueued;
        }
        m_unloading = q.unload ? q.clip : 0;
        if (q.removal) {
            finishRemoval(q.clip);
            continue;
        }
        if (q.object != nullptr) {
            // A listener, or the unload handler of a clip that has gone.
            if (q.code) {
                m_vm->runActions(q.clip, q.code);
            } else {
                m_vm->callMethod(q.object, q.method);
            }
            continue;
        }
        if (q.unload) {
            m_vm->runActions(q.clip, q.code);
            continue;
        }
        if (m_clips.count(q.clip) == 0 && findButton(q.clip) == nullptr) {
            continue; // removed before its turn came
        }
        if (q.code) {
            m_vm->runActions(q.clip, q.code);
        } else {
            m_vm->callHandler(q.clip, q.method);
        }
    }
    m_unloading = 0;
    m_draining = false;
}

// ---- hooks from the timelines ----

void ScriptRuntime::clipCreated(TimelineInstance& clip) {
    const ClipId id = m_nextClip++;
    clip.setClipId(id);
    m_clips[id] = &clip;
    m_execOrder.push_back(id);
    DisplayObject* obj = clip.owner();
    if (obj != nullptr && obj->name.empty()) {
        obj->name = "instance" + std::to_string(++m_instanceCounter);
    }
    m_vm->clipMade(id);
    // A placed symbol with a class registered for it runs its initialize actions as a plain
    // clip, then becomes an instance of the class and runs its construct actions and the class
    // constructor, all before any of its frame scripts.
    const std::string linkage =
        obj != nullptr && !obj->dynamic
            ? avm1::movieText(m_movie.exportName(obj->characterId), m_vm->version())
            : std::string();
    if (!linkage.empty() && m_vm->registeredClass(linkage) != nullptr) {
        runClipActions(clip, ClipEventInitialize);
        m_vm->initClipClass(id, linkage,
                            [this, &clip] { runClipActions(clip, ClipEventConstruct); });
    } else {
        queueInitialize(clip);
    }
    queueEvent(clip, ClipEventLoad, "onLoad");
}

void ScriptRuntime::clipLeaving(TimelineInstance& clip) {
    if (clip.clipId() != 0) {
        m_formerPaths[clip.clipId()] = m_vm->targetPath(clip.clipId());
        m_vm->clipLeft(clip.clipId());
    }
    for (auto& entry : clip.displayList()) {
        if (entry.second.sprite) {
            clipLeaving(*entry.second.sprite);
        }
    }
}

std::string ScriptRuntime::formerPath(ClipId id) {
    // Only the clip whose unload handler runs still answers to its path; other references to
    // clips that left print as nothing.
    auto it = m_formerPaths.find(id);
    return it == m_formerPaths.end() || id != m_unloading ? std::string() : it->second;
}

void ScriptRuntime::clipDestroyed(TimelineInstance& clip) {
    const ClipId id = clip.clipId();
    if (id == 0) {
        return;
    }
    m_clips.erase(id);
    m_dropTargets.erase(id);
    m_clipFocusRects.erase(id);
    // A mask and the clip it masks forget each other when either goes.
    if (TimelineInstance* mask = clip.scriptMask()) {
        mask->setMaskedClip(nullptr);
        clip.setScriptMask(nullptr);
    }
    if (TimelineInstance* masked = clip.maskedClip()) {
        masked->setScriptMask(nullptr);
        clip.setMaskedClip(nullptr);
    }
    if (m_dragClip == id) {
        m_dragClip = 0;
    }
    m_gone.push_back(id);
    if (m_unloadQueued.erase(id) > 0 || clip.replacedByPlace()) {
        return;
    }
    if (const auto& actions = clip.clipActions()) {
        for (const ClipAction& a : *actions) {
            if ((a.events & ClipEventUnload) != 0) {
                m_queue.push_back(Queued{id, a.code, {}, nullptr, true});
            }
        }
    }
    if (avm1::Object* o = m_vm->existingClipObject(id)) {
        m_queue.push_back(Queued{id, nullptr, "onUnload", o, true});
    }
}

void ScriptRuntime::frameActions(TimelineInstance& clip, const ActionCode& code) {
    m_queue.push_back(Queued{clip.clipId(), code, {}, nullptr, false});
}

void ScriptRuntime::initActions(TimelineInstance& clip, std::uint16_t spriteId,
                                const ActionCode& code) {
    if (!m_initDone.insert(spriteId).second) {
        return;
    }
    m_vm->runActions(clip.clipId(), code);
}

// ---- input ----

void ScriptRuntime::broadcast(std::uint32_t event, std::string_view method,
                              std::string_view listenerHolder) {
    for (std::size_t i = m_execOrder.size(); i-- > 0;) {
        auto it = m_clips.find(m_execOrder[i]);
        if (it != m_clips.end()) {
            queueEvent(*it->second, event, method);
        }
    }
    callListeners(listenerHolder, method);
    finishFrame();
}

void ScriptRuntime::callListeners(std::string_view holder, std::string_view method) {
    avm1::Object* global = m_vm->global();
    const avm1::Property* h = global->findOwn(holder);
    if (h == nullptr || !h->value.isObject()) {
        return;
    }
    const avm1::Property* list = h->value.asObject()->findOwn("_listeners");
    if (list == nullptr || !list->value.isObject()) {
        return;
    }
    for (const Value& l : list->value.asObject()->elements()) {
        if (l.isObject()) {
            m_queue.push_back(Queued{0, nullptr, std::string(method), l.asObject(), false});
        }
    }
}

void ScriptRuntime::mouseMove(double x, double y) {
    m_mouseX = x;
    m_mouseY = y;
    moveDragged();
    broadcast(ClipEventMouseMove, "onMouseMove", "Mouse");
}

void ScriptRuntime::moveDragged() {
    if (m_dragClip == 0) {
        return;
    }
    TimelineInstance* c = clip(m_dragClip);
    DisplayObject* obj = objectOf(m_dragClip);
    if (c == nullptr || obj == nullptr) {
        return;
    }
    // The pointer in the parent's coordinates.
    Matrix parent = c->parent() ? stageMatrix(*c->parent()) : Matrix{};
    const double det = parent.a * parent.d - parent.b * parent.c;
    if (det != 0) {
        const double px = m_mouseX * 20 - parent.tx;
        const double py = m_mouseY * 20 - parent.ty;
        double lx = (parent.d * px - parent.c * py) / det;
        double ly = (-parent.b * px + parent.a * py) / det;
        if (!m_dragLockCenter) {
            lx += m_dragOffsetX;
            ly += m_dragOffsetY;
        }
        if (m_dragHasRect) {
            lx = std::clamp(lx, std::min(m_dragRect[0], m_dragRect[2]) * 20,
                            std::max(m_dragRect[0], m_dragRect[2]) * 20);
            ly = std::clamp(ly, std::min(m_dragRect[1], m_dragRect[3]) * 20,
                            std::max(m_dragRect[1], m_dragRect[3]) * 20);
        }
        obj->matrix.tx = std::round(lx);
        obj->matrix.ty = std::round(ly);
        obj->scriptTransformed = true;
    }
    const Matrix at = stageMatrix(*c);
    m_dropTargets[m_dragClip] = dropTargetAt(at.tx / 20.0, at.ty / 20.0, m_dragClip);
}

void ScriptRuntime::mouseDown(double x, double y) {
    m_mouseX = x;
    m_mouseY = y;
    moveDragged();
    m_mousePressed = true;
    broadcast(ClipEventMouseDown, "onMouseDown", "Mouse");
}

void ScriptRuntime::mouseUp(double x, double y) {
    m_mouseX = x;
    m_mouseY = y;
    moveDragged();
    m_mousePressed = false;
    broadcast(ClipEventMouseUp, "onMouseUp", "Mouse");
}

void ScriptRuntime::keyDown(int keyCode, std::uint32_t charCode) {
    m_keysDown.insert(keyCode);
    m_lastKey = keyCode;
    m_lastChar = charCode;
    const int buttonKey = ButtonKeyCode(keyCode, charCode);
    for (std::size_t i = m_execOrder.size(); i-- > 0;) {
        auto it = m_clips.find(m_execOrder[i]);
        if (it == m_clips.end()) {
            continue;
        }
        queueEvent(*it->second, ClipEventKeyDown, {});
        // on (keyPress "<Left>") written on a clip: every clip that asks for the key hears it.
        if (const auto& actions = it->second->clipActions(); actions && buttonKey != 0) {
            for (const ClipAction& a : *actions) {
                if ((a.events & ClipEventKeyPress) != 0 && a.keyCode == buttonKey) {
                    m_queue.push_back(Queued{it->first, a.code, {}, nullptr, false});
                }
            }
        }
    }
    callListeners("Key", "onKeyDown");
    finishFrame();
}

void ScriptRuntime::keyUp(int keyCode, std::uint32_t charCode) {
    m_keysDown.erase(keyCode);
    m_lastKey = keyCode;
    m_lastChar = charCode;
    for (std::size_t i = m_execOrder.size(); i-- > 0;) {
        auto it = m_clips.find(m_execOrder[i]);
        if (it != m_clips.end()) {
            queueEvent(*it->second, ClipEventKeyUp, {});
        }
    }
    callListeners("Key", "onKeyUp");
    finishFrame();
}

// ---- the clip tree ----

TimelineInstance* ScriptRuntime::clip(ClipId id) const {
    auto it = m_clips.find(id);
    return it == m_clips.end() ? nullptr : it->second;
}

DisplayObject* ScriptRuntime::objectOf(ClipId id) const {
    TimelineInstance* c = clip(id);
    if (c == nullptr) {
        return findButton(id);
    }
    DisplayObject* obj = c->owner();
    return obj != nullptr ? obj : buttonPart(*c);
}

ClipId ScriptRuntime::rootClip() {
    return m_root != nullptr ? m_root->clipId() : 0;
}

ClipId ScriptRuntime::parentClip(ClipId id) {
    TimelineInstance* c = clip(id);
    if (c == nullptr) {
        TimelineInstance* owner = nullptr;
        return findButton(id, &owner) != nullptr ? owner->clipId() : 0;
    }
    if (c->parent() != nullptr) {
        return c->parent()->clipId();
    }
    return c == m_root ? 0 : buttonHolding(*c);
}

ClipId ScriptRuntime::childNamed(TimelineInstance& parent, std::string_view name,
                                 bool caseSensitive, DisplayObject** firstField) {
    for (auto& [depth, obj] : parent.displayList()) {
        if (!sameName(obj.name, name, caseSensitive)) {
            continue;
        }
        if (obj.sprite && obj.sprite->clipId() != 0) {
            return obj.sprite->clipId();
        }
        if (obj.button) {
            return buttonId(parent, obj);
        }
        if (obj.textField && firstField != nullptr && *firstField == nullptr) {
            *firstField = &obj;
        }
    }
    return 0;
}

ClipId ScriptRuntime::childClip(ClipId parent, std::string_view name, bool caseSensitive) {
    TimelineInstance* c = clip(parent);
    return c != nullptr ? childNamed(*c, name, caseSensitive, nullptr) : 0;
}

avm1::ScriptHost::NamedChild ScriptRuntime::namedChild(ClipId parentId, std::string_view name,
                                                       bool caseSensitive) {
    TimelineInstance* parent = clip(parentId);
    if (parent == nullptr) {
        return {};
    }
    DisplayObject* field = nullptr;
    const ClipId child = childNamed(*parent, name, caseSensitive, &field);
    if (child != 0 || field == nullptr) {
        return {child, nullptr};
    }
    return {0, fieldObject(*parent, *field)};
}

bool ScriptRuntime::clipExists(ClipId id) {
    return m_clips.count(id) != 0 || findButton(id) != nullptr;
}

std::string ScriptRuntime::clipName(ClipId id) {
    DisplayObject* obj = objectOf(id);
    if (obj == nullptr) {
        return {};
    }
    if (obj->name.empty() && obj->sprite) {
        // A sprite in a button's look, named when first asked.
        obj->name = "instance" + std::to_string(++m_instanceCounter);
    }
    return obj->name;
}

int ScriptRuntime::clipDepth(ClipId id) {
    TimelineInstance* c = clip(id);
    if (c == nullptr) {
        const DisplayObject* button = findButton(id);
        return button != nullptr ? button->depth - kScriptDepthBase : 0;
    }
    if (c->parent() == nullptr) {
        return 0; // _level0
    }
    return c->depth() - kScriptDepthBase;
}

std::vector<std::string> ScriptRuntime::childNames(ClipId id) {
    std::vector<std::string> names;
    if (TimelineInstance* c = clip(id)) {
        for (const auto& [depth, obj] : c->displayList()) {
            if ((obj.sprite || obj.button) && !obj.name.empty()) {
                names.push_back(obj.name);
            }
        }
    }
    return names;
}

// ---- properties ----

double ScriptRuntime::pointerIn(const Matrix& s, ClipProperty p) const {
    const double det = s.a * s.d - s.b * s.c;
    if (det == 0) {
        return 0.0;
    }
    const double px = m_mouseX * 20 - s.tx;
    const double py = m_mouseY * 20 - s.ty;
    const double lx = (s.d * px - s.c * py) / det;
    const double ly = (-s.b * px + s.a * py) / det;
    return std::round(p == ClipProperty::XMouse ? lx : ly) / 20.0;
}

Value ScriptRuntime::getClipProperty(ClipId id, ClipProperty p) {
    TimelineInstance* c = clip(id);
    TimelineInstance* buttonOwner = nullptr;
    const DisplayObject* obj = c != nullptr ? objectOf(id) : findButton(id, &buttonOwner);
    if (c == nullptr && obj == nullptr) {
        return {};
    }
    if (c == nullptr) {
        // A button: a display object without a timeline of its own.
        switch (p) {
        case ClipProperty::CurrentFrame:
        case ClipProperty::TotalFrames:
        case ClipProperty::FramesLoaded:
        case ClipProperty::DropTarget:
        case ClipProperty::Url:
            return {};
        case ClipProperty::Width:
        case ClipProperty::Height: {
            const Rect r = transformRect(obj->matrix, listBounds(obj->button->displayList()));
            return Value((p == ClipProperty::Width ? r.width() : r.height()) / 20.0);
        }
        case ClipProperty::XMouse:
        case ClipProperty::YMouse:
            return Value(pointerIn(stageMatrix(*buttonOwner) * obj->matrix, p));
        default:
            break; // the rest as for clips
        }
    }
    const Matrix m = obj != nullptr ? obj->matrix : Matrix{};
    switch (p) {
    case ClipProperty::X:
        return Value(m.tx / 20.0);
    case ClipProperty::Y:
        return Value(m.ty / 20.0);
    case ClipProperty::XScale:
        return Value(xScaleOf(m));
    case ClipProperty::YScale:
        return Value(yScaleOf(m));
    case ClipProperty::Rotation:
        return Value(rotationOf(m));
    case ClipProperty::CurrentFrame:
        return Value(static_cast<double>(c->currentFrame() + 1));
    case ClipProperty::TotalFrames:
    case ClipProperty::FramesLoaded:
        // The whole movie is there from the start.
        return Value(static_cast<double>(c->frameCount()));
    case ClipProperty::Alpha:
        return Value((obj != nullptr ? obj->colorTransform : m_rootColor).aMult * 100.0);
    case ClipProperty::Visible:
        return Value(obj == nullptr || obj->visible);
    case ClipProperty::Width:
    case ClipProperty::Height: {
        const Rect r = transformRect(m, localBounds(*c));
        return Value((p == ClipProperty::Width ? r.width() : r.height()) / 20.0);
    }
    case ClipProperty::XMouse:
    case ClipProperty::YMouse:
        return Value(pointerIn(stageMatrix(*c), p));
    case ClipProperty::DropTarget: {
        auto it = m_dropTargets.find(id);
        return Value(it != m_dropTargets.end() ? it->second : std::string());
    }
    case ClipProperty::Url:
        return Value("");
    case ClipProperty::HighQuality:
        return Value(1.0);
    case ClipProperty::FocusRect:
        return focusRect(id);
    case ClipProperty::SoundBufTime:
        return Value(5.0);
    case ClipProperty::Quality:
        return Value("HIGH");
    case ClipProperty::Target:
    case ClipProperty::Name:
        break; // the interpreter works these out
    }
    return {};
}

void ScriptRuntime::setClipProperty(ClipId id, ClipProperty p, const Value& v) {
    if (p == ClipProperty::FocusRect) {
        setFocusRect(id, v);
        return;
    }
    DisplayObject* obj = objectOf(id);
    if (obj == nullptr) {
        return; // the main timeline does not move
    }
    const double n = m_vm->toNumber(v);
    Matrix& m = obj->matrix;
    switch (p) {
    case ClipProperty::X:
    case ClipProperty::Y:
    case ClipProperty::XScale:
    case ClipProperty::YScale:
    case ClipProperty::Rotation:
    case ClipProperty::Alpha:
    case ClipProperty::Width:
    case ClipProperty::Height:
        // From now on the script, not the timeline's moves, says where the clip stands.
        obj->scriptTransformed = true;
        break;
    default:
        break;
    }
    switch (p) {
    case ClipProperty::X:
        if (std::isfinite(n)) {
            m.tx = std::round(n * 20.0); // positions are whole twips
        }
        break;
    case ClipProperty::Y:
        if (std::isfinite(n)) {
            m.ty = std::round(n * 20.0);
        }
        break;
    case ClipProperty::XScale:
        if (std::isfinite(n)) {
            compose(m, n, yScaleOf(m), rotationOf(m));
        }
        break;
    case ClipProperty::YScale:
        if (std::isfinite(n)) {
            compose(m, xScaleOf(m), n, rotationOf(m));
        }
        break;
    case ClipProperty::Rotation:
        if (std::isfinite(n)) {
            double r = std::fmod(n, 360.0);
            if (r > 180) {
                r -= 360;
            } else if (r < -180) {
                r += 360;
            }
            compose(m, xScaleOf(m), yScaleOf(m), r);
        }
        break;
    case ClipProperty::Alpha:
        if (std::isfinite(n)) {
            // Kept in 8.8 fixed point, as the player keeps it.
            obj->colorTransform.aMult = std::trunc(n * 256.0 / 100.0) / 256.0;
        }
        break;
    case ClipProperty::Visible:
        obj->visible = m_vm->toBoolean(v) && !(v.isNumber() && n == 0);
        break;
    case ClipProperty::Width:
    case ClipProperty::Height: {
        TimelineInstance* c = clip(id);
        const Rect local = c != nullptr  ? localBounds(*c)
                           : obj->button ? listBounds(obj->button->displayList())
                                         : Rect{};
        const Rect r = transformRect(m, local);
        const double current = (p == ClipProperty::Width ? r.width() : r.height()) / 20.0;
        if (!std::isfinite(n) || current == 0) {
            break;
        }
        if (p == ClipProperty::Width) {
            compose(m, xScaleOf(m) * n / current, yScaleOf(m), rotationOf(m));
        } else {
            compose(m, xScaleOf(m), yScaleOf(m) * n / current, rotationOf(m));
        }
        break;
    }
    case ClipProperty::Name:
        obj->name = m_vm->toString(v);
        break;
    default:
        break; // read-only
    }
}

// ---- timeline control ----

void ScriptRuntime::gotoFrame(ClipId id, std::uint32_t frame, bool play) {
    if (TimelineInstance* c = clip(id)) {
        c->setPlaying(play);
        c->jumpTo(frame > 0 ? frame - 1 : 0);
    }
}

bool ScriptRuntime::gotoLabel(ClipId id, std::string_view label, bool play) {
    const std::uint32_t frame = frameOfLabel(id, label);
    if (frame == 0) {
        return false;
    }
    gotoFrame(id, frame, play);
    return true;
}

std::uint32_t ScriptRuntime::frameOfLabel(ClipId id, std::string_view label) {
    TimelineInstance* c = clip(id);
    if (c == nullptr) {
        return 0;
    }
    const std::string wanted = avm1::movieBytes(label, m_vm->version());
    for (const auto& [name, frame] : c->definition().labels) {
        // Labels are matched in any case, as the player does.
        if (sameName(name, wanted, false)) {
            return frame + 1;
        }
    }
    return 0;
}

void ScriptRuntime::play(ClipId id) {
    if (TimelineInstance* c = clip(id)) {
        c->setPlaying(true);
    }
}

void ScriptRuntime::stop(ClipId id) {
    if (TimelineInstance* c = clip(id)) {
        c->setPlaying(false);
    }
}

void ScriptRuntime::nextFrame(ClipId id) {
    if (TimelineInstance* c = clip(id)) {
        c->setPlaying(false);
        if (c->currentFrame() + 1 < c->frameCount()) {
            c->jumpTo(c->currentFrame() + 1);
        }
    }
}

void ScriptRuntime::prevFrame(ClipId id) {
    if (TimelineInstance* c = clip(id)) {
        c->setPlaying(false);
        if (c->currentFrame() > 0) {
            c->jumpTo(c->currentFrame() - 1);
        }
    }
}

void ScriptRuntime::callFrame(ClipId id, std::uint32_t frame) {
    TimelineInstance* c = clip(id);
    if (c == nullptr || frame == 0 || frame > c->definition().frames.size()) {
        return;
    }
    for (const FrameCommand& cmd : c->definition().frames[frame - 1]) {
        if (cmd.type == FrameCommand::Type::Action && cmd.action < c->definition().actions.size()) {
            m_vm->runCalledFrame(id, c->definition().actions[cmd.action]);
        }
    }
}

void ScriptRuntime::stopSounds() {
    if (m_mixer != nullptr) {
        m_mixer->stopAll();
    }
}

ClipId ScriptRuntime::cloneClip(ClipId id, std::string_view name, int depth) {
    TimelineInstance* c = clip(id);
    const DisplayObject* obj = objectOf(id);
    if (c == nullptr || obj == nullptr || c->parent() == nullptr || obj->character == nullptr ||
        obj->character->kind != Character::Kind::Sprite) {
        return 0;
    }
    const std::int64_t d = static_cast<std::int64_t>(depth) + kScriptDepthBase;
    if (d < INT32_MIN || d > INT32_MAX) {
        return 0;
    }
    // Read before placing: the copy may go to this clip's own depth, which removes `obj`.
    const Character& character = *obj->character;
    const Matrix matrix = obj->matrix;
    const ColorTransform cx = obj->colorTransform;
    const BlendMode blend = obj->blendMode;
    const std::vector<Filter> filters = obj->filters;
    const bool visible = obj->visible;
    const auto clipActions = obj->clipActions;
    std::shared_ptr<ScriptDrawing> drawing = c->drawing() ? c->drawing()->copy() : nullptr;
    DisplayObject& made = c->parent()->addObject(static_cast<std::int32_t>(d), character,
                                                 std::string(name), clipActions);
    made.matrix = matrix;
    made.colorTransform = cx;
    made.blendMode = blend;
    made.filters = filters;
    made.visible = visible;
    if (made.sprite && drawing) {
        made.sprite->setDrawing(std::move(drawing)); // the copy shows what was drawn too
    }
    return made.sprite ? made.sprite->clipId() : 0;
}

void ScriptRuntime::removeClip(ClipId id) {
    TimelineInstance* c = clip(id);
    DisplayObject* obj = objectOf(id);
    // Only clips at script depths (made by a script, or moved there) can be removed by one.
    if (c == nullptr || obj == nullptr || c->parent() == nullptr || obj->depth < kScriptDepthBase) {
        return;
    }
    // A clip already waiting for its unload handlers, or inside one, stays as it is.
    if (m_unloadQueued.count(id) > 0) {
        return;
    }
    TimelineInstance& parent = *c->parent();
    if (!answersUnload(*c, true)) {
        parent.removeObject(obj->depth);
        return;
    }
    // A clip that answers unload moves at once to the script depth -32769 minus its own, out of
    // reach of scripts that remove, and stays there until the unload handlers inside it have run.
    const std::int32_t to = 2 * kScriptDepthBase - 32769 - obj->depth;
    parent.removeObject(to);
    parent.swapDepths(obj->depth, to);
    queueUnload(*c);
    Queued last{id, {}, {}, nullptr, false};
    last.removal = true;
    m_queue.push_back(std::move(last));
}

bool ScriptRuntime::answersUnload(TimelineInstance& c, bool inside) {
    if (const auto& actions = c.clipActions()) {
        for (const ClipAction& a : *actions) {
            if ((a.events & ClipEventUnload) != 0) {
                return true;
            }
        }
    }
    // Any onUnload on the clip or its chain counts, a function or not.
    if (avm1::Object* o = m_vm->existingClipObject(c.clipId())) {
        if (m_vm->hasProperty(o, "onUnload")) {
            return true;
        }
    }
    for (auto& entry : c.displayList()) {
        if (inside && entry.second.sprite && answersUnload(*entry.second.sprite, true)) {
            return true;
        }
    }
    return false;
}

void ScriptRuntime::queueUnload(TimelineInstance& c) {
    // A clip with no handler of its own keeps only the children that answer unload; one with a
    // handler keeps all it holds.
    if (!answersUnload(c, false)) {
        std::vector<std::int32_t> idle;
        for (auto& entry : c.displayList()) {
            if (!entry.second.sprite || !answersUnload(*entry.second.sprite, true)) {
                idle.push_back(entry.first);
            }
        }
        for (const std::int32_t depth : idle) {
            c.removeObject(depth);
        }
    }
    for (auto& entry : c.displayList()) {
        if (entry.second.sprite) {
            queueUnload(*entry.second.sprite);
        }
    }
    m_unloadQueued.insert(c.clipId());
    queueEvent(c, ClipEventUnload, "onUnload");
}

void ScriptRuntime::finishRemoval(ClipId id) {
    TimelineInstance* c = clip(id);
    const DisplayObject* obj = objectOf(id);
    if (c != nullptr && obj != nullptr && c->parent() != nullptr) {
        c->parent()->removeObject(obj->depth);
    }
}

void ScriptRuntime::startDrag(ClipId id, bool lockCenter, const double* rect) {
    TimelineInstance* c = clip(id);
    DisplayObject* obj = objectOf(id);
    if (c == nullptr || obj == nullptr) {
        return;
    }
    m_dragClip = id;
    m_dragLockCenter = lockCenter;
    m_dragHasRect = rect != nullptr;
    if (rect != nullptr) {
        std::copy(rect, rect + 4, m_dragRect);
    }
    // Keep the grip where the pointer took the clip.
    Matrix parent = c->parent() ? stageMatrix(*c->parent()) : Matrix{};
    const double det = parent.a * parent.d - parent.b * parent.c;
    if (det != 0) {
        const double px = m_mouseX * 20 - parent.tx;
        const double py = m_mouseY * 20 - parent.ty;
        m_dragOffsetX = obj->matrix.tx - (parent.d * px - parent.c * py) / det;
        m_dragOffsetY = obj->matrix.ty - (-parent.b * px + parent.a * py) / det;
    }
    // A locked centre or a bounds rectangle takes effect at once, not at the next move.
    if (lockCenter || rect != nullptr) {
        moveDragged();
    }
}

void ScriptRuntime::stopDrag() {
    if (TimelineInstance* c = m_dragClip != 0 ? clip(m_dragClip) : nullptr) {
        const Matrix at = stageMatrix(*c);
        m_dropTargets[m_dragClip] = dropTargetAt(at.tx / 20.0, at.ty / 20.0, m_dragClip);
    }
    m_dragClip = 0;
}

// ---- output ----

void ScriptRuntime::trace(std::string_view line) {
    if (m_traceSink) {
        m_traceSink(line);
    }
}

void ScriptRuntime::report(std::string_view message) {
    m_log.report(-1, 0, std::string(message));
}

void ScriptRuntime::getUrl(std::string_view url, std::string_view target, int method) {
    (void)method;
    constexpr std::string_view prefix = "fscommand:";
    if (url.size() >= prefix.size() &&
        equalsIgnoringAsciiCase(url.substr(0, prefix.size()), prefix)) {
        // Commands for the page or the standalone player around the movie: of those only
        // "quit" means anything without a window of our own.
        if (equalsIgnoringAsciiCase(url.substr(prefix.size()), "quit")) {
            m_quitRequested = true;
        }
        return;
    }
    // No address with a clip as the target unloads the clip's movie.
    if (url.empty() && !target.empty()) {
        if (const ClipId c = m_vm->resolveTarget(rootClip(), target);
            c != 0 && clip(c) != nullptr) {
            unloadMovieLater(c);
            return;
        }
    }
    const std::string key = std::string(url) + '\n' + std::string(target);
    if (m_reported.size() < 64 && m_reported.insert(key).second) {
        report("Loading \"" + std::string(url) + "\" is unavailable");
    }
}

} // namespace kinovex::flash
