#pragma once
// Blocks of ActionScript 3 bytecode for tests, written field by field. Nothing is checked, so a
// test can write any damage it wants: counts that promise too much, indices past their pools,
// kinds that do not exist.
//
//   test::AbcBuilder abc;
//   const auto name = abc.addQName(abc.addNamespace(0x16, abc.addString("")), abc.addString("f"));
//   const auto method = abc.addMethod({});
//   abc.addBody({.method = method, .code = {0xD0, 0x30, 0x47}});
//   abc.addScript(method);
//   std::vector<std::uint8_t> bytes = abc.bytes();

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kinovex::test {

// The encodings: variable-length integers (seven bits a byte, low bits first), s24, doubles.
class AbcBytes {
public:
    AbcBytes& u8(std::uint8_t v);
    AbcBytes& u16(std::uint16_t v);
    AbcBytes& u30(std::uint32_t v); // any 32-bit value, in the variable-length form
    AbcBytes& s32(std::int32_t v);
    AbcBytes& s24(std::int32_t v);
    AbcBytes& d64(double v);
    AbcBytes& str(const std::string& s); // length, then the bytes
    AbcBytes& raw(const std::vector<std::uint8_t>& bytes);
    AbcBytes& append(const AbcBytes& other) { return raw(other.m_data); }

    const std::vector<std::uint8_t>& data() const { return m_data; }
    std::size_t size() const { return m_data.size(); }

private:
    std::vector<std::uint8_t> m_data;
};

struct AbcMethodSpec {
    std::vector<std::uint32_t> params = {}; // multinames
    std::uint32_t returnType = 0;
    std::uint32_t name = 0;
    std::uint8_t flags = 0; // written as given; optional values and names add their flags
    std::vector<std::pair<std::uint32_t, std::uint8_t>> optional = {}; // index, kind
    std::vector<std::uint32_t> paramNames = {};                        // strings
};

struct AbcExceptionSpec {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    std::uint32_t target = 0;
    std::uint32_t type = 0;
    std::uint32_t varName = 0;
};

struct AbcBodySpec {
    std::uint32_t method = 0;
    std::uint32_t maxStack = 4;
    std::uint32_t localCount = 1;
    std::uint32_t initScopeDepth = 0;
    std::uint32_t maxScopeDepth = 2;
    std::vector<std::uint8_t> code = {0x47}; // returnvoid
    std::vector<AbcExceptionSpec> exceptions = {};
    std::vector<AbcBytes> traits = {};
};

struct AbcClassSpec {
    std::uint32_t name = 0;
    std::uint32_t superName = 0;
    std::uint8_t flags = 0;
    std::uint32_t protectedNs = 0; // written when the flags say so
    std::vector<std::uint32_t> interfaces = {};
    std::uint32_t instanceInit = 0;
    std::vector<AbcBytes> instanceTraits = {};
    std::uint32_t classInit = 0;
    std::vector<AbcBytes> classTraits = {};
};

class AbcBuilder {
public:
    // The lists a count is written for; a test can make the count say anything.
    enum class Count {
        Int,
        UInt,
        Double,
        String,
        Namespace,
        NsSet,
        Multiname,
        Method,
        Metadata,
        Class,
        Script,
        Body
    };

    std::uint32_t addInt(std::int32_t v);
    std::uint32_t addUInt(std::uint32_t v);
    std::uint32_t addDouble(double v);
    std::uint32_t addString(const std::string& s);
    std::uint32_t addNamespace(std::uint8_t kind, std::uint32_t name);
    std::uint32_t addNsSet(const std::vector<std::uint32_t>& namespaces);
    std::uint32_t addQName(std::uint32_t ns, std::uint32_t name);
    // Any multiname: its kind byte and fields as given.
    std::uint32_t addMultiname(const AbcBytes& entry);
    std::uint32_t addMethod(const AbcMethodSpec& method);
    std::uint32_t addMetadata(std::uint32_t name,
                              const std::vector<std::pair<std::uint32_t, std::uint32_t>>& items);
    std::uint32_t addClass(const AbcClassSpec& spec);
    void addScript(std::uint32_t init, const std::vector<AbcBytes>& traits = {});
    void addBody(const AbcBodySpec& body);

    void setCount(Count which, std::uint32_t value) { m_counts[static_cast<int>(which)] = value; }
    std::vector<std::uint8_t> bytes() const;

    // Traits: kind 0 slot / 6 const, 1-3 method/getter/setter, 4 class, 5 function.
    static AbcBytes slotTrait(std::uint32_t name, std::uint32_t type, std::uint32_t value = 0,
                              std::uint8_t valueKind = 0, bool isConst = false);
    static AbcBytes methodTrait(std::uint32_t name, std::uint8_t kind, std::uint32_t method,
                                const std::vector<std::uint32_t>& metadata = {});
    static AbcBytes classTrait(std::uint32_t name, std::uint32_t classIndex);

private:
    std::uint32_t count(Count which, std::size_t actual) const;

    std::optional<std::uint32_t> m_counts[12];
    AbcBytes m_ints, m_uints, m_doubles, m_strings, m_namespaces, m_nsSets, m_multinames;
    std::uint32_t m_intCount = 0, m_uintCount = 0, m_doubleCount = 0, m_stringCount = 0;
    std::uint32_t m_namespaceCount = 0, m_nsSetCount = 0, m_multinameCount = 0;
    AbcBytes m_methods, m_metadata, m_instances, m_classes, m_scripts, m_bodies;
    std::uint32_t m_methodCount = 0, m_metadataCount = 0, m_classCount = 0, m_scriptCount = 0;
    std::uint32_t m_bodyCount = 0;
};

} // namespace kinovex::test
