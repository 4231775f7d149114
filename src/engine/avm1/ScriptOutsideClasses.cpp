// LocalConnection, SharedObject, Camera, Microphone and Accessibility: what would reach outside
// the movie. The engine keeps nothing outside it and has no devices: their methods do nothing,
// and Camera.get and Microphone.get find none. (LoadVars and XML read files beside the movie:
// ScriptLoads.cpp.)

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/avm1/builtins/Builtins.h"
#include "engine/avm1/builtins/Geom.h"

#include <initializer_list>
#include <string_view>
#include <utility>

namespace kinovex::flash {

using avm1::arg;
using avm1::Args;
using avm1::Object;
using avm1::Value;

namespace {

Value nothing(avm1::Vm&, const Value&, Args) {
    return {};
}

// Camera and Microphone: classes whose get() would give the device; the setters do nothing.
void defineDeviceClass(avm1::Vm& vm, std::string_view name,
                       std::initializer_list<const char*> setters) {
    Object* proto = avm1::defineHostClass(vm, name);
    for (const char* setter : setters) {
        vm.setFunction(proto, setter, nothing);
    }
    Object* ctor = proto->findOwn("constructor")->value.asObject();
    avm1::setGeomFunction(vm, ctor, "get",
                          [](avm1::Vm&, const Value&, Args) { return Value::null(); });
}

// Accessibility: no screen reader is ever active. Its methods are permanent and read-only, as
// are the object's own __proto__ and constructor.
void defineAccessibility(avm1::Vm& vm) {
    Object* o = avm1::defineHostObject(vm, "Accessibility");
    o->define("constructor", Value(vm.objectConstructor()), avm1::kDontEnum | avm1::kDontDelete);
    for (avm1::Property& p : o->properties()) {
        p.flags |= avm1::kReadOnly;
    }
    const avm1::PropFlags fixed = avm1::kDontDelete | avm1::kReadOnly | avm1::kFromVersion6;
    vm.setFunction(
        o, "isActive", [](avm1::Vm&, const Value&, Args) { return Value(false); }, fixed);
    vm.setFunction(o, "sendEvent", nothing, fixed);
    vm.setFunction(o, "updateProperties", nothing, fixed);
}

// SharedObject: there is no store of shared objects here, so getLocal and getRemote find none;
// the methods came with version 6.
void defineSharedObject(avm1::Vm& vm) {
    Object* proto = avm1::defineHostClass(vm, "SharedObject");
    const avm1::PropFlags fixed = avm1::kDontEnum | avm1::kDontDelete | avm1::kFromVersion6;
    for (const char* name : {"flush", "clear", "getSize", "close", "connect", "send", "setFps"}) {
        vm.setFunction(proto, name, nothing, fixed);
    }
    Object* ctor = proto->findOwn("constructor")->value.asObject();
    const std::pair<const char*, avm1::PropFlags> statics[] = {{"deleteAll", avm1::kDontEnum},
                                                               {"getDiskUsage", avm1::kDontEnum},
                                                               {"getLocal", 0},
                                                               {"getRemote", 0}};
    for (const auto& [name, flags] : statics) {
        ctor->define(name, Value(avm1::newScriptedFunction(vm, nothing, name)), flags);
    }
}

} // namespace

void ScriptRuntime::installOutsideClasses() {
    avm1::Vm& vm = *m_vm;
    installLoadClasses();
    Object* connection = avm1::defineHostClass(vm, "LocalConnection");
    for (const char* name : {"connect", "send", "close", "domain"}) {
        vm.setFunction(connection, name, nothing);
    }
    defineSharedObject(vm);
    defineDeviceClass(vm, "Camera",
                      {"setCursor", "setKeyFrameInterval", "setLoopback", "setMode",
                       "setMotionLevel", "setQuality"});
    defineDeviceClass(vm, "Microphone",
                      {"setGain", "setRate", "setSilenceLevel", "setUseEchoSuppression"});
    defineAccessibility(vm);
    installInertClasses();
}

} // namespace kinovex::flash
