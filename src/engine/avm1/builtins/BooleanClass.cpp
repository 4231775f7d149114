// Boolean: toString and valueOf.

#include "engine/avm1/builtins/Builtins.h"

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

bool thisBool(const Value& self) {
    if (self.isBool()) {
        return self.asBool();
    }
    Object* o = selfObject(self);
    return o && o->primitive().isBool() && o->primitive().asBool();
}

Value toString(Vm&, const Value& self, Args) {
    return Value(thisBool(self) ? "true" : "false");
}

Value valueOf(Vm&, const Value& self, Args) {
    return Value(thisBool(self));
}

} // namespace

Object* installBooleanClass(Vm& vm) {
    Object* proto = vm.newObjectOfClass(ObjectClass::Boolean, vm.objectPrototype());
    proto->primitive() = Value(false);
    defineClass(vm, "Boolean", construct, proto, true);
    vm.setFunction(proto, "toString", toString);
    vm.setFunction(proto, "valueOf", valueOf);
    return proto;
}

} // namespace kinovex::flash::avm1
