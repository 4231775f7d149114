// LocalConnection and SharedObject: what would reach outside the movie. The engine keeps
// nothing outside it: their methods do nothing. (LoadVars and XML read files beside the movie:
// ScriptLoads.cpp.)

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
    installLoadClasses();
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
