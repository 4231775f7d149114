// DisplayObject's mask and opaqueBackground as scripts set and read them.

#include "engine/avm2/DisplayNatives.h"

namespace kinovex::flash::display_natives {

namespace {

Value doMask(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "mask");
    return v.isObject() ? v : Value::null();
}
// A mask is a display object, or null for none.
Value doSetMask(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const Value mask = avm2::arg(args, 0);
    setHidden(o, "mask",
              mask.isNullish() ? Value::null() : vm.coerceTo(mask, "flash.display.DisplayObject"));
    return Value();
}

// The colour behind the object (0xRRGGBB), or null for none.
Value doOpaqueBackground(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "opaqueBackground");
    return v.isUndefined() ? Value::null() : v;
}
Value doSetOpaqueBackground(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const Value color = avm2::arg(args, 0);
    setHidden(o, "opaqueBackground",
              color.isNullish() ? Value::null() : Value::number(vm.toUint(color) & 0xFFFFFF));
    return Value();
}

} // namespace

void installLookProperties(Machine& m, ClassInfo* display) {
    m.defineGetter(display, "mask", doMask, doSetMask);
    m.defineGetter(display, "opaqueBackground", doOpaqueBackground, doSetOpaqueBackground);
}

} // namespace kinovex::flash::display_natives
