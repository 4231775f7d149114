// Number: toString in any radix, valueOf, and the constants on the constructor.

#include "engine/avm1/builtins/Builtins.h"

#include <cmath>

namespace kinovex::flash::avm1 {

namespace {

Value construct(Vm& vm, const Value& self, Args args) {
    const double n = args.empty() ? 0.0 : vm.toNumber(args[0]);
    Object* o = selfObject(self);
    if (vm.constructing() && o) {
        o->setObjectClass(ObjectClass::Number);
        o->primitive() = Value(n);
        return Value(o);
    }
    return Value(n);
}

double thisNumber(Vm& vm, const Value& self) {
    if (self.isNumber()) {
        return self.asNumber();
    }
    Object* o = selfObject(self);
    if (o && o->objectClass() == ObjectClass::Number) {
        return vm.toNumber(o->primitive());
    }
    return std::nan("");
}

Value toString(Vm& vm, const Value& self, Args args) {
    const double radix = arg(args, 0).isUndefined() ? 10 : toInteger(vm.toNumber(args[0]));
    return Value(numberToString(thisNumber(vm, self), static_cast<int>(radix)));
}

Value valueOf(Vm& vm, const Value& self, Args) {
    return Value(thisNumber(vm, self));
}

} // namespace

Object* installNumberClass(Vm& vm) {
    Object* proto = vm.newObjectOfClass(ObjectClass::Number, vm.objectPrototype());
    proto->primitive() = Value(0.0);
    Object* ctor = defineClass(vm, "Number", construct, proto, true);
    vm.setFunction(proto, "toString", toString);
    vm.setFunction(proto, "valueOf", valueOf);
    const PropFlags constant = kDontEnum | kDontDelete | kReadOnly;
    ctor->define("MAX_VALUE", Value(1.7976931348623157e308), constant);
    ctor->define("MIN_VALUE", Value(4.9406564584124654e-324), constant);
    ctor->define("NaN", Value(std::nan("")), constant);
    ctor->define("POSITIVE_INFINITY", Value(INFINITY), constant);
    ctor->define("NEGATIVE_INFINITY", Value(-INFINITY), constant);
    return proto;
}

} // namespace kinovex::flash::avm1
