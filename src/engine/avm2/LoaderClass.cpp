// flash.display.Loader, flash.net.URLRequest and flash.events.ProgressEvent: a Loader loads a
// file beside the movie; its LoaderInfo tells of the load before the next frame.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"

namespace kinovex::flash::display_natives {

namespace {

Value loaderInit(Machine& vm, Value s, Args) {
    doInit(vm, s, {});
    Object* info = vm.newObject(vm.builtin("flash.display.LoaderInfo"));
    setHidden(info, "loader", s);
    setHidden(info, "url", Value::null());
    setHidden(self(vm, s), "contentLoaderInfo", Value::obj(info));
    return Value();
}

DISPLAY_HIDDEN_GETTER(loaderContentLoaderInfo, "contentLoaderInfo")

Value loaderContent(Machine& vm, Value s, Args) {
    const Value info = hidden(self(vm, s), "contentLoaderInfo");
    const Value content = info.isObject() ? hidden(info.o, "content") : Value();
    return content.isObject() ? content : Value::null();
}

// load(request): the URL the request (or a string) names.
Value loaderLoad(Machine& vm, Value s, Args args) {
    const Value request = avm2::arg(args, 0);
    if (request.isNullish()) {
        vm.throwError("TypeError", 2007, "Parameter request must be non-null.");
    }
    const std::string url = vm.toString(request.isObject() ? vm.get(request, "url") : request);
    const Value info = hidden(self(vm, s), "contentLoaderInfo");
    if (info.isObject()) {
        host(vm).queueLoad(info.o, url);
    }
    return Value();
}

Value requestInit(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const Value url = avm2::arg(args, 0);
    setHidden(o, "url", url.isNullish() ? Value::null() : vm.str(vm.toString(url)));
    setHidden(o, "method", vm.str("GET"));
    setHidden(o, "data", Value::null());
    return Value();
}
DISPLAY_HIDDEN_GETTER(requestUrl, "url")
DISPLAY_HIDDEN_GETTER(requestMethod, "method")
DISPLAY_HIDDEN_GETTER(requestData, "data")
Value requestSetUrl(Machine& vm, Value s, Args args) {
    const Value url = avm2::arg(args, 0);
    setHidden(self(vm, s), "url", url.isNullish() ? Value::null() : vm.str(vm.toString(url)));
    return Value();
}
// A request's method is GET or POST, in capitals or small letters.
Value requestSetMethod(Machine& vm, Value s, Args args) {
    const std::string method = vm.toString(avm2::arg(args, 0));
    if (method != "GET" && method != "get" && method != "POST" && method != "post") {
        vm.throwError("ArgumentError", 2008,
                      "Parameter method must be one of the accepted values.");
    }
    setHidden(self(vm, s), "method", vm.str(method));
    return Value();
}
Value requestSetData(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "data", avm2::arg(args, 0));
    return Value();
}

// new ProgressEvent(type, bubbles, cancelable, bytesLoaded, bytesTotal)
Value progressInit(Machine& vm, Value s, Args args) {
    vm.builtin("flash.events.Event")
        ->nativeInit(vm, s, args.first(std::min<std::size_t>(args.size(), 3)));
    setHidden(self(vm, s), "bytesLoaded",
              Value::number(vm.toNumber(args.size() > 3 ? args[3] : Value::integer(0))));
    setHidden(s.o, "bytesTotal",
              Value::number(vm.toNumber(args.size() > 4 ? args[4] : Value::integer(0))));
    return Value();
}
DISPLAY_HIDDEN_GETTER(progressLoaded, "bytesLoaded")
DISPLAY_HIDDEN_GETTER(progressTotal, "bytesTotal")
Value progressToString(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    return vm.str("[ProgressEvent type=\"" + vm.toString(hidden(o, "type")) +
                  "\" bubbles=" + vm.toString(hidden(o, "bubbles")) +
                  " cancelable=" + vm.toString(hidden(o, "cancelable")) +
                  " eventPhase=" + vm.toString(hidden(o, "eventPhase")) +
                  " bytesLoaded=" + vm.toString(hidden(o, "bytesLoaded")) +
                  " bytesTotal=" + vm.toString(hidden(o, "bytesTotal")) + "]");
}
Value progressClone(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    Value a[5] = {hidden(o, "type"), hidden(o, "bubbles"), hidden(o, "cancelable"),
                  hidden(o, "bytesLoaded"), hidden(o, "bytesTotal")};
    return Value::obj(vm.constructClass(o->cls, Args(a, 5)));
}

} // namespace

void installLoaderClasses(Machine& m, ClassInfo* container) {
    ClassInfo* loader = m.defineNativeClass("flash.display", "Loader", container);
    loader->nativeInit = loaderInit;
    m.defineGetter(loader, "contentLoaderInfo", loaderContentLoaderInfo);
    m.defineGetter(loader, "content", loaderContent);
    m.defineMethod(loader, "load", loaderLoad, 2);
    m.defineMethod(loader, "unload", doIgnore);
    m.defineMethod(loader, "close", doIgnore);

    ClassInfo* request = m.defineNativeClass("flash.net", "URLRequest", m.objectClass);
    request->nativeInit = requestInit;
    m.defineGetter(request, "url", requestUrl, requestSetUrl);
    m.defineGetter(request, "method", requestMethod, requestSetMethod);
    m.defineGetter(request, "data", requestData, requestSetData);
    installUrlLoaderClasses(m);

    ClassInfo* progress = m.defineNativeClass("flash.events", "ProgressEvent",
                                              m.builtin("flash.events.Event"), ObjKind::Event);
    progress->nativeInit = progressInit;
    m.defineGetter(progress, "bytesLoaded", progressLoaded);
    m.defineGetter(progress, "bytesTotal", progressTotal);
    m.defineMethod(progress, "toString", progressToString);
    m.defineMethod(progress, "clone", progressClone);
    m.defineConstant(progress, "PROGRESS", m.str("progress"));
}

} // namespace kinovex::flash::display_natives
