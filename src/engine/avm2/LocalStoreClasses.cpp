// flash.net.SharedObject and LocalConnection as a movie on its own sees them. Nothing is kept on
// disk: a local shared object lives as long as the movie plays (the same object for the same
// name), and its flush always succeeds. A local connection connects to nobody: what it sends
// goes nowhere.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/HiddenFields.h"
#include "engine/avm2/Machine.h"

namespace kinovex::flash::avm2 {

namespace {

Object* selfObject(Machine& vm, const Value& v) {
    if (!v.isObject()) {
        vm.throwError("TypeError", 1009,
                      "Cannot access a property or method of a null object reference.");
    }
    return v.o;
}

// getLocal(name, localPath = null, secure = false): one object for each name and path.
Value getLocal(Machine& vm, Value, Args a) {
    const std::string name = vm.toString(arg(a, 0));
    const std::string path = arg(a, 1).isNullish() ? "" : vm.toString(arg(a, 1));
    if (name.empty() || name.find_first_of("~%&\\;:\"',<>?# ") != std::string::npos) {
        vm.throwError("Error", 2134, "Cannot create SharedObject.");
    }
    Object* holder = vm.builtin("flash.net.SharedObject")->classObj;
    Value kept = hidden(holder, "objects");
    if (!kept.isObject()) {
        kept = Value::obj(vm.newPlainObject());
        setHidden(holder, "objects", kept);
    }
    const std::string key = path + "\n" + name;
    if (const DynProp* p = kept.o->findDyn(key)) {
        return p->value;
    }
    Object* so = vm.newObject(vm.builtin("flash.net.SharedObject"));
    setHidden(so, "data", Value::obj(vm.newPlainObject()));
    kept.o->setDyn(key, Value::obj(so));
    return Value::obj(so);
}
Value soData(Machine& vm, Value s, Args) {
    return hidden(selfObject(vm, s), "data");
}
Value soFlush(Machine& vm, Value, Args) {
    return vm.str("flushed");
}
Value soClear(Machine& vm, Value s, Args) {
    setHidden(selfObject(vm, s), "data", Value::obj(vm.newPlainObject()));
    return Value();
}
Value soSetProperty(Machine& vm, Value s, Args a) {
    const Value data = hidden(selfObject(vm, s), "data");
    vm.setProperty(data, vm.publicName(vm.toString(arg(a, 0))), arg(a, 1));
    return Value();
}
Value soSize(Machine& vm, Value s, Args) {
    std::int32_t count = 0;
    for (const DynProp& p : hidden(selfObject(vm, s), "data").o->dyn) {
        count += p.deleted ? 0 : 1;
    }
    return Value::integer(count);
}
Value nothing(Machine&, Value, Args) {
    return Value();
}
Value encoding(Machine&, Value, Args) {
    return Value::integer(3);
}

Value lcClient(Machine& vm, Value s, Args) {
    const Value client = hidden(selfObject(vm, s), "client");
    return client.isUndefined() ? s : client;
}
Value lcSetClient(Machine& vm, Value s, Args a) {
    if (!arg(a, 0).isObject()) {
        vm.throwError("TypeError", 2007, "Parameter client must be non-null.");
    }
    setHidden(selfObject(vm, s), "client", arg(a, 0));
    return Value();
}
// connect(name): a second connect of the same object is refused, as the player refuses it.
Value lcConnect(Machine& vm, Value s, Args) {
    Object* o = selfObject(vm, s);
    if (Machine::toBoolean(hidden(o, "connected"))) {
        vm.throwError("ArgumentError", 2082,
                      "Connect failed because the object is already connected.");
    }
    setHidden(o, "connected", Value::boolean(true));
    return Value();
}
Value lcClose(Machine& vm, Value s, Args) {
    Object* o = selfObject(vm, s);
    if (!Machine::toBoolean(hidden(o, "connected"))) {
        vm.throwError("ArgumentError", 2083, "Close failed because the object is not connected.");
    }
    setHidden(o, "connected", Value::boolean(false));
    return Value();
}
Value lcDomain(Machine& vm, Value, Args) {
    return vm.str("localhost");
}
Value yes(Machine&, Value, Args) {
    return Value::boolean(true);
}

} // namespace

void installLocalStoreClasses(Machine& m) {
    ClassInfo* dispatcher = m.builtin("flash.events.EventDispatcher");
    ClassInfo* so = m.defineNativeClass("flash.net", "SharedObject", dispatcher);
    m.defineStatic(so, "getLocal", getLocal, 3);
    m.defineGetter(so, "defaultObjectEncoding", encoding, nothing, true);
    m.defineGetter(so, "data", soData);
    m.defineGetter(so, "size", soSize);
    m.defineGetter(so, "objectEncoding", encoding, nothing);
    m.defineMethod(so, "flush", soFlush, 1);
    m.defineMethod(so, "clear", soClear);
    m.defineMethod(so, "close", nothing);
    m.defineMethod(so, "setProperty", soSetProperty, 2);
    m.defineMethod(so, "setDirty", nothing, 1);

    ClassInfo* lc = m.defineNativeClass("flash.net", "LocalConnection", dispatcher);
    m.defineGetter(lc, "isSupported", yes, nullptr, true);
    m.defineGetter(lc, "client", lcClient, lcSetClient);
    m.defineGetter(lc, "domain", lcDomain);
    m.defineGetter(lc, "isPerUser", yes, nothing);
    m.defineMethod(lc, "connect", lcConnect, 1);
    m.defineMethod(lc, "close", lcClose);
    m.defineMethod(lc, "send", nothing, 2);
    m.defineMethod(lc, "allowDomain", nothing);
    m.defineMethod(lc, "allowInsecureDomain", nothing);
}

} // namespace kinovex::flash::avm2
