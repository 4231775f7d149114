// Error: a message, and toString giving it.

#include "engine/avm1/builtins/Builtins.h"

namespace kinovex::flash::avm1 {

namespace {

Value construct(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    if (o && !args.empty()) {
        o->define("message", Value(vm.toString(args[0])));
    }
    return self;
}

Value toString(Vm& vm, const Value& self, Args) {
    return Value(vm.toString(vm.getMember(self, "message")));
}

} // namespace

Object* installErrorClass(Vm& vm) {
    Object* proto = vm.newObject();
    defineClass(vm, "Error", construct, proto, false);
    // The player's Error is written in ActionScript: its members are plain ones, and toString
    // a script function with a prototype of its own.
    proto->define("message", Value("Error"));
    proto->define("name", Value("Error"));
    proto->define("toString", Value(newScriptedFunction(vm, toString, "toString")));
    return proto;
}

} // namespace kinovex::flash::avm1
