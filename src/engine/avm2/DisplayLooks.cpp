// DisplayObject's mask and opaqueBackground as scripts set and read them.

#include "engine/avm2/DisplayNatives.h"

#include "engine/display/Timeline.h"

namespace kinovex::flash::display_natives {

namespace {

Value doMask(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), "mask");
    return v.isObject() ? v : Value::null();
}
// A mask is a display object, or null for none. The mask is then drawn only as that mask.
Value doSetMask(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    if (const Value old = hidden(o, "mask"); old.isObject()) {
        setHidden(old.o, "maskOf", Value::null());
        if (DisplayObject* d = placed(old.o)) {
            d->scriptMaskOfAnother = false;
        }
    }
    const Value given = avm2::arg(args, 0);
    const Value mask =
        given.isNullish() ? Value::null() : vm.coerceTo(given, "flash.display.DisplayObject");
    setHidden(o, "mask", mask);
    if (mask.isObject()) {
        setHidden(mask.o, "maskOf", Value::obj(o));
        if (DisplayObject* d = placed(mask.o)) {
            d->scriptMaskOfAnother = true;
        }
    }
    if (DisplayObject* d = placed(o)) {
        d->scriptMasked = mask.isObject();
    }
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
