// XML: a document node (no name) with what a parse found besides its nodes (the declaration,
// the document type, the status), loading, and making new nodes. Its own values are getters
// that the first XML object made puts on the prototype it was made with.

#include "engine/avm1/LoadableObjects.h"
#include "engine/avm1/XmlClasses.h"
#include "engine/avm1/XmlDom.h"
#include "engine/avm1/XmlNodeClass.h"
#include "engine/avm1/builtins/Builtins.h"

namespace kinovex::flash::avm1 {

namespace {

constexpr int kLoadGroup = 301;
constexpr int kXmlGroup = 100;
constexpr int kXmlEscapeIndex = 5;

// What each document value becomes when a script sets it.
enum class Kind { Any, Boolean, Number, Text };

struct DocumentValue {
    std::string_view name;
    Kind kind;
};

constexpr DocumentValue kDocumentValues[] = {
    {"contentType", Kind::Any}, {"docTypeDecl", Kind::Any}, {"ignoreWhite", Kind::Boolean},
    {"loaded", Kind::Boolean},  {"status", Kind::Number},   {"xmlDecl", Kind::Any},
};

// An object set as a flag or a number is read as text first, as the player does.
Value documentValue(Vm& vm, Kind kind, const Value& x) {
    if (kind == Kind::Any) {
        return x;
    }
    if (x.isObject()) {
        vm.toString(x);
    }
    if (kind == Kind::Boolean) {
        return Value(vm.toBoolean(x));
    }
    return Value(static_cast<double>(toInt32(vm.toNumber(x))));
}

void defineDocumentValues(Vm& vm, Object* proto) {
    for (const DocumentValue& dv : kDocumentValues) {
        const std::string name(dv.name);
        const Kind kind = dv.kind;
        defineAccessor(
            vm, proto, name,
            [name](Vm&, const Value& self, Args) -> Value {
                const XmlNodeData* d = xmlNodeOf(self);
                if (d == nullptr) {
                    return {};
                }
                const auto it = d->documentValues.find(name);
                return it != d->documentValues.end() ? it->second : Value();
            },
            [name, kind](Vm& v, const Value& self, Args args) -> Value {
                XmlNodeData* d = xmlNodeOf(self);
                if (d == nullptr) {
                    return {};
                }
                const Value x = arg(args, 0);
                if (x.isUndefined()) {
                    return {}; // undefined leaves the value as it was
                }
                d->documentValues[name] = documentValue(v, kind, x);
                return {};
            });
    }
}

void parseInto(Vm& vm, Object* document, const std::string& text) {
    XmlNodeData* d = xmlNodeOf(Value(document));
    if (d == nullptr) {
        return;
    }
    removeXmlChildren(vm, document);
    const auto ignoreWhite = d->documentValues.find("ignoreWhite");
    const bool dropWhite =
        ignoreWhite != d->documentValues.end() && vm.toBoolean(ignoreWhite->second);
    const XmlParsed parsed = parseXml(text, dropWhite);
    d->documentValues["status"] = Value(static_cast<double>(parsed.status));
    d->documentValues["xmlDecl"] = parsed.hasXmlDecl ? Value(parsed.xmlDecl) : Value();
    d->documentValues["docTypeDecl"] = parsed.hasDocTypeDecl ? Value(parsed.docTypeDecl) : Value();
    addParsedXml(vm, document, parsed.root);
}

Object* nodePrototype(Vm& vm) {
    const Value ctor = vm.getMember(Value(vm.global()), "XMLNode");
    const Value proto = ctor.isObject() ? vm.getMember(ctor, "prototype") : Value();
    return proto.isObject() ? proto.asObject() : nullptr;
}

// createElement and createTextNode make nodes as the XMLNode constructor does (none without a
// name or text).
Value makeNode(Vm& vm, int type, Args args) {
    if (args.empty() || args[0].isUndefined()) {
        return {};
    }
    Object* proto = nodePrototype(vm);
    defineNodeAccessors(vm, proto);
    return Value(newXmlNode(vm, proto, type, Value(vm.toString(arg(args, 0)))));
}

// XML.prototype.onData: the loaded text parsed into the document, then onLoad(success).
Value xmlData(Vm& vm, const Value& self, Args args) {
    return finishLoadedText(vm, self, args, "parseXML",
                            [](Vm& v, Object* o) { v.setMember(o, "loaded", Value(true)); });
}

void defineXmlMethods(Vm& vm, Object* proto) {
    defineLoadableMethods(vm, proto, 0);
    vm.setFunction(
        proto, "createElement",
        [](Vm& v, const Value&, Args args) { return makeNode(v, kXmlElement, args); }, 0);
    vm.setFunction(
        proto, "createTextNode",
        [](Vm& v, const Value&, Args args) { return makeNode(v, kXmlText, args); }, 0);
    // The load functions LoadVars has, as functions of XML's own.
    const char* natives[] = {"load", "send", "sendAndLoad"};
    for (int i = 0; i < 3; ++i) {
        if (const Object* f = vm.native(kLoadGroup, i); f != nullptr && f->function()) {
            proto->define(natives[i], Value(vm.newFunction(f->function()->native)));
        }
    }
    vm.setFunction(proto, "onData", xmlData, 0);
    vm.setFunction(
        proto, "onLoad", [](Vm&, const Value&, Args) { return Value(); }, 0);
    giveScriptPrototype(vm, proto, "onData");
    giveScriptPrototype(vm, proto, "onLoad");
    vm.setFunction(
        proto, "parseXML",
        [](Vm& v, const Value& self, Args args) -> Value {
            if (xmlNodeOf(self) != nullptr && !args.empty() && !args[0].isUndefined()) {
                parseInto(v, self.asObject(), v.toString(args[0]));
            }
            return {};
        },
        0);
}

} // namespace

void installXmlClasses(Vm& vm) {
    Object* nodeProto = installXmlNodeClass(vm);
    // XML.prototype is made as a node is: it names XMLNode as its maker and has no constructor.
    Object* proto = vm.newObject(nodeProto);
    proto->define("__constructor__", vm.getMember(Value(vm.global()), "XMLNode"),
                  kDontEnum | kFromVersion6);
    Object* ctor = vm.newFunction(
        [](Vm& v, const Value& self, Args args) -> Value {
            if (!self.isObject() || !v.constructing()) {
                return {};
            }
            Object* o = self.asObject();
            XmlNodeData& d = makeXmlNode(v, o, kXmlElement, Value::null());
            d.documentValues["contentType"] =
                Value(std::string("application/x-www-form-urlencoded"));
            d.documentValues["ignoreWhite"] = Value(false);
            d.documentValues["status"] = Value(0.0);
            if (Object* p = o->proto(); p != nullptr && p->findOwn("ignoreWhite") == nullptr) {
                defineDocumentValues(v, p);
            }
            if (!args.empty() && !args[0].isUndefined()) {
                parseInto(v, o, v.toString(args[0]));
            }
            return {};
        },
        "XML", true);
    ctor->define("prototype", Value(proto), kDontEnum | kDontDelete);
    vm.global()->define("XML", Value(ctor), kDontEnum);
    defineXmlMethods(vm, proto);
    vm.registerNative(kXmlGroup, kXmlEscapeIndex,
                      vm.newFunction([](Vm& v, const Value&, Args args) -> Value {
                          if (args.empty()) {
                              return {};
                          }
                          return Value(xmlEscape(v.toString(args[0])));
                      }));
}

} // namespace kinovex::flash::avm1
