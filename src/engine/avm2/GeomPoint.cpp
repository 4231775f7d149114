// flash.geom.Point: x and y, and the vector arithmetic on them, computed in the order the
// player computes it so that results match to the last digit.

#include "engine/avm2/Geom.h"
#include "engine/avm2/Machine.h"

#include <cmath>

namespace kinovex::flash::avm2 {

namespace {

constexpr std::size_t kX = 0;
constexpr std::size_t kY = 1;

Object* self(Machine& vm, const Value& v) {
    return geomSelf(vm, v, "flash.geom.Point");
}

// A point given as an argument: any object with x and y (a null one is the script's error).
double fieldOf(Machine& vm, const Value& p, const char* name) {
    return vm.toNumber(vm.get(p, name));
}

// A Number parameter with a default: left out it is the default, undefined is NaN.
double numberArg(Machine& vm, Args a, std::size_t i, double fallback) {
    return i < a.size() ? vm.toNumber(a[i]) : fallback;
}

Value pointInit(Machine& vm, Value s, Args a) {
    Object* p = self(vm, s);
    setSlotNumber(p, kX, numberArg(vm, a, 0, 0));
    setSlotNumber(p, kY, numberArg(vm, a, 1, 0));
    return Value();
}

Value length(Machine& vm, Value s, Args) {
    const Object* p = self(vm, s);
    const double x = slotNumber(p, kX);
    const double y = slotNumber(p, kY);
    return Value::number(std::sqrt(x * x + y * y));
}

Value toString(Machine& vm, Value s, Args) {
    const Object* p = self(vm, s);
    return vm.str("(x=" + vm.toString(p->slots[kX]) + ", y=" + vm.toString(p->slots[kY]) + ")");
}

Value add(Machine& vm, Value s, Args a) {
    const Object* p = self(vm, s);
    return Value::obj(newPoint(vm, slotNumber(p, kX) + fieldOf(vm, arg(a, 0), "x"),
                               slotNumber(p, kY) + fieldOf(vm, arg(a, 0), "y")));
}

Value subtract(Machine& vm, Value s, Args a) {
    const Object* p = self(vm, s);
    return Value::obj(newPoint(vm, slotNumber(p, kX) - fieldOf(vm, arg(a, 0), "x"),
                               slotNumber(p, kY) - fieldOf(vm, arg(a, 0), "y")));
}

Value clone(Machine& vm, Value s, Args) {
    const Object* p = self(vm, s);
    return Value::obj(newPoint(vm, slotNumber(p, kX), slotNumber(p, kY)));
}

Value copyFrom(Machine& vm, Value s, Args a) {
    Object* p = self(vm, s);
    setSlotNumber(p, kX, fieldOf(vm, arg(a, 0), "x"));
    setSlotNumber(p, kY, fieldOf(vm, arg(a, 0), "y"));
    return Value();
}

Value equals(Machine& vm, Value s, Args a) {
    const Object* p = self(vm, s);
    return Value::boolean(slotNumber(p, kX) == fieldOf(vm, arg(a, 0), "x") &&
                          slotNumber(p, kY) == fieldOf(vm, arg(a, 0), "y"));
}

// Scales the point to the given length; one of length 0 (or NaN) stays as it is.
Value normalize(Machine& vm, Value s, Args a) {
    Object* p = self(vm, s);
    const double x = slotNumber(p, kX);
    const double y = slotNumber(p, kY);
    const double len = std::sqrt(x * x + y * y);
    if (len > 0) {
        const double scale = vm.toNumber(arg(a, 0)) / len;
        setSlotNumber(p, kX, x * scale);
        setSlotNumber(p, kY, y * scale);
    }
    return Value();
}

Value offset(Machine& vm, Value s, Args a) {
    Object* p = self(vm, s);
    setSlotNumber(p, kX, slotNumber(p, kX) + vm.toNumber(arg(a, 0)));
    setSlotNumber(p, kY, slotNumber(p, kY) + vm.toNumber(arg(a, 1)));
    return Value();
}

Value setTo(Machine& vm, Value s, Args a) {
    Object* p = self(vm, s);
    setSlotNumber(p, kX, vm.toNumber(arg(a, 0)));
    setSlotNumber(p, kY, vm.toNumber(arg(a, 1)));
    return Value();
}

Value distance(Machine& vm, Value, Args a) {
    const double dx = fieldOf(vm, arg(a, 1), "x") - fieldOf(vm, arg(a, 0), "x");
    const double dy = fieldOf(vm, arg(a, 1), "y") - fieldOf(vm, arg(a, 0), "y");
    return Value::number(std::sqrt(dx * dx + dy * dy));
}

// interpolate(a, b, f): b - (b - a) * f, so that f = 1 gives a and f = 0 gives b.
Value interpolate(Machine& vm, Value, Args a) {
    const double f = vm.toNumber(arg(a, 2));
    const double ax = fieldOf(vm, arg(a, 0), "x");
    const double ay = fieldOf(vm, arg(a, 0), "y");
    const double bx = fieldOf(vm, arg(a, 1), "x");
    const double by = fieldOf(vm, arg(a, 1), "y");
    return Value::obj(newPoint(vm, bx - (bx - ax) * f, by - (by - ay) * f));
}

Value polar(Machine& vm, Value, Args a) {
    const double len = vm.toNumber(arg(a, 0));
    const double angle = vm.toNumber(arg(a, 1));
    return Value::obj(newPoint(vm, len * std::cos(angle), len * std::sin(angle)));
}

void installPointClass(Machine& m) {
    ClassInfo* point = m.defineNativeClass("flash.geom", "Point", m.objectClass);
    addNumberVariable(m, point, "x");
    addNumberVariable(m, point, "y");
    point->nativeInit = pointInit;
    m.defineGetter(point, "length", length);
    m.defineMethod(point, "toString", toString);
    m.defineMethod(point, "add", add, 1);
    m.defineMethod(point, "subtract", subtract, 1);
    m.defineMethod(point, "clone", clone);
    m.defineMethod(point, "copyFrom", copyFrom, 1);
    m.defineMethod(point, "equals", equals, 1);
    m.defineMethod(point, "normalize", normalize, 1);
    m.defineMethod(point, "offset", offset, 2);
    m.defineMethod(point, "setTo", setTo, 2);
    m.defineStatic(point, "distance", distance, 2);
    m.defineStatic(point, "interpolate", interpolate, 3);
    m.defineStatic(point, "polar", polar, 2);
}

} // namespace

void installRectangleClass(Machine& m);      // GeomRectangle.cpp
void installMatrixClass(Machine& m);         // GeomMatrix.cpp
void installColorTransformClass(Machine& m); // GeomColorTransform.cpp

Object* geomSelf(Machine& vm, const Value& self, const char* cls) {
    ClassInfo* c = vm.builtin(cls);
    if (!self.isObject() || self.o->cls == nullptr || !self.o->cls->isSubclassOf(c)) {
        vm.throwError("TypeError", 1009,
                      "Cannot access a property or method of a null object reference.");
    }
    return self.o;
}

Object* newPoint(Machine& vm, double x, double y) {
    Value a[2] = {Value::number(x), Value::number(y)};
    return vm.constructClass(vm.builtin("flash.geom.Point"), Args(a, 2));
}

void installGeomClasses(Machine& m) {
    installPointClass(m);
    installRectangleClass(m);
    installMatrixClass(m);
    installColorTransformClass(m);
}

} // namespace kinovex::flash::avm2
