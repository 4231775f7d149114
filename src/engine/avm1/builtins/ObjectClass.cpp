// Object: the root of every prototype chain, and Object.registerClass for library symbols.

#include "engine/avm1/builtins/Builtins.h"

namespace kinovex::flash::avm1 {

namespace {

// Object(x) is x as an object; without one, `new Object` gives the object `new` made.
Value construct(Vm& vm, const Value& self, Args args) {
    Object* o = vm.toObject(arg(args, 0));
    if (!o && vm.constructing() && self.isObject()) {
        return self;
    }
    return Value(o ? o : vm.newObject());
}

Value toString(Vm& vm, const Value& self, Args) {
    Object* o = selfObject(self);
    if (o && o->objectClass() == ObjectClass::Clip && o->clip()) {
        return Value(vm.targetPath(o->clip()));
    }
    return Value(o && o->function() ? "[type Function]" : "[object Object]");
}

Value valueOf(Vm&, const Value& self, Args) {
    return self;
}

Value hasOwnProperty(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    if (!o) {
        return Value(false);
    }
    const std::string name = vm.toString(arg(args, 0));
    // The version bits do not hide a property from hasOwnProperty, except the one that hides
    // it from version 6, which does so in every version.
    const Property* p = o->findOwn(name);
    const bool own = p && !(p->flags & kNotInVersion6);
    if (o->objectClass() == ObjectClass::Array) {
        return Value(own || vm.hasProperty(o, name));
    }
    return Value(own);
}

Value isPropertyEnumerable(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    const Property* p = o ? o->findOwn(vm.toString(arg(args, 0))) : nullptr;
    return Value(p && !(p->flags & kDontEnum));
}

Value isPrototypeOf(Vm&, const Value& self, Args args) {
    Object* o = selfObject(self);
    const Value v = arg(args, 0);
    if (!o || !v.isObject()) {
        return Value(false);
    }
    int hops = 0;
    for (Object* p = v.asObject()->proto(); p && hops < 256; p = p->proto(), ++hops) {
        if (p == o) {
            return Value(true);
        }
    }
    return Value(false);
}

Value addProperty(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    const std::string name = vm.toString(arg(args, 0));
    const Value getter = arg(args, 1);
    const Value setter = arg(args, 2);
    if (!o || name.empty() || !getter.isObject() || !getter.asObject()->function()) {
        return Value(false);
    }
    Property& p = o->define(name, Value());
    p.getter = getter.asObject();
    p.setter = setter.isObject() && setter.asObject()->function() ? setter.asObject() : nullptr;
    return Value(true);
}

Value watch(Vm&, const Value&, Args) {
    return Value(false);
}

Value unwatch(Vm&, const Value&, Args) {
    return Value(false);
}

// Clips attached from the library under this name get the class.
Value registerClass(Vm& vm, const Value&, Args args) {
    Object* registry = vm.global()->findOwn("__registeredClasses")
                           ? vm.global()->findOwn("__registeredClasses")->value.asObject()
                           : nullptr;
    if (!registry) {
        registry = vm.newObject();
        vm.global()->define("__registeredClasses", Value(registry), kDontEnum);
    }
    registry->define(vm.toString(arg(args, 0)), arg(args, 1));
    return Value(true);
}

} // namespace

void installObjectClass(Vm& vm) {
    Object* proto = vm.objectPrototype();
    Object* ctor = defineClass(vm, "Object", construct, proto, true);
    vm.setFunction(proto, "toString", toString);
    vm.setFunction(proto, "valueOf", valueOf);
    vm.setFunction(proto, "hasOwnProperty", hasOwnProperty);
    vm.setFunction(proto, "isPropertyEnumerable", isPropertyEnumerable);
    vm.setFunction(proto, "isPrototypeOf", isPrototypeOf);
    vm.setFunction(proto, "addProperty", addProperty);
    vm.setFunction(proto, "watch", watch);
    vm.setFunction(proto, "unwatch", unwatch);
    vm.setFunction(ctor, "registerClass", registerClass);
}

} // namespace kinovex::flash::avm1
