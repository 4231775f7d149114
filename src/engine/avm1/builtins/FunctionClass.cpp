// Function: call and apply, on every function's prototype.

#include "engine/avm1/builtins/Builtins.h"

#include <algorithm>

namespace kinovex::flash::avm1 {

namespace {

Value construct(Vm&, const Value&, Args) {
    return Value();
}

// A script function runs on `thisArg` as an object: a primitive as its wrapper (so that
// members set on it stay for the call), undefined and null as a bare object with no prototype.
// The player's own functions get `thisArg` as it is.
Value thisObject(Vm& vm, const Value& function, const Value& thisArg) {
    const bool native = function.isObject() && function.asObject()->function() &&
                        function.asObject()->function()->native;
    if (native) {
        return thisArg;
    }
    if (thisArg.isNullish()) {
        return Value(vm.newObjectOfClass(ObjectClass::Object, nullptr));
    }
    Object* o = vm.toObject(thisArg);
    return o ? Value(o) : thisArg;
}

Value call(Vm& vm, const Value& self, Args args) {
    const Value thisArg = thisObject(vm, self, arg(args, 0));
    return vm.callAsMethod(self, thisArg, args.empty() ? args : args.subspan(1));
}

Value apply(Vm& vm, const Value& self, Args args) {
    std::vector<Value> list;
    const Value a = arg(args, 1);
    if (a.isObject()) {
        Object* arr = a.asObject();
        const std::uint32_t n = std::min<std::uint32_t>(vm.arrayLength(arr), 65536);
        for (std::uint32_t i = 0; i < n; ++i) {
            list.push_back(vm.getMember(arr, std::to_string(i), a));
        }
    }
    return vm.callAsMethod(self, arg(args, 0), list);
}

} // namespace

void installFunctionClass(Vm& vm) {
    Object* proto = vm.functionPrototype();
    defineClass(vm, "Function", construct, proto, false);
    // Functions have had their prototype from the start; the Function name on _global came
    // with version 6.
    if (vm.version() < 6) {
        vm.global()->removeOwn("Function");
    }
    // Flash 6 brought call and apply; movies of version 5 do not see them.
    vm.setFunction(proto, "call", call, kDontEnum | kDontDelete | kFromVersion6);
    vm.setFunction(proto, "apply", apply, kDontEnum | kDontDelete | kFromVersion6);
}

} // namespace kinovex::flash::avm1
