// The ActionScript 3 machine running small script initialisers built in memory: each row is a
// program and the trace lines it must print. The rows aim at what goes wrong in a machine:
// names resolved through the wrong scope, exceptions missing their handler, coercions and
// number printing off by a digit.

#include "AbcBuilder.h"
#include "engine/abc/AbcReader.h"
#include "engine/avm2/Machine.h"

#include <gtest/gtest.h>

namespace kinovex::flash::avm2 {
namespace {

using test::AbcBuilder;
using test::AbcBytes;
using test::AbcExceptionSpec;

// The pools every program may use, by name.
struct Pools {
    AbcBuilder abc;
    std::uint32_t trace, x, xText, error, typeError, undefinedName, boom, three;
    std::uint32_t intMax, tenth, fifth;
    Pools() {
        const auto pub = abc.addNamespace(0x16, abc.addString(""));
        trace = abc.addQName(pub, abc.addString("trace"));
        xText = abc.addString("x");
        x = abc.addQName(pub, xText);
        error = abc.addQName(pub, abc.addString("Error"));
        typeError = abc.addQName(pub, abc.addString("TypeError"));
        undefinedName = abc.addQName(pub, abc.addString("nowhere"));
        boom = abc.addString("boom");
        three = abc.addString("3");
        intMax = abc.addInt(2147483647);
        tenth = abc.addDouble(0.1);
        fifth = abc.addDouble(0.2);
    }
};

// trace(<what `push` leaves on the stack>)
AbcBytes traced(const Pools& p, const AbcBytes& push) {
    return AbcBytes().u8(0x5D).u30(p.trace).append(push).u8(0x4F).u30(p.trace).u30(1);
}

struct Program {
    AbcBytes code;
    std::vector<AbcExceptionSpec> exceptions = {};
};

struct Row {
    const char* name;
    Program (*build)(const Pools&);
    std::vector<std::string> expected;
};

const AbcBytes kEnter = AbcBytes().u8(0xD0).u8(0x30); // getlocal0, pushscope

// A try block around `body` whose handler (of type `type`, 0 for any) traces what was caught.
Program guarded(const Pools& p, const AbcBytes& body, std::uint32_t type) {
    AbcBytes code = AbcBytes().append(kEnter);
    const auto from = static_cast<std::uint32_t>(code.size());
    code.append(body);
    const auto to = static_cast<std::uint32_t>(code.size());
    code.u8(0x47);
    const auto target = static_cast<std::uint32_t>(code.size());
    code.u8(0xD5).append(traced(p, AbcBytes().u8(0xD1))).u8(0x47); // setlocal1; trace(local1)
    return {code, {{from, to, target, type, 0}}};
}

const Row kRows[] = {
    {"int addition leaves the int range",
     [](const Pools& p) {
         return Program{
             AbcBytes()
                 .append(kEnter)
                 .append(traced(p, AbcBytes().u8(0x2D).u30(p.intMax).u8(0x24).u8(1).u8(0xA0)))
                 .u8(0x47)};
     },
     {"2147483648"}},
    {"numbers print with the fewest digits that read back",
     [](const Pools& p) {
         return Program{
             AbcBytes()
                 .append(kEnter)
                 .append(traced(p, AbcBytes().u8(0x2F).u30(p.tenth).u8(0x2F).u30(p.fifth).u8(0xA0)))
                 .u8(0x47)};
     },
     {"0.30000000000000004"}},
    {"string plus number concatenates",
     [](const Pools& p) {
         return Program{
             AbcBytes()
                 .append(kEnter)
                 .append(traced(p, AbcBytes().u8(0x2C).u30(p.three).u8(0x24).u8(4).u8(0xA0)))
                 .u8(0x47)};
     },
     {"34"}},
    {"string times number multiplies",
     [](const Pools& p) {
         return Program{
             AbcBytes()
                 .append(kEnter)
                 .append(traced(p, AbcBytes().u8(0x2C).u30(p.three).u8(0x24).u8(4).u8(0xA2)))
                 .u8(0x47)};
     },
     {"12"}},
    {"convert_u wraps negative ints",
     [](const Pools& p) {
         return Program{AbcBytes()
                            .append(kEnter)
                            .append(traced(p, AbcBytes().u8(0x24).u8(0xFF).u8(0x74)))
                            .u8(0x47)};
     },
     {"4294967295"}},
    {"a thrown string reaches the catch-all handler",
     [](const Pools& p) { return guarded(p, AbcBytes().u8(0x2C).u30(p.boom).u8(0x03), 0); },
     {"boom"}},
    {"reading a property of null throws the player's TypeError",
     [](const Pools& p) {
         return guarded(p, AbcBytes().u8(0x20).u8(0x66).u30(p.x).u8(0x29), p.typeError);
     },
     {"TypeError: Error #1009: Cannot access a property or method of a null object reference."}},
    {"an undefined name is a ReferenceError caught as an Error",
     [](const Pools& p) {
         return guarded(p, AbcBytes().u8(0x60).u30(p.undefinedName).u8(0x29), p.error);
     },
     {"ReferenceError: Error #1065: Variable nowhere is not defined."}},
    {"a handler of another type lets the error through to the outer one",
     [](const Pools& p) {
         // Inner: a TypeError handler around `throw new Error("boom")`; outer: catch-all.
         AbcBytes code = AbcBytes().append(kEnter);
         const auto from = static_cast<std::uint32_t>(code.size());
         code.u8(0x5D).u30(p.error).u8(0x2C).u30(p.boom).u8(0x4A).u30(p.error).u30(1).u8(0x03);
         const auto to = static_cast<std::uint32_t>(code.size());
         const auto inner = static_cast<std::uint32_t>(code.size());
         code.u8(0x29).u8(0x47);
         const auto outer = static_cast<std::uint32_t>(code.size());
         code.u8(0xD5).append(traced(p, AbcBytes().u8(0xD1))).u8(0x47);
         return Program{code, {{from, to, inner, p.typeError, 0}, {from, to, outer, 0, 0}}};
     },
     {"Error: boom"}},
    {"with makes an object's properties names in scope",
     [](const Pools& p) {
         // with ({x: 3}) trace(x)
         AbcBytes code = AbcBytes().append(kEnter);
         code.u8(0x2C).u30(p.xText).u8(0x24).u8(3).u8(0x55).u30(1).u8(0x1C);
         code.append(traced(p, AbcBytes().u8(0x5D).u30(p.x).u8(0x66).u30(p.x))).u8(0x1D).u8(0x47);
         return Program{code};
     },
     {"3"}},
};

class Avm2Machine : public ::testing::TestWithParam<Row> {};

TEST_P(Avm2Machine, PrintsItsTraceLines) {
    Pools p;
    const Program program = GetParam().build(p);
    const auto method = p.abc.addMethod({});
    p.abc.addBody({.method = method,
                   .maxStack = 6,
                   .localCount = 2,
                   .maxScopeDepth = 3,
                   .code = program.code.data(),
                   .exceptions = program.exceptions});
    p.abc.addScript(method);
    abc::AbcFile file;
    ASSERT_FALSE(abc::readAbc(p.abc.bytes(), file));
    Machine vm;
    std::vector<std::string> lines;
    vm.setTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    vm.setInstructionBudget(10000);
    vm.refillBudget();
    vm.loadAbc(file, {});
    try {
        vm.runPendingScripts();
    } catch (const ScriptException& e) {
        lines.push_back("uncaught: " + vm.toString(e.value));
    }
    EXPECT_EQ(lines, GetParam().expected);
}

// Test names from the rows' descriptions.
std::string rowName(const ::testing::TestParamInfo<Row>& row) {
    std::string n;
    for (const char* c = row.param.name; *c != 0; ++c) {
        n += std::isalnum(static_cast<unsigned char>(*c)) != 0 ? *c : '_';
    }
    return n;
}

INSTANTIATE_TEST_SUITE_P(Rows, Avm2Machine, ::testing::ValuesIn(kRows), rowName);

TEST(Avm2Machine, AnEndlessLoopStopsAtTheBudget) {
    Pools p;
    const auto method = p.abc.addMethod({});
    p.abc.addBody({.method = method, .code = AbcBytes().u8(0x09).u8(0x10).s24(-5).data()});
    p.abc.addScript(method);
    abc::AbcFile file;
    ASSERT_FALSE(abc::readAbc(p.abc.bytes(), file));
    Machine vm;
    vm.setInstructionBudget(1000);
    vm.refillBudget();
    vm.loadAbc(file, {});
    EXPECT_THROW(vm.runPendingScripts(), BudgetExhausted);
}

} // namespace
} // namespace kinovex::flash::avm2
