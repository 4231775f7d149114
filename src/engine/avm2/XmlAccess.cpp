// E4X property access: reading, writing, testing and deleting the children and attributes of XML
// objects and of the XML objects an XMLList holds, and the descendants operator.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/XmlNode.h"

#include <algorithm>

namespace kinovex::flash::avm2 {

namespace {

std::int64_t listIndex(const Name& name) {
    const std::string& s = name.name;
    if (name.attribute || s.empty() || s.size() > 10 || (s.size() > 1 && s[0] == '0')) {
        return -1;
    }
    std::int64_t n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return -1;
        }
        n = n * 10 + (c - '0');
    }
    return n;
}

bool isElement(const Object* o) {
    return o->xml->kind == XmlKind::Element;
}

void collect(Object* x, const Name& n, std::vector<Value>& out) {
    if (!isElement(x)) {
        return;
    }
    if (n.attribute) {
        for (Object* a : x->keyObjects) {
            if (xmlNameMatches(n, *a->xml)) {
                out.push_back(Value::obj(a));
            }
        }
        return;
    }
    for (Object* c : x->children) {
        if (xmlNameMatches(n, *c->xml)) {
            out.push_back(Value::obj(c));
        }
    }
}

// The namespace a new element or attribute of that name goes in: the name's own when it gives
// exactly one that is not public.
std::string uriForNew(const Name& n) {
    if (n.nss.size() == 1 && !n.anyNs && !n.nss[0]->isPublic()) {
        return n.nss[0]->uri;
    }
    return {};
}

std::string valueText(Machine& m, const Value& v) {
    if (isXmlList(v)) {
        std::string s;
        for (std::size_t i = 0; i < v.o->elems.size(); ++i) {
            s += (i == 0 ? "" : " ") + m.toString(v.o->elems[i]);
        }
        return s;
    }
    return m.toString(v);
}

void setAttribute(Machine& m, Object* x, const Name& n, const Value& v) {
    const std::string text = valueText(m, v);
    bool done = false;
    auto& attrs = x->keyObjects;
    for (std::size_t i = 0; i < attrs.size();) {
        if (xmlNameMatches(n, *attrs[i]->xml)) {
            if (done) {
                attrs.erase(attrs.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            attrs[i]->xml->text = text;
            done = true;
        }
        ++i;
    }
    if (!done) {
        Object* a = newXmlNode(m, XmlKind::Attribute);
        a->xml->local = n.name;
        a->xml->uri = uriForNew(n);
        a->xml->text = text;
        a->parentObj = x;
        attrs.push_back(a);
    }
}

// The nodes a value assigned as a child's content stands for.
std::vector<Object*> contentOf(Machine& m, Object* parent, const Value& v) {
    std::vector<Object*> nodes;
    if (isXmlNode(v) || isXmlList(v)) {
        const std::vector<Value> items = isXmlNode(v) ? std::vector<Value>{v} : v.o->elems;
        for (const Value& item : items) {
            nodes.push_back(copyXml(m, item.o, parent));
        }
        return nodes;
    }
    Object* t = newXmlNode(m, XmlKind::Text);
    t->xml->text = m.toString(v);
    t->parentObj = parent;
    nodes.push_back(t);
    return nodes;
}

void setChild(Machine& m, Object* x, const Name& n, const Value& v) {
    auto& kids = x->children;
    std::size_t first = kids.size();
    for (std::size_t i = 0; i < kids.size();) {
        if (xmlNameMatches(n, *kids[i]->xml)) {
            if (first == kids.size()) {
                first = i++;
                continue;
            }
            kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        ++i;
    }
    if (isXmlNode(v) && isElement(v.o)) {
        Object* c = copyXml(m, v.o, x);
        if (first == kids.size()) {
            kids.push_back(c);
        } else {
            kids[first] = c;
        }
        return;
    }
    if (first == kids.size()) {
        Object* el = newXmlNode(m, XmlKind::Element);
        el->xml->local = n.anyName ? "*" : n.name;
        el->xml->uri = uriForNew(n);
        el->parentObj = x;
        kids.push_back(el);
    }
    kids[first]->children = contentOf(m, kids[first], v);
}

// list[n] = v past the end of a list read from an element: the element gets a child (or an
// attribute) of the name the list was read by, after the list's last item that is its child.
void appendToTarget(Machine& m, Object* list, Object* target, const Value& v) {
    const XmlInfo& wanted = *list->xml;
    if (target->xml->kind != XmlKind::Element || wanted.local == "*") {
        return;
    }
    Name n;
    n.name = wanted.local;
    n.attribute = wanted.kind == XmlKind::Attribute;
    n.nss.push_back(m.internNs(abc::NamespaceKind::Namespace, wanted.uri));
    if (n.attribute) {
        setAttribute(m, target, n, v);
        return;
    }
    auto& kids = target->children;
    auto at = kids.end();
    for (auto it = list->elems.rbegin(); it != list->elems.rend() && at == kids.end(); ++it) {
        const auto found = std::find(kids.begin(), kids.end(), it->o);
        at = found == kids.end() ? at : found + 1;
    }
    Object* child = nullptr;
    if (isXmlNode(v) && v.o->xml->kind == XmlKind::Element) {
        child = copyXml(m, v.o, target);
    } else {
        child = newXmlNode(m, XmlKind::Element);
        child->xml->local = wanted.local;
        child->xml->uri = wanted.uri;
        child->parentObj = target;
        child->children = contentOf(m, child, v);
    }
    kids.insert(at, child);
    list->elems.push_back(Value::obj(child));
}

void setListItem(Machine& m, Object* list, std::size_t i, const Value& v) {
    std::vector<Value> items;
    if (isXmlList(v)) {
        items = v.o->elems;
    } else if (isXmlNode(v)) {
        items.push_back(v);
    } else {
        Object* t = newXmlNode(m, XmlKind::Text);
        t->xml->text = m.toString(v);
        items.push_back(Value::obj(t));
    }
    auto& e = list->elems;
    if (i >= e.size()) {
        if (Object* target = list->parentObj) {
            appendToTarget(m, list, target, v);
            return;
        }
        e.insert(e.end(), items.begin(), items.end());
        return;
    }
    Object* old = e[i].o;
    const XmlKind kind = old->xml->kind;
    if (kind == XmlKind::Attribute || (kind == XmlKind::Element && !isXmlObject(v))) {
        // An attribute takes the text; an element given anything but XML, its content.
        if (kind == XmlKind::Attribute) {
            old->xml->text = valueText(m, v);
        } else {
            old->children = contentOf(m, old, v);
        }
        return;
    }
    if (Object* parent = old->parentObj; parent != nullptr && !items.empty()) {
        for (Object*& c : parent->children) {
            if (c == old) {
                c = items[0].o;
                items[0].o->parentObj = parent;
            }
        }
    }
    e.erase(e.begin() + static_cast<std::ptrdiff_t>(i));
    e.insert(e.begin() + static_cast<std::ptrdiff_t>(i), items.begin(), items.end());
}

} // namespace

bool isXmlObject(const Value& v) {
    return isXmlNode(v) || isXmlList(v);
}

Value xmlGetProperty(Machine& m, const Value& obj, const Name& raw) {
    const Name n = xmlName(m, raw);
    const std::int64_t index = listIndex(n);
    if (isXmlNode(obj)) {
        if (index >= 0) {
            return index == 0 ? obj : Value();
        }
        std::vector<Value> out;
        collect(obj.o, n, out);
        Object* list = newXmlList(m, std::move(out));
        // The list remembers where it came from: an index past its end given a value adds
        // a child of that name there.
        list->parentObj = obj.o;
        list->xml = std::make_shared<XmlInfo>();
        list->xml->kind = n.attribute ? XmlKind::Attribute : XmlKind::Element;
        list->xml->local = n.anyName ? "*" : n.name;
        list->xml->uri = uriForNew(n);
        return Value::obj(list);
    }
    const auto& items = obj.o->elems;
    if (index >= 0) {
        return static_cast<std::size_t>(index) < items.size()
                   ? items[static_cast<std::size_t>(index)]
                   : Value();
    }
    std::vector<Value> out;
    for (const Value& item : items) {
        collect(item.o, n, out);
    }
    return Value::obj(newXmlList(m, std::move(out)));
}

void xmlSetProperty(Machine& m, const Value& obj, const Name& raw, const Value& v) {
    const Name n = xmlName(m, raw);
    const std::int64_t index = listIndex(n);
    Object* target = obj.o;
    if (isXmlList(obj)) {
        if (index >= 0) {
            setListItem(m, target, static_cast<std::size_t>(index), v);
            return;
        }
        if (target->elems.size() != 1) {
            return;
        }
        target = target->elems[0].o;
    }
    if (!isElement(target)) {
        return;
    }
    if (index >= 0) {
        m.throwError("TypeError", 1087, "Assignment to indexed XML is not allowed.");
    }
    if (n.attribute) {
        setAttribute(m, target, n, v);
    } else {
        setChild(m, target, n, v);
    }
}

bool xmlHasProperty(Machine& m, const Value& obj, const Name& raw) {
    const Name n = xmlName(m, raw);
    const std::int64_t index = listIndex(n);
    if (index >= 0) {
        return isXmlNode(obj) ? index == 0 : static_cast<std::size_t>(index) < obj.o->elems.size();
    }
    const Value found = xmlGetProperty(m, obj, n);
    return isXmlList(found) && !found.o->elems.empty();
}

bool xmlDeleteProperty(Machine& m, const Value& obj, const Name& raw) {
    const Name n = xmlName(m, raw);
    const std::int64_t index = listIndex(n);
    if (isXmlList(obj) && index >= 0) {
        auto& e = obj.o->elems;
        if (static_cast<std::size_t>(index) < e.size()) {
            Object* item = e[static_cast<std::size_t>(index)].o;
            if (Object* parent = item->parentObj) {
                std::erase(parent->children, item);
                std::erase(parent->keyObjects, item);
                item->parentObj = nullptr;
            }
            e.erase(e.begin() + index);
        }
        return true;
    }
    const Value found = xmlGetProperty(m, obj, n);
    if (isXmlList(found)) {
        for (const Value& item : found.o->elems) {
            if (Object* parent = item.o->parentObj) {
                std::erase(parent->children, item.o);
                std::erase(parent->keyObjects, item.o);
                item.o->parentObj = nullptr;
            }
        }
    }
    return true;
}

Value xmlConcat(Machine& m, const Value& a, const Value& b) {
    std::vector<Value> items;
    for (const Value& side : {a, b}) {
        if (isXmlNode(side)) {
            items.push_back(side);
        } else {
            items.insert(items.end(), side.o->elems.begin(), side.o->elems.end());
        }
    }
    return Value::obj(newXmlList(m, std::move(items)));
}

Value xmlCallProperty(Machine& m, const Value& obj, const Name& name, Args args) {
    for (Object* p = obj.o->proto; p != nullptr; p = p->proto) {
        if (const DynProp* d = p->findDyn(name.name)) {
            if (d->value.isObject() && d->value.o->kind == ObjKind::Function) {
                return m.call(d->value, obj, args);
            }
        }
    }
    if (isXmlList(obj) && obj.o->elems.size() == 1) {
        return m.callProperty(obj.o->elems[0], name, args);
    }
    const auto& items = obj.o->elems;
    const bool simple = isXmlNode(obj)
                            ? hasSimpleContent(obj.o)
                            : std::none_of(items.begin(), items.end(), [](const Value& v) {
                                  return v.o->xml->kind == XmlKind::Element;
                              });
    if (simple && m.hasProperty(m.str(""), name)) {
        return m.callProperty(m.str(xmlToText(m, obj)), name, args);
    }
    m.throwError("TypeError", 1006, name.name + " is not a function.");
}

void appendDescendants(Machine& m, Object* node, const Name& name, std::vector<Value>& out) {
    const NativeDepth depth(m);
    if (!isElement(node)) {
        return;
    }
    if (name.attribute) {
        collect(node, name, out);
    }
    for (Object* c : node->children) {
        if (!name.attribute && xmlNameMatches(name, *c->xml)) {
            out.push_back(Value::obj(c));
        }
        appendDescendants(m, c, name, out);
    }
}

Value xmlDescendants(Machine& m, const Value& obj, const Name& raw) {
    if (!isXmlObject(obj)) {
        m.throwError("TypeError", 1016,
                     "Descendants operator (..) not supported on type " +
                         m.qualifiedClassName(obj));
    }
    const Name n = xmlName(m, raw);
    std::vector<Value> out;
    if (isXmlNode(obj)) {
        appendDescendants(m, obj.o, n, out);
    } else {
        for (const Value& item : obj.o->elems) {
            appendDescendants(m, item.o, n, out);
        }
    }
    return Value::obj(newXmlList(m, std::move(out)));
}

} // namespace kinovex::flash::avm2
