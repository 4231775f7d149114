// Scripts: functions and closures, registers, classes, exceptions, scopes, loops, built-ins,
// clips through the host, and scripts that must be stopped.

#include "Avm1Rules.h"
#include "Avm1TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

namespace kinovex::flash::test {
namespace {

using namespace swf;

// o.method(args...) with the arguments already pushed, last first.
Actions& callMethod(Actions& a, const std::string& object, const std::string& method, int argc) {
    a.push(Int{argc}).getVar(object).push(method).op(op::CallMethod);
    return a;
}

TEST(Avm1Functions, ArgumentsLocalsAndClosures) {
    Actions counter; // function makeCounter() { var n = 0; return function() { return ++n; } }
    counter.push({"n", 0.0}).op(op::DefineLocal);
    counter.defineFunction("", {},
                           Actions()
                               .getVar("n")
                               .op(op::Increment)
                               .op(op::PushDuplicate)
                               .push("n")
                               .op(op::StackSwap)
                               .op(op::SetVariable)
                               .op(op::Return));
    counter.op(op::Return);
    Actions a;
    a.defineFunction("makeCounter", {}, counter);
    a.push("c").call("makeCounter", 0).op(op::SetVariable);
    a.push("d").call("makeCounter", 0).op(op::SetVariable);
    a.call("c", 0).op(op::Pop).call("c", 0).op(op::Trace).call("d", 0).op(op::Trace);
    // Missing arguments are undefined; extra ones are in `arguments`.
    a.defineFunction("f", {"x"},
                     Actions()
                         .getVar("x")
                         .op(op::Trace)
                         .getVar("arguments")
                         .push("length")
                         .op(op::GetMember)
                         .op(op::Trace));
    a.call("f", 0).op(op::Pop).push({3.0, 2.0, 1.0}).call("f", 3).op(op::Pop);
    // The local does not leak out.
    a.traceVar("n");
    EXPECT_EQ(run(a), (Lines{"2", "1", "undefined", "0", "1", "3", "undefined"}));
}

// A function made inside another sees that one's locals from version 6 on; a version 5 function
// looks names up on its timeline only.
TEST(Avm1Functions, ClosuresStartAtVersion6) {
    Actions outer; // var x = "local"; return function() { trace(x); }
    outer.push({"x", "local"}).op(op::DefineLocal);
    outer.defineFunction("", {}, Actions().traceVar("x")).op(op::Return);
    Actions a;
    a.setVar("x", "timeline").defineFunction("outer", {}, outer);
    a.push("inner").call("outer", 0).op(op::SetVariable).call("inner", 0).op(op::Pop);
    for (const auto& [version, seen] : {std::pair{5, "timeline"}, std::pair{6, "local"}}) {
        EXPECT_EQ(run(a, version), (Lines{seen})) << "version " << version;
    }
}

TEST(Avm1Functions, DefineFunction2PreloadsRegisters) {
    // function(a in r4, b as a local) with this, arguments, _root preloaded into r1, r2, r3.
    Actions body;
    body.push(Register{1}).op(op::TypeOf).op(op::Trace);
    body.push(Register{2}).push("length").op(op::GetMember).op(op::Trace);
    body.push(Register{4}).op(op::Trace);
    body.getVar("b").op(op::Trace);
    body.push(Register{3}).op(op::TargetPath).op(op::Trace);
    body.getVar("arguments").op(op::Trace); // preloaded, so not a local
    body.push(Register{4}).op(op::Increment).storeRegister(4).op(op::Pop);
    body.push(Register{4}).op(op::Return);
    Actions a;
    a.defineFunction2("g", 5, fn2::PreloadThis | fn2::PreloadArguments | fn2::PreloadRoot,
                      {{4, "a"}, {0, "b"}}, body);
    a.push({"B", 41.0}).call("g", 2).op(op::Trace);
    // The global registers of the timeline are not the function's.
    a.push(9.0).storeRegister(3).op(op::Pop).push(Register{3}).op(op::Trace);
    EXPECT_EQ(run(a), (Lines{"movieclip", "2", "41", "B", "_level0", "undefined", "42", "9"}));
}

TEST(Avm1Functions, CallApplyAndThis) {
    Actions a;
    // function who(p, q) { trace(this.tag + p + q); }
    a.defineFunction("who", {"p", "q"},
                     Actions()
                         .getVar("this")
                         .push("tag")
                         .op(op::GetMember)
                         .getVar("p")
                         .op(op::Add2)
                         .getVar("q")
                         .op(op::Add2)
                         .op(op::Trace));
    a.push({"o", "tag", "O", Int{1}}).op(op::InitObject).op(op::SetVariable);
    a.push({"2", "1"})
        .getVar("o")
        .push(Int{3})
        .getVar("who")
        .push("call")
        .op(op::CallMethod)
        .op(op::Pop);
    a.push({"b", "a", Int{2}})
        .op(op::InitArray)
        .getVar("o")
        .push(Int{2})
        .getVar("who")
        .push("apply")
        .op(op::CallMethod)
        .op(op::Pop);
    // A plain call runs with the timeline as `this`.
    a.setVar("tag", "T").push({"y", "x"}).call("who", 2).op(op::Pop);
    EXPECT_EQ(run(a), (Lines{"O12", "Oab", "Txy"}));
}

TEST(Avm1Functions, ArgumentsCallerIsTheCallingFunctionOrNull) {
    Actions a;
    Actions child;
    child.getVar("arguments").push("caller").op(op::GetMember).op(op::PushDuplicate);
    child.op(op::TypeOf).op(op::Trace).getVar("outer").op(op::StrictEquals).op(op::Trace);
    a.defineFunction("child", {}, child);
    a.defineFunction("outer", {}, Actions().call("child", 0).op(op::Pop));
    a.call("child", 0).op(op::Pop); // from the frame's actions
    a.call("outer", 0).op(op::Pop);
    EXPECT_EQ(run(a), (Lines{"null", "false", "function", "true"}));
}

TEST(Avm1Functions, RecursionIsStoppedAtTheLimit) {
    FakeHost host;
    avm1::Vm vm(host, 7);
    Actions a;
    a.defineFunction("r", {}, Actions().call("r", 0).op(op::Return));
    a.call("r", 0).op(op::Pop).trace("not reached");
    Actions after;
    after.trace("next script runs");
    vm.beginFrame();
    vm.runActions(1, a.bytes());
    vm.runActions(1, after.bytes());
    EXPECT_EQ(host.traces, (Lines{"next script runs"}));
    ASSERT_EQ(host.reports.size(), 1u);
    EXPECT_NE(host.reports[0].find("256"), std::string::npos);
}

// `call` runs a frame's actions inside the caller's: a frame that calls itself, directly or through
// a function, is stopped at the recursion limit with everything that called it, and the next
// script of the frame runs as usual.
TEST(Avm1Functions, FramesCallingThemselvesAreStoppedAtTheLimit) {
    Actions direct;
    direct.push(2.0).raw(op::CallFrame, {}).trace("not reached");
    Actions throughFunction;
    throughFunction.defineFunction("f", {}, Actions().push(2.0).raw(op::CallFrame, {}));
    throughFunction.call("f", 0).op(op::Pop).trace("not reached");
    for (const Actions* frame2 : {&direct, &throughFunction}) {
        FakeHost host;
        avm1::Vm vm(host, 7);
        host.vm = &vm;
        host.frameScripts[2] = frame2->bytes();
        Actions after;
        after.trace("next script runs");
        vm.beginFrame();
        vm.runActions(1, Actions().push(2.0).raw(op::CallFrame, {}).trace("not reached").bytes());
        vm.runActions(1, after.bytes());
        EXPECT_EQ(host.traces, (Lines{"next script runs"}));
        ASSERT_EQ(host.reports.size(), 1u);
        EXPECT_NE(host.reports[0].find("256"), std::string::npos);
    }
}

// class Animal { function Animal(n) { this.name = n; } function speak() { return name + "?"; } }
// class Dog extends Animal { function Dog(n) { super(n); } function speak() {
//     return super.speak() + "!"; } }
Actions classes() {
    Actions a;
    a.push("Animal");
    a.defineFunction(
        "", {"n"},
        Actions().push({"this"}).op(op::GetVariable).push("name").getVar("n").op(op::SetMember));
    a.op(op::SetVariable);
    a.getVar("Animal").push("prototype").op(op::GetMember).push("speak");
    a.defineFunction("", {},
                     Actions()
                         .getVar("this")
                         .push("name")
                         .op(op::GetMember)
                         .push("?")
                         .op(op::Add2)
                         .op(op::Return));
    a.op(op::SetMember);
    a.push("Dog");
    a.defineFunction("", {"n"},
                     Actions()
                         .getVar("n")
                         .push(Int{1})
                         .getVar("super")
                         .push(Undefined{})
                         .op(op::CallMethod)
                         .op(op::Pop));
    a.op(op::SetVariable);
    a.getVar("Dog").getVar("Animal").op(op::Extends);
    a.getVar("Dog").push("prototype").op(op::GetMember).push("speak");
    a.defineFunction("", {},
                     Actions()
                         .push(Int{0})
                         .getVar("super")
                         .push("speak")
                         .op(op::CallMethod)
                         .push("!")
                         .op(op::Add2)
                         .op(op::Return));
    a.op(op::SetMember);
    return a;
}

TEST(Avm1Objects, ClassesWithExtendsAndSuper) {
    Actions a = classes();
    a.push({"d", "Rex", Int{1}, "Dog"}).op(op::NewObject).op(op::SetVariable);
    callMethod(a, "d", "speak", 0).op(op::Trace);
    a.getVar("d").getVar("Animal").op(op::InstanceOf).op(op::Trace);
    a.getVar("d").getVar("Array").op(op::InstanceOf).op(op::Trace);
    // Casting to a class the object is not gives null.
    a.getVar("Array").getVar("d").op(op::CastOp).op(op::Trace);
    a.getVar("d")
        .push("__proto__")
        .op(op::GetMember)
        .getVar("Dog")
        .push("prototype")
        .op(op::GetMember)
        .op(op::StrictEquals)
        .op(op::Trace);
    EXPECT_EQ(run(a), (Lines{"Rex?!", "true", "false", "null", "true"}));
}

TEST(Avm1Objects, ImplementsCountsForInstanceOf) {
    Actions a;
    a.push("I").defineFunction("", {}, Actions()).op(op::SetVariable);
    a.push("C").defineFunction("", {}, Actions()).op(op::SetVariable);
    a.getVar("I").push(Int{1}).getVar("C").op(op::ImplementsOp);
    a.push({"o", Int{0}, "C"}).op(op::NewObject).op(op::SetVariable);
    a.getVar("o").getVar("I").op(op::InstanceOf).op(op::Trace);
    EXPECT_EQ(run(a), (Lines{"true"}));
}

TEST(Avm1Objects, GettersSettersAndPropertyFlags) {
    Actions a;
    a.push("o").push(Int{0}).op(op::InitObject).op(op::SetVariable);
    // o.addProperty("v", function() { return 42; }, function(x) { trace("set " + x); })
    a.defineFunction("", {"x"}, Actions().push("set ").getVar("x").op(op::Add2).op(op::Trace));
    a.defineFunction("", {}, Actions().push(42.0).op(op::Return));
    a.push("v");
    callMethod(a, "o", "addProperty", 3).op(op::Pop);
    a.getVar("o").push("v").op(op::GetMember).op(op::Trace);
    a.getVar("o").push({"v", 7.0}).op(op::SetMember);
    // Read-only and undeletable after ASSetPropFlags.
    a.getVar("o").push({"k", 1.0}).op(op::SetMember);
    a.push({6.0, "k"})
        .getVar("o")
        .push(Int{3})
        .push("ASSetPropFlags")
        .op(op::CallFunction)
        .op(op::Pop);
    a.getVar("o").push({"k", 2.0}).op(op::SetMember);
    a.getVar("o").push("k").op(op::Delete).op(op::Trace);
    a.getVar("o").push("k").op(op::GetMember).op(op::Trace);
    EXPECT_EQ(run(a), (Lines{"42", "set 7", "false", "1"}));
}

TEST(Avm1Objects, EnumerationOrderAndHiddenNames) {
    Actions a;
    a.push({"a", 1.0, "b", 2.0, "c", 3.0, Int{3}}).op(op::InitObject);
    a.storeRegister(1).op(op::Pop);
    a.push({1.0, "b"})
        .push(Register{1})
        .push(Int{3})
        .push("ASSetPropFlags")
        .op(op::CallFunction)
        .op(op::Pop);
    a.push(Register{1}).op(op::Enumerate2);
    a.label("loop").storeRegister(0).push(Null{}).op(op::Equals2).ifTrue("done");
    a.push(Register{0}).op(op::Trace).jump("loop");
    a.label("done");
    // Items pop in the reverse of the order they were made, as in the player.
    EXPECT_EQ(run(a), (Lines{"c", "a"}));
}

TEST(Avm1Exceptions, CatchFinallyAndRethrow) {
    Actions a;
    a.tryBlock(Actions().trace("try").push("boom").op(op::Throw).trace("not reached"),
               std::string("e"), Actions().push("caught ").getVar("e").op(op::Add2).op(op::Trace),
               Actions().trace("finally"));
    // A throw with no catch runs the finally block and goes on up to the outer catch.
    Actions inner;
    inner.tryBlock(Actions().push(7.0).op(op::Throw), std::nullopt, Actions(),
                   Actions().trace("inner finally"));
    a.tryBlock(inner, std::uint8_t{2}, Actions().push(Register{2}).op(op::Trace));
    // A return from a try block still runs finally.
    a.defineFunction("f", {},
                     Actions().tryBlock(Actions().push("r").op(op::Return), std::nullopt, Actions(),
                                        Actions().trace("cleanup")));
    a.call("f", 0).op(op::Trace);
    EXPECT_EQ(run(a),
              (Lines{"try", "caught boom", "finally", "inner finally", "7", "cleanup", "r"}));
}

TEST(Avm1Exceptions, UncaughtIsReportedAndTheNextScriptRuns) {
    FakeHost host;
    avm1::Vm vm(host, 7);
    vm.beginFrame();
    vm.runActions(1, Actions().push("oops").op(op::Throw).bytes());
    vm.runActions(1, Actions().trace("after").bytes());
    EXPECT_EQ(host.traces, (Lines{"after"}));
    ASSERT_EQ(host.reports.size(), 1u);
    EXPECT_NE(host.reports[0].find("oops"), std::string::npos);
}

TEST(Avm1Scopes, WithAndJumpsOutOfBlocks) {
    Actions a;
    a.push({"o", "x", 5.0, Int{1}}).op(op::InitObject).op(op::SetVariable);
    a.setVar("x", "timeline");
    // The jump leaves the with block, over the 13-byte trace that follows it.
    a.getVar("o").with(Actions().traceVar("x").setVar("x", 6.0).raw(0x99, {13, 0}));
    a.trace("skipped");
    a.traceVar("x").getVar("o").push("x").op(op::GetMember).op(op::Trace);
    EXPECT_EQ(run(a), (Lines{"5", "timeline", "6"}));
}

TEST(Avm1Scopes, GlobalAndPaths) {
    FakeHost host;
    const avm1::ClipId mc = host.addClip(1, "mc");
    const avm1::ClipId inner = host.addClip(mc, "inner");
    avm1::Vm vm(host, 6);
    Actions a;
    a.getVar("_global").push({"shared", 1.0}).op(op::SetMember);
    a.push({"/mc/inner:v", "slash"}).op(op::SetVariable);
    a.push({"_root.mc.inner.w", "dot"}).op(op::SetVariable);
    a.setTarget("mc/inner").traceVar("v").traceVar("w").traceVar("shared");
    a.getVar("_parent").op(op::TargetPath).op(op::Trace).setTarget("");
    a.push("_root.mc").op(op::GetVariable).push(1.0).op(op::GetProperty).op(op::Trace);
    a.push({"mc", 13.0}).op(op::GetProperty).op(op::Trace);
    a.push({"mc/inner", 11.0}).op(op::GetProperty).op(op::Trace);
    a.getVar("_root").push("_target").op(op::GetMember).op(op::Trace);
    vm.beginFrame();
    vm.runActions(1, a.bytes());
    EXPECT_EQ(host.traces, (Lines{"slash", "dot", "1", "_level0.mc", "0", "mc", "/mc/inner", "/"}));
    (void)inner;
}

TEST(Avm1Clips, VariablesByPathForBoundTextFields) {
    FakeHost host;
    const avm1::ClipId hud = host.addClip(1, "hud");
    avm1::Vm vm(host, 6);
    vm.setVariable(1, "/hud:score", avm1::Value(10.0));
    EXPECT_EQ(vm.toString(vm.getVariable(hud, "score")), "10");
    EXPECT_EQ(vm.toString(vm.getVariable(1, "_root.hud.score")), "10");
    vm.setVariable(hud, "_parent.lives", avm1::Value(3.0));
    EXPECT_EQ(vm.toString(vm.getVariable(1, "LIVES")), "3"); // version 6: any case
    EXPECT_TRUE(vm.getVariable(1, "nothing.here").isUndefined());
}

TEST(Avm1Clips, PreloaderWaitsAndLoadingIsUnavailable) {
    FakeHost host;
    host.framesLoaded = 2;
    avm1::Vm vm(host, 6);
    Actions a;
    // A trace is two actions (push, Trace): each wait skips both when the frame is missing.
    a.waitForFrame(1, 2).trace("frame 2 loaded");
    a.waitForFrame(4, 2).trace("frame 5 loaded").trace("goes on");
    a.push(3.0).waitForFrame2(2).trace("frame 3 loaded");
    a.getUrl("http://example.com/next.swf", "_level1");
    vm.beginFrame();
    vm.runActions(1, a.bytes());
    EXPECT_EQ(host.traces, (Lines{"frame 2 loaded", "goes on"}));
    ASSERT_EQ(host.reports.size(), 1u);
    EXPECT_NE(host.reports[0].find("unavailable"), std::string::npos);
}

TEST(Avm1Clips, TimelineControlGoesToTheHost) {
    FakeHost host;
    const avm1::ClipId mc = host.addClip(1, "mc");
    avm1::Vm vm(host, 7);
    Actions a;
    a.gotoFrame(4).op(op::Play);
    a.push("mc:end").gotoFrame2(false);
    a.push({"mc", 0.0, 50.0}).op(op::SetProperty);
    a.push(Int{0}).getVar("mc").push("stop").op(op::CallMethod).op(op::Pop);
    a.push(3.0).push(Int{1}).getVar("mc").push("gotoAndPlay").op(op::CallMethod).op(op::Pop);
    vm.beginFrame();
    vm.runActions(1, a.bytes());
    EXPECT_EQ(host.clip(1).frame, 5u);
    EXPECT_TRUE(host.clip(1).playing);
    EXPECT_EQ(host.clip(mc).frame, 3u);
    EXPECT_TRUE(host.clip(mc).playing);
    EXPECT_EQ(vm.toNumber(host.clip(mc).properties[0]), 50);
}

TEST(Avm1Clips, HandlersAndIntervalsFollowTheHostClock) {
    FakeHost host;
    avm1::Vm vm(host, 7);
    Actions a;
    a.setVar("ticks", 0.0);
    a.getVar("_root").push("onEnterFrame");
    a.defineFunction("", {}, Actions().trace("enter"));
    a.op(op::SetMember);
    a.push(100.0);
    a.defineFunction("", {},
                     Actions()
                         .getVar("ticks")
                         .op(op::Increment)
                         .storeRegister(0)
                         .push("ticks")
                         .op(op::StackSwap)
                         .op(op::SetVariable)
                         .push(Register{0})
                         .op(op::Trace));
    a.push(Int{2})
        .push("setInterval")
        .op(op::CallFunction)
        .push("id")
        .op(op::StackSwap)
        .op(op::SetVariable);
    vm.beginFrame();
    vm.runActions(1, a.bytes());
    for (double t : {50.0, 100.0, 150.0, 450.0}) {
        host.now = t;
        vm.beginFrame();
        vm.callHandler(1, "onEnterFrame");
    }
    // Each period that passed gets its call, before the frame's handlers.
    EXPECT_EQ(host.traces, (Lines{"enter", "1", "enter", "enter", "2", "3", "4", "enter"}));
    vm.runActions(1, Actions().getVar("id").call("clearInterval", 1).bytes());
    host.now = 1000;
    vm.beginFrame();
    EXPECT_EQ(host.traces.size(), 8u);
    // A host that jumps a long way ahead gets a bounded number of calls.
    vm.runActions(1, a.bytes());
    host.now = 1'000'000;
    vm.beginFrame();
    EXPECT_EQ(host.traces.size(), 18u);
}

TEST(Avm1Clips, RegisteredClassesGiveClipsTheirPrototype) {
    FakeHost host;
    const avm1::ClipId ball = host.addClip(1, "ball");
    avm1::Vm vm(host, 7);
    Actions a;
    a.push("Ball").defineFunction("", {}, Actions().trace("made")).op(op::SetVariable);
    a.getVar("Ball").push("prototype").op(op::GetMember).push("bounce");
    a.defineFunction("", {},
                     Actions()
                         .getVar("this")
                         .push("_name")
                         .op(op::GetMember)
                         .push(" bounces")
                         .op(op::Add2)
                         .op(op::Trace));
    a.op(op::SetMember);
    a.getVar("Ball")
        .push({"ballSymbol", Int{2}})
        .getVar("Object")
        .push("registerClass")
        .op(op::CallMethod)
        .op(op::Pop);
    vm.beginFrame();
    vm.runActions(1, a.bytes());
    EXPECT_FALSE(vm.initClipClass(ball, "otherSymbol"));
    EXPECT_TRUE(vm.initClipClass(ball, "ballSymbol"));
    vm.runActions(1, Actions()
                         .push(Int{0})
                         .getVar("ball")
                         .push("bounce")
                         .op(op::CallMethod)
                         .op(op::Pop)
                         .getVar("ball")
                         .push("_x")
                         .op(op::GetMember)
                         .op(op::Trace)
                         .bytes());
    // Clip properties still come from the player.
    EXPECT_EQ(host.traces, (Lines{"made", "ball bounces", "0"}));
}

TEST(Avm1Budget, RunawayLoopIsStoppedOnceAndPlaybackGoesOn) {
    FakeHost host;
    avm1::Vm vm(host, 7);
    vm.setInstructionBudget(10000);
    const auto loop = Actions().label("top").jump("top").bytes();
    vm.beginFrame();
    vm.runActions(1, loop);
    vm.beginFrame();
    vm.runActions(1, loop);
    vm.runActions(1, Actions().trace("same frame").bytes());
    vm.beginFrame();
    vm.runActions(1, Actions().trace("next frame").bytes());
    EXPECT_EQ(host.traces, (Lines{"next frame"}));
    EXPECT_EQ(host.reports.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Language, Avm1Rule,
    testing::Values(Rule{"ANaNEqualsOnlyItselfReadAgain",
                         7,
                         [](Actions& a) {
                             a.push({"x", 0.0, 0.0}).op(op::Divide).op(op::SetVariable);
                             a.getVar("x").getVar("x").op(op::Equals2).op(op::Trace);
                             a.push({0.0, 0.0}).op(op::Divide).push({0.0, 0.0}).op(op::Divide);
                             a.op(op::Equals2).op(op::Trace);
                             a.getVar("NaN").getVar("NaN").op(op::StrictEquals).op(op::Trace);
                         },
                         {"true", "false", "true"}},
                    Rule{"AFunctionAskingForNoRegistersSharesTheTimelines",
                         7,
                         [](Actions& a) {
                             a.defineFunction2("f", 0, 0, {},
                                               Actions().push("hi").storeRegister(3));
                             a.push(Int{0}).push("f").op(op::CallFunction).op(op::Pop);
                             a.push(Register{3}).op(op::Trace);
                         },
                         {"hi"}},
                    Rule{"AssignmentInWithGoesPastNamesTheObjectOnlyInherits",
                         7,
                         [](Actions& a) {
                             a.push({"o", "__proto__", "a", 4.0, Int{1}}).op(op::InitObject);
                             a.push(Int{1}).op(op::InitObject).op(op::SetVariable);
                             a.getVar("o").with(Actions().setVar("a", 5.0));
                             a.getVar("o").push("a").op(op::GetMember).op(op::Trace).traceVar("a");
                         },
                         {"4", "5"}},
                    Rule{"ConversionsCalledWithNothingGiveUndefined",
                         7,
                         [](Actions& a) {
                             a.push({Int{0}, "Boolean"}).op(op::CallFunction).op(op::Trace);
                             a.push({Int{0}, "parseFloat"}).op(op::CallFunction).op(op::Trace);
                         },
                         {"undefined", "undefined"}},
                    // setVariable takes "a/b" as a name; getVariable reads it back so where no
                    // clip is at the path.
                    Rule{"NewObjectsNameTheirConstructorFromVersion6",
                         5,
                         [](Actions& a) {
                             a.push("o").push({Int{0}, "Object"}).op(op::NewObject);
                             a.op(op::SetVariable);
                             a.getVar("o").push("__constructor__").op(op::GetMember);
                             a.op(op::TypeOf).op(op::Trace);
                         },
                         {"undefined"}},
                    Rule{"ASlashPathToNoClipNamesAVariable",
                         5,
                         [](Actions& a) { a.setVar("a/b", 42.0).traceVar("a/b"); },
                         {"42"}},
                    Rule{"AConstructorWithNoPrototypeObjectBuildsObjectsWithNoPrototype",
                         7,
                         [](Actions& a) {
                             a.defineFunction("Foo", {}, Actions());
                             a.getVar("Foo").push({"prototype", 13.0}).op(op::SetMember);
                             a.push("x").push({Int{0}, "Foo"}).op(op::NewObject);
                             a.op(op::SetVariable);
                             a.getVar("x").push("__proto__").op(op::GetMember).op(op::Trace);
                             a.getVar("x").push("toString").op(op::GetMember).op(op::Trace);
                         },
                         {"undefined", "undefined"}},
                    Rule{"APrimitiveIsLookedAtAsAWrapperItsClassBuilt",
                         6,
                         [](Actions& a) {
                             a.push({42.0, "__proto__"}).op(op::GetMember);
                             a.getVar("Number").push("prototype").op(op::GetMember);
                             a.op(op::StrictEquals).op(op::Trace);
                             a.push({true, "__constructor__"}).op(op::GetMember);
                             a.getVar("Boolean").op(op::StrictEquals).op(op::Trace);
                             a.push({"__constructor__", Int{1}, 42.0, "hasOwnProperty"});
                             a.op(op::CallMethod).op(op::Trace);
                             // Boolean.prototype is no Boolean: it has no value to give.
                             a.getVar("Boolean").push("prototype").op(op::GetMember);
                             a.push({Int{0}}).op(op::StackSwap).push("valueOf");
                             a.op(op::CallMethod).op(op::Trace);
                         },
                         {"true", "true", "true", "undefined"}}),
    ruleName);

TEST(Avm1Robustness, MalformedBytecodeStopsTheScriptOnly) {
    const std::vector<std::vector<std::uint8_t>> bad = {
        {0x96, 0x10, 0x00, 0x00, 'a'},                // push longer than the script
        {0x96, 0x02, 0x00, 0x00, 'a', 0x26, 0x00},    // unterminated string
        {0x99, 0x02},                                 // cut-off jump
        {0x99, 0x02, 0x00, 0x00, 0x80, 0x26, 0x00},   // jump far outside
        {0x9B, 0x05, 0x00, 'f', 0, 0, 0, 0xff, 0xff}, // function body past the end
        {0x8F, 0x07, 0x00, 0x01, 0xff, 0xff, 0xff, 0xff, 0, 0},
        {0x96, 0x02, 0x00, 0x04, 0xff, 0x26, 0x00},       // register 255 at top level
        {0x42, 0x43, 0x3D, 0x52, 0x53, 0x4D, 0x4C, 0x00}, // everything on an empty stack
    };
    for (const auto& code : bad) {
        FakeHost host;
        avm1::Vm vm(host, 7);
        vm.beginFrame();
        vm.runActions(1, code);
        vm.runActions(1, Actions().trace("ok").bytes());
        EXPECT_EQ(host.traces.back(), "ok");
        vm.collectGarbage();
    }
}

TEST(Avm1Robustness, DeeplyNestedBlocksCountAgainstTheLimit) {
    // 2000 with blocks inside each other would nest the interpreter 2000 deep.
    Actions body;
    body.trace("deep");
    for (int i = 0; i < 2000; ++i) {
        Actions outer;
        outer.push(Int{0}).op(op::InitObject).with(body);
        body = outer;
    }
    FakeHost host;
    avm1::Vm vm(host, 7);
    vm.beginFrame();
    vm.runActions(1, body.bytes());
    EXPECT_TRUE(host.traces.empty());
    EXPECT_EQ(host.reports.size(), 1u);
}

TEST(Avm1Robustness, RandomBytecodeNeverCrashes) {
    // Random actions with plausible operands: every program must end (the budget is small),
    // whatever it does, and leave the interpreter usable. Run under the sanitizers too.
    std::mt19937 random(12345);
    const std::vector<std::uint8_t> codes = {
        0x04, 0x05, 0x06, 0x07, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x12, 0x13, 0x14,
        0x15, 0x17, 0x18, 0x1C, 0x1D, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x2A, 0x2B,
        0x2C, 0x30, 0x31, 0x35, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43,
        0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x50, 0x52,
        0x53, 0x54, 0x55, 0x60, 0x63, 0x65, 0x66, 0x67, 0x69, 0x81, 0x83, 0x87, 0x88, 0x8A,
        0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x94, 0x96, 0x99, 0x9A, 0x9B, 0x9D, 0x9E, 0x9F};
    FakeHost host;
    host.addClip(1, "a");
    avm1::Vm vm(host, 7);
    vm.setInstructionBudget(5000);
    for (int program = 0; program < 3000; ++program) {
        std::vector<std::uint8_t> code;
        const int actions = 1 + static_cast<int>(random() % 40);
        for (int k = 0; k < actions; ++k) {
            const std::uint8_t op = codes[random() % codes.size()];
            code.push_back(op);
            if (op >= 0x80) {
                const auto len = static_cast<std::uint16_t>(random() % 12);
                code.push_back(static_cast<std::uint8_t>(len));
                code.push_back(0);
                for (int b = 0; b < len; ++b) {
                    // Small values make registers, counts, pool indices and push types likely.
                    code.push_back(
                        static_cast<std::uint8_t>(random() % 3 ? random() % 10 : random() % 256));
                }
            }
        }
        vm.beginFrame();
        vm.runActions(1, code);
        if (program % 100 == 0) {
            vm.collectGarbage();
        }
    }
    vm.beginFrame();
    vm.runActions(1, Actions().trace("still fine").bytes());
    EXPECT_EQ(host.traces.back(), "still fine");
}

TEST(Avm1Robustness, RunawayGrowthIsStoppedBeforeMemoryRunsOut) {
    FakeHost host;
    avm1::Vm vm(host, 7);
    // s = "x"; while (true) s = s + s;
    Actions strings;
    strings.setVar("s", "x").label("top");
    strings.push("s").getVar("s").getVar("s").op(op::Add2).op(op::SetVariable).jump("top");
    // a = []; a[4000000000] = 1; trace("after");
    Actions arrays;
    arrays.push({"a", Int{0}}).op(op::InitArray).op(op::SetVariable);
    arrays.getVar("a").push({"4000000000", 1.0}).op(op::SetMember).trace("after");
    vm.beginFrame();
    vm.runActions(1, strings.bytes());
    vm.runActions(1, arrays.bytes());
    vm.runActions(1, Actions().push({2e9, Int{1}}).push("Array").op(op::NewObject).bytes());
    vm.runActions(1, Actions().trace("still here").bytes());
    EXPECT_EQ(host.traces, (Lines{"still here"}));
    EXPECT_EQ(host.reports.size(), 3u);
}

TEST(Avm1Builtins, ArraysAndSorting) {
    Actions a;
    a.push({"z", "b", "A", 3.0}).op(op::InitArray).storeRegister(1).op(op::Pop);
    a.push(Int{0}).push(Register{1}).push("sort").op(op::CallMethod).op(op::Trace);
    a.push({1.0, Int{1}}).push(Register{1}).push("sort").op(op::CallMethod).op(op::Trace);
    a.push({3.0, 100.0, 9.0, 10.0, 4.0}).op(op::InitArray).storeRegister(2).op(op::Pop);
    a.push({16.0 + 2.0, Int{1}}).push(Register{2}).push("sort").op(op::CallMethod).op(op::Trace);
    a.push({"y", "x", 2.0, 1.0, Int{4}})
        .push(Register{2})
        .push("splice")
        .op(op::CallMethod)
        .op(op::Trace);
    a.push(Register{2}).op(op::Trace);
    a.push({"-", Int{1}}).push(Register{2}).push("join").op(op::CallMethod).op(op::Trace);
    // sortOn with a numeric field, descending.
    a.push({"n", 2.0, Int{1}})
        .op(op::InitObject)
        .push({"n", 10.0, Int{1}})
        .op(op::InitObject)
        .push({2.0})
        .op(op::InitArray)
        .storeRegister(3)
        .op(op::Pop);
    a.push({18.0, "n", Int{2}}).push(Register{3}).push("sortOn").op(op::CallMethod).op(op::Pop);
    a.push(Register{3}).push(0.0).op(op::GetMember).push("n").op(op::GetMember).op(op::Trace);
    EXPECT_EQ(run(a),
              (Lines{"A,b,z", "A,b,z", "100,10,9,3", "10,9", "100,x,y,3", "100-x-y-3", "10"}));
}

TEST(Avm1Builtins, StringsNumbersAndMath) {
    Actions a;
    auto method = [&](PushValue self, const std::string& name,
                      std::initializer_list<PushValue> args) {
        for (auto it = std::rbegin(args); it != std::rend(args); ++it) {
            a.push(*it);
        }
        a.push(Int{static_cast<int>(args.size())})
            .push(self)
            .push(name)
            .op(op::CallMethod)
            .op(op::Trace);
    };
    method("Hello, World", "indexOf", {"o", 5.0});
    method("Hello, World", "substr", {-5.0, 3.0});
    method("Hello, World", "substring", {5.0, 0.0});
    method("Hello, World", "slice", {-5.0});
    method("a,b,,c", "split", {","});
    method("Hello", "toUpperCase", {});
    method("Hello", "charCodeAt", {1.0});
    method(255.0, "toString", {16.0});
    a.push({105.0, 72.0, Int{2}})
        .getVar("String")
        .push("fromCharCode")
        .op(op::CallMethod)
        .op(op::Trace);
    a.push({-2.5, Int{1}}).getVar("Math").push("round").op(op::CallMethod).op(op::Trace);
    a.push({10.0, 2.0, Int{2}}).getVar("Math").push("pow").op(op::CallMethod).op(op::Trace);
    // An infinite base to a fractional power is NaN; to a whole one it is as usual.
    const double inf = std::numeric_limits<double>::infinity();
    a.push({0.4, inf, Int{2}}).getVar("Math").push("pow").op(op::CallMethod).op(op::Trace);
    a.push({2.0, -inf, Int{2}}).getVar("Math").push("pow").op(op::CallMethod).op(op::Trace);
    a.push({"0x10", Int{1}}).push("parseInt").op(op::CallFunction).op(op::Trace);
    a.push("s")
        .push(Int{1})
        .push("String")
        .op(op::NewObject)
        .push("length")
        .op(op::GetMember)
        .op(op::Trace);
    EXPECT_EQ(run(a), (Lines{"8", "Wor", "Hello", "World", "a,b,,c", "HELLO", "101", "ff", "Hi",
                             "-2", "1024", "NaN", "Infinity", "16", "1"}));
}

TEST(Avm1Builtins, DateUsesTheHostsClockAndZone) {
    FakeHost host;
    host.epoch = 1000.0 * 86400 * 365; // 1971-01-01 00:00 UTC
    host.utcOffset = 120;
    avm1::Vm vm(host, 7);
    Actions a;
    a.push({"d", Int{0}, "Date"}).op(op::NewObject).op(op::SetVariable);
    callMethod(a, "d", "getFullYear", 0).op(op::Trace);
    callMethod(a, "d", "getHours", 0).op(op::Trace);
    callMethod(a, "d", "getUTCHours", 0).op(op::Trace);
    callMethod(a, "d", "getDay", 0).op(op::Trace);
    // Setting local fields: the 31st of the 13th month of 1999 is the last day of January 2000.
    a.push({31.0, 12.0, 1999.0, Int{3}})
        .getVar("d")
        .push("setFullYear")
        .op(op::CallMethod)
        .op(op::Pop);
    a.push({23.0, Int{1}}).getVar("d").push("setHours").op(op::CallMethod).op(op::Pop);
    callMethod(a, "d", "toString", 0).op(op::Trace);
    callMethod(a, "d", "getUTCHours", 0).op(op::Trace);
    vm.beginFrame();
    vm.runActions(1, a.bytes());
    EXPECT_EQ(host.traces,
              (Lines{"1971", "2", "0", "5", "Mon Jan 31 23:00:00 GMT+0200 2000", "21"}));
}

TEST(Avm1Heap, UnreachableObjectsAndCyclesAreFreed) {
    FakeHost host;
    avm1::Vm vm(host, 7);
    vm.collectGarbage();
    const std::size_t base = vm.objectCount();
    Actions a;
    // Two objects pointing at each other, dropped; one kept.
    a.push(Int{0}).op(op::InitObject).storeRegister(1).op(op::Pop);
    a.push(Int{0}).op(op::InitObject).storeRegister(2).op(op::Pop);
    a.push(Register{1}).push("other").push(Register{2}).op(op::SetMember);
    a.push(Register{2}).push("other").push(Register{1}).op(op::SetMember);
    a.push({"kept", Int{0}}).op(op::InitObject).op(op::SetVariable);
    a.push(Undefined{}).storeRegister(1).storeRegister(2).op(op::Pop);
    vm.beginFrame();
    vm.runActions(1, a.bytes());
    vm.collectGarbage();
    EXPECT_EQ(vm.objectCount(), base + 2); // the kept object and the root clip's object

    // An object only the host holds survives until the host lets it go.
    avm1::Object* held = vm.newObject();
    vm.keepAlive(held);
    vm.collectGarbage();
    EXPECT_EQ(vm.objectCount(), base + 3);
    vm.release(held);
    vm.collectGarbage();
    EXPECT_EQ(vm.objectCount(), base + 2);
}

TEST(Avm1Heap, BetweenFramesGarbageWaitsUntilTheHeapHasGrownByHalf) {
    FakeHost host;
    avm1::Vm vm(host, 7);
    vm.collectGarbage();
    const std::size_t live = vm.objectCount();
    const std::size_t growth = std::max<std::size_t>(1000, live / 2);
    for (std::size_t i = 0; i + 1 < growth; ++i) {
        vm.newObject();
    }
    vm.collectWhenGrown();
    EXPECT_EQ(vm.objectCount(), live + growth - 1); // not yet: a walk of every object per frame
    vm.newObject();
    vm.collectWhenGrown();
    EXPECT_EQ(vm.objectCount(), live);
}

} // namespace
} // namespace kinovex::flash::test
