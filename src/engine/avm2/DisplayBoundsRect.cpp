// DisplayObject.getBounds and getRect: the box around what an object shows, its children's
// included, in the space of another object.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Geom.h"

#include "engine/display/Bounds.h"

namespace kinovex::flash::display_natives {

namespace {

// getBounds(targetCoordinateSpace): the box in the target's space (null: the object's own).
// An object that shows nothing has an empty box at its origin in that space.
Value getBounds(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const Value target = avm2::arg(args, 0);
    Matrix toTarget;
    if (target.isObject() && target.o != o) {
        Matrix back;
        if (invert(stageMatrixOf(target.o), back)) {
            toTarget = back * stageMatrixOf(o);
        }
    }
    const Rect own = localBoxOf(o);
    Rect r;
    if (isEmpty(own)) {
        r = transformRect(toTarget, Rect{});
        r.xMax = r.xMin;
        r.yMax = r.yMin;
    } else {
        r = transformRect(toTarget, own);
    }
    const double left = r.xMin / 20.0, top = r.yMin / 20.0;
    return Value::obj(avm2::newRectangle(vm, left, top, r.xMax / 20.0 - left, r.yMax / 20.0 - top));
}

} // namespace

void installBoundsRects(Machine& m, ClassInfo* display) {
    m.defineMethod(display, "getBounds", getBounds, 1);
    m.defineMethod(display, "getRect", getBounds, 1);
}

} // namespace kinovex::flash::display_natives
