// flash.utils.ByteArray driven through the machine: each row calls methods on a fresh array
// and checks the bytes it holds, or reads bytes given and checks the value. The rows aim at the
// byte layouts that go wrong: the byte order, AMF3's variable-length integers and its string
// references, and text with a byte order mark, a zero byte or bytes of no UTF-8 sequence.

#include "engine/avm2/Machine.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace kinovex::flash::avm2 {
namespace {

struct Call {
    const char* method;
    std::vector<Value> (*args)(Machine&);
};

struct WriteRow {
    const char* name;
    std::vector<Call> calls;
    const char* hex; // the bytes after the calls
};

Object* newByteArray(Machine& vm) {
    return vm.constructClass(vm.builtin("flash.utils.ByteArray"), {});
}

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof(buf), "%02x", b);
        out += buf;
    }
    return out;
}

const WriteRow kWrites[] = {
    {"IntBigEndianByDefault",
     {{"writeInt", [](Machine&) { return std::vector<Value>{Value::integer(-10)}; }}},
     "fffffff6"},
    {"ShortLittleEndian",
     {{"writeShort", [](Machine&) { return std::vector<Value>{Value::integer(0x1234)}; }}},
     "3412"},
    {"Amf3IntOfTwoBytes",
     {{"writeObject", [](Machine&) { return std::vector<Value>{Value::integer(300)}; }}},
     "04822c"},
    {"Amf3IntOfFourBytes",
     {{"writeObject", [](Machine&) { return std::vector<Value>{Value::integer(0x0FFFFFFF)}; }}},
     "04bfffffff"},
    {"Amf3IntPast29BitsIsADouble",
     {{"writeObject", [](Machine&) { return std::vector<Value>{Value::integer(0x10000000)}; }}},
     "0541b0000000000000"},
    {"Amf3RepeatedStringIsAReference",
     {{"writeObject",
       [](Machine& vm) {
           return std::vector<Value>{Value::obj(vm.newArray({vm.str("a"), vm.str("a")}))};
       }}},
     "09050106036106 00"},
    {"Amf0String",
     {{"writeObject", [](Machine& vm) { return std::vector<Value>{vm.str("hi")}; }}},
     "0200026869"},
    {"Latin1Text",
     {{"writeMultiByte",
       [](Machine& vm) {
           return std::vector<Value>{vm.str("\xc3\xa9"), vm.str("iso-8859-1")};
       }}},
     "e9"},
};

class Avm2ByteArrayWrites : public ::testing::TestWithParam<WriteRow> {};

TEST_P(Avm2ByteArrayWrites, HoldTheBytes) {
    Machine vm;
    Object* ba = newByteArray(vm);
    const std::string name = GetParam().name;
    if (name.find("LittleEndian") != std::string::npos) {
        vm.set(Value::obj(ba), "endian", vm.str("littleEndian"));
    }
    if (name.find("Amf0") != std::string::npos) {
        vm.set(Value::obj(ba), "objectEncoding", Value::integer(0));
    }
    for (const Call& c : GetParam().calls) {
        std::vector<Value> args = c.args(vm);
        vm.callProperty(Value::obj(ba), vm.publicName(c.method), Args(args));
    }
    std::string expected = GetParam().hex;
    std::erase(expected, ' ');
    EXPECT_EQ(hexOf(ba->byteData), expected);
}

std::string rowName(const ::testing::TestParamInfo<WriteRow>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Rows, Avm2ByteArrayWrites, ::testing::ValuesIn(kWrites), rowName);

struct ReadRow {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* method;
    std::string expected; // the value as text
};

const ReadRow kReads[] = {
    {"Utf8BomSkippedAndZeroEnds", {0xEF, 0xBB, 0xBF, 'A', 0, 'B'}, "readUTFBytes", "A"},
    {"StrayByteIsLatin1", {0x89, 'P'}, "readUTFBytes", "\xc2\x89P"},
    {"ToStringKeepsZeroBytes", {'a', 0, 'b'}, "toString", std::string("a\0b", 3)},
    {"ToStringOfUtf16LittleEndian", {0xFF, 0xFE, 'h', 0, 'i', 0}, "toString", "hi"},
    {"Amf3NegativeInt", {0x04, 0xFF, 0xFF, 0xFF, 0xFF}, "readObject", "-1"},
    {"Amf3StringReference", {0x09, 0x05, 0x01, 0x06, 0x03, 'x', 0x06, 0x00}, "readObject", "x,x"},
};

class Avm2ByteArrayReads : public ::testing::TestWithParam<ReadRow> {};

TEST_P(Avm2ByteArrayReads, GiveTheValue) {
    Machine vm;
    Object* ba = newByteArray(vm);
    ba->byteData = GetParam().bytes;
    std::vector<Value> args;
    if (std::string(GetParam().method) == "readUTFBytes") {
        args.push_back(Value::integer(static_cast<std::int32_t>(GetParam().bytes.size())));
    }
    const Value v = vm.callProperty(Value::obj(ba), vm.publicName(GetParam().method), Args(args));
    EXPECT_EQ(vm.toString(v), GetParam().expected);
}

std::string readName(const ::testing::TestParamInfo<ReadRow>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Rows, Avm2ByteArrayReads, ::testing::ValuesIn(kReads), readName);

// A class registered under an alias is written under it, with its variables as sealed members,
// and read back as an instance of that class.
TEST(Avm2ByteArrayAliases, ARegisteredClassComesBackAsItself) {
    Machine vm;
    Value alias[2] = {vm.str("P"), Value::obj(vm.builtin("flash.geom.Point")->classObj)};
    vm.call(vm.getDefinitionByName("flash.net.registerClassAlias"), Value::null(), Args(alias, 2));
    Value xy[2] = {Value::integer(1), Value::integer(2)};
    Value point = Value::obj(vm.constructClass(vm.builtin("flash.geom.Point"), Args(xy, 2)));
    Object* ba = newByteArray(vm);
    vm.callProperty(Value::obj(ba), vm.publicName("writeObject"), Args(&point, 1));
    EXPECT_EQ(hexOf(ba->byteData), "0a2303500378037904010402");
    vm.set(Value::obj(ba), "position", Value::integer(0));
    const Value back = vm.callProperty(Value::obj(ba), vm.publicName("readObject"), {});
    EXPECT_EQ(vm.qualifiedClassName(back), "flash.geom::Point");
    EXPECT_EQ(vm.toString(back), "(x=1, y=2)");
}

} // namespace
} // namespace kinovex::flash::avm2
