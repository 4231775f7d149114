#include "engine/abc/AbcParser.h"

namespace kinovex::flash::abc {

// A pool's count includes the entry 0 that the block does not store.
std::uint32_t AbcParser::poolCount(std::size_t minBytes, const char* what) {
    const std::size_t start = m_in.position();
    const std::uint32_t count = m_in.u30();
    const std::uint32_t stored = count == 0 ? 0 : count - 1;
    if (m_in.ok() && stored > m_in.remaining() / minBytes) {
        m_in.failAt(start, std::string(what) + " pool of " + std::to_string(count) +
                               " entries is more than the " + std::to_string(m_in.remaining()) +
                               " bytes left can hold");
        return 0;
    }
    return m_in.ok() ? stored : 0;
}

void AbcParser::readConstantPool() {
    const std::uint32_t ints = poolCount(1, "int");
    m_file.ints.assign(1, 0);
    m_file.ints.reserve(ints + 1);
    for (std::uint32_t i = 0; i < ints && m_in.ok(); ++i) {
        m_file.ints.push_back(m_in.s32());
    }
    const std::uint32_t uints = poolCount(1, "uint");
    m_file.uints.assign(1, 0);
    m_file.uints.reserve(uints + 1);
    for (std::uint32_t i = 0; i < uints && m_in.ok(); ++i) {
        m_file.uints.push_back(m_in.u32());
    }
    const std::uint32_t doubles = poolCount(8, "double");
    m_file.doubles.assign(1, 0.0);
    m_file.doubles.reserve(doubles + 1);
    for (std::uint32_t i = 0; i < doubles && m_in.ok(); ++i) {
        m_file.doubles.push_back(m_in.d64());
    }
    readStrings();
    readNamespaces();
    readNsSets();
    readMultinames();
}

void AbcParser::readStrings() {
    const std::uint32_t count = poolCount(1, "string");
    m_file.strings.assign(1, ByteRange{});
    m_file.strings.reserve(count + 1);
    for (std::uint32_t i = 0; i < count && m_in.ok(); ++i) {
        const std::uint32_t length = m_in.u30();
        const std::size_t start = m_in.skip(length, "a string");
        m_file.strings.push_back(ByteRange{static_cast<std::uint32_t>(start), length});
    }
}

void AbcParser::readNamespaces() {
    const std::uint32_t count = poolCount(2, "namespace");
    m_file.namespaces.assign(1, Namespace{});
    m_file.namespaces.reserve(count + 1);
    for (std::uint32_t i = 0; i < count && m_in.ok(); ++i) {
        const std::uint8_t kind = m_in.u8();
        if (m_in.ok() && !knownNamespaceKind(kind)) {
            m_in.failAt(m_in.position() - 1, "unknown namespace kind " + std::to_string(kind));
        }
        Namespace ns;
        ns.kind = static_cast<NamespaceKind>(kind);
        ns.name = stringIndex("namespace name");
        m_file.namespaces.push_back(ns);
    }
}

void AbcParser::readNsSets() {
    const std::uint32_t count = poolCount(1, "namespace set");
    m_file.nsSets.assign(1, {});
    m_file.nsSets.reserve(count + 1);
    for (std::uint32_t i = 0; i < count && m_in.ok(); ++i) {
        const std::uint32_t size = m_in.count(1, "namespace set");
        std::vector<std::uint32_t> set;
        set.reserve(size);
        for (std::uint32_t j = 0; j < size && m_in.ok(); ++j) {
            set.push_back(m_in.index(m_file.namespaces.size(), "namespace set member", false));
        }
        m_file.nsSets.push_back(std::move(set));
    }
}

void AbcParser::readMultinames() {
    const std::uint32_t count = poolCount(1, "multiname");
    m_file.multinames.assign(1, Multiname{});
    m_file.multinames.reserve(count + 1);
    for (std::uint32_t i = 0; i < count && m_in.ok(); ++i) {
        Multiname name;
        readMultiname(name);
        m_file.multinames.push_back(name);
    }
    checkTypeNames();
}

void AbcParser::readMultiname(Multiname& name) {
    const std::size_t start = m_in.position();
    const std::uint8_t kind = m_in.u8();
    name.kind = static_cast<MultinameKind>(kind);
    const std::size_t namespaces = m_file.namespaces.size();
    const std::size_t sets = m_file.nsSets.size();
    switch (name.kind) {
    case MultinameKind::QName:
    case MultinameKind::QNameA:
        name.ns = m_in.index(namespaces, "multiname namespace");
        name.name = stringIndex("multiname name");
        return;
    case MultinameKind::RTQName:
    case MultinameKind::RTQNameA:
        name.name = stringIndex("multiname name");
        return;
    case MultinameKind::RTQNameL:
    case MultinameKind::RTQNameLA:
        return;
    case MultinameKind::Multiname:
    case MultinameKind::MultinameA:
        name.name = stringIndex("multiname name");
        name.nsSet = m_in.index(sets, "multiname namespace set", false);
        return;
    case MultinameKind::MultinameL:
    case MultinameKind::MultinameLA:
        name.nsSet = m_in.index(sets, "multiname namespace set", false);
        return;
    case MultinameKind::TypeName: {
        // The generic type and its parameters may name entries further on: checked once the
        // whole pool is read.
        name.typeBase = m_in.u30();
        name.paramCount = m_in.count(1, "type parameter");
        name.firstParam = static_cast<std::uint32_t>(m_file.typeParams.size());
        for (std::uint32_t i = 0; i < name.paramCount && m_in.ok(); ++i) {
            m_file.typeParams.push_back(m_in.u30());
        }
        return;
    }
    }
    if (m_in.ok()) {
        m_in.failAt(start, "unknown multiname kind " + std::to_string(kind));
    }
}

void AbcParser::checkTypeNames() {
    if (!m_in.ok()) {
        return;
    }
    const std::size_t count = m_file.multinames.size();
    for (std::size_t i = 1; i < count; ++i) {
        const Multiname& name = m_file.multinames[i];
        if (name.kind != MultinameKind::TypeName) {
            continue;
        }
        bool good = name.typeBase != 0 && name.typeBase < count &&
                    m_file.multinames[name.typeBase].kind != MultinameKind::TypeName;
        for (std::uint32_t p = 0; p < name.paramCount; ++p) {
            good = good && m_file.typeParams[name.firstParam + p] < count;
        }
        if (!good) {
            m_in.failAt(m_in.position(), "type name " + std::to_string(i) +
                                             " names a type or parameter outside the pool of " +
                                             std::to_string(count) + " multinames");
            return;
        }
    }
}

} // namespace kinovex::flash::abc
