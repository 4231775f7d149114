// Color: the colour transform of the clip a Color object was made for.

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptRuntime.h"

#include <algorithm>

namespace kinovex::flash {

using avm1::arg;
using avm1::Args;
using avm1::ClipId;
using avm1::Object;
using avm1::Value;

namespace {

// setRGB: the colour replaces the clip's own, whatever its alpha.
void setRgb(ColorTransform& cx, std::uint32_t rgb) {
    cx.rMult = cx.gMult = cx.bMult = 0;
    cx.rAdd = (rgb >> 16) & 255;
    cx.gAdd = (rgb >> 8) & 255;
    cx.bAdd = rgb & 255;
}

std::uint32_t rgbOf(const ColorTransform& cx) {
    const auto ch = [](double v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0, 255.0)); };
    return ch(cx.rAdd) << 16 | ch(cx.gAdd) << 8 | ch(cx.bAdd);
}

// setTransform({ra, rb, ga, ...}): the multipliers in percent, the offsets as they are; what
// the object does not have stays.
void setTransform(avm1::Vm& vm, ColorTransform& cx, const Value& t) {
    auto field = [&](const char* name, double& into, double scale) {
        const Value v = vm.getMember(t, name);
        if (!v.isUndefined()) {
            into = vm.toNumber(v) * scale;
        }
    };
    field("ra", cx.rMult, 0.01);
    field("ga", cx.gMult, 0.01);
    field("ba", cx.bMult, 0.01);
    field("aa", cx.aMult, 0.01);
    field("rb", cx.rAdd, 1);
    field("gb", cx.gAdd, 1);
    field("bb", cx.bAdd, 1);
    field("ab", cx.aAdd, 1);
}

Value transformObject(avm1::Vm& vm, const ColorTransform& cx) {
    Object* o = vm.newObject();
    vm.setMember(o, "ra", Value(cx.rMult * 100));
    vm.setMember(o, "rb", Value(cx.rAdd));
    vm.setMember(o, "ga", Value(cx.gMult * 100));
    vm.setMember(o, "gb", Value(cx.gAdd));
    vm.setMember(o, "ba", Value(cx.bMult * 100));
    vm.setMember(o, "bb", Value(cx.bAdd));
    vm.setMember(o, "aa", Value(cx.aMult * 100));
    vm.setMember(o, "ab", Value(cx.aAdd));
    return Value(o);
}

} // namespace

DisplayObject* ScriptRuntime::colorTarget(Object* self) {
    const Value t = avm1::constructorArg(self, 0);
    if (TimelineInstance* c = clipOfValue(t)) {
        return c->owner();
    }
    if (t.isString()) {
        return objectOf(m_vm->resolveTarget(rootClip(), t.asString()));
    }
    return nullptr;
}

void ScriptRuntime::installColorClass() {
    avm1::Vm& vm = *m_vm;
    // new Color(target) looks its target up at once, as the methods do each time they run.
    Object* proto = avm1::defineHostClass(
        vm, "Color", [this](avm1::Vm&, Object* self, Args) { colorTarget(self); });
    // A method works on the colour transform of the target; without one it gives undefined.
    using Method = Value (*)(avm1::Vm&, ColorTransform&, Args);
    auto method = [&](const char* name, Method m) {
        vm.setFunction(proto, name, [this, m](avm1::Vm& v, const Value& self, Args args) {
            Object* o = avm1::selfObject(self);
            DisplayObject* target = o != nullptr ? colorTarget(o) : nullptr;
            return target != nullptr ? m(v, target->colorTransform, args) : Value();
        });
    };
    method("setRGB", [](avm1::Vm& v, ColorTransform& cx, Args args) {
        setRgb(cx, avm1::toUint32(v.toNumber(arg(args, 0))));
        return Value();
    });
    method("getRGB", [](avm1::Vm&, ColorTransform& cx, Args) {
        return Value(static_cast<double>(rgbOf(cx)));
    });
    method("setTransform", [](avm1::Vm& v, ColorTransform& cx, Args args) {
        if (arg(args, 0).isObject()) {
            setTransform(v, cx, args[0]);
        }
        return Value();
    });
    method("getTransform",
           [](avm1::Vm& v, ColorTransform& cx, Args) { return transformObject(v, cx); });
}

} // namespace kinovex::flash
