// flash.geom.ColorTransform: a multiplier and an offset for each of red, green, blue and alpha.

#include "engine/avm2/Geom.h"
#include "engine/avm2/Machine.h"

namespace kinovex::flash::avm2 {

void installColorTransformClass(Machine& m);

namespace {

// The variables by slot: the four multipliers, then the four offsets.
constexpr const char* kFields[] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                   "alphaMultiplier", "redOffset",       "greenOffset",
                                   "blueOffset",      "alphaOffset"};
enum Slot : std::size_t { kRedMul, kGreenMul, kBlueMul, kAlphaMul, kRed, kGreen, kBlue, kAlpha };

Object* self(Machine& vm, const Value& v) {
    return geomSelf(vm, v, "flash.geom.ColorTransform");
}

Value colorTransformInit(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    for (std::size_t i = 0; i < 8; ++i) {
        setSlotNumber(o, i, i < a.size() ? vm.toNumber(a[i]) : (i < 4 ? 1.0 : 0.0));
    }
    return Value();
}

Value toString(Machine& vm, Value s, Args) {
    const Object* o = self(vm, s);
    std::string text = "(";
    for (std::size_t i = 0; i < 8; ++i) {
        text += std::string(i == 0 ? "" : ", ") + kFields[i] + "=" + vm.toString(o->slots[i]);
    }
    return vm.str(text + ")");
}

// The offsets as an RGB colour, each taken as an int.
Value color(Machine& vm, Value s, Args) {
    const Object* o = self(vm, s);
    const auto rgb = static_cast<std::uint32_t>(vm.toInt(o->slots[kRed])) << 16 |
                     static_cast<std::uint32_t>(vm.toInt(o->slots[kGreen])) << 8 |
                     static_cast<std::uint32_t>(vm.toInt(o->slots[kBlue]));
    return Value::number(rgb);
}
// Setting a colour paints it flat: the colour multipliers go to 0, alpha is left alone.
Value setColor(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    const std::uint32_t rgb = vm.toUint(arg(a, 0));
    setSlotNumber(o, kRedMul, 0);
    setSlotNumber(o, kGreenMul, 0);
    setSlotNumber(o, kBlueMul, 0);
    setSlotNumber(o, kRed, (rgb >> 16) & 0xFF);
    setSlotNumber(o, kGreen, (rgb >> 8) & 0xFF);
    setSlotNumber(o, kBlue, rgb & 0xFF);
    return Value();
}

// concat(second): `second` applied first, then this one.
Value concat(Machine& vm, Value s, Args a) {
    Object* o = self(vm, s);
    const Value second = arg(a, 0);
    for (std::size_t channel = 0; channel < 4; ++channel) {
        const double mul = slotNumber(o, channel);
        const double offset = vm.toNumber(vm.get(second, kFields[channel + 4]));
        const double otherMul = vm.toNumber(vm.get(second, kFields[channel]));
        setSlotNumber(o, channel + 4, slotNumber(o, channel + 4) + mul * offset);
        setSlotNumber(o, channel, mul * otherMul);
    }
    return Value();
}

} // namespace

void installColorTransformClass(Machine& m) {
    ClassInfo* cx = m.defineNativeClass("flash.geom", "ColorTransform", m.objectClass);
    for (const char* name : kFields) {
        addNumberVariable(m, cx, name);
    }
    cx->nativeInit = colorTransformInit;
    m.defineGetter(cx, "color", color, setColor);
    m.defineMethod(cx, "toString", toString);
    m.defineMethod(cx, "concat", concat, 1);
}

} // namespace kinovex::flash::avm2
