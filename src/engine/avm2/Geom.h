#pragma once
// flash.geom's Point, Rectangle, Matrix and ColorTransform: instances keep their fields (x, y,
// width, height ...) as Number variables in slots, which natives read and write directly.

#include "engine/avm2/NativeVariables.h"
#include "engine/avm2/Object.h"

namespace kinovex::flash::avm2 {

class Machine;

void installGeomClasses(Machine& m); // Point, Rectangle, Matrix, ColorTransform

// new Point(x, y), new Rectangle(x, y, w, h).
Object* newPoint(Machine& vm, double x, double y);
Object* newRectangle(Machine& vm, double x, double y, double w, double h);

// A slot of `self`, an instance of `cls` (a script's subclass too); a TypeError otherwise.
Object* geomSelf(Machine& vm, const Value& self, const char* cls);
inline double slotNumber(const Object* o, std::size_t i) {
    return o->slots[i].num();
}
inline void setSlotNumber(Object* o, std::size_t i, double v) {
    o->slots[i] = Value::number(v);
}

} // namespace kinovex::flash::avm2
