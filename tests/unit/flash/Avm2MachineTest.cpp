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
    std::uint32_t pub;
    Pools() {
        pub = abc.addNamespace(0x16, abc.addString(""));
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
    Program (*build)(Pools&);
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

// A method whose body runs `code`, for class initialisers.
std::uint32_t method(Pools& p, const AbcBytes& code) {
    const auto m = p.abc.addMethod({});
    p.abc.addBody({.method = m, .maxStack = 6, .maxScopeDepth = 4, .code = code.data()});
    return m;
}

// The script defines Base and Derived and constructs a Derived.
Program constructDerived(Pools& p, std::uint32_t baseClass, std::uint32_t base,
                         std::uint32_t derivedClass, std::uint32_t derived) {
    const auto object = p.abc.addQName(p.pub, p.abc.addString("Object"));
    AbcBytes code = AbcBytes().append(kEnter);
    code.u8(0xD0).u8(0x60).u30(object).u8(0x58).u30(baseClass).u8(0x68).u30(base);
    code.u8(0xD0).u8(0x60).u30(base).u8(0x58).u30(derivedClass).u8(0x68).u30(derived);
    code.u8(0x60).u30(derived).u8(0x42).u30(0).u8(0x29).u8(0x47);
    return Program{code};
}

// class Base { var v = 3; const c = 5 }, and class Derived extends Base with a `v` of its own
// (99) whose constructor runs `probe` after constructsuper; the script constructs a Derived.
Program withSubclass(Pools& p, const AbcBytes& probe) {
    const auto name = [&](const char* n) { return p.abc.addQName(p.pub, p.abc.addString(n)); };
    const auto base = name("Base"), derived = name("Derived"), v = name("v"), c = name("c");
    const AbcBytes ctorStart = AbcBytes().append(kEnter).u8(0xD0).u8(0x49).u30(0);
    const auto noop = method(p, AbcBytes().u8(0x47));
    const auto baseClass = p.abc.addClass(
        {.name = base,
         .superName = name("Object"),
         .flags = 0x01,
         .instanceInit = method(p, AbcBytes().append(ctorStart).u8(0x47)),
         .instanceTraits = {AbcBuilder::slotTrait(v, 0, p.abc.addInt(3), 0x03),
                            AbcBuilder::slotTrait(c, 0, p.abc.addInt(5), 0x03, true)},
         .classInit = noop});
    const auto derivedClass = p.abc.addClass(
        {.name = derived,
         .superName = base,
         .flags = 0x01,
         .instanceInit = method(p, AbcBytes().append(ctorStart).append(probe).u8(0x47)),
         .instanceTraits = {AbcBuilder::slotTrait(v, 0, p.abc.addInt(99), 0x03)},
         .classInit = method(p, AbcBytes().u8(0x47))});
    return constructDerived(p, baseClass, base, derivedClass, derived);
}

// class Base { protected function f() { trace("base") } function Base() { f() } }, and
// class Derived extends Base { override protected function f() { trace("derived") } }, each
// with its own protected namespace; the script constructs a Derived.
Program withProtectedOverride(Pools& p) {
    const auto name = [&](const char* n) { return p.abc.addQName(p.pub, p.abc.addString(n)); };
    const auto base = name("Base"), derived = name("Derived");
    const auto fText = p.abc.addString("f");
    const auto baseNs = p.abc.addNamespace(0x18, p.abc.addString("Base"));
    const auto derivedNs = p.abc.addNamespace(0x18, p.abc.addString("Derived"));
    const auto says = [&](const char* text) {
        const auto pushed = AbcBytes().u8(0x2C).u30(p.abc.addString(text));
        return method(p, AbcBytes().append(kEnter).append(traced(p, pushed)).u8(0x47));
    };
    const AbcBytes constructSuper = AbcBytes().append(kEnter).u8(0xD0).u8(0x49).u30(0);
    const auto noop = method(p, AbcBytes().u8(0x47));
    const auto baseF = p.abc.addQName(baseNs, fText);
    const auto baseClass = p.abc.addClass(
        {.name = base,
         .superName = name("Object"),
         .flags = 0x09,
         .protectedNs = baseNs,
         .instanceInit = method(
             p, AbcBytes().append(constructSuper).u8(0xD0).u8(0x4F).u30(baseF).u30(0).u8(0x47)),
         .instanceTraits = {AbcBuilder::methodTrait(baseF, 1, says("base"))},
         .classInit = noop});
    const auto derivedClass =
        p.abc.addClass({.name = derived,
                        .superName = base,
                        .flags = 0x09,
                        .protectedNs = derivedNs,
                        .instanceInit = method(p, AbcBytes().append(constructSuper).u8(0x47)),
                        .instanceTraits = {AbcBuilder::methodTrait(p.abc.addQName(derivedNs, fText),
                                                                   1, says("derived"))},
                        .classInit = method(p, AbcBytes().u8(0x47))});
    return constructDerived(p, baseClass, base, derivedClass, derived);
}

const Row kRows[] = {
    {"a base class's own code reaches the protected method its subclass overrides",
     [](Pools& p) { return withProtectedOverride(p); },
     {"derived"}},
    {"getsuper and setsuper reach the base class's own slot and drop writes to its constants",
     [](Pools& p) {
         const auto v = p.abc.addQName(p.pub, p.abc.addString("v"));
         const auto c = p.abc.addQName(p.pub, p.abc.addString("c"));
         AbcBytes probe = traced(p, AbcBytes().u8(0xD0).u8(0x04).u30(v)); // super.v
         probe.u8(0xD0).u8(0x24).u8(7).u8(0x05).u30(v);                   // super.v = 7
         probe.append(traced(p, AbcBytes().u8(0xD0).u8(0x66).u30(v)));    // this.v
         probe.append(traced(p, AbcBytes().u8(0xD0).u8(0x04).u30(v)));    // super.v
         probe.u8(0xD0).u8(0x24).u8(1).u8(0x05).u30(c);                   // super.c = 1
         probe.append(traced(p, AbcBytes().u8(0xD0).u8(0x04).u30(c)));    // super.c
         return withSubclass(p, probe);
     },
     {"3", "99", "7", "5"}},
    {"int addition leaves the int range",
     [](Pools& p) {
         return Program{
             AbcBytes()
                 .append(kEnter)
                 .append(traced(p, AbcBytes().u8(0x2D).u30(p.intMax).u8(0x24).u8(1).u8(0xA0)))
                 .u8(0x47)};
     },
     {"2147483648"}},
    {"numbers print with the fewest digits that read back",
     [](Pools& p) {
         return Program{
             AbcBytes()
                 .append(kEnter)
                 .append(traced(p, AbcBytes().u8(0x2F).u30(p.tenth).u8(0x2F).u30(p.fifth).u8(0xA0)))
                 .u8(0x47)};
     },
     {"0.30000000000000004"}},
    {"string plus number concatenates",
     [](Pools& p) {
         return Program{
             AbcBytes()
                 .append(kEnter)
                 .append(traced(p, AbcBytes().u8(0x2C).u30(p.three).u8(0x24).u8(4).u8(0xA0)))
                 .u8(0x47)};
     },
     {"34"}},
    {"string times number multiplies",
     [](Pools& p) {
         return Program{
             AbcBytes()
                 .append(kEnter)
                 .append(traced(p, AbcBytes().u8(0x2C).u30(p.three).u8(0x24).u8(4).u8(0xA2)))
                 .u8(0x47)};
     },
     {"12"}},
    {"convert_u wraps negative ints",
     [](Pools& p) {
         return Program{AbcBytes()
                            .append(kEnter)
                            .append(traced(p, AbcBytes().u8(0x24).u8(0xFF).u8(0x74)))
                            .u8(0x47)};
     },
     {"4294967295"}},
    {"a thrown string reaches the catch-all handler",
     [](Pools& p) { return guarded(p, AbcBytes().u8(0x2C).u30(p.boom).u8(0x03), 0); },
     {"boom"}},
    {"reading a property of null throws the player's TypeError",
     [](Pools& p) {
         return guarded(p, AbcBytes().u8(0x20).u8(0x66).u30(p.x).u8(0x29), p.typeError);
     },
     {"TypeError: Error #1009: Cannot access a property or method of a null object reference."}},
    {"an undefined name is a ReferenceError caught as an Error",
     [](Pools& p) {
         return guarded(p, AbcBytes().u8(0x60).u30(p.undefinedName).u8(0x29), p.error);
     },
     {"ReferenceError: Error #1065: Variable nowhere is not defined."}},
    {"a handler of another type lets the error through to the outer one",
     [](Pools& p) {
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
    {"a run-time qualified name is refused a namespace that is no Namespace",
     [](Pools& p) {
         // global[<"boom">::x], then global[<public>::x] = 3 and read back the same way
         const auto rtq = p.abc.addMultiname(AbcBytes().u8(0x0F).u30(p.xText));
         const AbcBytes set =
             AbcBytes().u8(0xD0).u8(0x31).u30(p.pub).u8(0x24).u8(3).u8(0x61).u30(rtq);
         const AbcBytes get = AbcBytes().u8(0xD0).u8(0x31).u30(p.pub).u8(0x66).u30(rtq);
         AbcBytes body = AbcBytes().append(set).append(traced(p, get));
         body.u8(0xD0).u8(0x2C).u30(p.boom).u8(0x66).u30(rtq).u8(0x29);
         return guarded(p, body, 0);
     },
     {"3", "VerifyError: Error #1058: Illegal operand type: String must be Namespace."}},
    {"with makes an object's properties names in scope",
     [](Pools& p) {
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
