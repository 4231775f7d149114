// LoadVars, XML, LocalConnection and SharedObject: what would reach outside the movie. The
// engine loads and keeps nothing outside it: loading is reported as unavailable and gives false,
// the rest does nothing.

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/ScriptRuntime.h"

namespace kinovex::flash {

using avm1::arg;
using avm1::Args;
using avm1::Object;
using avm1::Value;

namespace {

Value nothing(avm1::Vm&, const Value&, Args) {
    return {};
}

} // namespace

void ScriptRuntime::installOutsideClasses() {
    avm1::Vm& vm = *m_vm;
    // load(url), send(url ...), sendAndLoad(url ...)
    const avm1::NativeFunction load = [this](avm1::Vm& v, const Value& self, Args args) -> Value {
        if (!self.isObject()) {
            return {};
        }
        getUrl(v.toString(arg(args, 0)), {}, 0);
        return Value(false);
    };
    auto defineLoads = [&](Object* proto) {
        vm.setFunction(proto, "load", load);
        vm.setFunction(proto, "send", load);
        vm.setFunction(proto, "sendAndLoad", load);
    };
    Object* loadVars = avm1::defineHostClass(vm, "LoadVars");
    defineLoads(loadVars);
    vm.setFunction(loadVars, "toString", nothing);
    vm.setFunction(loadVars, "decode", nothing);
    Object* xml = avm1::defineHostClass(vm, "XML");
    defineLoads(xml);
    vm.setFunction(xml, "parseXML", nothing);
    vm.setFunction(xml, "toString", nothing);
    Object* connection = avm1::defineHostClass(vm, "LocalConnection");
    for (const char* name : {"connect", "send", "close", "domain"}) {
        vm.setFunction(connection, name, nothing);
    }
    Object* shared = avm1::defineHostClass(vm, "SharedObject");
    for (const char* name : {"flush", "clear", "getSize"}) {
        vm.setFunction(shared, name, nothing);
    }
}

} // namespace kinovex::flash
