// flash.display.Bitmap: a display object showing a BitmapData. One of a class linked to a
// bitmap symbol shows the symbol's pixels.

#include "engine/avm2/DisplayNatives.h"

namespace kinovex::flash::display_natives {

namespace {

Value bitmapDataArg(Machine& vm, const Value& v) {
    return v.isNullish() ? Value::null() : vm.coerceTo(v, "flash.display.BitmapData");
}

// new Bitmap(bitmapData = null, pixelSnapping = "auto", smoothing = false)
Value bitmapInit(Machine& vm, Value s, Args args) {
    doInit(vm, s, {});
    Object* o = self(vm, s);
    Value data = bitmapDataArg(vm, avm2::arg(args, 0));
    if (data.isNull()) {
        data = symbolBitmapData(vm, o);
    }
    setHidden(o, "bitmapData", data);
    setHidden(o, "pixelSnapping", vm.str(args.size() > 1 ? vm.toString(args[1]) : "auto"));
    setHidden(o, "smoothing", Value::boolean(args.size() > 2 && Machine::toBoolean(args[2])));
    return Value();
}

DISPLAY_HIDDEN_GETTER(bitmapData, "bitmapData")
DISPLAY_HIDDEN_GETTER(bitmapPixelSnapping, "pixelSnapping")
DISPLAY_HIDDEN_GETTER(bitmapSmoothing, "smoothing")

Value bitmapSetData(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "bitmapData", bitmapDataArg(vm, avm2::arg(args, 0)));
    return Value();
}
Value bitmapSetPixelSnapping(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "pixelSnapping", vm.str(vm.toString(avm2::arg(args, 0))));
    return Value();
}
Value bitmapSetSmoothing(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "smoothing", Value::boolean(Machine::toBoolean(avm2::arg(args, 0))));
    return Value();
}

} // namespace

void installBitmapClass(Machine& m, ClassInfo* display) {
    installBitmapDataClass(m);
    ClassInfo* cls = m.defineNativeClass("flash.display", "Bitmap", display);
    cls->nativeInit = bitmapInit;
    m.defineGetter(cls, "bitmapData", bitmapData, bitmapSetData);
    m.defineGetter(cls, "pixelSnapping", bitmapPixelSnapping, bitmapSetPixelSnapping);
    m.defineGetter(cls, "smoothing", bitmapSmoothing, bitmapSetSmoothing);
}

} // namespace kinovex::flash::display_natives
