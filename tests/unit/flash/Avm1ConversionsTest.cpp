// How objects turn into values, text and numbers: which of valueOf and toString the player
// calls, how often, and what it makes of what they give.

#include "Avm1TestHost.h"

#include <gtest/gtest.h>

namespace kinovex::flash::test {
namespace {

using namespace swf;

// A method that traces its name and returns the variable `gives`.
Actions tracingMethod(const std::string& name, const std::string& gives) {
    Actions body;
    body.trace(name).getVar(gives).op(op::Return);
    return body;
}

struct ConversionCase {
    const char* rule;
    const char* valueOfGives;  // variables: five, text, obj (the object itself), _root, none
    const char* toStringGives; //   (never set, so undefined)
    void (*use)(Actions& a);   // with obj on the stack; traces the result
    int version;
    Lines expected;
};

const ConversionCase kConversionCases[] = {
    {"adding asks valueOf once and uses what it gives",
     "five",
     "text",
     [](Actions& a) { a.push("x").op(op::StackSwap).op(op::Add2).op(op::Trace); },
     7,
     {"valueOf", "x5"}},
    {"a valueOf giving an object leaves the object, whose toString is then joined",
     "obj",
     "text",
     [](Actions& a) { a.push("x").op(op::StackSwap).op(op::Add2).op(op::Trace); },
     7,
     {"valueOf", "toString", "xt"}},
    {"a toString giving anything but text prints the kind of object",
     "obj",
     "five",
     [](Actions& a) { a.push("x").op(op::StackSwap).op(op::Add2).op(op::Trace); },
     7,
     {"valueOf", "toString", "x[type Object]"}},
    {"a clip given by valueOf counts as a value and joins as its path",
     "_root",
     "text",
     [](Actions& a) { a.push("x").op(op::StackSwap).op(op::Add2).op(op::Trace); },
     7,
     {"valueOf", "x_level0"}},
    {"undefined from valueOf is a value (empty text before version 7)",
     "none",
     "text",
     [](Actions& a) { a.push("x").op(op::StackSwap).op(op::Add2).op(op::Trace); },
     6,
     {"valueOf", "x"}},
    {"conversion to text calls toString alone",
     "five",
     "text",
     [](Actions& a) { a.op(op::ToString).op(op::Trace); },
     7,
     {"toString", "t"}},
    {"conversion to a number calls valueOf alone; an object it gives is NaN",
     "obj",
     "text",
     [](Actions& a) { a.op(op::ToNumber).op(op::Trace); },
     7,
     {"valueOf", "NaN"}},
    {"adding two objects whose valueOf gives objects converts each again as a number",
     "obj",
     "text",
     [](Actions& a) { a.op(op::PushDuplicate).op(op::Add2).op(op::Trace); },
     7,
     {"valueOf", "valueOf", "valueOf", "valueOf", "NaN"}},
    {"from version 6 two objects are equal when they are the same, and neither is asked",
     "obj",
     "text",
     [](Actions& a) { a.op(op::PushDuplicate).op(op::Equals2).op(op::Trace); },
     6,
     {"true"}},
    {"version 5 asks both objects of an == for their values",
     "obj",
     "text",
     [](Actions& a) { a.op(op::PushDuplicate).op(op::Equals2).op(op::Trace); },
     5,
     {"valueOf", "valueOf", "true"}},
    {"== asks an object for its value once from version 6",
     "obj",
     "text",
     [](Actions& a) { a.push("hi").op(op::Equals2).op(op::Trace); },
     6,
     {"valueOf", "false"}},
    {"version 5 compares an object that stays one as a number, asking it again",
     "obj",
     "text",
     [](Actions& a) { a.push("hi").op(op::Equals2).op(op::Trace); },
     5,
     {"valueOf", "valueOf", "false"}},
    {"an object compared with a clip still gives its value from version 6",
     "obj",
     "text",
     [](Actions& a) { a.getVar("_root").op(op::Equals2).op(op::Trace); },
     6,
     {"valueOf", "false"}},
    {"< with an object that stays one is false, not undefined, and asks the left side alone",
     "obj",
     "text",
     [](Actions& a) { a.op(op::PushDuplicate).op(op::Less2).op(op::Trace); },
     7,
     {"valueOf", "false"}},
    {"< with an object that stays one on the right is false even beside undefined",
     "obj",
     "text",
     [](Actions& a) { a.push(Undefined{}).op(op::StackSwap).op(op::Less2).op(op::Trace); },
     7,
     {"valueOf", "false"}},
    {"undefined from valueOf equals undefined",
     "none",
     "text",
     [](Actions& a) { a.push(Undefined{}).op(op::Equals2).op(op::Trace); },
     6,
     {"valueOf", "true"}},
    {"a Math function reads its first two arguments, and a missing one is NaN",
     "five",
     "text",
     [](Actions& a) { a.push(Int{1}).getVar("Math").push("min").op(op::CallMethod).op(op::Trace); },
     7,
     {"valueOf", "NaN"}},
    {"max compares its first two arguments; a third is not even asked",
     "five",
     "text",
     [](Actions& a) {
         a.push({-1.0, 9.0}).op(op::StackSwap).push(Int{3}).getVar("Math").push("max");
         a.op(op::CallMethod).op(op::Trace);
     },
     7,
     {"9"}},
};

TEST(Avm1Conversions, ObjectsBecomeValuesThroughTheirMethods) {
    for (const ConversionCase& c : kConversionCases) {
        Actions a;
        a.setVar("five", 5.0).setVar("text", "t");
        a.push({"obj", Int{0}}).op(op::InitObject).op(op::SetVariable);
        a.getVar("obj").push("valueOf");
        a.defineFunction("", {}, tracingMethod("valueOf", c.valueOfGives)).op(op::SetMember);
        a.getVar("obj").push("toString");
        a.defineFunction("", {}, tracingMethod("toString", c.toStringGives)).op(op::SetMember);
        a.getVar("obj");
        c.use(a);
        EXPECT_EQ(run(a, c.version), c.expected) << c.rule;
    }
}

TEST(Avm1Conversions, AStringObjectIsItsTextWhateverItsToStringDoes) {
    Actions a;
    a.push({"str", "s", Int{1}, "String"}).op(op::NewObject).op(op::SetVariable);
    a.getVar("str").push("toString");
    a.defineFunction("", {}, tracingMethod("toString", "str")).op(op::SetMember);
    a.getVar("str").op(op::ToString).op(op::Trace);
    a.push("x").getVar("str").op(op::Add2).op(op::Trace);
    EXPECT_EQ(run(a), (Lines{"s", "xs"}));
}

TEST(Avm1Conversions, TheFunctionClassIsNamedFromVersion6) {
    Actions a;
    a.getVar("Function").op(op::TypeOf).op(op::Trace);
    EXPECT_EQ(run(a, 5), (Lines{"undefined"}));
    EXPECT_EQ(run(a, 6), (Lines{"function"}));
}

} // namespace
} // namespace kinovex::flash::test
