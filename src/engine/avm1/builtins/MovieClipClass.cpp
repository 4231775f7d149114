// MovieClip: the script machine's own part of it, the timeline control that the timeline actions
// do too (play, gotoAndStop ...), through the host. The player adds the methods that work on the
// display list.

#include "engine/avm1/builtins/Builtins.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kinovex::flash::avm1 {

namespace {

Value construct(Vm&, const Value&, Args) {
    return Value();
}

// gotoAndPlay(frame) / gotoAndStop(frame): a number or a label.
void gotoFrame(Vm& vm, ClipId clip, const Value& frame, bool play) {
    if (!clip) {
        return;
    }
    if (frame.isString()) {
        const double n = stringToNumber(frame.asString(), 5);
        if (std::isnan(n)) {
            vm.host().gotoLabel(clip, frame.asString(), play);
            return;
        }
        vm.host().gotoFrame(clip, toFrameNumber(n), play);
        return;
    }
    vm.host().gotoFrame(clip, toFrameNumber(vm.toNumber(frame)), play);
}

Value play(Vm& vm, const Value& self, Args) {
    if (ClipId c = clipOf(self)) {
        vm.host().play(c);
    }
    return Value();
}

Value stop(Vm& vm, const Value& self, Args) {
    if (ClipId c = clipOf(self)) {
        vm.host().stop(c);
    }
    return Value();
}

Value nextFrame(Vm& vm, const Value& self, Args) {
    if (ClipId c = clipOf(self)) {
        vm.host().nextFrame(c);
    }
    return Value();
}

Value prevFrame(Vm& vm, const Value& self, Args) {
    if (ClipId c = clipOf(self)) {
        vm.host().prevFrame(c);
    }
    return Value();
}

Value gotoAndPlay(Vm& vm, const Value& self, Args args) {
    gotoFrame(vm, clipOf(self), arg(args, 0), true);
    return Value();
}

Value gotoAndStop(Vm& vm, const Value& self, Args args) {
    gotoFrame(vm, clipOf(self), arg(args, 0), false);
    return Value();
}

} // namespace

ClipId clipOf(const Value& self) {
    if (self.isObject() && self.asObject()->objectClass() == ObjectClass::Clip) {
        return self.asObject()->clip();
    }
    return 0;
}

// A level stands at its number on the player's own list, which scripts see 16384 lower, as
// they see every clip's depth: _level0 is at -16384. Borrowed by a text field, getDepth gives
// the field's depth.
Value clipDepth(Vm& vm, const Value& self, Args) {
    const ClipId c = clipOf(self);
    if (c == 0 || !vm.host().clipExists(c)) {
        const std::optional<int> field = vm.host().fieldDepth(selfObject(self));
        return field ? Value(static_cast<double>(*field)) : Value();
    }
    const int depth = vm.host().clipDepth(c);
    const int levelBase = vm.host().parentClip(c) == 0 ? -16384 : 0;
    return Value(static_cast<double>(depth + levelBase));
}

Object* installMovieClipClass(Vm& vm) {
    Object* proto = vm.newObject();
    defineClass(vm, "MovieClip", construct, proto, false);
    vm.setFunction(proto, "play", play);
    vm.setFunction(proto, "stop", stop);
    vm.setFunction(proto, "nextFrame", nextFrame);
    vm.setFunction(proto, "prevFrame", prevFrame);
    vm.setFunction(proto, "gotoAndPlay", gotoAndPlay);
    vm.setFunction(proto, "gotoAndStop", gotoAndStop);
    // getDepth came with version 6: older movies' scripts do not see it.
    vm.setFunction(proto, "getDepth", clipDepth, kDontEnum | kDontDelete | kFromVersion6);
    return proto;
}

} // namespace kinovex::flash::avm1
