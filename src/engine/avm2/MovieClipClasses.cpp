// flash.display.MovieClip, FrameLabel and Scene: frames, labels, scenes, gotos and frame
// scripts.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"
#include "engine/avm2/ClipScenes.h"

#include "engine/display/Timeline.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash::display_natives {

namespace {

// ---- movie clips ----

// The scenes and labels of a clip; one a script made has one frame and no labels.
std::vector<avm2::ClipScene> clipScenes(Machine& vm, const TimelineInstance* c) {
    if (c == nullptr) {
        return avm2::scenesOf({}, 1);
    }
    const bool main = c == host(vm).root();
    return avm2::scenesOf(main ? host(vm).sceneData().scenes : std::vector<SceneDef>{},
                          c->frameCount());
}
// In frame order; the main timeline's as the scene tag gives them, when it has one.
std::vector<FrameLabelDef> clipLabels(Machine& vm, const TimelineInstance* c) {
    std::vector<FrameLabelDef> out;
    if (c == nullptr) {
        return out;
    }
    const SceneData& data = host(vm).sceneData();
    if (c == host(vm).root() && !data.scenes.empty()) {
        out = data.labels;
    } else {
        for (const auto& [name, frame] : c->definition().labels) {
            out.push_back({frame, name});
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const FrameLabelDef& a, const FrameLabelDef& b) {
        return a.frame < b.frame;
    });
    return out;
}
const avm2::ClipScene& currentSceneOf(const std::vector<avm2::ClipScene>& scenes,
                                      const TimelineInstance* c) {
    return avm2::sceneAt(scenes, c != nullptr ? c->currentFrame() : 0);
}
// The scene lives in the list: a list about to go away cannot give one.
const avm2::ClipScene& currentSceneOf(std::vector<avm2::ClipScene>&& scenes,
                                      const TimelineInstance* c) = delete;

Value mcCurrentFrame(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    if (c == nullptr) {
        return Value::integer(0);
    }
    const std::vector<avm2::ClipScene> scenes = clipScenes(vm, c);
    const avm2::ClipScene& scene = currentSceneOf(scenes, c);
    return Value::integer(static_cast<std::int32_t>(c->currentFrame() - scene.start + 1));
}
Value mcTotalFrames(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    return Value::integer(o->clip != nullptr ? static_cast<std::int32_t>(o->clip->frameCount())
                                             : 1);
}
// The labels of a scene as FrameLabel objects, their frames counted from the scene's start.
Value sceneLabels(Machine& vm, const avm2::ClipScene& scene,
                  const std::vector<FrameLabelDef>& labels) {
    std::vector<Value> out;
    ClassInfo* cls = vm.builtin("flash.display.FrameLabel");
    for (const FrameLabelDef& l : labels) {
        if (l.frame >= scene.start && l.frame - scene.start < scene.length) {
            Value a[2] = {vm.str(l.name),
                          Value::integer(static_cast<std::int32_t>(l.frame - scene.start + 1))};
            out.push_back(Value::obj(vm.constructClass(cls, Args(a, 2))));
        }
    }
    return Value::obj(vm.newArray(std::move(out)));
}
Value sceneObject(Machine& vm, const avm2::ClipScene& scene,
                  const std::vector<FrameLabelDef>& labels) {
    Value a[3] = {vm.str(scene.name), sceneLabels(vm, scene, labels),
                  Value::integer(static_cast<std::int32_t>(scene.length))};
    return Value::obj(vm.constructClass(vm.builtin("flash.display.Scene"), Args(a, 3)));
}
Value mcCurrentLabels(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    const auto scenes = clipScenes(vm, c);
    return sceneLabels(vm, currentSceneOf(scenes, c), clipLabels(vm, c));
}
Value mcCurrentScene(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    const auto scenes = clipScenes(vm, c);
    return sceneObject(vm, currentSceneOf(scenes, c), clipLabels(vm, c));
}
Value mcScenes(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    const auto labels = clipLabels(vm, c);
    std::vector<Value> out;
    for (const avm2::ClipScene& scene : clipScenes(vm, c)) {
        out.push_back(sceneObject(vm, scene, labels));
    }
    return Value::obj(vm.newArray(std::move(out)));
}
// The last label at or before the current frame, in the current scene.
Value mcCurrentLabel(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    const auto scenes = clipScenes(vm, c);
    const avm2::ClipScene& scene = currentSceneOf(scenes, c);
    const std::vector<FrameLabelDef> labels = clipLabels(vm, c);
    const FrameLabelDef* best = nullptr;
    for (const FrameLabelDef& l : labels) {
        if (l.frame >= scene.start && l.frame <= c->currentFrame()) {
            best = &l;
        }
    }
    return best != nullptr ? vm.str(best->name) : Value::null();
}
Value mcCurrentFrameLabel(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    for (const FrameLabelDef& l : clipLabels(vm, c)) {
        if (l.frame == c->currentFrame()) {
            return vm.str(l.name);
        }
    }
    return Value::null();
}
Value mcStop(Machine& vm, Value s, Args) {
    if (TimelineInstance* c = self(vm, s)->clip) {
        c->setPlaying(false);
    }
    return Value();
}
Value mcPlay(Machine& vm, Value s, Args) {
    if (TimelineInstance* c = self(vm, s)->clip) {
        c->setPlaying(true);
    }
    return Value();
}
Value mcIsPlaying(Machine& vm, Value s, Args) {
    TimelineInstance* c = self(vm, s)->clip;
    return Value::boolean(c != nullptr && c->playing());
}
// The frame (0-based) a goto names. A label that is not there is an error, or the first frame
// in movies before version 11.
std::int64_t gotoTarget(Machine& vm, TimelineInstance* c, const Value& frame,
                        const avm2::ClipScene& scene, bool sceneNamed) {
    std::string text;
    double number = 0;
    if (frame.isNumeric() || frame.isNullish() || frame.kind == avm2::Kind::Boolean) {
        number = vm.toNumber(frame);
        text = std::trunc(number) == number ? std::string() : vm.toString(frame);
    } else {
        text = vm.toString(frame);
        number = vm.toNumber(vm.str(text));
    }
    const std::optional<std::int64_t> target =
        avm2::gotoFrameIndex(number, text, clipLabels(vm, c), scene, sceneNamed);
    if (!target && host(vm).swfVersion() >= 11) {
        const std::string sceneName = scene.name.empty() ? "Scene 1" : scene.name;
        vm.throwError("ArgumentError", 2109,
                      "Frame label " + text + " not found in scene " + sceneName + ".");
    }
    return target.value_or(0);
}
// gotoAndStop and gotoAndPlay: `sceneArg`, when given, names the scene the frame is in.
void gotoFrame(Machine& vm, Object* o, const Value& frame, const Value& sceneArg, bool play) {
    TimelineInstance* c = o->clip;
    if (c == nullptr) {
        return;
    }
    const auto scenes = clipScenes(vm, c);
    const avm2::ClipScene* scene = &currentSceneOf(scenes, c);
    if (!sceneArg.isNullish()) {
        const std::string name = vm.toString(sceneArg);
        auto it = std::find_if(scenes.begin(), scenes.end(),
                               [&](const avm2::ClipScene& sc) { return sc.name == name; });
        if (it == scenes.end()) {
            vm.throwError("ArgumentError", 2108, "Scene " + name + " was not found.");
        }
        scene = &*it;
    }
    std::int64_t target = gotoTarget(vm, c, frame, *scene, !sceneArg.isNullish());
    target = std::clamp<std::int64_t>(target, 0, static_cast<std::int64_t>(c->frameCount()) - 1);
    host(vm).gotoFrameOf(*c, static_cast<std::uint32_t>(target), play);
}
Value mcGotoAndStop(Machine& vm, Value s, Args args) {
    gotoFrame(vm, self(vm, s), avm2::arg(args, 0), avm2::arg(args, 1), false);
    return Value();
}
Value mcGotoAndPlay(Machine& vm, Value s, Args args) {
    gotoFrame(vm, self(vm, s), avm2::arg(args, 0), avm2::arg(args, 1), true);
    return Value();
}
Value mcNextFrame(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    if (o->clip != nullptr) {
        o->clip->setPlaying(false);
        if (o->clip->currentFrame() + 1 < o->clip->frameCount()) {
            o->clip->jumpTo(o->clip->currentFrame() + 1);
            host(vm).afterGoto();
        }
    }
    return Value();
}
Value mcPrevFrame(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    if (o->clip != nullptr) {
        o->clip->setPlaying(false);
        if (o->clip->currentFrame() > 0) {
            o->clip->jumpTo(o->clip->currentFrame() - 1);
            host(vm).afterGoto();
        }
    }
    return Value();
}
Value mcAddFrameScript(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        const std::int32_t frame = vm.toInt(args[i]);
        if (frame < 0) {
            continue;
        }
        if (args[i + 1].isObject()) {
            o->frameScripts[static_cast<std::uint32_t>(frame)] = args[i + 1].o;
        } else {
            o->frameScripts.erase(static_cast<std::uint32_t>(frame));
        }
    }
    return Value();
}

// FrameLabel(name, frame) and Scene(name, labels, numFrames) keep what they are made with.
Value frameLabelInit(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "name", vm.str(vm.toString(avm2::arg(args, 0))));
    setHidden(s.o, "frame", Value::integer(vm.toInt(avm2::arg(args, 1))));
    return Value();
}
Value sceneInit(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "name", vm.str(vm.toString(avm2::arg(args, 0))));
    setHidden(s.o, "labels", avm2::arg(args, 1));
    setHidden(s.o, "numFrames", Value::integer(vm.toInt(avm2::arg(args, 2))));
    return Value();
}
DISPLAY_HIDDEN_GETTER(hiddenName, "name")
DISPLAY_HIDDEN_GETTER(hiddenFrame, "frame")
DISPLAY_HIDDEN_GETTER(hiddenLabels, "labels")
DISPLAY_HIDDEN_GETTER(hiddenNumFrames, "numFrames")

} // namespace

// MovieClip, with FrameLabel and Scene.
void installMovieClipClasses(Machine& m, ClassInfo* sprite, ClassInfo* dispatcher) {
    ClassInfo* clip = m.defineNativeClass("flash.display", "MovieClip", sprite);
    clip->sealed = false;
    m.defineGetter(clip, "currentFrame", mcCurrentFrame);
    m.defineGetter(clip, "totalFrames", mcTotalFrames);
    m.defineGetter(clip, "framesLoaded", mcTotalFrames);
    m.defineGetter(clip, "currentLabel", mcCurrentLabel);
    m.defineGetter(clip, "currentFrameLabel", mcCurrentFrameLabel);
    m.defineGetter(clip, "isPlaying", mcIsPlaying);
    m.defineMethod(clip, "stop", mcStop);
    m.defineMethod(clip, "play", mcPlay);
    m.defineMethod(clip, "gotoAndStop", mcGotoAndStop, 1);
    m.defineMethod(clip, "gotoAndPlay", mcGotoAndPlay, 1);
    m.defineMethod(clip, "nextFrame", mcNextFrame);
    m.defineMethod(clip, "prevFrame", mcPrevFrame);
    m.defineMethod(clip, "addFrameScript", mcAddFrameScript, 2);
    m.defineGetter(clip, "currentLabels", mcCurrentLabels);
    m.defineGetter(clip, "currentScene", mcCurrentScene);
    m.defineGetter(clip, "scenes", mcScenes);
    ClassInfo* frameLabel = m.defineNativeClass("flash.display", "FrameLabel", dispatcher);
    frameLabel->nativeInit = frameLabelInit;
    m.defineGetter(frameLabel, "name", hiddenName);
    m.defineGetter(frameLabel, "frame", hiddenFrame);
    ClassInfo* scene = m.defineNativeClass("flash.display", "Scene", m.objectClass);
    scene->nativeInit = sceneInit;
    m.defineGetter(scene, "name", hiddenName);
    m.defineGetter(scene, "labels", hiddenLabels);
    m.defineGetter(scene, "numFrames", hiddenNumFrames);
}

} // namespace kinovex::flash::display_natives
