#pragma once
// The reader's parts, shared by the files that read the pools and the rest of the block.

#include "engine/abc/AbcFile.h"
#include "engine/abc/AbcStream.h"

namespace kinovex::flash::abc {

class AbcParser {
public:
    explicit AbcParser(AbcFile& file) : m_file(file), m_in(file.bytes) {}

    AbcStream& stream() { return m_in; }
    void readFile();

private:
    // AbcPools.cpp
    void readConstantPool();
    std::uint32_t poolCount(std::size_t minBytes, const char* what);
    void readStrings();
    void readNamespaces();
    void readNsSets();
    void readMultinames();
    void readMultiname(Multiname& name);
    void checkTypeNames();

    // AbcReader.cpp
    void readMethods();
    void readMethod(Method& method);
    void readMetadata();
    void readClasses();
    void readInstance(Instance& instance);
    void readScripts();
    void readBodies();
    void readBody(MethodBody& body);
    void readTraits(std::vector<Trait>& traits);
    void readTrait(Trait& trait);
    ConstantValue readConstant(std::uint32_t index, std::uint8_t kind);

    std::uint32_t multinameIndex(const char* what) {
        return m_in.index(m_file.multinames.size(), what);
    }
    std::uint32_t stringIndex(const char* what) { return m_in.index(m_file.strings.size(), what); }
    std::uint32_t methodIndex(const char* what) { return m_in.index(m_file.methods.size(), what); }

    AbcFile& m_file;
    AbcStream m_in;
};

} // namespace kinovex::flash::abc
