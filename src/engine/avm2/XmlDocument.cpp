// flash.xml.XMLNode and XMLDocument: the older document model, a tree of nodes with their
// attributes in a plain object, names as written ("prefix:local") and namespaces looked up
// through the xmlns attributes of a node and those around it. A node keeps its kind, name and
// value in its XmlInfo, its children and parent in the object's tree links and its attributes
// object as its primitive.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/XmlNode.h"

#include <algorithm>

namespace kinovex::flash::avm2 {

namespace {

constexpr int kElementNode = 1;
constexpr int kTextNode = 3;

Object* nodeOf(Machine& m, const Value& v) {
    ClassInfo* node = m.builtin("flash.xml.XMLNode");
    return v.isObject() && v.o->xml != nullptr && m.isInstance(v, node) ? v.o : nullptr;
}

bool isElementNode(const Object* n) {
    return n->xml->kind == XmlKind::Element;
}

void setUp(Machine& m, Object* o, int type, const std::string& value) {
    o->xml = std::make_shared<XmlInfo>();
    o->xml->kind = type == kTextNode ? XmlKind::Text : XmlKind::Element;
    (type == kTextNode ? o->xml->text : o->xml->local) = value;
    o->primitive = Value::obj(m.newPlainObject());
}

Object* newNode(Machine& m, int type, const std::string& value) {
    Object* o = m.newObject(m.builtin("flash.xml.XMLNode"));
    setUp(m, o, type, value);
    return o;
}

// The document node made from a node the XML reader gave.
Object* fromParsed(Machine& m, const Object* parsed, Object* parent) {
    const NativeDepth depth(m);
    const XmlInfo& x = *parsed->xml;
    const bool element = x.kind == XmlKind::Element;
    Object* n = newNode(m, element ? kElementNode : kTextNode,
                        element ? (x.prefix.empty() ? x.local : x.prefix + ":" + x.local) : x.text);
    n->parentObj = parent;
    for (const XmlNsDecl& d : x.decls) {
        n->primitive.o->setDyn(d.prefix.empty() ? "xmlns" : "xmlns:" + d.prefix, m.str(d.uri));
    }
    for (const Object* a : parsed->keyObjects) {
        const XmlInfo& ax = *a->xml;
        n->primitive.o->setDyn(ax.prefix.empty() ? ax.local : ax.prefix + ":" + ax.local,
                               m.str(ax.text));
    }
    for (const Object* c : parsed->children) {
        n->children.push_back(fromParsed(m, c, n));
    }
    return n;
}

// XMLDocument's text and attribute values escape quotes and apostrophes as well.
std::string escaped(const std::string& s) {
    return escapeXml(s, "<>&\"'");
}

std::string nodeText(Machine& m, const Object* n) {
    const NativeDepth depth(m);
    if (!isElementNode(n)) {
        return escaped(n->xml->text);
    }
    std::string inner;
    for (const Object* c : n->children) {
        inner += nodeText(m, c);
    }
    if (n->xml->local.empty()) {
        return inner; // a document: its children
    }
    std::string s = "<" + n->xml->local;
    for (const DynProp& p : n->primitive.o->dyn) {
        if (!p.deleted) {
            s += " " + p.name + "=\"" + escaped(m.toString(p.value)) + "\"";
        }
    }
    return s + (n->children.empty() ? " />" : ">" + inner + "</" + n->xml->local + ">");
}

// The value of the attribute `name` on the node or the nearest node around it that has it.
Value lookUp(Machine& m, const Object* n, const std::string& name) {
    for (const Object* at = n; at != nullptr; at = at->parentObj) {
        if (at->primitive.isObject()) {
            if (const DynProp* p = at->primitive.o->findDyn(name)) {
                return m.str(m.toString(p->value));
            }
        }
    }
    return Value::null();
}

std::string prefixPart(const Object* n) {
    const std::size_t colon = n->xml->local.find(':');
    return colon == std::string::npos ? std::string() : n->xml->local.substr(0, colon);
}

Value nodeInit(Machine& m, Value self, Args args) {
    setUp(m, self.o, m.toInt(arg(args, 0)), m.toString(arg(args, 1)));
    return Value();
}

Value parseXmlM(Machine& m, Value self, Args args) {
    Object* doc = nodeOf(m, self);
    if (doc == nullptr) {
        return Value();
    }
    XmlSettings settings;
    settings.ignoreWhitespace = Machine::toBoolean(m.get(self, "ignoreWhite"));
    settings.lenient = true;
    doc->children.clear();
    for (const Object* parsed : parseXmlNodes(m, m.toString(arg(args, 0)), settings)) {
        doc->children.push_back(fromParsed(m, parsed, doc));
    }
    return Value();
}

Value documentInit(Machine& m, Value self, Args args) {
    setUp(m, self.o, kElementNode, "");
    self.o->setDyn("ignoreWhite", Value::boolean(false));
    if (!arg(args, 0).isNullish()) {
        parseXmlM(m, self, args);
    }
    return Value();
}

Value nodeTypeG(Machine& m, Value self, Args) {
    const Object* n = nodeOf(m, self);
    return n == nullptr ? Value() : Value::integer(isElementNode(n) ? kElementNode : kTextNode);
}

Value nodeNameG(Machine& m, Value self, Args) {
    const Object* n = nodeOf(m, self);
    return n == nullptr || !isElementNode(n) || n->xml->local.empty() ? Value::null()
                                                                      : m.str(n->xml->local);
}

Value nodeValueG(Machine& m, Value self, Args) {
    const Object* n = nodeOf(m, self);
    return n == nullptr || isElementNode(n) ? Value::null() : m.str(n->xml->text);
}

Value attributesG(Machine& m, Value self, Args) {
    const Object* n = nodeOf(m, self);
    return n == nullptr ? Value() : n->primitive;
}

Value childNodesG(Machine& m, Value self, Args) {
    const Object* n = nodeOf(m, self);
    std::vector<Value> kids;
    for (Object* c : n != nullptr ? n->children : std::vector<Object*>{}) {
        kids.push_back(Value::obj(c));
    }
    return Value::obj(m.newArray(std::move(kids)));
}

Value parentNodeG(Machine& m, Value self, Args) {
    const Object* n = nodeOf(m, self);
    return Value::obj(n != nullptr ? n->parentObj : nullptr);
}

// The child `step` places from the node among its parent's (first and last child: of its own).
template <int Step> Value siblingG(Machine& m, Value self, Args) {
    const Object* n = nodeOf(m, self);
    if (n == nullptr) {
        return Value::null();
    }
    if (Step == 0 || Step == 2) {
        return n->children.empty()
                   ? Value::null()
                   : Value::obj(Step == 0 ? n->children.front() : n->children.back());
    }
    if (n->parentObj == nullptr) {
        return Value::null();
    }
    const auto& kids = n->parentObj->children;
    const auto it = std::find(kids.begin(), kids.end(), n);
    const std::ptrdiff_t i = (it - kids.begin()) + (Step == 1 ? 1 : -1);
    return i >= 0 && i < static_cast<std::ptrdiff_t>(kids.size())
               ? Value::obj(kids[static_cast<std::size_t>(i)])
               : Value::null();
}

Value localNameG(Machine& m, Value self, Args) {
    const Object* n = nodeOf(m, self);
    if (n == nullptr || !isElementNode(n)) {
        return Value::null();
    }
    const std::size_t colon = n->xml->local.find(':');
    return m.str(colon == std::string::npos ? n->xml->local : n->xml->local.substr(colon + 1));
}

Value prefixG(Machine& m, Value self, Args) {
    const Object* n = nodeOf(m, self);
    return n == nullptr || !isElementNode(n) ? Value::null() : m.str(prefixPart(n));
}

Value namespaceUriG(Machine& m, Value self, Args) {
    const Object* n = nodeOf(m, self);
    if (n == nullptr || !isElementNode(n)) {
        return Value::null();
    }
    const std::string prefix = prefixPart(n);
    return lookUp(m, n, prefix.empty() ? "xmlns" : "xmlns:" + prefix);
}

Value namespaceForPrefixM(Machine& m, Value self, Args args) {
    const Object* n = nodeOf(m, self);
    const std::string prefix = m.toString(arg(args, 0));
    return n == nullptr ? Value::null()
                        : lookUp(m, n, prefix.empty() ? "xmlns" : "xmlns:" + prefix);
}

Value prefixForNamespaceM(Machine& m, Value self, Args args) {
    const std::string uri = m.toString(arg(args, 0));
    for (const Object* at = nodeOf(m, self); at != nullptr; at = at->parentObj) {
        for (const DynProp& p : at->primitive.o->dyn) {
            if (!p.deleted && p.name.rfind("xmlns", 0) == 0 && m.toString(p.value) == uri &&
                (p.name.size() == 5 || p.name[5] == ':')) {
                return m.str(p.name.size() == 5 ? "" : p.name.substr(6));
            }
        }
    }
    return Value::null();
}

Value toStringM(Machine& m, Value self, Args) {
    const Object* n = nodeOf(m, self);
    return m.str(n == nullptr ? "" : nodeText(m, n));
}

Value hasChildNodesM(Machine& m, Value self, Args) {
    const Object* n = nodeOf(m, self);
    return Value::boolean(n != nullptr && !n->children.empty());
}

void detach(Object* n) {
    if (n->parentObj != nullptr) {
        std::erase(n->parentObj->children, n);
        n->parentObj = nullptr;
    }
}

Value appendChildM(Machine& m, Value self, Args args) {
    Object* n = nodeOf(m, self);
    Object* c = nodeOf(m, arg(args, 0));
    if (n != nullptr && c != nullptr && c != n) {
        detach(c);
        c->parentObj = n;
        n->children.push_back(c);
    }
    return Value();
}

Value removeNodeM(Machine& m, Value self, Args) {
    if (Object* n = nodeOf(m, self)) {
        detach(n);
    }
    return Value();
}

Value createElementM(Machine& m, Value, Args args) {
    return Value::obj(newNode(m, kElementNode, m.toString(arg(args, 0))));
}

Value createTextNodeM(Machine& m, Value, Args args) {
    return Value::obj(newNode(m, kTextNode, m.toString(arg(args, 0))));
}

} // namespace

void installXmlDocumentClasses(Machine& m) {
    ClassInfo* node = m.defineNativeClass("flash.xml", "XMLNode", m.objectClass);
    node->nativeInit = nodeInit;
    const std::pair<const char*, NativeFn> getters[] = {
        {"nodeType", nodeTypeG},          {"nodeName", nodeNameG},      {"nodeValue", nodeValueG},
        {"attributes", attributesG},      {"childNodes", childNodesG},  {"parentNode", parentNodeG},
        {"firstChild", siblingG<0>},      {"nextSibling", siblingG<1>}, {"lastChild", siblingG<2>},
        {"previousSibling", siblingG<3>}, {"localName", localNameG},    {"prefix", prefixG},
        {"namespaceURI", namespaceUriG},
    };
    for (const auto& [name, fn] : getters) {
        m.defineGetter(node, name, fn);
    }
    const std::pair<const char*, NativeFn> methods[] = {
        {"toString", toStringM},
        {"getNamespaceForPrefix", namespaceForPrefixM},
        {"getPrefixForNamespace", prefixForNamespaceM},
        {"hasChildNodes", hasChildNodesM},
        {"appendChild", appendChildM},
        {"removeNode", removeNodeM},
    };
    for (const auto& [name, fn] : methods) {
        m.defineMethod(node, name, fn);
    }
    ClassInfo* document = m.defineNativeClass("flash.xml", "XMLDocument", node);
    document->sealed = false;
    document->nativeInit = documentInit;
    m.defineMethod(document, "parseXML", parseXmlM, 1);
    m.defineMethod(document, "createElement", createElementM, 1);
    m.defineMethod(document, "createTextNode", createTextNodeM, 1);
    ClassInfo* type = m.defineNativeClass("flash.xml", "XMLNodeType", m.objectClass);
    m.defineConstant(type, "ELEMENT_NODE", Value::integer(kElementNode));
    m.defineConstant(type, "TEXT_NODE", Value::integer(kTextNode));
}

} // namespace kinovex::flash::avm2
