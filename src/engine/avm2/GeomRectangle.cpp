// flash.geom.Rectangle: x, y, width and height, their edges and corners, and the tests and
// combinations of rectangles. A rectangle whose width or height is not above 0 is empty.

#include "engine/avm2/Geom.h"
#include "engine/avm2/Machine.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash::avm2 {

void installRectangleClass(Machine& m);

namespace {

struct Rect {
    double x, y, w, h;
    bool empty() const { return w <= 0 || h <= 0; } // NaN is not empty
};

Object* self(Machine& vm, const Value& v) {
    return geomSelf(vm, v, "flash.geom.Rectangle");
}

Rect rectOf(const Object* o) {
    return {slotNumber(o, 0), slotNumber(o, 1), slotNumber(o, 2), slotNumber(o, 3)};
}

void store(Object* o, const Rect& r) {
    setSlotNumber(o, 0, r.x);
    setSlotNumber(o, 1, r.y);
    setSlotNumber(o, 2, r.w);
    setSlotNumber(o, 3, r.h);
}

double field(Machine& vm, const Value& v, const char* name) {
    return vm.toNumber(vm.get(v, name));
}

// A rectangle given as an argument (a null one is the script's error).
Rect argRect(Machine& vm, const Value& v) {
    return {field(vm, v, "x"), field(vm, v, "y"), field(vm, v, "width"), field(vm, v, "height")};
}

Value make(Machine& vm, const Rect& r) {
    return Value::obj(newRectangle(vm, r.x, r.y, r.w, r.h));
}

Value rectangleInit(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    for (std::size_t i = 0; i < 4; ++i) {
        setSlotNumber(o, i, i < a.size() ? vm.toNumber(a[i]) : 0);
    }
    return Value();
}

Value toString(Machine& vm, Value s, Args) {
    const Object* o = self(vm, s);
    return vm.str("(x=" + vm.toString(o->slots[0]) + ", y=" + vm.toString(o->slots[1]) +
                  ", w=" + vm.toString(o->slots[2]) + ", h=" + vm.toString(o->slots[3]) + ")");
}

// ---- edges and corners ----

Value left(Machine& vm, Value s, Args) {
    return Value::number(rectOf(self(vm, s)).x);
}
Value setLeft(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    Rect r = rectOf(o);
    const double v = vm.toNumber(arg(a, 0));
    r.w += r.x - v;
    r.x = v;
    store(o, r);
    return Value();
}
Value right(Machine& vm, Value s, Args) {
    const Rect r = rectOf(self(vm, s));
    return Value::number(r.x + r.w);
}
Value setRight(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    Rect r = rectOf(o);
    r.w = vm.toNumber(arg(a, 0)) - r.x;
    store(o, r);
    return Value();
}
Value top(Machine& vm, Value s, Args) {
    return Value::number(rectOf(self(vm, s)).y);
}
Value setTop(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    Rect r = rectOf(o);
    const double v = vm.toNumber(arg(a, 0));
    r.h += r.y - v;
    r.y = v;
    store(o, r);
    return Value();
}
Value bottom(Machine& vm, Value s, Args) {
    const Rect r = rectOf(self(vm, s));
    return Value::number(r.y + r.h);
}
Value setBottom(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    Rect r = rectOf(o);
    r.h = vm.toNumber(arg(a, 0)) - r.y;
    store(o, r);
    return Value();
}
Value topLeft(Machine& vm, Value s, Args) {
    const Rect r = rectOf(self(vm, s));
    return Value::obj(newPoint(vm, r.x, r.y));
}
Value setTopLeft(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    Rect r = rectOf(o);
    const double x = field(vm, arg(a, 0), "x");
    const double y = field(vm, arg(a, 0), "y");
    r.w += r.x - x;
    r.h += r.y - y;
    r.x = x;
    r.y = y;
    store(o, r);
    return Value();
}
Value bottomRight(Machine& vm, Value s, Args) {
    const Rect r = rectOf(self(vm, s));
    return Value::obj(newPoint(vm, r.x + r.w, r.y + r.h));
}
Value setBottomRight(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    Rect r = rectOf(o);
    r.w = field(vm, arg(a, 0), "x") - r.x;
    r.h = field(vm, arg(a, 0), "y") - r.y;
    store(o, r);
    return Value();
}
Value size(Machine& vm, Value s, Args) {
    const Rect r = rectOf(self(vm, s));
    return Value::obj(newPoint(vm, r.w, r.h));
}
Value setSize(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    Rect r = rectOf(o);
    r.w = field(vm, arg(a, 0), "x");
    r.h = field(vm, arg(a, 0), "y");
    store(o, r);
    return Value();
}

// ---- changing it ----

Value clone(Machine& vm, Value s, Args) {
    return make(vm, rectOf(self(vm, s)));
}
Value isEmpty(Machine& vm, Value s, Args) {
    return Value::boolean(rectOf(self(vm, s)).empty());
}
Value setEmpty(Machine& vm, Value s, Args) {
    store(self(vm, s), Rect{0, 0, 0, 0});
    return Value();
}
Value setTo(Machine& vm, Value s, Args a) {
    store(self(vm, s), Rect{vm.toNumber(arg(a, 0)), vm.toNumber(arg(a, 1)), vm.toNumber(arg(a, 2)),
                            vm.toNumber(arg(a, 3))});
    return Value();
}
Value copyFrom(Machine& vm, Value s, Args a) {
    store(self(vm, s), argRect(vm, arg(a, 0)));
    return Value();
}
void grow(Object* o, double dx, double dy) {
    Rect r = rectOf(o);
    r.x -= dx;
    r.w += 2 * dx;
    r.y -= dy;
    r.h += 2 * dy;
    store(o, r);
}
Value inflate(Machine& vm, Value s, Args a) {
    grow(self(vm, s), vm.toNumber(arg(a, 0)), vm.toNumber(arg(a, 1)));
    return Value();
}
Value inflatePoint(Machine& vm, Value s, Args a) {
    grow(self(vm, s), field(vm, arg(a, 0), "x"), field(vm, arg(a, 0), "y"));
    return Value();
}
void move(Object* o, double dx, double dy) {
    Rect r = rectOf(o);
    r.x += dx;
    r.y += dy;
    store(o, r);
}
Value offset(Machine& vm, Value s, Args a) {
    move(self(vm, s), vm.toNumber(arg(a, 0)), vm.toNumber(arg(a, 1)));
    return Value();
}
Value offsetPoint(Machine& vm, Value s, Args a) {
    move(self(vm, s), field(vm, arg(a, 0), "x"), field(vm, arg(a, 0), "y"));
    return Value();
}

void installRectangleEdges(Machine& m, ClassInfo* rect) {
    m.defineGetter(rect, "left", left, setLeft);
    m.defineGetter(rect, "right", right, setRight);
    m.defineGetter(rect, "top", top, setTop);
    m.defineGetter(rect, "bottom", bottom, setBottom);
    m.defineGetter(rect, "topLeft", topLeft, setTopLeft);
    m.defineGetter(rect, "bottomRight", bottomRight, setBottomRight);
    m.defineGetter(rect, "size", size, setSize);
    m.defineMethod(rect, "toString", toString);
    m.defineMethod(rect, "clone", clone);
    m.defineMethod(rect, "isEmpty", isEmpty);
    m.defineMethod(rect, "setEmpty", setEmpty);
    m.defineMethod(rect, "setTo", setTo, 4);
    m.defineMethod(rect, "copyFrom", copyFrom, 1);
    m.defineMethod(rect, "inflate", inflate, 2);
    m.defineMethod(rect, "inflatePoint", inflatePoint, 1);
    m.defineMethod(rect, "offset", offset, 2);
    m.defineMethod(rect, "offsetPoint", offsetPoint, 1);
}

// ---- against points and other rectangles ----

bool inside(const Rect& r, double x, double y) {
    return x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
}
Value contains(Machine& vm, Value s, Args a) {
    return Value::boolean(
        inside(rectOf(self(vm, s)), vm.toNumber(arg(a, 0)), vm.toNumber(arg(a, 1))));
}
Value containsPoint(Machine& vm, Value s, Args a) {
    return Value::boolean(
        inside(rectOf(self(vm, s)), field(vm, arg(a, 0), "x"), field(vm, arg(a, 0), "y")));
}
// Whether `in` lies within r: its left and top edges inside r, its right and bottom edges past
// r's left and top and not past r's right and bottom.
Value containsRect(Machine& vm, Value s, Args a) {
    const Rect r = rectOf(self(vm, s));
    const Rect in = argRect(vm, arg(a, 0));
    const double r1 = in.x + in.w;
    const double b1 = in.y + in.h;
    const double r2 = r.x + r.w;
    const double b2 = r.y + r.h;
    return Value::boolean(in.x >= r.x && in.x < r2 && in.y >= r.y && in.y < b2 && r1 > r.x &&
                          r1 <= r2 && b1 > r.y && b1 <= b2);
}

// Math.min and Math.max: NaN when either is.
double least(double a, double b) {
    return std::isnan(a) || std::isnan(b) ? NAN : std::min(a, b);
}
double most(double a, double b) {
    return std::isnan(a) || std::isnan(b) ? NAN : std::max(a, b);
}

Rect overlap(const Rect& a, const Rect& b) {
    if (a.empty() || b.empty()) {
        return {0, 0, 0, 0};
    }
    Rect r;
    r.x = most(a.x, b.x);
    r.y = most(a.y, b.y);
    r.w = least(a.x + a.w, b.x + b.w) - r.x;
    r.h = least(a.y + a.h, b.y + b.h) - r.y;
    return r.empty() ? Rect{0, 0, 0, 0} : r;
}
Value intersection(Machine& vm, Value s, Args a) {
    return make(vm, overlap(rectOf(self(vm, s)), argRect(vm, arg(a, 0))));
}
Value intersects(Machine& vm, Value s, Args a) {
    return Value::boolean(!overlap(rectOf(self(vm, s)), argRect(vm, arg(a, 0))).empty());
}
Value unionOf(Machine& vm, Value s, Args a) {
    const Rect r = rectOf(self(vm, s));
    const Rect o = argRect(vm, arg(a, 0));
    if (r.empty()) {
        return make(vm, o);
    }
    if (o.empty()) {
        return make(vm, r);
    }
    Rect u;
    u.x = least(r.x, o.x);
    u.y = least(r.y, o.y);
    u.w = most(r.x + r.w, o.x + o.w) - u.x;
    u.h = most(r.y + r.h, o.y + o.h) - u.y;
    return make(vm, u);
}
Value equals(Machine& vm, Value s, Args a) {
    const Rect r = rectOf(self(vm, s));
    const Rect o = argRect(vm, arg(a, 0));
    return Value::boolean(o.x == r.x && o.y == r.y && o.w == r.w && o.h == r.h);
}

} // namespace

Object* newRectangle(Machine& vm, double x, double y, double w, double h) {
    Value a[4] = {Value::number(x), Value::number(y), Value::number(w), Value::number(h)};
    return vm.constructClass(vm.builtin("flash.geom.Rectangle"), Args(a, 4));
}

void installRectangleClass(Machine& m) {
    ClassInfo* rect = m.defineNativeClass("flash.geom", "Rectangle", m.objectClass);
    for (const char* name : {"x", "y", "width", "height"}) {
        addNumberVariable(m, rect, name);
    }
    rect->nativeInit = rectangleInit;
    installRectangleEdges(m, rect);
    m.defineMethod(rect, "contains", contains, 2);
    m.defineMethod(rect, "containsPoint", containsPoint, 1);
    m.defineMethod(rect, "containsRect", containsRect, 1);
    m.defineMethod(rect, "intersection", intersection, 1);
    m.defineMethod(rect, "intersects", intersects, 1);
    m.defineMethod(rect, "union", unionOf, 1);
    m.defineMethod(rect, "equals", equals, 1);
}

} // namespace kinovex::flash::avm2
