// == with an XML or XMLList operand: lists compare item by item (a list of one as its item),
// nodes of simple content by their text, elements by name, attributes and children.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/XmlNode.h"

namespace kinovex::flash::avm2 {

namespace {

bool sameNode(Machine& m, const Object* x, const Object* y);

bool sameAttributes(const Object* x, const Object* y) {
    if (x->keyObjects.size() != y->keyObjects.size()) {
        return false;
    }
    for (const Object* a : x->keyObjects) {
        bool found = false;
        for (const Object* b : y->keyObjects) {
            found = found || (a->xml->local == b->xml->local && a->xml->uri == b->xml->uri &&
                              a->xml->text == b->xml->text);
        }
        if (!found) {
            return false;
        }
    }
    return true;
}

bool sameNode(Machine& m, const Object* x, const Object* y) {
    const NativeDepth depth(m);
    const XmlInfo& a = *x->xml;
    const XmlInfo& b = *y->xml;
    if (a.kind != b.kind || a.local != b.local || a.uri != b.uri) {
        return false;
    }
    if (a.kind != XmlKind::Element) {
        return a.text == b.text;
    }
    if (!sameAttributes(x, y) || x->children.size() != y->children.size()) {
        return false;
    }
    for (std::size_t i = 0; i < x->children.size(); ++i) {
        if (!sameNode(m, x->children[i], y->children[i])) {
            return false;
        }
    }
    return true;
}

bool isTextLike(const Object* x) {
    return x->xml->kind == XmlKind::Text || x->xml->kind == XmlKind::Attribute;
}

bool listEquals(Machine& m, Object* list, const Value& other) {
    const auto& items = list->elems;
    if (other.isUndefined() && items.empty()) {
        return true;
    }
    if (isXmlList(other)) {
        const auto& others = other.o->elems;
        if (items.size() != others.size()) {
            return false;
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!m.looseEquals(items[i], others[i])) {
                return false;
            }
        }
        return true;
    }
    return items.size() == 1 && m.looseEquals(items[0], other);
}

} // namespace

bool xmlLooseEquals(Machine& m, const Value& a, const Value& b) {
    if (isXmlList(a)) {
        return listEquals(m, a.o, b);
    }
    if (isXmlList(b)) {
        return listEquals(m, b.o, a);
    }
    if (isXmlNode(a) && isXmlNode(b)) {
        if ((isTextLike(a.o) && hasSimpleContent(b.o)) ||
            (isTextLike(b.o) && hasSimpleContent(a.o))) {
            return xmlNodeText(m, a.o) == xmlNodeText(m, b.o);
        }
        return sameNode(m, a.o, b.o);
    }
    const Value& node = isXmlNode(a) ? a : b;
    const Value& other = isXmlNode(a) ? b : a;
    if (other.isNullish()) {
        return false;
    }
    if (hasSimpleContent(node.o)) {
        return xmlNodeText(m, node.o) == m.toString(other);
    }
    return m.looseEquals(m.str(xmlNodeText(m, node.o)), other);
}

} // namespace kinovex::flash::avm2
