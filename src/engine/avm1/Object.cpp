#include "engine/avm1/Object.h"
#include "engine/avm1/Names.h"

namespace kinovex::flash::avm1 {

namespace {
constexpr std::size_t kIndexAbove = 8;
}

Value::Value(Object* o) {
    if (o) {
        m_type = Type::Object;
        m_object = o;
    } else {
        m_type = Type::Null;
    }
}

Object::Object(ObjectClass cls, Object* proto, bool caseSensitive)
    : m_class(cls), m_proto(proto), m_caseSensitive(caseSensitive) {
    if (proto) {
        define(kProtoName, Value(proto), kDontEnum | kDontDelete);
    }
}

void Object::setProto(const Value& v) {
    // A movie clip is no prototype: __proto__ holds it, but lookups do not go through it.
    Object* proto = v.isObject() ? v.asObject() : nullptr;
    m_proto = proto && proto->objectClass() != ObjectClass::Clip ? proto : nullptr;
    define(kProtoName, v, kDontEnum | kDontDelete);
}

std::string Object::keyOf(std::string_view name) const {
    std::string key(name);
    if (!m_caseSensitive) {
        for (char& c : key) {
            c = lowerAsciiLetter(c);
        }
    }
    return key;
}

const Property* Object::findOwn(std::string_view name) const {
    return const_cast<Object*>(this)->findOwn(name);
}

std::uint32_t Object::nameHash(std::string_view name) {
    std::uint32_t h = 2166136261u;
    for (const char c : name) {
        h = (h ^ static_cast<unsigned char>(lowerAsciiLetter(c))) * 16777619u;
    }
    return h;
}

Property* Object::findIndexed(std::string_view name, std::uint32_t hash) {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint64_t slot = m_slots[i];
        const auto position = static_cast<std::uint32_t>(slot);
        if (position == 0) {
            return nullptr;
        }
        if (slot >> 32 == hash && sameName(m_props[position - 1].key, name, m_caseSensitive)) {
            return &m_props[position - 1];
        }
    }
}

Property* Object::findOwn(std::string_view name) {
    if (!m_slots.empty()) {
        return findIndexed(name, nameHash(name));
    }
    for (Property& p : m_props) {
        if (sameName(p.key, name, m_caseSensitive)) {
            return &p;
        }
    }
    return nullptr;
}

bool prototypeLinkHidden(const Property& link, int version) {
    switch (version) {
    case 5:
        return link.flags & (kFromVersion6 | kFromVersion7 | kFromVersion8 | kFromVersion9);
    case 6:
        return link.flags & kFromVersion7;
    case 7:
        return link.flags & kFromVersion8;
    case 8:
        return link.flags & kFromVersion9;
    default:
        return false;
    }
}

bool visibleIn(const Property& p, int version) {
    if (version == 0) {
        return true;
    }
    return !((p.flags & kFromVersion6) && version < 6) &&
           !((p.flags & kNotInVersion6) && version == 6) &&
           !((p.flags & kFromVersion7) && version < 7) &&
           !((p.flags & kFromVersion8) && version < 8) &&
           !((p.flags & kFromVersion9) && version < 9);
}

Property* Object::find(std::string_view name, int version, bool& chainTooLong) {
    // The limit also keeps a prototype loop made by a script from hanging the lookup.
    // A movie of version 5 or 6 stops at a __proto__ link it would not enumerate through (see
    // prototypeLinkHidden); later movies go on whatever the link's version flags.
    int links = 0;
    std::uint32_t hash = 0; // worked out at the first object with an index
    bool hashed = false;
    for (Object* o = this; o; ++links) {
        if (links > kMaxPrototypeLinks) {
            chainTooLong = true;
            return nullptr;
        }
        Property* p = nullptr;
        if (o->m_slots.empty()) {
            p = o->findOwn(name);
        } else {
            if (!hashed) {
                hash = nameHash(name);
                hashed = true;
            }
            p = o->findIndexed(name, hash);
        }
        if (p && visibleIn(*p, version)) {
            return p;
        }
        // Only versions 5 and 6 look at the link's flags, so only they look the link up.
        const bool linkMayHide = o->m_proto && (version == 5 || version == 6);
        const Property* link = linkMayHide ? o->findOwn(kProtoName) : nullptr;
        o = link && prototypeLinkHidden(*link, version) ? nullptr : o->m_proto;
    }
    return nullptr;
}

Watchpoint* Object::findWatch(std::string_view name) {
    if (!m_watches) {
        return nullptr;
    }
    const std::string key = keyOf(name);
    for (Watchpoint& w : *m_watches) {
        if (w.key == key) {
            return &w;
        }
    }
    return nullptr;
}

void Object::setWatch(std::string_view name, Object* callback, Value userData) {
    if (Watchpoint* w = findWatch(name)) {
        w->callback = callback;
        w->userData = std::move(userData);
        return;
    }
    if (!m_watches) {
        m_watches = std::make_unique<std::vector<Watchpoint>>();
    }
    m_watches->push_back(Watchpoint{keyOf(name), callback, std::move(userData), 0});
}

bool Object::removeWatch(std::string_view name) {
    if (!m_watches) {
        return false;
    }
    const std::string key = keyOf(name);
    const auto before = m_watches->size();
    std::erase_if(*m_watches, [&](const Watchpoint& w) { return w.key == key; });
    return m_watches->size() != before;
}

Property& Object::define(std::string_view name, Value v, PropFlags flags) {
    if (Property* p = findOwn(name)) {
        p->value = std::move(v);
        p->getter = nullptr;
        p->setter = nullptr;
        return *p;
    }
    Property p;
    p.name = std::string(name);
    p.key = keyOf(name);
    p.value = std::move(v);
    p.flags = flags;
    m_props.push_back(std::move(p));
    if (m_props.size() > kIndexAbove) {
        if (m_slots.size() < 2 * m_props.size()) {
            rebuildIndex();
        } else {
            indexProperty(static_cast<std::uint32_t>(m_props.size() - 1), nameHash(name));
        }
    }
    return m_props.back();
}

bool Object::removeOwn(std::string_view name, bool keepPrototype) {
    Property* p = findOwn(name);
    if (!p || (p->flags & kDontDelete)) {
        return false;
    }
    if (p->key == kProtoName && !keepPrototype) {
        m_proto = nullptr;
    }
    m_props.erase(m_props.begin() + (p - m_props.data()));
    rebuildIndex();
    return true;
}

void Object::indexProperty(std::uint32_t position, std::uint32_t hash) {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = hash & mask;
    while (m_slots[i] != 0) {
        i = (i + 1) & mask;
    }
    m_slots[i] = std::uint64_t{hash} << 32 | (position + 1);
}

void Object::rebuildIndex() {
    m_slots.clear();
    if (m_props.size() <= kIndexAbove) {
        return;
    }
    std::size_t size = 32;
    while (size < 4 * m_props.size()) {
        size *= 2;
    }
    m_slots.assign(size, 0);
    for (std::uint32_t i = 0; i < m_props.size(); ++i) {
        indexProperty(i, nameHash(m_props[i].key));
    }
}

} // namespace kinovex::flash::avm1
