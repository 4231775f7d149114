// DisplayObject.localToGlobal and globalToLocal: a point of the object's own space on the stage,
// and back; mouseX and mouseY, the pointer in the object's space. The player works in whole
// twips: the point given is rounded to them, and so is where it lands.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"
#include "engine/avm2/Geom.h"

#include <cmath>

namespace kinovex::flash::display_natives {

namespace {

// (x, y) in pixels through `m`, which works in twips.
Point moved(const Matrix& m, double x, double y) {
    const double tx = std::round(x * 20);
    const double ty = std::round(y * 20);
    return {std::round(m.a * tx + m.c * ty + m.tx) / 20,
            std::round(m.b * tx + m.d * ty + m.ty) / 20};
}

// From the stage to `o`'s space; a flattened object sends every point to its origin.
Matrix stageToLocal(Object* o) {
    Matrix back;
    return invert(stageMatrixOf(o), back) ? back : Matrix{0, 0, 0, 0, 0, 0};
}

Value movedPoint(Machine& vm, const Value& given, const Matrix& m) {
    if (!given.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter point must be non-null.");
    }
    const Point p = moved(m, vm.toNumber(vm.get(given, "x")), vm.toNumber(vm.get(given, "y")));
    return Value::obj(avm2::newPoint(vm, p.x, p.y));
}

Value localToGlobal(Machine& vm, Value s, Args args) {
    return movedPoint(vm, avm2::arg(args, 0), stageMatrixOf(self(vm, s)));
}
Value globalToLocal(Machine& vm, Value s, Args args) {
    return movedPoint(vm, avm2::arg(args, 0), stageToLocal(self(vm, s)));
}

Point localPointer(Machine& vm, const Value& s) {
    const Point p = host(vm).pointer();
    return moved(stageToLocal(self(vm, s)), p.x, p.y);
}
Value mouseX(Machine& vm, Value s, Args) {
    return Value::number(localPointer(vm, s).x);
}
Value mouseY(Machine& vm, Value s, Args) {
    return Value::number(localPointer(vm, s).y);
}

} // namespace

void installPointConversions(Machine& m, ClassInfo* display) {
    m.defineMethod(display, "localToGlobal", localToGlobal, 1);
    m.defineMethod(display, "globalToLocal", globalToLocal, 1);
    m.defineGetter(display, "mouseX", mouseX);
    m.defineGetter(display, "mouseY", mouseY);
}

} // namespace kinovex::flash::display_natives
