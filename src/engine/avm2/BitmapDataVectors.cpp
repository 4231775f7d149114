// BitmapData.getVector, setVector, getPixels and setPixels: the colours of a region, row by
// row, as a Vector.<uint> or as four bytes each in a ByteArray.

#include "engine/avm2/BitmapDataOps.h"
#include "engine/avm2/Builtins.h"
#include "engine/avm2/ByteArray.h"

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

// getPixels(rect): a new ByteArray of the region's colours.
Value getPixels(Machine& vm, Value s, Args args) {
    const BitmapPixels& p = bitmapPixels(vm, s);
    const PixelRegion r = regionWithin(vm, arg(args, 0), p.width, p.height);
    Object* bytes = vm.constructClass(vm.builtin("flash.utils.ByteArray"), {});
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            writeUnsigned(vm, bytes, unpremultiplied(p.get(x, y)), 4);
        }
    }
    bytes->bytePos = 0;
    return Value::obj(bytes);
}

// setPixels(rect, inputByteArray): the region takes colours read from the array's position;
// when the bytes run out, the pixels already set keep their colours and an Error (2030) says
// so.
Value setPixels(Machine& vm, Value s, Args args) {
    BitmapPixels& p = bitmapPixels(vm, s);
    const PixelRegion r = regionWithin(vm, arg(args, 0), p.width, p.height);
    if (arg(args, 1).isNullish()) {
        nullParameter(vm, "inputByteArray");
    }
    Object* bytes = byteArraySelf(vm, args[1]);
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            if (bytes->bytePos > bytes->byteData.size() ||
                bytes->byteData.size() - bytes->bytePos < 4) {
                vm.throwError("Error", 2030, "End of file was encountered.");
            }
            const auto c = static_cast<std::uint32_t>(readUnsigned(vm, bytes, 4));
            p.at(x, y) = premultiplied(p.transparent ? c : c | 0xFF000000u);
        }
    }
    return Value();
}

} // namespace

void installBitmapVectors(Machine& m, ClassInfo* cls) {
    m.defineMethod(cls, "getVector", getVector, 1);
    m.defineMethod(cls, "setVector", setVector, 2);
    m.defineMethod(cls, "getPixels", getPixels, 1);
    m.defineMethod(cls, "setPixels", setPixels, 2);
}

} // namespace kinovex::flash::avm2
