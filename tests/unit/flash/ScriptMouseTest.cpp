// Buttons and the mouse as scripts see them: button script objects and their handlers, clips
// acting as buttons, dragging and _droptarget, sprites inside buttons, timeline moves against
// script moves, and key and mouse listeners.

#include "Button.h"
#include "ScriptClipTestUtil.h"

#include <gtest/gtest.h>

namespace kinovex::flash::test {
namespace {

using swf::Actions;
using swf::Int;
namespace op = swf::op;
namespace look = swf::ButtonLook;
namespace cond = swf::ButtonCond;

// object.name = function () { body }
Actions& setHandler(Actions& a, const std::string& object, const std::string& name,
                    const Actions& body) {
    return a.getVar(object).push(name).defineFunction("", {}, body).op(op::SetMember);
}

// object.method(args...), arguments already pushed last first; the result is dropped.
Actions& callVoid(Actions& a, const std::string& object, const std::string& method, int argc) {
    return a.push(Int{argc}).getVar(object).push(method).op(op::CallMethod).op(op::Pop);
}

// trace("<name> " + this._name)
Actions tracesName(const std::string& event) {
    Actions a;
    a.push(event + " ").getVar("this").push("_name").op(op::GetMember).op(op::Add2).op(op::Trace);
    return a;
}

void placeNamed(swf::Timeline& t, std::uint16_t depth, std::uint16_t character,
                const std::string& name, const swf::Matrix& m = {}) {
    swf::Place p;
    p.depth = depth;
    p.character = character;
    p.name = name;
    p.matrix = m;
    t.place(p);
}

struct Session {
    Player player;
    Lines lines;

    explicit Session(const swf::SwfWriter& movie) {
        player.setTraceSink([this](std::string_view line) { lines.emplace_back(line); });
        loaded = test::load(player, movie).ok;
    }
    // The lines traced since the last call.
    Lines take() { return std::exchange(lines, {}); }
    void click(double x, double y) {
        player.mouseMove({x, y});
        player.mouseDown({x, y});
        player.mouseUp({x, y});
    }
    bool loaded = false;
};

// A 40 x 40 red button at (10, 10) named "btn" whose release list traces, with handlers set
// by the main timeline's first frame.
TEST(ScriptMouse, NamedButtonsHaveScriptObjectsWhoseHandlersFollowThePointer) {
    swf::SwfWriter movie(200, 100, 12, {6, false});
    const auto box = defineRect(movie, 0, 0, 40, 40, 0xff0000);
    const auto button = swf::DefineButton2(
        movie, {{look::Up | look::Over | look::Down | look::Hit, box}},
        {{cond::OverDownToOverUp, 0, swf::Actions().trace("release actions").bytes()}});
    placeNamed(movie, 1, button, "btn", swf::Matrix::translate(10, 10));
    Actions a;
    a.setVar("where", "main timeline");
    for (const char* event : {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut",
                              "onDragOver", "onDragOut"}) {
        setHandler(a, "btn", event, tracesName(event));
    }
    // `this` is the button; the handler's scope is the timeline it was made on.
    Actions scope;
    scope.getVar("this").push("_parent").op(op::GetMember).getVar("_root").op(op::Equals2);
    scope.op(op::Trace).traceVar("where");
    setHandler(a, "btn", "onPress", scope);
    Actions over = tracesName("onRollOver");
    traceMember(over, "this", "_xmouse");
    setHandler(a, "btn", "onRollOver", over);
    a.getVar("btn").op(op::TypeOf).op(op::Trace);
    traceMember(a, "btn", "_name");
    traceMember(a, "btn", "_target");
    traceMember(a, "btn", "_x");
    traceMember(a, "btn", "_width");
    traceMember(a, "btn", "enabled");
    a.push(Int{0}).getVar("btn").push("getDepth").op(op::CallMethod).op(op::Trace);
    a.op(op::Stop);
    doAction(movie, a);
    movie.showFrame();

    Session run(movie);
    ASSERT_TRUE(run.loaded);
    EXPECT_EQ(run.take(), (Lines{"object", "btn", "/btn", "10", "40", "true", "-16383"}));

    run.player.mouseMove({20, 20});
    EXPECT_EQ(run.take(), (Lines{"onRollOver btn", "10"}));
    EXPECT_TRUE(run.player.wantsHandCursor());
    run.player.mouseDown({20, 20});
    EXPECT_EQ(run.take(), (Lines{"true", "main timeline"}));
    run.player.mouseMove({100, 80});
    run.player.mouseMove({25, 25});
    // The button's own action lists run before its script object's handler.
    run.player.mouseUp({25, 25});
    EXPECT_EQ(run.take(),
              (Lines{"onDragOut btn", "onDragOver btn", "release actions", "onRelease btn"}));
    run.player.mouseDown({25, 25});
    run.player.mouseMove({100, 80});
    run.player.mouseUp({100, 80});
    EXPECT_EQ(run.take(),
              (Lines{"true", "main timeline", "onDragOut btn", "onReleaseOutside btn"}));
    run.player.mouseMove({30, 20});
    run.player.mouseMove({100, 80});
    EXPECT_EQ(run.take(), (Lines{"onRollOver btn", "20", "onRollOut btn"}));
}

// enabled, useHandCursor, _visible and _x set from scripts change what the mouse does.
TEST(ScriptMouse, ScriptsDisableHideAndMoveButtons) {
    swf::SwfWriter movie(200, 100, 12, {6, false});
    const auto box = defineRect(movie, 0, 0, 40, 40, 0xff0000);
    const auto button = swf::DefineButton2(movie, {{look::Up | look::Hit, box}});
    placeNamed(movie, 1, button, "btn");
    Actions a;
    setHandler(a, "btn", "onPress", tracesName("press"));
    setMember(a, "btn", "enabled", false);
    a.op(op::Stop);
    doAction(movie, a);
    // Frame 2: enabled again, but without the hand; frame 3: hidden; frame 4: shown, moved.
    Actions second;
    setMember(second, "btn", "enabled", true);
    setMember(second, "btn", "useHandCursor", false);
    second.op(op::Stop);
    Actions third;
    setMember(third, "btn", "_visible", false);
    third.op(op::Stop);
    Actions fourth;
    setMember(fourth, "btn", "_visible", true);
    setMember(fourth, "btn", "_x", Int{100});
    fourth.op(op::Stop);
    movie.showFrame();
    doAction(movie, second);
    movie.showFrame();
    doAction(movie, third);
    movie.showFrame();
    doAction(movie, fourth);
    movie.showFrame();

    Session run(movie);
    ASSERT_TRUE(run.loaded);
    run.click(20, 20);
    EXPECT_FALSE(run.player.wantsHandCursor());
    EXPECT_TRUE(run.take().empty()) << "a disabled button takes no press";

    run.player.gotoFrame(2);
    run.click(21, 21);
    EXPECT_EQ(run.take(), (Lines{"press btn"}));
    EXPECT_FALSE(run.player.wantsHandCursor());

    run.player.gotoFrame(3);
    run.click(22, 22);
    EXPECT_TRUE(run.take().empty()) << "an invisible button takes no press";

    run.player.gotoFrame(4);
    run.click(20, 20);
    EXPECT_TRUE(run.take().empty()) << "the button moved away";
    run.click(120, 20);
    EXPECT_EQ(run.take(), (Lines{"press btn"}));
}

// A clip with onPress takes the mouse as a button: the button inside it gets nothing. Its
// hitArea, when set, is where it can be pressed; its _up/_over/_down frames follow the mouse.
TEST(ScriptMouse, ClipsWithHandlersActAsButtons) {
    swf::SwfWriter movie(200, 100, 12, {6, false});
    const auto box = defineRect(movie, 0, 0, 40, 40, 0x00ff00);
    const auto inner = swf::DefineButton2(
        movie, {{look::Up | look::Hit, box}},
        {{cond::OverUpToOverDown, 0, swf::Actions().trace("inner button").bytes()}});
    swf::Sprite clip;
    clip.frameLabel("_up");
    clip.place(1, inner);
    doAction(clip, Actions().op(op::Stop));
    clip.showFrame();
    clip.frameLabel("_over");
    clip.showFrame();
    clip.frameLabel("_down");
    clip.showFrame();
    const auto clipId = movie.defineSprite(clip);
    swf::Sprite areaSprite;
    areaSprite.place(1, box);
    areaSprite.showFrame();
    const auto areaId = movie.defineSprite(areaSprite);
    placeNamed(movie, 1, clipId, "mc");
    placeNamed(movie, 2, areaId, "area", swf::Matrix::translate(100, 0));

    Actions a;
    setHandler(a, "mc", "onPress", tracesName("press"));
    Actions release = tracesName("release");
    traceMember(release, "this", "_currentframe");
    setHandler(a, "mc", "onRelease", release);
    Actions over = tracesName("over");
    traceMember(over, "this", "_currentframe");
    setHandler(a, "mc", "onRollOver", over);
    a.op(op::Stop);
    doAction(movie, a);
    movie.showFrame();
    Actions second;
    second.getVar("mc").push("hitArea").getVar("area").op(op::SetMember);
    setMember(second, "mc", "useHandCursor", false);
    movie.rawTag(12, second.bytes());
    movie.showFrame();
    Actions third;
    setMember(third, "mc", "enabled", false);
    doAction(movie, third);
    movie.showFrame();

    Session run(movie);
    ASSERT_TRUE(run.loaded);
    run.player.mouseMove({20, 20});
    EXPECT_TRUE(run.player.wantsHandCursor());
    run.player.mouseDown({20, 20});
    run.player.mouseUp({20, 20});
    EXPECT_EQ(run.take(), (Lines{"over mc", "2", "press mc", "release mc", "2"}));

    run.player.mouseMove({150, 80}); // off both
    run.player.gotoFrame(2);         // hitArea = area
    run.take();
    run.click(20, 20);
    EXPECT_TRUE(run.take().empty()) << "its own drawing is no longer its hit area";
    run.click(120, 20);
    EXPECT_EQ(run.take(), (Lines{"over mc", "2", "press mc", "release mc", "2"}));
    EXPECT_FALSE(run.player.wantsHandCursor());

    run.player.mouseMove({150, 80});
    run.player.gotoFrame(3); // enabled = false
    run.take();
    run.click(120, 20);
    run.click(20, 20);
    EXPECT_EQ(run.take(), (Lines{"inner button"})) << "a disabled clip is no button";
}

// on (press), on (release) and on (keyPress "<Left>") written on a clip's placement: the clip
// is a button whose actions run in its own scope, and the button inside it gets nothing.
TEST(ScriptMouse, OnActionsWrittenOnAClipMakeItAButton) {
    swf::SwfWriter movie(200, 100, 12, {6, false});
    const auto box = defineRect(movie, 0, 0, 40, 40, 0x00ff00);
    const auto inner = swf::DefineButton2(
        movie, {{look::Up | look::Hit, box}},
        {{cond::OverUpToOverDown, 0, swf::Actions().trace("inner button").bytes()}});
    swf::Sprite clip;
    clip.place(1, inner);
    clip.showFrame();
    const auto clipId = movie.defineSprite(clip);
    Actions pressed;
    pressed.getVar("_name").push(" pressed").op(op::Add2).op(op::Trace);
    Actions left;
    left.rawBytes({1}); // the key: <Left>
    left.trace("left");
    using F = std::uint32_t;
    placeWithEvents(movie, 1, clipId, "mc",
                    {{F{ClipEventPress}, pressed},
                     {F{ClipEventRelease}, traceText("released")},
                     {F{ClipEventKeyPress}, left}});
    doAction(movie, Actions().op(op::Stop));
    movie.showFrame();

    Session run(movie);
    ASSERT_TRUE(run.loaded);
    run.player.mouseMove({20, 20});
    EXPECT_TRUE(run.player.wantsHandCursor());
    run.player.mouseDown({20, 20});
    run.player.mouseUp({20, 20});
    EXPECT_EQ(run.take(), (Lines{"mc pressed", "released"}));
    run.player.keyDown(37, 0);
    run.player.keyDown(39, 0);
    EXPECT_EQ(run.take(), (Lines{"left"}));
}

// One clip dragged over others: _droptarget names the topmost clip under the pointer, and
// stays after the drag; a locked centre and a bounds rectangle hold from the start.
TEST(ScriptMouse, DraggedClipsReportWhereTheyWereDropped) {
    swf::SwfWriter movie(200, 100, 12, {6, false});
    const auto small = defineRect(movie, -5, -5, 10, 10, 0x0000ff);
    const auto big = defineRect(movie, 0, 0, 50, 50, 0xff0000);
    swf::Sprite bigSprite;
    bigSprite.place(1, big);
    bigSprite.showFrame();
    const auto bigId = movie.defineSprite(bigSprite);
    swf::Sprite holder;
    placeNamed(holder, 1, bigId, "inner", swf::Matrix::translate(0, 0));
    holder.showFrame();
    const auto holderId = movie.defineSprite(holder);
    swf::Sprite smallSprite;
    smallSprite.place(1, small);
    smallSprite.showFrame();
    const auto smallId = movie.defineSprite(smallSprite);
    movie.place(1, big, swf::Matrix::translate(150, 0)); // the main timeline's own drawing
    placeNamed(movie, 2, bigId, "left");
    placeNamed(movie, 3, holderId, "holder", swf::Matrix::translate(60, 0));
    placeNamed(movie, 4, smallId, "drag", swf::Matrix::translate(5, 80));

    Actions a;
    a.push({true, Int{1}}); // drag(lockCentre)
    callVoid(a, "drag", "startDrag", 1);
    a.op(op::Stop);
    Actions report;
    traceMember(report, "drag", "_droptarget");
    report.push("_x").getVar("drag").push("_x").op(op::GetMember).op(op::Add2).op(op::Trace);
    setHandler(a, "_root", "onMouseUp", report);
    doAction(movie, a);
    movie.showFrame();

    Session run(movie);
    ASSERT_TRUE(run.loaded);
    run.player.mouseUp({20, 20});
    EXPECT_EQ(run.take(), (Lines{"/left", "_x20"}));
    run.player.mouseUp({70, 20});
    EXPECT_EQ(run.take(), (Lines{"/holder/inner", "_x70"}));
    run.player.mouseUp({160, 20});
    EXPECT_EQ(run.take(), (Lines{"", "_x160"})) << "the background is no clip";
    run.player.mouseUp({100, 90});
    EXPECT_EQ(run.take(), (Lines{"", "_x100"}));
}

TEST(ScriptMouse, DragBoundsHoldAtOnceAndTheDropTargetOutlivesTheDrag) {
    swf::SwfWriter movie(200, 100, 12, {6, false});
    const auto small = defineRect(movie, -5, -5, 10, 10, 0x0000ff);
    const auto big = defineRect(movie, 0, 0, 50, 50, 0xff0000);
    swf::Sprite bigSprite;
    bigSprite.place(1, big);
    bigSprite.showFrame();
    const auto bigId = movie.defineSprite(bigSprite);
    swf::Sprite smallSprite;
    smallSprite.place(1, small);
    smallSprite.showFrame();
    const auto smallId = movie.defineSprite(smallSprite);
    placeNamed(movie, 1, bigId, "target");
    placeNamed(movie, 2, smallId, "drag", swf::Matrix::translate(5, 80));

    Actions a;
    // startDrag("drag", true, 10, 20, 30, 40): locked to the pointer, kept in x 10..30,
    // y 20..40, from the moment it starts.
    Actions press;
    press.push({Int{10}, Int{20}, Int{30}, Int{40}, true, true, "drag"}).op(op::StartDrag);
    press.push("down ").getVar("drag").push("_x").op(op::GetMember).op(op::Add2);
    press.push(",").op(op::Add2).getVar("drag").push("_y").op(op::GetMember).op(op::Add2);
    press.op(op::Trace);
    setHandler(a, "_root", "onMouseDown", press);
    Actions release;
    release.op(op::EndDrag);
    traceMember(release, "drag", "_droptarget");
    setHandler(a, "_root", "onMouseUp", release);
    Actions key;
    traceMember(key, "drag", "_droptarget");
    traceMember(key, "drag", "_x");
    setHandler(a, "_root", "onKeyDown", key);
    a.getVar("_root").push(Int{1}).getVar("Key").push("addListener").op(op::CallMethod);
    a.op(op::Pop).op(op::Stop);
    doAction(movie, a);
    movie.showFrame();

    Session run(movie);
    ASSERT_TRUE(run.loaded);
    run.player.mouseDown({190, 90});
    EXPECT_EQ(run.take(), (Lines{"down 30,40"}));
    run.player.mouseMove({12, 30});
    run.player.mouseMove({150, 90}); // clamped to (30, 40): still over the target
    run.player.mouseUp({150, 90});
    EXPECT_EQ(run.take(), (Lines{"/target"}));
    run.player.mouseMove({190, 10});
    run.player.keyDown(65, 'a');
    EXPECT_EQ(run.take(), (Lines{"/target", "30"})) << "neither moves once the drag is over";
}

// The over look is a two-frame sprite whose frames trace: it plays and loops while shown, and
// its scripts see the button as their parent.
TEST(ScriptMouse, SpritesInAButtonsLooksPlayAndRunTheirScripts) {
    swf::SwfWriter movie(100, 100, 12, {6, false});
    const auto box = defineRect(movie, 0, 0, 40, 40, 0xff0000);
    swf::Sprite glow;
    glow.place(1, box);
    Actions first = tracesName("glow 1");
    traceMember(first, "_parent", "_name");
    doAction(glow, first);
    glow.showFrame();
    doAction(glow, traceText("glow 2"));
    glow.showFrame();
    const auto glowId = movie.defineSprite(glow);
    const auto button =
        swf::DefineButton2(movie, {{look::Up | look::Hit, box}, {look::Over, glowId, 2}});
    placeNamed(movie, 1, button, "btn");
    movie.showFrame();
    movie.showFrame();

    Session run(movie);
    ASSERT_TRUE(run.loaded);
    run.player.nextFrame();
    EXPECT_TRUE(run.take().empty()) << "the over look is not shown yet";
    run.player.mouseMove({20, 20});
    EXPECT_EQ(run.take(), (Lines{"glow 1 instance1", "btn"}));
    run.player.nextFrame();
    run.player.nextFrame();
    EXPECT_EQ(run.take(), (Lines{"glow 2", "glow 1 instance1", "btn"}));
    run.player.mouseMove({80, 80});
    run.player.nextFrame();
    EXPECT_TRUE(run.take().empty()) << "gone with the look";
}

// depth 1: "a", moved by the timeline on every frame; depth 2: "b", swapped to depth 3 by a
// script, where the timeline later moves "c"; a clip made by a script at depth 4, where the
// timeline moves nothing it placed. A move naming another sprite leaves "a" the clip it was,
// still where its script put it.
TEST(ScriptMouse, TimelineMovesLeaveWhatScriptsMoved) {
    swf::SwfWriter movie(200, 100, 12, {6, false});
    const auto box = defineRect(movie, 0, 0, 10, 10, 0xff0000);
    swf::Sprite s;
    s.place(1, box);
    s.showFrame();
    const auto spriteId = movie.defineSprite(s);
    swf::Sprite other;
    other.place(1, box);
    other.showFrame();
    const auto otherId = movie.defineSprite(other);
    auto moveTo = [&](std::uint16_t depth, double x) {
        swf::Place p;
        p.depth = depth;
        p.move = true;
        p.matrix = swf::Matrix::translate(x, 0);
        movie.place(p);
    };
    auto traceX = [](Actions& a, const std::string& name) {
        a.push(name + " ").getVar(name).push("_x").op(op::GetMember).op(op::Add2).op(op::Trace);
    };

    placeNamed(movie, 1, spriteId, "a");
    placeNamed(movie, 2, spriteId, "b");
    placeNamed(movie, 3, spriteId, "c");
    Actions f1;
    f1.push({Int{-16380}, "d"}).push(Int{2});
    f1.getVar("this").push("createEmptyMovieClip").op(op::CallMethod).op(op::Pop);
    doAction(movie, f1);
    movie.showFrame();
    moveTo(1, 10);
    moveTo(4, 70);
    Actions f2;
    traceX(f2, "a");
    setMember(f2, "a", "_x", Int{100});
    f2.getVar("c").push(Int{1}).getVar("b").push("swapDepths").op(op::CallMethod).op(op::Pop);
    traceX(f2, "d");
    doAction(movie, f2);
    movie.showFrame();
    moveTo(1, 20);
    moveTo(2, 50); // now "c" stands there
    moveTo(3, 60); // now "b"
    Actions f3;
    traceX(f3, "a");
    traceX(f3, "b");
    traceX(f3, "c");
    doAction(movie, f3);
    movie.showFrame();
    swf::Place replace;
    replace.depth = 1;
    replace.move = true;
    replace.character = otherId;
    replace.name = "a";
    replace.matrix = swf::Matrix::translate(30, 0);
    movie.place(replace);
    Actions f4;
    traceX(f4, "a");
    f4.op(op::Stop);
    doAction(movie, f4);
    movie.showFrame();

    EXPECT_EQ(traceFrames(movie, 4), (Lines{"a 10", "d 0", "a 100", "b 0", "c 0", "a 100"}));
}

// Key and mouse events reach clip events first, newest clip first, then the listeners, with
// Key.getCode, Key.getAscii and Key.isDown telling about the key.
TEST(ScriptMouse, KeyAndMouseListenersHearEventsAfterClipEvents) {
    swf::SwfWriter movie(100, 100, 12, {6, false});
    swf::Sprite empty;
    empty.showFrame();
    const auto emptyId = movie.defineSprite(empty);
    Actions keyState;
    keyState.push("code ").push(Int{0}).getVar("Key").push("getCode").op(op::CallMethod);
    keyState.op(op::Add2).push(" ascii ").op(op::Add2);
    keyState.push(Int{0}).getVar("Key").push("getAscii").op(op::CallMethod).op(op::Add2);
    keyState.push(" down ").op(op::Add2);
    keyState.push({Int{65}, Int{1}}).getVar("Key").push("isDown").op(op::CallMethod);
    keyState.op(op::Add2).op(op::Trace);
    using F = std::uint32_t;
    placeWithEvents(movie, 1, emptyId, "first",
                    {{F{ClipEventKeyDown}, traceText("first keyDown")},
                     {F{ClipEventMouseDown}, traceText("first mouseDown")},
                     {F{ClipEventMouseUp}, traceText("first mouseUp")}});
    placeWithEvents(movie, 2, emptyId, "second",
                    {{F{ClipEventKeyDown}, traceText("second keyDown")},
                     {F{ClipEventKeyUp}, traceText("second keyUp")},
                     {F{ClipEventMouseMove}, traceText("second mouseMove")}});
    Actions a;
    a.push("listener").push(Int{0}).op(op::InitObject).op(op::SetVariable);
    Actions onKeyDown = traceText("listener onKeyDown");
    onKeyDown.rawBytes(keyState.bytes(false));
    setHandler(a, "listener", "onKeyDown", onKeyDown);
    Actions onKeyUp = traceText("listener onKeyUp");
    onKeyUp.rawBytes(keyState.bytes(false));
    setHandler(a, "listener", "onKeyUp", onKeyUp);
    for (const char* event : {"onMouseDown", "onMouseUp", "onMouseMove"}) {
        setHandler(a, "listener", event, traceText(std::string("listener ") + event));
    }
    a.getVar("listener").push(Int{1}).getVar("Key").push("addListener").op(op::CallMethod);
    a.op(op::Pop);
    a.getVar("listener").push(Int{1}).getVar("Mouse").push("addListener").op(op::CallMethod);
    a.op(op::Pop).op(op::Stop);
    doAction(movie, a);
    movie.showFrame();

    Session run(movie);
    ASSERT_TRUE(run.loaded);
    run.take();
    run.player.keyDown(65, 'a');
    EXPECT_EQ(run.take(), (Lines{"second keyDown", "first keyDown", "listener onKeyDown",
                                 "code 65 ascii 97 down true"}));
    run.player.keyUp(65, 'a');
    EXPECT_EQ(run.take(),
              (Lines{"second keyUp", "listener onKeyUp", "code 65 ascii 97 down false"}));
    run.player.mouseMove({5, 5});
    run.player.mouseDown({5, 5});
    run.player.mouseUp({5, 5});
    EXPECT_EQ(run.take(), (Lines{"second mouseMove", "listener onMouseMove", "first mouseDown",
                                 "listener onMouseDown", "first mouseUp", "listener onMouseUp"}));
}

} // namespace
} // namespace kinovex::flash::test
