// flash.display.InteractiveObject's switches and flash.display.SimpleButton: a button a script
// made holds its four looks as it was given them.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"

namespace kinovex::flash::display_natives {

namespace {

// A switch kept on the object under its own name, `byDefault` until a script sets it.
template <const char* name, bool byDefault> Value flag(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), name);
    return v.isUndefined() ? Value::boolean(byDefault) : v;
}
template <const char* name> Value setFlag(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), name, Value::boolean(Machine::toBoolean(avm2::arg(args, 0))));
    return Value();
}
template <const char* name, bool byDefault> void defineFlag(Machine& m, ClassInfo* cls) {
    m.defineGetter(cls, name, flag<name, byDefault>, setFlag<name>);
}

constexpr char kMouseEnabled[] = "mouseEnabled";
constexpr char kDoubleClickEnabled[] = "doubleClickEnabled";
constexpr char kTabEnabled[] = "tabEnabled";
constexpr char kEnabled[] = "enabled";
constexpr char kUseHandCursor[] = "useHandCursor";
constexpr char kTrackAsMenu[] = "trackAsMenu";
constexpr char kButtonMode[] = "buttonMode";

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

} // namespace

void installInteractiveProperties(Machine& m, ClassInfo* interactive) {
    defineFlag<kMouseEnabled, true>(m, interactive);
    defineFlag<kDoubleClickEnabled, false>(m, interactive);
    defineFlag<kTabEnabled, false>(m, interactive);
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
    defineFlag<kEnabled, true>(m, button);
    defineFlag<kUseHandCursor, true>(m, button);
    defineFlag<kTrackAsMenu, false>(m, button);
}

// Sprite's switches for acting as a button (the pointer's look is not shown here).
void installSpriteSwitches(Machine& m, ClassInfo* sprite) {
    defineFlag<kButtonMode, false>(m, sprite);
    defineFlag<kUseHandCursor, true>(m, sprite);
}

} // namespace kinovex::flash::display_natives
