#include "engine/avm2/Machine.h"

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Utf16Order.h"
#include "engine/avm2/Utf16Text.h"

#include "engine/swf/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unordered_set>

namespace kinovex::flash::avm2 {

// ---- traits and objects ----

namespace {} // namespace

const Trait* Traits::find(const Name& name, const Ns* as3) const {
    auto it = byName.find(name.name);
    if (it == byName.end()) {
        return nullptr;
    }
    // The name's namespaces are tried in their order: the first that has the trait wins.
    for (const Ns* ns : name.nss) {
        for (const Trait& t : it->second) {
            if (t.ns == ns || (ns == as3 && t.ns->isPublic())) {
                return &t;
            }
        }
    }
    return nullptr;
}

const Trait* Traits::findNs(const std::string& name, const Ns* ns) const {
    auto it = byName.find(name);
    if (it == byName.end()) {
        return nullptr;
    }
    for (const Trait& t : it->second) {
        if (t.ns == ns) {
            return &t;
        }
    }
    return nullptr;
}

Trait* Traits::findExact(const std::string& name, const Ns* ns) {
    auto it = byName.find(name);
    if (it == byName.end()) {
        return nullptr;
    }
    for (Trait& t : it->second) {
        if (t.ns == ns) {
            return &t;
        }
    }
    return nullptr;
}

void Object::setDyn(const std::string& name, Value v) {
    auto it = dynIndex.find(name);
    if (it != dynIndex.end()) {
        DynProp& p = dyn[it->second];
        if (p.deleted) {
            // A deleted property comes back at the end of the enumeration order.
            p.deleted = true;
            dynIndex.erase(it);
        } else {
            p.value = v;
            return;
        }
    }
    dynIndex[name] = static_cast<std::uint32_t>(dyn.size());
    dyn.push_back(DynProp{name, v, true, false});
    ++liveDyn;
}

bool Object::deleteDyn(const std::string& name) {
    auto it = dynIndex.find(name);
    if (it == dynIndex.end() || dyn[it->second].deleted) {
        return false;
    }
    dyn[it->second].deleted = true;
    dyn[it->second].value = Value();
    --liveDyn;
    return true;
}

bool ClassInfo::isSubclassOf(const ClassInfo* other) const {
    bool anyInterface = false;
    for (const ClassInfo* c = this; c != nullptr; c = c->super) {
        if (c == other) {
            return true;
        }
        anyInterface = anyInterface || !c->interfaces.empty();
    }
    if (!anyInterface) {
        return false;
    }
    // Interfaces extend several others: walked with a list of their own rather than the native
    // stack, each once, and at most so many, however a block weaves them.
    constexpr std::size_t kMaxVisits = 100000;
    std::vector<const ClassInfo*> work{this};
    std::unordered_set<const ClassInfo*> seen{this};
    while (!work.empty() && seen.size() < kMaxVisits) {
        const ClassInfo* c = work.back();
        work.pop_back();
        if (c == other) {
            return true;
        }
        for (const ClassInfo* next : c->interfaces) {
            if (seen.insert(next).second) {
                work.push_back(next);
            }
        }
        if (c->super != nullptr && seen.insert(c->super).second) {
            work.push_back(c->super);
        }
    }
    return false;
}

// ---- machine ----

Machine::Machine() {
    m_public = internNs(abc::NamespaceKind::Package, "");
    m_as3 = internNs(abc::NamespaceKind::Namespace, "http://adobe.com/AS3/2006/builtin");
    m_builtinGlobal = track(new Object());
    m_builtinGlobal->kind = ObjKind::Global;
    installLanguageClasses(*this);
}

Machine::~Machine() {
    for (Cell* c : m_cells) {
        delete c;
    }
}

void Machine::traceLine(std::string_view line) {
    if (m_trace) {
        m_trace(line.find('\xED') == std::string_view::npos ? std::string(line) : printable(line));
    }
}

String* Machine::newString(std::string s) {
    checkStringLength(s.size());
    charge(sizeof(String) + s.size());
    return track(new String(std::move(s)));
}

void Machine::charge(std::size_t bytes) {
    if (m_charged + bytes > m_heapLimit && !m_outOfMemory) {
        throwOutOfMemory();
    }
    m_charged += bytes;
}

void Machine::checkStringLength(std::size_t length) {
    if (length > std::min(kMaxStringLength, m_heapLimit)) {
        throwOutOfMemory();
    }
}

// The error itself is made without counting: it must not fail for want of memory in turn.
void Machine::throwOutOfMemory() {
    m_outOfMemory = true;
    Value error;
    try {
        error = makeError("Error", 1000, "The system is out of memory.");
    } catch (...) {
        m_outOfMemory = false;
        throw;
    }
    m_outOfMemory = false;
    throw ScriptException{error};
}

void Machine::resizeElements(std::vector<Value>& e, std::size_t n, const Value& fill) {
    if (n > e.size()) {
        charge((n - e.size()) * sizeof(Value));
    }
    e.resize(n, fill);
}

void Machine::initSlots(Object* o, const Traits& t) {
    o->slots.resize(t.slots.size());
    for (std::size_t i = 0; i < t.slots.size(); ++i) {
        o->slots[i] = t.slots[i].initial;
    }
}

Object* Machine::newObject(ClassInfo* cls) {
    charge(sizeof(Object));
    Object* o = track(new Object());
    o->cls = cls;
    if (cls != nullptr) {
        o->kind = cls->instanceKind;
        o->proto = cls->prototype;
        initSlots(o, cls->instanceTraits);
    }
    return o;
}

Object* Machine::newPlainObject() {
    return newObject(objectClass);
}

Object* Machine::newArray(std::vector<Value> elems) {
    charge(elems.size() * sizeof(Value));
    Object* o = newObject(arrayClass);
    o->elems = std::move(elems);
    return o;
}

Object* Machine::newFunction(MethodInfo* m, std::vector<ScopeEntry> scope) {
    Object* o = newObject(functionClass);
    o->kind = ObjKind::Function;
    o->method = m;
    o->scope = std::move(scope);
    // Every function made by newfunction has its own prototype object.
    Object* proto = newPlainObject();
    o->setDyn("prototype", Value::obj(proto));
    o->dyn.back().enumerable = false;
    proto->setDyn("constructor", Value::obj(o));
    proto->dyn.back().enumerable = false;
    return o;
}

Object* Machine::newNativeFunction(NativeFn fn, std::string name, std::uint32_t length) {
    auto m = std::make_unique<MethodInfo>();
    m->native = fn;
    m->name = std::move(name);
    m->paramCount = length;
    MethodInfo* mi = m.get();
    m_methods.push_back(std::move(m));
    Object* o = newObject(functionClass);
    o->kind = ObjKind::Function;
    o->method = mi;
    return o;
}

Object* Machine::methodClosure(MethodInfo* m, Value self, ClassInfo* cls) {
    Object* o = newObject(functionClass);
    o->kind = ObjKind::Function;
    o->method = m;
    o->boundThis = self;
    o->isClosure = true;
    if (cls != nullptr) {
        o->scope = cls->scope;
    } else if (m->scriptGlobal != nullptr) {
        o->scope = {ScopeEntry{Value::obj(m->scriptGlobal), false}};
    }
    return o;
}

void Machine::mark(const Value& v, std::vector<Cell*>& work) {
    if (v.kind == Kind::String) {
        v.s->marked = true;
    } else if (v.kind == Kind::Object && !v.o->marked) {
        v.o->marked = true;
        work.push_back(v.o);
    }
}

void Machine::markObject(Object* o, std::vector<Cell*>& work) {
    if (o != nullptr && !o->marked) {
        o->marked = true;
        work.push_back(o);
    }
}

void Machine::collectGarbage() {
    if (m_depth != 0) {
        return;
    }
    if (m_cells.size() == m_cellsAtLastCollect) {
        // Nothing was made since: the heap is no larger than the last collection left it,
        // and what became garbage meanwhile goes with the next collection after something is
        // made. A frame whose scripts made nothing costs no walk over every object.
        return;
    }
    std::vector<Cell*> work;
    markObject(m_builtinGlobal, work);
    for (const auto& c : m_classes) {
        markObject(c->classObj, work);
        markObject(c->prototype, work);
        for (const ScopeEntry& e : c->scope) {
            mark(e.v, work);
        }
        for (const SlotInfo& s : c->instanceTraits.slots) {
            mark(s.initial, work);
        }
        for (const SlotInfo& s : c->staticTraits.slots) {
            mark(s.initial, work);
        }
    }
    for (const auto& f : m_files) {
        for (Object* g : f->scriptGlobals) {
            markObject(g, work);
        }
    }
    for (const auto& m : m_methods) {
        markObject(m->scriptGlobal, work);
    }
    for (const Value& v : m_stackRoots) {
        mark(v, work);
    }
    if (extraRoots) {
        std::vector<Object*> extra;
        extraRoots(extra);
        for (Object* o : extra) {
            markObject(o, work);
        }
    }
    while (!work.empty()) {
        auto* o = static_cast<Object*>(work.back());
        work.pop_back();
        markObject(o->proto, work);
        for (const Value& v : o->slots) {
            mark(v, work);
        }
        for (const DynProp& p : o->dyn) {
            mark(p.value, work);
        }
        for (const ScopeEntry& e : o->scope) {
            mark(e.v, work);
        }
        mark(o->boundThis, work);
        for (const Value& v : o->elems) {
            mark(v, work);
        }
        mark(o->primitive, work);
        for (const auto& [type, list] : o->listeners) {
            for (const Object::Listener& l : list) {
                markObject(l.fn, work);
            }
        }
        for (Object* c : o->children) {
            markObject(c, work);
        }
        for (Object* k : o->keyObjects) {
            markObject(k, work);
        }
        markObject(o->parentObj, work);
        for (const auto& [frame, fn] : o->frameScripts) {
            markObject(fn, work);
        }
    }
    std::size_t kept = 0;
    m_charged = 0;
    for (Cell* c : m_cells) {
        if (c->marked) {
            c->marked = false;
            m_charged += c->bytes();
            m_cells[kept++] = c;
        } else {
            delete c;
        }
    }
    m_cells.resize(kept);
    m_cellsAtLastCollect = kept;
}

// ---- namespaces and the domain ----

Ns* Machine::internNs(abc::NamespaceKind kind, const std::string& uri) {
    char tag = 'P';
    switch (kind) {
    case abc::NamespaceKind::Private: {
        auto ns = std::make_unique<Ns>();
        ns->kind = kind;
        ns->uri = uri;
        Ns* p = ns.get();
        m_privateNs.push_back(std::move(ns));
        return p;
    }
    case abc::NamespaceKind::PackageInternal:
        tag = 'I';
        break;
    case abc::NamespaceKind::Protected:
        tag = 'T';
        break;
    case abc::NamespaceKind::StaticProtected:
        tag = 'S';
        break;
    case abc::NamespaceKind::Explicit:
        tag = 'E';
        break;
    default:
        break;
    }
    std::string key = std::string(1, tag) + uri;
    auto it = m_nsTable.find(key);
    if (it != m_nsTable.end()) {
        return it->second.get();
    }
    auto ns = std::make_unique<Ns>();
    ns->kind = tag == 'P' ? abc::NamespaceKind::Package : kind;
    ns->uri = uri;
    Ns* p = ns.get();
    m_nsTable.emplace(std::move(key), std::move(ns));
    return p;
}

Name Machine::publicName(std::string name) const {
    Name n;
    n.name = std::move(name);
    n.nss = {m_public};
    return n;
}

std::string Machine::domainKey(const std::string& name, const Ns* ns) const {
    return name + '\n' + std::to_string(reinterpret_cast<std::uintptr_t>(ns));
}

bool Machine::findInDomain(const Name& name, DomainEntry** entry) {
    for (const Ns* ns : name.nss) {
        auto it = m_domain.find(domainKey(name.name, ns));
        if (it == m_domain.end() && ns->kind == abc::NamespaceKind::Namespace) {
            // A namespace a script declares is the package of the same URI.
            it =
                m_domain.find(domainKey(name.name, internNs(abc::NamespaceKind::Package, ns->uri)));
        }
        if (it != m_domain.end()) {
            *entry = &it->second;
            return true;
        }
    }
    return false;
}

Object* Machine::holderOf(DomainEntry& e) {
    if (e.holder != nullptr) {
        return e.holder;
    }
    return ensureScript(*e.file, e.script);
}

Value Machine::findDefinition(const Name& name, bool strict) {
    DomainEntry* e = nullptr;
    if (findInDomain(name, &e)) {
        return Value::obj(holderOf(*e));
    }
    if (m_builtinGlobal->findDyn(name.name) != nullptr && name.hasPublic()) {
        return Value::obj(m_builtinGlobal);
    }
    if (strict) {
        throwError("ReferenceError", 1065, "Variable " + name.name + " is not defined.");
    }
    return Value();
}

ClassInfo* Machine::builtin(const std::string& qualified) const {
    auto it = m_builtins.find(qualified);
    return it == m_builtins.end() ? nullptr : it->second;
}

ClassInfo* Machine::findClass(const std::string& qualified) {
    const Value v = getDefinitionByName(qualified);
    return v.isObject() && v.o->kind == ObjKind::Class ? v.o->classInfo : nullptr;
}

Value Machine::getDefinitionByName(const std::string& qualified) {
    std::string pkg;
    std::string local = qualified;
    auto colons = qualified.rfind("::");
    if (colons != std::string::npos) {
        pkg = qualified.substr(0, colons);
        local = qualified.substr(colons + 2);
    } else if (auto dot = qualified.rfind('.'); dot != std::string::npos) {
        pkg = qualified.substr(0, dot);
        local = qualified.substr(dot + 1);
    }
    Name n;
    n.name = local;
    n.nss = {internNs(abc::NamespaceKind::Package, pkg)};
    DomainEntry* e = nullptr;
    if (!findInDomain(n, &e)) {
        return Value();
    }
    Object* holder = holderOf(*e);
    return getProperty(Value::obj(holder), n);
}

// ---- builtins ----

ClassInfo* Machine::defineNativeClass(const std::string& pkg, const std::string& name,
                                      ClassInfo* super, ObjKind kind) {
    auto owned = std::make_unique<ClassInfo>();
    ClassInfo* c = owned.get();
    m_classes.push_back(std::move(owned));
    c->name = name;
    c->ns = internNs(abc::NamespaceKind::Package, pkg);
    c->super = super;
    c->instanceKind = super != nullptr && kind == ObjKind::Plain ? super->instanceKind : kind;
    c->sealed = true;
    if (super != nullptr) {
        c->instanceTraits = super->instanceTraits;
    }
    c->classObj = track(new Object());
    c->classObj->kind = ObjKind::Class;
    c->classObj->classInfo = c;
    c->classObj->cls = classClass;
    c->classObj->proto = classClass != nullptr ? classClass->prototype : nullptr;
    c->prototype = track(new Object());
    c->prototype->cls = objectClass;
    c->prototype->proto = super != nullptr ? super->prototype : nullptr;
    c->classObj->setDyn("prototype", Value::obj(c->prototype));
    c->classObj->dyn.back().enumerable = false;
    c->prototype->setDyn("constructor", Value::obj(c->classObj));
    c->prototype->dyn.back().enumerable = false;
    c->scope = {ScopeEntry{Value::obj(m_builtinGlobal), false}};
    const std::string qualified = pkg.empty() ? name : pkg + "::" + name;
    m_builtins[qualified] = c;
    if (!pkg.empty()) {
        m_builtins[pkg + "." + name] = c;
    }
    DomainEntry e;
    e.holder = m_builtinGlobal;
    m_domain[domainKey(name, c->ns)] = e;
    // The builtin global holds top-level classes as dynamic properties (found by any public
    // name) and packaged ones under a key only the domain uses.
    if (pkg.empty()) {
        m_builtinGlobal->setDyn(name, Value::obj(c->classObj));
    } else {
        m_builtinGlobal->setDyn(pkg + "::" + name, Value::obj(c->classObj));
    }
    return c;
}

namespace {
MethodInfo* nativeMethod(std::vector<std::unique_ptr<MethodInfo>>& all, NativeFn fn,
                         const std::string& name, std::uint32_t length) {
    auto m = std::make_unique<MethodInfo>();
    m->native = fn;
    m->name = name;
    m->paramCount = length;
    MethodInfo* p = m.get();
    all.push_back(std::move(m));
    return p;
}
} // namespace

void Machine::defineMethod(ClassInfo* cls, const std::string& name, NativeFn fn,
                           std::uint32_t length) {
    MethodInfo* m = nativeMethod(m_methods, fn, name, length);
    m->owner = cls;
    Trait t;
    t.type = Trait::Method;
    t.ns = m_public;
    t.method = m;
    auto& list = cls->instanceTraits.byName[name];
    for (Trait& old : list) {
        if (old.ns == m_public) {
            old = t;
            return;
        }
    }
    list.push_back(t);
}

void Machine::defineStatic(ClassInfo* cls, const std::string& name, NativeFn fn,
                           std::uint32_t length) {
    MethodInfo* m = nativeMethod(m_methods, fn, name, length);
    Trait t;
    t.type = Trait::Method;
    t.ns = m_public;
    t.method = m;
    cls->staticTraits.byName[name].push_back(t);
}

void Machine::defineGetter(ClassInfo* cls, const std::string& name, NativeFn getter,
                           NativeFn setter, bool isStatic) {
    Traits& traits = isStatic ? cls->staticTraits : cls->instanceTraits;
    Trait t;
    t.type = Trait::Accessor;
    t.ns = m_public;
    t.getter = getter != nullptr ? nativeMethod(m_methods, getter, name, 0) : nullptr;
    t.setter = setter != nullptr ? nativeMethod(m_methods, setter, name, 1) : nullptr;
    for (MethodInfo* m : {t.getter, t.setter}) {
        if (m != nullptr) {
            m->owner = cls;
        }
    }
    auto& list = traits.byName[name];
    for (Trait& old : list) {
        if (old.ns == m_public) {
            old = t;
            return;
        }
    }
    list.push_back(t);
}

void Machine::defineConstant(ClassInfo* cls, const std::string& name, Value v) {
    Trait t;
    t.type = Trait::Const;
    t.ns = m_public;
    t.slot = static_cast<std::uint32_t>(cls->staticTraits.slots.size());
    cls->staticTraits.slots.push_back(SlotInfo{"", v, true});
    cls->staticTraits.byName[name].push_back(t);
    cls->classObj->slots.push_back(v);
}

void Machine::defineGlobalFunction(const std::string& pkg, const std::string& name, NativeFn fn,
                                   std::uint32_t length) {
    Object* f = newNativeFunction(fn, name, length);
    if (pkg.empty()) {
        m_builtinGlobal->setDyn(name, Value::obj(f));
    } else {
        m_builtinGlobal->setDyn(pkg + "::" + name, Value::obj(f));
    }
    DomainEntry e;
    e.holder = m_builtinGlobal;
    m_domain[domainKey(name, internNs(abc::NamespaceKind::Package, pkg))] = e;
}

void Machine::definePackageValue(const std::string& pkg, const std::string& name, Value v) {
    m_builtinGlobal->setDyn(pkg + "::" + name, v);
    DomainEntry e;
    e.holder = m_builtinGlobal;
    m_domain[domainKey(name, internNs(abc::NamespaceKind::Package, pkg))] = e;
}

void Machine::defineGlobalValue(const std::string& name, Value v) {
    m_builtinGlobal->setDyn(name, v);
    DomainEntry e;
    e.holder = m_builtinGlobal;
    m_domain[domainKey(name, m_public)] = e;
}

// ---- conversions ----

std::string Machine::numberText(double n) {
    return numberToString(n, NumberDigits::Shortest);
}

std::string Machine::toString(const Value& v) {
    switch (v.kind) {
    case Kind::Undefined:
        return "undefined";
    case Kind::Null:
        return "null";
    case Kind::Boolean:
        return v.b ? "true" : "false";
    case Kind::Int:
        return std::to_string(v.i);
    case Kind::Number:
        return numberText(v.d);
    case Kind::String:
        return v.s->s;
    case Kind::Object: {
        const Value p = toPrimitive(v, true);
        return p.isObject() ? "[object Object]" : toString(p);
    }
    }
    return {};
}

namespace {
double stringToNumber(const std::string& s) {
    std::size_t a = 0;
    std::size_t b = s.size();
    auto space = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    };
    while (a < b && space(s[a])) {
        ++a;
    }
    while (b > a && space(s[b - 1])) {
        --b;
    }
    if (a == b) {
        return 0;
    }
    std::string t = s.substr(a, b - a);
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        char* end = nullptr;
        const double r = static_cast<double>(std::strtoull(t.c_str() + 2, &end, 16));
        return *end == 0 ? r : NAN;
    }
    if (t == "Infinity" || t == "+Infinity") {
        return INFINITY;
    }
    if (t == "-Infinity") {
        return -INFINITY;
    }
    for (char c : t) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'e' || c == 'E' ||
              c == '+' || c == '-')) {
            return NAN;
        }
    }
    char* end = nullptr;
    const double r = std::strtod(t.c_str(), &end);
    return *end == 0 ? r : NAN;
}
} // namespace

double Machine::toNumber(const Value& v) {
    switch (v.kind) {
    case Kind::Undefined:
        return NAN;
    case Kind::Null:
        return 0;
    case Kind::Boolean:
        return v.b ? 1 : 0;
    case Kind::Int:
        return v.i;
    case Kind::Number:
        return v.d;
    case Kind::String:
        return stringToNumber(v.s->s);
    case Kind::Object: {
        const Value p = toPrimitive(v, false);
        return p.isObject() ? NAN : toNumber(p);
    }
    }
    return NAN;
}

bool Machine::toBoolean(const Value& v) {
    switch (v.kind) {
    case Kind::Undefined:
    case Kind::Null:
        return false;
    case Kind::Boolean:
        return v.b;
    case Kind::Int:
        return v.i != 0;
    case Kind::Number:
        return !(v.d == 0 || std::isnan(v.d));
    case Kind::String:
        return !v.s->s.empty();
    case Kind::Object:
        return true;
    }
    return false;
}

namespace {
std::uint32_t doubleToUint32(double d) {
    if (!std::isfinite(d)) {
        return 0;
    }
    d = std::trunc(d);
    d = std::fmod(d, 4294967296.0);
    if (d < 0) {
        d += 4294967296.0;
    }
    return static_cast<std::uint32_t>(d);
}
} // namespace

std::int32_t Machine::toInt(const Value& v) {
    if (v.kind == Kind::Int) {
        return v.i;
    }
    return static_cast<std::int32_t>(doubleToUint32(toNumber(v)));
}

std::uint32_t Machine::toUint(const Value& v) {
    if (v.kind == Kind::Int) {
        return static_cast<std::uint32_t>(v.i);
    }
    return doubleToUint32(toNumber(v));
}

Value Machine::toPrimitive(const Value& v, bool preferString) {
    if (!v.isObject()) {
        return v;
    }
    Object* o = v.o;
    if (o->kind == ObjKind::Boxed) {
        return o->primitive;
    }
    if (isXmlObject(v)) {
        return str(xmlToText(*this, v));
    }
    const char* order[2] = {"valueOf", "toString"};
    if (preferString) {
        std::swap(order[0], order[1]);
    }
    for (const char* method : order) {
        Value fn = getProperty(v, publicName(method));
        if (fn.isObject() && (fn.o->kind == ObjKind::Function)) {
            Value r = call(fn, v, {});
            if (!r.isObject()) {
                return r;
            }
        }
    }
    throwError("TypeError", 1050, "Cannot convert " + describeForError(v) + " to primitive.");
}

std::string Machine::typeOf(const Value& v) {
    switch (v.kind) {
    case Kind::Undefined:
        return "undefined";
    case Kind::Null:
        return "object";
    case Kind::Boolean:
        return "boolean";
    case Kind::Int:
    case Kind::Number:
        return "number";
    case Kind::String:
        return "string";
    case Kind::Object:
        if (v.o->kind == ObjKind::Function) {
            return "function";
        }
        if (v.o->kind == ObjKind::Boxed) {
            return typeOf(v.o->primitive);
        }
        if (isXmlObject(v)) {
            return "xml";
        }
        return "object";
    }
    return "object";
}

bool Machine::strictEquals(const Value& a, const Value& b) {
    if (a.isNumeric() && b.isNumeric()) {
        return a.num() == b.num();
    }
    if (a.kind != b.kind) {
        return false;
    }
    switch (a.kind) {
    case Kind::Undefined:
    case Kind::Null:
        return true;
    case Kind::Boolean:
        return a.b == b.b;
    case Kind::String:
        return a.s == b.s || a.s->s == b.s->s;
    case Kind::Object:
        if (a.o->kind == ObjKind::Function && b.o->kind == ObjKind::Function && a.o->isClosure &&
            b.o->isClosure) {
            return a.o->method == b.o->method && strictEquals(a.o->boundThis, b.o->boundThis);
        }
        if (a.o->kind == ObjKind::Namespace && b.o->kind == ObjKind::Namespace) {
            return a.o->ns == b.o->ns || (a.o->ns && b.o->ns && a.o->ns->uri == b.o->ns->uri);
        }
        return a.o == b.o;
    default:
        return false;
    }
}

bool Machine::looseEquals(const Value& a, const Value& b) {
    if (isXmlObject(a) || isXmlObject(b)) {
        return xmlLooseEquals(*this, a, b);
    }
    if (a.isNumeric() && b.isNumeric()) {
        return a.num() == b.num();
    }
    if (a.kind == b.kind) {
        if (a.isObject() && a.o->kind == ObjKind::Boxed && b.o->kind == ObjKind::Boxed) {
            return looseEquals(a.o->primitive, b.o->primitive);
        }
        return strictEquals(a, b);
    }
    if (a.isNullish() && b.isNullish()) {
        return true;
    }
    if (a.isNullish() || b.isNullish()) {
        return false;
    }
    if (a.isNumeric() && b.isString()) {
        return a.num() == toNumber(b);
    }
    if (a.isString() && b.isNumeric()) {
        return toNumber(a) == b.num();
    }
    if (a.kind == Kind::Boolean) {
        return looseEquals(Value::number(a.b ? 1 : 0), b);
    }
    if (b.kind == Kind::Boolean) {
        return looseEquals(a, Value::number(b.b ? 1 : 0));
    }
    if (a.isObject() && !b.isObject()) {
        return looseEquals(toPrimitive(a, false), b);
    }
    if (b.isObject() && !a.isObject()) {
        return looseEquals(a, toPrimitive(b, false));
    }
    return false;
}

Value Machine::lessThan(const Value& a, const Value& b) {
    if (a.kind == Kind::Int && b.kind == Kind::Int) {
        return Value::boolean(a.i < b.i);
    }
    const Value pa = toPrimitive(a, false);
    const Value pb = toPrimitive(b, false);
    if (pa.isString() && pb.isString()) {
        return Value::boolean(compareUtf16(pa.s->s, pb.s->s) < 0);
    }
    const double x = toNumber(pa);
    const double y = toNumber(pb);
    if (std::isnan(x) || std::isnan(y)) {
        return Value();
    }
    return Value::boolean(x < y);
}

Value Machine::add(const Value& a, const Value& b) {
    if (a.kind == Kind::Int && b.kind == Kind::Int) {
        return Value::number(static_cast<double>(a.i) + b.i);
    }
    if (a.isNumeric() && b.isNumeric()) {
        return Value::number(a.num() + b.num());
    }
    if (a.isString() && b.isString()) {
        checkStringLength(a.s->s.size() + b.s->s.size());
        return str(a.s->s + b.s->s);
    }
    if (isXmlObject(a) && isXmlObject(b)) {
        return xmlConcat(*this, a, b); // XML + XML: a list of both
    }
    // Arrays and XML-likes aside, objects become primitives first (Dates as strings).
    const Value pa = toPrimitive(a, a.isObject() && a.o->kind == ObjKind::Date);
    const Value pb = toPrimitive(b, b.isObject() && b.o->kind == ObjKind::Date);
    if (pa.isString() || pb.isString()) {
        std::string left = toString(pa);
        std::string right = toString(pb);
        checkStringLength(left.size() + right.size());
        return str(left + right);
    }
    return Value::number(toNumber(pa) + toNumber(pb));
}

ClassInfo* Machine::classOfValue(const Value& v) {
    switch (v.kind) {
    case Kind::Boolean:
        return booleanClass;
    case Kind::Int:
        return v.i >= 0 ? intClass : intClass;
    case Kind::Number:
        return numberClass;
    case Kind::String:
        return stringClass;
    case Kind::Object:
        if (v.o->kind == ObjKind::Class) {
            return classClass;
        }
        return v.o->cls != nullptr ? v.o->cls : objectClass;
    default:
        return nullptr;
    }
}

bool Machine::isInstance(const Value& v, ClassInfo* cls) {
    if (cls == nullptr || v.isNullish()) {
        return false;
    }
    if (cls == objectClass) {
        return true;
    }
    if (v.isNumeric()) {
        const double d = v.num();
        if (cls == numberClass) {
            return true;
        }
        if (cls == intClass) {
            return d == std::trunc(d) && d >= -2147483648.0 && d <= 2147483647.0 &&
                   !(d == 0 && std::signbit(d));
        }
        if (cls == uintClass) {
            return d == std::trunc(d) && d >= 0 && d <= 4294967295.0 &&
                   !(d == 0 && std::signbit(d));
        }
        return false;
    }
    ClassInfo* c = classOfValue(v);
    if (c == nullptr) {
        return false;
    }
    resolveInterfaces(c);
    return c->isSubclassOf(cls);
}

std::string Machine::qualifiedClassName(const Value& v) {
    if (v.isNull()) {
        return "null";
    }
    if (v.isUndefined()) {
        return "void";
    }
    if (v.isNumeric()) {
        // The player keeps whole numbers of 29 bits as ints; the rest are Numbers.
        const double d = v.num();
        const bool small = d == std::trunc(d) && d >= -268435456.0 && d <= 268435455.0 &&
                           !(d == 0 && std::signbit(d));
        return small ? "int" : "Number";
    }
    if (v.isObject() && v.o->kind == ObjKind::Class) {
        return v.o->classInfo->qualifiedName();
    }
    ClassInfo* c = classOfValue(v);
    if (v.isObject() && v.o->kind == ObjKind::Function && c == functionClass) {
        return v.o->isClosure ? "builtin.as$0::MethodClosure" : "Function";
    }
    return c != nullptr ? c->qualifiedName() : "Object";
}

std::string Machine::describeForError(const Value& v) {
    if (v.isNumeric()) {
        return "Number";
    }
    std::string name = qualifiedClassName(v);
    const auto colons = name.rfind("::");
    if (colons != std::string::npos) {
        name.replace(colons, 2, ".");
    }
    return name;
}

Value Machine::coerceTo(const Value& v, const std::string& typeName) {
    if (typeName.empty() || typeName == "*") {
        return v;
    }
    if (typeName == "int") {
        return Value::integer(toInt(v));
    }
    if (typeName == "uint") {
        return Value::number(toUint(v));
    }
    if (typeName == "Number") {
        return Value::number(toNumber(v));
    }
    if (typeName == "Boolean") {
        return Value::boolean(toBoolean(v));
    }
    if (typeName == "String") {
        return v.isNullish() ? Value::null() : str(toString(v));
    }
    if (v.isNullish()) {
        return Value::null();
    }
    if (typeName == "Object") {
        return v;
    }
    ClassInfo* cls = findClass(typeName);
    if (cls == nullptr || isInstance(v, cls)) {
        return v;
    }
    throwError("TypeError", 1034,
               "Type Coercion failed: cannot convert " + describeValue(v) + " to " +
                   describeForError(Value::obj(cls->classObj)) + ".");
}

// ---- errors ----

std::string Machine::describeValue(const Value& v) {
    if (v.isString()) {
        return "\"" + v.s->s + "\"";
    }
    if (v.isObject() && v.o->kind != ObjKind::Class && v.o->kind != ObjKind::Function) {
        return describeForError(v) + "@" + "2a4b0c1";
    }
    return toString(v);
}

Value Machine::makeError(std::string_view cls, int id, const std::string& text) {
    ClassInfo* c = builtin(std::string(cls));
    if (c == nullptr) {
        c = errorClass;
    }
    Value msg = str(std::string(cls) + ": Error #" + std::to_string(id) + ": " + text);
    // The message the player gives starts "Error #id: "; the name comes from the class.
    msg = str("Error #" + std::to_string(id) + ": " + text);
    Value args[2] = {msg, Value::integer(id)};
    return Value::obj(constructClass(c, Args(args, 2)));
}

void Machine::throwError(std::string_view cls, int id, const std::string& text) {
    throw ScriptException{makeError(cls, id, text)};
}

namespace {
// How a class's method is named in a stack trace: "Test/f", "Test$/f" for a static one,
// "Test/get x" for an accessor, "Test/ns::f" in a namespace of the script's own.
std::string traitDisplayName(const ClassInfo* owner, const MethodInfo* m) {
    for (const bool isStatic : {false, true}) {
        const Traits& traits = isStatic ? owner->staticTraits : owner->instanceTraits;
        auto it = traits.byName.find(m->name);
        if (it == traits.byName.end()) {
            continue;
        }
        for (const Trait& t : it->second) {
            if (t.method != m && t.getter != m && t.setter != m) {
                continue;
            }
            const std::string kind = t.getter == m ? "get " : t.setter == m ? "set " : "";
            // (namespaces and packages of one URI are interned as one)
            const bool ownNs = t.ns != nullptr && !t.ns->uri.empty() &&
                               (t.ns->kind == abc::NamespaceKind::Namespace ||
                                t.ns->kind == abc::NamespaceKind::Package);
            return owner->qualifiedName() + (isStatic ? "$/" : "/") + kind +
                   (ownNs ? t.ns->uri + "::" : "") + m->name;
        }
    }
    return owner->qualifiedName() + "/" + m->name;
}

std::string methodDisplayName(const MethodInfo* m) {
    const ClassInfo* owner = m->owner;
    if (owner == nullptr) {
        // A script's functions and closures go by their number in the block.
        return m->scriptGlobal != nullptr && m->name.empty()
                   ? "global$init"
                   : "MethodInfo-" + std::to_string(m->index);
    }
    if (m == owner->init) {
        return owner->qualifiedName();
    }
    if (m == owner->cinit) {
        return owner->qualifiedName() + "$cinit";
    }
    return traitDisplayName(owner, m);
}
} // namespace

std::string Machine::stackTrace() const {
    std::string out;
    for (std::size_t i = m_calls.size(); i-- > 0;) {
        out += "\n\tat " + methodDisplayName(m_calls[i]) + "()";
    }
    return out;
}

void Machine::reportUncaught(const Value& v) {
    std::string text = toString(v);
    if (v.isObject() && v.o->kind == ObjKind::Error && v.o->primitive.isString()) {
        text += v.o->primitive.s->s;
    }
    std::size_t start = 0;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', start)) {
        traceLine(std::string_view(text).substr(start, at - start));
        start = at + 1;
    }
    traceLine(std::string_view(text).substr(start));
}

} // namespace kinovex::flash::avm2
