// flash.geom.Rectangle: x, y, width and height, the edges and corners made from them, and the
// set operations on rectangles.

#include "engine/avm1/builtins/Geom.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash::avm1 {

namespace {

Value member(Vm& vm, const Value& o, std::string_view name) {
    return vm.getMember(o, name);
}

double number(Vm& vm, const Value& o, std::string_view name) {
    return vm.toNumber(vm.getMember(o, name));
}

void set(Vm& vm, const Value& o, std::string_view name, const Value& v) {
    vm.setMember(o, name, v);
}

Value makeRectangle(Vm& vm, std::initializer_list<Value> fields) {
    return newGeom(vm, "Rectangle", std::span<const Value>(fields.begin(), fields.size()));
}

Value makePoint(Vm& vm, Value x, Value y) {
    const Value xy[] = {std::move(x), std::move(y)};
    return newGeom(vm, "Point", xy);
}

bool isRectangle(Vm& vm, const Value& v) {
    const Value ctor = vm.getMember(Value(geomPackage(vm)), "Rectangle");
    return ctor.isObject() && vm.instanceOf(v, ctor.asObject());
}

Value rightOf(Vm& vm, const Value& r) {
    return plusValues(vm, member(vm, r, "x"), member(vm, r, "width"));
}

Value bottomOf(Vm& vm, const Value& r) {
    return plusValues(vm, member(vm, r, "y"), member(vm, r, "height"));
}

void setEmpty(Vm& vm, const Value& self) {
    for (const char* name : {"x", "y", "width", "height"}) {
        set(vm, self, name, Value(0.0));
    }
}

// Without arguments a rectangle is made empty by its own setEmpty, whatever that is now.
Value construct(Vm& vm, const Value& self, Args args) {
    if (args.empty()) {
        vm.call(member(vm, self, "setEmpty"), self, {});
        return {};
    }
    set(vm, self, "x", arg(args, 0));
    set(vm, self, "y", arg(args, 1));
    set(vm, self, "width", arg(args, 2));
    set(vm, self, "height", arg(args, 3));
    return {};
}

// a >= b is !(a < b): a NaN on either side makes it true, where a < b is undefined.
Value atLeast(Vm& vm, const Value& a, const Value& b) {
    return Value(!vm.toBoolean(vm.lessThan(a, b)));
}

// The first comparison that does not hold, as a chain of && gives it.
template <typename... Checks> Value allOf(Checks&&... checks) {
    Value result(true);
    ((result.isBool() && result.asBool() ? (result = checks(), 0) : 0), ...);
    return result;
}

Value containsXY(Vm& vm, const Value& self, const Value& x, const Value& y) {
    return allOf([&] { return atLeast(vm, x, member(vm, self, "x")); },
                 [&] { return vm.lessThan(x, rightOf(vm, self)); },
                 [&] { return atLeast(vm, y, member(vm, self, "y")); },
                 [&] { return vm.lessThan(y, bottomOf(vm, self)); });
}

// Whole rectangles are compared as numbers; a NaN anywhere leaves the answer undefined.
struct Box {
    double left, top, right, bottom;
    bool hasNaN() const {
        return std::isnan(left) || std::isnan(top) || std::isnan(right) || std::isnan(bottom);
    }
    bool empty() const { return !(right > left) || !(bottom > top); }
};

Box boxOf(Vm& vm, const Value& r) {
    const double x = number(vm, r, "x");
    const double y = number(vm, r, "y");
    return {x, y, x + number(vm, r, "width"), y + number(vm, r, "height")};
}

Value containsRectangle(Vm& vm, const Value& self, Args args) {
    const Box outer = boxOf(vm, self);
    const Box inner = boxOf(vm, arg(args, 0));
    if (outer.hasNaN() || inner.hasNaN()) {
        return {};
    }
    return Value(inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
                 inner.bottom <= outer.bottom);
}

Value boxRectangle(Vm& vm, const Box& b) {
    if (b.empty()) {
        return makeRectangle(vm, {});
    }
    return makeRectangle(
        vm, {Value(b.left), Value(b.top), Value(b.right - b.left), Value(b.bottom - b.top)});
}

Value intersection(Vm& vm, const Value& self, Args args) {
    const Box a = boxOf(vm, self);
    const Box b = boxOf(vm, arg(args, 0));
    return boxRectangle(vm, {std::max(a.left, b.left), std::max(a.top, b.top),
                             std::min(a.right, b.right), std::min(a.bottom, b.bottom)});
}

// union: an empty rectangle adds nothing.
Value unite(Vm& vm, const Value& self, Args args) {
    const Box a = boxOf(vm, self);
    const Box b = boxOf(vm, arg(args, 0));
    if (a.empty() || b.empty()) {
        return boxRectangle(vm, a.empty() ? b : a);
    }
    return boxRectangle(vm, {std::min(a.left, b.left), std::min(a.top, b.top),
                             std::max(a.right, b.right), std::max(a.bottom, b.bottom)});
}

Value equals(Vm& vm, const Value& self, Args args) {
    const Value other = arg(args, 0);
    if (!isRectangle(vm, other)) {
        return Value(false);
    }
    for (const char* name : {"x", "y", "width", "height"}) {
        if (!vm.strictEquals(member(vm, self, name), member(vm, other, name))) {
            return Value(false);
        }
    }
    return Value(true);
}

Value toString(Vm& vm, const Value& self, Args) {
    Value text("(x=");
    const char* labels[][2] = {{"x", ", y="}, {"y", ", w="}, {"width", ", h="}, {"height", ")"}};
    for (const auto& [name, after] : labels) {
        text = plusValues(vm, plusValues(vm, text, member(vm, self, name)), Value(after));
    }
    return text;
}

void offset(Vm& vm, const Value& self, const Value& dx, const Value& dy) {
    set(vm, self, "x", plusValues(vm, member(vm, self, "x"), dx));
    set(vm, self, "y", plusValues(vm, member(vm, self, "y"), dy));
}

// inflate(dx, dy): each edge moves out by that much.
void inflate(Vm& vm, const Value& self, const Value& dx, const Value& dy) {
    const double x = vm.toNumber(dx);
    const double y = vm.toNumber(dy);
    set(vm, self, "x", Value(number(vm, self, "x") - x));
    set(vm, self, "width", Value(number(vm, self, "width") + 2 * x));
    set(vm, self, "y", Value(number(vm, self, "y") - y));
    set(vm, self, "height", Value(number(vm, self, "height") + 2 * y));
}

void installMethods(Vm& machine, Object* proto) {
    setGeomFunction(machine, proto, "clone", [](Vm& vm, const Value& self, Args) {
        return makeRectangle(vm, {member(vm, self, "x"), member(vm, self, "y"),
                                  member(vm, self, "width"), member(vm, self, "height")});
    });
    setGeomFunction(machine, proto, "contains", [](Vm& vm, const Value& self, Args args) {
        return containsXY(vm, self, arg(args, 0), arg(args, 1));
    });
    setGeomFunction(machine, proto, "containsPoint", [](Vm& vm, const Value& self, Args args) {
        const Value p = arg(args, 0);
        return containsXY(vm, self, member(vm, p, "x"), member(vm, p, "y"));
    });
    setGeomFunction(machine, proto, "containsRectangle", containsRectangle);
    setGeomFunction(machine, proto, "equals", equals);
    setGeomFunction(machine, proto, "inflate", [](Vm& vm, const Value& self, Args args) {
        inflate(vm, self, arg(args, 0), arg(args, 1));
        return Value();
    });
    setGeomFunction(machine, proto, "inflatePoint", [](Vm& vm, const Value& self, Args args) {
        const Value p = arg(args, 0);
        inflate(vm, self, member(vm, p, "x"), member(vm, p, "y"));
        return Value();
    });
    setGeomFunction(machine, proto, "intersection", intersection);
    setGeomFunction(machine, proto, "intersects", [](Vm& vm, const Value& self, Args args) {
        const Box a = boxOf(vm, self);
        const Box b = boxOf(vm, arg(args, 0));
        const Box both{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                       std::min(a.bottom, b.bottom)};
        return Value(!both.empty());
    });
    setGeomFunction(machine, proto, "isEmpty", [](Vm& vm, const Value& self, Args) {
        return Value(!(number(vm, self, "width") > 0) || !(number(vm, self, "height") > 0));
    });
    setGeomFunction(machine, proto, "offset", [](Vm& vm, const Value& self, Args args) {
        offset(vm, self, arg(args, 0), arg(args, 1));
        return Value();
    });
    setGeomFunction(machine, proto, "offsetPoint", [](Vm& vm, const Value& self, Args args) {
        const Value p = arg(args, 0);
        offset(vm, self, member(vm, p, "x"), member(vm, p, "y"));
        return Value();
    });
    setGeomFunction(machine, proto, "setEmpty", [](Vm& vm, const Value& self, Args) {
        setEmpty(vm, self);
        return Value();
    });
    setGeomFunction(machine, proto, "toString", toString);
    setGeomFunction(machine, proto, "union", unite);
}

// The edges and corners: reading makes them from the fields, writing moves the fields.
void installEdges(Vm& machine, Object* proto) {
    setGeomProperty(
        machine, proto, "left",
        [](Vm& vm, const Value& self, Args) { return member(vm, self, "x"); },
        [](Vm& vm, const Value& self, Args args) {
            const double moved = number(vm, self, "x") - vm.toNumber(arg(args, 0));
            set(vm, self, "width", Value(number(vm, self, "width") + moved));
            set(vm, self, "x", arg(args, 0));
            return Value();
        });
    setGeomProperty(
        machine, proto, "top",
        [](Vm& vm, const Value& self, Args) { return member(vm, self, "y"); },
        [](Vm& vm, const Value& self, Args args) {
            const double moved = number(vm, self, "y") - vm.toNumber(arg(args, 0));
            set(vm, self, "height", Value(number(vm, self, "height") + moved));
            set(vm, self, "y", arg(args, 0));
            return Value();
        });
    setGeomProperty(
        machine, proto, "right", [](Vm& vm, const Value& self, Args) { return rightOf(vm, self); },
        [](Vm& vm, const Value& self, Args args) {
            set(vm, self, "width", Value(minusValues(vm, arg(args, 0), member(vm, self, "x"))));
            return Value();
        });
    setGeomProperty(
        machine, proto, "bottom",
        [](Vm& vm, const Value& self, Args) { return bottomOf(vm, self); },
        [](Vm& vm, const Value& self, Args args) {
            set(vm, self, "height", Value(minusValues(vm, arg(args, 0), member(vm, self, "y"))));
            return Value();
        });
}

void installCorners(Vm& machine, Object* proto) {
    setGeomProperty(
        machine, proto, "size",
        [](Vm& vm, const Value& self, Args) {
            return makePoint(vm, member(vm, self, "width"), member(vm, self, "height"));
        },
        [](Vm& vm, const Value& self, Args args) {
            set(vm, self, "width", member(vm, arg(args, 0), "x"));
            set(vm, self, "height", member(vm, arg(args, 0), "y"));
            return Value();
        });
    setGeomProperty(
        machine, proto, "topLeft",
        [](Vm& vm, const Value& self, Args) {
            return makePoint(vm, member(vm, self, "x"), member(vm, self, "y"));
        },
        [](Vm& vm, const Value& self, Args args) {
            vm.setMember(self, "left", member(vm, arg(args, 0), "x"));
            vm.setMember(self, "top", member(vm, arg(args, 0), "y"));
            return Value();
        });
    setGeomProperty(
        machine, proto, "bottomRight",
        [](Vm& vm, const Value& self, Args) {
            return makePoint(vm, rightOf(vm, self), bottomOf(vm, self));
        },
        [](Vm& vm, const Value& self, Args args) {
            vm.setMember(self, "right", member(vm, arg(args, 0), "x"));
            vm.setMember(self, "bottom", member(vm, arg(args, 0), "y"));
            return Value();
        });
}

} // namespace

void installRectangleClass(Vm& machine) {
    Object* proto = machine.newObject();
    installMethods(machine, proto);
    installEdges(machine, proto);
    installCorners(machine, proto);
    defineGeomClass(machine, "Rectangle", construct, proto);
}

} // namespace kinovex::flash::avm1
