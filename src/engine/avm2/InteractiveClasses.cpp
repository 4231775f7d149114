// flash.display.InteractiveObject's switches and flash.display.SimpleButton: a button a script
// made holds its four looks as it was given them.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"

namespace kinovex::flash::display_natives {

namespace {

// A switch kept on the object, `byDefault` until a script sets it.
template <bool byDefault> Value flagOf(Object* o, const char* field) {
    const Value v = hidden(o, field);
    return v.isUndefined() ? Value::boolean(byDefault) : v;
}
void setFlag(Machine& vm, const Value& s, Args args, const char* field) {
    setHidden(self(vm, s), field, Value::boolean(Machine::toBoolean(avm2::arg(args, 0))));
}

Value ioMouseEnabled(Machine& vm, Value s, Args) {
    return flagOf<true>(self(vm, s), "mouseEnabled");
}
Value ioSetMouseEnabled(Machine& vm, Value s, Args args) {
    setFlag(vm, s, args, "mouseEnabled");
    return Value();
}
Value ioDoubleClickEnabled(Machine& vm, Value s, Args) {
    return flagOf<false>(self(vm, s), "doubleClickEnabled");
}
Value ioSetDoubleClickEnabled(Machine& vm, Value s, Args args) {
    setFlag(vm, s, args, "doubleClickEnabled");
    return Value();
}

Value ioTabEnabled(Machine& vm, Value s, Args) {
    return flagOf<false>(self(vm, s), "tabEnabled");
}
Value ioSetTabEnabled(Machine& vm, Value s, Args args) {
    setFlag(vm, s, args, "tabEnabled");
    return Value();
}
Value ioTabIndex(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "tabIndex");
    return v.isUndefined() ? Value::integer(-1) : v;
}
Value ioSetTabIndex(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "tabIndex", Value::integer(vm.toInt(avm2::arg(args, 0))));
    return Value();
}
// Kept as given: the player draws no focus rectangle.
Value ioFocusRect(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "focusRect");
    return v.isUndefined() ? Value::null() : v;
}
Value ioSetFocusRect(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "focusRect", avm2::arg(args, 0));
    return Value();
}

// ---- SimpleButton ----

constexpr const char* kStates[4] = {"upState", "overState", "downState", "hitTestState"};

// A look must be a display object, or null.
Value lookArg(Machine& vm, const Value& v) {
    if (v.isNullish()) {
        return Value::null();
    }
    return vm.coerceTo(v, "flash.display.DisplayObject");
}

// new SimpleButton(upState, overState, downState, hitTestState)
Value sbInit(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    doInit(vm, s, {});
    for (std::size_t i = 0; i < 4; ++i) {
        setHidden(o, kStates[i], lookArg(vm, avm2::arg(args, i)));
    }
    return Value();
}

template <int state> Value sbState(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), kStates[state]);
    return v.isUndefined() ? Value::null() : v;
}
// Tells `o` alone of `type`.
void tell(Machine& vm, Object* o, const char* type) {
    Value a[1] = {vm.str(type)};
    host(vm).dispatch(o, vm.constructClass(vm.builtin("flash.events.Event"), Args(a, 1)));
}

// The up look is what the button shows: a new one joins the button as its child, and goes
// round a frame (frameConstructed, exitFrame) at once; the one it replaces leaves.
void showLook(Machine& vm, Object* button, const Value& old, const Value& look) {
    if (old.isObject() && old.o->parentObj == button) {
        host(vm).dispatchRemoved(old.o);
        old.o->parentObj = nullptr;
    }
    if (!look.isObject()) {
        return;
    }
    if (look.o->parentObj != nullptr) {
        host(vm).dispatchRemoved(look.o);
        detach(look.o);
    }
    look.o->parentObj = button;
    host(vm).dispatchAdded(look.o);
    tell(vm, look.o, "frameConstructed");
    tell(vm, look.o, "exitFrame");
}

template <int state> Value sbSetState(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const Value old = hidden(o, kStates[state]);
    const Value look = lookArg(vm, avm2::arg(args, 0));
    setHidden(o, kStates[state], look);
    if (state == 0) {
        showLook(vm, o, old, look);
    }
    return Value();
}

Value sbEnabled(Machine& vm, Value s, Args) {
    return flagOf<true>(self(vm, s), "enabled");
}
Value sbSetEnabled(Machine& vm, Value s, Args args) {
    setFlag(vm, s, args, "enabled");
    return Value();
}
Value sbUseHandCursor(Machine& vm, Value s, Args) {
    return flagOf<true>(self(vm, s), "useHandCursor");
}
Value sbSetUseHandCursor(Machine& vm, Value s, Args args) {
    setFlag(vm, s, args, "useHandCursor");
    return Value();
}
Value sbTrackAsMenu(Machine& vm, Value s, Args) {
    return flagOf<false>(self(vm, s), "trackAsMenu");
}
Value sbSetTrackAsMenu(Machine& vm, Value s, Args args) {
    setFlag(vm, s, args, "trackAsMenu");
    return Value();
}

} // namespace

void installInteractiveProperties(Machine& m, ClassInfo* interactive) {
    m.defineGetter(interactive, "mouseEnabled", ioMouseEnabled, ioSetMouseEnabled);
    m.defineGetter(interactive, "doubleClickEnabled", ioDoubleClickEnabled,
                   ioSetDoubleClickEnabled);
    m.defineGetter(interactive, "tabEnabled", ioTabEnabled, ioSetTabEnabled);
    m.defineGetter(interactive, "tabIndex", ioTabIndex, ioSetTabIndex);
    m.defineGetter(interactive, "focusRect", ioFocusRect, ioSetFocusRect);
}

void installSimpleButtonClass(Machine& m, ClassInfo* interactive) {
    ClassInfo* button = m.defineNativeClass("flash.display", "SimpleButton", interactive);
    button->nativeInit = sbInit;
    m.defineGetter(button, "upState", sbState<0>, sbSetState<0>);
    m.defineGetter(button, "overState", sbState<1>, sbSetState<1>);
    m.defineGetter(button, "downState", sbState<2>, sbSetState<2>);
    m.defineGetter(button, "hitTestState", sbState<3>, sbSetState<3>);
    m.defineGetter(button, "enabled", sbEnabled, sbSetEnabled);
    m.defineGetter(button, "useHandCursor", sbUseHandCursor, sbSetUseHandCursor);
    m.defineGetter(button, "trackAsMenu", sbTrackAsMenu, sbSetTrackAsMenu);
}

} // namespace kinovex::flash::display_natives
