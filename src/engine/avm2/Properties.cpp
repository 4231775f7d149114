// Reading, writing, calling and constructing properties: traits first, then dynamic
// properties, then the prototype chain.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/ByteArray.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/ProxyClass.h"
#include "engine/avm2/Utf16Text.h"

#include <cmath>

namespace kinovex::flash::avm2 {

namespace {

// The array index a name stands for, or -1.
std::int64_t arrayIndex(const std::string& s) {
    if (s.empty() || s.size() > 10 || (s.size() > 1 && s[0] == '0')) {
        return -1;
    }
    std::int64_t n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return -1;
        }
        n = n * 10 + (c - '0');
    }
    return n < 4294967295LL ? n : -1;
}

bool dynamicVisible(const Name& name, const Ns* as3) {
    if (name.nss.empty()) {
        return true;
    }
    for (const Ns* ns : name.nss) {
        if (ns->isPublic() || ns == as3) {
            return true;
        }
    }
    return false;
}

std::vector<ScopeEntry> scopeOf(MethodInfo* m) {
    if (m->owner != nullptr) {
        return m->owner->scope;
    }
    if (m->scriptGlobal != nullptr) {
        return {ScopeEntry{Value::obj(m->scriptGlobal), false}};
    }
    return {};
}

Value invoke(Machine& vm, MethodInfo* m, const Value& self, Args args) {
    if (m->native != nullptr) {
        return vm.callNative(m, self, args);
    }
    return vm.runMethod(m, self, args, scopeOf(m));
}

// An array's element (Array.prototype is one) that is not a hole, by its name.
const Value* elementOf(const Object* o, const std::string& name) {
    if (o->kind != ObjKind::Array) {
        return nullptr;
    }
    const std::int64_t i = arrayIndex(name);
    if (i < 0 || static_cast<std::size_t>(i) >= o->elems.size() ||
        o->elems[static_cast<std::size_t>(i)].isHole()) {
        return nullptr;
    }
    return &o->elems[static_cast<std::size_t>(i)];
}

// E4X reads a name on an XML object as its children's or attributes' unless it is written
// AS3::name (the class's methods).
bool isXmlAccess(const Value& obj, const Name& name, const Ns* as3) {
    return isXmlObject(obj) && (name.attribute || !(name.nss.size() == 1 && name.nss[0] == as3));
}

bool isDynamicObject(const Object* o) {
    if (o->kind == ObjKind::Global || o->kind == ObjKind::Activation || o->kind == ObjKind::Class ||
        o->kind == ObjKind::Function) {
        return true;
    }
    return o->cls == nullptr || !o->cls->sealed;
}

} // namespace

// A native function's prototype object, made when first read (those of newfunction are made
// with the function).
Object* Machine::ownPrototype(Object* fn, const std::string& name) {
    if (fn->kind != ObjKind::Function || fn->isClosure || fn->method == nullptr ||
        fn->method->native == nullptr || name != "prototype") {
        return nullptr;
    }
    Object* proto = newPlainObject();
    fn->setDyn("prototype", Value::obj(proto));
    fn->dyn.back().enumerable = false;
    return proto;
}

Object* Machine::prototypeOf(const Value& v) {
    if (v.isObject()) {
        return v.o->proto;
    }
    ClassInfo* c = classOfValue(v);
    return c != nullptr ? c->prototype : nullptr;
}

const Trait* Machine::findTrait(const Value& obj, const Name& name, Object** holder,
                                bool* isStatic) {
    *holder = obj.isObject() ? obj.o : nullptr;
    *isStatic = false;
    if (obj.isObject() && obj.o->kind == ObjKind::Class) {
        if (const Trait* t = obj.o->classInfo->staticTraits.find(name, m_as3)) {
            *isStatic = true;
            return t;
        }
        return classClass != nullptr ? classClass->instanceTraits.find(name, m_as3) : nullptr;
    }
    ClassInfo* c = classOfValue(obj);
    return c != nullptr ? c->instanceTraits.find(name, m_as3) : nullptr;
}

Value Machine::getProperty(const Value& obj, const Name& name) {
    requireObject(obj);
    if (isXmlAccess(obj, name, m_as3)) {
        return xmlGetProperty(*this, obj, name);
    }
    if (const auto keyed = dictionaryName(obj, name, false)) {
        return getProperty(obj, *keyed);
    }
    if (dynamicVisible(name, m_as3) && arrayIndex(name.name) >= 0) {
        if (const auto byte = byteArrayElement(obj, arrayIndex(name.name))) {
            return *byte;
        }
    }
    if (obj.isObject() && obj.o->kind == ObjKind::Array && dynamicVisible(name, m_as3)) {
        const std::int64_t i = arrayIndex(name.name);
        if (i >= 0 && obj.o->cls != nullptr && obj.o->cls->isVector &&
            static_cast<std::size_t>(i) >= obj.o->elems.size()) {
            throwError("RangeError", 1125,
                       "The index " + name.name + " is out of range " +
                           std::to_string(obj.o->elems.size()) + ".");
        }
        if (i >= 0 && static_cast<std::size_t>(i) < obj.o->elems.size() &&
            !obj.o->elems[static_cast<std::size_t>(i)].isHole()) {
            return obj.o->elems[static_cast<std::size_t>(i)];
        }
    }
    if (obj.isString() && dynamicVisible(name, m_as3)) {
        const std::int64_t i = arrayIndex(name.name);
        if (i >= 0) {
            const std::u16string units = toUtf16(obj.s->s);
            return static_cast<std::size_t>(i) < units.size()
                       ? str(fromUtf16(units.substr(static_cast<std::size_t>(i), 1)))
                       : Value();
        }
    }
    if (obj.isObject() && obj.o == m_builtinGlobal) {
        for (const Ns* ns : name.nss) {
            if (DynProp* p =
                    obj.o->findDyn(ns->uri.empty() ? name.name : ns->uri + "::" + name.name)) {
                return p->value;
            }
        }
    }
    Object* holder = nullptr;
    bool isStatic = false;
    if (const Trait* t = findTrait(obj, name, &holder, &isStatic)) {
        switch (t->type) {
        case Trait::Slot:
        case Trait::Const:
            return holder != nullptr && t->slot < holder->slots.size() ? holder->slots[t->slot]
                                                                       : Value();
        case Trait::Method:
            return Value::obj(methodClosure(t->method, obj, t->method->owner));
        case Trait::Accessor:
            if (t->getter == nullptr) {
                throwError("ReferenceError", 1077,
                           "Illegal read of write-only property " + name.name + " on " +
                               describeForError(obj) + ".");
            }
            return invoke(*this, t->getter, obj, {});
        }
    }
    if (const auto v = proxyGet(*this, obj, name)) {
        return *v;
    }
    if (dynamicVisible(name, m_as3)) {
        if (obj.isObject()) {
            if (DynProp* p = obj.o->findDyn(name.name)) {
                return p->value;
            }
            if (Object* proto = ownPrototype(obj.o, name.name)) {
                return Value::obj(proto);
            }
        }
        for (Object* p = prototypeOf(obj); p != nullptr; p = p->proto) {
            if (const Value* e = elementOf(p, name.name)) {
                return *e;
            }
            if (DynProp* d = p->findDyn(name.name)) {
                return d->value;
            }
        }
    }
    if (!obj.isObject() || !isDynamicObject(obj.o)) {
        throwError("ReferenceError", 1069,
                   "Property " + name.name + " not found on " + describeForError(obj) +
                       " and there is no default value.");
    }
    return Value();
}

void Machine::setProperty(const Value& obj, const Name& name, const Value& v, bool init) {
    requireObject(obj);
    if (isXmlAccess(obj, name, m_as3)) {
        xmlSetProperty(*this, obj, name, v);
        return;
    }
    if (const auto keyed = dictionaryName(obj, name, true)) {
        setProperty(obj, *keyed, v, init);
        return;
    }
    if (dynamicVisible(name, m_as3) && setByteArrayElement(*this, obj, arrayIndex(name.name), v)) {
        return;
    }
    if (obj.isObject() && obj.o->kind == ObjKind::Array && dynamicVisible(name, m_as3)) {
        const std::int64_t i = arrayIndex(name.name);
        if (i >= 0 && obj.o->cls != nullptr && obj.o->cls->isVector) {
            setVectorElement(obj.o, static_cast<std::size_t>(i), v);
            return;
        }
        if (i >= 0) {
            auto& e = obj.o->elems;
            if (static_cast<std::size_t>(i) >= e.size()) {
                if (i > 10000000) {
                    throwError("RangeError", 1005,
                               "Array index is not a positive integer (" + name.name + ").");
                }
                resizeElements(e, static_cast<std::size_t>(i) + 1, Value::hole());
            }
            e[static_cast<std::size_t>(i)] = v;
            return;
        }
    }
    Object* holder = nullptr;
    bool isStatic = false;
    if (const Trait* t = findTrait(obj, name, &holder, &isStatic)) {
        switch (t->type) {
        case Trait::Const:
            if (!init) {
                throwError("ReferenceError", 1074,
                           "Illegal write to read-only property " + name.name + " on " +
                               describeForError(obj) + ".");
            }
            [[fallthrough]];
        case Trait::Slot:
            if (holder != nullptr && t->slot < holder->slots.size()) {
                const Traits& traits =
                    isStatic ? holder->classInfo->staticTraits : holder->cls->instanceTraits;
                holder->slots[t->slot] = coerceTo(v, traits.slots[t->slot].typeName);
            }
            return;
        case Trait::Method:
            throwError("ReferenceError", 1037,
                       "Cannot assign to a method " + name.name + " on " + describeForError(obj) +
                           ".");
        case Trait::Accessor:
            if (t->setter == nullptr) {
                throwError("ReferenceError", 1074,
                           "Illegal write to read-only property " + name.name + " on " +
                               describeForError(obj) + ".");
            }
            {
                Value a[1] = {v};
                invoke(*this, t->setter, obj, Args(a, 1));
            }
            return;
        }
    }
    if (proxySet(*this, obj, name, v)) {
        return;
    }
    if (!obj.isObject() || !isDynamicObject(obj.o) || !dynamicVisible(name, m_as3)) {
        throwError("ReferenceError", 1056,
                   "Cannot create property " + name.name + " on " + describeForError(obj) + ".");
    }
    obj.o->setDyn(name.name, v);
}

void Machine::setVectorElement(Object* vec, std::size_t i, const Value& v) {
    auto& e = vec->elems;
    const bool fixed = toBoolean(vec->primitive);
    if (i > e.size() || (i == e.size() && fixed)) {
        throwError("RangeError", 1125,
                   "The index " + std::to_string(i) + " is out of range " +
                       std::to_string(e.size()) + ".");
    }
    const Value item = coerceTo(v, vec->cls->vectorOf);
    if (i == e.size()) {
        e.push_back(item);
    } else {
        e[i] = item;
    }
}

bool Machine::hasProperty(const Value& obj, const Name& name) {
    if (obj.isNullish()) {
        return false;
    }
    if (isXmlAccess(obj, name, m_as3)) {
        // Its methods count too: a filter's predicate calls them through its scope.
        Object* holder = nullptr;
        bool isStatic = false;
        return xmlHasProperty(*this, obj, name) ||
               (!name.attribute && findTrait(obj, name, &holder, &isStatic) != nullptr);
    }
    if (const auto keyed = dictionaryName(obj, name, false)) {
        return hasProperty(obj, *keyed);
    }
    Object* holder = nullptr;
    bool isStatic = false;
    if (findTrait(obj, name, &holder, &isStatic) != nullptr) {
        return true;
    }
    if (const auto has = proxyHas(*this, obj, name)) {
        return *has;
    }
    if (!dynamicVisible(name, m_as3)) {
        return false;
    }
    if (obj.isObject()) {
        if (obj.o->kind == ObjKind::Array) {
            const std::int64_t i = arrayIndex(name.name);
            if (i >= 0 && static_cast<std::size_t>(i) < obj.o->elems.size() &&
                !obj.o->elems[static_cast<std::size_t>(i)].isHole()) {
                return true;
            }
        }
        if (obj.o->findDyn(name.name) != nullptr) {
            return true;
        }
    }
    for (Object* p = prototypeOf(obj); p != nullptr; p = p->proto) {
        if (p->findDyn(name.name) != nullptr) {
            return true;
        }
    }
    return false;
}

bool Machine::deleteProperty(const Value& obj, const Name& name) {
    if (!obj.isObject()) {
        return false;
    }
    if (isXmlAccess(obj, name, m_as3)) {
        return xmlDeleteProperty(*this, obj, name);
    }
    if (const auto keyed = dictionaryName(obj, name, false)) {
        return deleteProperty(obj, *keyed);
    }
    Object* holder = nullptr;
    bool isStatic = false;
    if (findTrait(obj, name, &holder, &isStatic) != nullptr) {
        return false;
    }
    if (const auto deleted = proxyDelete(*this, obj, name)) {
        return *deleted;
    }
    if (obj.o->kind == ObjKind::Array) {
        const std::int64_t i = arrayIndex(name.name);
        // A Vector's elements cannot be deleted: it says it did and keeps them.
        const bool vector = obj.o->cls != nullptr && obj.o->cls->isVector;
        if (i >= 0) {
            if (static_cast<std::size_t>(i) < obj.o->elems.size() && !vector) {
                obj.o->elems[static_cast<std::size_t>(i)] = Value::hole();
            }
            return true;
        }
    }
    obj.o->deleteDyn(name.name);
    return true;
}

Value Machine::callProperty(const Value& obj, const Name& name, Args args, bool lex) {
    requireObject(obj);
    Object* holder = nullptr;
    bool isStatic = false;
    const Trait* t = findTrait(obj, name, &holder, &isStatic);
    if (t != nullptr && t->type == Trait::Method) {
        return invoke(*this, t->method, obj, args);
    }
    if (t == nullptr) {
        if (const auto result = proxyCall(*this, obj, name, args)) {
            return *result;
        }
    }
    if (isXmlObject(obj)) {
        return xmlCallProperty(*this, obj, name, args);
    }
    Value fn;
    try {
        fn = getProperty(obj, name);
    } catch (const ScriptException&) {
        if (obj.isObject() && obj.o->cls != nullptr && obj.o->cls->sealed &&
            obj.o->kind != ObjKind::Class) {
            throwError("ReferenceError", 1069,
                       "Property " + name.name + " not found on " + describeForError(obj) +
                           " and there is no default value.");
        }
        throw;
    }
    if (!fn.isObject() || (fn.o->kind != ObjKind::Function && fn.o->kind != ObjKind::Class)) {
        throwError("TypeError", 1006, name.name + " is not a function.");
    }
    return call(fn, lex ? Value::null() : obj, args);
}

Value Machine::constructProperty(const Value& obj, const Name& name, Args args) {
    // A primitive's missing property is no constructor (#1007), not a missing property.
    const bool missing = !obj.isObject() && !obj.isNullish() && !hasProperty(obj, name);
    const Value c = missing ? Value() : getProperty(obj, name);
    if (!c.isObject() || (c.o->kind != ObjKind::Class && c.o->kind != ObjKind::Function)) {
        throwError("TypeError", 1007, "Instantiation attempted on a non-constructor.");
    }
    return construct(c, args);
}

Value Machine::call(const Value& fn, const Value& self, Args args) {
    if (!fn.isObject()) {
        throwError("TypeError", 1006, "value is not a function.");
    }
    Object* f = fn.o;
    if (f->kind == ObjKind::Function) {
        MethodInfo* m = f->method;
        if (m == nullptr) {
            return Value(); // new Function() and Function.prototype do nothing
        }
        const Value& receiver = f->isClosure ? f->boundThis : self;
        if (m->native != nullptr) {
            return callNative(m, receiver, args);
        }
        Value r = f->isClosure
                      ? f->boundThis
                      : (self.isNullish() && !f->scope.empty() ? f->scope.front().v : self);
        return runMethod(m, r, args, f->scope, f);
    }
    if (f->kind == ObjKind::Class) {
        ClassInfo* c = f->classInfo;
        if (c->callAsFunction != nullptr) {
            return c->callAsFunction(*this, fn, args);
        }
        if (args.size() != 1) {
            throwError("ArgumentError", 1112,
                       "Argument count mismatch on class coercion.  Expected 1, got " +
                           std::to_string(args.size()) + ".");
        }
        if (args[0].isNullish() || isInstance(args[0], c)) {
            return args[0].isUndefined() ? Value::null() : args[0];
        }
        throwError("TypeError", 1034,
                   "Type Coercion failed: cannot convert " + toString(args[0]) + " to " +
                       c->qualifiedName() + ".");
    }
    throwError("TypeError", 1006, "value is not a function.");
}

Value Machine::construct(const Value& cls, Args args) {
    if (cls.isObject() && cls.o->kind == ObjKind::Class &&
        cls.o->classInfo->instanceKind == ObjKind::Boxed && cls.o->classInfo->callAsFunction) {
        // new int(), new String("x") ...: the primitive value.
        return cls.o->classInfo->callAsFunction(*this, cls, args);
    }
    if (!cls.isObject()) {
        throwError("TypeError", 1007, "Instantiation attempted on a non-constructor.");
    }
    Object* c = cls.o;
    if (c->kind == ObjKind::Class) {
        return Value::obj(constructClass(c->classInfo, args));
    }
    if (c->kind == ObjKind::Function && (c->method == nullptr || c->method->native == nullptr)) {
        Object* o = newPlainObject();
        const Value proto = get(cls, "prototype");
        if (proto.isObject()) {
            o->proto = proto.o;
        }
        const Value r =
            c->method != nullptr ? runMethod(c->method, Value::obj(o), args, c->scope, c) : Value();
        return r.isObject() ? r : Value::obj(o);
    }
    throwError("TypeError", 1007, "Instantiation attempted on a non-constructor.");
}

Object* Machine::constructClass(ClassInfo* cls, Args args) {
    if (cls->isInterface) {
        throwError("VerifyError", 1001, "The method " + cls->name + "() is not implemented.");
    }
    if (cls->callAsFunction != nullptr && cls->instanceKind == ObjKind::Boxed) {
        // new String("x") and the like make a value of the class, as the player does.
        const Value v = cls->callAsFunction(*this, Value::obj(cls->classObj), args);
        if (v.isObject()) {
            return v.o;
        }
        Object* box = newObject(cls);
        box->primitive = v;
        return box;
    }
    Object* o = newObject(cls);
    initInstance(cls, o, args);
    return o;
}

void Machine::initInstance(ClassInfo* cls, Object* self, Args args) {
    if (cls == nullptr) {
        return;
    }
    if (cls->init == nullptr) {
        if (cls->nativeInit != nullptr) {
            cls->nativeInit(*this, Value::obj(self), args);
        } else {
            initInstance(cls->super, self, args);
        }
        return;
    }
    runMethod(cls->init, Value::obj(self), args, cls->scope);
}

// ---- enumeration ----

std::uint32_t Machine::nextIndex(Object* o, std::uint32_t index) {
    if (o->kind == ObjKind::Proxy) {
        return proxyNextIndex(*this, o, index);
    }
    if (o->kind == ObjKind::Xml) {
        return index == 0 ? 1 : 0; // an XML object enumerates as a list of itself
    }
    // Indices 1..n are array elements, then the dynamic properties in order.
    const auto elemCount = static_cast<std::uint32_t>(o->elems.size());
    std::uint32_t i = index;
    while (true) {
        ++i;
        if (i <= elemCount) {
            if (o->elems[i - 1].isHole()) {
                continue;
            }
            return i;
        }
        const std::uint32_t d = i - elemCount - 1;
        if (d >= o->dyn.size()) {
            return 0;
        }
        if (!o->dyn[d].deleted && o->dyn[d].enumerable) {
            return i;
        }
    }
}

Value Machine::nameAt(Object* o, std::uint32_t index) {
    if (o->kind == ObjKind::Proxy) {
        return proxyNameAt(*this, o, index);
    }
    if (o->kind == ObjKind::Xml) {
        return index == 1 ? Value::integer(0) : Value::null();
    }
    const auto elemCount = static_cast<std::uint32_t>(o->elems.size());
    if (index >= 1 && index <= elemCount) {
        return Value::integer(static_cast<std::int32_t>(index - 1));
    }
    const std::uint32_t d = index - elemCount - 1;
    if (d >= o->dyn.size()) {
        return o->kind == ObjKind::XmlList ? Value::null() : Value(); // a list has no such name
    }
    return o->kind == ObjKind::Dictionary ? dictionaryKey(*this, o, o->dyn[d].name)
                                          : str(o->dyn[d].name);
}

Value Machine::valueAt(Object* o, std::uint32_t index) {
    if (o->kind == ObjKind::Proxy) {
        return proxyValueAt(*this, o, index);
    }
    if (o->kind == ObjKind::Xml) {
        return Value::obj(o);
    }
    const auto elemCount = static_cast<std::uint32_t>(o->elems.size());
    if (index >= 1 && index <= elemCount) {
        return o->elems[index - 1];
    }
    const std::uint32_t d = index - elemCount - 1;
    return d < o->dyn.size() ? o->dyn[d].value : Value();
}

} // namespace kinovex::flash::avm2
