#include "engine/avm1/HostObjects.h"

namespace kinovex::flash::avm1 {

Object* defineHostObject(Vm& vm, std::string_view name) {
    Object* o = vm.newObject();
    o->setHostClass(std::string(name));
    vm.global()->define(name, Value(o), kDontEnum);
    return o;
}

void makeBroadcaster(Vm& vm, Object* o) {
    // The player's code reaches AsBroadcaster.initialize whatever the movie's version.
    const Property* broadcaster = vm.global()->findOwn("AsBroadcaster");
    if (broadcaster != nullptr && broadcaster->value.isObject()) {
        const Value initialize[] = {Value(o)};
        const Property* init = broadcaster->value.asObject()->findOwn("initialize");
        vm.call(init ? init->value : Value(), broadcaster->value, initialize);
    }
}

Object* defineBroadcasterObject(Vm& vm, std::string_view name) {
    Object* o = defineHostObject(vm, name);
    o->define("constructor", Value(vm.objectConstructor()), kDontEnum | kDontDelete);
    makeBroadcaster(vm, o);
    // Broadcasting came with Flash 6.
    for (const char* method : {"_listeners", "addListener", "removeListener", "broadcastMessage"}) {
        if (Property* p = o->findOwn(method)) {
            p->flags |= kFromVersion6;
        }
    }
    return o;
}

void sealProperties(Object* o) {
    for (Property& p : o->properties()) {
        p.flags |= kDontEnum | kDontDelete | kReadOnly;
    }
}

Object* defineHostClass(Vm& vm, std::string_view name, HostInit init) {
    Object* proto = vm.newObject();
    const std::string className(name);
    Object* ctor = vm.newFunction(
        [className, init = std::move(init)](Vm& v, const Value& self, Args args) -> Value {
            Object* o = self.isObject() ? self.asObject() : nullptr;
            if (o) {
                o->setHostClass(className);
                o->primitive() = Value(v.newArray(std::vector<Value>(args.begin(), args.end())));
                if (init) {
                    init(v, o, args);
                }
            }
            return self;
        },
        name);
    ctor->define("prototype", Value(proto), kDontEnum | kDontDelete);
    proto->define("constructor", Value(ctor), kDontEnum | kDontDelete);
    vm.global()->define(name, Value(ctor), kDontEnum);
    return proto;
}

Value constructorArg(const Object* self, std::size_t i) {
    const Value& kept = self->primitive();
    if (kept.isObject() && i < kept.asObject()->elements().size()) {
        return kept.asObject()->elements()[i];
    }
    return {};
}

Object* currentPrototype(Vm& vm, const char* name) {
    const Value ctor = vm.getMember(Value(vm.global()), name);
    if (!ctor.isObject()) {
        return nullptr;
    }
    const Value p = vm.getMember(ctor, "prototype");
    return p.isObject() ? p.asObject() : nullptr;
}

} // namespace kinovex::flash::avm1
