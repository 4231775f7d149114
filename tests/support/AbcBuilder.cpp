#include "AbcBuilder.h"

#include <bit>

namespace kinovex::test {

AbcBytes& AbcBytes::u8(std::uint8_t v) {
    m_data.push_back(v);
    return *this;
}

AbcBytes& AbcBytes::u16(std::uint16_t v) {
    m_data.push_back(static_cast<std::uint8_t>(v & 0xFF));
    m_data.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
}

AbcBytes& AbcBytes::u30(std::uint32_t v) {
    do {
        const auto low = static_cast<std::uint8_t>(v & 0x7F);
        v >>= 7;
        m_data.push_back(v != 0 ? static_cast<std::uint8_t>(low | 0x80) : low);
    } while (v != 0);
    return *this;
}

AbcBytes& AbcBytes::s32(std::int32_t v) {
    // Negative values take all five bytes.
    return u30(static_cast<std::uint32_t>(v));
}

AbcBytes& AbcBytes::s24(std::int32_t v) {
    const auto bits = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 3; ++i) {
        m_data.push_back(static_cast<std::uint8_t>((bits >> (8 * i)) & 0xFF));
    }
    return *this;
}

AbcBytes& AbcBytes::d64(double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i) {
        m_data.push_back(static_cast<std::uint8_t>((bits >> (8 * i)) & 0xFF));
    }
    return *this;
}

AbcBytes& AbcBytes::str(const std::string& s) {
    u30(static_cast<std::uint32_t>(s.size()));
    m_data.insert(m_data.end(), s.begin(), s.end());
    return *this;
}

AbcBytes& AbcBytes::raw(const std::vector<std::uint8_t>& bytes) {
    m_data.insert(m_data.end(), bytes.begin(), bytes.end());
    return *this;
}

std::uint32_t AbcBuilder::addInt(std::int32_t v) {
    m_ints.s32(v);
    return ++m_intCount;
}

std::uint32_t AbcBuilder::addUInt(std::uint32_t v) {
    m_uints.u30(v);
    return ++m_uintCount;
}

std::uint32_t AbcBuilder::addDouble(double v) {
    m_doubles.d64(v);
    return ++m_doubleCount;
}

std::uint32_t AbcBuilder::addString(const std::string& s) {
    m_strings.str(s);
    return ++m_stringCount;
}

std::uint32_t AbcBuilder::addNamespace(std::uint8_t kind, std::uint32_t name) {
    m_namespaces.u8(kind).u30(name);
    return ++m_namespaceCount;
}

std::uint32_t AbcBuilder::addNsSet(const std::vector<std::uint32_t>& namespaces) {
    m_nsSets.u30(static_cast<std::uint32_t>(namespaces.size()));
    for (std::uint32_t ns : namespaces) {
        m_nsSets.u30(ns);
    }
    return ++m_nsSetCount;
}

std::uint32_t AbcBuilder::addQName(std::uint32_t ns, std::uint32_t name) {
    return addMultiname(AbcBytes().u8(0x07).u30(ns).u30(name));
}

std::uint32_t AbcBuilder::addMultiname(const AbcBytes& entry) {
    m_multinames.append(entry);
    return ++m_multinameCount;
}

std::uint32_t AbcBuilder::addMethod(const AbcMethodSpec& method) {
    m_methods.u30(static_cast<std::uint32_t>(method.params.size())).u30(method.returnType);
    for (std::uint32_t type : method.params) {
        m_methods.u30(type);
    }
    std::uint8_t flags = method.flags;
    flags |= method.optional.empty() ? 0 : 0x08;
    flags |= method.paramNames.empty() ? 0 : 0x80;
    m_methods.u30(method.name).u8(flags);
    if (!method.optional.empty()) {
        m_methods.u30(static_cast<std::uint32_t>(method.optional.size()));
        for (const auto& [index, kind] : method.optional) {
            m_methods.u30(index).u8(kind);
        }
    }
    for (std::uint32_t name : method.paramNames) {
        m_methods.u30(name);
    }
    return m_methodCount++;
}

std::uint32_t
AbcBuilder::addMetadata(std::uint32_t name,
                        const std::vector<std::pair<std::uint32_t, std::uint32_t>>& items) {
    m_metadata.u30(name).u30(static_cast<std::uint32_t>(items.size()));
    for (const auto& item : items) {
        m_metadata.u30(item.first);
    }
    for (const auto& item : items) {
        m_metadata.u30(item.second);
    }
    return m_metadataCount++;
}

namespace {

void writeTraits(AbcBytes& out, const std::vector<AbcBytes>& traits) {
    out.u30(static_cast<std::uint32_t>(traits.size()));
    for (const AbcBytes& trait : traits) {
        out.append(trait);
    }
}

} // namespace

std::uint32_t AbcBuilder::addClass(const AbcClassSpec& spec) {
    m_instances.u30(spec.name).u30(spec.superName).u8(spec.flags);
    if ((spec.flags & 0x08) != 0) {
        m_instances.u30(spec.protectedNs);
    }
    m_instances.u30(static_cast<std::uint32_t>(spec.interfaces.size()));
    for (std::uint32_t name : spec.interfaces) {
        m_instances.u30(name);
    }
    m_instances.u30(spec.instanceInit);
    writeTraits(m_instances, spec.instanceTraits);
    m_classes.u30(spec.classInit);
    writeTraits(m_classes, spec.classTraits);
    return m_classCount++;
}

void AbcBuilder::addScript(std::uint32_t init, const std::vector<AbcBytes>& traits) {
    m_scripts.u30(init);
    writeTraits(m_scripts, traits);
    ++m_scriptCount;
}

void AbcBuilder::addBody(const AbcBodySpec& body) {
    m_bodies.u30(body.method).u30(body.maxStack).u30(body.localCount);
    m_bodies.u30(body.initScopeDepth).u30(body.maxScopeDepth);
    m_bodies.u30(static_cast<std::uint32_t>(body.code.size())).raw(body.code);
    m_bodies.u30(static_cast<std::uint32_t>(body.exceptions.size()));
    for (const AbcExceptionSpec& e : body.exceptions) {
        m_bodies.u30(e.from).u30(e.to).u30(e.target).u30(e.type).u30(e.varName);
    }
    writeTraits(m_bodies, body.traits);
    ++m_bodyCount;
}

AbcBytes AbcBuilder::slotTrait(std::uint32_t name, std::uint32_t type, std::uint32_t value,
                               std::uint8_t valueKind, bool isConst) {
    AbcBytes out;
    out.u30(name).u8(isConst ? 6 : 0).u30(0).u30(type).u30(value);
    if (value != 0) {
        out.u8(valueKind);
    }
    return out;
}

AbcBytes AbcBuilder::methodTrait(std::uint32_t name, std::uint8_t kind, std::uint32_t method,
                                 const std::vector<std::uint32_t>& metadata) {
    AbcBytes out;
    out.u30(name).u8(static_cast<std::uint8_t>(kind | (metadata.empty() ? 0 : 0x40)));
    out.u30(0).u30(method);
    if (!metadata.empty()) {
        out.u30(static_cast<std::uint32_t>(metadata.size()));
        for (std::uint32_t m : metadata) {
            out.u30(m);
        }
    }
    return out;
}

AbcBytes AbcBuilder::classTrait(std::uint32_t name, std::uint32_t classIndex) {
    AbcBytes out;
    out.u30(name).u8(4).u30(0).u30(classIndex);
    return out;
}

std::uint32_t AbcBuilder::count(Count which, std::size_t actual) const {
    const auto& forced = m_counts[static_cast<int>(which)];
    return forced ? *forced : static_cast<std::uint32_t>(actual);
}

std::vector<std::uint8_t> AbcBuilder::bytes() const {
    AbcBytes out;
    out.u16(16).u16(46);
    // Pool counts include the entry 0 that is not written.
    auto pool = [&](Count which, std::uint32_t entries, const AbcBytes& data) {
        out.u30(count(which, entries == 0 ? 0 : entries + 1)).append(data);
    };
    pool(Count::Int, m_intCount, m_ints);
    pool(Count::UInt, m_uintCount, m_uints);
    pool(Count::Double, m_doubleCount, m_doubles);
    pool(Count::String, m_stringCount, m_strings);
    pool(Count::Namespace, m_namespaceCount, m_namespaces);
    pool(Count::NsSet, m_nsSetCount, m_nsSets);
    pool(Count::Multiname, m_multinameCount, m_multinames);
    out.u30(count(Count::Method, m_methodCount)).append(m_methods);
    out.u30(count(Count::Metadata, m_metadataCount)).append(m_metadata);
    out.u30(count(Count::Class, m_classCount)).append(m_instances).append(m_classes);
    out.u30(count(Count::Script, m_scriptCount)).append(m_scripts);
    out.u30(count(Count::Body, m_bodyCount)).append(m_bodies);
    return out.data();
}

} // namespace kinovex::test
