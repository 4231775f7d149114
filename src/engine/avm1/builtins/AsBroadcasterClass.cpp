// AsBroadcaster: initialize(o) gives o a _listeners array and addListener, removeListener and
// broadcastMessage, which call a method on every listener.

#include "engine/avm1/builtins/ArraySort.h"
#include "engine/avm1/builtins/Builtins.h"

#include <vector>

namespace kinovex::flash::avm1 {

namespace {

constexpr PropFlags kHiddenPermanent = kDontEnum | kDontDelete;
constexpr int kBroadcasterGroup = 101;
constexpr int kBroadcastIndex = 12;

Object* listenersOf(Vm& vm, const Value& self) {
    Object* o = selfObject(self);
    return o ? arrayOf(vm.getMember(Value(o), "_listeners")) : nullptr;
}

// A listener is added once: adding it again moves it to the end.
Value addListener(Vm& vm, const Value& self, Args args) {
    Object* list = listenersOf(vm, self);
    if (!list) {
        return Value(false);
    }
    auto& el = list->elements();
    const Value listener = arg(args, 0);
    std::erase_if(el, [&](const Value& v) { return vm.strictEquals(v, listener); });
    el.push_back(listener);
    return Value(true);
}

Value removeListener(Vm& vm, const Value& self, Args args) {
    Object* list = listenersOf(vm, self);
    if (!list) {
        return Value(false);
    }
    auto& el = list->elements();
    const Value listener = arg(args, 0);
    for (auto it = el.begin(); it != el.end(); ++it) {
        if (vm.strictEquals(*it, listener)) {
            el.erase(it);
            return Value(true);
        }
    }
    return Value(false);
}

// broadcastMessage(name, args...): calls listener[name](args...) on each listener, as the list
// was when the broadcast began. _listeners may be anything with a length. Gives true when there
// was a listener that is not undefined or null, else undefined.
Value broadcastMessage(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    if (!o || args.empty()) {
        return Value();
    }
    const Value list = vm.getMember(Value(o), "_listeners");
    if (!list.isObject()) {
        return Value();
    }
    const double length = vm.toNumber(vm.getMember(list, "length"));
    std::vector<Value> listeners;
    for (double i = 0; i < length && listeners.size() < Vm::kMaxArrayLength; ++i) {
        listeners.push_back(vm.getMember(list, numberToString(i)));
    }
    const std::string name = vm.toString(args[0]);
    const Args rest = args.subspan(1);
    bool any = false;
    for (const Value& listener : listeners) {
        if (listener.isUndefined() || listener.isNull()) {
            continue;
        }
        any = true;
        const Value method = vm.getMember(listener, name);
        if (method.isObject() && method.asObject()->function()) {
            vm.call(method, listener, rest);
        }
    }
    return any ? Value(true) : Value();
}

// initialize(o): o's addListener and removeListener are AsBroadcaster's as they are now;
// broadcastMessage is a new function each time.
Value initialize(Vm& vm, const Value& self, Args args) {
    Object* target = selfObject(arg(args, 0));
    Object* broadcaster = selfObject(self);
    if (!target || !broadcaster) {
        return Value();
    }
    // The player's own initialize reads broadcastMessage through _global.ASnative as it is now.
    const Value asNative = vm.getMember(Value(vm.global()), "ASnative");
    const Value number[] = {Value(kBroadcasterGroup), Value(kBroadcastIndex)};
    target->define("broadcastMessage", vm.call(asNative, Value(), number), kHiddenPermanent);
    // The player's code sees AsBroadcaster's members whatever the movie's version.
    const auto member = [&vm, broadcaster](std::string_view name) {
        const Property* own = broadcaster->findOwn(name);
        return own && !own->getter ? own->value : vm.getMember(Value(broadcaster), name);
    };
    target->define("addListener", member("addListener"), kHiddenPermanent);
    target->define("removeListener", member("removeListener"), kHiddenPermanent);
    target->define("_listeners", Value(vm.newArray()), kHiddenPermanent);
    return Value();
}

} // namespace

// initialize, addListener and removeListener are the player's ActionScript, broadcastMessage
// its native code. Movies of version 5 see AsBroadcaster but none of its members.
void installAsBroadcaster(Vm& vm) {
    Object* proto = vm.newObject();
    Object* ctor = defineClass(
        vm, "AsBroadcaster", [](Vm&, const Value&, Args) { return Value(); }, proto, false);
    const PropFlags member = kHiddenPermanent | kFromVersion6;
    ctor->findOwn("prototype")->flags |= kFromVersion6;
    ctor->define("initialize", Value(newScriptedFunction(vm, initialize, "initialize")), member);
    ctor->define("addListener", Value(newScriptedFunction(vm, addListener, "addListener")), member);
    ctor->define("removeListener", Value(newScriptedFunction(vm, removeListener, "removeListener")),
                 member);
    vm.setFunction(ctor, "broadcastMessage", broadcastMessage, member);
    vm.registerNative(kBroadcasterGroup, kBroadcastIndex,
                      ctor->findOwn("broadcastMessage")->value.asObject());
}

} // namespace kinovex::flash::avm1
