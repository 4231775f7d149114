// flash.geom.Matrix: a, b, c, d, tx and ty as plain members, and the affine operations on them.

#include "engine/avm1/builtins/Geom.h"

#include <array>
#include <cmath>

namespace kinovex::flash::avm1 {

namespace {

constexpr std::array<const char*, 6> kFields = {"a", "b", "c", "d", "tx", "ty"};

struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

Affine affineOf(Vm& vm, const Value& m) {
    Affine r;
    double* into[] = {&r.a, &r.b, &r.c, &r.d, &r.tx, &r.ty};
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        *into[i] = vm.toNumber(vm.getMember(m, kFields[i]));
    }
    return r;
}

void store(Vm& vm, const Value& m, const Affine& r) {
    const double from[] = {r.a, r.b, r.c, r.d, r.tx, r.ty};
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        vm.setMember(m, kFields[i], Value(from[i]));
    }
}

// first, then second.
Affine then(const Affine& first, const Affine& second) {
    return {first.a * second.a + first.b * second.c,
            first.a * second.b + first.b * second.d,
            first.c * second.a + first.d * second.c,
            first.c * second.b + first.d * second.d,
            first.tx * second.a + first.ty * second.c + second.tx,
            first.tx * second.b + first.ty * second.d + second.ty};
}

// Without arguments a matrix is made the identity by its own identity(), whatever that is now.
Value construct(Vm& vm, const Value& self, Args args) {
    if (args.empty()) {
        vm.call(vm.getMember(self, "identity"), self, {});
        return {};
    }
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        vm.setMember(self, kFields[i], arg(args, i));
    }
    return {};
}

Value toString(Vm& vm, const Value& self, Args) {
    return fieldsText(vm, self, kFields);
}

Value invert(Vm& vm, const Value& self, Args) {
    const Affine m = affineOf(vm, self);
    const double det = m.a * m.d - m.b * m.c;
    if (det == 0) {
        store(vm, self, Affine{});
        return {};
    }
    Affine r{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
    r.tx = -(r.a * m.tx + r.c * m.ty);
    r.ty = -(r.b * m.tx + r.d * m.ty);
    store(vm, self, r);
    return {};
}

// The box a shape of scale (sx, sy), turned by `angle` and moved by (tx, ty) fills.
Affine box(double sx, double sy, double angle, double tx, double ty) {
    const double cos = std::cos(angle);
    const double sin = std::sin(angle);
    return {cos * sx, sin * sy, -sin * sx, cos * sy, tx, ty};
}

double numberArg(Vm& vm, Args args, std::size_t i, double fallback) {
    return i < args.size() ? vm.toNumber(args[i]) : fallback;
}

Value transformed(Vm& vm, const Value& self, Args args, bool withTranslation) {
    const Affine m = affineOf(vm, self);
    const Value p = arg(args, 0);
    const double x = vm.toNumber(vm.getMember(p, "x"));
    const double y = vm.toNumber(vm.getMember(p, "y"));
    const double dx = withTranslation ? m.tx : 0;
    const double dy = withTranslation ? m.ty : 0;
    const Value xy[] = {Value(m.a * x + m.c * y + dx), Value(m.b * x + m.d * y + dy)};
    return newGeom(vm, "Point", xy);
}

void installMethods(Vm& machine, Object* proto) {
    setGeomFunction(machine, proto, "clone", [](Vm& vm, const Value& self, Args) {
        std::vector<Value> fields;
        for (const char* name : kFields) {
            fields.push_back(vm.getMember(self, name));
        }
        return newGeom(vm, "Matrix", fields);
    });
    setGeomFunction(machine, proto, "concat", [](Vm& vm, const Value& self, Args args) {
        store(vm, self, then(affineOf(vm, self), affineOf(vm, arg(args, 0))));
        return Value();
    });
    setGeomFunction(machine, proto, "createBox", [](Vm& vm, const Value& self, Args args) {
        store(vm, self,
              box(numberArg(vm, args, 0, NAN), numberArg(vm, args, 1, NAN),
                  numberArg(vm, args, 2, 0), numberArg(vm, args, 3, 0), numberArg(vm, args, 4, 0)));
        return Value();
    });
    // A gradient's square is 1638.4 twips a side, centred on the origin.
    setGeomFunction(machine, proto, "createGradientBox", [](Vm& vm, const Value& self, Args args) {
        const double w = numberArg(vm, args, 0, NAN);
        const double h = numberArg(vm, args, 1, NAN);
        store(vm, self,
              box(w / 1638.4, h / 1638.4, numberArg(vm, args, 2, 0),
                  numberArg(vm, args, 3, 0) + w / 2, numberArg(vm, args, 4, 0) + h / 2));
        return Value();
    });
    setGeomFunction(
        machine, proto, "deltaTransformPoint",
        [](Vm& vm, const Value& self, Args args) { return transformed(vm, self, args, false); });
    setGeomFunction(machine, proto, "identity", [](Vm& vm, const Value& self, Args) {
        store(vm, self, Affine{});
        return Value();
    });
    setGeomFunction(machine, proto, "invert", invert);
    setGeomFunction(machine, proto, "rotate", [](Vm& vm, const Value& self, Args args) {
        store(vm, self, then(affineOf(vm, self), box(1, 1, vm.toNumber(arg(args, 0)), 0, 0)));
        return Value();
    });
    setGeomFunction(machine, proto, "scale", [](Vm& vm, const Value& self, Args args) {
        const Affine s{vm.toNumber(arg(args, 0)), 0, 0, vm.toNumber(arg(args, 1)), 0, 0};
        store(vm, self, then(affineOf(vm, self), s));
        return Value();
    });
    setGeomFunction(machine, proto, "toString", toString);
    setGeomFunction(machine, proto, "transformPoint", [](Vm& vm, const Value& self, Args args) {
        return transformed(vm, self, args, true);
    });
    setGeomFunction(machine, proto, "translate", [](Vm& vm, const Value& self, Args args) {
        vm.setMember(self, "tx", plusValues(vm, vm.getMember(self, "tx"), arg(args, 0)));
        vm.setMember(self, "ty", plusValues(vm, vm.getMember(self, "ty"), arg(args, 1)));
        return Value();
    });
}

} // namespace

void installMatrixClass(Vm& machine) {
    Object* proto = machine.newObject();
    installMethods(machine, proto);
    defineGeomClass(machine, "Matrix", construct, proto);
}

} // namespace kinovex::flash::avm1
