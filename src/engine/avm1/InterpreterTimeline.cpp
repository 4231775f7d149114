// The timeline the actions talk to: going to frames and labels, waiting for frames to load,
// changing the target timeline, and running a frame's actions (Call).

#include "engine/avm1/InterpreterRun.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash::avm1 {

namespace {

// "path:frame" names a frame of the clip at path; a plain "frame" one of the target.
struct FrameRef {
    ClipId clip;
    std::string frame;
};

FrameRef frameRef(Run& r, const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        return {r.f.target, text};
    }
    return {r.vm.resolveTarget(r.f.target, text.substr(0, colon)), text.substr(colon + 1)};
}

void nextFrame(Run& r) {
    r.vm.host().nextFrame(r.f.target);
}

void previousFrame(Run& r) {
    r.vm.host().prevFrame(r.f.target);
}

void play(Run& r) {
    r.vm.host().play(r.f.target);
}

void stop(Run& r) {
    r.vm.host().stop(r.f.target);
}

void gotoFrame(Run& r, const Instruction& ins) {
    r.vm.host().gotoFrame(r.f.target, ins.frame.frame + 1u, false);
}

void goToLabel(Run& r, const Instruction& ins) {
    r.vm.host().gotoLabel(r.f.target, ins.text, false);
}

void setTarget(Run& r, ClipId target) {
    Frame& f = r.f;
    f.target = target;
    if (!f.hasTargetSlot && f.locals) {
        // In a function the target takes a place of its own in the scope chain, right outside
        // the function's locals: names not found there are looked up on the target first.
        const auto at = std::find(f.scope.begin(), f.scope.end(), f.locals);
        f.targetSlot = static_cast<std::size_t>(at - f.scope.begin());
        f.scope.insert(at, nullptr);
        f.hasTargetSlot = true;
    }
    if (f.hasTargetSlot) {
        f.scope[f.targetSlot] = r.vm.clipObject(f.target ? f.target : f.baseTarget);
    }
}

// A path from the timeline the action list started on ("" for that one).
void setTargetByName(Run& r, const Instruction& ins) {
    const ClipId base = r.f.baseTarget;
    setTarget(r, ins.text.empty() ? base : r.vm.resolveTarget(base, ins.text));
}

// A path as SetTarget takes it; a clip goes by its path too (of two clips of one name, the
// first is the one a path names).
void setTarget2(Run& r) {
    const std::string path = r.vm.toString(r.pop());
    const ClipId base = r.f.baseTarget;
    setTarget(r, path.empty() ? base : r.vm.resolveTarget(base, path));
}

double framesLoaded(Run& r) {
    return r.vm.toNumber(r.vm.host().getClipProperty(r.f.target, ClipProperty::FramesLoaded));
}

// The actions after it are skipped while the frame has not loaded.
void waitForFrame(Run& r, const Instruction& ins) {
    if (!(ins.frame.frame + 1.0 <= framesLoaded(r))) {
        r.pc = skipActions(r.code, r.pc, r.end, ins.frame.skip);
    }
}

// WaitForFrame2: the frame by number or label; the actions after it are skipped while it has
// not loaded.
void waitForFrame2(Run& r, const Instruction& ins) {
    const Value frame = r.pop();
    const double loaded = framesLoaded(r);
    double wanted = r.vm.toNumber(frame);
    if (frame.isString() && std::isnan(wanted)) {
        wanted = r.vm.host().frameOfLabel(r.f.target, frame.asString());
    }
    if (!(wanted <= loaded)) {
        r.pc = skipActions(r.code, r.pc, r.end, ins.frame.skip);
    }
}

// GotoFrame2: a number, or a string with a frame number or a label, and the scene bias.
void gotoFrame2(Run& r, const Instruction& ins) {
    const bool play = ins.flags.flags & 1;
    const Value frame = r.pop();
    ClipId c = r.f.target;
    std::string label;
    double number = 0;
    if (frame.isString()) {
        FrameRef ref = frameRef(r, frame.asString());
        c = ref.clip;
        number = stringToNumber(ref.frame, 5);
        if (std::isnan(number)) {
            label = std::move(ref.frame);
        }
    } else {
        number = r.vm.toNumber(frame);
    }
    if (!c) {
        return;
    }
    if (!label.empty()) {
        r.vm.host().gotoLabel(c, label, play);
    } else if (!std::isnan(number)) {
        r.vm.host().gotoFrame(c, toFrameNumber(toInteger(number) + ins.flags.bias), play);
    }
}

// Call: runs the actions of a frame, by number or label, without going there.
void callFrame(Run& r) {
    const FrameRef ref = frameRef(r, r.popString());
    const double n = stringToNumber(ref.frame, 5);
    const std::uint32_t number =
        !std::isnan(n) ? toFrameNumber(n) : r.vm.host().frameOfLabel(ref.clip, ref.frame);
    if (ref.clip && number) {
        r.vm.host().callFrame(ref.clip, number);
    }
}

} // namespace

void addTimelineActions(ActionTable& t) {
    t.on<nextFrame>(Opcode::ActionNextFrame);
    t.on<previousFrame>(Opcode::ActionPreviousFrame);
    t.on<play>(Opcode::ActionPlay);
    t.on<stop>(Opcode::ActionStop);
    t.on<gotoFrame>(Opcode::ActionGotoFrame);
    t.on<gotoFrame2>(Opcode::ActionGotoFrame2);
    t.on<goToLabel>(Opcode::ActionGoToLabel);
    t.on<waitForFrame>(Opcode::ActionWaitForFrame);
    t.on<waitForFrame2>(Opcode::ActionWaitForFrame2);
    t.on<setTargetByName>(Opcode::ActionSetTarget);
    t.on<setTarget2>(Opcode::ActionSetTarget2);
    t.on<callFrame>(Opcode::ActionCall);
}

} // namespace kinovex::flash::avm1
