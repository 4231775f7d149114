// DisplayObject's mask, opaqueBackground and scrollRect as scripts set and read them.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Geom.h"
#include "engine/display/Timeline.h"

#include <algorithm>
#include <cmath>

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

constexpr const char* kScrollFields[4] = {"scrollXMin", "scrollXMax", "scrollYMin", "scrollYMax"};

} // namespace

// A placement keeps its scrollRect for the renderer; an object a script made keeps it in
// hidden fields, in twips.
std::optional<Rect> scrollRectOf(Object* o) {
    if (DisplayObject* d = placed(o)) {
        return d->scrollRect;
    }
    if (!hidden(o, kScrollFields[0]).isNumeric()) {
        return std::nullopt;
    }
    Rect r;
    std::int32_t* fields[4] = {&r.xMin, &r.xMax, &r.yMin, &r.yMax};
    for (int i = 0; i < 4; ++i) {
        *fields[i] = static_cast<std::int32_t>(hidden(o, kScrollFields[i]).num());
    }
    return r;
}

namespace {

void setScrollRectOf(Object* o, const std::optional<Rect>& r) {
    if (DisplayObject* d = placed(o)) {
        d->scrollRect = r;
        return;
    }
    const std::int32_t fields[4] = {r ? r->xMin : 0, r ? r->xMax : 0, r ? r->yMin : 0,
                                    r ? r->yMax : 0};
    for (int i = 0; i < 4; ++i) {
        setHidden(o, kScrollFields[i], r ? Value::integer(fields[i]) : Value());
    }
}

// A copy each time; null for none.
Value doScrollRect(Machine& vm, Value s, Args) {
    const std::optional<Rect> r = scrollRectOf(self(vm, s));
    if (!r) {
        return Value::null();
    }
    return Value::obj(avm2::newRectangle(vm, r->xMin / 20.0, r->yMin / 20.0, r->width() / 20.0,
                                         r->height() / 20.0));
}
Value doSetScrollRect(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const Value given = avm2::arg(args, 0);
    if (given.isNullish()) {
        setScrollRectOf(o, std::nullopt);
        return Value();
    }
    const auto twips = [&](const char* name) {
        return static_cast<std::int32_t>(
            std::clamp(std::round(vm.toNumber(vm.get(given, name)) * 20), -1e9, 1e9));
    };
    const std::int32_t x = twips("x");
    const std::int32_t y = twips("y");
    setScrollRectOf(o,
                    Rect{x, x + std::max(0, twips("width")), y, y + std::max(0, twips("height"))});
    return Value();
}

} // namespace

void installLookProperties(Machine& m, ClassInfo* display) {
    m.defineGetter(display, "mask", doMask, doSetMask);
    m.defineGetter(display, "opaqueBackground", doOpaqueBackground, doSetOpaqueBackground);
    m.defineGetter(display, "scrollRect", doScrollRect, doSetScrollRect);
}

} // namespace kinovex::flash::display_natives
