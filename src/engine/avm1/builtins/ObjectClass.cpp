// Object: the root of every prototype chain, and Object.registerClass for library symbols.

#include "engine/avm1/builtins/Builtins.h"

#include <string_view>

namespace kinovex::flash::avm1 {

namespace {

// Object(x) is x as an object; without one, `new Object` gives the object `new` made.
Value construct(Vm& vm, const Value& self, Args args) {
    Object* o = vm.toObject(arg(args, 0));
    if (!o && vm.constructing() && self.isObject()) {
        return self;
    }
    if (o) {
        return Value(o);
    }
    // Object(undefined) called as a function gives an object with no prototype: it has no
    // valueOf or toString, so it converts like undefined.
    return Value(vm.newObjectOfClass(ObjectClass::Object, nullptr));
}

// A clip run through it is an object like the others: only its own conversion to text gives its
// path.
Value toString(Vm&, const Value& self, Args) {
    Object* o = selfObject(self);
    return Value(o && o->function() ? "[type Function]" : "[object Object]");
}

Value valueOf(Vm&, const Value& self, Args) {
    return self;
}

bool isElementOf(Object* array, std::string_view name) {
    if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0')) {
        return false;
    }
    std::size_t index = 0;
    for (const char c : name) {
        if (c < '0' || c > '9') {
            return false;
        }
        index = index * 10 + static_cast<std::size_t>(c - '0');
    }
    return index < array->elements().size() && !array->elements()[index].isHole();
}

Value hasOwnProperty(Vm& vm, const Value& self, Args args) {
    // A primitive is looked at as its wrapper object.
    Object* o = vm.toObject(self);
    if (!o) {
        return Value(false);
    }
    const std::string name = vm.toString(arg(args, 0));
    // The version bits do not hide a property from hasOwnProperty, except the one that hides
    // it from version 6, which does so in every version.
    const Property* p = o->findOwn(name);
    const bool own = p && !(p->flags & kNotInVersion6);
    // An array's elements are its own too; its length is an own property already.
    return Value(own || (o->objectClass() == ObjectClass::Array && isElementOf(o, name)));
}

Value isPropertyEnumerable(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    const Property* p = o ? o->findOwn(vm.toString(arg(args, 0))) : nullptr;
    return Value(p && !(p->flags & kDontEnum));
}

// Follows the object's __proto__ links; a primitive is looked at as its wrapper object.
Value isPrototypeOf(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    Object* v = vm.toObject(arg(args, 0));
    if (!o || !v) {
        return Value(false);
    }
    int hops = 0;
    for (Object* p = v; p && hops < Object::kMaxPrototypeLinks; ++hops) {
        const Property* link = p->findOwn(kProtoName);
        if (!link || prototypeLinkHidden(*link, vm.version()) || !link->value.isObject()) {
            return Value(false);
        }
        p = link->value.asObject();
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
    const bool setterFits = setter.isNull() || (setter.isObject() && setter.asObject()->function());
    if (!o || name.empty() || !getter.isObject() || !getter.asObject()->function() || !setterFits) {
        return Value(false);
    }
    // A data property turned into a getter keeps its value in its slot, where __resolve
    // lookups still find it.
    Property* existing = o->findOwn(name);
    Property& p = existing ? *existing : o->define(name, Value());
    p.getter = getter.asObject();
    p.setter = setter.isObject() && setter.asObject()->function() ? setter.asObject() : nullptr;
    return Value(true);
}

// watch(name, callback[, userData]): every later write to the name goes through the
// callback, whose result is what is stored.
Value watch(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    const Value callback = arg(args, 1);
    if (!o || args.empty() || !callback.isObject() || !callback.asObject()->function()) {
        return Value(false);
    }
    o->setWatch(vm.toString(args[0]), callback.asObject(), arg(args, 2));
    return Value(true);
}

// A name whose property has a getter keeps its watch.
Value unwatch(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    if (!o || args.empty()) {
        return Value(false);
    }
    const std::string name = vm.toString(args[0]);
    if (const Property* p = o->findOwn(name); p && p->getter) {
        return Value(false);
    }
    return Value(o->removeWatch(name));
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
    // What came with Flash 6: movies of version 5 do not see it.
    constexpr PropFlags fromVersion6 = kDontEnum | kDontDelete | kFromVersion6;
    vm.setFunction(proto, "hasOwnProperty", hasOwnProperty, fromVersion6);
    vm.setFunction(proto, "isPropertyEnumerable", isPropertyEnumerable, fromVersion6);
    vm.setFunction(proto, "isPrototypeOf", isPrototypeOf, fromVersion6);
    vm.setFunction(proto, "addProperty", addProperty, fromVersion6);
    vm.setFunction(proto, "watch", watch, fromVersion6);
    vm.setFunction(proto, "unwatch", unwatch, fromVersion6);
    vm.setFunction(ctor, "registerClass", registerClass);
    // toLocaleString is the player's ActionScript: it gives what toString gives.
    proto->define("toLocaleString",
                  Value(newScriptedFunction(
                      vm,
                      [](Vm& v, const Value& self, Args) {
                          return v.callAsMethod(v.getMember(self, "toString"), self, {});
                      },
                      "toLocaleString")),
                  kDontEnum | kDontDelete);
}

} // namespace kinovex::flash::avm1
