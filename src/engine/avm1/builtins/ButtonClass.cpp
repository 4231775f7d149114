// Button: a button's script object. Its clip properties (_x, _alpha ...) come from the host.

#include "engine/avm1/builtins/Builtins.h"

namespace kinovex::flash::avm1 {

namespace {

Value construct(Vm&, const Value&, Args) {
    return Value();
}

} // namespace

Object* installButtonClass(Vm& vm) {
    Object* proto = vm.newObject();
    defineClass(vm, "Button", construct, proto, false);
    // What the host reads back after scripts ran: a button takes the mouse and shows the hand
    // until a script says otherwise.
    proto->define("enabled", Value(true), kDontEnum);
    proto->define("useHandCursor", Value(true), kDontEnum);
    vm.setFunction(proto, "getDepth", clipDepth);
    return proto;
}

} // namespace kinovex::flash::avm1
