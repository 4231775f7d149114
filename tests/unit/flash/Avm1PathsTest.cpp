// Variable and target paths: how GetVariable and SetVariable read "a/b:c", "../a", "a.b" and
// their odd corners, each table naming one rule of the reading.

#include "Avm1TestHost.h"

#include <gtest/gtest.h>

namespace kinovex::flash::test {
namespace {

using namespace swf;

struct PathCase {
    const char* path;
    const char* expected; // the clip's target path or the value as text; "" for undefined
};

// A chain of clips all named "a", six deep under the root; scripts run on the third
// (_level0.a.a.a), so that paths can go three clips up and three down.
class PathTest : public ::testing::Test {
protected:
    PathTest() {
        avm1::ClipId c = 1;
        for (int depth = 0; depth < 6; ++depth) {
            c = host.addClip(c, "a");
            m_chain.push_back(c);
        }
    }
    avm1::ClipId here() const { return m_chain[2]; }
    avm1::ClipId chain(std::size_t i) const { return m_chain[i]; }

    std::string shown(const avm1::Value& v) {
        if (v.isUndefined()) {
            return "";
        }
        if (v.isObject() && v.asObject()->objectClass() == avm1::ObjectClass::Clip) {
            return vm.targetPath(v.asObject()->clip());
        }
        return vm.toString(v);
    }
    void expectAll(std::initializer_list<PathCase> cases) {
        for (const PathCase& c : cases) {
            EXPECT_EQ(shown(vm.getVariable(here(), c.path)), c.expected) << c.path;
        }
    }

    FakeHost host;
    avm1::Vm vm{host, 7};

private:
    std::vector<avm1::ClipId> m_chain;
};

TEST_F(PathTest, TheLastColonOrDotPartsTheTargetFromTheVariable) {
    expectAll({
        {"a.a", "_level0.a.a.a.a.a"},
        {"a:a", "_level0.a.a.a.a.a"},
        {"a.a:a", "_level0.a.a.a.a.a.a"},
        {"a:", ""},   // a variable with no name
        {"../a", ""}, // the second dot of ".." parts it: "." names nothing
        {".a", ""},   // no target at all
        {":a", ""},
        {"a/a.a", "_level0.a.a.a.a.a.a"},
    });
}

TEST_F(PathTest, TwoDotsStepUpWhenADelimiterOrTheEndFollows) {
    expectAll({
        {"..:a", "_level0.a.a.a"},
        {"...a", "_level0.a.a.a"}, // "..", then ".a"
        {"../:a", "_level0.a.a.a"},
        {"../..:a", "_level0.a.a"},
        {"..:..:a", "_level0.a.a"},
        {"a/..:a", "_level0.a.a.a.a"},
        {"a.:..:a", "_level0.a.a.a.a"}, // a colon ends the dot before it
        {"....:a", ""},                 // no parent step in "...."
        {"a...:a", ""},                 // nor right after a dot
        {"..:a..a", ""},                // after "..", a dot belongs to the name: "a."
        {"..::a", "_level0.a.a.a"},     // ".." takes one delimiter with it...
        {"..:::a", ""},                 // ...and a lone colon after it names nothing here
        {"../../../../:a", ""},         // above the level there is nothing
    });
}

TEST_F(PathTest, SlashesStartAtTheLevelAndMakeDotsPartOfNames) {
    expectAll({
        {"/", "_level0"},
        {"/a/a", "_level0.a.a"},
        {"/:a", "_level0.a"},
        {"a/", "_level0.a.a.a.a"},
        {"a/a/a/", "_level0.a.a.a.a.a.a"},
        {"a//", ""},    // an empty name
        {":/a", ""},    // the level only at the very start
        {"a/a.:a", ""}, // "a." after the slash
        {"/a.:a", ""},  // the leading slash counts as well
        {"a.a/a", ""},  // the variable is "a/a", which a has not
    });
}

TEST_F(PathTest, ColonsBeforeANameAreSkipped) {
    expectAll({
        {":a:a", "_level0.a.a.a.a.a"},
        {"::a:a", "_level0.a.a.a.a.a"},
        {"a::a", "_level0.a.a.a.a.a"},
        {"a::a:a", "_level0.a.a.a.a.a.a"},
        {"a:::a", ""}, // a colon with no name after it is the name ":"
        {"::a", ""},
    });
}

TEST_F(PathTest, NamesOfDotsAndColonsAreReachableBySlashes) {
    const avm1::ClipId dots = host.addClip(chain(3), "...");
    const avm1::ClipId colon = host.addClip(chain(3), ":");
    const avm1::ClipId twoDots = host.addClip(chain(3), "..c");
    vm.setVariable(dots, "d", avm1::Value(46.0));
    vm.setVariable(colon, "d", avm1::Value(48.0));
    vm.setVariable(twoDots, "d", avm1::Value(44.0));
    vm.setVariable(chain(1), "d", avm1::Value(40.0));
    expectAll({
        {"a/..:d", ""}, // the parent of a, which has no d
        {"/a/a/a/..:d", "40"},
        {"a:...:d", "46"}, // a name that starts with a dot keeps its dots
        {"a/...:d", "46"},
        {"a/..c:d", "44"},
        {"a/:/:d", "48"},
        {"...:d", ""}, // the timeline has no "..."
    });
}

TEST_F(PathTest, LongNamesGoOnAsTheNextStep) {
    const std::string name127(127, 'N');
    const avm1::ClipId longClip = host.addClip(here(), name127);
    avm1::Object* rest = vm.newObject();
    rest->define("yo", avm1::Value(42.0));
    vm.setVariable(longClip, "M", avm1::Value(rest));
    host.addClip(here(), name127 + "X");
    EXPECT_EQ(shown(vm.getVariable(here(), name127 + "M:yo")), "42");
    EXPECT_EQ(shown(vm.getVariable(here(), name127 + "X:_name")), "");
}

TEST_F(PathTest, ASlashPathAloneNamesOnlyClips) {
    avm1::Object* o = vm.newObject();
    vm.setVariable(here(), "o", avm1::Value(o));
    vm.setVariable(here(), "o:x", avm1::Value(5.0));
    expectAll({
        {"o:x", "5"},
        {"o/", ""},
        {"/a/a/a/o/", ""},
        {"/a/a/a/o/.x", "5"},
    });
}

TEST_F(PathTest, SetTargetReadsPathsAndFallsBackToTheTimelineItStartedOn) {
    vm.setVariable(here(), "o", avm1::Value(vm.newObject()));
    const PathCase cases[] = {
        {"a", "/a/a/a/a"},   {"::a", "/a/a/a/a"}, {"a.a", "/a/a/a/a/a"}, {"a:a/", "/a/a/a/a/a"},
        {"..", "/a/a"},      {"../..", "/a"},     {"..:..", "/a"},       {"/a", "/a"},
        {"_parent", "/a/a"}, {"a/a.", "/a/a/a"},  {"....", "/a/a/a"},    {"o", "/a/a/a"},
    };
    for (const PathCase& c : cases) {
        host.traces.clear();
        Actions a;
        a.setTarget(c.path).traceVar("_target").setTarget("");
        vm.beginFrame();
        vm.runActions(here(), a.bytes());
        EXPECT_EQ(host.traces, (Lines{c.expected})) << c.path;
    }
}

TEST_F(PathTest, SetTargetInAFunctionAndOnAClipThatGoes) {
    vm.setVariable(here(), "x", avm1::Value("timeline"));
    vm.setVariable(chain(3), "x", avm1::Value("target"));
    // A clip given to SetTarget goes by its path: of two of one name, the first.
    const avm1::ClipId first = host.addClip(here(), "twin");
    const avm1::ClipId second = host.addClip(here(), "twin");
    vm.setVariable(first, "x", avm1::Value("first"));
    vm.setVariable(here(), "second", avm1::Value(vm.clipObject(second)));
    Actions a;
    a.defineFunction("f", {}, Actions().setTarget("a").traceVar("x").traceVar("_target"));
    a.call("f", 0).op(op::Pop);
    a.getVar("second").op(op::SetTarget2).traceVar("x").setTarget("");
    a.setTarget("a").traceVar("x");
    a.call("gone", 0).op(op::Pop).traceVar("x").setTarget("");
    vm.global()->define("gone", avm1::Value(vm.newFunction([this](avm1::Vm&, const avm1::Value&,
                                                                  std::span<const avm1::Value>) {
                            host.removeClip(chain(3));
                            return avm1::Value();
                        })));
    vm.beginFrame();
    vm.runActions(here(), a.bytes());
    EXPECT_EQ(host.traces, (Lines{"target", "/a/a/a/a", "first", "target", "timeline"}));
}

// Scripts: a path with a variable is read from each scope in turn; a slash path from the
// timeline only; SetVariable reads only colons and dots as paths.
TEST(Avm1PathScopes, PathsAreReadThroughTheScopeChain) {
    FakeHost host;
    const avm1::ClipId a = host.addClip(1, "a");
    const avm1::ClipId aa = host.addClip(a, "a");
    host.addClip(aa, "a");
    avm1::Vm vm(host, 7);
    Actions s;
    s.setVar("x", 0.0).push({"a:x", 1.0}).op(op::SetVariable);
    s.push({"a/a:x", 2.0}).op(op::SetVariable).push({"a/a/a:x", 3.0}).op(op::SetVariable);
    s.getVar("a").with(Actions()
                           .push("a:x")
                           .op(op::GetVariable)
                           .op(op::Trace) // from the with object: _level0.a.a
                           .push("a/a")
                           .op(op::GetVariable)
                           .op(op::TargetPath)
                           .op(op::Trace)); // from the timeline: _level0.a.a, not deeper
    s.push("Math:PI").op(op::GetVariable).op(op::Trace); // found from _global
    s.push({"a/b", "plain"}).op(op::SetVariable);        // a variable named "a/b"
    s.getVar("this").push("a/b").op(op::GetMember).op(op::Trace);
    vm.beginFrame();
    vm.runActions(1, s.bytes());
    EXPECT_EQ(host.traces, (Lines{"2", "_level0.a.a", "3.14159265358979", "plain"}));
}

// A function called by name runs on the scope object it was found on, when that is a
// function's locals or a with block's object; found on the timeline or _global, on the timeline.
TEST(Avm1PathScopes, AFunctionCalledByNameRunsOnWhereItWasFound) {
    const Actions showX = Actions().getVar("this").push("x").op(op::GetMember).op(op::Trace);
    Actions test;
    test.push({"x", 3.0}).op(op::DefineLocal);
    test.push("local").defineFunction("", {}, showX).op(op::DefineLocal);
    test.call("local", 0).op(op::Pop);
    test.getVar("o").with(Actions().call("local", 0).op(op::Pop).call("method", 0).op(op::Pop));
    Actions a;
    a.setVar("x", 1.0);
    a.push({"o", "x", 7.0, "method"}).defineFunction("", {}, showX).push(Int{2});
    a.op(op::InitObject).op(op::SetVariable);
    a.defineFunction("onTimeline", {}, showX);
    a.getVar("_global").push("onGlobal").defineFunction("", {}, showX).op(op::SetMember);
    a.defineFunction("test", {}, test).call("test", 0).op(op::Pop);
    a.call("onTimeline", 0).op(op::Pop).call("onGlobal", 0).op(op::Pop);
    EXPECT_EQ(run(a), (Lines{"3", "3", "7", "1", "1"}));
}

} // namespace
} // namespace kinovex::flash::test
