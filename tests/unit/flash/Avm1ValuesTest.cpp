// Script values: conversions as each movie version does them, and the operators.

#include "Avm1TestHost.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kinovex::flash::test {
namespace {

using namespace swf;

TEST(Avm1Values, UndefinedBecomesTextAndNumbersByVersion) {
    // undefined joined to text, undefined as a number, an empty string as a condition.
    Actions a;
    a.push({"x:"}).push(Undefined{}).op(op::Add2).op(op::Trace);
    a.push(Undefined{}).op(op::ToNumber).op(op::Trace);
    a.push({"0"}).op(op::Not).op(op::Trace);
    a.push({"abc"}).op(op::Not).op(op::Trace);
    EXPECT_EQ(run(a, 6), (Lines{"x:", "0", "true", "true"}));
    EXPECT_EQ(run(a, 7), (Lines{"x:undefined", "NaN", "false", "false"}));
}

TEST(Avm1Values, NamesAreCaseSensitiveFromVersion7) {
    Actions a;
    a.setVar("Score", 5.0).traceVar("score");
    EXPECT_EQ(run(a, 6), (Lines{"5"}));
    EXPECT_EQ(run(a, 7), (Lines{"undefined"}));
}

// Text read as a number (ToNumber), by parseInt, and by parseInt with radix 10.
struct TextNumberCase {
    const char* text;
    int version;
    Lines expected; // ToNumber, parseInt(text), parseInt(text, 10)
};

TEST(Avm1Values, TextReadsAsANumberAsThePlayerReadsIt) {
    const TextNumberCase cases[] = {
        {"0x1F", 5, {"NaN", "31", "1"}},     // hex is a version 6 reading; parseInt always has it
        {"0x1F", 6, {"31", "31", "1"}},      // with a radix, the digits after 0x are in it
        {" 0x1F", 6, {"NaN", "0", "0"}},     // blanks in front: no hex
        {"0x-1F", 6, {"-31", "-31", "-1"}},  // a sign after the 0x
        {"-0x1F", 6, {"NaN", "NaN", "NaN"}}, // but not before it
        {"017", 5, {"17", "15", "17"}},      // octal: a 0 and octal digits alone
        {"017", 6, {"15", "15", "17"}},      {"-017", 6, {"-15", "-15", "-17"}},
        {" 017", 6, {"17", "17", "17"}},     {"019", 6, {"19", "19", "19"}},
        {"017.5", 6, {"17.5", "17", "17"}},  {"Infinity", 6, {"NaN", "NaN", "NaN"}},
    };
    for (const TextNumberCase& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " in version " + std::to_string(c.version));
        Actions a;
        a.push(c.text).op(op::ToNumber).op(op::Trace);
        a.push({c.text, Int{1}}).push("parseInt").op(op::CallFunction).op(op::Trace);
        a.push({10.0, c.text, Int{2}}).push("parseInt").op(op::CallFunction).op(op::Trace);
        EXPECT_EQ(run(a, c.version), c.expected);
    }
}

TEST(Avm1Values, NumbersPrintAsThePlayerPrintsThem) {
    Actions a;
    // The largest numbers print cut to 15 digits, not rounded up past the largest one; a half
    // in the 16th digit rounds up; plain form reaches down to 1e-5.
    for (double n : {0.1 + 0.2, 1e21, 123456789012345.0, -0.0, 1.0 / 3, 1e-7, 2.5e-3,
                     1.7976931348623157e308, -1.7976931348623157e308, 1.79769313486e308,
                     4096.000244140625, 6.103515625e-5, 7.62939453125e-6}) {
        a.trace(n);
    }
    a.push({1.0, 0.0}).op(op::Divide).op(op::Trace);
    a.push({-1.0, 0.0}).op(op::Divide).op(op::Trace);
    EXPECT_EQ(run(a), (Lines{"0.3", "1e+21", "123456789012345", "0", "0.333333333333333", "1e-7",
                             "0.0025", "1.79769313486231e+308", "-1.79769313486231e+308",
                             "1.79769313486e+308", "4096.00024414063", "0.00006103515625",
                             "7.62939453125e-6", "Infinity", "-Infinity"}));
}

TEST(Avm1Values, TextToNumber) {
    Actions a;
    for (const char* s : {" 12 ", "0x1F", "12abc", "", "1e3", "-.5"}) {
        a.push(s).op(op::ToNumber).op(op::Trace);
    }
    EXPECT_EQ(run(a, 7), (Lines{"12", "31", "NaN", "NaN", "1000", "-0.5"}));
    // Version 4 reads the leading number and gives 0 for none.
    Actions b;
    b.push({"12abc", 1.0}).op(op::Add).op(op::Trace);
    b.push({"abc", 1.0}).op(op::Add).op(op::Trace);
    EXPECT_EQ(run(b, 4), (Lines{"13", "1"}));
}

TEST(Avm1Values, EqualityAndComparison) {
    Actions a;
    auto eq = [&](PushValue x, PushValue y, std::uint8_t code) {
        a.push({x, y}).op(code).op(op::Trace);
    };
    eq(Undefined{}, Null{}, op::Equals2); // true
    eq("1", 1.0, op::Equals2);            // true
    eq(true, 1.0, op::Equals2);           // true
    eq("1", 1.0, op::StrictEquals);       // false
    eq(Null{}, 0.0, op::Equals2);         // false
    eq("b", "a", op::Greater);            // true
    eq("10", "9", op::Less2);             // true (text order)
    eq(10.0, "9", op::Less2);             // false (numbers)
    eq(std::nan(""), 1.0, op::Less2);     // undefined
    eq("abc", "abd", op::StringLess);     // true
    eq("", "a", op::Less2);               // false: empty text orders last for <
    eq("a", "", op::Less2);               // true
    eq("", "a", op::StringLess);          // true
    EXPECT_EQ(run(a), (Lines{"true", "true", "true", "false", "false", "true", "true", "false",
                             "undefined", "true", "false", "true", "true"}));
}

TEST(Avm1Values, Version4OperatorsGiveNumbers) {
    Actions a;
    a.push({1.0, 2.0}).op(op::Less).op(op::Trace);
    a.push({1.0, 0.0}).op(op::Divide).op(op::Trace);
    a.push({"ab", "cd"}).op(op::StringAdd).op(op::Trace);
    a.push({"hello", 2.0, 3.0}).op(op::StringExtract).op(op::Trace);
    EXPECT_EQ(run(a, 4), (Lines{"1", "#ERROR#", "abcd", "ell"}));
}

TEST(Avm1Values, ArithmeticAndBits) {
    Actions a;
    a.push({1.0, "2"}).op(op::Add2).op(op::Trace);
    a.push({1.0, 2.0}).op(op::Add2).op(op::Trace);
    a.push({-7.0, 3.0}).op(op::Modulo).op(op::Trace);
    a.push({-1.0, 28.0}).op(op::BitURShift).op(op::Trace);
    a.push({-1.0, 0.0}).op(op::BitURShift).op(op::Trace); // read back signed
    a.push({-16.0, 2.0}).op(op::BitRShift).op(op::Trace);
    a.push({1.0, 33.0}).op(op::BitLShift).op(op::Trace);
    a.push({4294967295.0, 1.0}).op(op::BitAnd).op(op::Trace);
    a.push({5.5}).op(op::Increment).op(op::Trace);
    a.push({-5.5}).op(op::ToInteger).op(op::Trace);
    EXPECT_EQ(run(a), (Lines{"12", "3", "-1", "15", "-1", "-4", "2", "1", "6.5", "-5"}));
}

TEST(Avm1Values, TypeOf) {
    Actions a;
    a.push(Undefined{}).op(op::TypeOf).op(op::Trace);
    a.push(Null{}).op(op::TypeOf).op(op::Trace);
    a.push(1.0).op(op::TypeOf).op(op::Trace);
    a.push("s").op(op::TypeOf).op(op::Trace);
    a.push(Int{0}).op(op::InitObject).op(op::TypeOf).op(op::Trace);
    a.getVar("_root").op(op::TypeOf).op(op::Trace);
    a.getVar("trace").op(op::TypeOf).op(op::Trace);
    EXPECT_EQ(run(a),
              (Lines{"undefined", "null", "number", "string", "object", "movieclip", "function"}));
}

TEST(Avm1Values, PushTypesAndConstantPool) {
    Actions a;
    a.constantPool({"zero", "one"});
    a.push({Constant{1}, Int{-3}, Float{1.5f}, false})
        .op(op::Trace)
        .op(op::Trace)
        .op(op::Trace)
        .op(op::Trace);
    a.push(Constant{7}).op(op::Trace); // beyond the pool
    EXPECT_EQ(run(a), (Lines{"false", "1.5", "-3", "one", "undefined"}));
}

TEST(Avm1Values, MultiByteStrings) {
    Actions a;
    a.push("h\xc3\xa9llo").op(op::MBStringLength).op(op::Trace);
    a.push("h\xc3\xa9llo").op(op::StringLength).op(op::Trace);
    a.push({"h\xc3\xa9llo", 2.0, 2.0}).op(op::MBStringExtract).op(op::Trace);
    a.push(233.0).op(op::MBAsciiToChar).op(op::MBCharToAscii).op(op::Trace);
    EXPECT_EQ(run(a, 6), (Lines{"5", "5", "\xc3\xa9l", "233"}));
}

// Copies share a string's text: every way of copying, moving and assigning values of every
// kind over one another must leave each value what it was given, with each text freed once
// (the sanitizer builds see a double free or a leak).
TEST(Avm1Values, CopiesMovesAndAssignmentsKeepEachValue) {
    using avm1::Value;
    const std::string longText(40, 'x'); // past any small-string buffer
    const std::vector<Value> kinds = {
        Value(),     Value::hole(),   Value::null(),
        Value(true), Value(2.5),      Value(""),
        Value("ab"), Value(longText), Value(static_cast<avm1::Object*>(nullptr))};
    auto same = [](const Value& a, const Value& b) {
        return a.type() == b.type() && a.isHole() == b.isHole() && a.asBool() == b.asBool() &&
               a.asNumber() == b.asNumber() && a.asString() == b.asString() &&
               a.asObject() == b.asObject();
    };
    for (const Value& from : kinds) {
        for (const Value& onto : kinds) {
            Value copied = onto;
            copied = from;
            EXPECT_TRUE(same(copied, from));
            Value source = from;
            Value moved = onto;
            moved = std::move(source);
            EXPECT_TRUE(same(moved, from));
            EXPECT_TRUE(source.asString().empty()); // NOLINT(bugprone-use-after-move)
            Value kept(moved);
            moved = onto; // the copy outlives what it was copied from
            EXPECT_TRUE(same(kept, from));
            EXPECT_TRUE(same(moved, onto));
        }
        Value self = from;
        const Value& alias = self;
        self = alias;
        EXPECT_TRUE(same(self, from));
    }
    EXPECT_EQ(Value(longText).asString(), longText);
    EXPECT_EQ(Value(2.5).asObject(), nullptr);
    EXPECT_EQ(Value("7").asNumber(), 0); // no number until converted
}

} // namespace
} // namespace kinovex::flash::test
