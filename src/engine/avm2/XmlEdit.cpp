// Changing an XML object's children through its methods (insertChildAfter, insertChildBefore,
// replace, setChildren, normalize), contains, and the XML class's settings as one object.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/XmlNode.h"

#include <algorithm>

namespace kinovex::flash::avm2 {

namespace {

// The element a method of one node works on, or null (a list must hold exactly one node).
Object* element(Machine& m, const Value& self, const char* method) {
    Object* x = nullptr;
    if (isXmlNode(self)) {
        x = self.o;
    } else if (isXmlList(self)) {
        if (self.o->elems.size() != 1) {
            m.throwError("TypeError", 1086,
                         std::string("The ") + method +
                             " method only works on lists containing one item.");
        }
        x = self.o->elems[0].o;
    }
    return x != nullptr && x->xml->kind == XmlKind::Element ? x : nullptr;
}

// The nodes a value stands for as children of `parent`: XML ones themselves (moved), anything
// else as one text node.
std::vector<Object*> nodesFor(Machine& m, Object* parent, const Value& v) {
    std::vector<Object*> nodes;
    if (isXmlNode(v)) {
        nodes.push_back(v.o);
    } else if (isXmlList(v)) {
        for (const Value& item : v.o->elems) {
            nodes.push_back(item.o);
        }
    } else {
        Object* t = newXmlNode(m, XmlKind::Text);
        t->xml->text = m.toString(v);
        nodes.push_back(t);
    }
    for (Object* n : nodes) {
        n->parentObj = parent;
    }
    return nodes;
}

// The place of a child given as XML (or a list of one) among x's children, or -1.
std::ptrdiff_t placeOf(Object* x, const Value& child) {
    const Value one = isXmlList(child) && child.o->elems.size() == 1 ? child.o->elems[0] : child;
    if (!isXmlNode(one)) {
        return -1;
    }
    const auto it = std::find(x->children.begin(), x->children.end(), one.o);
    return it == x->children.end() ? -1 : it - x->children.begin();
}

template <bool After> Value insertChildM(Machine& m, Value self, Args args) {
    Object* x = element(m, self, After ? "insertChildAfter" : "insertChildBefore");
    if (x == nullptr) {
        return Value();
    }
    std::ptrdiff_t at = 0;
    if (arg(args, 0).isNull()) {
        at = After ? 0 : static_cast<std::ptrdiff_t>(x->children.size());
    } else {
        at = placeOf(x, arg(args, 0));
        if (at < 0) {
            return Value();
        }
        at += After ? 1 : 0;
    }
    const std::vector<Object*> nodes = nodesFor(m, x, arg(args, 1));
    x->children.insert(x->children.begin() + at, nodes.begin(), nodes.end());
    return self;
}

Value replaceM(Machine& m, Value self, Args args) {
    Object* x = element(m, self, "replace");
    if (x == nullptr) {
        return self;
    }
    const Value which = arg(args, 0);
    auto& kids = x->children;
    std::ptrdiff_t first = -1;
    if (which.isNumeric()) {
        const double i = which.num();
        first =
            i >= 0 && i < static_cast<double>(kids.size()) ? static_cast<std::ptrdiff_t>(i) : -1;
    } else {
        Name n;
        n.name = m.toString(which);
        n.nss.push_back(m.publicNs());
        n.objectKey = which.isObject() ? which.o : nullptr;
        n = xmlName(m, n);
        for (std::size_t i = kids.size(); i-- > 0;) {
            if (xmlNameMatches(n, *kids[i]->xml)) {
                if (first >= 0) {
                    kids.erase(kids.begin() + first);
                }
                first = static_cast<std::ptrdiff_t>(i);
            }
        }
    }
    if (first >= 0) {
        const std::vector<Object*> nodes = nodesFor(m, x, arg(args, 1));
        kids.erase(kids.begin() + first);
        kids.insert(kids.begin() + first, nodes.begin(), nodes.end());
    }
    return self;
}

Value setChildrenM(Machine& m, Value self, Args args) {
    if (Object* x = element(m, self, "setChildren")) {
        x->children = nodesFor(m, x, arg(args, 0));
    }
    return self;
}

// Adjacent text nodes joined, empty ones dropped, all the way down.
void normalize(Machine& m, Object* x) {
    const NativeDepth depth(m);
    auto& kids = x->children;
    for (std::size_t i = 0; i < kids.size();) {
        XmlInfo& info = *kids[i]->xml;
        if (info.kind == XmlKind::Element) {
            normalize(m, kids[i++]);
            continue;
        }
        if (info.kind == XmlKind::Text && i + 1 < kids.size() &&
            kids[i + 1]->xml->kind == XmlKind::Text) {
            info.text += kids[i + 1]->xml->text;
            kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            continue;
        }
        if (info.kind == XmlKind::Text && info.text.empty()) {
            kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        ++i;
    }
}

Value normalizeM(Machine& m, Value self, Args) {
    for (const Value& item : isXmlList(self) ? self.o->elems : std::vector<Value>{self}) {
        if (isXmlNode(item) && item.o->xml->kind == XmlKind::Element) {
            normalize(m, item.o);
        }
    }
    return self;
}

Value containsM(Machine& m, Value self, Args args) {
    for (const Value& item : isXmlList(self) ? self.o->elems : std::vector<Value>{self}) {
        if (isXmlNode(item) && m.looseEquals(item, arg(args, 0))) {
            return Value::boolean(true);
        }
    }
    return Value::boolean(false);
}

constexpr const char* kFlags[] = {"ignoreComments", "ignoreProcessingInstructions",
                                  "ignoreWhitespace", "prettyPrinting"};

Object* settingsObject(Machine& m, Object* from) {
    Object* o = m.newPlainObject();
    for (const char* flag : kFlags) {
        const DynProp* p = from != nullptr ? from->findDyn(flag) : nullptr;
        o->setDyn(flag, p != nullptr ? p->value : Value::boolean(true));
    }
    const DynProp* indent = from != nullptr ? from->findDyn("prettyIndent") : nullptr;
    o->setDyn("prettyIndent", indent != nullptr ? indent->value : Value::integer(2));
    return o;
}

Value settingsM(Machine& m, Value self, Args) {
    return Value::obj(settingsObject(m, self.isObject() ? self.o : nullptr));
}

Value defaultSettingsM(Machine& m, Value, Args) {
    return Value::obj(settingsObject(m, nullptr));
}

// Takes the settings an object gives (of the right type); none at all: the defaults.
Value setSettingsM(Machine& m, Value self, Args args) {
    const Value given = arg(args, 0);
    if (!self.isObject()) {
        return Value();
    }
    Object* cls = self.o;
    Object* from = given.isObject() ? given.o : settingsObject(m, nullptr);
    for (const char* flag : kFlags) {
        const Value v = m.get(Value::obj(from), flag);
        if (v.kind == Kind::Boolean) {
            cls->setDyn(flag, v);
        }
    }
    const Value indent = m.get(Value::obj(from), "prettyIndent");
    if (indent.isNumeric()) {
        cls->setDyn("prettyIndent", indent);
    }
    return Value();
}

} // namespace

void installXmlEditMethods(Machine& m, ClassInfo* xml, ClassInfo* list) {
    const std::pair<const char*, NativeFn> methods[] = {
        {"insertChildAfter", insertChildM<true>},
        {"insertChildBefore", insertChildM<false>},
        {"replace", replaceM},
        {"setChildren", setChildrenM},
        {"normalize", normalizeM},
        {"contains", containsM},
    };
    defineXmlMethods(m, xml, list, methods);
    m.defineStatic(xml, "settings", settingsM);
    m.defineStatic(xml, "setSettings", setSettingsM, 1);
    m.defineStatic(xml, "defaultSettings", defaultSettingsM);
}

} // namespace kinovex::flash::avm2
