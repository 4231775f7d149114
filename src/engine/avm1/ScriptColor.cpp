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

// The offsets put together as they are, negative ones spilling into the channels above.
double rgbOf(const ColorTransform& cx) {
    const auto ch = [](double v) { return static_cast<std::int32_t>(v); };
    return static_cast<double>(static_cast<std::int32_t>(
        static_cast<std::uint32_t>(ch(cx.rAdd)) << 16 |
        static_cast<std::uint32_t>(ch(cx.gAdd)) << 8 | static_cast<std::uint32_t>(ch(cx.bAdd))));
}

// setTransform({ra, rb, ga, ...}): the multipliers in percent, the offsets as they are; what
// the object does not have stays.
void setTransform(avm1::Vm& vm, ColorTransform& cx, const Value& t) {
    auto field = [&](const char* name, double& into, bool multiplier) {
        const Value v = vm.getMember(t, name);
        if (!v.isUndefined()) {
            const double n = vm.toNumber(v);
            into = multiplier ? fixedMultiplier(n) : static_cast<double>(avm1::toInt32(n));
        }
    };
    field("ra", cx.rMult, true);
    field("ga", cx.gMult, true);
    field("ba", cx.bMult, true);
    field("aa", cx.aMult, true);
    field("rb", cx.rAdd, false);
    field("gb", cx.gAdd, false);
    field("bb", cx.bAdd, false);
    field("ab", cx.aAdd, false);
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

double fixedMultiplier(double percent) {
    return static_cast<double>(avm1::toInt32(percent * 256.0 / 100.0)) / 256.0;
}

ColorTransform* ScriptRuntime::colorTarget(Object* self) {
    const Value t = avm1::constructorArg(self, 0);
    ClipId id = 0;
    if (TimelineInstance* c = clipOfValue(t)) {
        id = c->clipId();
    } else if (t.isString()) {
        id = m_vm->resolveTarget(rootClip(), t.asString());
    }
    return colorOfClip(id);
}

void ScriptRuntime::installColorClass() {
    avm1::Vm& vm = *m_vm;
    // new Color(target) keeps the target as `target`; like everything of the class it is
    // hidden, permanent and read-only.
    Object* proto = avm1::defineHostClass(vm, "Color", [](avm1::Vm&, Object* self, Args args) {
        self->define("target", arg(args, 0));
        avm1::sealProperties(self);
    });
    // A method works on the colour transform of the target; without one it gives undefined.
    using Method = Value (*)(avm1::Vm&, ColorTransform&, Args);
    auto method = [&](const char* name, Method m) {
        vm.setFunction(proto, name, [this, m](avm1::Vm& v, const Value& self, Args args) {
            Object* o = avm1::selfObject(self);
            ColorTransform* target = o != nullptr ? colorTarget(o) : nullptr;
            return target != nullptr ? m(v, *target, args) : Value();
        });
    };
    method("setRGB", [](avm1::Vm& v, ColorTransform& cx, Args args) {
        setRgb(cx, avm1::toUint32(v.toNumber(arg(args, 0))));
        return Value();
    });
    method("getRGB", [](avm1::Vm&, ColorTransform& cx, Args) { return Value(rgbOf(cx)); });
    method("setTransform", [](avm1::Vm& v, ColorTransform& cx, Args args) {
        if (arg(args, 0).isObject()) {
            setTransform(v, cx, args[0]);
        }
        return Value();
    });
    method("getTransform",
           [](avm1::Vm& v, ColorTransform& cx, Args) { return transformObject(v, cx); });
    avm1::sealProperties(proto);
}

} // namespace kinovex::flash
