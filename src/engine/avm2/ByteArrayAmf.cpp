// ByteArray's readObject: values in AMF0 and AMF3, always in network byte order. An AMF3
// object of a registered alias becomes an instance of its class; other typed objects read back
// as plain ones. registerClassAlias keeps its table on the ByteArray class.

#include "engine/avm2/ByteArray.h"
#include "engine/avm2/HiddenFields.h"
#include "engine/avm2/Machine.h"

#include <bit>

namespace kinovex::flash::avm2 {

namespace {

[[noreturn]] void badMarker(Machine& vm) {
    vm.throwError("RangeError", 2006, "The supplied index is out of bounds.");
}

std::uint64_t readBig(Machine& vm, Object* ba, std::size_t n) {
    const std::uint8_t* p = takeBytes(vm, ba, n);
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        v = (v << 8) | p[i];
    }
    return v;
}

double readDouble(Machine& vm, Object* ba) {
    return std::bit_cast<double>(readBig(vm, ba, 8));
}

std::string readText(Machine& vm, Object* ba, std::size_t n) {
    const std::uint8_t* p = takeBytes(vm, ba, n);
    return std::string(reinterpret_cast<const char*>(p), n);
}

// ---- AMF0 ----

class Amf0Reader {
public:
    Amf0Reader(Machine& vm, Object* ba) : m_vm(vm), m_ba(ba) {}

    Value value() {
        const NativeDepth level(m_vm);
        switch (readBig(m_vm, m_ba, 1)) {
        case 0:
            return Value::number(readDouble(m_vm, m_ba));
        case 1:
            return Value::boolean(readBig(m_vm, m_ba, 1) != 0);
        case 2:
            return m_vm.str(shortText());
        case 3:
            return properties(m_vm.newPlainObject());
        case 5:
            return Value::null();
        case 6:
            return Value();
        case 7:
            return reference(readBig(m_vm, m_ba, 2));
        case 8: {
            Object* a = m_vm.newArray();
            m_vm.resizeElements(a->elems, readBig(m_vm, m_ba, 4), Value::hole());
            return properties(a);
        }
        case 10:
            return strictArray();
        case 11:
            return date();
        case 12:
            return m_vm.str(readText(m_vm, m_ba, readBig(m_vm, m_ba, 4)));
        case 16:
            shortText();
            return properties(m_vm.newPlainObject());
        case 17:
            return readAmf(m_vm, m_ba, 3);
        default:
            badMarker(m_vm);
        }
    }

private:
    std::string shortText() { return readText(m_vm, m_ba, readBig(m_vm, m_ba, 2)); }

    Value reference(std::uint64_t i) {
        if (i >= m_objects.size()) {
            badMarker(m_vm);
        }
        return Value::obj(m_objects[i]);
    }

    // Name and value pairs up to an empty name and the end marker (9).
    Value properties(Object* o) {
        m_objects.push_back(o);
        for (;;) {
            const std::string name = shortText();
            if (name.empty()) {
                if (readBig(m_vm, m_ba, 1) != 9) {
                    badMarker(m_vm);
                }
                return Value::obj(o);
            }
            m_vm.set(Value::obj(o), name, value());
        }
    }

    Value strictArray() {
        Object* a = m_vm.newArray();
        m_objects.push_back(a);
        const std::uint64_t n = readBig(m_vm, m_ba, 4);
        for (std::uint64_t i = 0; i < n; ++i) {
            a->elems.push_back(value());
        }
        return Value::obj(a);
    }

    Value date() {
        Value t[1] = {Value::number(readDouble(m_vm, m_ba))};
        readBig(m_vm, m_ba, 2); // the time zone, which the player ignores
        return Value::obj(m_vm.constructClass(m_vm.builtin("Date"), Args(t, 1)));
    }

    Machine& m_vm;
    Object* m_ba;
    std::vector<Object*> m_objects;
};

// ---- AMF3 ----

class Amf3Reader {
public:
    Amf3Reader(Machine& vm, Object* ba) : m_vm(vm), m_ba(ba) {}

    Value value() {
        const NativeDepth level(m_vm);
        switch (readBig(m_vm, m_ba, 1)) {
        case 0:
            return Value();
        case 1:
            return Value::null();
        case 2:
            return Value::boolean(false);
        case 3:
            return Value::boolean(true);
        case 4: {
            const std::uint32_t u = u29();
            return Value::integer(static_cast<std::int32_t>(u << 3) >> 3);
        }
        case 5:
            return Value::number(readDouble(m_vm, m_ba));
        case 6:
            return m_vm.str(text());
        case 8:
            return date();
        case 9:
            return array();
        case 10:
            return object();
        case 12:
            return bytes();
        default:
            badMarker(m_vm);
        }
    }

private:
    std::uint32_t u29() {
        std::uint32_t v = 0;
        for (int i = 0; i < 3; ++i) {
            const auto b = static_cast<std::uint32_t>(readBig(m_vm, m_ba, 1));
            v = (v << 7) | (b & 0x7F);
            if ((b & 0x80) == 0) {
                return v;
            }
        }
        return (v << 8) | static_cast<std::uint32_t>(readBig(m_vm, m_ba, 1));
    }

    std::string text() {
        const std::uint32_t u = u29();
        if ((u & 1) == 0) {
            if ((u >> 1) >= m_strings.size()) {
                badMarker(m_vm);
            }
            return m_strings[u >> 1];
        }
        std::string s = readText(m_vm, m_ba, u >> 1);
        if (!s.empty()) {
            m_strings.push_back(s);
        }
        return s;
    }

    // The header of an object: a reference to one read before (returned), or its length.
    Object* referenced(std::uint32_t u) {
        if ((u & 1) != 0) {
            return nullptr;
        }
        if ((u >> 1) >= m_objects.size()) {
            badMarker(m_vm);
        }
        return m_objects[u >> 1];
    }

    Value date() {
        const std::uint32_t u = u29();
        if (Object* o = referenced(u)) {
            return Value::obj(o);
        }
        Value t[1] = {Value::number(readDouble(m_vm, m_ba))};
        Object* d = m_vm.constructClass(m_vm.builtin("Date"), Args(t, 1));
        m_objects.push_back(d);
        return Value::obj(d);
    }

    Value array() {
        const std::uint32_t u = u29();
        if (Object* o = referenced(u)) {
            return Value::obj(o);
        }
        Object* a = m_vm.newArray();
        m_objects.push_back(a);
        for (std::string name = text(); !name.empty(); name = text()) {
            m_vm.set(Value::obj(a), name, value());
        }
        for (std::uint32_t i = 0; i < (u >> 1); ++i) {
            m_vm.set(Value::obj(a), std::to_string(i), value());
        }
        return Value::obj(a);
    }

    Value object();
    Value bytes();

    // A sealed member read back: a setter that throws has what it threw traced, and reading
    // goes on.
    void setMember(Object* o, const std::string& name, const Value& v) {
        try {
            m_vm.set(Value::obj(o), name, v);
        } catch (const ScriptException& e) {
            m_vm.traceLine(m_vm.toString(e.value));
        }
    }

    struct TraitsInfo {
        ClassInfo* cls = nullptr; // the class of the alias; null: a plain object
        bool dynamic = false;
        std::vector<std::string> sealed;
    };

    Machine& m_vm;
    Object* m_ba;
    std::vector<std::string> m_strings;
    std::vector<Object*> m_objects;
    std::vector<TraitsInfo> m_traits;
};

Value Amf3Reader::object() {
    const std::uint32_t u = u29();
    if (Object* o = referenced(u)) {
        return Value::obj(o);
    }
    TraitsInfo traits;
    if ((u & 2) == 0) {
        if ((u >> 2) >= m_traits.size()) {
            badMarker(m_vm);
        }
        traits = m_traits[u >> 2];
    } else {
        if ((u & 4) != 0) {
            badMarker(m_vm); // externalizable: no class of ours reads itself
        }
        traits.cls = aliasedClass(m_vm, text());
        traits.dynamic = (u & 8) != 0;
        for (std::uint32_t i = 0; i < (u >> 4); ++i) {
            traits.sealed.push_back(text());
        }
        m_traits.push_back(traits);
    }
    Object* o = traits.cls != nullptr ? m_vm.constructClass(traits.cls, {}) : m_vm.newPlainObject();
    m_objects.push_back(o);
    for (const std::string& name : traits.sealed) {
        setMember(o, name, value());
    }
    if (traits.dynamic) {
        for (std::string name = text(); !name.empty(); name = text()) {
            m_vm.set(Value::obj(o), name, value());
        }
    }
    return Value::obj(o);
}

Value Amf3Reader::bytes() {
    const std::uint32_t u = u29();
    if (Object* o = referenced(u)) {
        return Value::obj(o);
    }
    Object* b = m_vm.constructClass(m_vm.builtin("flash.utils.ByteArray"), {});
    m_objects.push_back(b);
    const std::uint8_t* p = takeBytes(m_vm, m_ba, u >> 1);
    b->byteData.assign(p, p + (u >> 1));
    return Value::obj(b);
}

Object* aliasTable(Machine& vm) {
    Object* holder = vm.builtin("flash.utils.ByteArray")->classObj;
    Value table = hidden(holder, "aliases");
    if (!table.isObject()) {
        table = Value::obj(vm.newPlainObject());
        setHidden(holder, "aliases", table);
    }
    return table.o;
}

Value registerClassAlias(Machine& vm, Value, Args a) {
    const Value alias = arg(a, 0);
    const Value cls = arg(a, 1);
    if (alias.isNullish()) {
        vm.throwError("TypeError", 2007, "Parameter aliasName must be non-null.");
    }
    if (!cls.isObject() || cls.o->kind != ObjKind::Class) {
        vm.throwError("TypeError", 2007, "Parameter classObject must be non-null.");
    }
    aliasTable(vm)->setDyn(vm.toString(alias), cls);
    return Value();
}

Value getClassByAlias(Machine& vm, Value, Args a) {
    const std::string alias = vm.toString(arg(a, 0));
    ClassInfo* cls = aliasedClass(vm, alias);
    if (cls == nullptr) {
        vm.throwError("ReferenceError", 1014, "Class " + alias + " could not be found.");
    }
    return Value::obj(cls->classObj);
}

} // namespace

std::string classAlias(Machine& vm, const ClassInfo* cls) {
    for (const DynProp& p : aliasTable(vm)->dyn) {
        if (!p.deleted && p.value.isObject() && p.value.o->classInfo == cls) {
            return p.name;
        }
    }
    return "";
}

ClassInfo* aliasedClass(Machine& vm, const std::string& alias) {
    const DynProp* p = alias.empty() ? nullptr : aliasTable(vm)->findDyn(alias);
    return p != nullptr && p->value.isObject() ? p->value.o->classInfo : nullptr;
}

void installClassAliases(Machine& m) {
    m.defineGlobalFunction("flash.net", "registerClassAlias", registerClassAlias, 2);
    m.defineGlobalFunction("flash.net", "getClassByAlias", getClassByAlias, 1);
}

Value readAmf(Machine& vm, Object* ba, int encoding) {
    if (encoding == 0) {
        return Amf0Reader(vm, ba).value();
    }
    return Amf3Reader(vm, ba).value();
}

} // namespace kinovex::flash::avm2
