// XMLNode: the node's place in the tree and its names are getters on the prototype; writing
// them does nothing, except nodeName and nodeValue.

#include "engine/avm1/XmlNodeClass.h"
#include "engine/avm1/XmlClasses.h"
#include "engine/avm1/XmlDom.h"
#include "engine/avm1/builtins/Builtins.h"

namespace kinovex::flash::avm1 {

namespace {

Value nodeOrNull(Object* o) {
    return o != nullptr ? Value(o) : Value::null();
}

// The sibling `step` places from `self` under its parent; null when there is none.
Value sibling(const Value& self, int step) {
    const XmlNodeData* data = xmlNodeOf(self);
    const XmlNodeData* parent = data != nullptr ? xmlNodeOf(Value(data->parent)) : nullptr;
    if (parent == nullptr) {
        return data != nullptr ? Value::null() : Value();
    }
    const std::vector<Object*>& siblings = parent->children;
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i] == self.asObject()) {
            const std::size_t j = i + static_cast<std::size_t>(step);
            return j < siblings.size() ? Value(siblings[j]) : Value::null();
        }
    }
    return Value::null();
}

// A name part of an element (prefix, localName), null for other nodes.
Value namePart(Vm& vm, const Value& self, bool prefix) {
    const XmlNodeData* data = xmlNodeOf(self);
    if (data == nullptr) {
        return {};
    }
    if (data->type != kXmlElement || data->name.isNullish()) {
        return Value::null();
    }
    const std::string name = vm.toString(data->name);
    return Value(prefix ? xmlPrefix(name) : xmlLocalName(name));
}

Value namespaceUri(Vm& vm, const Value& self) {
    const XmlNodeData* data = xmlNodeOf(self);
    if (data == nullptr) {
        return {};
    }
    if (data->type != kXmlElement || data->name.isNullish()) {
        return Value::null();
    }
    const Value uri = xmlNamespaceFor(vm, self.asObject(), xmlPrefix(vm.toString(data->name)));
    return uri.isNull() ? Value(std::string()) : uri;
}

using Getter = Value (*)(Vm&, const Value&);

struct Accessor {
    std::string_view name;
    Getter get;
};

const Accessor kAccessors[] = {
    {"attributes",
     [](Vm&, const Value& s) {
         const XmlNodeData* d = xmlNodeOf(s);
         return d ? Value(d->attributes) : Value();
     }},
    {"childNodes",
     [](Vm&, const Value& s) {
         const XmlNodeData* d = xmlNodeOf(s);
         return d ? Value(d->childNodes) : Value();
     }},
    {"firstChild",
     [](Vm&, const Value& s) {
         const XmlNodeData* d = xmlNodeOf(s);
         return d ? nodeOrNull(d->children.empty() ? nullptr : d->children.front()) : Value();
     }},
    {"lastChild",
     [](Vm&, const Value& s) {
         const XmlNodeData* d = xmlNodeOf(s);
         return d ? nodeOrNull(d->children.empty() ? nullptr : d->children.back()) : Value();
     }},
    {"localName", [](Vm& vm, const Value& s) { return namePart(vm, s, false); }},
    {"namespaceURI", namespaceUri},
    {"nextSibling", [](Vm&, const Value& s) { return sibling(s, 1); }},
    {"nodeName",
     [](Vm&, const Value& s) {
         const XmlNodeData* d = xmlNodeOf(s);
         return d ? d->name : Value();
     }},
    {"nodeType",
     [](Vm&, const Value& s) {
         const XmlNodeData* d = xmlNodeOf(s);
         return d ? Value(static_cast<double>(d->type)) : Value();
     }},
    {"nodeValue",
     [](Vm&, const Value& s) {
         const XmlNodeData* d = xmlNodeOf(s);
         return d ? d->value : Value();
     }},
    {"parentNode",
     [](Vm&, const Value& s) {
         const XmlNodeData* d = xmlNodeOf(s);
         return d ? nodeOrNull(d->parent) : Value();
     }},
    {"prefix", [](Vm& vm, const Value& s) { return namePart(vm, s, true); }},
    {"previousSibling", [](Vm&, const Value& s) { return sibling(s, -1); }},
};

// nodeName and nodeValue take what they are given as text (null as "null"); undefined is
// passed over.
NativeFunction textSetter(Value XmlNodeData::*field) {
    return [field](Vm& vm, const Value& self, Args args) -> Value {
        XmlNodeData* d = xmlNodeOf(self);
        const Value v = arg(args, 0);
        if (d != nullptr && !v.isUndefined()) {
            (d->*field) = Value(vm.toString(v));
        }
        return {};
    };
}

Object* nodeArg(Args args, std::size_t i) {
    const Value v = arg(args, i);
    return xmlNodeOf(v) != nullptr ? v.asObject() : nullptr;
}

void defineMethods(Vm& vm, Object* proto) {
    vm.setFunction(
        proto, "appendChild",
        [](Vm& v, const Value& self, Args args) -> Value {
            if (xmlNodeOf(self) != nullptr && nodeArg(args, 0) != nullptr) {
                appendXmlChild(v, self.asObject(), nodeArg(args, 0));
            }
            return {};
        },
        0);
    vm.setFunction(
        proto, "cloneNode",
        [](Vm& v, const Value& self, Args args) -> Value {
            if (xmlNodeOf(self) == nullptr) {
                return {};
            }
            return Value(cloneXmlNode(v, self.asObject(), v.toBoolean(arg(args, 0))));
        },
        0);
    vm.setFunction(
        proto, "getNamespaceForPrefix",
        [](Vm& v, const Value& self, Args args) -> Value {
            if (xmlNodeOf(self) == nullptr || args.empty() || args[0].isNullish()) {
                return Value::null();
            }
            return xmlNamespaceFor(v, self.asObject(), v.toString(args[0]));
        },
        0);
    vm.setFunction(
        proto, "getPrefixForNamespace",
        [](Vm& v, const Value& self, Args args) -> Value {
            if (xmlNodeOf(self) == nullptr || args.empty() || args[0].isNullish()) {
                return Value::null();
            }
            return xmlPrefixFor(v, self.asObject(), v.toString(args[0]));
        },
        0);
    vm.setFunction(
        proto, "hasChildNodes",
        [](Vm&, const Value& self, Args) -> Value {
            const XmlNodeData* d = xmlNodeOf(self);
            return d ? Value(!d->children.empty()) : Value();
        },
        0);
    vm.setFunction(
        proto, "insertBefore",
        [](Vm& v, const Value& self, Args args) -> Value {
            if (xmlNodeOf(self) != nullptr && nodeArg(args, 0) && nodeArg(args, 1)) {
                insertXmlChild(v, self.asObject(), nodeArg(args, 0), nodeArg(args, 1));
            }
            return {};
        },
        0);
    vm.setFunction(
        proto, "removeNode",
        [](Vm& v, const Value& self, Args) -> Value {
            if (xmlNodeOf(self) != nullptr) {
                removeXmlNode(v, self.asObject());
            }
            return {};
        },
        0);
    vm.setFunction(
        proto, "toString",
        [](Vm& v, const Value& self, Args) -> Value {
            if (xmlNodeOf(self) == nullptr) {
                return Value(std::string("[type Object]"));
            }
            return Value(xmlNodeText(v, self.asObject()));
        },
        0);
}

} // namespace

void defineAccessor(Vm& vm, Object* proto, std::string_view name, NativeFunction get,
                    NativeFunction set) {
    Object* getter = vm.newFunction(std::move(get));
    Object* setter = set ? vm.newFunction(std::move(set)) : nullptr;
    Property& p = proto->define(name, Value());
    p.getter = getter;
    p.setter = setter;
}

Object* installXmlNodeClass(Vm& vm) {
    Object* proto = vm.newObject();
    defineClass(
        vm, "XMLNode",
        [](Vm& v, const Value& self, Args args) -> Value {
            if (!self.isObject() || !v.constructing() || args.size() < 2 || args[0].isUndefined() ||
                args[1].isUndefined()) {
                return {};
            }
            defineNodeAccessors(v, self.asObject()->proto());
            const bool element = v.toNumber(args[0]) == kXmlElement;
            makeXmlNode(v, self.asObject(), element ? kXmlElement : kXmlText,
                        Value(v.toString(args[1])));
            return {};
        },
        proto, true);
    defineNodeAccessors(vm, proto);
    defineMethods(vm, proto);
    return proto;
}

void defineNodeAccessors(Vm& vm, Object* proto) {
    if (proto == nullptr || proto->findOwn("nodeType") != nullptr) {
        return;
    }
    for (const Accessor& a : kAccessors) {
        NativeFunction set;
        if (a.name == "nodeName") {
            set = textSetter(&XmlNodeData::name);
        } else if (a.name == "nodeValue") {
            set = textSetter(&XmlNodeData::value);
        }
        const Getter get = a.get;
        defineAccessor(
            vm, proto, a.name, [get](Vm& v, const Value& self, Args) { return get(v, self); },
            std::move(set));
    }
}

} // namespace kinovex::flash::avm1
