#pragma once
// A block of ActionScript 3 bytecode as the file lays it out: constant pools, method
// signatures, metadata, classes, scripts and method bodies. Indices into pools are kept as
// stored; the reader has checked every one against its pool. Strings and code stay in the
// block's bytes, which the file keeps, so reading copies none of them.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kinovex::flash::abc {

// A run of the block's bytes.
struct ByteRange {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

enum class NamespaceKind : std::uint8_t {
    Private = 0x05,
    Namespace = 0x08,
    Package = 0x16,
    PackageInternal = 0x17,
    Protected = 0x18,
    Explicit = 0x19,
    StaticProtected = 0x1A,
};

bool knownNamespaceKind(std::uint8_t kind);

struct Namespace {
    NamespaceKind kind = NamespaceKind::Namespace;
    std::uint32_t name = 0; // string
};

enum class MultinameKind : std::uint8_t {
    QName = 0x07,
    QNameA = 0x0D,
    RTQName = 0x0F,
    RTQNameA = 0x10,
    RTQNameL = 0x11,
    RTQNameLA = 0x12,
    Multiname = 0x09,
    MultinameA = 0x0E,
    MultinameL = 0x1B,
    MultinameLA = 0x1C,
    TypeName = 0x1D, // a generic type applied to parameters: Vector.<T>
};

struct Multiname {
    MultinameKind kind = MultinameKind::QName;
    std::uint32_t name = 0;       // string; 0 is any name
    std::uint32_t ns = 0;         // namespace (QName kinds); 0 is any namespace
    std::uint32_t nsSet = 0;      // namespace set (Multiname kinds)
    std::uint32_t typeBase = 0;   // TypeName: the generic type, a multiname
    std::uint32_t firstParam = 0; // TypeName: its parameters in AbcFile::typeParams
    std::uint32_t paramCount = 0;
};

// How many values a name takes from the stack when an instruction uses it: a namespace, a
// name, or both, given at run time.
int runtimeNameValues(MultinameKind kind);

// The constant a default parameter or slot holds: its kind says which pool `index` is in.
struct ConstantValue {
    std::uint8_t kind = 0; // 0: undefined
    std::uint32_t index = 0;
};

enum MethodFlags : std::uint8_t {
    MethodNeedArguments = 0x01,
    MethodNeedActivation = 0x02,
    MethodNeedRest = 0x04,
    MethodHasOptional = 0x08,
    MethodSetDxns = 0x40,
    MethodHasParamNames = 0x80,
};

struct Method {
    std::uint32_t returnType = 0; // multiname; 0 is any type
    std::uint32_t name = 0;       // string
    std::uint8_t flags = 0;
    std::uint32_t firstParam = 0; // into AbcFile::paramTypes (and paramNames when present)
    std::uint32_t paramCount = 0;
    std::uint32_t firstOptional = 0; // into AbcFile::optionalValues
    std::uint32_t optionalCount = 0;
    bool hasParamNames = false;
    std::int32_t body = -1; // into AbcFile::bodies
};

struct MetadataItem {
    std::uint32_t key = 0; // string; 0 for an item without a key
    std::uint32_t value = 0;
};

struct Metadata {
    std::uint32_t name = 0; // string
    std::vector<MetadataItem> items;
};

enum class TraitKind : std::uint8_t {
    Slot = 0,
    Method = 1,
    Getter = 2,
    Setter = 3,
    Class = 4,
    Function = 5,
    Const = 6,
};

enum TraitAttributes : std::uint8_t {
    TraitFinal = 0x1,
    TraitOverride = 0x2,
    TraitHasMetadata = 0x4,
};

struct Trait {
    std::uint32_t name = 0; // multiname
    TraitKind kind = TraitKind::Slot;
    std::uint8_t attributes = 0;
    std::uint32_t slotId = 0;   // slot, const, class and function; dispatch id of methods
    std::uint32_t typeName = 0; // slot and const: multiname
    ConstantValue value;        // slot and const
    std::uint32_t index = 0;    // class: the class; method kinds and function: the method
    std::vector<std::uint32_t> metadata;
};

enum InstanceFlags : std::uint8_t {
    InstanceSealed = 0x01,
    InstanceFinal = 0x02,
    InstanceInterface = 0x04,
    InstanceProtectedNs = 0x08,
};

struct Instance {
    std::uint32_t name = 0;      // multiname
    std::uint32_t superName = 0; // multiname; 0 for none
    std::uint8_t flags = 0;
    std::uint32_t protectedNs = 0;
    std::vector<std::uint32_t> interfaces; // multinames
    std::uint32_t initializer = 0;         // method
    std::vector<Trait> traits;
};

struct Class {
    std::uint32_t initializer = 0; // method
    std::vector<Trait> traits;
};

struct Script {
    std::uint32_t initializer = 0; // method
    std::vector<Trait> traits;
};

struct ExceptionHandler {
    std::uint32_t from = 0; // the code it guards, [from, to)
    std::uint32_t to = 0;
    std::uint32_t target = 0;
    std::uint32_t type = 0;    // multiname; 0 catches everything
    std::uint32_t varName = 0; // multiname
};

struct MethodBody {
    std::uint32_t method = 0;
    std::uint32_t maxStack = 0;
    std::uint32_t localCount = 0;
    std::uint32_t initScopeDepth = 0;
    std::uint32_t maxScopeDepth = 0;
    ByteRange code;
    std::vector<ExceptionHandler> exceptions;
    std::vector<Trait> traits;
};

struct AbcFile {
    std::vector<std::uint8_t> bytes;
    std::uint16_t minorVersion = 0;
    std::uint16_t majorVersion = 0;

    // Pools; entry 0 of each stands for "none" or the default and is not stored in the block.
    std::vector<std::int32_t> ints;
    std::vector<std::uint32_t> uints;
    std::vector<double> doubles;
    std::vector<ByteRange> strings;
    std::vector<Namespace> namespaces;
    std::vector<std::vector<std::uint32_t>> nsSets;
    std::vector<Multiname> multinames;
    std::vector<std::uint32_t> typeParams; // TypeName parameters, multinames

    std::vector<Method> methods;
    std::vector<std::uint32_t> paramTypes; // multinames
    std::vector<std::uint32_t> paramNames; // strings, beside paramTypes (0 when not given)
    std::vector<ConstantValue> optionalValues;
    std::vector<Metadata> metadata;
    std::vector<Instance> instances; // one per class
    std::vector<Class> classes;
    std::vector<Script> scripts;
    std::vector<MethodBody> bodies;

    std::string_view string(std::uint32_t index) const;
    std::span<const std::uint8_t> code(const MethodBody& body) const;
    std::span<const std::uint32_t> parameterTypes(const Method& method) const;
};

} // namespace kinovex::flash::abc
