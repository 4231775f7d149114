// ByteArray's writeObject: values as AMF0 or AMF3. Functions are left out (written as
// undefined); an instance of a class gives its public variables and read-write properties,
// then its dynamic properties when its class is dynamic, under the alias of its class.

#include "engine/avm2/ByteArray.h"
#include "engine/avm2/Machine.h"

#include <algorithm>
#include <bit>
#include <unordered_map>

namespace kinovex::flash::avm2 {

namespace {

void writeBig(Machine& vm, Object* ba, std::uint64_t v, std::size_t n) {
    std::uint8_t buf[8];
    for (std::size_t i = 0; i < n; ++i) {
        buf[i] = static_cast<std::uint8_t>(v >> (8 * (n - 1 - i)));
    }
    putBytes(vm, ba, buf, n);
}

void writeRaw(Machine& vm, Object* ba, const std::string& s) {
    putBytes(vm, ba, reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

// The enumerable dynamic properties of an object, in the order they were made.
std::vector<std::pair<std::string, Value>> dynamicProperties(const Object* o) {
    std::vector<std::pair<std::string, Value>> out;
    for (const DynProp& p : o->dyn) {
        if (!p.deleted && p.enumerable) {
            out.emplace_back(p.name, p.value);
        }
    }
    return out;
}

// The members an instance of a class gives as sealed ones: its public variables, then its
// public properties that can be both read and written, by name.
std::vector<std::pair<std::string, Value>> sealedMembers(Machine& vm, Object* o) {
    std::vector<std::pair<std::string, Value>> out;
    if (o->cls == nullptr) {
        return out;
    }
    const Traits& traits = o->cls->instanceTraits;
    for (const auto& entry : traits.slotNames) {
        const Trait* t = traits.findNs(entry.first, vm.publicNs());
        if (t != nullptr && t->type == Trait::Slot && t->slot < o->slots.size()) {
            out.emplace_back(entry.first, o->slots[t->slot]);
        }
    }
    std::vector<std::string> accessors;
    for (const auto& [name, list] : traits.byName) {
        for (const Trait& t : list) {
            if (t.type == Trait::Accessor && t.getter != nullptr && t.setter != nullptr &&
                t.ns != nullptr && t.ns->isPublic()) {
                accessors.push_back(name);
            }
        }
    }
    std::sort(accessors.begin(), accessors.end());
    for (const std::string& name : accessors) {
        out.emplace_back(name, vm.get(Value::obj(o), name));
    }
    return out;
}

bool isFunction(const Value& v) {
    return v.isObject() && v.o->kind == ObjKind::Function;
}

// ---- AMF0 ----

class Amf0Writer {
public:
    Amf0Writer(Machine& vm, Object* ba) : m_vm(vm), m_ba(ba) {}

    void value(const Value& v) {
        const NativeDepth level(m_vm);
        switch (v.kind) {
        case Kind::Undefined:
            return marker(6);
        case Kind::Null:
            return marker(5);
        case Kind::Boolean:
            marker(1);
            return writeBig(m_vm, m_ba, v.b ? 1 : 0, 1);
        case Kind::Int:
        case Kind::Number:
            marker(0);
            return writeBig(m_vm, m_ba, std::bit_cast<std::uint64_t>(v.num()), 8);
        case Kind::String:
            return text(v.s->s);
        case Kind::Object:
            return object(v.o);
        }
    }

private:
    void marker(std::uint8_t m) { writeBig(m_vm, m_ba, m, 1); }
    void name(const std::string& s) {
        writeBig(m_vm, m_ba, s.size(), 2);
        writeRaw(m_vm, m_ba, s);
    }
    void text(const std::string& s) {
        if (s.size() > 0xFFFF) {
            marker(12);
            writeBig(m_vm, m_ba, s.size(), 4);
            writeRaw(m_vm, m_ba, s);
            return;
        }
        marker(2);
        name(s);
    }

    void object(Object* o) {
        if (isFunction(Value::obj(o))) {
            return marker(6);
        }
        for (std::size_t i = 0; i < m_objects.size(); ++i) {
            if (m_objects[i] == o) {
                marker(7);
                return writeBig(m_vm, m_ba, i, 2);
            }
        }
        m_objects.push_back(o);
        if (o->kind == ObjKind::Date) {
            marker(11);
            writeBig(m_vm, m_ba, std::bit_cast<std::uint64_t>(o->number), 8);
            return writeBig(m_vm, m_ba, 0, 2);
        }
        auto props = sealedMembers(m_vm, o);
        if (o->kind == ObjKind::Array) {
            marker(8);
            writeBig(m_vm, m_ba, o->elems.size(), 4);
            for (std::size_t i = 0; i < o->elems.size(); ++i) {
                if (!o->elems[i].isHole()) {
                    props.emplace_back(std::to_string(i), o->elems[i]);
                }
            }
        } else {
            marker(3);
        }
        for (auto& p : dynamicProperties(o)) {
            props.push_back(std::move(p));
        }
        for (const auto& [key, v] : props) {
            if (!isFunction(v)) {
                name(key);
                value(v);
            }
        }
        name("");
        marker(9);
    }

    Machine& m_vm;
    Object* m_ba;
    std::vector<Object*> m_objects;
};

// ---- AMF3 ----

class Amf3Writer {
public:
    Amf3Writer(Machine& vm, Object* ba) : m_vm(vm), m_ba(ba) {}

    void value(const Value& v) {
        const NativeDepth level(m_vm);
        switch (v.kind) {
        case Kind::Undefined:
            return marker(0);
        case Kind::Null:
            return marker(1);
        case Kind::Boolean:
            return marker(v.b ? 3 : 2);
        case Kind::Int:
            if (v.i >= -(1 << 28) && v.i < (1 << 28)) {
                marker(4);
                return u29(static_cast<std::uint32_t>(v.i) & 0x1FFFFFFF);
            }
            [[fallthrough]];
        case Kind::Number:
            marker(5);
            return writeBig(m_vm, m_ba, std::bit_cast<std::uint64_t>(v.num()), 8);
        case Kind::String:
            marker(6);
            return text(v.s->s);
        case Kind::Object:
            return object(v.o);
        }
    }

private:
    void marker(std::uint8_t m) { writeBig(m_vm, m_ba, m, 1); }

    void u29(std::uint32_t v) {
        if (v < 0x80) {
            writeBig(m_vm, m_ba, v, 1);
        } else if (v < 0x4000) {
            writeBig(m_vm, m_ba, ((v >> 7) | 0x80) << 8 | (v & 0x7F), 2);
        } else if (v < 0x200000) {
            writeBig(m_vm, m_ba,
                     ((v >> 14) | 0x80) << 16 | ((v >> 7 & 0x7F) | 0x80) << 8 | (v & 0x7F), 3);
        } else {
            writeBig(m_vm, m_ba,
                     static_cast<std::uint64_t>((v >> 22) | 0x80) << 24 |
                         ((v >> 15 & 0x7F) | 0x80) << 16 | ((v >> 8 & 0x7F) | 0x80) << 8 |
                         (v & 0xFF),
                     4);
        }
    }

    void text(const std::string& s) {
        if (s.empty()) {
            return u29(1);
        }
        if (auto it = m_strings.find(s); it != m_strings.end()) {
            return u29(it->second << 1);
        }
        const auto index = static_cast<std::uint32_t>(m_strings.size());
        m_strings.emplace(s, index);
        u29(static_cast<std::uint32_t>(s.size()) << 1 | 1);
        writeRaw(m_vm, m_ba, s);
    }

    // A reference to an object written before (and true), or the object is noted.
    bool reference(Object* o) {
        if (auto it = m_objects.find(o); it != m_objects.end()) {
            u29(it->second << 1);
            return true;
        }
        const auto index = static_cast<std::uint32_t>(m_objects.size());
        m_objects.emplace(o, index);
        return false;
    }

    void object(Object* o);
    void array(Object* o);
    void plain(Object* o);

    Machine& m_vm;
    Object* m_ba;
    std::unordered_map<std::string, std::uint32_t> m_strings;
    std::unordered_map<Object*, std::uint32_t> m_objects;
    std::unordered_map<const ClassInfo*, std::uint32_t> m_traits;
};

void Amf3Writer::object(Object* o) {
    if (isFunction(Value::obj(o))) {
        return marker(0);
    }
    const std::uint8_t kind = o->kind == ObjKind::Date        ? 8
                              : o->kind == ObjKind::Array     ? 9
                              : o->kind == ObjKind::ByteArray ? 12
                                                              : 10;
    marker(kind);
    if (reference(o)) {
        return;
    }
    if (kind == 8) {
        u29(1);
        return writeBig(m_vm, m_ba, std::bit_cast<std::uint64_t>(o->number), 8);
    }
    if (kind == 12) {
        u29(static_cast<std::uint32_t>(o->byteData.size()) << 1 | 1);
        return putBytes(m_vm, m_ba, o->byteData.data(), o->byteData.size());
    }
    if (kind == 9) {
        return array(o);
    }
    plain(o);
}

void Amf3Writer::array(Object* o) {
    bool dense = true;
    for (const Value& e : o->elems) {
        dense = dense && !e.isHole();
    }
    auto props = dynamicProperties(o);
    if (!dense) {
        for (std::size_t i = 0; i < o->elems.size(); ++i) {
            if (!o->elems[i].isHole()) {
                props.emplace_back(std::to_string(i), o->elems[i]);
            }
        }
    }
    u29(static_cast<std::uint32_t>(dense ? o->elems.size() : 0) << 1 | 1);
    for (const auto& [key, v] : props) {
        text(key);
        value(v);
    }
    text("");
    if (dense) {
        for (const Value& e : o->elems) {
            value(e);
        }
    }
}

void Amf3Writer::plain(Object* o) {
    const auto sealed = sealedMembers(m_vm, o);
    const bool dynamic = o->cls == nullptr || !o->cls->sealed;
    if (auto it = m_traits.find(o->cls); it != m_traits.end()) {
        u29(it->second << 2 | 1);
    } else {
        const auto index = static_cast<std::uint32_t>(m_traits.size());
        m_traits.emplace(o->cls, index);
        u29(static_cast<std::uint32_t>(sealed.size()) << 4 | (dynamic ? 8 : 0) | 3);
        text(classAlias(m_vm, o->cls));
        for (const auto& member : sealed) {
            text(member.first);
        }
    }
    for (const auto& member : sealed) {
        value(member.second);
    }
    if (dynamic) {
        for (const auto& [key, v] : dynamicProperties(o)) {
            if (!isFunction(v)) {
                text(key);
                value(v);
            }
        }
        text("");
    }
}

} // namespace

void writeAmf(Machine& vm, Object* ba, const Value& v, int encoding) {
    if (encoding == 0) {
        Amf0Writer(vm, ba).value(v);
        return;
    }
    Amf3Writer(vm, ba).value(v);
}

} // namespace kinovex::flash::avm2
