// The built-in classes, one table per class: each row names the player's rule it checks, runs a
// short script on a movie of the given version and lists what it traces.

#include "Avm1Rules.h"

#include <gtest/gtest.h>

#include <limits>

namespace kinovex::flash::test {
namespace {

using namespace swf;

// Pushes the array [values...].
Actions& pushArray(Actions& a, std::initializer_list<PushValue> values) {
    for (auto it = std::rbegin(values); it != std::rend(values); ++it) {
        a.push(*it);
    }
    return a.push(Int{static_cast<int>(values.size())}).op(op::InitArray);
}

// Calls method on the value on top of the stack with `args` and traces the result.
Actions& traceCall(Actions& a, const std::string& method, std::initializer_list<PushValue> args) {
    a.storeRegister(0).op(op::Pop);
    for (auto it = std::rbegin(args); it != std::rend(args); ++it) {
        a.push(*it);
    }
    return a.push(Int{static_cast<int>(args.size())})
        .push(Register{0})
        .push(method)
        .op(op::CallMethod)
        .op(op::Trace);
}

// Defines function `name`(a, b) that traces "a vs. b" and returns what `result` leaves.
Actions& defineCompare(Actions& a, const std::string& name, const Actions& result) {
    Actions body;
    body.getVar("a").push(" vs. ").op(op::Add2).getVar("b").op(op::Add2).op(op::Trace);
    body.rawBytes(result.bytes(false)).op(op::Return);
    return a.defineFunction(name, {"a", "b"}, body);
}

const Actions kSubtract = Actions().getVar("a").getVar("b").op(op::Subtract);
const Actions kZero = Actions().push(0.0);

TEST_P(Avm1Rule, FollowsThePlayer) {
    const Rule& r = GetParam();
    Actions a;
    r.script(a);
    EXPECT_EQ(run(a, r.version), r.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ArraySort, Avm1Rule,
    testing::Values(
        Rule{"PivotIsTheFirstElementAndBothSwappedAreComparedAgain",
             7,
             [](Actions& a) {
                 defineCompare(a, "cmp", kSubtract);
                 pushArray(a, {2.0, 3.0, 1.0});
                 a.push("cmp").op(op::GetVariable).storeRegister(1).op(op::Pop);
                 traceCall(a, "sort", {Register{1}});
             },
             {"2 vs. 3", "2 vs. 1", "2 vs. 1", "2 vs. 3", "2 vs. 1", "1,2,3"}},
        Rule{"DescendingReversesTheAscendingOrder",
             7,
             [](Actions& a) {
                 pushArray(a, {"b", "a", "c"});
                 traceCall(a, "sort", {2.0});
             },
             {"c,b,a"}},
        Rule{"NumericComparesOnlyNumbersAsNumbers",
             7,
             [](Actions& a) {
                 pushArray(a, {10.0, 9.0, 100.0});
                 traceCall(a, "sort", {16.0});
                 pushArray(a, {"10", "9", "100"});
                 traceCall(a, "sort", {16.0});
             },
             {"9,10,100", "10,100,9"}},
        Rule{"UniqueSortChecksSortedNeighboursWithoutTheFunction",
             7,
             [](Actions& a) {
                 defineCompare(a, "same", kZero);
                 a.push("same").op(op::GetVariable).storeRegister(1).op(op::Pop);
                 // Every comparison says equal, but no equal elements end up side by side.
                 pushArray(a, {"a", "b", "a"});
                 traceCall(a, "sort", {Register{1}, 4.0});
                 pushArray(a, {1.0, 2.0, 1.0});
                 traceCall(a, "sort", {4.0});
             },
             {"a vs. b", "a vs. a", "a vs. b", "b vs. a", "a,b,a", "0"}},
        Rule{"SortOnFlagsNeedOneNumberPerField",
             7,
             [](Actions& a) {
                 // [{n: 2}, {n: 1}] sorted on "n" with RETURNINDEXEDARRAY given three ways.
                 auto objects = [&a] {
                     a.push({"n", 1.0, Int{1}}).op(op::InitObject);
                     a.push({"n", 2.0, Int{1}}).op(op::InitObject);
                     a.push(Int{2}).op(op::InitArray);
                 };
                 objects();
                 traceCall(a, "sortOn", {"n", 8.0});
                 pushArray(a, {8.0, 0.0});
                 a.storeRegister(1).op(op::Pop);
                 objects();
                 traceCall(a, "sortOn", {"n", Register{1}});
                 objects();
                 a.storeRegister(0).op(op::Pop);
                 a.push({Int{0}, Register{0}, "sortOn"}).op(op::CallMethod).op(op::Trace);
             },
             {"1,0", "[object Object],[object Object]", "undefined"}}),
    ruleName);

// Traces which of `names` the array in register 1 owns, then whether `delete a.length` works.
std::function<void(Actions&)> traceOwnNames(const std::function<void(Actions&)>& makeArray) {
    return [makeArray](Actions& a) {
        makeArray(a);
        a.storeRegister(1).op(op::Pop);
        for (const char* name : {"length", "constructor", "__constructor__"}) {
            a.push(Register{1});
            traceCall(a, "hasOwnProperty", {name});
        }
        a.push({Register{1}, "length"}).op(op::Delete).op(op::Trace);
    };
}

// a = [1, 2, 3]; delete a[1]; then a.hasOwnProperty("1"), a.length and a.
void deleteAnElement(Actions& a) {
    pushArray(a, {1.0, 2.0, 3.0});
    a.storeRegister(1).op(op::Pop);
    a.push({Register{1}, "1"}).op(op::Delete).op(op::Trace);
    a.push(Register{1});
    traceCall(a, "hasOwnProperty", {"1"});
    a.push({Register{1}, "length"}).op(op::GetMember).op(op::Trace);
    a.push(Register{1}).op(op::Trace);
}

INSTANTIATE_TEST_SUITE_P(ArrayOwnNames, Avm1Rule,
                         testing::Values(Rule{"LiteralsOwnAPermanentLengthAndConstructor",
                                              7,
                                              traceOwnNames([](Actions& a) {
                                                  pushArray(a, {1.0});
                                              }),
                                              {"true", "true", "false", "false"}},
                                         Rule{"NewArrayLeavesTheConstructorToTheNewOperator",
                                              7,
                                              traceOwnNames([](Actions& a) {
                                                  a.push({Int{0}, "Array"}).op(op::NewObject);
                                              }),
                                              {"true", "false", "true", "false"}},
                                         Rule{"Version6NewNamesTheConstructorOnTheArray",
                                              6,
                                              traceOwnNames([](Actions& a) {
                                                  a.push({Int{0}, "Array"}).op(op::NewObject);
                                              }),
                                              {"true", "true", "true", "false"}},
                                         Rule{"CallingArrayMakesItLikeALiteral",
                                              6,
                                              traceOwnNames([](Actions& a) {
                                                  a.push({Int{0}, "Array"}).op(op::CallFunction);
                                              }),
                                              {"true", "true", "false", "false"}},
                                         Rule{"DeletingAnElementLeavesAHole",
                                              7,
                                              deleteAnElement,
                                              {"true", "false", "3", "1,undefined,3"}}),
                         ruleName);

// a = [1, 2, 3, 4]; a.length = `length`; traces a.length and a.
std::function<void(Actions&)> traceLengthWrite(const PushValue& length) {
    return [length](Actions& a) {
        pushArray(a, {1.0, 2.0, 3.0, 4.0});
        a.storeRegister(1).op(op::Pop);
        a.push({Register{1}, "length", length}).op(op::SetMember);
        a.push({Register{1}, "length"}).op(op::GetMember).op(op::Trace);
        a.push(Register{1}).op(op::Trace);
    };
}

INSTANTIATE_TEST_SUITE_P(
    ArrayLength, Avm1Rule,
    testing::Values(
        Rule{"AFractionCutsTheElementsAndReadsBackAsWritten",
             7,
             traceLengthWrite(2.5),
             {"2.5", "1,2"}},
        Rule{"TextThatIsNoNumberEmptiesTheArray", 7, traceLengthWrite("har"), {"har", ""}},
        Rule{"ANegativeLengthEmptiesTheArray", 7, traceLengthWrite(-4.0), {"-4", ""}},
        Rule{"AWholeNumberIsTheCount", 7, traceLengthWrite(5.0), {"5", "1,2,3,4,undefined"}},
        Rule{"InitArrayPadsWhatTheStackLacks",
             7,
             [](Actions& a) {
                 a.push({1.0, Int{3}}).op(op::InitArray).op(op::Trace);
             },
             {"1,undefined,undefined"}}),
    ruleName);

// Traces s.method(args...) for the string s.
void traceStringCall(Actions& a, const PushValue& s, const std::string& method,
                     std::initializer_list<PushValue> args) {
    a.push(s);
    traceCall(a, method, args);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, Avm1Rule,
    testing::Values(
        Rule{"Version5TextIsOneByteACharacter",
             5,
             [](Actions& a) {
                 a.push("\xc3\xb6").push("length").op(op::GetMember).op(op::Trace);
                 a.push("\xc3\xb6").op(op::MBStringLength).op(op::Trace);
                 a.push("\xc3\xb6").op(op::MBCharToAscii).op(op::Trace);
             },
             {"2", "2", "195"}},
        Rule{"Version6TextIsUtf8AndEveryLengthCountsCharacters",
             6,
             [](Actions& a) {
                 a.push("\xc3\xb6").push("length").op(op::GetMember).op(op::Trace);
                 a.push("\xc3\xb6").op(op::StringLength).op(op::Trace);
                 a.push("\xc3\xb6").op(op::CharToAscii).op(op::Trace);
             },
             {"1", "1", "246"}},
        Rule{"CaseChangesLettersBeyondAscii",
             6,
             [](Actions& a) {
                 traceStringCall(a, "\xc3\xb6l\xc3\xb6", "toUpperCase", {});
                 // \u00c4 \u03a3 \u0416 \u0178
                 traceStringCall(a, "\xc3\x84\xce\xa3\xd0\x96\xc5\xb8", "toLowerCase", {});
                 // \u03c2 (final sigma) and \u0131 (dotless i) only go up
                 traceStringCall(a, "\xcf\x82\xc4\xb1", "toUpperCase", {});
             },
             {"\xc3\x96L\xc3\x96", "\xc3\xa4\xcf\x83\xd0\xb6\xc3\xbf", "\xce\xa3I"}},
        Rule{"Version5CaseChangesTheLatin1Characters",
             5,
             [](Actions& a) { traceStringCall(a, "\xc3\xb6", "toLowerCase", {}); },
             {"\xc3\xa3\xc2\xb6"}},
        Rule{"Version5SplitsOnlyOnOneCharacter",
             5,
             [](Actions& a) {
                 traceStringCall(a, "a--b", "split", {"--"});
                 traceStringCall(a, "a-b", "split", {"-"});
                 traceStringCall(a, "ab", "split", {""});
                 a.push("").storeRegister(0).op(op::Pop);
                 a.push({0.0, "x", Int{2}, Register{0}, "split"})
                     .op(op::CallMethod)
                     .push("length")
                     .op(op::GetMember)
                     .op(op::Trace);
             },
             {"a--b", "a,b", "ab", "0"}},
        Rule{"Version6SplitsEmptyTextIntoOneEmptyPieceAndLimitsAreInt32",
             6,
             [](Actions& a) {
                 traceStringCall(a, "ab", "split", {""});
                 traceStringCall(a, "a-b", "split", {"-", std::numeric_limits<double>::infinity()});
                 a.push("").storeRegister(0).op(op::Pop);
                 a.push({0.0, "x", Int{2}, Register{0}, "split"})
                     .op(op::CallMethod)
                     .push("length")
                     .op(op::GetMember)
                     .op(op::Trace);
             },
             {"a,b", "", "1"}},
        Rule{"NegativeSubstrCountsBackSubstringPastTheEndIsEmptyAndInfinityIsZero",
             7,
             [](Actions& a) {
                 traceStringCall(a, "ABCDEF", "substr", {2.0, -3.0});
                 traceStringCall(a, "ABCDEF", "substr", {2.0, -2.0});
                 traceStringCall(a, "ABCDEF", "substring", {6.0, 0.0});
                 traceStringCall(a, "ABCDEF", "substring", {5.0, 0.0});
                 const double infinity = std::numeric_limits<double>::infinity();
                 traceStringCall(a, "ABCDEF", "substr", {1.0, infinity});
                 traceStringCall(a, "ABCDEF", "substring", {infinity, 1.0});
             },
             {"CDE", "", "", "ABCDE", "", "A"}},
        Rule{"Version6UnescapeDropsBadEscapesAndReadsUtf8Leniently",
             6,
             [](Actions& a) {
                 for (const char* s : {"a+b%4G%Gc", "%C3%A4%80", "x%C1yz", "x%FFyz"}) {
                     a.push({s, Int{1}, "unescape"}).op(op::CallFunction).op(op::Trace);
                 }
             },
             {"a bc", "\xc3\xa4\xc2\x80", "x\xef\xbf\xbdz", "x"}},
        Rule{"SliceWithoutArgumentsIsUndefined",
             7,
             [](Actions& a) { traceStringCall(a, "abc", "slice", {}); },
             {"undefined"}},
        Rule{"Version5CharacterCodesAreBytes",
             5,
             [](Actions& a) {
                 a.push(300.0).op(op::AsciiToChar).op(op::Trace);
                 a.push(300.0).op(op::MBAsciiToChar).op(op::Trace);
                 a.push(65600.0).op(op::MBAsciiToChar).op(op::Trace);
                 a.push({256.0, 65.0, Int{2}}).getVar("String").push("fromCharCode");
                 a.op(op::CallMethod).op(op::Trace);
             },
             {",", "\x01,", "", "A\x01"}},
        Rule{"Version6CharacterCodesAreUtf16AndZeroEndsTheText",
             6,
             [](Actions& a) {
                 a.push(300.0).op(op::AsciiToChar).op(op::Trace);
                 a.push({66.0, 0.0, 65.0, Int{3}}).getVar("String").push("fromCharCode");
                 a.op(op::CallMethod).op(op::Trace);
             },
             {"\xc4\xac", "A"}},
        Rule{"StringObjectsBecomeTheirTextWithoutCallingMethods",
             7,
             [](Actions& a) {
                 a.push({"in", Int{1}, "String"}).op(op::NewObject).storeRegister(1).op(op::Pop);
                 a.push({Register{1}, "toString"});
                 a.defineFunction("", {}, Actions().push("method").op(op::Return));
                 a.op(op::SetMember);
                 a.push(Register{1}).op(op::Trace);
                 pushArray(a, {Register{1}});
                 a.op(op::Trace);
             },
             {"in", "in"}},
        Rule{"Versions6And7ReadAStringsMemberThroughTheStringClassOfTheMoment",
             6,
             [](Actions& a) {
                 a.getVar("_global").push("String");
                 a.defineFunction("", {"s"},
                                  Actions()
                                      .getVar("s")
                                      .op(op::Trace)
                                      .getVar("this")
                                      .push({"length", -1.0})
                                      .op(op::SetMember));
                 a.op(op::SetMember).push({"hello", "length"}).op(op::GetMember).op(op::Trace);
             },
             {"hello", "-1"}},
        Rule{"WithNoStringClassAStringHasNoMembers",
             7,
             [](Actions& a) {
                 a.getVar("_global").push({"String", 13.0}).op(op::SetMember);
                 a.push({"hello", "length"}).op(op::GetMember).op(op::Trace);
             },
             {"undefined"}}),
    ruleName);

// o = {}; o.a = 21 with ASSetPropFlags(o, "a", flags) and a prototype whose a is 42.
void objectWithFlaggedA(Actions& a, double flags) {
    a.push({"o", Int{0}}).op(op::InitObject).op(op::SetVariable);
    a.getVar("o").push({"__proto__", "a", 42.0, Int{1}}).op(op::InitObject).op(op::SetMember);
    a.getVar("o").push({"a", 21.0}).op(op::SetMember);
    a.push({flags, "a"}).getVar("o").push(Int{3}).push("ASSetPropFlags").op(op::CallFunction);
    a.op(op::Pop);
}

Actions& traceOA(Actions& a) {
    return a.getVar("o").push("a").op(op::GetMember).op(op::Trace);
}

std::function<void(Actions&)> readFlaggedA(double flags) {
    return [flags](Actions& a) {
        objectWithFlaggedA(a, flags);
        traceOA(a);
    };
}

INSTANTIATE_TEST_SUITE_P(
    PropFlags, Avm1Rule,
    testing::Values(Rule{"Flag1024HidesFromMoviesBefore7", 6, readFlaggedA(1024), {"42"}},
                    Rule{"Flag1024ShowsToMoviesOf7", 7, readFlaggedA(1024), {"21"}},
                    Rule{"Flag256HidesOnlyFromMoviesOf6", 6, readFlaggedA(256), {"42"}},
                    Rule{"Flag128HidesFromMoviesBefore6", 5, readFlaggedA(128), {"42"}},
                    Rule{"WritingAHiddenPropertyShowsIt",
                         7,
                         [](Actions& a) {
                             objectWithFlaggedA(a, 4096);
                             a.getVar("o").push({"a", 5.0}).op(op::SetMember);
                             traceOA(a);
                         },
                         {"5"}},
                    Rule{"HasOwnPropertySkipsOnlyTheVersion6Flag",
                         7,
                         [](Actions& a) {
                             for (const double flags : {8192.0, 256.0}) {
                                 objectWithFlaggedA(a, flags);
                                 a.getVar("o");
                                 traceCall(a, "hasOwnProperty", {"a"});
                             }
                         },
                         {"true", "false"}}),
    ruleName);

// Defines `name` as a function that traces `text` and its first argument.
void defineTracer(Actions& a, const std::string& name, const std::string& text) {
    a.defineFunction(name, {"x"}, Actions().push(text).getVar("x").op(op::Add2).op(op::Trace));
}

// o = {}; AsBroadcaster.initialize(o)
void broadcaster(Actions& a) {
    a.push({"o", Int{0}}).op(op::InitObject).op(op::SetVariable);
    a.getVar("o").push(Int{1}).getVar("AsBroadcaster").push("initialize").op(op::CallMethod);
    a.op(op::Pop);
}

INSTANTIATE_TEST_SUITE_P(
    AsBroadcaster, Avm1Rule,
    testing::Values(
        Rule{"BroadcastCallsEachListenerOnceAndSaysWhetherThereWasOne",
             7,
             [](Actions& a) {
                 broadcaster(a);
                 a.getVar("o");
                 traceCall(a, "broadcastMessage", {"f"});
                 a.push({"l", Int{0}}).op(op::InitObject).op(op::SetVariable);
                 defineTracer(a, "onF", "got ");
                 a.getVar("l").push("f").getVar("onF").op(op::SetMember);
                 for (int i = 0; i < 2; ++i) {
                     a.getVar("l").push(Int{1}).getVar("o").push("addListener");
                     a.op(op::CallMethod).op(op::Pop);
                 }
                 a.getVar("o");
                 traceCall(a, "broadcastMessage", {"f", 5.0});
                 a.getVar("l").push(Int{1}).getVar("o").push("removeListener");
                 a.op(op::CallMethod).op(op::Trace);
                 a.getVar("o");
                 traceCall(a, "broadcastMessage", {"f"});
             },
             {"undefined", "got 5", "true", "true", "undefined"}},
        Rule{"InitializeCopiesTheAddListenerOfTheMoment",
             7,
             [](Actions& a) {
                 defineTracer(a, "mine", "mine ");
                 a.getVar("AsBroadcaster").push("addListener").getVar("mine").op(op::SetMember);
                 broadcaster(a);
                 a.getVar("o");
                 traceCall(a, "addListener", {1.0});
             },
             {"mine 1", "undefined"}},
        Rule{"MoviesBefore6SeeItButNoneOfItsMembers",
             5,
             [](Actions& a) {
                 a.getVar("AsBroadcaster").op(op::TypeOf).op(op::Trace);
                 a.getVar("AsBroadcaster").push("initialize").op(op::GetMember);
                 a.op(op::TypeOf).op(op::Trace);
             },
             {"function", "undefined"}}),
    ruleName);

// f = ASnative(group, index)
void asNative(Actions& a, double group, double index) {
    a.push({"f", index, group, Int{2}, "ASnative"}).op(op::CallFunction).op(op::SetVariable);
}

INSTANTIATE_TEST_SUITE_P(
    AsNative, Avm1Rule,
    testing::Values(
        Rule{"Group101IsObjectsMethodsEvenAfterTheyAreDeleted",
             7,
             [](Actions& a) {
                 a.getVar("Object").push("prototype").op(op::GetMember).push("hasOwnProperty");
                 a.op(op::Delete).op(op::Pop);
                 asNative(a, 101, 5);
                 a.push({"o", "k", 1.0, Int{1}}).op(op::InitObject).op(op::SetVariable);
                 a.getVar("o").push("has").getVar("f").op(op::SetMember);
                 a.getVar("o");
                 traceCall(a, "has", {"k"});
                 a.getVar("o");
                 traceCall(a, "has", {"hasOwnProperty"});
             },
             {"true", "false"}},
        Rule{"Group100And252HoldEscapeAndArrayPush",
             7,
             [](Actions& a) {
                 asNative(a, 100, 0);
                 a.push({"a b", Int{1}, "f"}).op(op::CallFunction).op(op::Trace);
                 a.push({"list", Int{0}}).op(op::InitArray).op(op::SetVariable);
                 asNative(a, 252, 1);
                 a.push("x").getVar("list").push(Int{2}).getVar("f");
                 a.push("call").op(op::CallMethod).op(op::Pop);
                 a.traceVar("list");
             },
             {"a%20b", "x"}},
        Rule{"Group102HoldsTheOldCaseFunctionsThatMapOnlyAsciiLetters",
             7,
             [](Actions& a) {
                 for (const double index : {0.0, 1.0}) {
                     asNative(a, 102, index);
                     a.push("Ab z\u00c4\u00e4!").push(Int{1}).getVar("f");
                     a.push("call").op(op::CallMethod).op(op::Trace);
                 }
             },
             {"AB Z\u00c4\u00e4!", "ab z\u00c4\u00e4!"}},
        Rule{"EveryCallMakesANewFunctionAndOnlyBadNumbersGiveUndefined",
             7,
             [](Actions& a) {
                 for (const auto& [group, index] : std::initializer_list<std::pair<double, double>>{
                          {101, 8}, {101, -1}, {101, 0.5}, {100, 99}}) {
                     asNative(a, group, index);
                     a.getVar("f").op(op::TypeOf).op(op::Trace);
                 }
                 a.push("g").getVar("f").op(op::SetVariable);
                 asNative(a, 100, 99);
                 a.getVar("f").getVar("g").op(op::Equals2).op(op::Trace);
             },
             {"function", "undefined", "undefined", "function", "false"}},
        Rule{"ASSetNativeNamesTakeNumbersInTurnAndAVersionPrefixHidesThem",
             6,
             [](Actions& a) {
                 a.push({"o", Int{0}}).op(op::InitObject).op(op::SetVariable);
                 a.push({"6escape,7unescape", 100.0}).getVar("o").push(Int{3});
                 a.push("ASSetNative").op(op::CallFunction).op(op::Pop);
                 a.push({"a b", Int{1}}).getVar("o").push("escape").op(op::CallMethod);
                 a.op(op::Trace);
                 a.getVar("o").push("unescape").op(op::GetMember).op(op::TypeOf).op(op::Trace);
             },
             {"a%20b", "undefined"}}),
    ruleName);

INSTANTIATE_TEST_SUITE_P(
    NumbersAndDates, Avm1Rule,
    testing::Values(
        Rule{"IntWrapsToInt32",
             7,
             [](Actions& a) {
                 for (const double x :
                      {4294967295.0, 2147483648.0, std::numeric_limits<double>::infinity(), -1.5}) {
                     a.push(x).op(op::ToInteger).op(op::Trace);
                 }
             },
             {"-1", "-2147483648", "0", "-1"}},
        Rule{"DivisionByZeroTakesTheDividendsSign",
             7,
             [](Actions& a) {
                 for (const double x : {1.0, -1.0, 0.0}) {
                     a.push({x, -0.0}).op(op::Divide).op(op::Trace);
                 }
             },
             {"Infinity", "-Infinity", "NaN"}},
        Rule{"SetYearReadsShortYearsAsThe1900s",
             7,
             [](Actions& a) {
                 a.push({15.0, 10.0, 2020.0, Int{3}, "Date"}).op(op::NewObject);
                 a.storeRegister(1).op(op::Pop);
                 a.push({3.0, 2.0, 1.0, Int{3}, Register{1}, "setYear"}).op(op::CallMethod);
                 a.op(op::Pop).push(Register{1});
                 traceCall(a, "getFullYear", {});
                 a.push(Register{1});
                 traceCall(a, "getDate", {});
             },
             {"1901", "3"}},
        Rule{"SetTimeOfUndefinedIsNaNEvenInVersion5",
             5,
             [](Actions& a) {
                 a.push({0.0, Int{1}, "Date"}).op(op::NewObject);
                 a.storeRegister(1).op(op::Pop).push(Register{1});
                 traceCall(a, "setTime", {Undefined{}});
             },
             {"NaN"}},
        Rule{"DateFieldsEndAtAnUndefinedOneAndTimesAreNotClipped",
             7,
             [](Actions& a) {
                 // new Date(1983, 11, undefined, 22); new Date(275761, 5, 25) (past 8.64e15 ms)
                 a.push({22.0, Undefined{}, 11.0, 1983.0, Int{4}, "Date"}).op(op::NewObject);
                 a.storeRegister(1).op(op::Pop).push(Register{1});
                 traceCall(a, "getTime", {});
                 a.push({25.0, 5.0, 275761.0, Int{3}, "Date"}).op(op::NewObject);
                 a.storeRegister(1).op(op::Pop).push(Register{1});
                 traceCall(a, "getFullYear", {});
             },
             {"439084800000", "275761"}},
        Rule{"DateUtcGivesTheTimeOfUtcFields",
             7,
             [](Actions& a) {
                 a.getVar("Date");
                 traceCall(a, "UTC", {1970.0, 0.0, 2.0});
                 a.getVar("Date");
                 traceCall(a, "UTC", {99.0, 0.0});
             },
             {"86400000", "915148800000"}}),
    ruleName);

// o = new Object() under `name`.
Actions& newObject(Actions& a, const std::string& name) {
    return a.push({name, Int{0}, "Object"}).op(op::NewObject).op(op::SetVariable);
}

// object.member = the function (params) { body }.
Actions& setMethod(Actions& a, const std::string& object, const std::string& member,
                   const std::vector<std::string>& params, const Actions& body) {
    a.getVar(object).push(member);
    return a.defineFunction("", params, body).op(op::SetMember);
}

Actions& traceMember(Actions& a, const std::string& object, const std::string& member) {
    return a.getVar(object).push(member).op(op::GetMember).op(op::Trace);
}

// o's prototype holds a __resolve function; o's own __resolve slot holds 42.
void resolvePastANumber(Actions& a) {
    newObject(a, "p");
    newObject(a, "o");
    a.getVar("o").push({"__proto__", "p"}).op(op::GetVariable).op(op::SetMember);
    Actions resolve;
    resolve.push("resolved ").getVar("name").op(op::Add2).op(op::Return);
    setMethod(a, "p", "__resolve", {"name"}, resolve);
    a.getVar("o").push({"__resolve", 42.0}).op(op::SetMember);
    traceMember(a, "o", "world");
    a.getVar("o").push({"__resolve", Int{0}, "Object"}).op(op::NewObject).op(op::SetMember);
    traceMember(a, "o", "world");
}

// Watches o.x with a callback that traces and multiplies by 10, writes, unwatches, writes.
void watchAndUnwatch(Actions& a) {
    newObject(a, "o");
    Actions callback;
    callback.getVar("prop").push(":").op(op::Add2).getVar("old").op(op::Add2);
    callback.push(">").op(op::Add2).getVar("value").op(op::Add2).op(op::Trace);
    callback.getVar("value").push(10.0).op(op::Multiply).op(op::Return);
    a.defineFunction("times10", {"prop", "old", "value"}, callback);
    a.getVar("times10").push({"x", Int{2}}).getVar("o");
    a.push("watch").op(op::CallMethod).op(op::Trace);
    a.getVar("o").push({"x", 1.0}).op(op::SetMember);
    traceMember(a, "o", "x");
    a.push({"x", Int{1}}).getVar("o").push("unwatch").op(op::CallMethod).op(op::Trace);
    a.getVar("o").push({"x", 2.0}).op(op::SetMember);
    traceMember(a, "o", "x");
}

// A callback writing its own name again, counting its calls, and one deleting the name.
void watchNestingAndDeleting(Actions& a) {
    newObject(a, "o");
    a.setVar("calls", 0.0);
    Actions again;
    again.push("calls").getVar("calls").push(1.0).op(op::Add2).op(op::SetVariable);
    again.push("this").op(op::GetVariable).getVar("prop").getVar("value").op(op::SetMember);
    again.getVar("value").op(op::Return);
    a.defineFunction("again", {"prop", "old", "value"}, again);
    a.getVar("again").push({"x", Int{2}}).getVar("o").push("watch").op(op::CallMethod);
    a.op(op::Pop).getVar("o").push({"x", 1.0}).op(op::SetMember).traceVar("calls");
    Actions erase;
    erase.push("this").op(op::GetVariable).getVar("prop").op(op::Delete);
    erase.op(op::Pop).getVar("value").op(op::Return);
    a.defineFunction("erase", {"prop", "old", "value"}, erase);
    a.getVar("erase").push({"y", Int{2}}).getVar("o").push("watch").op(op::CallMethod);
    a.op(op::Pop).getVar("o").push({"y", 1.0}).op(op::SetMember);
    a.push({"y", Int{1}}).getVar("o").push("hasOwnProperty").op(op::CallMethod).op(op::Trace);
}

// p.x = 42; o.__proto__ = p; ASSetPropFlags(o, "__proto__", 0, 7); delete o.__proto__;
// trace(o.x); trace(o instanceof Object).
void deleteProtoLink(Actions& a) {
    newObject(a, "p");
    a.getVar("p").push({"x", 42.0}).op(op::SetMember);
    newObject(a, "o");
    a.getVar("o").push({"__proto__", "p"}).op(op::GetVariable).op(op::SetMember);
    a.push({7.0, 0.0, "__proto__"}).getVar("o").push(Int{4}).push("ASSetPropFlags");
    a.op(op::CallFunction).op(op::Pop);
    a.getVar("o").push("__proto__").op(op::Delete).op(op::Pop);
    a.getVar("o").push("x").op(op::GetMember).op(op::Trace);
    a.getVar("o").getVar("Object").op(op::InstanceOf).op(op::Trace);
}

// trace(ContextMenu.prototype.constructor === Object).
void contextMenuPrototypeConstructor(Actions& a) {
    a.getVar("ContextMenu").push("prototype").op(op::GetMember).push("constructor");
    a.op(op::GetMember).getVar("Object").op(op::StrictEquals).op(op::Trace);
}

// p.isPrototypeOf(o) with o's __proto__ flagged for version 8 (4096), and a string's.
void prototypeLinkFlaggedFor8(Actions& a) {
    newObject(a, "p");
    newObject(a, "o");
    a.getVar("o").push({"__proto__", "p"}).op(op::GetVariable).op(op::SetMember);
    a.push({0.0, 4096.0, "__proto__"}).getVar("o").push(Int{4}).push("ASSetPropFlags");
    a.op(op::CallFunction).op(op::Pop);
    a.getVar("o").push(Int{1}).getVar("p").push("isPrototypeOf").op(op::CallMethod).op(op::Trace);
    a.push({"text", Int{1}}).getVar("String").push("prototype").op(op::GetMember);
    a.push("isPrototypeOf").op(op::CallMethod).op(op::Trace);
}

// What version 5 lacks: Object.prototype.watch, Function.prototype.call; a function in
// arithmetic.
void version6Additions(Actions& a) {
    a.getVar("Object").push("prototype").op(op::GetMember).push("watch").op(op::GetMember);
    a.op(op::TypeOf).op(op::Trace);
    a.getVar("Number").push("call").op(op::GetMember).op(op::TypeOf).op(op::Trace);
    a.getVar("Number").push(2.0).op(op::Subtract).op(op::Trace);
}

// One, and Two extends One; both constructors trace, Two's calls super(). Each class has a foo
// that traces; Two's calls super.foo() first. Then: new Two, x.foo(), Two.prototype.foo(), and
// super outside any method.
void superLevels(Actions& a) {
    a.defineFunction("One", {}, Actions().trace(1.0));
    Actions two;
    two.push({Int{0}, "super"}).op(op::CallFunction).op(op::Pop).trace(2.0);
    a.defineFunction("Two", {}, two);
    a.getVar("Two").getVar("One").op(op::Extends);
    a.getVar("One").push("prototype").op(op::GetMember).push("foo");
    a.defineFunction("", {}, Actions().trace("foo: 1")).op(op::SetMember);
    Actions foo;
    foo.push({Int{0}, "super"}).op(op::GetVariable).push("foo").op(op::CallMethod).op(op::Pop);
    foo.trace("foo: 2");
    a.getVar("Two").push("prototype").op(op::GetMember).push("foo");
    a.defineFunction("", {}, foo).op(op::SetMember);
    a.push({"x", Int{0}, "Two"}).op(op::NewObject).op(op::SetVariable);
    a.push(Int{0}).getVar("x").push("foo").op(op::CallMethod).op(op::Pop);
    a.push(Int{0}).getVar("Two").push("prototype").op(op::GetMember);
    a.push("foo").op(op::CallMethod).op(op::Pop);
    a.getVar("super").op(op::Trace);
}

// Foo extends Date, and its constructor calls super(); x = new Foo: x.getTime() is the clock's
// time. Then a plain object borrows Date.prototype.getTime.
void dateSubclassAndBorrowedGetter(Actions& a) {
    a.defineFunction("Foo", {}, Actions().push({Int{0}, "super"}).op(op::CallFunction).op(op::Pop));
    a.getVar("Foo").getVar("Date").op(op::Extends);
    a.push({"x", Int{0}, "Foo"}).op(op::NewObject).op(op::SetVariable);
    a.getVar("x");
    traceCall(a, "getTime", {});
    a.push(Int{0}).op(op::InitObject).storeRegister(1).push("getTime");
    a.getVar("Date").push("prototype").op(op::GetMember).push("getTime").op(op::GetMember);
    a.op(op::SetMember).push(Register{1});
    traceCall(a, "getTime", {});
}

// f = function () { this.x = 42; trace(this.x); trace(this); }; f.call(); f.call(true).
void callOnPrimitives(Actions& a) {
    Actions body;
    body.push("this").op(op::GetVariable).push({"x", 42.0}).op(op::SetMember);
    body.push("this").op(op::GetVariable).push("x").op(op::GetMember).op(op::Trace);
    body.push("this").op(op::GetVariable).op(op::Trace);
    a.defineFunction("f", {}, body);
    a.push(Int{0}).getVar("f").push("call").op(op::CallMethod).op(op::Pop);
    a.push({true, Int{1}}).getVar("f").push("call").op(op::CallMethod).op(op::Pop);
}

INSTANTIATE_TEST_SUITE_P(
    ObjectMethods, Avm1Rule,
    testing::Values(
        Rule{"ResolveStopsAtTheFirstSlotUpToVersion6",
             6,
             resolvePastANumber,
             {"undefined", "undefined"}},
        Rule{"ResolvePassesOverPrimitiveSlotsFromVersion7",
             7,
             resolvePastANumber,
             {"resolved world", "undefined"}},
        Rule{"WatchStoresTheCallbacksResultUntilUnwatched",
             7,
             watchAndUnwatch,
             {"true", "x:undefined>1", "10", "true", "2"}},
        Rule{"WatchDoesNotRunInsideItselfInVersion6AndDeletingKeepsTheNameGone",
             6,
             watchNestingAndDeleting,
             {"1", "false"}},
        Rule{"WatchNestsUpTo65WritesFromVersion7", 7, watchNestingAndDeleting, {"65", "false"}},
        Rule{"IsPrototypeOfStopsOnlyAtTheNextVersionsFlag",
             6,
             prototypeLinkFlaggedFor8,
             {"true", "true"}},
        Rule{"IsPrototypeOfStopsAtALinkFlaggedForTheNextVersion",
             7,
             prototypeLinkFlaggedFor8,
             {"false", "true"}},
        Rule{"Version5LacksWatchAndCallAndCountsFunctionsAsZero",
             5,
             version6Additions,
             {"undefined", "undefined", "-2"}},
        Rule{"Version6HasWatchAndCall", 6, version6Additions, {"function", "function", "NaN"}},
        // Called on Two.prototype itself, foo's super starts above One.prototype: no foo there.
        Rule{"SuperStandsOneLevelAboveTheObjectsPrototype",
             6,
             superLevels,
             {"1", "2", "foo: 1", "foo: 2", "foo: 2", "undefined"}},
        Rule{"CallRunsOnAnObjectEvenForUndefinedOrAPrimitive",
             6,
             callOnPrimitives,
             {"42", "[type Object]", "42", "true"}},
        Rule{"AClassNewerThanTheMovieHasAPrototypeNamingObject",
             6,
             contextMenuPrototypeConstructor,
             {"true"}},
        Rule{"AClassOfTheMoviesVersionHasItsOwnPrototype",
             7,
             contextMenuPrototypeConstructor,
             {"false"}},
        Rule{"AScriptCannotSetAMemberWithAnEmptyName",
             7,
             [](Actions& a) {
                 newObject(a, "o");
                 a.getVar("o").push({"", 42.0}).op(op::SetMember);
                 a.getVar("o").push("").op(op::GetMember).op(op::Trace);
             },
             {"undefined"}},
        Rule{"DeletingProtoEndsTheLinkUpToVersion6", 6, deleteProtoLink, {"undefined", "false"}},
        Rule{"DeletingProtoKeepsTheLinkFromVersion7", 7, deleteProtoLink, {"42", "false"}},
        Rule{"SuperMakesADateSubclassADateAndDateGettersElseGiveUndefined",
             6,
             dateSubclassAndBorrowedGetter,
             {"0", "undefined"}}),
    ruleName);

// m = new ContextMenu(); c = m.copy(); m.hideBuiltInItems(); trace(typeof c);
// trace(c.builtInItems.loop)
void copyThenHide(Actions& a) {
    a.push("m").push(Int{0}).push("ContextMenu").op(op::NewObject).op(op::SetVariable);
    a.push("c").push(Int{0}).getVar("m").push("copy").op(op::CallMethod).op(op::SetVariable);
    a.push(Int{0}).getVar("m").push("hideBuiltInItems").op(op::CallMethod).op(op::Pop);
    a.getVar("c").op(op::TypeOf).op(op::Trace);
    a.getVar("c").push("builtInItems").op(op::GetMember);
    a.getVar("m").push("builtInItems").op(op::GetMember).op(op::StrictEquals).op(op::Trace);
    a.getVar("m").push("builtInItems").op(op::GetMember).push("loop").op(op::GetMember);
    a.op(op::Trace);
}

// f = new flash.filters.BlurFilter(8); trace(f.blurX, f.blurY, f.hasOwnProperty("blurX"))
void blurFilter(Actions& a) {
    a.push("f").push(8.0).push(Int{1}).getVar("flash").push("filters").op(op::GetMember);
    a.push("BlurFilter").op(op::NewMethod).op(op::SetVariable);
    a.getVar("f").push("blurX").op(op::GetMember).op(op::Trace);
    a.getVar("f").push("blurY").op(op::GetMember).op(op::Trace);
    a.push("blurX").push(Int{1}).getVar("f").push("hasOwnProperty").op(op::CallMethod);
    a.op(op::Trace);
}

INSTANTIATE_TEST_SUITE_P(
    PlayerClasses, Avm1Rule,
    testing::Values(
        Rule{"AContextMenuCopySharesTheBuiltInItems", 7, copyThenHide, {"object", "true", "false"}},
        Rule{"ContextMenuCopyAndHideComeWithVersion7",
             6,
             copyThenHide,
             {"undefined", "false", "true"}},
        Rule{"FilterFieldsSitBehindThePrototypesAccessors", 8, blurFilter, {"8", "4", "false"}}),
    ruleName);

} // namespace
} // namespace kinovex::flash::test
