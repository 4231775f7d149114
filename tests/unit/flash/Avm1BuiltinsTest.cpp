// The built-in classes, one table per class: each row names the player's rule it checks, runs a
// short script on a movie of the given version and lists what it traces.

#include "Avm1TestHost.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace kinovex::flash::test {
namespace {

using namespace swf;

struct Rule {
    const char* name;
    int version;
    std::function<void(Actions&)> script;
    Lines expected;
};

std::ostream& operator<<(std::ostream& out, const Rule& r) { return out << r.name; }

std::string ruleName(const testing::TestParamInfo<Rule>& info) { return info.param.name; }

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

class Avm1ArraySort : public testing::TestWithParam<Rule> {};

TEST_P(Avm1ArraySort, FollowsThePlayer) {
    const Rule& r = GetParam();
    Actions a;
    r.script(a);
    EXPECT_EQ(run(a, r.version), r.expected);
}

const Actions kSubtract = Actions().getVar("a").getVar("b").op(op::Subtract);
const Actions kZero = Actions().push(0.0);

INSTANTIATE_TEST_SUITE_P(
    Rules, Avm1ArraySort,
    testing::Values(
        Rule{"PivotIsTheFirstElementAndBothSwappedAreComparedAgain", 7,
             [](Actions& a) {
                 defineCompare(a, "cmp", kSubtract);
                 pushArray(a, {2.0, 3.0, 1.0});
                 a.push("cmp").op(op::GetVariable).storeRegister(1).op(op::Pop);
                 traceCall(a, "sort", {Register{1}});
             },
             {"2 vs. 3", "2 vs. 1", "2 vs. 1", "2 vs. 3", "2 vs. 1", "1,2,3"}},
        Rule{"DescendingReversesTheAscendingOrder", 7,
             [](Actions& a) {
                 pushArray(a, {"b", "a", "c"});
                 traceCall(a, "sort", {2.0});
             },
             {"c,b,a"}},
        Rule{"NumericComparesOnlyNumbersAsNumbers", 7,
             [](Actions& a) {
                 pushArray(a, {10.0, 9.0, 100.0});
                 traceCall(a, "sort", {16.0});
                 pushArray(a, {"10", "9", "100"});
                 traceCall(a, "sort", {16.0});
             },
             {"9,10,100", "10,100,9"}},
        Rule{"UniqueSortChecksSortedNeighboursWithoutTheFunction", 7,
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
        Rule{"SortOnFlagsNeedOneNumberPerField", 7,
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

} // namespace
} // namespace kinovex::flash::test
