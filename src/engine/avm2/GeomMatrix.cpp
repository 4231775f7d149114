// flash.geom.Matrix: a, b, c, d, tx and ty. Rotating, scaling and translating concatenate the
// matrix of that step after this one, term by term in the order the player computes them.

#include "engine/avm2/Geom.h"
#include "engine/avm2/Machine.h"

#include <cmath>

namespace kinovex::flash::avm2 {

void installMatrixClass(Machine& m);

namespace {

struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

constexpr const char* kFields[] = {"a", "b", "c", "d", "tx", "ty"};

Object* self(Machine& vm, const Value& v) {
    return geomSelf(vm, v, "flash.geom.Matrix");
}

Affine affineOf(const Object* o) {
    return {slotNumber(o, 0), slotNumber(o, 1), slotNumber(o, 2),
            slotNumber(o, 3), slotNumber(o, 4), slotNumber(o, 5)};
}

void store(Object* o, const Affine& m) {
    const double v[] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
    for (std::size_t i = 0; i < 6; ++i) {
        setSlotNumber(o, i, v[i]);
    }
}

// A matrix given as an argument (a null one is the script's error).
Affine argAffine(Machine& vm, const Value& v) {
    double f[6];
    for (std::size_t i = 0; i < 6; ++i) {
        f[i] = vm.toNumber(vm.get(v, kFields[i]));
    }
    return {f[0], f[1], f[2], f[3], f[4], f[5]};
}

// `m` after `t`: a point goes through t, then through m.
Affine then(const Affine& t, const Affine& m) {
    return {m.a * t.a + m.c * t.b, m.b * t.a + m.d * t.b,          m.a * t.c + m.c * t.d,
            m.b * t.c + m.d * t.d, m.a * t.tx + m.c * t.ty + m.tx, m.b * t.tx + m.d * t.ty + m.ty};
}

Affine rotated(const Affine& t, double angle) {
    const double sin = std::sin(angle);
    const double cos = std::cos(angle);
    return then(t, {cos, sin, -sin, cos, 0, 0});
}

Affine scaled(const Affine& t, double sx, double sy) {
    return {t.a * sx, t.b * sy, t.c * sx, t.d * sy, t.tx * sx, t.ty * sy};
}

Value matrixInit(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    const Affine identity;
    const double defaults[] = {identity.a, identity.b,  identity.c,
                               identity.d, identity.tx, identity.ty};
    for (std::size_t i = 0; i < 6; ++i) {
        setSlotNumber(o, i, i < a.size() ? vm.toNumber(a[i]) : defaults[i]);
    }
    return Value();
}

Value toString(Machine& vm, Value s, Args) {
    const Object* o = self(vm, s);
    std::string text = "(";
    for (std::size_t i = 0; i < 6; ++i) {
        text += std::string(i == 0 ? "" : ", ") + kFields[i] + "=" + vm.toString(o->slots[i]);
    }
    return vm.str(text + ")");
}

Value clone(Machine& vm, Value s, Args) {
    const Affine m = affineOf(self(vm, s));
    Value a[6] = {Value::number(m.a), Value::number(m.b),  Value::number(m.c),
                  Value::number(m.d), Value::number(m.tx), Value::number(m.ty)};
    return Value::obj(vm.constructClass(vm.builtin("flash.geom.Matrix"), Args(a, 6)));
}
Value concat(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    store(o, then(affineOf(o), argAffine(vm, arg(a, 0))));
    return Value();
}
Value copyFrom(Machine& vm, Value s, Args a) {
    store(self(vm, s), argAffine(vm, arg(a, 0)));
    return Value();
}
Value identity(Machine& vm, Value s, Args) {
    store(self(vm, s), Affine{});
    return Value();
}
Value setTo(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    for (std::size_t i = 0; i < 6; ++i) {
        setSlotNumber(o, i, vm.toNumber(arg(a, i)));
    }
    return Value();
}

// A matrix whose determinant is 0 gets infinities and NaNs, as the player's does.
Value invert(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    const Affine m = affineOf(o);
    const double det = m.a * m.d - m.c * m.b;
    store(o, {m.d / det, m.b / -det, m.c / -det, m.a / det, (m.d * m.tx - m.c * m.ty) / -det,
              (m.b * m.tx - m.a * m.ty) / det});
    return Value();
}
Value rotate(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    store(o, rotated(affineOf(o), vm.toNumber(arg(a, 0))));
    return Value();
}
Value scale(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    store(o, scaled(affineOf(o), vm.toNumber(arg(a, 0)), vm.toNumber(arg(a, 1))));
    return Value();
}
Value translate(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    Affine m = affineOf(o);
    m.tx += vm.toNumber(arg(a, 0));
    m.ty += vm.toNumber(arg(a, 1));
    store(o, m);
    return Value();
}

// createBox(scaleX, scaleY, rotation, tx, ty): identity, rotated, scaled, then translated.
Affine box(double sx, double sy, double rotation, double tx, double ty) {
    Affine m = scaled(rotated(Affine{}, rotation), sx, sy);
    m.tx += tx;
    m.ty += ty;
    return m;
}
double optional(Machine& vm, Args a, std::size_t i) {
    return i < a.size() ? vm.toNumber(a[i]) : 0;
}
Value createBox(Machine& vm, Value s, Args a) {
    store(self(vm, s), box(vm.toNumber(arg(a, 0)), vm.toNumber(arg(a, 1)), optional(vm, a, 2),
                           optional(vm, a, 3), optional(vm, a, 4)));
    return Value();
}
// A gradient's box: its 1638.4-twip square scaled to width by height, centred on the box.
Value createGradientBox(Machine& vm, Value s, Args a) {
    const double width = vm.toNumber(arg(a, 0));
    const double height = vm.toNumber(arg(a, 1));
    store(self(vm, s), box(width / 1638.4, height / 1638.4, optional(vm, a, 2),
                           optional(vm, a, 3) + width / 2, optional(vm, a, 4) + height / 2));
    return Value();
}

Value transformPoint(Machine& vm, Value s, Args a) {
    const Affine m = affineOf(self(vm, s));
    const double x = vm.toNumber(vm.get(arg(a, 0), "x"));
    const double y = vm.toNumber(vm.get(arg(a, 0), "y"));
    return Value::obj(newPoint(vm, m.a * x + m.c * y + m.tx, m.b * x + m.d * y + m.ty));
}
Value deltaTransformPoint(Machine& vm, Value s, Args a) {
    const Affine m = affineOf(self(vm, s));
    const double x = vm.toNumber(vm.get(arg(a, 0), "x"));
    const double y = vm.toNumber(vm.get(arg(a, 0), "y"));
    return Value::obj(newPoint(vm, m.a * x + m.c * y, m.b * x + m.d * y));
}

} // namespace

void installMatrixClass(Machine& m) {
    ClassInfo* matrix = m.defineNativeClass("flash.geom", "Matrix", m.objectClass);
    for (const char* name : kFields) {
        addNumberVariable(m, matrix, name);
    }
    matrix->nativeInit = matrixInit;
    m.defineMethod(matrix, "toString", toString);
    m.defineMethod(matrix, "clone", clone);
    m.defineMethod(matrix, "concat", concat, 1);
    m.defineMethod(matrix, "copyFrom", copyFrom, 1);
    m.defineMethod(matrix, "identity", identity);
    m.defineMethod(matrix, "setTo", setTo, 6);
    m.defineMethod(matrix, "invert", invert);
    m.defineMethod(matrix, "rotate", rotate, 1);
    m.defineMethod(matrix, "scale", scale, 2);
    m.defineMethod(matrix, "translate", translate, 2);
    m.defineMethod(matrix, "createBox", createBox, 5);
    m.defineMethod(matrix, "createGradientBox", createGradientBox, 5);
    m.defineMethod(matrix, "transformPoint", transformPoint, 1);
    m.defineMethod(matrix, "deltaTransformPoint", deltaTransformPoint, 1);
}

} // namespace kinovex::flash::avm2
