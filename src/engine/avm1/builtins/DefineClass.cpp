#include "engine/avm1/builtins/Builtins.h"

namespace kinovex::flash::avm1 {

Object* defineClass(Vm& vm, std::string_view name, NativeFunction ctor, Object* proto,
                    bool constructs) {
    Object* c = vm.newFunction(std::move(ctor), name, constructs);
    c->define("prototype", Value(proto), kDontEnum | kDontDelete);
    proto->define("constructor", Value(c), kDontEnum | kDontDelete);
    vm.global()->define(name, Value(c), kDontEnum);
    return c;
}

Object* newScriptedFunction(Vm& vm, NativeFunction f, std::string_view name) {
    Object* fn = vm.newFunction(std::move(f), name);
    Object* proto = vm.newObject();
    proto->define("constructor", Value(fn), kDontEnum | kDontDelete);
    fn->define("prototype", Value(proto), kDontEnum | kDontDelete);
    return fn;
}

} // namespace kinovex::flash::avm1
