// DisplayObject's width and height: the box around what an object shows, its children's
// included, in its parent's space; setting one scales the object to it.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/BitmapPixels.h"

#include "engine/display/Bounds.h"
#include "engine/display/ScriptDrawing.h"
#include "engine/display/TextField.h"
#include "engine/display/Timeline.h"

#include <cmath>

namespace kinovex::flash::display_natives {

namespace {

constexpr int kMaxNesting = 64;

// A child its parent's timeline shows: already in the timeline's own box.
bool fromTimeline(const Object* parent, Object* child) {
    if (child->clip != nullptr) {
        return parent->clip != nullptr && child->clip->parent() == parent->clip;
    }
    return placed(child) != nullptr;
}

void childBoundsInto(Object* child, Rect& out, bool& any, int nesting);

void boundsInto(Object* o, Rect& out, bool& any, int nesting) {
    if (o->clip != nullptr) {
        const Rect r = localBounds(*o->clip);
        if (!isEmpty(r)) {
            unite(out, r, any);
        }
    } else if (DisplayObject* d = placed(o)) {
        if (const std::optional<Rect> r = contentBounds(*d)) {
            unite(out, *r, any);
        }
    }
    if (const Value data = hidden(o, "bitmapData"); data.isObject() && data.o->pixels) {
        unite(out, Rect{0, data.o->pixels->width * 20, 0, data.o->pixels->height * 20}, any);
    }
    if (o->textField) {
        unite(out, o->textField->box(), any);
    }
    if (o->drawing && !o->drawing->empty()) {
        unite(out, o->drawing->bounds(), any);
    }
    if (nesting >= kMaxNesting) {
        return;
    }
    for (Object* child : o->children) {
        if (!fromTimeline(o, child)) {
            childBoundsInto(child, out, any, nesting);
        }
    }
    // A button shows its up look, which is its child without being in its list.
    if (const Value look = hidden(o, "upState"); look.isObject() && look.o->parentObj == o) {
        childBoundsInto(look.o, out, any, nesting);
    }
}

void childBoundsInto(Object* child, Rect& out, bool& any, int nesting) {
    Rect r;
    bool has = false;
    boundsInto(child, r, has, nesting + 1);
    if (has) {
        unite(out, transformRect(objectMatrix(child), r), any);
    }
}

// The size in the parent's space, pixels.
double sizeOf(Object* o, bool width) {
    const Rect r = transformRect(objectMatrix(o), localBoxOf(o));
    return (width ? r.xMax - r.xMin : r.yMax - r.yMin) / 20.0;
}

// Setting a size: with no rotation the scale becomes size over the object's own size (0 for
// an object that shows nothing), the other scale kept; a rotated object is scaled along its
// own axis until its box has that size. A negative size changes nothing.
void setSize(Machine& vm, Value s, Args args, bool width) {
    Object* o = self(vm, s);
    const double value = vm.toNumber(avm2::arg(args, 0));
    if (!(value >= 0)) {
        return;
    }
    const Rect local = localBoxOf(o);
    const double own = (width ? local.xMax - local.xMin : local.yMax - local.yMin) / 20.0;
    avm2::ScaleRotation sr = scaleRotation(o);
    double& scale = width ? sr.scaleX : sr.scaleY;
    const Matrix m = objectMatrix(o);
    if (m.b == 0 && m.c == 0) {
        scale = own != 0 ? value / own : 0;
    } else {
        const double current = sizeOf(o, width);
        scale = current != 0 ? std::abs(scale) * value / current : 0;
    }
    setScaleRotation(o, sr);
}

Value doWidth(Machine& vm, Value s, Args) {
    return Value::number(sizeOf(self(vm, s), true));
}
Value doHeight(Machine& vm, Value s, Args) {
    return Value::number(sizeOf(self(vm, s), false));
}
Value doSetWidth(Machine& vm, Value s, Args args) {
    setSize(vm, s, args, true);
    return Value();
}
Value doSetHeight(Machine& vm, Value s, Args args) {
    setSize(vm, s, args, false);
    return Value();
}

} // namespace

Rect localBoxOf(Object* o) {
    Rect r;
    bool any = false;
    boundsInto(o, r, any, 0);
    return r;
}

void installSizeProperties(Machine& m, ClassInfo* display) {
    m.defineGetter(display, "width", doWidth, doSetWidth);
    m.defineGetter(display, "height", doHeight, doSetHeight);
}

} // namespace kinovex::flash::display_natives
