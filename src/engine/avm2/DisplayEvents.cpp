// flash.events.Event and flash.events.EventDispatcher: an event's fields, listeners and
// dispatch through the runtime.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"

#include <algorithm>

namespace kinovex::flash::display_natives {

namespace {

// An event's fields are hidden properties of the event object.

Value eventInit(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    setHidden(o, "type", vm.str(vm.toString(avm2::arg(args, 0))));
    setHidden(o, "bubbles", Value::boolean(Machine::toBoolean(avm2::arg(args, 1))));
    setHidden(o, "cancelable", Value::boolean(Machine::toBoolean(avm2::arg(args, 2))));
    setHidden(o, "eventPhase", Value::integer(2));
    setHidden(o, "target", Value::null());
    setHidden(o, "currentTarget", Value::null());
    return Value();
}

DISPLAY_HIDDEN_GETTER(eventType, "type")
DISPLAY_HIDDEN_GETTER(eventBubbles, "bubbles")
DISPLAY_HIDDEN_GETTER(eventCancelable, "cancelable")
DISPLAY_HIDDEN_GETTER(eventPhaseGet, "eventPhase")
DISPLAY_HIDDEN_GETTER(eventTarget, "target")
DISPLAY_HIDDEN_GETTER(eventCurrentTarget, "currentTarget")
DISPLAY_HIDDEN_GETTER(eventDefaultPrevented, "prevented")

Value eventStop(Machine& vm, Value s, Args) {
    setHidden(self(vm, s), "stop", Value::boolean(true));
    return Value();
}
Value eventStopNow(Machine& vm, Value s, Args) {
    setHidden(self(vm, s), "stop", Value::boolean(true));
    setHidden(self(vm, s), "stopNow", Value::boolean(true));
    return Value();
}
Value eventPrevent(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    if (Machine::toBoolean(hidden(o, "cancelable"))) {
        setHidden(o, "prevented", Value::boolean(true));
    }
    return Value();
}
// A clone is of the player's own event class the event's class derives from: a script's
// subclass that does not override clone gets that one.
Value eventClone(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    ClassInfo* cls = o->cls;
    while (cls->file != nullptr && cls->super != nullptr) {
        cls = cls->super;
    }
    Value a[3] = {hidden(o, "type"), hidden(o, "bubbles"), hidden(o, "cancelable")};
    return Value::obj(vm.constructClass(cls, Args(a, 3)));
}
Value eventToString(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    return vm.str("[" + o->cls->name + " type=\"" + vm.toString(hidden(o, "type")) +
                  "\" bubbles=" + vm.toString(hidden(o, "bubbles")) +
                  " cancelable=" + vm.toString(hidden(o, "cancelable")) +
                  " eventPhase=" + vm.toString(hidden(o, "eventPhase")) + "]");
}
Value eventFormatToString(Machine& vm, Value s, Args args) {
    std::string out = "[" + vm.toString(avm2::arg(args, 0));
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string name = vm.toString(args[i]);
        const Value v = vm.get(s, name);
        out += " " + name + "=" + (v.isString() ? "\"" + vm.toString(v) + "\"" : vm.toString(v));
    }
    return vm.str(out + "]");
}

Value addEventListener(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const std::string type = vm.toString(avm2::arg(args, 0));
    const Value fn = avm2::arg(args, 1);
    if (!fn.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter listener must be non-null.");
    }
    const bool capture = Machine::toBoolean(avm2::arg(args, 2));
    const int priority = vm.toInt(avm2::arg(args, 3));
    auto& list = o->listeners[type];
    for (const Object::Listener& l : list) {
        if (vm.strictEquals(Value::obj(l.fn), fn) && l.capture == capture) {
            return Value();
        }
    }
    auto at = std::find_if(list.begin(), list.end(),
                           [&](const Object::Listener& l) { return l.priority < priority; });
    list.insert(at, Object::Listener{fn.o, capture, priority});
    if (o->kind == ObjKind::Display) {
        host(vm).listening(o, type);
    }
    return Value();
}

Value removeEventListener(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const std::string type = vm.toString(avm2::arg(args, 0));
    const Value fn = avm2::arg(args, 1);
    const bool capture = Machine::toBoolean(avm2::arg(args, 2));
    auto it = o->listeners.find(type);
    if (it != o->listeners.end()) {
        std::erase_if(it->second, [&](const Object::Listener& l) {
            return l.capture == capture && vm.strictEquals(Value::obj(l.fn), fn);
        });
    }
    return Value();
}

Value hasEventListener(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    auto it = o->listeners.find(vm.toString(avm2::arg(args, 0)));
    return Value::boolean(it != o->listeners.end() && !it->second.empty());
}

Value willTrigger(Machine& vm, Value s, Args args) {
    const std::string type = vm.toString(avm2::arg(args, 0));
    for (Object* o = self(vm, s); o != nullptr; o = o->parentObj) {
        auto it = o->listeners.find(type);
        if (it != o->listeners.end() && !it->second.empty()) {
            return Value::boolean(true);
        }
    }
    return Value::boolean(false);
}

// new EventDispatcher(target): it dispatches on behalf of the target.
Value dispatcherInit(Machine&, Value s, Args args) {
    const Value target = avm2::arg(args, 0);
    if (s.isObject() && target.isObject() && target.o != s.o) {
        setHidden(s.o, "actsFor", target);
    }
    return Value();
}

Value dispatchEvent(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const Value ev = avm2::arg(args, 0);
    if (!ev.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter event must be non-null.");
    }
    Object* e = ev.o;
    if (!hidden(e, "target").isNull() && !hidden(e, "target").isUndefined()) {
        Value c = vm.callProperty(ev, vm.publicName("clone"), {});
        e = self(vm, c);
    }
    const Value actsFor = hidden(o, "actsFor");
    if (actsFor.isObject()) {
        host(vm).dispatch(actsFor.o, e, o);
    } else {
        host(vm).dispatch(o, e);
    }
    return Value::boolean(!Machine::toBoolean(hidden(e, "prevented")));
}

} // namespace

// EventDispatcher and Event; the dispatcher class is returned.
ClassInfo* installEventClasses(Machine& m) {
    ClassInfo* dispatcher = m.defineNativeClass("flash.events", "EventDispatcher", m.objectClass);
    dispatcher->nativeInit = dispatcherInit;
    m.defineMethod(dispatcher, "addEventListener", addEventListener, 2);
    m.defineMethod(dispatcher, "removeEventListener", removeEventListener, 2);
    m.defineMethod(dispatcher, "hasEventListener", hasEventListener, 1);
    m.defineMethod(dispatcher, "willTrigger", willTrigger, 1);
    m.defineMethod(dispatcher, "dispatchEvent", dispatchEvent, 1);

    ClassInfo* event = m.defineNativeClass("flash.events", "Event", m.objectClass, ObjKind::Event);
    event->nativeInit = eventInit;
    m.defineGetter(event, "type", eventType);
    m.defineGetter(event, "bubbles", eventBubbles);
    m.defineGetter(event, "cancelable", eventCancelable);
    m.defineGetter(event, "eventPhase", eventPhaseGet);
    m.defineGetter(event, "target", eventTarget);
    m.defineGetter(event, "currentTarget", eventCurrentTarget);
    m.defineMethod(event, "isDefaultPrevented", eventDefaultPrevented);
    m.defineMethod(event, "stopPropagation", eventStop);
    m.defineMethod(event, "stopImmediatePropagation", eventStopNow);
    m.defineMethod(event, "preventDefault", eventPrevent);
    m.defineMethod(event, "clone", eventClone);
    m.defineMethod(event, "toString", eventToString);
    m.defineMethod(event, "formatToString", eventFormatToString);
    const std::pair<const char*, const char*> eventTypes[] = {
        {"ENTER_FRAME", "enterFrame"},
        {"EXIT_FRAME", "exitFrame"},
        {"FRAME_CONSTRUCTED", "frameConstructed"},
        {"ADDED", "added"},
        {"ADDED_TO_STAGE", "addedToStage"},
        {"REMOVED", "removed"},
        {"REMOVED_FROM_STAGE", "removedFromStage"},
        {"COMPLETE", "complete"},
        {"INIT", "init"},
        {"CHANGE", "change"},
        {"RENDER", "render"},
        {"RESIZE", "resize"},
        {"ACTIVATE", "activate"},
        {"DEACTIVATE", "deactivate"},
        {"OPEN", "open"},
        {"CLOSE", "close"},
        {"SELECT", "select"},
        {"CANCEL", "cancel"},
        {"SCROLL", "scroll"},
        {"UNLOAD", "unload"},
        {"CONNECT", "connect"}};
    for (const auto& [name, value] : eventTypes) {
        m.defineConstant(event, name, m.str(value));
    }

    return dispatcher;
}

} // namespace kinovex::flash::display_natives
