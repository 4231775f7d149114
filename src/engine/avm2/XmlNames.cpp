// Names in E4X: the QName class, Namespace objects made by scripts (with their prefix), and the
// methods of an XML object about its name and namespaces.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/XmlNode.h"

#include <algorithm>

namespace kinovex::flash::avm2 {

namespace {

bool isQName(Machine& m, const Value& v) {
    return v.isObject() && v.o->cls == m.builtin("QName") && v.o->xml != nullptr;
}

bool isNamespace(const Value& v) {
    return v.isObject() && v.o->kind == ObjKind::Namespace && v.o->ns != nullptr;
}

// A Namespace object; its prefix is kept as its primitive (undefined: none known).
Object* newNamespace(Machine& m, const std::string& uri, const Value& prefix) {
    Object* o = m.newObject(m.namespaceClass);
    o->kind = ObjKind::Namespace;
    o->ns = m.internNs(abc::NamespaceKind::Namespace, uri);
    o->primitive = prefix;
    return o;
}

bool isXmlNameText(const std::string& s) {
    const auto letter = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
               static_cast<unsigned char>(c) >= 0x80;
    };
    if (s.empty()) {
        return true;
    }
    if (!letter(s[0])) {
        return false;
    }
    for (char c : s) {
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '.' && c != '-') {
            return false;
        }
    }
    return true;
}

Value namespaceInit(Machine& m, Value self, Args args) {
    Object* o = self.o;
    o->kind = ObjKind::Namespace;
    const Value a = arg(args, 0);
    std::string uri;
    Value prefix = m.str("");
    if (args.size() == 1) {
        if (isNamespace(a)) {
            uri = a.o->ns->uri;
            prefix = a.o->primitive;
        } else if (isQName(m, a)) {
            uri = a.o->xml->uri;
            prefix = Value();
        } else {
            uri = m.toString(a);
            prefix = uri.empty() ? m.str("") : Value();
        }
    } else if (args.size() >= 2) {
        const Value u = args[1];
        uri = isQName(m, u) ? u.o->xml->uri : (isNamespace(u) ? u.o->ns->uri : m.toString(u));
        const std::string p = isNamespace(a) ? a.o->ns->uri : m.toString(a);
        if (uri.empty() && !(a.isString() && p.empty())) {
            m.throwError("TypeError", 1098, "Illegal prefix " + p + " for no namespace.");
        }
        // A prefix that is no XML name is dropped.
        prefix = a.isNullish() || !isXmlNameText(p) ? Value() : m.str(p);
    }
    o->ns = m.internNs(abc::NamespaceKind::Namespace, uri);
    o->primitive = prefix;
    return Value();
}

// Namespace(v): a namespace stays itself; anything else makes one as `new` does.
Value namespaceCall(Machine& m, Value, Args args) {
    if (args.size() == 1 && isNamespace(args[0])) {
        return args[0];
    }
    return Value::obj(m.constructClass(m.namespaceClass, args));
}

Value namespacePrefix(Machine&, Value self, Args) {
    return self.isObject() && self.o->kind == ObjKind::Namespace ? self.o->primitive : Value();
}

std::string qnameText(const XmlInfo& q) {
    if (q.anyUri) {
        return "*::" + q.local;
    }
    return q.uri.empty() ? q.local : q.uri + "::" + q.local;
}

Value qnameInit(Machine& m, Value self, Args args) {
    auto info = std::make_shared<XmlInfo>();
    const Value last = args.empty() ? Value() : args[args.size() - 1];
    if (args.size() <= 1 && isQName(m, last)) {
        *info = *last.o->xml;
    } else {
        info->local =
            isQName(m, last) ? last.o->xml->local : (last.isUndefined() ? "" : m.toString(last));
        if (args.size() >= 2) {
            const Value ns = args[0];
            info->anyUri = ns.isNull();
            info->uri = ns.isNullish() ? ""
                                       : (isNamespace(ns)
                                              ? ns.o->ns->uri
                                              : (isQName(m, ns) ? ns.o->xml->uri : m.toString(ns)));
        } else {
            info->anyUri = info->local == "*";
            info->uri = info->anyUri ? "" : m.defaultXmlNs;
        }
    }
    self.o->xml = info;
    return Value();
}

Value qnameLocalName(Machine& m, Value self, Args) {
    return isQName(m, self) ? m.str(self.o->xml->local) : Value();
}

Value qnameUri(Machine& m, Value self, Args) {
    if (!isQName(m, self)) {
        return Value();
    }
    return self.o->xml->anyUri ? Value::null() : m.str(self.o->xml->uri);
}

Value qnameToString(Machine& m, Value self, Args) {
    return m.str(isQName(m, self) ? qnameText(*self.o->xml) : "");
}

Value qnameValueOf(Machine&, Value self, Args) {
    return self;
}

Object* single(Machine& m, const Value& self, const char* method) {
    if (isXmlNode(self)) {
        return self.o;
    }
    if (isXmlList(self)) {
        if (self.o->elems.size() != 1) {
            m.throwError("TypeError", 1086,
                         std::string("The ") + method +
                             " method only works on lists containing one item.");
        }
        return self.o->elems[0].o;
    }
    return nullptr;
}

bool isNamed(const Object* x) {
    return x != nullptr &&
           (x->xml->kind == XmlKind::Element || x->xml->kind == XmlKind::Attribute ||
            x->xml->kind == XmlKind::Instruction);
}

Value nameM(Machine& m, Value self, Args) {
    Object* x = single(m, self, "name");
    if (!isNamed(x)) {
        return Value::null();
    }
    Object* q = newQName(m, x->xml->local, x->xml->uri, false);
    q->xml->kind = x->xml->kind == XmlKind::Attribute ? XmlKind::Attribute : XmlKind::Element;
    return Value::obj(q);
}

Value localNameM(Machine& m, Value self, Args) {
    Object* x = single(m, self, "localName");
    return isNamed(x) ? m.str(x->xml->local) : Value::null();
}

Value nodeKindM(Machine& m, Value self, Args) {
    Object* x = single(m, self, "nodeKind");
    if (x == nullptr) {
        return Value();
    }
    static const char* const kKinds[] = {"element", "text", "comment", "processing-instruction",
                                         "attribute"};
    return m.str(kKinds[static_cast<int>(x->xml->kind)]);
}

// The namespaces declared on a node and around it, innermost first, those a declaration further
// in hides left out.
std::vector<XmlNsDecl> inScope(const Object* x) {
    std::vector<XmlNsDecl> out;
    for (const Object* at = x; at != nullptr; at = at->parentObj) {
        for (const XmlNsDecl& d : at->xml->decls) {
            const bool hidden = std::any_of(
                out.begin(), out.end(), [&d](const XmlNsDecl& o) { return o.prefix == d.prefix; });
            if (!hidden) {
                out.push_back(d);
            }
        }
    }
    return out;
}

// The prefix of a node's namespace in the declarations around it (the node's own prefix
// first); undefined where none declares it.
Value prefixOf(Machine& m, const Object* x) {
    const std::vector<XmlNsDecl> scope = inScope(x);
    const XmlNsDecl* found = nullptr;
    for (const XmlNsDecl& d : scope) {
        if (d.uri == x->xml->uri && (found == nullptr || d.prefix == x->xml->prefix)) {
            found = &d;
        }
    }
    if (found != nullptr) {
        return m.str(found->prefix);
    }
    return x->xml->uri.empty() ? m.str("") : Value();
}

Value namespaceM(Machine& m, Value self, Args args) {
    Object* x = single(m, self, "namespace");
    if (x == nullptr) {
        return Value();
    }
    if (!args.empty()) {
        const std::string prefix = m.toString(args[0]);
        for (const XmlNsDecl& d : inScope(x)) {
            if (d.prefix == prefix) {
                return Value::obj(newNamespace(m, d.uri, m.str(d.prefix)));
            }
        }
        return Value();
    }
    if (x->xml->kind == XmlKind::Text || x->xml->kind == XmlKind::Comment ||
        x->xml->kind == XmlKind::Instruction) {
        return Value::null();
    }
    return Value::obj(newNamespace(m, x->xml->uri, prefixOf(m, x)));
}

Value setNameM(Machine& m, Value self, Args args) {
    Object* x = single(m, self, "setName");
    if (!isNamed(x)) {
        return Value();
    }
    const Value a = arg(args, 0);
    x->xml->prefix.clear();
    if (isQName(m, a)) {
        x->xml->local = a.o->xml->local;
        x->xml->uri = a.o->xml->uri;
    } else {
        x->xml->local = m.toString(a);
        x->xml->uri.clear();
    }
    return Value();
}

Value setLocalNameM(Machine& m, Value self, Args args) {
    Object* x = single(m, self, "setLocalName");
    if (isNamed(x)) {
        const Value a = arg(args, 0);
        x->xml->local = isQName(m, a) ? a.o->xml->local : m.toString(a);
    }
    return Value();
}

Value namespaceDeclarationsM(Machine& m, Value self, Args) {
    Object* x = single(m, self, "namespaceDeclarations");
    std::vector<Value> out;
    if (x != nullptr) {
        for (const XmlNsDecl& d : x->xml->decls) {
            out.push_back(Value::obj(newNamespace(m, d.uri, m.str(d.prefix))));
        }
    }
    return Value::obj(m.newArray(std::move(out)));
}

Value inScopeNamespacesM(Machine& m, Value self, Args) {
    Object* x = single(m, self, "inScopeNamespaces");
    std::vector<Value> out;
    for (const XmlNsDecl& d : inScope(x)) {
        out.push_back(Value::obj(newNamespace(m, d.uri, m.str(d.prefix))));
    }
    if (out.empty()) {
        out.push_back(Value::obj(newNamespace(m, "", m.str(""))));
    }
    return Value::obj(m.newArray(std::move(out)));
}

Object* namespaceArg(Machine& m, const Value& v) {
    if (isNamespace(v)) {
        return v.o;
    }
    Value a[1] = {v};
    return m.constructClass(m.namespaceClass, Args(a, 1));
}

// Declares a namespace on the node, in place of one of the same prefix; the node and its
// attributes that had that prefix for another namespace lose it.
Value addNamespaceM(Machine& m, Value self, Args args) {
    Object* x = single(m, self, "addNamespace");
    const Object* ns = namespaceArg(m, arg(args, 0));
    if (x == nullptr || x->xml->kind != XmlKind::Element || !ns->primitive.isString()) {
        return self;
    }
    const XmlNsDecl decl{ns->primitive.s->s, ns->ns->uri};
    if (x->xml->prefix == decl.prefix && x->xml->uri != decl.uri) {
        x->xml->prefix.clear();
    }
    for (Object* a : x->keyObjects) {
        if (a->xml->prefix == decl.prefix && a->xml->uri != decl.uri) {
            a->xml->prefix.clear();
        }
    }
    for (XmlNsDecl& d : x->xml->decls) {
        if (d.prefix == decl.prefix) {
            d.uri = decl.uri;
            return self;
        }
    }
    x->xml->decls.push_back(decl);
    return self;
}

// Drops the declaration of a namespace from the node and those under it, where their names do
// not use it.
void removeNamespace(Machine& m, Object* x, const std::string& uri, const Value& prefix) {
    const NativeDepth depth(m);
    if (x->xml->kind != XmlKind::Element) {
        return;
    }
    bool used = x->xml->uri == uri;
    for (const Object* a : x->keyObjects) {
        used = used || a->xml->uri == uri;
    }
    if (!used) {
        std::erase_if(x->xml->decls, [&](const XmlNsDecl& d) {
            return d.uri == uri && (!prefix.isString() || prefix.s->s == d.prefix);
        });
    }
    for (Object* c : x->children) {
        removeNamespace(m, c, uri, prefix);
    }
}

Value removeNamespaceM(Machine& m, Value self, Args args) {
    Object* x = single(m, self, "removeNamespace");
    const Object* ns = namespaceArg(m, arg(args, 0));
    if (x != nullptr) {
        removeNamespace(m, x, ns->ns->uri, ns->primitive);
    }
    return self;
}

Value setNamespaceM(Machine& m, Value self, Args args) {
    Object* x = single(m, self, "setNamespace");
    const Object* ns = namespaceArg(m, arg(args, 0));
    if (isNamed(x)) {
        x->xml->uri = ns->ns->uri;
        x->xml->prefix = ns->primitive.isString() ? ns->primitive.s->s : std::string();
    }
    return Value();
}

Value insertChild(Machine& m, const Value& self, const Value& v, bool atEnd, const char* what) {
    Object* x = single(m, self, what);
    if (x == nullptr || x->xml->kind != XmlKind::Element) {
        return self;
    }
    std::vector<Object*> nodes;
    if (isXmlObject(v)) {
        for (const Value& item : isXmlNode(v) ? std::vector<Value>{v} : v.o->elems) {
            nodes.push_back(item.o);
        }
    } else {
        Object* t = newXmlNode(m, XmlKind::Text);
        t->xml->text = m.toString(v);
        nodes.push_back(t);
    }
    for (Object* n : nodes) {
        n->parentObj = x;
    }
    x->children.insert(atEnd ? x->children.end() : x->children.begin(), nodes.begin(), nodes.end());
    return self;
}

Value appendChildM(Machine& m, Value self, Args args) {
    return insertChild(m, self, arg(args, 0), true, "appendChild");
}

Value prependChildM(Machine& m, Value self, Args args) {
    return insertChild(m, self, arg(args, 0), false, "prependChild");
}

Value childIndexM(Machine& m, Value self, Args) {
    Object* x = single(m, self, "childIndex");
    if (x == nullptr || x->parentObj == nullptr || x->xml->kind == XmlKind::Attribute) {
        return Value::integer(-1);
    }
    const auto& kids = x->parentObj->children;
    const auto it = std::find(kids.begin(), kids.end(), x);
    return Value::integer(it == kids.end() ? -1 : static_cast<std::int32_t>(it - kids.begin()));
}

} // namespace

Object* newQName(Machine& m, const std::string& local, const std::string& uri, bool anyUri) {
    Object* q = m.newObject(m.builtin("QName"));
    q->xml = std::make_shared<XmlInfo>();
    q->xml->local = local;
    q->xml->uri = uri;
    q->xml->anyUri = anyUri;
    return q;
}

void defineXmlMethods(Machine& m, ClassInfo* xml, ClassInfo* list,
                      std::span<const std::pair<const char*, NativeFn>> methods) {
    for (ClassInfo* c : {xml, list}) {
        for (const auto& [name, fn] : methods) {
            m.defineMethod(c, name, fn);
            c->prototype->setDyn(name, Value::obj(m.newNativeFunction(fn, name)));
            c->prototype->dyn.back().enumerable = false;
        }
    }
}

void installXmlMethods(Machine& m, ClassInfo* xml, ClassInfo* list) {
    ClassInfo* qname = m.defineNativeClass("", "QName", m.objectClass);
    qname->nativeInit = qnameInit;
    m.defineGetter(qname, "localName", qnameLocalName);
    m.defineGetter(qname, "uri", qnameUri);
    for (const auto& [name, fn] : {std::pair<const char*, NativeFn>{"toString", qnameToString},
                                   std::pair<const char*, NativeFn>{"valueOf", qnameValueOf}}) {
        m.defineMethod(qname, name, fn);
        qname->prototype->setDyn(name, Value::obj(m.newNativeFunction(fn, name)));
        qname->prototype->dyn.back().enumerable = false;
    }
    m.namespaceClass->nativeInit = namespaceInit;
    m.namespaceClass->callAsFunction = namespaceCall;
    m.defineGetter(m.namespaceClass, "prefix", namespacePrefix);
    const std::pair<const char*, NativeFn> methods[] = {
        {"name", nameM},
        {"localName", localNameM},
        {"nodeKind", nodeKindM},
        {"namespace", namespaceM},
        {"setName", setNameM},
        {"setLocalName", setLocalNameM},
        {"namespaceDeclarations", namespaceDeclarationsM},
        {"inScopeNamespaces", inScopeNamespacesM},
        {"appendChild", appendChildM},
        {"prependChild", prependChildM},
        {"childIndex", childIndexM},
        {"addNamespace", addNamespaceM},
        {"removeNamespace", removeNamespaceM},
        {"setNamespace", setNamespaceM},
    };
    defineXmlMethods(m, xml, list, methods);
}

} // namespace kinovex::flash::avm2
