// PrintJob, TextSnapshot, XMLSocket, RemoteLSOUsage and Video: classes a movie may build or test
// for that have nothing to act on here. There is no printer, no socket and no video source to
// attach: every method answers as the player does when the thing is not there.

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/avm1/XmlNodeClass.h"
#include "engine/avm1/builtins/Builtins.h"
#include "engine/avm1/builtins/Geom.h"

#include <initializer_list>
#include <string_view>

namespace kinovex::flash {

using avm1::Args;
using avm1::Object;
using avm1::PropFlags;
using avm1::Value;

namespace {

Value nothing(avm1::Vm&, const Value&, Args) {
    return {};
}

Value no(avm1::Vm&, const Value&, Args) {
    return Value(false);
}

void setFunctions(avm1::Vm& vm, Object* proto, std::initializer_list<const char*> names,
                  PropFlags flags, avm1::NativeFunction f = nothing) {
    for (const char* name : names) {
        vm.setFunction(proto, name, f, flags);
    }
}

// The page sizes are read-only and unknown until a print job starts, which never happens here.
// The first PrintJob built puts them on the prototype it gets, whatever object that is by then.
void installPageSizes(avm1::Vm& vm, Object* self, Args) {
    Object* proto = self->proto();
    if (proto == nullptr || proto->findOwn("orientation") != nullptr) {
        return;
    }
    for (const char* size :
         {"orientation", "pageHeight", "pageWidth", "paperHeight", "paperWidth"}) {
        avm1::defineAccessor(vm, proto, size, nothing);
    }
}

// PrintJob arrived with version 7: older movies see neither its methods nor the link of its
// prototype.
void definePrintJob(avm1::Vm& vm) {
    Object* proto = avm1::defineHostClass(vm, "PrintJob", installPageSizes);
    const PropFlags fixed = avm1::kDontEnum | avm1::kDontDelete | avm1::kFromVersion7;
    if (avm1::Property* link = proto->findOwn(avm1::kProtoName)) {
        link->flags |= avm1::kFromVersion7;
    }
    vm.setFunction(proto, "start", no, fixed);
    setFunctions(vm, proto, {"addPage", "send"}, fixed);
}

void defineTextSnapshot(avm1::Vm& vm) {
    Object* proto = avm1::defineHostClass(vm, "TextSnapshot");
    setFunctions(vm, proto,
                 {"findText", "getCount", "getSelected", "getSelectedText", "getText",
                  "getTextRunInfo", "hitTestTextNearPos", "setSelectColor", "setSelected"},
                 avm1::kFromVersion6);
}

void defineXmlSocket(avm1::Vm& vm) {
    Object* proto = avm1::defineHostClass(vm, "XMLSocket");
    const PropFlags hidden = avm1::kDontEnum | avm1::kDontDelete;
    vm.setFunction(proto, "connect", no, hidden);
    setFunctions(vm, proto, {"close", "send"}, hidden);
    proto->define("onData", Value(avm1::newScriptedFunction(vm, nothing, "onData")), hidden);
}

void defineRemoteLsoUsage(avm1::Vm& vm) {
    Object* proto = avm1::defineHostClass(vm, "RemoteLSOUsage");
    Object* ctor = proto->findOwn("constructor")->value.asObject();
    ctor->define("getURLPageSupport",
                 Value(avm1::newScriptedFunction(vm, nothing, "getURLPageSupport")),
                 avm1::kDontEnum);
}

// flash.net.FileReferenceList: a broadcaster whose browse finds no dialog to open. Each list
// starts with listeners of its own and an empty fileList.
void defineFileReferenceList(avm1::Vm& vm) {
    Object* ctor = vm.newFunction(
        [](avm1::Vm& v, const Value& self, Args) {
            if (Object* o = avm1::selfObject(self)) {
                o->define("_listeners", Value(v.newArray({})), 0);
                o->define("fileList", v.construct(v.getMember(Value(v.global()), "Array"), {}), 0);
            }
            return Value();
        },
        "FileReferenceList");
    Object* proto = vm.newObject();
    ctor->define("prototype", Value(proto), avm1::kDontEnum | avm1::kDontDelete);
    proto->define("constructor", Value(ctor), avm1::kDontEnum | avm1::kDontDelete);
    avm1::makeBroadcaster(vm, proto);
    for (avm1::Property& p : proto->properties()) {
        p.flags |= avm1::kDontEnum | avm1::kDontDelete;
    }
    vm.setFunction(proto, "browse", no, avm1::kDontEnum | avm1::kDontDelete | avm1::kFromVersion8);
    avm1::flashPackage(vm, "net")->define("FileReferenceList", Value(ctor), 0);
}

} // namespace

void ScriptRuntime::installInertClasses() {
    avm1::Vm& vm = *m_vm;
    definePrintJob(vm);
    defineTextSnapshot(vm);
    defineXmlSocket(vm);
    defineRemoteLsoUsage(vm);
    defineFileReferenceList(vm);
    Object* video = avm1::defineHostClass(vm, "Video");
    setFunctions(vm, video, {"attachVideo", "clear"}, avm1::kDontEnum | avm1::kDontDelete);
}

} // namespace kinovex::flash
