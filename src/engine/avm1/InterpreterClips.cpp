// Clips and the player's services: clip properties by index, duplicating, removing and
// dragging clips, target paths, trace output, the clock and URLs.

#include "engine/avm1/InterpreterRun.h"

#include <cmath>

namespace kinovex::flash::avm1 {

ClipId Interpreter::targetOf(Frame& f, const Value& v) {
    if (isClip(v)) {
        return v.asObject()->clip();
    }
    const std::string path = vm.toString(v);
    if (path.empty()) {
        return f.target;
    }
    return vm.resolveTarget(f.target, path);
}

namespace {

// The property index on top, the clip below it. The built-in property, even where the clip
// has a property or a child of its name.
void getProperty(Run& r) {
    const double index = r.popNumber();
    const ClipId c = r.in.targetOf(r.f, r.pop());
    const int i = static_cast<int>(toInteger(index));
    if (!c || i < 0 || i >= kClipPropertyCount) {
        r.push(Value());
        return;
    }
    const auto p = static_cast<ClipProperty>(i);
    if (p == ClipProperty::Target) {
        r.push(Value(r.vm.slashPath(c)));
    } else if (p == ClipProperty::Name) {
        r.push(Value(r.vm.host().clipName(c)));
    } else {
        r.push(r.vm.host().getClipProperty(c, p));
    }
}

void setProperty(Run& r) {
    const Value v = r.pop();
    const double index = r.popNumber();
    const ClipId c = r.in.targetOf(r.f, r.pop());
    const int i = static_cast<int>(toInteger(index));
    if (c && i >= 0 && i < kClipPropertyCount) {
        r.vm.host().setClipProperty(c, static_cast<ClipProperty>(i), v);
    }
}

// The depth comes as the display list keeps it (the compiled duplicateMovieClip adds 16384 to
// the script's depth), so the copy's getDepth is the script's number again.
void cloneSprite(Run& r) {
    constexpr double kListDepthOffset = 16384;
    const double depth = r.popNumber();
    const std::string name = r.popString();
    const ClipId source = r.in.targetOf(r.f, r.pop());
    if (source) {
        const double scriptDepth = std::clamp(toInteger(depth) - kListDepthOffset, -1e9, 1e9);
        r.vm.host().cloneClip(source, name, static_cast<int>(scriptDepth));
    }
}

void removeSprite(Run& r) {
    const ClipId c = r.in.targetOf(r.f, r.pop());
    if (c) {
        r.vm.host().removeClip(c);
    }
}

// The clip, whether to lock its centre to the mouse, whether to keep it in a rectangle, and
// then the rectangle (left, top, right, bottom, the last on top).
void startDrag(Run& r) {
    const ClipId c = r.in.targetOf(r.f, r.pop());
    const bool lock = r.vm.toBoolean(r.pop());
    const bool constrain = r.vm.toBoolean(r.pop());
    double rect[4] = {0, 0, 0, 0};
    if (constrain) {
        rect[3] = r.popNumber();
        rect[2] = r.popNumber();
        rect[1] = r.popNumber();
        rect[0] = r.popNumber();
    }
    if (c) {
        r.vm.host().startDrag(c, lock, constrain ? rect : nullptr);
    }
}

void endDrag(Run& r) {
    r.vm.host().stopDrag();
}

void targetPath(Run& r) {
    const Value v = r.pop();
    if (isClip(v) && v.asObject()->clip()) {
        r.push(Value(r.vm.targetPath(v.asObject()->clip())));
    } else {
        r.push(Value());
    }
}

void trace(Run& r) {
    const Value v = r.pop();
    r.vm.host().trace(v.isUndefined() ? std::string("undefined") : r.vm.toString(v));
}

void getTime(Run& r) {
    r.push(Value(std::floor(r.vm.host().timeMs())));
}

void getUrl(Run& r, const Instruction& ins) {
    r.vm.host().getUrl(ins.url.url, ins.url.target, 0);
}

// The window (target) on top, the URL below it; the flags' low bits are the method. With the
// load-variables flag the target is a clip's path (or a level's name) to load variables into.
void getUrl2(Run& r, const Instruction& ins) {
    constexpr std::uint8_t kLoadVariables = 0x80;
    const std::string target = r.popString();
    const std::string url = r.popString();
    if ((ins.flags.flags & kLoadVariables) != 0) {
        Object* into =
            target.empty() ? r.vm.clipObject(r.f.target) : r.in.resolveInScope(r.f, target);
        if (into != nullptr) {
            r.vm.host().loadVariables(url, into);
        }
        return;
    }
    r.vm.host().getUrl(url, target, ins.flags.flags & 3);
}

void toggleQuality(Run& r) {
    r.vm.host().toggleQuality();
}

void stopSounds(Run& r) {
    r.vm.host().stopSounds();
}

} // namespace

void addClipActions(ActionTable& t) {
    t.on<getProperty>(Opcode::ActionGetProperty);
    t.on<setProperty>(Opcode::ActionSetProperty);
    t.on<cloneSprite>(Opcode::ActionCloneSprite);
    t.on<removeSprite>(Opcode::ActionRemoveSprite);
    t.on<startDrag>(Opcode::ActionStartDrag);
    t.on<endDrag>(Opcode::ActionEndDrag);
    t.on<targetPath>(Opcode::ActionTargetPath);
    t.on<trace>(Opcode::ActionTrace);
    t.on<getTime>(Opcode::ActionGetTime);
    t.on<getUrl>(Opcode::ActionGetURL);
    t.on<getUrl2>(Opcode::ActionGetURL2);
    t.on<toggleQuality>(Opcode::ActionToggleQuality);
    t.on<stopSounds>(Opcode::ActionStopSounds);
}

} // namespace kinovex::flash::avm1
