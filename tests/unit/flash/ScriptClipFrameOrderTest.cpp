// Scripts run by the player in the order Flash runs them: frame actions, init actions, clip
// events, jumps made by scripts, intervals, and a runaway script.

#include "ScriptClipTestUtil.h"

#include <gtest/gtest.h>

#include <limits>

namespace kinovex::flash::test {
namespace {

using swf::Actions;
using swf::Int;
namespace op = swf::op;

// name = function () { body }
Actions& setFunction(Actions& a, const std::string& name, const Actions& body) {
    a.push(name).defineFunction("", {}, body).op(op::SetVariable);
    return a;
}

// trace(prefix + variable)
Actions traceJoined(const std::string& prefix, const std::string& variable) {
    Actions a;
    a.push(prefix).getVar(variable).op(op::Add2).op(op::Trace);
    return a;
}

swf::Sprite spriteTracing(const std::vector<std::string>& perFrame) {
    swf::Sprite s;
    for (const std::string& text : perFrame) {
        if (!text.empty()) {
            doAction(s, traceText(text));
        }
        s.showFrame();
    }
    return s;
}

TEST(ScriptClipFrameOrder, EnterFrameRunsBeforeTheFrameItsClipMovedTo) {
    swf::SwfWriter movie(100, 100, 12);
    Actions first = traceText("f1");
    setFunction(first, "onEnterFrame", traceJoined("enter ", "_currentframe"));
    doAction(movie, first);
    movie.showFrame();
    doAction(movie, traceText("f2"));
    movie.showFrame();
    Actions third = traceText("f3");
    third.op(op::Stop);
    doAction(movie, third);
    movie.showFrame();

    // A stopped timeline still gets its enterFrame.
    EXPECT_EQ(traceFrames(movie, 4), (Lines{"f1", "enter 2", "f2", "enter 3", "f3", "enter 3"}));
}

TEST(ScriptClipFrameOrder, ChildrenLoadAtPlacementAndRunBeforeTheirParentLater) {
    swf::SwfWriter movie(100, 100, 12);
    const auto child = movie.defineSprite(spriteTracing({"child1", "child2"}));
    doAction(movie, traceText("root1"));
    placeWithEvents(movie, 1, child, "kid",
                    {{ClipEventLoad, traceText("load")}, {ClipEventEnterFrame, traceText("ef")}});
    movie.showFrame();
    doAction(movie, traceText("root2"));
    movie.showFrame();

    // Frame 1: the child is made where it is placed, after the root's action was queued. On
    // later frames the child (newer) moves before the root; the root's loop keeps the child.
    EXPECT_EQ(traceFrames(movie, 3),
              (Lines{"root1", "load", "child1", "ef", "child2", "root2", "ef", "child1", "root1"}));
}

TEST(ScriptClipFrameOrder, NewestClipsMoveFirstAndUnloadRunsWhenTheTimelineRemoves) {
    swf::SwfWriter movie(100, 100, 12);
    const auto a = movie.defineSprite(spriteTracing({"a1", "a2"}));
    const auto b = movie.defineSprite(spriteTracing({"b1", "b2"}));
    placeWithEvents(movie, 1, a, "a", {{ClipEventUnload, traceText("a unload")}});
    placeWithEvents(movie, 2, b, "b", {});
    movie.showFrame();
    movie.showFrame();
    movie.remove(1);
    movie.showFrame();
    Actions stop;
    stop.op(op::Stop);
    doAction(movie, stop);
    movie.showFrame();

    EXPECT_EQ(traceFrames(movie, 4), (Lines{"a1", "b1", "b2", "a2", "b1", "a unload", "b2"}));
}

// trace(label + " " + this)
Actions traceThis(const std::string& label) {
    Actions a;
    a.push(label + " ").getVar("this").op(op::Add2).op(op::Trace);
    return a;
}

// One clip replaces another at depth 1 on frame 2 (removed first, so placed anew). A new clip's
// initialize actions run ahead of what its frame queued before (the old clip's unload), its load
// after; the unload handler still sees its clip's path. A script that closes the player on frame
// 3 ends everything: the root would loop otherwise.
TEST(ScriptClipFrameOrder, InitializeRunsFirstUnloadSeesItsPathAndQuitEndsThePlay) {
    swf::SwfWriter movie(100, 100, 12, {7, false});
    const auto kid = movie.defineSprite(spriteTracing({""}));
    const std::vector<std::pair<std::uint32_t, Actions>> events = {
        {ClipEventInitialize, traceThis("init")},
        {ClipEventLoad, traceThis("load")},
        {ClipEventUnload, traceThis("unload")}};
    placeWithEvents(movie, 1, kid, "", events);
    movie.showFrame();
    movie.remove(1);
    placeWithEvents(movie, 1, kid, "", events);
    movie.showFrame();
    Actions quit;
    quit.getUrl("FSCommand:quit", "");
    doAction(movie, quit.trace("after quit, this frame"));
    movie.showFrame();

    EXPECT_EQ(traceFrames(movie, 6), (Lines{"init _level0.instance1", "load _level0.instance1",
                                            "init _level0.instance2", "unload _level0.instance1",
                                            "load _level0.instance2", "after quit, this frame"}));
}

// A placed symbol with a registered class runs its initialize actions as a plain clip, then its
// construct actions as an instance of the class, then the class constructor.
TEST(ScriptClipFrameOrder, ClassedClipsInitializeThenConstructThenRunTheirConstructor) {
    swf::SwfWriter movie(100, 100, 12, {7, false});
    const auto sym = movie.defineSprite(spriteTracing({""}));
    exportAsset(movie, sym, "sym");
    Actions init;
    setFunction(init, "Foo", traceText("ctor"));
    member(init, "Foo", "prototype").push("hi").defineFunction("", {}, traceText("hi"));
    init.op(op::SetMember);
    init.getVar("Foo").push("sym");
    init.push(Int{2}).getVar("Object").push("registerClass").op(op::CallMethod).op(op::Pop);
    initAction(movie, sym, init);
    const auto typeOfHi = [](const std::string& label) {
        Actions a;
        a.push(label + " ");
        member(a, "this", "hi").op(op::TypeOf).op(op::Add2).op(op::Trace);
        return a;
    };
    placeWithEvents(
        movie, 1, sym, "s",
        {{ClipEventInitialize, typeOfHi("init")}, {ClipEventConstruct, typeOfHi("construct")}});
    movie.showFrame();

    EXPECT_EQ(traceFrames(movie, 1), (Lines{"init undefined", "construct function", "ctor"}));
}

// Frame numbers a script computes, however large, small or odd, land on a frame of the
// timeline at once, through gotoAndStop and GotoFrame2 alike.
TEST(ScriptClipFrameOrder, GotosToAnyComputedFrameLandOnTheTimeline) {
    const std::vector<std::pair<swf::PushValue, std::string>> cases = {
        {1e20, "3"},   {-5.0, "1"}, {4294967296.0, "3"},
        {"1e20", "3"}, {"2", "2"},  {std::numeric_limits<double>::infinity(), "3"}};
    Actions a;
    // Going back to frame 1 runs this script again: once is enough.
    a.getVar("done").ifTrue("end").setVar("done", true);
    for (const auto& c : cases) {
        const swf::PushValue& frame = c.first;
        a.push(frame).push(Int{1}).getVar("this").push("gotoAndStop").op(op::CallMethod);
        a.op(op::Pop).getVar("_currentframe").op(op::Trace);
        a.push(frame).gotoFrame2(false).getVar("_currentframe").op(op::Trace);
    }
    // Call runs no frame past the end, however far.
    a.push("1e20").raw(op::CallFrame, {}).push(4294967296.0).raw(op::CallFrame, {});
    a.label("end");
    swf::SwfWriter movie(100, 100, 12);
    doAction(movie, a);
    movie.showFrame();
    movie.showFrame();
    movie.showFrame();

    Lines expected;
    for (const auto& c : cases) {
        expected.insert(expected.end(), {c.second, c.second});
    }
    EXPECT_EQ(traceFrames(movie, 1), expected);
}

TEST(ScriptClipFrameOrder, AHandlerOnTheClipPrototypeReachesClipsNoScriptTouched) {
    swf::SwfWriter movie(100, 100, 12);
    swf::Sprite quiet;
    quiet.showFrame();
    const auto kid = movie.defineSprite(quiet);
    swf::Place p;
    p.depth = 1;
    p.character = kid;
    p.name = "kid";
    movie.place(p);
    Actions a;
    a.getVar("MovieClip").push("prototype").op(op::GetMember).push("onEnterFrame");
    Actions body;
    body.push("proto ").getVar("this").push("_name").op(op::GetMember).op(op::Add2);
    a.defineFunction("", {}, body.op(op::Trace)).op(op::SetMember);
    a.op(op::Stop);
    doAction(movie, a);
    movie.showFrame();

    EXPECT_EQ(traceFrames(movie, 2), (Lines{"proto kid", "proto "}));
}

TEST(ScriptClipFrameOrder, InitActionsRunOnceBeforeFrameActions) {
    swf::SwfWriter movie(100, 100, 12);
    const auto s = movie.defineSprite(spriteTracing({"s"}));
    doAction(movie, traceText("frame"));
    initAction(movie, s, traceText("init"));
    movie.place(1, s);
    movie.showFrame();
    movie.showFrame();

    // The root loops back to frame 1 on the third frame: its frame action runs again, the init
    // action does not, and the sprite placed on frame 1 stays.
    EXPECT_EQ(traceFrames(movie, 3), (Lines{"init", "frame", "s", "frame"}));
}

TEST(ScriptClipFrameOrder, JumpsFromScriptsRunTheFrameLandedOn) {
    swf::SwfWriter movie(100, 100, 12);
    Actions first = traceText("1");
    first.push("count").push(Int{0}).op(op::SetVariable);
    first.gotoFrame(2).trace("after goto");
    doAction(movie, first);
    movie.showFrame();
    doAction(movie, traceText("2"));
    movie.showFrame();
    // Frame 3 goes back to frame 2 and plays on, twice.
    Actions third = traceText("3");
    third.getVar("count").push(Int{2}).op(op::Less2).op(op::Not).ifTrue("done");
    third.push("count").getVar("count").op(op::Increment).op(op::SetVariable);
    third.push(Int{2}).gotoFrame2(true);
    third.label("done");
    doAction(movie, third);
    movie.showFrame();
    doAction(movie, traceText("4"));
    movie.showFrame();

    // gotoAndStop(3) on frame 1 runs frame 3's action (not frame 2's) after the rest of frame
    // 1's; frame 3 then sends the movie to frame 2 and plays from there.
    EXPECT_EQ(traceFrames(movie, 4), (Lines{"1", "after goto", "3", "2", "3", "2", "3", "4"}));
}

TEST(ScriptClipFrameOrder, NumbersAndUndefinedPrintAsTheMovieVersionSays) {
    for (const int version : {6, 7}) {
        swf::SwfWriter movie(100, 100, 12,
                             swf::MovieOptions{static_cast<std::uint8_t>(version), false});
        Actions a;
        a.push(0.1).push(0.2).op(op::Add2).op(op::Trace);
        a.push(1e21).op(op::Trace);
        a.push("v").getVar("missing").op(op::Add2).op(op::Trace);
        a.getVar("missing").op(op::Trace);
        doAction(movie, a);
        movie.showFrame();
        const Lines expected = version == 6 ? Lines{"0.3", "1e+21", "v", "undefined"}
                                            : Lines{"0.3", "1e+21", "vundefined", "undefined"};
        EXPECT_EQ(traceFrames(movie, 1), expected) << "version " << version;
    }
}

TEST(ScriptClipFrameOrder, IntervalsAndGetTimerFollowTheFrames) {
    swf::SwfWriter movie(100, 100, 10);
    Actions tick;
    tick.push("tick ").op(op::GetTime).op(op::Add2).op(op::Trace);
    Actions a;
    a.push("start ").op(op::GetTime).op(op::Add2).op(op::Trace);
    a.push(Int{250}).defineFunction("", {}, tick).push(Int{2}).push("setInterval");
    a.op(op::CallFunction).op(op::Pop);
    a.op(op::Stop);
    doAction(movie, a);
    movie.showFrame();
    movie.showFrame();

    // At 10 frames a second frame n starts at (n - 1) * 100 ms; the interval is due at 250
    // and 500 ms and fires at the first frame from then on.
    EXPECT_EQ(traceFrames(movie, 6), (Lines{"start 0", "tick 300", "tick 500"}));
}

TEST(ScriptClipFrameOrder, ARunawayScriptIsStoppedReportedOnceAndPlaybackGoesOn) {
    swf::SwfWriter movie(100, 100, 12);
    Actions loop;
    loop.trace("looping").label("top").jump("top");
    doAction(movie, loop);
    doAction(movie, traceText("skipped"));
    movie.showFrame();
    doAction(movie, traceText("alive"));
    movie.showFrame();

    Player player;
    player.setScriptInstructionBudget(100000);
    const Lines lines = traceFrames(movie, 4, &player);
    // The rest of a stopped frame's scripts are skipped; the next frame starts afresh.
    EXPECT_EQ(lines, (Lines{"looping", "alive", "looping", "alive"}));
    int reports = 0;
    for (const Diagnostic& d : player.diagnostics()) {
        reports += d.message.find("stopped") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(reports, 1);
}

} // namespace
} // namespace kinovex::flash::test
