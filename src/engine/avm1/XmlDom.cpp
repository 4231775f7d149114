#include "engine/avm1/XmlDom.h"

#include <algorithm>

namespace kinovex::flash::avm1 {

namespace {

constexpr int kMaxTextDepth = 256; // a tree a script made into a loop is written this deep

void syncChildNodes(Vm& vm, Object* node) {
    XmlNodeData* data = xmlNodeOf(Value(node));
    if (data == nullptr) {
        return;
    }
    if (data->childNodes == nullptr) {
        data->childNodes = vm.newArray();
    }
    std::vector<Value>& elements = data->childNodes->elements();
    elements.clear();
    for (Object* child : data->children) {
        elements.emplace_back(child);
    }
}

void detach(Vm& vm, Object* child) {
    XmlNodeData* data = xmlNodeOf(Value(child));
    if (data == nullptr || data->parent == nullptr) {
        return;
    }
    Object* parent = data->parent;
    data->parent = nullptr;
    if (XmlNodeData* p = xmlNodeOf(Value(parent))) {
        std::erase(p->children, child);
        syncChildNodes(vm, parent);
    }
}

// A document's declarations come before its nodes.
void writeDeclarations(Vm& vm, const XmlNodeData& data, std::string& out) {
    for (const char* name : {"xmlDecl", "docTypeDecl"}) {
        const auto it = data.documentValues.find(name);
        if (it != data.documentValues.end() && !it->second.isUndefined()) {
            out += vm.toString(it->second);
        }
    }
}

void writeNode(Vm& vm, Object* node, std::string& out, int depth) {
    const XmlNodeData* data = xmlNodeOf(Value(node));
    if (data == nullptr || depth > kMaxTextDepth) {
        return;
    }
    if (depth == 0) {
        writeDeclarations(vm, *data, out);
    }
    if (data->type != kXmlElement) {
        out += xmlEscape(data->value.isNull() ? std::string() : vm.toString(data->value));
        return;
    }
    const bool named = !data->name.isNull() && !data->name.isUndefined();
    if (named) {
        out += '<';
        out += vm.toString(data->name);
        if (data->attributes != nullptr) {
            // In the order they were made, as the parse found them.
            const std::vector<Property> attributes = data->attributes->properties();
            for (const Property& attr : attributes) {
                if ((attr.flags & kDontEnum) != 0 || attr.name == kProtoName) {
                    continue;
                }
                out += ' ';
                out += attr.name;
                out += "=\"";
                out += xmlEscape(vm.toString(vm.getMember(Value(data->attributes), attr.name)));
                out += '"';
            }
        }
        if (data->children.empty()) {
            out += " />";
            return;
        }
        out += '>';
    }
    const std::vector<Object*> children = data->children;
    for (Object* child : children) {
        writeNode(vm, child, out, depth + 1);
    }
    if (named) {
        out += "</";
        out += vm.toString(data->name);
        out += '>';
    }
}

} // namespace

void XmlNodeData::references(std::vector<Object*>& out) const {
    out.push_back(parent);
    out.insert(out.end(), children.begin(), children.end());
    out.push_back(attributes);
    out.push_back(childNodes);
    for (const Value* v : {&name, &value}) {
        if (v->isObject()) {
            out.push_back(v->asObject());
        }
    }
    for (const auto& [key, v] : documentValues) {
        if (v.isObject()) {
            out.push_back(v.asObject());
        }
    }
}

XmlNodeData* xmlNodeOf(const Value& v) {
    return v.isObject() ? dynamic_cast<XmlNodeData*>(v.asObject()->hostData()) : nullptr;
}

XmlNodeData& makeXmlNode(Vm& vm, Object* o, int type, const Value& nameOrValue) {
    auto data = std::make_unique<XmlNodeData>();
    XmlNodeData& d = *data;
    d.type = type == kXmlElement ? kXmlElement : kXmlText;
    (d.type == kXmlElement ? d.name : d.value) = nameOrValue;
    (d.type == kXmlElement ? d.value : d.name) = Value::null();
    // The attributes object inherits nothing; childNodes names Array as its constructor.
    d.attributes = vm.newObjectOfClass(ObjectClass::Object, nullptr);
    d.childNodes = vm.newArray();
    d.childNodes->define("constructor", vm.getMember(Value(vm.global()), "Array"),
                         kDontEnum | kDontDelete);
    o->setHostData(std::move(data));
    return d;
}

Object* newXmlNode(Vm& vm, Object* proto, int type, const Value& nameOrValue) {
    Object* o = vm.newObject(proto);
    if (proto != nullptr) {
        if (const Property* c = proto->findOwn("constructor")) {
            o->define("constructor", c->value, kDontEnum | kDontDelete);
        }
    }
    makeXmlNode(vm, o, type, nameOrValue);
    return o;
}

namespace {

// From version 8 a node cannot go below itself; older players let scripts make such loops.
bool makesLoop(Vm& vm, Object* parent, Object* child) {
    if (vm.version() < 8) {
        return false;
    }
    Object* node = parent;
    for (int depth = 0; node != nullptr && depth <= kMaxTextDepth; ++depth) {
        if (node == child) {
            return true;
        }
        const XmlNodeData* data = xmlNodeOf(Value(node));
        node = data != nullptr ? data->parent : nullptr;
    }
    return false;
}

} // namespace

void appendXmlChild(Vm& vm, Object* parent, Object* child) {
    XmlNodeData* p = xmlNodeOf(Value(parent));
    XmlNodeData* c = xmlNodeOf(Value(child));
    if (p == nullptr || c == nullptr || c->parent == parent || makesLoop(vm, parent, child)) {
        return;
    }
    detach(vm, child);
    c->parent = parent;
    p->children.push_back(child);
    syncChildNodes(vm, parent);
}

void insertXmlChild(Vm& vm, Object* parent, Object* child, Object* before) {
    XmlNodeData* p = xmlNodeOf(Value(parent));
    XmlNodeData* c = xmlNodeOf(Value(child));
    if (p == nullptr || c == nullptr || c->parent == parent || makesLoop(vm, parent, child) ||
        std::find(p->children.begin(), p->children.end(), before) == p->children.end()) {
        return;
    }
    detach(vm, child);
    c->parent = parent;
    p->children.insert(std::find(p->children.begin(), p->children.end(), before), child);
    syncChildNodes(vm, parent);
}

void removeXmlNode(Vm& vm, Object* node) {
    detach(vm, node);
}

void removeXmlChildren(Vm& vm, Object* parent) {
    XmlNodeData* p = xmlNodeOf(Value(parent));
    if (p == nullptr) {
        return;
    }
    for (Object* child : p->children) {
        if (XmlNodeData* c = xmlNodeOf(Value(child))) {
            c->parent = nullptr;
        }
    }
    p->children.clear();
    syncChildNodes(vm, parent);
}

namespace {

// A deep copy of a tree a script made into a loop stops this deep, or after this many nodes.
constexpr std::size_t kMaxClonedNodes = 100000;

Object* cloneNode(Vm& vm, Object* node, bool deep, int depth, std::size_t& budget) {
    const XmlNodeData* data = xmlNodeOf(Value(node));
    if (data == nullptr || budget == 0) {
        return nullptr;
    }
    --budget;
    Object* copy = newXmlNode(vm, node->proto(), data->type,
                              data->type == kXmlElement ? data->name : data->value);
    XmlNodeData* c = xmlNodeOf(Value(copy));
    const std::vector<Property> attributes = data->attributes->properties();
    for (const Property& attr : attributes) {
        if ((attr.flags & kDontEnum) == 0 && attr.name != kProtoName) {
            c->attributes->define(attr.name, vm.getMember(Value(data->attributes), attr.name));
        }
    }
    if (deep && depth < kMaxTextDepth) {
        const std::vector<Object*> children = data->children;
        for (Object* child : children) {
            if (Object* childCopy = cloneNode(vm, child, true, depth + 1, budget)) {
                appendXmlChild(vm, copy, childCopy);
            }
        }
    }
    return copy;
}

} // namespace

Object* cloneXmlNode(Vm& vm, Object* node, bool deep) {
    std::size_t budget = kMaxClonedNodes;
    return cloneNode(vm, node, deep, 0, budget);
}

void addParsedXml(Vm& vm, Object* parent, const XmlParsedNode& parsed) {
    Object* proto = parent->proto();
    Value xmlNode = vm.getMember(Value(vm.global()), "XMLNode");
    if (xmlNode.isObject()) {
        const Value p = vm.getMember(xmlNode, "prototype");
        proto = p.isObject() ? p.asObject() : proto;
    }
    for (const XmlParsedNode& child : parsed.children) {
        Object* node = newXmlNode(vm, proto, child.element ? kXmlElement : kXmlText,
                                  Value(child.element ? child.name : child.value));
        XmlNodeData* data = xmlNodeOf(Value(node));
        for (const auto& [name, value] : child.attributes) {
            data->attributes->define(name, Value(value));
        }
        appendXmlChild(vm, parent, node);
        addParsedXml(vm, node, child);
    }
}

std::string xmlPrefix(std::string_view name) {
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos || colon + 1 >= name.size()
               ? std::string()
               : std::string(name.substr(0, colon));
}

std::string xmlLocalName(std::string_view name) {
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos || colon + 1 >= name.size()
               ? std::string(name)
               : std::string(name.substr(colon + 1));
}

Value xmlNamespaceFor(Vm& vm, Object* node, std::string_view prefix) {
    const std::string attr = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
    for (int depth = 0; node != nullptr && depth <= kMaxTextDepth; ++depth) {
        const XmlNodeData* data = xmlNodeOf(Value(node));
        if (data == nullptr) {
            break;
        }
        if (data->attributes != nullptr && vm.hasProperty(data->attributes, attr)) {
            return vm.getMember(Value(data->attributes), attr);
        }
        node = data->parent;
    }
    return Value::null();
}

Value xmlPrefixFor(Vm& vm, Object* node, std::string_view uri) {
    for (int depth = 0; node != nullptr && depth <= kMaxTextDepth; ++depth) {
        const XmlNodeData* data = xmlNodeOf(Value(node));
        if (data == nullptr) {
            break;
        }
        for (const std::string& attr : vm.enumerate(data->attributes)) {
            if ((attr == "xmlns" || attr.starts_with("xmlns:")) &&
                vm.toString(vm.getMember(Value(data->attributes), attr)) == uri) {
                return Value(attr == "xmlns" ? std::string() : attr.substr(6));
            }
        }
        node = data->parent;
    }
    return Value::null();
}

std::string xmlNodeText(Vm& vm, Object* node) {
    std::string out;
    writeNode(vm, node, out, 0);
    return out;
}

} // namespace kinovex::flash::avm1
