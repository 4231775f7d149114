// flash.net.URLLoader, URLLoaderDataFormat and URLVariables, and navigateToURL / sendToURL: a
// URLLoader reads a file beside the movie before the next frame, as text, bytes or variables.
// Nothing here opens a window or sends anything: an address a movie would go to is only logged.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"
#include "engine/swf/PercentEncoding.h"

#include <cctype>

namespace kinovex::flash::display_natives {

namespace {

constexpr const char* kFormats[] = {"text", "binary", "variables"};

Value urlLoaderSetFormat(Machine& vm, Value s, Args args) {
    const std::string format = vm.toString(avm2::arg(args, 0));
    for (const char* known : kFormats) {
        if (format == known) {
            setHidden(self(vm, s), "dataFormat", vm.str(format));
            return Value();
        }
    }
    vm.throwError("ArgumentError", 2008,
                  "Parameter dataFormat must be one of the accepted values.");
}

// load(request): the file the request names, read before the next frame.
Value urlLoaderLoad(Machine& vm, Value s, Args args) {
    const Value request = avm2::arg(args, 0);
    if (request.isNullish()) {
        vm.throwError("TypeError", 2007, "Parameter request must be non-null.");
    }
    host(vm).queueLoad(self(vm, s), vm.toString(vm.get(request, "url")));
    return Value();
}

Value urlLoaderClose(Machine& vm, Value s, Args) {
    host(vm).cancelLoad(self(vm, s));
    return Value();
}

Value urlLoaderInit(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    setHidden(o, "dataFormat", vm.str("text"));
    setHidden(o, "data", Value());
    setHidden(o, "bytesLoaded", Value::integer(0));
    setHidden(o, "bytesTotal", Value::integer(0));
    if (!avm2::arg(args, 0).isNullish()) {
        urlLoaderLoad(vm, s, args);
    }
    return Value();
}

DISPLAY_HIDDEN_GETTER(urlLoaderFormat, "dataFormat")
DISPLAY_HIDDEN_GETTER(urlLoaderData, "data")
DISPLAY_HIDDEN_GETTER(urlLoaderLoaded, "bytesLoaded")
DISPLAY_HIDDEN_GETTER(urlLoaderTotal, "bytesTotal")
Value urlLoaderSetData(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), "data", avm2::arg(args, 0));
    return Value();
}

// decode("a=1&b=2"): each pair becomes a property; a name given again collects its values
// in an array. Empty pairs are skipped; one without '=' is refused.
Value variablesDecode(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const std::string text = vm.toString(avm2::arg(args, 0));
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('&', start), text.size());
        const std::string_view pair = std::string_view(text).substr(start, end - start);
        start = end + 1;
        if (pair.empty()) {
            continue;
        }
        const std::size_t eq = pair.find('=');
        if (eq == std::string_view::npos) {
            vm.throwError("Error", 2101,
                          "The String passed to URLVariables.decode() must be a URL-encoded "
                          "query string containing name/value pairs.");
        }
        const std::string name = percentDecode(pair.substr(0, eq), true);
        const Value value = vm.str(percentDecode(pair.substr(eq + 1), true));
        const avm2::DynProp* had = o->findDyn(name);
        if (had == nullptr) {
            o->setDyn(name, value);
        } else if (had->value.isObject() && had->value.o->kind == ObjKind::Array) {
            had->value.o->elems.push_back(value);
        } else {
            o->setDyn(name, Value::obj(vm.newArray({had->value, value})));
        }
    }
    return Value();
}

std::string percentEncode(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) != 0 || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// "name=value&...", each value of an array its own pair.
Value variablesToString(Machine& vm, Value s, Args) {
    std::string out;
    const auto add = [&](const std::string& name, const Value& v) {
        out += (out.empty() ? "" : "&") + percentEncode(name) + "=" + percentEncode(vm.toString(v));
    };
    for (const avm2::DynProp& p : self(vm, s)->dyn) {
        if (p.deleted) {
            continue;
        }
        if (p.value.isObject() && p.value.o->kind == ObjKind::Array) {
            for (const Value& v : p.value.o->elems) {
                add(p.name, v);
            }
        } else {
            add(p.name, p.value);
        }
    }
    return vm.str(out);
}

Value variablesInit(Machine& vm, Value s, Args args) {
    if (!avm2::arg(args, 0).isNullish()) {
        variablesDecode(vm, s, args);
    }
    return Value();
}

// navigateToURL(request, window) and sendToURL(request): logged, nothing more.
Value navigateToUrl(Machine& vm, Value, Args args) {
    const Value request = avm2::arg(args, 0);
    if (request.isNullish()) {
        vm.throwError("TypeError", 2007, "Parameter request must be non-null.");
    }
    host(vm).reportUrl(vm.toString(vm.get(request, "url")));
    return Value();
}

} // namespace

void installUrlLoaderClasses(Machine& m) {
    ClassInfo* loader =
        m.defineNativeClass("flash.net", "URLLoader", m.builtin("flash.events.EventDispatcher"));
    loader->nativeInit = urlLoaderInit;
    m.defineGetter(loader, "dataFormat", urlLoaderFormat, urlLoaderSetFormat);
    m.defineGetter(loader, "data", urlLoaderData, urlLoaderSetData);
    m.defineGetter(loader, "bytesLoaded", urlLoaderLoaded);
    m.defineGetter(loader, "bytesTotal", urlLoaderTotal);
    m.defineMethod(loader, "load", urlLoaderLoad, 1);
    m.defineMethod(loader, "close", urlLoaderClose);

    ClassInfo* format = m.defineNativeClass("flash.net", "URLLoaderDataFormat", m.objectClass);
    m.defineConstant(format, "TEXT", m.str("text"));
    m.defineConstant(format, "BINARY", m.str("binary"));
    m.defineConstant(format, "VARIABLES", m.str("variables"));

    ClassInfo* variables = m.defineNativeClass("flash.net", "URLVariables", m.objectClass);
    variables->sealed = false;
    variables->nativeInit = variablesInit;
    m.defineMethod(variables, "decode", variablesDecode, 1);
    m.defineMethod(variables, "toString", variablesToString);

    m.defineGlobalFunction("flash.net", "navigateToURL", navigateToUrl, 2);
    m.defineGlobalFunction("flash.net", "sendToURL", navigateToUrl, 1);
}

} // namespace kinovex::flash::display_natives
