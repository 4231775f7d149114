// flash.geom.Transform: a display object's matrix and colour transform as scripts read and set
// them, each read a copy; and where the object stands on the stage with its ancestors'.
// The player keeps a matrix's scale and skew in single precision and its move in whole twips.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"

#include <cmath>

namespace kinovex::flash::display_natives {

namespace {

Object* targetOf(Machine& vm, const Value& s) {
    const Value target = hidden(self(vm, s), "target");
    if (!target.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter displayObject must be non-null.");
    }
    return target.o;
}

Value geomMatrix(Machine& vm, const Matrix& m) {
    Value a[6] = {Value::number(m.a), Value::number(m.b),       Value::number(m.c),
                  Value::number(m.d), Value::number(m.tx / 20), Value::number(m.ty / 20)};
    return Value::obj(vm.constructClass(vm.builtin("flash.geom.Matrix"), Args(a, 6)));
}

Value geomColorTransform(Machine& vm, const ColorTransform& cx) {
    Value a[8] = {Value::number(cx.rMult), Value::number(cx.gMult), Value::number(cx.bMult),
                  Value::number(cx.aMult), Value::number(cx.rAdd),  Value::number(cx.gAdd),
                  Value::number(cx.bAdd),  Value::number(cx.aAdd)};
    return Value::obj(vm.constructClass(vm.builtin("flash.geom.ColorTransform"), Args(a, 8)));
}

double single(double v) {
    return static_cast<double>(static_cast<float>(v));
}

Value transformInit(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "target",
              vm.coerceTo(avm2::arg(args, 0), "flash.display.DisplayObject"));
    return Value();
}

Value matrix(Machine& vm, Value s, Args) {
    return geomMatrix(vm, objectMatrix(targetOf(vm, s)));
}
// A new matrix: scale and rotation are read from it from now on. Null (a 3D transform) is
// ignored.
Value setMatrix(Machine& vm, Value s, Args args) {
    Object* target = targetOf(vm, s);
    const Value given = avm2::arg(args, 0);
    if (given.isNullish()) {
        return Value();
    }
    const auto field = [&](const char* name) { return vm.toNumber(vm.get(given, name)); };
    setObjectMatrix(target, Matrix{single(field("a")), single(field("b")), single(field("c")),
                                   single(field("d")), std::round(field("tx") * 20),
                                   std::round(field("ty") * 20)});
    for (const char* kept : {"rotation", "scaleX", "scaleY"}) {
        setHidden(target, kept, Value());
    }
    return Value();
}

Value colorTransform(Machine& vm, Value s, Args) {
    return geomColorTransform(vm, colorTransformOf(targetOf(vm, s)));
}
Value setColorTransform(Machine& vm, Value s, Args args) {
    Object* target = targetOf(vm, s);
    const Value given = avm2::arg(args, 0);
    if (!given.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter colorTransform must be non-null.");
    }
    const auto field = [&](const char* name) { return vm.toNumber(vm.get(given, name)); };
    setColorTransformOf(target, ColorTransform{field("redMultiplier"), field("greenMultiplier"),
                                               field("blueMultiplier"), field("alphaMultiplier"),
                                               field("redOffset"), field("greenOffset"),
                                               field("blueOffset"), field("alphaOffset")});
    return Value();
}

Value concatenatedMatrix(Machine& vm, Value s, Args) {
    return geomMatrix(vm, stageMatrixOf(targetOf(vm, s)));
}
Value concatenatedColorTransform(Machine& vm, Value s, Args) {
    ColorTransform cx;
    for (Object* o = targetOf(vm, s); o != nullptr && o != host(vm).stageObject();
         o = o->parentObj) {
        cx = colorTransformOf(o) * cx;
    }
    return geomColorTransform(vm, cx);
}

// DisplayObject.transform: a new Transform of the object each time; setting one copies its
// matrix and colours.
Value displayTransform(Machine& vm, Value s, Args) {
    Value a[1] = {Value::obj(self(vm, s))};
    return Value::obj(vm.constructClass(vm.builtin("flash.geom.Transform"), Args(a, 1)));
}
Value displaySetTransform(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const Value given = vm.coerceTo(avm2::arg(args, 0), "flash.geom.Transform");
    if (!given.isObject()) {
        vm.throwError("TypeError", 2007, "Parameter transform must be non-null.");
    }
    Object* from = targetOf(vm, given);
    setObjectMatrix(o, objectMatrix(from));
    setColorTransformOf(o, colorTransformOf(from));
    return Value();
}

} // namespace

void installTransformClass(Machine& m, ClassInfo* display) {
    ClassInfo* transform = m.defineNativeClass("flash.geom", "Transform", m.objectClass);
    transform->nativeInit = transformInit;
    m.defineGetter(transform, "matrix", matrix, setMatrix);
    m.defineGetter(transform, "colorTransform", colorTransform, setColorTransform);
    m.defineGetter(transform, "concatenatedMatrix", concatenatedMatrix);
    m.defineGetter(transform, "concatenatedColorTransform", concatenatedColorTransform);
    m.defineGetter(display, "transform", displayTransform, displaySetTransform);
}

} // namespace kinovex::flash::display_natives
