// Number: toString in any radix, valueOf, and the constants on the constructor.

#include "engine/avm1/builtins/Builtins.h"

#include <cmath>
#include <optional>

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

// The number a method runs on; none when `this` is no number (Number.prototype is none either).
std::optional<double> thisNumber(Vm& vm, const Value& self) {
    if (self.isNumber()) {
        return self.asNumber();
    }
    Object* o = selfObject(self);
    if (o && o->objectClass() == ObjectClass::Number) {
        return vm.toNumber(o->primitive());
    }
    return std::nullopt;
}

Value toString(Vm& vm, const Value& self, Args args) {
    const std::optional<double> n = thisNumber(vm, self);
    if (!n) {
        return Value();
    }
    const double radix = arg(args, 0).isUndefined() ? 10 : toInteger(vm.toNumber(args[0]));
    return Value(numberToString(*n, static_cast<int>(radix)));
}

Value valueOf(Vm& vm, const Value& self, Args) {
    const std::optional<double> n = thisNumber(vm, self);
    return n ? Value(*n) : Value();
}

} // namespace

Object* installNumberClass(Vm& vm) {
    Object* proto = vm.newObject(vm.objectPrototype());
    Object* ctor = defineClass(vm, "Number", construct, proto, true);
    vm.setFunction(proto, "toString", toString);
    vm.setFunction(proto, "valueOf", valueOf);
    const PropFlags constant = kDontEnum | kDontDelete | kReadOnly;
    ctor->define("MAX_VALUE", Value(1.7976931348623157e308), constant);
    ctor->define("MIN_VALUE", Value(4.9406564584124654e-324), constant);
    ctor->define("NaN", vm.boxed(Value(std::nan(""))), constant);
    ctor->define("POSITIVE_INFINITY", Value(INFINITY), constant);
    ctor->define("NEGATIVE_INFINITY", Value(-INFINITY), constant);
    // The constructor is sealed whole, its prototype and __proto__ links read-only too.
    for (Property& p : ctor->properties()) {
        p.flags |= kReadOnly;
    }
    return proto;
}

} // namespace kinovex::flash::avm1
