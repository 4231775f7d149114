// flash.geom.Point: x and y, and the vector arithmetic on them.

#include "engine/avm1/builtins/Geom.h"

#include <cmath>

namespace kinovex::flash::avm1 {

namespace {

Value member(Vm& vm, const Value& o, std::string_view name) {
    return vm.getMember(o, name);
}

Value makePoint(Vm& vm, Value x, Value y) {
    const Value xy[] = {std::move(x), std::move(y)};
    return newGeom(vm, "Point", xy);
}

// With no arguments a point is at (0, 0); otherwise it keeps what it was given, as it is.
Value construct(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    if (o == nullptr) {
        return {};
    }
    vm.setMember(o, "x", args.empty() ? Value(0.0) : arg(args, 0));
    vm.setMember(o, "y", args.empty() ? Value(0.0) : arg(args, 1));
    return {};
}

double lengthOf(Vm& vm, const Value& p) {
    const Value x = member(vm, p, "x");
    const Value y = member(vm, p, "y");
    return std::sqrt(timesValues(vm, x, x) + timesValues(vm, y, y));
}

// NaN equals NaN here: a point with a NaN field still equals its own copy.
bool sameField(Vm& vm, const Value& a, const Value& b) {
    if (a.isNumber() && b.isNumber() && std::isnan(a.asNumber()) && std::isnan(b.asNumber())) {
        return true;
    }
    return vm.strictEquals(a, b);
}

Value equals(Vm& vm, const Value& self, Args args) {
    const Value other = arg(args, 0);
    const Value ctor = vm.getMember(Value(geomPackage(vm)), "Point");
    if (!ctor.isObject() || !vm.instanceOf(other, ctor.asObject())) {
        return Value(false);
    }
    return Value(sameField(vm, member(vm, self, "x"), member(vm, other, "x")) &&
                 sameField(vm, member(vm, self, "y"), member(vm, other, "y")));
}

// normalize(length): scales the point to that length; a point of length 0 stays.
Value normalize(Vm& vm, const Value& self, Args args) {
    const double current = lengthOf(vm, self);
    if (current > 0) {
        const Value scale(vm.toNumber(arg(args, 0)) / current);
        vm.setMember(self, "x", Value(timesValues(vm, member(vm, self, "x"), scale)));
        vm.setMember(self, "y", Value(timesValues(vm, member(vm, self, "y"), scale)));
    }
    return {};
}

Value offset(Vm& vm, const Value& self, Args args) {
    vm.setMember(self, "x", plusValues(vm, member(vm, self, "x"), arg(args, 0)));
    vm.setMember(self, "y", plusValues(vm, member(vm, self, "y"), arg(args, 1)));
    return {};
}

Value toString(Vm& vm, const Value& self, Args) {
    Value text = plusValues(vm, Value("(x="), member(vm, self, "x"));
    text = plusValues(vm, text, Value(", y="));
    text = plusValues(vm, text, member(vm, self, "y"));
    return plusValues(vm, text, Value(")"));
}

// interpolate(a, b, f): b + (a - b) * f.
Value interpolate(Vm& vm, const Value&, Args args) {
    const Value a = arg(args, 0);
    const Value b = arg(args, 1);
    const Value f = arg(args, 2);
    auto along = [&](std::string_view name) {
        const Value from = member(vm, b, name);
        const Value step(timesValues(vm, Value(minusValues(vm, member(vm, a, name), from)), f));
        return plusValues(vm, from, step);
    };
    Value x = along("x");
    return makePoint(vm, std::move(x), along("y"));
}

void installMethods(Vm& machine, Object* proto) {
    setGeomFunction(machine, proto, "add", [](Vm& vm, const Value& self, Args args) {
        const Value v = arg(args, 0);
        Value x = plusValues(vm, member(vm, self, "x"), member(vm, v, "x"));
        return makePoint(vm, std::move(x),
                         plusValues(vm, member(vm, self, "y"), member(vm, v, "y")));
    });
    setGeomFunction(machine, proto, "clone", [](Vm& vm, const Value& self, Args) {
        return makePoint(vm, member(vm, self, "x"), member(vm, self, "y"));
    });
    setGeomFunction(machine, proto, "equals", equals);
    setGeomFunction(machine, proto, "normalize", normalize);
    setGeomFunction(machine, proto, "offset", offset);
    setGeomFunction(machine, proto, "subtract", [](Vm& vm, const Value& self, Args args) {
        const Value v = arg(args, 0);
        const Value x(minusValues(vm, member(vm, self, "x"), member(vm, v, "x")));
        return makePoint(vm, x, Value(minusValues(vm, member(vm, self, "y"), member(vm, v, "y"))));
    });
    setGeomFunction(machine, proto, "toString", toString);
    setGeomProperty(machine, proto, "length",
                    [](Vm& vm, const Value& self, Args) { return Value(lengthOf(vm, self)); });
}

} // namespace

void installPointClass(Vm& machine) {
    Object* proto = machine.newObject();
    installMethods(machine, proto);
    Object* ctor = defineGeomClass(machine, "Point", construct, proto);
    // distance(a, b): the length of a.subtract(b).
    setGeomFunction(machine, ctor, "distance", [](Vm& vm, const Value&, Args args) {
        const Value a = arg(args, 0);
        const Value b[] = {arg(args, 1)};
        const Value subtract = member(vm, a, "subtract");
        return member(vm, vm.call(subtract, a, b), "length");
    });
    setGeomFunction(machine, ctor, "interpolate", interpolate);
    setGeomFunction(machine, ctor, "polar", [](Vm& vm, const Value&, Args args) {
        const double length = vm.toNumber(arg(args, 0));
        const double angle = vm.toNumber(arg(args, 1));
        return makePoint(vm, Value(length * std::cos(angle)), Value(length * std::sin(angle)));
    });
}

} // namespace kinovex::flash::avm1
