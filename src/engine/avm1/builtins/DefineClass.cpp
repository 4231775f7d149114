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

} // namespace kinovex::flash::avm1
