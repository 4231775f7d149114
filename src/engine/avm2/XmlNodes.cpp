// Making, copying and reading XML nodes: what the XML and XMLList classes and E4X property
// access share.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/XmlNode.h"

namespace kinovex::flash::avm2 {

namespace {

bool flag(Object* cls, const char* name, bool fallback) {
    const DynProp* p = cls != nullptr ? cls->findDyn(name) : nullptr;
    return p != nullptr ? Machine::toBoolean(p->value) : fallback;
}

} // namespace

XmlSettings xmlSettings(Machine& m) {
    XmlSettings s;
    ClassInfo* xml = m.builtin("XML");
    Object* c = xml != nullptr ? xml->classObj : nullptr;
    s.ignoreComments = flag(c, "ignoreComments", true);
    s.ignoreInstructions = flag(c, "ignoreProcessingInstructions", true);
    s.ignoreWhitespace = flag(c, "ignoreWhitespace", true);
    s.prettyPrinting = flag(c, "prettyPrinting", true);
    if (const DynProp* p = c != nullptr ? c->findDyn("prettyIndent") : nullptr) {
        s.prettyIndent = m.toInt(p->value);
    }
    return s;
}

Object* newXmlNode(Machine& m, XmlKind kind) {
    Object* o = m.newObject(m.builtin("XML"));
    o->kind = ObjKind::Xml;
    o->xml = std::make_shared<XmlInfo>();
    o->xml->kind = kind;
    return o;
}

Object* newXmlList(Machine& m, std::vector<Value> items) {
    Object* o = m.newObject(m.builtin("XMLList"));
    o->kind = ObjKind::XmlList;
    o->elems = std::move(items);
    return o;
}

Object* copyXml(Machine& m, Object* node, Object* parent) {
    const NativeDepth depth(m);
    Object* c = newXmlNode(m, node->xml->kind);
    *c->xml = *node->xml;
    m.charge(c->xml->text.size() + c->xml->local.size()); // copies of big texts count
    c->parentObj = parent;
    for (Object* a : node->keyObjects) {
        c->keyObjects.push_back(copyXml(m, a, c));
    }
    for (Object* k : node->children) {
        c->children.push_back(copyXml(m, k, c));
    }
    return c;
}

bool hasSimpleContent(const Object* node) {
    const XmlKind k = node->xml->kind;
    if (k == XmlKind::Comment || k == XmlKind::Instruction) {
        return false;
    }
    for (const Object* c : node->children) {
        if (c->xml->kind == XmlKind::Element) {
            return false;
        }
    }
    return true;
}

std::string xmlNodeText(Machine& m, Object* node) {
    const XmlInfo& x = *node->xml;
    if (x.kind == XmlKind::Text || x.kind == XmlKind::Attribute) {
        return x.text;
    }
    if (x.kind != XmlKind::Element || !hasSimpleContent(node)) {
        return xmlToXmlString(m, node);
    }
    std::string s;
    for (const Object* c : node->children) {
        if (c->xml->kind == XmlKind::Text) {
            s += c->xml->text;
        }
    }
    return s;
}

std::string xmlListText(Machine& m, Object* list) {
    if (list->elems.size() == 1) {
        return xmlNodeText(m, list->elems[0].o);
    }
    for (const Value& v : list->elems) {
        if (v.o->xml->kind == XmlKind::Element) {
            return xmlListToXmlString(m, list);
        }
    }
    std::string s;
    for (const Value& v : list->elems) {
        const XmlKind k = v.o->xml->kind;
        if (k != XmlKind::Comment && k != XmlKind::Instruction) {
            s += xmlNodeText(m, v.o);
        }
    }
    return s;
}

Name xmlName(Machine& m, const Name& name) {
    Name n = name;
    n.objectKey = nullptr;
    const Object* q = name.objectKey;
    if (q != nullptr && q->cls == m.builtin("QName") && q->xml != nullptr) {
        n.name = q->xml->local;
        n.attribute = n.attribute || q->xml->kind == XmlKind::Attribute;
        n.anyNs = q->xml->anyUri;
        n.nss.clear();
        if (!n.anyNs) {
            n.nss.push_back(m.internNs(abc::NamespaceKind::Namespace, q->xml->uri));
        }
    } else if (!n.name.empty() && n.name[0] == '@') {
        n.attribute = true;
        n.name.erase(0, 1);
    }
    n.anyName = n.anyName || n.name == "*" || n.name.empty();
    if (q == nullptr && !n.attribute && !n.anyNs && !m.defaultXmlNs.empty()) {
        for (Ns*& ns : n.nss) {
            if (ns->isPublic()) {
                ns = m.internNs(abc::NamespaceKind::Namespace, m.defaultXmlNs);
            }
        }
    }
    return n;
}

bool xmlNameMatches(const Name& n, const XmlInfo& node) {
    const bool attribute = node.kind == XmlKind::Attribute;
    if (n.attribute != attribute) {
        return false;
    }
    // * matches every node, text ones too; a name only elements and attributes.
    if (!n.anyName && (n.name != node.local || node.kind == XmlKind::Text ||
                       node.kind == XmlKind::Comment || node.kind == XmlKind::Instruction)) {
        return false;
    }
    if (n.anyNs || n.nss.empty()) {
        return true;
    }
    if (node.kind != XmlKind::Element && !attribute) {
        return n.hasPublic();
    }
    // A script's own internal or private namespaces name nothing in a document: they stand for
    // no namespace there.
    for (const Ns* ns : n.nss) {
        const bool document =
            ns->kind == abc::NamespaceKind::Package || ns->kind == abc::NamespaceKind::Namespace;
        if ((document ? ns->uri : std::string()) == node.uri) {
            return true;
        }
    }
    return false;
}

std::string xmlToText(Machine& m, const Value& v) {
    return isXmlNode(v) ? xmlNodeText(m, v.o) : xmlListText(m, v.o);
}

std::string xmlToMarkup(Machine& m, const Value& v) {
    return isXmlNode(v) ? xmlToXmlString(m, v.o) : xmlListToXmlString(m, v.o);
}

std::string escapeXmlElementValue(Machine& m, const Value& v) {
    return isXmlObject(v) ? xmlToMarkup(m, v) : escapeXmlText(m.toString(v));
}

std::string escapeXmlAttributeValue(Machine& m, const Value& v) {
    return escapeXmlAttribute(m.toString(v));
}

} // namespace kinovex::flash::avm2
