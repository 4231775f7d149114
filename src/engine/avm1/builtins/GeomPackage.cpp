#include "engine/avm1/builtins/Geom.h"

namespace kinovex::flash::avm1 {

Object* flashPackage(Vm& vm, std::string_view name) {
    auto child = [&](Object* parent, std::string_view childName, PropFlags flags) {
        if (const Property* p = parent->findOwn(childName); p && p->value.isObject()) {
            return p->value.asObject();
        }
        Object* o = vm.newObject();
        parent->define(childName, Value(o), flags);
        return o;
    };
    Object* flash = child(vm.global(), "flash", kDontEnum | kFromVersion8);
    return child(flash, name, 0);
}

Object* geomPackage(Vm& vm) {
    return flashPackage(vm, "geom");
}

void setGeomFunction(Vm& vm, Object* target, std::string_view name, NativeFunction f,
                     PropFlags flags) {
    Object* fn = vm.newFunction(std::move(f), name);
    Object* proto = vm.newObject();
    proto->define("constructor", Value(fn), kDontEnum | kDontDelete);
    fn->define("prototype", Value(proto), kDontEnum | kDontDelete);
    target->define(name, Value(fn), flags).flags = flags;
}

Object* defineGeomClass(Vm& vm, std::string_view name, NativeFunction ctor, Object* proto) {
    Object* c = vm.newFunction(std::move(ctor), name, true);
    c->define("prototype", Value(proto), kDontEnum | kDontDelete);
    proto->define("constructor", Value(c), kDontEnum | kDontDelete);
    geomPackage(vm)->define(name, Value(c), 0);
    return c;
}

void setGeomProperty(Vm& vm, Object* proto, std::string_view name, NativeFunction get,
                     NativeFunction set) {
    Property& p = proto->define(name, Value());
    p.getter = vm.newFunction(std::move(get));
    p.setter = set ? vm.newFunction(std::move(set)) : nullptr;
}

Value fieldsText(Vm& vm, const Value& self, std::span<const char* const> fields) {
    Value text("(");
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string label = std::string(i == 0 ? "" : ", ") + fields[i] + "=";
        text = plusValues(vm, plusValues(vm, text, Value(label)), vm.getMember(self, fields[i]));
    }
    return plusValues(vm, text, Value(")"));
}

Value plusValues(Vm& vm, const Value& a, const Value& b) {
    const Value right = vm.toPrimitive(b, true);
    const Value left = vm.toPrimitive(a, true);
    if (left.isString() || right.isString()) {
        std::string text = vm.toString(left);
        const std::string tail = vm.toString(right);
        vm.checkStringSize(text.size() + tail.size());
        return Value(std::move(text += tail));
    }
    return Value(vm.toNumber(left) + vm.toNumber(right));
}

double minusValues(Vm& vm, const Value& a, const Value& b) {
    const double right = vm.toNumber(b);
    return vm.toNumber(a) - right;
}

double timesValues(Vm& vm, const Value& a, const Value& b) {
    const double right = vm.toNumber(b);
    return vm.toNumber(a) * right;
}

Value newGeom(Vm& vm, std::string_view name, std::span<const Value> args) {
    const Value ctor = vm.getMember(Value(geomPackage(vm)), name);
    return vm.construct(ctor, args);
}

} // namespace kinovex::flash::avm1
