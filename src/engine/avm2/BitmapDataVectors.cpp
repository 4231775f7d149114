// BitmapData.getVector and setVector: the colours of a region as a Vector.<uint>, row by row.

#include "engine/avm2/BitmapDataOps.h"
#include "engine/avm2/Builtins.h"

namespace kinovex::flash::avm2 {

namespace {

Value getVector(Machine& vm, Value s, Args args) {
    const BitmapPixels& p = bitmapPixels(vm, s);
    const PixelRegion r = regionWithin(vm, arg(args, 0), p.width, p.height);
    Object* v = vm.constructClass(vectorOf(vm, vm.uintClass), {});
    vm.charge(std::size_t(r.width()) * std::size_t(r.height()) * sizeof(Value));
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            v->elems.push_back(Value::number(unpremultiplied(p.get(x, y))));
        }
    }
    return Value::obj(v);
}

// setVector(rect, inputVector): the region takes the vector's colours in order; a RangeError
// when there are too few, before any is written.
Value setVector(Machine& vm, Value s, Args args) {
    BitmapPixels& p = bitmapPixels(vm, s);
    const PixelRegion r = regionWithin(vm, arg(args, 0), p.width, p.height);
    const Value input = arg(args, 1);
    if (input.isNullish()) {
        nullParameter(vm, "imputVector");
    }
    if (!input.isObject() || input.o->kind != ObjKind::Array) {
        vm.throwError("TypeError", 1034,
                      "Type Coercion failed: cannot convert " + vm.toString(input) +
                          " to Vector.<uint>.");
    }
    const std::vector<Value> colours = input.o->elems;
    if (colours.size() < std::size_t(r.width()) * std::size_t(r.height())) {
        vm.throwError("RangeError", 2006, "The supplied index is out of bounds.");
    }
    std::size_t i = 0;
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            const std::uint32_t c = vm.toUint(colours[i++]);
            p.at(x, y) = premultiplied(p.transparent ? c : c | 0xFF000000u);
        }
    }
    return Value();
}

} // namespace

void installBitmapVectors(Machine& m, ClassInfo* cls) {
    m.defineMethod(cls, "getVector", getVector, 1);
    m.defineMethod(cls, "setVector", setVector, 2);
}

} // namespace kinovex::flash::avm2
