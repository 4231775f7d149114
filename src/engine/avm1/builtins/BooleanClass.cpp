// Boolean: toString and valueOf.

#include "engine/avm1/builtins/Builtins.h"

#include <optional>

namespace kinovex::flash::avm1 {

namespace {

Value construct(Vm& vm, const Value& self, Args args) {
    const bool b = !args.empty() && vm.toBoolean(args[0]);
    Object* o = selfObject(self);
    if (vm.constructing() && o) {
        o->setObjectClass(ObjectClass::Boolean);
        o->primitive() = Value(b);
        return Value(o);
    }
    // Boolean() called with nothing to convert gives undefined.
    return args.empty() ? Value() : Value(b);
}

// The value of a boolean or of a Boolean object; none for anything else.
std::optional<bool> thisBool(const Value& self) {
    if (self.isBool()) {
        return self.asBool();
    }
    Object* o = selfObject(self);
    if (o == nullptr || !o->primitive().isBool()) {
        return std::nullopt;
    }
    return o->primitive().asBool();
}

Value toString(Vm&, const Value& self, Args) {
    const std::optional<bool> b = thisBool(self);
    return b ? Value(*b ? "true" : "false") : Value();
}

Value valueOf(Vm&, const Value& self, Args) {
    const std::optional<bool> b = thisBool(self);
    return b ? Value(*b) : Value();
}

} // namespace

Object* installBooleanClass(Vm& vm) {
    Object* proto = vm.newObject(vm.objectPrototype());
    defineClass(vm, "Boolean", construct, proto, true);
    vm.setFunction(proto, "toString", toString);
    vm.setFunction(proto, "valueOf", valueOf);
    return proto;
}

} // namespace kinovex::flash::avm1
