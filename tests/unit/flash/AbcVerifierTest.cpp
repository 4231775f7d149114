// Decoding and verifying method bodies: sound code passes; each kind of broken code is refused
// with the offset of the instruction at fault and what was wrong.

#include "AbcBuilder.h"
#include "engine/abc/AbcReader.h"
#include "engine/abc/Instruction.h"
#include "engine/abc/Verifier.h"

#include <gtest/gtest.h>

namespace kinovex::flash::abc {
namespace {

using test::AbcBuilder;
using test::AbcBytes;
using test::AbcExceptionSpec;

// The pools the cases' code indexes: strings 1 "" and 2 "x"; int 1; multinames 1 a QName, 2 an
// RTQName (namespace from the stack), 3 an RTQNameL (namespace and name from the stack), 4 a
// MultinameL (name from the stack); methods 0 (the body's) and 1; no classes.
std::vector<std::uint8_t> blockWith(const test::AbcBodySpec& body) {
    AbcBuilder abc;
    const auto empty = abc.addString("");
    const auto x = abc.addString("x");
    abc.addInt(7);
    const auto ns = abc.addNamespace(0x16, empty);
    abc.addQName(ns, x);
    abc.addMultiname(AbcBytes().u8(0x0F).u30(x));
    abc.addMultiname(AbcBytes().u8(0x11));
    abc.addMultiname(AbcBytes().u8(0x1B).u30(abc.addNsSet({ns})));
    abc.addMethod({});
    abc.addMethod({});
    abc.addScript(0);
    abc.addBody(body);
    return abc.bytes();
}

std::vector<std::uint8_t> code(const AbcBytes& bytes) {
    return bytes.data();
}

struct CodeCase {
    const char* name;
    std::vector<std::uint8_t> code;
    const char* error = nullptr; // none: the body is sound
    std::int64_t offset = -1;    // of the error, when it is certain
    std::uint32_t maxStack = 4;
    std::uint32_t localCount = 1;
    std::uint32_t maxScopeDepth = 2;
    std::vector<AbcExceptionSpec> exceptions = {};
};

const CodeCase kCases[] = {
    {.name = "return", .code = {0x47}},
    {.name = "scope pushed and popped", .code = {0xD0, 0x30, 0x1D, 0x47}},
    {.name = "call with two arguments",
     .code = code(AbcBytes()
                      .u8(0x5D)
                      .u30(1)
                      .u8(0x24)
                      .u8(1)
                      .u8(0x24)
                      .u8(2)
                      .u8(0x46)
                      .u30(1)
                      .u30(2)
                      .u8(0x29)
                      .u8(0x47)),
     .maxStack = 3},
    {.name = "call through a name and namespace from the stack",
     .code = code(AbcBytes().u8(0xD0).u8(0x20).u8(0x20).u8(0x46).u30(3).u30(0).u8(0x48)),
     .maxStack = 3},
    {.name = "object from name and value pairs",
     .code = code(AbcBytes().u8(0x20).u8(0x20).u8(0x20).u8(0x20).u8(0x55).u30(2).u8(0x48))},
    {.name = "array of three",
     .code = code(AbcBytes().u8(0x20).u8(0x20).u8(0x20).u8(0x56).u30(3).u8(0x48))},
    {.name = "forward branch", .code = code(AbcBytes().u8(0x26).u8(0x11).s24(1).u8(0x02).u8(0x47))},
    {.name = "endless loop", .code = code(AbcBytes().u8(0x09).u8(0x10).s24(-5))},
    {.name = "lookupswitch",
     .code =
         code(AbcBytes().u8(0x24).u8(0).u8(0x1B).s24(11).u30(1).s24(12).s24(11).u8(0x47).u8(0x47))},
    {.name = "exception handler",
     .code = {0xD0, 0x30, 0x47, 0x29, 0x47},
     .exceptions = {{0, 3, 3}}},
    {.name = "debug information",
     .code = code(
         AbcBytes().u8(0xEF).u8(1).u30(2).u8(0).u30(0).u8(0xF0).u30(5).u8(0xF1).u30(2).u8(0x47))},
    {.name = "last of four locals", .code = {0xD0, 0xD7, 0x47}, .localCount = 4},
    {.name = "hasnext2",
     .code = code(AbcBytes().u8(0x32).u30(1).u30(2).u8(0x29).u8(0x47)),
     .localCount = 3},
    {.name = "getscopeobject", .code = {0xD0, 0x30, 0x65, 0x00, 0x29, 0x47}},
    {.name = "negative pushshort written in five bytes",
     .code = code(AbcBytes().u8(0x25).u30(0xFFFFFF85u).u8(0x48))},
    // Code no path reaches never runs: nothing in it is held against the body.
    {.name = "broken code jumped over",
     .code = code(
         AbcBytes().u8(0x10).s24(6).u8(0x29).u8(0x62).u30(20).u8(0x60).u30(2).u8(0x02).u8(0x47))},
    {.name = "handler of code that never runs",
     .code = {0x47, 0x02, 0x29, 0x29, 0x47},
     .exceptions = {{1, 2, 2}}},
    {.name = "handler of code that cannot throw",
     .code = {0xD0, 0x29, 0x47, 0x29, 0x29, 0x47},
     .exceptions = {{0, 2, 3}}},
    {.name = "unknown opcode jumped over",
     .code = code(AbcBytes().u8(0x10).s24(1).u8(0xFF).u8(0x47))},
    // A catch block may rejoin the guarded code with more scopes than it has.
    {.name = "catch rejoining with more scopes",
     .code = code(AbcBytes()
                      .u8(0xD0)
                      .u8(0x30)
                      .u8(0x10)
                      .s24(5)
                      .u8(0x29)
                      .u8(0xD0)
                      .u8(0x30)
                      .u8(0xD0)
                      .u8(0x30)
                      .u8(0x47)),
     .exceptions = {{1, 2, 6}}},

    {.name = "unknown opcode",
     .code = {0x02, 0xFF, 0x47},
     .error = "unknown opcode 0xFF",
     .offset = 1},
    {.name = "operand past the end",
     .code = {0x2C},
     .error = "pushstring: the data ends inside",
     .offset = 0},
    {.name = "second operand past the end",
     .code = {0x46, 0x01, 0x81},
     .error = "callproperty: the data ends inside",
     .offset = 0},
    {.name = "branch offset cut short",
     .code = {0x02, 0x10, 0x00},
     .error = "jump: the data ends inside a branch offset",
     .offset = 1},
    {.name = "jump past the end",
     .code = code(AbcBytes().u8(0x10).s24(100).u8(0x47)),
     .error = "jump to 104 leaves the code of 5 bytes",
     .offset = 0},
    {.name = "jump before the start",
     .code = code(AbcBytes().u8(0x02).u8(0x10).s24(-10).u8(0x47)),
     .error = "jump to -5 leaves the code",
     .offset = 1},
    {.name = "branch into an instruction",
     .code = code(AbcBytes().u8(0x26).u8(0x11).s24(1).u8(0x24).u8(5).u8(0x29).u8(0x47)),
     .error = "iftrue to 6 lands inside an instruction",
     .offset = 1},
    {.name = "lookupswitch case past the end",
     .code = code(AbcBytes().u8(0x24).u8(0).u8(0x1B).s24(8).u30(0).s24(50).u8(0x47)),
     .error = "lookupswitch to 52 leaves the code of 11 bytes",
     .offset = 2},
    {.name = "lookupswitch with more cases than bytes",
     .code = code(AbcBytes().u8(0x24).u8(0).u8(0x1B).s24(0).u30(1000).u8(0x47)),
     .error = "lookupswitch: lookupswitch has 1000 cases and",
     .offset = 2},
    {.name = "loop back to an instruction that is not a label",
     .code = code(AbcBytes().u8(0x02).u8(0x10).s24(-5)),
     .error = "jump to 0 goes back to an instruction that is not a label",
     .offset = 1},
    {.name = "pop from an empty stack",
     .code = {0x29, 0x47},
     .error = "pop takes 1 values from a stack of 0",
     .offset = 0},
    {.name = "call missing the namespace of its name",
     .code = code(AbcBytes().u8(0xD0).u8(0x20).u8(0x46).u30(3).u30(0).u8(0x48)),
     .error = "callproperty takes 3 values from a stack of 2",
     .offset = 2},
    {.name = "call missing the name of its name",
     .code = code(AbcBytes().u8(0xD0).u8(0x46).u30(4).u30(0).u8(0x48)),
     .error = "callproperty takes 2 values from a stack of 1",
     .offset = 1},
    {.name = "object missing a value",
     .code = code(AbcBytes().u8(0x20).u8(0x20).u8(0x20).u8(0x55).u30(2).u8(0x48)),
     .error = "newobject takes 4 values from a stack of 3",
     .offset = 3},
    {.name = "construct missing an argument",
     .code = code(AbcBytes().u8(0x20).u8(0x42).u30(1).u8(0x48)),
     .error = "construct takes 2 values from a stack of 1",
     .offset = 1},
    {.name = "stack past its maximum",
     .code = {0x20, 0x20, 0x20, 0x20, 0x20, 0x47},
     .error = "pushnull grows the stack to 5 past its maximum of 4",
     .offset = 4},
    {.name = "popscope on no scope",
     .code = {0x1D, 0x47},
     .error = "popscope on an empty scope stack",
     .offset = 0},
    {.name = "scope past its maximum",
     .code = {0xD0, 0x30, 0xD0, 0x30, 0x47},
     .error = "pushscope grows the scope stack past its 1 entries",
     .offset = 3,
     .maxScopeDepth = 1},
    {.name = "getscopeobject on no scope",
     .code = {0x65, 0x00, 0x29, 0x47},
     .error = "getscopeobject 0 on a scope stack of 0",
     .offset = 0},
    {.name = "string past its pool",
     .code = code(AbcBytes().u8(0x2C).u30(9).u8(0x29).u8(0x47)),
     .error = "pushstring: string 9 is outside its pool of 3",
     .offset = 0},
    {.name = "int 0",
     .code = code(AbcBytes().u8(0x2D).u30(0).u8(0x29).u8(0x47)),
     .error = "pushint: int 0 is outside its pool of 2"},
    {.name = "multiname 0",
     .code = code(AbcBytes().u8(0xD0).u8(0x66).u30(0).u8(0x48)),
     .error = "getproperty: multiname 0 is outside its pool of 5",
     .offset = 1},
    {.name = "method past the list",
     .code = code(AbcBytes().u8(0x40).u30(7).u8(0x48)),
     .error = "newfunction: method 7 is outside its pool of 2"},
    {.name = "class that does not exist",
     .code = code(AbcBytes().u8(0x20).u8(0x58).u30(0).u8(0x48)),
     .error = "newclass: class 0 is outside its pool of 0",
     .offset = 1},
    {.name = "local past the body's locals",
     .code = code(AbcBytes().u8(0x62).u30(5).u8(0x48)),
     .error = "getlocal: local register 5 is outside its pool of 1"},
    {.name = "setlocal_3 with one local",
     .code = {0x20, 0xD7, 0x47},
     .error = "setlocal_3: local register 3 is outside its pool of 1",
     .offset = 1},
    {.name = "newcatch without handlers",
     .code = code(AbcBytes().u8(0x5A).u30(0).u8(0x48)),
     .error = "newcatch: exception handler 0 is outside its pool of 0"},
    {.name = "getlex of a name from the stack",
     .code = code(AbcBytes().u8(0x60).u30(2).u8(0x48)),
     .error = "getlex: multiname 2 takes part of its name from the stack"},
    {.name = "running off the end",
     .code = {0x02},
     .error = "nop runs off the end of the code",
     .offset = 0},
    {.name = "paths meeting with different stacks",
     .code = code(AbcBytes().u8(0x26).u8(0x11).s24(1).u8(0x20).u8(0x47)),
     .error = "paths meet at 6 with stack depths"},
    {.name = "handler guarding past the code",
     .code = {0xD0, 0x30, 0x47},
     .error = "exception handler 0 guards 0 to 10 in code of 3 bytes",
     .exceptions = {{0, 10, 2}}},
    {.name = "handler starting inside an instruction",
     .code = {0xD0, 0x30, 0x24, 0x05, 0x29, 0x47},
     .error = "exception handler 0 to 3 lands inside an instruction",
     .offset = 1,
     .exceptions = {{0, 2, 3}}},
    {.name = "handler of code that runs, overflowing",
     .code = {0xD0, 0x30, 0x47, 0x20, 0x20, 0x20, 0x20, 0x47},
     .error = "pushnull grows the stack to 5 past its maximum of 4",
     .offset = 6,
     .exceptions = {{1, 2, 3}}},
    {.name = "scope popped below what the shallower path has",
     .code = code(AbcBytes()
                      .u8(0xD0)
                      .u8(0x30)
                      .u8(0x10)
                      .s24(5)
                      .u8(0x29)
                      .u8(0xD0)
                      .u8(0x30)
                      .u8(0xD0)
                      .u8(0x30)
                      .u8(0x1D)
                      .u8(0x1D)
                      .u8(0x47)),
     .error = "popscope on an empty scope stack",
     .offset = 12,
     .exceptions = {{1, 2, 6}}},
    {.name = "handler past the code",
     .code = {0xD0, 0x30, 0x47},
     .error = "exception handler 0 to 3 leaves the code of 3 bytes",
     .offset = 1,
     .exceptions = {{0, 2, 3}}},
    {.name = "no code", .code = {}, .error = "the body has no code", .offset = 0},
};

TEST(AbcVerifier, AcceptsSoundCodeAndRefusesBrokenCode) {
    for (const CodeCase& c : kCases) {
        AbcFile file;
        const auto read = readAbc(blockWith({.method = 0,
                                             .maxStack = c.maxStack,
                                             .localCount = c.localCount,
                                             .maxScopeDepth = c.maxScopeDepth,
                                             .code = c.code,
                                             .exceptions = c.exceptions}),
                                  file);
        ASSERT_FALSE(read) << c.name << ": " << read->text();
        const VerifyReport report = verifyFile(file);
        EXPECT_EQ(report.bodies, 1u) << c.name;
        if (c.error == nullptr) {
            EXPECT_TRUE(report.refused.empty()) << c.name << ": " << report.refused[0].text();
            continue;
        }
        ASSERT_EQ(report.refused.size(), 1u) << c.name;
        const VerifyError& error = report.refused[0];
        EXPECT_NE(error.message.find(c.error), std::string::npos) << c.name << ": " << error.text();
        if (c.offset >= 0) {
            EXPECT_EQ(error.offset, static_cast<std::size_t>(c.offset)) << c.name;
        }
    }
}

TEST(AbcDecoder, DecodesEveryOperandLayout) {
    struct Expected {
        std::uint32_t offset;
        std::uint8_t opcode;
        std::array<std::int32_t, 4> operands;
    };
    const std::vector<std::uint8_t> bytes = AbcBytes()
                                                .u8(0x24) // pushbyte 255
                                                .u8(0xFF)
                                                .u8(0x46) // callproperty 200, 3
                                                .u30(200)
                                                .u30(3)
                                                .u8(0x10) // jump -3
                                                .s24(-3)
                                                .u8(0x1B) // lookupswitch: default -5, cases 7 and 9
                                                .s24(-5)
                                                .u30(1)
                                                .s24(7)
                                                .s24(9)
                                                .u8(0xEF) // debug 1, 130, 2, 4
                                                .u8(1)
                                                .u30(130)
                                                .u8(2)
                                                .u30(4)
                                                .u8(0x47)
                                                .data();
    const Expected expected[] = {
        {0, 0x24, {255, 0, 0, 0}}, {2, 0x46, {200, 3, 0, 0}},  {6, 0x10, {-3, 0, 0, 0}},
        {10, 0x1B, {-5, 1, 0, 0}}, {21, 0xEF, {1, 130, 2, 4}}, {27, 0x47, {0, 0, 0, 0}},
    };
    DecodedCode decoded;
    const auto error = decodeCode(bytes, decoded);
    ASSERT_FALSE(error) << error->text();
    ASSERT_EQ(decoded.instructions.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(decoded.instructions[i].offset, expected[i].offset) << i;
        EXPECT_EQ(decoded.instructions[i].opcode, expected[i].opcode) << i;
        EXPECT_EQ(decoded.instructions[i].operands, expected[i].operands) << i;
    }
    EXPECT_EQ(decoded.caseOffsets, (std::vector<std::int32_t>{7, 9}));
    EXPECT_EQ(decoded.nextOffset(5), bytes.size());
}

} // namespace
} // namespace kinovex::flash::abc
