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

// A broadcaster class of flash.net whose methods find no dialog to open; `init` sets up each
// new object, beside the listeners of its own that every one starts with.
void defineFileClass(avm1::Vm& vm, const char* name, std::initializer_list<const char*> methods,
                     void (*init)(avm1::Vm&, Object*)) {
    Object* ctor = vm.newFunction(
        [init](avm1::Vm& v, const Value& self, Args) {
            if (Object* o = avm1::selfObject(self)) {
                o->define("_listeners", Value(v.newArray({})), 0);
                init(v, o);
            }
            return Value();
        },
        name);
    Object* proto = vm.newObject();
    ctor->define("prototype", Value(proto), avm1::kDontEnum | avm1::kDontDelete);
    proto->define("constructor", Value(ctor), avm1::kDontEnum | avm1::kDontDelete);
    avm1::makeBroadcaster(vm, proto);
    for (avm1::Property& p : proto->properties()) {
        p.flags |= avm1::kDontEnum | avm1::kDontDelete;
    }
    setFunctions(vm, proto, methods, avm1::kDontEnum | avm1::kDontDelete | avm1::kFromVersion8, no);
    avm1::flashPackage(vm, "net")->define(name, Value(ctor), 0);
}

// A FileReference names no file: its details are read-only and unknown.
void initFileReference(avm1::Vm& vm, Object* self) {
    for (const char* detail :
         {"creationDate", "creator", "modificationDate", "name", "size", "type"}) {
        avm1::defineAccessor(vm, self, detail, nothing);
    }
    self->define("postData", Value("undefined"), 0);
}

// A FileReferenceList starts with an empty fileList.
void initFileReferenceList(avm1::Vm& vm, Object* self) {
    self->define("fileList", vm.construct(vm.getMember(Value(vm.global()), "Array"), {}), 0);
}

} // namespace

void ScriptRuntime::installInertClasses() {
    avm1::Vm& vm = *m_vm;
    definePrintJob(vm);
    defineTextSnapshot(vm);
    defineXmlSocket(vm);
    defineRemoteLsoUsage(vm);
    defineFileClass(vm, "FileReference", {"browse", "cancel", "download", "upload"},
                    initFileReference);
    defineFileClass(vm, "FileReferenceList", {"browse"}, initFileReferenceList);
    Object* video = avm1::defineHostClass(vm, "Video");
    setFunctions(vm, video, {"attachVideo", "clear"}, avm1::kDontEnum | avm1::kDontDelete);
}

} // namespace kinovex::flash
