// Reading ActionScript 3 bytecode: a well-formed block reads back as written, and every kind of
// damage is refused with a message that says what was wrong.

#include "engine/abc/AbcReader.h"
#include "AbcBuilder.h"

#include <gtest/gtest.h>

#include <limits>

namespace kinovex::flash::abc {
namespace {

using test::AbcBuilder;
using test::AbcBytes;

// Kinds as the format numbers them, for the builder.
constexpr std::uint8_t kPackageNs = 0x16;
constexpr std::uint8_t kPrivateNs = 0x05;

// A block with something in every pool and list, and the indices it was built with.
struct RichBlock {
    AbcBuilder abc;
    std::uint32_t emptyString = 0, nameString = 0, keyString = 0;
    std::uint32_t packageNs = 0, privateNs = 0, nsSet = 0;
    std::uint32_t qname = 0, rtqname = 0, rtqnamel = 0, multiname = 0, multinamel = 0;
    std::uint32_t attrQName = 0, vectorName = 0, typeName = 0;
    std::uint32_t intIndex = 0, uintIndex = 0, doubleIndex = 0;
    std::uint32_t initMethod = 0, fnMethod = 0, metadata = 0, classIndex = 0;

    RichBlock() {
        emptyString = abc.addString("");
        nameString = abc.addString("value");
        keyString = abc.addString("key");
        intIndex = abc.addInt(-5);
        uintIndex = abc.addUInt(0xFFFFFFFFu);
        doubleIndex = abc.addDouble(2.5);
        packageNs = abc.addNamespace(kPackageNs, emptyString);
        privateNs = abc.addNamespace(kPrivateNs, nameString);
        nsSet = abc.addNsSet({packageNs, privateNs});
        qname = abc.addQName(packageNs, nameString);
        rtqname = abc.addMultiname(AbcBytes().u8(0x0F).u30(nameString));
        rtqnamel = abc.addMultiname(AbcBytes().u8(0x11));
        multiname = abc.addMultiname(AbcBytes().u8(0x09).u30(nameString).u30(nsSet));
        multinamel = abc.addMultiname(AbcBytes().u8(0x1B).u30(nsSet));
        attrQName = abc.addMultiname(AbcBytes().u8(0x0D).u30(privateNs).u30(keyString));
        vectorName = abc.addQName(packageNs, keyString);
        typeName = abc.addMultiname(AbcBytes().u8(0x1D).u30(vectorName).u30(1).u30(qname));
        initMethod = abc.addMethod({});
        fnMethod = abc.addMethod({.params = {qname, 0},
                                  .returnType = typeName,
                                  .name = nameString,
                                  .flags = 0x04,
                                  .optional = {{intIndex, 0x03}},
                                  .paramNames = {keyString, nameString}});
        metadata = abc.addMetadata(nameString, {{keyString, nameString}, {0, keyString}});
        classIndex = abc.addClass(
            {.name = qname,
             .superName = vectorName,
             .flags = 0x08 | 0x01,
             .protectedNs = privateNs,
             .interfaces = {multiname},
             .instanceInit = initMethod,
             .instanceTraits = {AbcBuilder::methodTrait(attrQName, 2, fnMethod, {metadata})},
             .classInit = initMethod,
             .classTraits = {AbcBuilder::slotTrait(qname, typeName, doubleIndex, 0x06, true)}});
        abc.addScript(initMethod, {AbcBuilder::classTrait(qname, classIndex),
                                   AbcBuilder::methodTrait(vectorName, 5, fnMethod)});
        abc.addBody({.method = fnMethod,
                     .maxStack = 2,
                     .localCount = 4,
                     .initScopeDepth = 1,
                     .maxScopeDepth = 3,
                     .code = {0xD0, 0x30, 0x47},
                     .exceptions = {{0, 2, 2, qname, vectorName}},
                     .traits = {AbcBuilder::slotTrait(qname, 0)}});
        abc.addBody({.method = initMethod});
    }
};

TEST(AbcReader, ReadsBackEveryPartOfAWellFormedBlock) {
    RichBlock block;
    AbcFile file;
    const auto error = readAbc(block.abc.bytes(), file);
    ASSERT_FALSE(error) << error->text();

    EXPECT_EQ(file.majorVersion, 46);
    EXPECT_EQ(file.ints.at(block.intIndex), -5);
    EXPECT_EQ(file.uints.at(block.uintIndex), 0xFFFFFFFFu);
    EXPECT_EQ(file.doubles.at(block.doubleIndex), 2.5);
    EXPECT_EQ(file.string(block.nameString), "value");
    EXPECT_EQ(file.string(block.emptyString), "");
    EXPECT_EQ(file.namespaces.at(block.privateNs).kind, NamespaceKind::Private);
    EXPECT_EQ(file.nsSets.at(block.nsSet), (std::vector<std::uint32_t>{1, 2}));

    const Multiname& q = file.multinames.at(block.qname);
    EXPECT_EQ(q.kind, MultinameKind::QName);
    EXPECT_EQ(file.string(q.name), "value");
    EXPECT_EQ(q.ns, block.packageNs);
    EXPECT_EQ(file.multinames.at(block.rtqname).kind, MultinameKind::RTQName);
    EXPECT_EQ(file.multinames.at(block.rtqnamel).kind, MultinameKind::RTQNameL);
    EXPECT_EQ(file.multinames.at(block.multiname).nsSet, block.nsSet);
    EXPECT_EQ(file.multinames.at(block.multinamel).kind, MultinameKind::MultinameL);
    EXPECT_EQ(file.multinames.at(block.attrQName).kind, MultinameKind::QNameA);
    const Multiname& vector = file.multinames.at(block.typeName);
    EXPECT_EQ(vector.typeBase, block.vectorName);
    ASSERT_EQ(vector.paramCount, 1u);
    EXPECT_EQ(file.typeParams.at(vector.firstParam), block.qname);

    const Method& fn = file.methods.at(block.fnMethod);
    EXPECT_EQ(fn.returnType, block.typeName);
    EXPECT_EQ(file.string(fn.name), "value");
    EXPECT_EQ(fn.flags & MethodNeedRest, MethodNeedRest);
    EXPECT_EQ(
        std::vector<std::uint32_t>(file.parameterTypes(fn).begin(), file.parameterTypes(fn).end()),
        (std::vector<std::uint32_t>{block.qname, 0}));
    ASSERT_EQ(fn.optionalCount, 1u);
    EXPECT_EQ(file.optionalValues.at(fn.firstOptional).index, block.intIndex);
    ASSERT_TRUE(fn.hasParamNames);
    EXPECT_EQ(file.string(file.paramNames.at(fn.firstParam + 1)), "value");
    EXPECT_EQ(fn.body, 0);

    const Metadata& meta = file.metadata.at(block.metadata);
    ASSERT_EQ(meta.items.size(), 2u);
    EXPECT_EQ(file.string(meta.items[0].key), "key");
    EXPECT_EQ(file.string(meta.items[0].value), "value");
    EXPECT_EQ(meta.items[1].key, 0u);

    const Instance& instance = file.instances.at(block.classIndex);
    EXPECT_EQ(instance.superName, block.vectorName);
    EXPECT_EQ(instance.protectedNs, block.privateNs);
    EXPECT_EQ(instance.interfaces, (std::vector<std::uint32_t>{block.multiname}));
    ASSERT_EQ(instance.traits.size(), 1u);
    EXPECT_EQ(instance.traits[0].kind, TraitKind::Getter);
    EXPECT_EQ(instance.traits[0].metadata, (std::vector<std::uint32_t>{block.metadata}));
    const Trait& constant = file.classes.at(block.classIndex).traits.at(0);
    EXPECT_EQ(constant.kind, TraitKind::Const);
    EXPECT_EQ(constant.typeName, block.typeName);
    EXPECT_EQ(file.doubles.at(constant.value.index), 2.5);
    ASSERT_EQ(file.scripts.size(), 1u);
    EXPECT_EQ(file.scripts[0].traits.at(0).kind, TraitKind::Class);
    EXPECT_EQ(file.scripts[0].traits.at(1).kind, TraitKind::Function);

    const MethodBody& body = file.bodies.at(0);
    EXPECT_EQ(body.maxScopeDepth, 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(file.code(body).begin(), file.code(body).end()),
              (std::vector<std::uint8_t>{0xD0, 0x30, 0x47}));
    ASSERT_EQ(body.exceptions.size(), 1u);
    EXPECT_EQ(body.exceptions[0].varName, block.vectorName);
    EXPECT_EQ(body.traits.size(), 1u);
}

// Integers as the pools store them: seven bits a byte, the low ones first.
TEST(AbcReader, ReadsVariableLengthIntegers) {
    struct Case {
        std::vector<std::uint8_t> encoded;
        std::int32_t asInt;
        std::uint32_t asUInt;
    };
    const Case cases[] = {
        {{0x00}, 0, 0},
        {{0x7F}, 127, 127}, // a short form is not sign-extended
        {{0x80, 0x01}, 128, 128},
        {{0xFF, 0xFF, 0x03}, 0xFFFF, 0xFFFF},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, -1, 0xFFFFFFFFu},
        {{0x80, 0x80, 0x80, 0x80, 0x08}, std::numeric_limits<std::int32_t>::min(), 0x80000000u},
        // The fifth byte never continues, and only its low four bits count.
        {{0x81, 0x80, 0x80, 0x80, 0xF0}, 1, 1},
    };
    for (const Case& c : cases) {
        AbcBytes bytes;
        bytes.u16(16).u16(46).u30(2).raw(c.encoded).u30(2).raw(c.encoded);
        bytes.raw({0, 0, 0, 0, 0}).raw({0, 0, 0, 0, 0});
        AbcFile file;
        const auto error = readAbc(bytes.data(), file);
        ASSERT_FALSE(error) << error->text();
        EXPECT_EQ(file.ints.at(1), c.asInt);
        EXPECT_EQ(file.uints.at(1), c.asUInt);
    }
}

TEST(AbcReader, RefusesEveryCutOfAWellFormedBlock) {
    const std::vector<std::uint8_t> whole = RichBlock().abc.bytes();
    for (std::size_t length = 0; length < whole.size(); ++length) {
        AbcFile file;
        const auto error = readAbc({whole.begin(), whole.begin() + length}, file);
        ASSERT_TRUE(error) << "cut at " << length;
        EXPECT_LE(error->offset, length);
    }
}

struct Damage {
    const char* name;
    void (*damage)(RichBlock&);
    const char* message;
};

const Damage kDamages[] = {
    {"string pool count past the bytes",
     [](RichBlock& b) { b.abc.setCount(AbcBuilder::Count::String, 1000000); },
     "string pool of 1000000 entries is more than the"},
    {"double pool count past the bytes",
     [](RichBlock& b) { b.abc.setCount(AbcBuilder::Count::Double, 100); },
     "double pool of 100 entries is more than the"},
    {"method count past the bytes",
     [](RichBlock& b) { b.abc.setCount(AbcBuilder::Count::Method, 0x3FFFFFFF); },
     "method count 1073741823 is more than the"},
    {"a count with its top bits set",
     [](RichBlock& b) { b.abc.setCount(AbcBuilder::Count::Body, 0xFFFFFFFFu); },
     "a 30-bit value has its top bits set"},
    {"namespace naming a string past the pool",
     [](RichBlock& b) { b.abc.addNamespace(kPackageNs, 40); },
     "namespace name index 40 is outside its pool of 4"},
    {"unknown namespace kind", [](RichBlock& b) { b.abc.addNamespace(0x33, 0); },
     "unknown namespace kind 51"},
    {"namespace set holding namespace 0",
     [](RichBlock& b) {
         b.abc.addNsSet({1, 0});
     },
     "namespace set member index 0 is outside its pool of 3"},
    {"unknown multiname kind", [](RichBlock& b) { b.abc.addMultiname(AbcBytes().u8(0x42)); },
     "unknown multiname kind 66"},
    {"multiname without a namespace set",
     [](RichBlock& b) { b.abc.addMultiname(AbcBytes().u8(0x09).u30(1).u30(0)); },
     "multiname namespace set index 0 is outside its pool of 2"},
    {"qualified name in a namespace past the pool", [](RichBlock& b) { b.abc.addQName(3, 1); },
     "multiname namespace index 3 is outside its pool of 3"},
    {"type name with a parameter past the pool",
     [](RichBlock& b) { b.abc.addMultiname(AbcBytes().u8(0x1D).u30(1).u30(1).u30(99)); },
     "names a type or parameter outside the pool"},
    {"parameter type past the multiname pool",
     [](RichBlock& b) { b.abc.addMethod({.params = {77}}); },
     "parameter type index 77 is outside its pool of 9"},
    {"optional value past the int pool",
     [](RichBlock& b) {
         b.abc.addMethod({.params = {0}, .optional = {{5, 0x03}}});
     },
     "constant index 5 of kind 3 is outside its pool of 2"},
    {"optional value of an unknown kind",
     [](RichBlock& b) {
         b.abc.addMethod({.params = {0}, .optional = {{1, 0x02}}});
     },
     "unknown constant kind 2"},
    {"more optional values than parameters",
     [](RichBlock& b) {
         b.abc.addMethod({.optional = {{1, 0x03}}});
     },
     "1 optional values for 0 parameters"},
    {"unknown trait kind",
     [](RichBlock& b) { b.abc.addScript(0, {AbcBytes().u30(1).u8(7).u30(0).u30(0)}); },
     "unknown trait kind 7"},
    {"class trait naming a class past the list",
     [](RichBlock& b) { b.abc.addScript(0, {AbcBuilder::classTrait(1, 4)}); },
     "class index 4 is outside its pool of 1"},
    {"trait naming metadata past the list",
     [](RichBlock& b) { b.abc.addScript(0, {AbcBuilder::methodTrait(1, 1, 0, {3})}); },
     "metadata index 3 is outside its pool of 1"},
    {"trait without a name",
     [](RichBlock& b) { b.abc.addScript(0, {AbcBuilder::slotTrait(0, 0)}); },
     "trait name index 0 is outside its pool"},
    {"script initializer past the methods", [](RichBlock& b) { b.abc.addScript(9); },
     "script initializer index 9 is outside its pool of 2"},
    {"body of a method that does not exist", [](RichBlock& b) { b.abc.addBody({.method = 2}); },
     "body's method index 2 is outside its pool of 2"},
    {"second body for one method",
     [](RichBlock& b) { b.abc.addBody({.method = 1, .localCount = 4}); },
     "method 1 has a second body"},
    {"fewer locals than parameters",
     [](RichBlock& b) {
         b.abc.addBody({.method = b.abc.addMethod({.params = {0, 0}}), .localCount = 2});
     },
     "the body has 2 locals for 3 parameters and receiver"},
    {"scope depth running backwards",
     [](RichBlock& b) {
         b.abc.addBody({.method = b.abc.addMethod({}), .initScopeDepth = 3, .maxScopeDepth = 1});
     },
     "the body's scope depth runs from 3 down to 1"},
    {"body claiming a billion locals",
     [](RichBlock& b) {
         b.abc.addBody({.method = b.abc.addMethod({}), .localCount = 0x3FFFFFFFu});
     },
     "the body asks for 1073741823 stack, local or scope slots"},
    {"bytes after the last body",
     [](RichBlock& b) {
         b.abc.addBody({.method = b.abc.addMethod({}), .code = {0x47}});
         b.abc.setCount(AbcBuilder::Count::Body, 2);
     },
     "bytes follow the last method body"},
};

TEST(AbcReader, RefusesDamageWithItsMessage) {
    for (const Damage& d : kDamages) {
        RichBlock block;
        d.damage(block);
        const std::vector<std::uint8_t> bytes = block.abc.bytes();
        AbcFile file;
        const auto error = readAbc(bytes, file);
        ASSERT_TRUE(error) << d.name;
        EXPECT_NE(error->message.find(d.message), std::string::npos)
            << d.name << ": " << error->text();
        EXPECT_LE(error->offset, bytes.size()) << d.name;
    }
}

} // namespace
} // namespace kinovex::flash::abc
