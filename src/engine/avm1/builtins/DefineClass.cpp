#include "engine/avm1/builtins/Builtins.h"

namespace kinovex::flash::avm1 {

Object* defineClass(Vm& vm, std::string_view name, NativeFunction ctor, Object* proto,
                    bool constructs) {
    Object* c = vm.newFunction(std::move(ctor), name, constructs);
    c->define("prototype", Value(proto), kDontEnum | kDontDelete);
    proto->define("constructor", Value(c), kDontEnum | kDontDelete);
    vm.global()->define(name, Value(c), kDontEnum);
    return c;
}

Object* newScriptedFunction(Vm& vm, NativeFunction f, std::string_view name) {
    Object* fn = vm.newFunction(std::move(f), name);
    Object* proto = vm.newObject();
    proto->define("constructor", Value(fn), kDontEnum | kDontDelete);
    fn->define("prototype", Value(proto), kDontEnum | kDontDelete);
    return fn;
}

void markNewerPrototype(Vm& vm, Object* proto, PropFlags versionFlag) {
    Property* link = proto->findOwn(kProtoName);
    if (!link) {
        return;
    }
    Property probe;
    probe.flags = versionFlag;
    if (visibleIn(probe, vm.version())) {
        return;
    }
    link->flags |= versionFlag;
    proto->define("constructor", Value(vm.objectConstructor()), kDontEnum | kDontDelete);
}

Object* newBareFunction(Vm& vm, NativeFunction f) {
    // Made as a plain object, so that it gets no constructor either.
    Object* fn = vm.newObjectOfClass(ObjectClass::Object, nullptr);
    fn->setObjectClass(ObjectClass::Function);
    auto data = std::make_unique<FunctionData>();
    data->native = std::move(f);
    fn->setFunction(std::move(data));
    return fn;
}

} // namespace kinovex::flash::avm1
