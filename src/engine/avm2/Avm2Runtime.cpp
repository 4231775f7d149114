#include "engine/avm2/Avm2Runtime.h"

#include "engine/avm2/DisplayTreeView.h"

#include "engine/avm2/Avm2RuntimeGuarded.h"
#include "engine/avm2/DisplayNatives.h"
#include "engine/avm2/HiddenFields.h"
#include "engine/avm2/SoundClasses.h"
#include "engine/avm2/SystemClasses.h"
#include "engine/avm2/TimerClasses.h"

#include "engine/definitions/Movie.h"
#include "engine/display/ButtonHitTest.h"
#include "engine/display/Timeline.h"
#include "engine/text/TextFonts.h"

#include <algorithm>
#include <utility>

namespace kinovex::flash {

using avm2::ClassInfo;
using avm2::Machine;
using avm2::Object;
using avm2::setHidden;
using avm2::Value;
using display_natives::detach;
using display_natives::doIgnore;
using display_natives::installDisplayClasses;
using display_natives::installEventClasses;
using display_natives::installLoaderInfoClass;
using display_natives::installStageClass;
using display_natives::timelineDepth;

namespace {

constexpr std::uint64_t kDefaultBudget = 20'000'000;
// A frame calls at most this many timers; those still behind wait a period from then.
constexpr int kMaxTimerCalls = 1000;

} // namespace

Avm2Runtime::Avm2Runtime(const Movie& movie, Log& log, SoundMixer* mixer)
    : m_movie(movie), m_log(log), m_mixer(mixer) {
    m_vm = std::make_unique<Machine>();
    m_vm->host = this;
    m_budget = kDefaultBudget;
    m_treeView = std::make_unique<DisplayTreeView>(*this);
    Machine& m = *m_vm;

    ClassInfo* dispatcher = installEventClasses(m);
    display_natives::installInputEventClasses(m);
    ClassInfo* container = installDisplayClasses(m, dispatcher);
    m_stage = m.newObject(installStageClass(m, container));
    installLoaderInfoClass(m, dispatcher);
    avm2::installTimerClasses(m);
    avm2::installSoundClasses(m);
    avm2::installSystemClasses(m);
    ClassInfo* system = m.defineNativeClass("flash.system", "System", m.objectClass);
    m.defineStatic(system, "gc", doIgnore);

    m.extraRoots = [this](std::vector<Object*>& out) {
        out.push_back(m_stage);
        out.push_back(m_rootObject);
        out.push_back(m_loaderInfo);
        out.push_back(m_over);
        out.push_back(m_pressed);
        out.insert(out.end(), m_listening.begin(), m_listening.end());
        for (const auto& load : m_loads) {
            out.push_back(load.first);
        }
        for (const auto& [key, obj] : m_timelineObjects) {
            out.push_back(obj);
        }
        for (const auto& [timeline, obj] : m_objects) {
            out.push_back(obj);
        }
        m_timers.roots(out);
    };
}

// The player destroys the main timeline before its script machine: the timelines are not
// touched here.
Avm2Runtime::~Avm2Runtime() = default;

double Avm2Runtime::frameRate() const {
    // The stage reads the header's 8.8 fixed-point rate unsigned: 0 stays 0, and what the
    // header means as negative reads as above 128.
    return m_movie.frameRate256() / 256.0;
}

Object* Avm2Runtime::loaderInfo() {
    if (m_loaderInfo == nullptr) {
        m_loaderInfo = m_vm->newObject(m_vm->builtin("flash.display.LoaderInfo"));
    }
    return m_loaderInfo;
}

HitTester& Avm2Runtime::hitTester() {
    if (!m_hitTester) {
        m_hitTester = std::make_unique<HitTester>();
    }
    return *m_hitTester;
}

std::string Avm2Runtime::nextInstanceName() {
    return "instance" + std::to_string(++m_instances);
}

std::uint8_t Avm2Runtime::swfVersion() const {
    return m_movie.version();
}

const SceneData& Avm2Runtime::sceneData() const {
    return m_movie.sceneData();
}

void Avm2Runtime::setTraceSink(std::function<void(std::string_view)> sink) {
    m_vm->setTraceSink(std::move(sink));
}

void Avm2Runtime::setInstructionBudget(std::uint64_t actions) {
    m_budget = actions;
}

void Avm2Runtime::loadBlocksOfFrame(std::uint32_t frame) {
    for (const AbcBlock& block : m_movie.abcBlocks()) {
        if (block.frame != frame || !block.file) {
            continue;
        }
        std::vector<std::uint32_t> refused;
        std::vector<int> why;
        for (const abc::VerifyError& e : block.refusedBodies) {
            refused.push_back(e.method);
            why.push_back(e.playerError);
        }
        m_vm->loadAbc(*block.file, refused, why);
    }
}

void Avm2Runtime::loadBlocksUpTo(std::uint32_t frame) {
    if (frame + 1 <= m_blocksLoadedUpTo) {
        return;
    }
    for (std::uint32_t f = m_blocksLoadedUpTo; f <= frame; ++f) {
        loadBlocksOfFrame(f);
    }
    m_blocksLoadedUpTo = frame + 1;
    guarded([&] { m_vm->runPendingScripts(); });
}

void Avm2Runtime::attachRoot(TimelineInstance& root) {
    m_root = &root;
    root.setHooks(this);
}

const ScriptLayers* Avm2Runtime::scriptLayers() const {
    return m_treeView.get();
}

Object* Avm2Runtime::existingObjectFor(const TimelineInstance& clip) const {
    auto it = m_objects.find(const_cast<TimelineInstance*>(&clip));
    return it != m_objects.end() ? it->second : nullptr;
}

Object* Avm2Runtime::objectFor(TimelineInstance& clip) {
    auto it = m_objects.find(&clip);
    if (it != m_objects.end()) {
        return it->second;
    }
    Machine& m = *m_vm;
    const std::uint16_t id =
        &clip == m_root ? 0 : (clip.owner() != nullptr ? clip.owner()->characterId : 0);
    ClassInfo* cls = nullptr;
    for (const SymbolClass& sc : m_movie.symbolClasses()) {
        if (sc.characterId == id) {
            guarded([&] { cls = m.findClass(sc.className); });
        }
    }
    if (&clip == m_root && cls != nullptr &&
        !cls->isSubclassOf(m.builtin("flash.display.Sprite"))) {
        const std::string name = cls->qualifiedName();
        guarded([&] {
            m.throwError("TypeError", 2023,
                         "Class " + name + "$ must inherit from Sprite to link to the root.");
        });
        cls = nullptr;
    }
    if (cls == nullptr) {
        cls = m.builtin("flash.display.MovieClip");
    }
    Object* o = m.newObject(cls);
    o->clip = &clip;
    m_objects[&clip] = o;
    m_order.push_back(&clip);
    if (&clip == m_root) {
        o->parentObj = m_stage;
        m_stage->children.push_back(o);
    } else if (TimelineInstance* parent = clip.parent()) {
        Object* p = objectFor(*parent);
        o->parentObj = p;
        auto at = std::find_if(p->children.begin(), p->children.end(),
                               [&](Object* c) { return timelineDepth(c) > clip.depth(); });
        p->children.insert(at, o);
        if (clip.owner() != nullptr && !clip.owner()->name.empty()) {
            guarded([&] {
                try {
                    m.setProperty(Value::obj(p), m.publicName(clip.owner()->name), Value::obj(o));
                } catch (const avm2::ScriptException&) {
                }
            });
        }
    }
    // Children already placed get their objects before this one's constructor runs.
    for (auto& [depth, obj] : clip.displayList()) {
        if (obj.sprite) {
            objectFor(*obj.sprite);
        }
    }
    syncTimelineObjects(o);
    guarded([&] { m.initInstance(cls, o, {}); });
    if (&clip != m_root) {
        dispatchAdded(o);
    }
    return o;
}

const char* Avm2Runtime::timelineObjectClass(const Character& ch) {
    switch (ch.kind) {
    case Character::Kind::Shape:
        return "flash.display.Shape";
    case Character::Kind::MorphShape:
        return "flash.display.MorphShape";
    case Character::Kind::Text:
        return "flash.text.StaticText";
    case Character::Kind::EditText:
        return "flash.text.TextField";
    case Character::Kind::Button:
        return "flash.display.SimpleButton";
    default:
        return nullptr;
    }
}

void Avm2Runtime::syncTimelineObjects(Object* o) {
    TimelineInstance* c = o->clip;
    if (c == nullptr) {
        return;
    }
    // Objects whose placement went leave; one a script removed stays out.
    const TimelineKey from{c, INT32_MIN, 0};
    for (auto it = m_timelineObjects.lower_bound(from);
         it != m_timelineObjects.end() && std::get<0>(it->first) == c;) {
        auto at = c->displayList().find(std::get<1>(it->first));
        // A new character at the depth (a replacing PlaceObject) keeps the object.
        const bool stays = at != c->displayList().end() && !at->second.sprite &&
                           at->second.placedFrame == std::get<2>(it->first);
        if (stays) {
            ++it;
            continue;
        }
        if (it->second->parentObj == o) {
            detach(it->second);
        }
        it = m_timelineObjects.erase(it);
    }
    for (auto& [depth, entry] : c->displayList()) {
        if (entry.sprite || entry.character == nullptr) {
            continue;
        }
        const TimelineKey key{c, depth, entry.placedFrame};
        const char* cls = timelineObjectClass(*entry.character);
        if (cls == nullptr || m_timelineObjects.count(key) != 0) {
            continue;
        }
        Object* made = m_vm->newObject(m_vm->builtin(cls));
        m_timelineObjects[key] = made;
        setHidden(made, "depth", Value::integer(depth));
        if (!entry.name.empty()) {
            setHidden(made, "name", m_vm->str(entry.name));
            // A named one is its parent's property of that name, as a named clip is.
            const std::string& name = entry.name; // clang 14 cannot capture a structured binding
            guarded([&] {
                try {
                    m_vm->setProperty(Value::obj(o), m_vm->publicName(name), Value::obj(made));
                } catch (const avm2::ScriptException&) {
                }
            });
        }
        if (entry.name.empty()) {
            setHidden(made, "instance", m_vm->str(nextInstanceName()));
        }
        if (entry.character->kind == Character::Kind::Button) {
            buildButtonLooks(made, *static_cast<const Button*>(entry.character));
        }
        const auto placedDepth = depth; // clang 14 cannot capture a structured binding
        auto at = std::find_if(o->children.begin(), o->children.end(),
                               [&](Object* child) { return timelineDepth(child) > placedDepth; });
        o->children.insert(at, made);
        made->parentObj = o;
    }
}

// Clips a frame's advance places are made after the enterFrame broadcast; those a jump places,
// at once.
void Avm2Runtime::clipCreated(TimelineInstance& clip) {
    if (!m_started) {
        return;
    }
    if (m_advancing) {
        m_pendingClips.push_back(&clip);
        return;
    }
    m_vm->refillBudget();
    objectFor(clip);
}

void Avm2Runtime::clipLeaving(TimelineInstance& clip) {
    auto it = m_objects.find(&clip);
    if (it != m_objects.end() && it->second->parentObj != nullptr) {
        dispatchRemoved(it->second);
    }
}

void Avm2Runtime::constructPendingClips() {
    const std::vector<TimelineInstance*> pending = std::move(m_pendingClips);
    m_pendingClips.clear();
    for (TimelineInstance* clip : pending) {
        objectFor(*clip);
    }
}

void Avm2Runtime::clipDestroyed(TimelineInstance& clip) {
    auto it = m_objects.find(&clip);
    if (it == m_objects.end()) {
        return;
    }
    Object* o = it->second;
    std::erase(m_pendingClips, &clip);
    m_queuedGotos.erase(&clip);
    const TimelineKey from{&clip, INT32_MIN, 0};
    auto first = m_timelineObjects.lower_bound(from);
    auto last = first;
    while (last != m_timelineObjects.end() && std::get<0>(last->first) == &clip) {
        ++last;
    }
    m_timelineObjects.erase(first, last);
    detach(o);
    o->clip = nullptr;
    m_objects.erase(it);
    std::erase(m_order, &clip);
}

void Avm2Runtime::setClockEpoch(double epochMs) {
    m_vm->clockEpochMs = epochMs;
}

void Avm2Runtime::runTimers(double nowMs) {
    for (int calls = 0; calls < kMaxTimerCalls && !m_stopped; ++calls) {
        const std::optional<avm2::TimerEntry> due = m_timers.takeDue(nowMs);
        if (!due) {
            break;
        }
        // The callback runs at the time it came due, as it would between frames: what it
        // schedules counts from then.
        const avm2::TimerEntry entry = *due;
        m_vm->nowMs = entry.next;
        guarded([&] { avm2::fireTimer(*m_vm, entry); });
    }
    m_timers.skipOverdue(nowMs);
    m_vm->nowMs = nowMs;
}

void Avm2Runtime::gotoFrameOf(TimelineInstance& c, std::uint32_t target, bool play, bool queued) {
    if (std::find(m_scriptClips.begin(), m_scriptClips.end(), &c) != m_scriptClips.end()) {
        m_queuedGotos[&c] = {target, play};
        return;
    }
    c.setPlaying(play);
    if (target != c.currentFrame()) {
        if (&c == m_root) {
            // The blocks of the frames jumped to or over are loaded before it shows.
            loadBlocksUpTo(target);
        }
        c.jumpTo(target);
        c.setPlaying(play);
    }
    // A goto made from a frame script runs the scripts of the frames it reaches at once (one
    // kept for its clip's own script has none to wait for), and their frame goes round after
    // the calling script.
    if (m_inFrameScripts) {
        if (!queued) {
            runFrameScripts();
        }
        m_gotoQueued = true;
        return;
    }
    catchUpAfterGoto();
}

void Avm2Runtime::afterGoto() {
    if (m_inFrameScripts) {
        runFrameScripts();
        m_gotoQueued = true;
        return;
    }
    catchUpAfterGoto();
}

void Avm2Runtime::catchUpAfterGoto() {
    constexpr int kMaxNestedGotos = 16;
    if (m_gotoDepth >= kMaxNestedGotos) {
        return;
    }
    ++m_gotoDepth;
    broadcast("frameConstructed");
    runFrameScripts();
    broadcast("exitFrame");
    --m_gotoDepth;
}

void Avm2Runtime::runFrameScripts() {
    const bool outer = !m_inFrameScripts;
    m_inFrameScripts = true;
    runFrameScriptRounds();
    m_inFrameScripts = !outer;
}

void Avm2Runtime::runFrameScriptRounds() {
    for (int round = 0; round < 4; ++round) {
        bool ran = false;
        const std::vector<TimelineInstance*> order = m_order;
        for (TimelineInstance* clip : order) {
            auto it = m_objects.find(clip);
            if (it == m_objects.end()) {
                continue;
            }
            Object* o = it->second;
            const std::int64_t frame = clip->currentFrame();
            if (frame == o->lastFrame) {
                continue;
            }
            o->lastFrame = frame;
            auto fs = o->frameScripts.find(static_cast<std::uint32_t>(frame));
            if (fs != o->frameScripts.end()) {
                ran = true;
                Object* fn = fs->second;
                m_scriptClips.push_back(clip);
                guarded([&] { m_vm->call(Value::obj(fn), Value::obj(o), {}); });
                m_scriptClips.pop_back();
                // A goto of the clip from its own frame script waits for the script to end.
                auto queued = m_queuedGotos.find(clip);
                if (queued != m_queuedGotos.end() &&
                    std::find(m_scriptClips.begin(), m_scriptClips.end(), clip) ==
                        m_scriptClips.end()) {
                    const std::pair<std::uint32_t, bool> go = queued->second;
                    m_queuedGotos.erase(queued);
                    gotoFrameOf(*clip, go.first, go.second, true);
                }
                if (m_gotoQueued) {
                    // A goto in a frame script: the frame it reaches goes round once the
                    // script has ended.
                    m_gotoQueued = false;
                    m_inFrameScripts = false;
                    catchUpAfterGoto();
                    m_inFrameScripts = true;
                }
            }
        }
        if (!ran) {
            return;
        }
    }
}

void Avm2Runtime::runFrame(double nowMs) {
    if (m_root == nullptr || m_stopped) {
        return;
    }
    m_vm->nowMs = nowMs;
    m_vm->setInstructionBudget(m_budget);
    m_vm->refillBudget();
    runTimers(nowMs);
    guarded([&] { avm2::finishSounds(*m_vm); });
    const std::vector<TimelineInstance*> order = m_order;
    m_advancing = true;
    for (TimelineInstance* clip : order) {
        if (m_objects.count(clip) != 0) {
            clip->advanceOwn();
        }
    }
    m_advancing = false;
    loadBlocksUpTo(m_root->currentFrame());
    broadcast("enterFrame");
    constructPendingClips();
    broadcast("frameConstructed");
    runFrameScripts();
    broadcast("exitFrame");
    finishFrame();
}

void Avm2Runtime::finishFrame() {
    if (m_root == nullptr) {
        return;
    }
    if (!m_started) {
        m_started = true;
        m_vm->setInstructionBudget(m_budget);
        m_vm->refillBudget();
        loadBlocksOfFrame(0);
        m_blocksLoadedUpTo = 1;
        guarded([&] { m_vm->runPendingScripts(); });
        m_rootObject = objectFor(*m_root);
        // The main timeline joins the stage once made, and its first frame ends as every
        // later one does.
        dispatchNew(m_rootObject, "added", true);
        dispatchNew(m_rootObject, "addedToStage", false);
        broadcast("frameConstructed");
        runFrameScripts();
        broadcast("exitFrame");
    }
    if (std::exchange(m_renderQueued, false)) {
        broadcast("render");
    }
    // What Loaders asked for this frame arrives between it and the next.
    finishLoads();
    m_vm->collectGarbage();
}

} // namespace kinovex::flash
