#include "engine/abc/AbcReader.h"

#include "engine/abc/AbcParser.h"

namespace kinovex::flash::abc {

namespace {

// The smallest a stored entry can be, in bytes: every field takes at least one.
constexpr std::size_t kMinMethodBytes = 4;
constexpr std::size_t kMinMetadataBytes = 2;
constexpr std::size_t kMinInstanceBytes = 6;
constexpr std::size_t kMinScriptBytes = 2;
constexpr std::size_t kMinBodyBytes = 8;
constexpr std::size_t kMinTraitBytes = 4;
constexpr std::size_t kMinExceptionBytes = 5;

// A body's stack, locals and scope chain are allocated up front when it runs; compilers
// stay far below this, so a larger claim is a damaged file, not a big method.
constexpr std::uint32_t kMaxFrameSlots = 65535;

// Value kinds of default parameters and slots.
enum ConstantKind : std::uint8_t {
    ConstantUndefined = 0x00,
    ConstantString = 0x01,
    ConstantInt = 0x03,
    ConstantUInt = 0x04,
    ConstantDouble = 0x06,
    ConstantFalse = 0x0A,
    ConstantTrue = 0x0B,
    ConstantNull = 0x0C,
};

} // namespace

std::optional<AbcError> readAbc(std::vector<std::uint8_t> bytes, AbcFile& out) {
    out = AbcFile{};
    out.bytes = std::move(bytes);
    AbcParser parser(out);
    parser.readFile();
    return parser.stream().error();
}

void AbcParser::readFile() {
    m_file.minorVersion = m_in.u16();
    m_file.majorVersion = m_in.u16();
    readConstantPool();
    readMethods();
    readMetadata();
    readClasses();
    readScripts();
    readBodies();
    if (m_in.ok() && !m_in.atEnd()) {
        m_in.fail(std::to_string(m_in.remaining()) + " bytes follow the last method body");
    }
}

ConstantValue AbcParser::readConstant(std::uint32_t index, std::uint8_t kind) {
    std::size_t size = 0;
    switch (kind) {
    case ConstantString:
        size = m_file.strings.size();
        break;
    case ConstantInt:
        size = m_file.ints.size();
        break;
    case ConstantUInt:
        size = m_file.uints.size();
        break;
    case ConstantDouble:
        size = m_file.doubles.size();
        break;
    case ConstantUndefined:
    case ConstantFalse:
    case ConstantTrue:
    case ConstantNull:
        return ConstantValue{kind, index};
    default:
        // The namespace kinds name a namespace.
        size = m_file.namespaces.size();
        if (!knownNamespaceKind(kind)) {
            m_in.failAt(m_in.position() - 1, "unknown constant kind " + std::to_string(kind));
            return {};
        }
        break;
    }
    if (index >= size) {
        m_in.failAt(m_in.position() - 1, "constant index " + std::to_string(index) + " of kind " +
                                             std::to_string(kind) + " is outside its pool of " +
                                             std::to_string(size));
    }
    return ConstantValue{kind, index};
}

void AbcParser::readMethods() {
    const std::uint32_t count = m_in.count(kMinMethodBytes, "method");
    m_file.methods.resize(count);
    for (std::uint32_t i = 0; i < count && m_in.ok(); ++i) {
        readMethod(m_file.methods[i]);
    }
}

void AbcParser::readMethod(Method& method) {
    method.paramCount = m_in.count(1, "parameter");
    method.returnType = multinameIndex("return type");
    method.firstParam = static_cast<std::uint32_t>(m_file.paramTypes.size());
    for (std::uint32_t i = 0; i < method.paramCount && m_in.ok(); ++i) {
        m_file.paramTypes.push_back(multinameIndex("parameter type"));
    }
    m_file.paramNames.resize(m_file.paramTypes.size());
    method.name = stringIndex("method name");
    method.flags = m_in.u8();
    if ((method.flags & MethodHasOptional) != 0) {
        method.optionalCount = m_in.count(2, "optional parameter");
        if (method.optionalCount > method.paramCount) {
            m_in.fail(std::to_string(method.optionalCount) + " optional values for " +
                      std::to_string(method.paramCount) + " parameters");
        }
        method.firstOptional = static_cast<std::uint32_t>(m_file.optionalValues.size());
        for (std::uint32_t i = 0; i < method.optionalCount && m_in.ok(); ++i) {
            const std::uint32_t index = m_in.u30();
            const std::uint8_t kind = m_in.u8();
            m_file.optionalValues.push_back(readConstant(index, kind));
        }
    }
    if ((method.flags & MethodHasParamNames) != 0) {
        method.hasParamNames = true;
        for (std::uint32_t i = 0; i < method.paramCount && m_in.ok(); ++i) {
            m_file.paramNames[method.firstParam + i] = stringIndex("parameter name");
        }
    }
}

void AbcParser::readMetadata() {
    const std::uint32_t count = m_in.count(kMinMetadataBytes, "metadata");
    m_file.metadata.resize(count);
    for (std::uint32_t i = 0; i < count && m_in.ok(); ++i) {
        Metadata& entry = m_file.metadata[i];
        entry.name = stringIndex("metadata name");
        // The keys come first, then the values.
        const std::uint32_t items = m_in.count(2, "metadata item");
        entry.items.resize(items);
        for (std::uint32_t k = 0; k < items && m_in.ok(); ++k) {
            entry.items[k].key = stringIndex("metadata key");
        }
        for (std::uint32_t k = 0; k < items && m_in.ok(); ++k) {
            entry.items[k].value = stringIndex("metadata value");
        }
    }
}

void AbcParser::readClasses() {
    const std::uint32_t count = m_in.count(kMinInstanceBytes, "class");
    m_file.instances.resize(count);
    m_file.classes.resize(count);
    for (std::uint32_t i = 0; i < count && m_in.ok(); ++i) {
        readInstance(m_file.instances[i]);
    }
    for (std::uint32_t i = 0; i < count && m_in.ok(); ++i) {
        m_file.classes[i].initializer = methodIndex("class initializer");
        readTraits(m_file.classes[i].traits);
    }
}

void AbcParser::readInstance(Instance& instance) {
    instance.name = m_in.index(m_file.multinames.size(), "class name", false);
    instance.superName = multinameIndex("superclass name");
    instance.flags = m_in.u8();
    if ((instance.flags & InstanceProtectedNs) != 0) {
        instance.protectedNs = m_in.index(m_file.namespaces.size(), "protected namespace");
    }
    const std::uint32_t interfaces = m_in.count(1, "interface");
    instance.interfaces.reserve(interfaces);
    for (std::uint32_t i = 0; i < interfaces && m_in.ok(); ++i) {
        instance.interfaces.push_back(
            m_in.index(m_file.multinames.size(), "interface name", false));
    }
    instance.initializer = methodIndex("instance initializer");
    readTraits(instance.traits);
}

void AbcParser::readScripts() {
    const std::uint32_t count = m_in.count(kMinScriptBytes, "script");
    m_file.scripts.resize(count);
    for (std::uint32_t i = 0; i < count && m_in.ok(); ++i) {
        m_file.scripts[i].initializer = methodIndex("script initializer");
        readTraits(m_file.scripts[i].traits);
    }
}

void AbcParser::readTraits(std::vector<Trait>& traits) {
    const std::uint32_t count = m_in.count(kMinTraitBytes, "trait");
    traits.resize(count);
    for (std::uint32_t i = 0; i < count && m_in.ok(); ++i) {
        readTrait(traits[i]);
    }
}

void AbcParser::readTrait(Trait& trait) {
    trait.name = m_in.index(m_file.multinames.size(), "trait name", false);
    const std::uint8_t kind = m_in.u8();
    trait.kind = static_cast<TraitKind>(kind & 0x0F);
    trait.attributes = static_cast<std::uint8_t>(kind >> 4);
    switch (trait.kind) {
    case TraitKind::Slot:
    case TraitKind::Const: {
        trait.slotId = m_in.u30();
        trait.typeName = multinameIndex("slot type");
        const std::uint32_t value = m_in.u30();
        if (value != 0) {
            trait.value = readConstant(value, m_in.u8());
        }
        break;
    }
    case TraitKind::Class:
        trait.slotId = m_in.u30();
        trait.index = m_in.index(m_file.classes.size(), "class");
        break;
    case TraitKind::Method:
    case TraitKind::Getter:
    case TraitKind::Setter:
    case TraitKind::Function:
        trait.slotId = m_in.u30();
        trait.index = methodIndex("trait method");
        break;
    default:
        if (m_in.ok()) {
            m_in.failAt(m_in.position() - 1, "unknown trait kind " + std::to_string(kind & 0x0F));
        }
        return;
    }
    if ((trait.attributes & TraitHasMetadata) != 0) {
        const std::uint32_t count = m_in.count(1, "trait metadata");
        trait.metadata.reserve(count);
        for (std::uint32_t i = 0; i < count && m_in.ok(); ++i) {
            trait.metadata.push_back(m_in.index(m_file.metadata.size(), "metadata"));
        }
    }
}

void AbcParser::readBodies() {
    const std::uint32_t count = m_in.count(kMinBodyBytes, "method body");
    m_file.bodies.resize(count);
    for (std::uint32_t i = 0; i < count && m_in.ok(); ++i) {
        const std::size_t start = m_in.position();
        readBody(m_file.bodies[i]);
        if (!m_in.ok()) {
            return;
        }
        Method& owner = m_file.methods[m_file.bodies[i].method];
        if (owner.body >= 0) {
            m_in.failAt(start,
                        "method " + std::to_string(m_file.bodies[i].method) + " has a second body");
        }
        owner.body = static_cast<std::int32_t>(i);
    }
}

void AbcParser::readBody(MethodBody& body) {
    body.method = methodIndex("body's method");
    body.maxStack = m_in.u30();
    body.localCount = m_in.u30();
    body.initScopeDepth = m_in.u30();
    body.maxScopeDepth = m_in.u30();
    if (!m_in.ok()) {
        return;
    }
    for (const std::uint32_t size : {body.maxStack, body.localCount, body.maxScopeDepth}) {
        if (m_in.ok() && size > kMaxFrameSlots) {
            m_in.fail("the body asks for " + std::to_string(size) + " stack, local or scope slots");
        }
    }
    if (m_in.ok() && body.maxScopeDepth < body.initScopeDepth) {
        m_in.fail("the body's scope depth runs from " + std::to_string(body.initScopeDepth) +
                  " down to " + std::to_string(body.maxScopeDepth));
    }
    const Method& method = m_file.methods[body.method];
    const bool extraLocal = (method.flags & (MethodNeedArguments | MethodNeedRest)) != 0;
    const std::uint64_t needed = std::uint64_t{method.paramCount} + 1 + (extraLocal ? 1 : 0);
    if (m_in.ok() && body.localCount < needed) {
        m_in.fail("the body has " + std::to_string(body.localCount) + " locals for " +
                  std::to_string(needed) + " parameters and receiver");
    }
    const std::uint32_t length = m_in.u30();
    const std::size_t start = m_in.skip(length, "the code");
    body.code = ByteRange{static_cast<std::uint32_t>(start), length};
    const std::uint32_t exceptions = m_in.count(kMinExceptionBytes, "exception");
    body.exceptions.resize(exceptions);
    for (std::uint32_t i = 0; i < exceptions && m_in.ok(); ++i) {
        ExceptionHandler& handler = body.exceptions[i];
        handler.from = m_in.u30();
        handler.to = m_in.u30();
        handler.target = m_in.u30();
        handler.type = multinameIndex("exception type");
        handler.varName = multinameIndex("exception variable");
    }
    readTraits(body.traits);
}

} // namespace kinovex::flash::abc
