#include "engine/avm1/LoadableObjects.h"

#include "engine/avm1/FormEncoding.h"
#include "engine/avm1/HostObjects.h"
#include "engine/avm1/builtins/Builtins.h"

namespace kinovex::flash::avm1 {

namespace {

constexpr int kLoadGroup = 301;
constexpr std::string_view kFormContentType = "application/x-www-form-urlencoded";

// The load state (loaded, _bytesLoaded ...) is hidden from for..in where the object has no
// such property yet and none to set it through on its prototypes.
void setLoadState(Vm& vm, Object* target, std::string_view name, const Value& v) {
    const Property* p = target->find(name, vm.version());
    if (p == nullptr || (p->getter == nullptr && target->findOwn(name) == nullptr)) {
        target->define(name, v, kDontEnum);
        return;
    }
    vm.setMember(target, name, v);
}

void markLoading(Vm& vm, Object* target) {
    setLoadState(vm, target, "_bytesLoaded", Value(0.0));
    setLoadState(vm, target, "_bytesTotal", Value());
    setLoadState(vm, target, "loaded", Value(false));
}

Value selfMember(Vm& vm, const Value& self, std::string_view name) {
    return self.isObject() ? vm.getMember(self, name) : Value();
}

bool isString(const Value& v) {
    return v.isString();
}

// addRequestHeader(name, value) or addRequestHeader([name, value, ...]): the pairs go onto
// this._customHeaders (an array made when there is none) through its push method.
Value addRequestHeader(Vm& vm, const Value& self, Args args) {
    if (!self.isObject()) {
        return {};
    }
    std::vector<std::pair<Value, Value>> pairs;
    const Value first = arg(args, 0);
    if (first.isObject() && first.asObject()->objectClass() == ObjectClass::Array) {
        const std::vector<Value>& list = first.asObject()->elements();
        for (std::size_t i = 0; i + 1 < list.size(); i += 2) {
            if (isString(list[i]) && isString(list[i + 1])) {
                pairs.emplace_back(list[i], list[i + 1]);
            }
        }
    } else if (args.size() >= 2 && isString(args[0]) && isString(args[1])) {
        pairs.emplace_back(args[0], args[1]);
    }
    if (pairs.empty()) {
        return {};
    }
    Value headers = vm.getMember(self, "_customHeaders");
    if (headers.isUndefined()) {
        // Made as new Array() makes one: it names its constructor the way such an array does.
        // It is read back by name, so a version 5 movie, which cannot see it, puts nothing in it.
        const Value made = vm.construct(vm.getMember(Value(vm.global()), "Array"), {});
        self.asObject()->define("_customHeaders", made, kDontEnum | kDontDelete | kFromVersion6);
        headers = vm.getMember(self, "_customHeaders");
    }
    if (!headers.isObject()) {
        return {};
    }
    for (const auto& [name, value] : pairs) {
        const Value push = vm.getMember(headers, "push");
        const Value pushArgs[] = {name, value};
        vm.call(push, headers, pushArgs);
    }
    return {};
}

// LoadVars.prototype.toString: name=value pairs of the object's variables, each side passed
// through the escape function on _global, pushed onto an array and joined with '&'. Movies
// before version 6 see the method, but it gives them undefined.
Value loadVarsText(Vm& vm, const Value& self, Args) {
    if (vm.version() < 6) {
        return {};
    }
    if (!self.isObject()) {
        return Value(std::string());
    }
    Object* pairs = vm.newArray();
    const Value escape = vm.getMember(Value(vm.global()), "escape");
    for (const std::string& name : vm.enumerate(self.asObject())) {
        const Value nameArg[] = {Value(name)};
        const Value valueArg[] = {vm.getMember(self, name)};
        // The name is escaped first.
        const std::string escapedName = vm.toString(vm.call(escape, Value(), nameArg));
        const std::string pair =
            escapedName + "=" + vm.toString(vm.call(escape, Value(), valueArg));
        const Value pushArgs[] = {Value(pair)};
        vm.call(vm.getMember(Value(pairs), "push"), Value(pairs), pushArgs);
    }
    const Value joinArgs[] = {Value(std::string("&"))};
    return vm.call(vm.getMember(Value(pairs), "join"), Value(pairs), joinArgs);
}

// LoadVars.prototype.onData: the loaded text decoded into the object, then onLoad(success).
Value loadVarsData(Vm& vm, const Value& self, Args args) {
    return finishLoadedText(vm, self, args, "decode",
                            [](Vm& v, Object* o) { setLoadState(v, o, "loaded", Value(true)); });
}

} // namespace

Value finishLoadedText(Vm& vm, const Value& self, Args args, std::string_view apply,
                       void (*markLoaded)(Vm& vm, Object* self)) {
    if (!self.isObject()) {
        return {};
    }
    const Value text = arg(args, 0);
    if (text.isUndefined()) {
        const Value failed[] = {Value(false)};
        vm.callMethod(self.asObject(), "onLoad", failed);
        return {};
    }
    const Value applyArgs[] = {text};
    vm.call(vm.getMember(self, apply), self, applyArgs);
    markLoaded(vm, self.asObject());
    const Value succeeded[] = {Value(true)};
    vm.callMethod(self.asObject(), "onLoad", succeeded);
    return {};
}

void setFormVariables(Vm& vm, Object* target, std::string_view text) {
    for (const auto& [name, value] : decodeFormVariables(text)) {
        vm.setMember(target, name, Value(value));
    }
}

void installLoadNatives(Vm& vm, StartLoad start) {
    Object* load = vm.newFunction([start](Vm& v, const Value& self, Args args) -> Value {
        if (!self.isObject()) {
            return {};
        }
        if (args.empty()) {
            return Value(false);
        }
        markLoading(v, self.asObject());
        start(self.asObject(), v.toString(args[0]));
        return Value(true);
    });
    Object* send = vm.newFunction([](Vm& v, const Value&, Args args) -> Value {
        v.host().getUrl(v.toString(arg(args, 0)), v.toString(arg(args, 1)), 0);
        return Value(false);
    });
    Object* sendAndLoad = vm.newFunction([start](Vm& v, const Value& self, Args args) -> Value {
        const Value target = arg(args, 1);
        if (!self.isObject() || !target.isObject()) {
            return Value(false);
        }
        markLoading(v, target.asObject());
        start(target.asObject(), v.toString(args[0]));
        return Value(true);
    });
    Object* decode = vm.newFunction([](Vm& v, const Value& self, Args args) -> Value {
        if (args.empty()) {
            return Value(false);
        }
        if (self.isObject()) {
            setFormVariables(v, self.asObject(), v.toString(args[0]));
        }
        return {};
    });
    int index = 0;
    for (Object* f : {load, send, sendAndLoad, decode}) {
        vm.registerNative(kLoadGroup, index++, f);
    }
}

void deliverLoad(Vm& vm, Object* target, const std::optional<std::string>& bytes) {
    Value text;
    if (bytes) {
        const auto size = static_cast<double>(bytes->size());
        setLoadState(vm, target, "_bytesLoaded", Value(size));
        setLoadState(vm, target, "_bytesTotal", Value(size));
        text = Value(loadedFileText(*bytes, vm.version()));
    }
    const Value dataArgs[] = {text};
    vm.callMethod(target, "onData", dataArgs);
}

void giveScriptPrototype(Vm& vm, Object* holder, std::string_view method) {
    const Property* p = holder->findOwn(method);
    if (p == nullptr || !p->value.isObject()) {
        return;
    }
    Object* function = p->value.asObject();
    Object* prototype = vm.newObject();
    prototype->define("constructor", Value(function), kDontEnum | kDontDelete);
    function->define("prototype", Value(prototype), kDontEnum | kDontDelete);
}

void defineLoadableMethods(Vm& vm, Object* proto, PropFlags flags) {
    vm.setFunction(
        proto, "getBytesLoaded",
        [](Vm& v, const Value& self, Args) { return selfMember(v, self, "_bytesLoaded"); }, flags);
    vm.setFunction(
        proto, "getBytesTotal",
        [](Vm& v, const Value& self, Args) { return selfMember(v, self, "_bytesTotal"); }, flags);
    vm.setFunction(proto, "addRequestHeader", addRequestHeader, flags);
    for (const char* name : {"addRequestHeader", "getBytesLoaded", "getBytesTotal"}) {
        giveScriptPrototype(vm, proto, name);
    }
}

// LoadVars came with version 6: older movies find the class but, toString aside, none of its
// members.
void installLoadVarsClass(Vm& vm) {
    Object* proto = defineHostClass(vm, "LoadVars");
    constexpr PropFlags kMember = kDontEnum | kDontDelete | kFromVersion6;
    proto->define("contentType", Value(std::string(kFormContentType)), kMember);
    const char* natives[] = {"load", "send", "sendAndLoad", "decode"};
    for (int i = 0; i < 4; ++i) {
        if (Object* f = vm.native(kLoadGroup, i)) {
            proto->define(natives[i], Value(f), kMember);
        }
    }
    defineLoadableMethods(vm, proto, kMember);
    vm.setFunction(proto, "toString", loadVarsText);
    vm.setFunction(proto, "onData", loadVarsData, kMember);
    vm.setFunction(
        proto, "onLoad", [](Vm&, const Value&, Args) { return Value(); }, kMember);
    for (const char* name : {"toString", "onData", "onLoad"}) {
        giveScriptPrototype(vm, proto, name);
    }
    markNewerPrototype(vm, proto, kFromVersion6);
}

} // namespace kinovex::flash::avm1
