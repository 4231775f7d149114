// Button: a button's script object. Its clip properties (_x, _alpha ...) come from the host.

#include "engine/avm1/XmlNodeClass.h"
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
    // All of them plain members that for..in lists.
    proto->define("enabled", Value(true), 0);
    proto->define("useHandCursor", Value(true), 0);
    vm.setFunction(proto, "getDepth", clipDepth, 0);
    // Display settings a button does not take from scripts here: they read as undefined and
    // keep nothing written to them.
    for (const char* name : {"blendMode", "cacheAsBitmap", "filters", "scale9Grid", "tabIndex"}) {
        defineAccessor(
            vm, proto, name, [](Vm&, const Value&, Args) { return Value(); },
            [](Vm&, const Value&, Args) { return Value(); });
    }
    return proto;
}

} // namespace kinovex::flash::avm1
