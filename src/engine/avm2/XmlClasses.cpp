// The XML and XMLList classes: their constructors and conversions, and the methods both share
// (a method of XML called on an XMLList works on each XML object the list holds, or only on a
// list of one).

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/XmlNode.h"

#include <cmath>

namespace kinovex::flash::avm2 {

namespace {

// The XML objects a method works on: the object itself, or those of a list.
std::vector<Object*> nodesOf(const Value& self) {
    std::vector<Object*> out;
    if (isXmlNode(self)) {
        out.push_back(self.o);
    } else if (isXmlList(self)) {
        for (const Value& v : self.o->elems) {
            out.push_back(v.o);
        }
    }
    return out;
}

Name nameArg(Machine& m, const Value& v) {
    Name n;
    n.name = v.isUndefined() ? "*" : m.toString(v);
    n.nss.push_back(m.publicNs());
    if (v.isObject() && v.o->cls == m.builtin("QName")) {
        n.objectKey = v.o;
    }
    return xmlName(m, n);
}

// The node a text makes: its one node, or among several the one element (what else is at top
// level is dropped).
Object* fromText(Machine& m, const std::string& text) {
    std::vector<Object*> nodes = parseXmlNodes(m, text);
    if (nodes.empty()) {
        return newXmlNode(m, XmlKind::Text);
    }
    Object* element = nodes.size() == 1 ? nodes[0] : nullptr;
    for (Object* n : nodes) {
        if (nodes.size() > 1 && n->xml->kind == XmlKind::Element) {
            if (element != nullptr) {
                element = nullptr;
                break;
            }
            element = n;
        }
    }
    if (element == nullptr) {
        m.throwError("TypeError", 1088,
                     "The markup in the document following the root element must be "
                     "well-formed.");
    }
    return element;
}

// XML(v): an XML object stays itself (copied when `copy`), anything else is read as text.
Object* toXml(Machine& m, const Value& v, bool copy) {
    if (v.isNullish()) {
        return newXmlNode(m, XmlKind::Text);
    }
    if (isXmlNode(v)) {
        return copy ? copyXml(m, v.o, nullptr) : v.o;
    }
    if (isXmlList(v)) {
        if (v.o->elems.size() != 1) {
            m.throwError("TypeError", 1088,
                         "The markup in the document following the root element must be "
                         "well-formed.");
        }
        return toXml(m, v.o->elems[0], copy);
    }
    return fromText(m, m.toString(v));
}

std::vector<Value> toListItems(Machine& m, const Value& v, bool copy) {
    std::vector<Value> items;
    if (v.isNullish()) {
        return items;
    }
    if (isXmlList(v) || isXmlNode(v)) {
        for (Object* n : nodesOf(v)) {
            items.push_back(Value::obj(copy ? copyXml(m, n, nullptr) : n));
        }
        return items;
    }
    for (Object* n : parseXmlNodes(m, m.toString(v))) {
        items.push_back(Value::obj(n));
    }
    return items;
}

Value xmlInit(Machine& m, Value self, Args args) {
    Object* built = toXml(m, arg(args, 0), true);
    Object* o = self.o;
    o->xml = built->xml;
    o->children = built->children;
    o->keyObjects = built->keyObjects;
    for (Object* c : o->children) {
        c->parentObj = o;
    }
    for (Object* a : o->keyObjects) {
        a->parentObj = o;
    }
    return Value();
}

Value xmlCall(Machine& m, Value, Args args) {
    return Value::obj(toXml(m, arg(args, 0), false));
}

Value xmlListInit(Machine& m, Value self, Args args) {
    self.o->elems = toListItems(m, arg(args, 0), true);
    return Value();
}

Value xmlListCall(Machine& m, Value, Args args) {
    if (isXmlList(arg(args, 0))) {
        return args[0];
    }
    return Value::obj(newXmlList(m, toListItems(m, arg(args, 0), false)));
}

Value toStringM(Machine& m, Value self, Args) {
    return m.str(isXmlObject(self) ? xmlToText(m, self) : "");
}

Value toXmlStringM(Machine& m, Value self, Args) {
    return m.str(isXmlObject(self) ? xmlToMarkup(m, self) : "");
}

Value valueOfM(Machine&, Value self, Args) {
    return self;
}

Value lengthM(Machine&, Value self, Args) {
    return Value::integer(static_cast<std::int32_t>(nodesOf(self).size()));
}

// The nodes under each node of self that `keep` keeps, as a new list.
template <class Keep> Value gather(Machine& m, const Value& self, bool attributes, Keep keep) {
    std::vector<Value> out;
    for (Object* n : nodesOf(self)) {
        for (Object* c : attributes ? n->keyObjects : n->children) {
            if (keep(c)) {
                out.push_back(Value::obj(c));
            }
        }
    }
    return Value::obj(newXmlList(m, std::move(out)));
}

Value childrenM(Machine& m, Value self, Args) {
    return gather(m, self, false, [](Object*) { return true; });
}

Value attributesM(Machine& m, Value self, Args) {
    return gather(m, self, true, [](Object*) { return true; });
}

Value childM(Machine& m, Value self, Args args) {
    const Value a = arg(args, 0);
    if (a.isNumeric()) {
        std::vector<Value> out;
        for (Object* n : nodesOf(self)) {
            const double i = a.num();
            if (i >= 0 && i < static_cast<double>(n->children.size())) {
                out.push_back(Value::obj(n->children[static_cast<std::size_t>(i)]));
            }
        }
        return Value::obj(newXmlList(m, std::move(out)));
    }
    const Name n = nameArg(m, a);
    const bool attr = n.attribute;
    return gather(m, self, attr, [&n](Object* c) { return xmlNameMatches(n, *c->xml); });
}

Value attributeM(Machine& m, Value self, Args args) {
    Name n = nameArg(m, arg(args, 0));
    n.attribute = true;
    return gather(m, self, true, [&n](Object* c) { return xmlNameMatches(n, *c->xml); });
}

Value elementsM(Machine& m, Value self, Args args) {
    const Name n = nameArg(m, arg(args, 0));
    return gather(m, self, false, [&n](Object* c) {
        return c->xml->kind == XmlKind::Element && xmlNameMatches(n, *c->xml);
    });
}

template <XmlKind K> Value ofKindM(Machine& m, Value self, Args) {
    return gather(m, self, false, [](Object* c) { return c->xml->kind == K; });
}

Value descendantsM(Machine& m, Value self, Args args) {
    const Name n = nameArg(m, arg(args, 0));
    std::vector<Value> out;
    for (Object* x : nodesOf(self)) {
        appendDescendants(m, x, n, out);
    }
    return Value::obj(newXmlList(m, std::move(out)));
}

Value parentM(Machine&, Value self, Args) {
    const std::vector<Object*> nodes = nodesOf(self);
    Object* parent = nodes.empty() ? nullptr : nodes[0]->parentObj;
    for (Object* n : nodes) {
        if (n->parentObj != parent) {
            return Value();
        }
    }
    return parent != nullptr ? Value::obj(parent) : Value();
}

Value copyM(Machine& m, Value self, Args) {
    if (isXmlNode(self)) {
        return Value::obj(copyXml(m, self.o, nullptr));
    }
    return Value::obj(newXmlList(m, toListItems(m, self, true)));
}

Value hasSimpleContentM(Machine&, Value self, Args) {
    const std::vector<Object*> nodes = nodesOf(self);
    if (nodes.size() == 1) {
        return Value::boolean(hasSimpleContent(nodes[0]));
    }
    for (Object* n : nodes) {
        if (n->xml->kind == XmlKind::Element) {
            return Value::boolean(false);
        }
    }
    return Value::boolean(true);
}

Value hasComplexContentM(Machine&, Value self, Args) {
    const std::vector<Object*> nodes = nodesOf(self);
    if (nodes.size() == 1) {
        const Object* n = nodes[0];
        bool any = false;
        for (const Object* c : n->children) {
            any = any || c->xml->kind == XmlKind::Element;
        }
        return Value::boolean(n->xml->kind == XmlKind::Element && any);
    }
    for (Object* n : nodes) {
        if (n->xml->kind == XmlKind::Element) {
            return Value::boolean(true);
        }
    }
    return Value::boolean(false);
}

Value hasOwnPropertyM(Machine& m, Value self, Args args) {
    if (!isXmlObject(self)) {
        return Value::boolean(false);
    }
    Name n;
    n.name = m.toString(arg(args, 0));
    n.nss.push_back(m.publicNs());
    return Value::boolean(xmlHasProperty(m, self, n));
}

Value propertyIsEnumerableM(Machine& m, Value self, Args args) {
    const std::string name = m.toString(arg(args, 0));
    if (isXmlNode(self)) {
        return Value::boolean(name == "0");
    }
    const double i = m.toNumber(arg(args, 0));
    return Value::boolean(isXmlList(self) && i >= 0 &&
                          i < static_cast<double>(self.o->elems.size()) && i == std::trunc(i));
}

} // namespace

void installXmlClasses(Machine& m) {
    ClassInfo* xml = m.defineNativeClass("", "XML", m.objectClass, ObjKind::Xml);
    xml->sealed = false;
    xml->nativeInit = xmlInit;
    xml->callAsFunction = xmlCall;
    ClassInfo* list = m.defineNativeClass("", "XMLList", m.objectClass, ObjKind::XmlList);
    list->sealed = false;
    list->nativeInit = xmlListInit;
    list->callAsFunction = xmlListCall;
    for (const char* flag :
         {"ignoreComments", "ignoreProcessingInstructions", "ignoreWhitespace", "prettyPrinting"}) {
        xml->classObj->setDyn(flag, Value::boolean(true));
        xml->classObj->dyn.back().enumerable = false;
    }
    xml->classObj->setDyn("prettyIndent", Value::integer(2));
    xml->classObj->dyn.back().enumerable = false;
    const std::pair<const char*, NativeFn> shared[] = {
        {"toString", toStringM},
        {"toXMLString", toXmlStringM},
        {"valueOf", valueOfM},
        {"length", lengthM},
        {"children", childrenM},
        {"child", childM},
        {"attributes", attributesM},
        {"attribute", attributeM},
        {"elements", elementsM},
        {"text", ofKindM<XmlKind::Text>},
        {"comments", ofKindM<XmlKind::Comment>},
        {"processingInstructions", ofKindM<XmlKind::Instruction>},
        {"descendants", descendantsM},
        {"parent", parentM},
        {"copy", copyM},
        {"hasSimpleContent", hasSimpleContentM},
        {"hasComplexContent", hasComplexContentM},
        {"hasOwnProperty", hasOwnPropertyM},
        {"propertyIsEnumerable", propertyIsEnumerableM},
    };
    for (ClassInfo* c : {xml, list}) {
        for (const auto& [name, fn] : shared) {
            m.defineMethod(c, name, fn);
            Object* f = m.newNativeFunction(fn, name);
            c->prototype->setDyn(name, Value::obj(f));
            c->prototype->dyn.back().enumerable = false;
        }
    }
    installXmlMethods(m, xml, list);
    installXmlEditMethods(m, xml, list);
}

} // namespace kinovex::flash::avm2
