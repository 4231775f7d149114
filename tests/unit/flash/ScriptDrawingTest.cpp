// What scripts draw into clips (the drawing methods), clips masking clips (setMask) and text
// fields made by scripts (createTextField): what scripts read back and what the frame shows.

#include "ScriptClipTestUtil.h"

#include <gtest/gtest.h>

namespace kinovex::flash::test {
namespace {

using swf::Actions;
using swf::Int;
using swf::PushValue;
namespace op = swf::op;

// Pushes target.method(args...).
Actions& call(Actions& a, const std::string& target, const std::string& method,
              const std::vector<PushValue>& args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        a.push(*it);
    }
    return a.push(Int{static_cast<int>(args.size())})
        .getVar(target)
        .push(method)
        .op(op::CallMethod);
}

// target.method(args...), its result dropped.
Actions& run(Actions& a, const std::string& target, const std::string& method,
             const std::vector<PushValue>& args = {}) {
    return call(a, target, method, args).op(op::Pop);
}

// Draws a filled rectangle with the drawing methods, outline given as four corners.
Actions& rect(Actions& a, const std::string& clip, double x, double y, double w, double h,
              double color) {
    run(a, clip, "beginFill", {color, 100.0});
    run(a, clip, "moveTo", {x, y});
    run(a, clip, "lineTo", {x + w, y});
    run(a, clip, "lineTo", {x + w, y + h});
    run(a, clip, "lineTo", {x, y + h});
    return run(a, clip, "endFill");
}

// name = this.createEmptyMovieClip(name, depth)
Actions& emptyClip(Actions& a, const std::string& name, int depth) {
    a.push(name);
    call(a, "this", "createEmptyMovieClip", {name, Int{depth}});
    return a.op(op::SetVariable);
}

// trace of bounds: "xMin yMin xMax yMax" of clip.getBounds(clip).
Actions& traceBounds(Actions& a, const std::string& clip) {
    a.push("b");
    call(a, clip, "getBounds", {PushValue{}});
    a.op(op::SetVariable);
    a.getVar("b").push("xMin").op(op::GetMember);
    for (const char* edge : {"yMin", "xMax", "yMax"}) {
        a.push(" ").op(op::Add2).getVar("b").push(edge).op(op::GetMember).op(op::Add2);
    }
    return a.op(op::Trace);
}

Lines runScript(const Actions& a, int frames = 1) {
    swf::SwfWriter movie(200, 200, 12);
    doAction(movie, a);
    movie.showFrame();
    return traceFrames(movie, frames);
}

Frame drawScript(const Actions& a, int frames = 1) {
    swf::SwfWriter movie(200, 200, 12);
    movie.setBackground(swf::Rgb(0xFFFFFF));
    Actions all = a;
    all.op(op::Stop);
    doAction(movie, all);
    movie.showFrame();
    Player player;
    EXPECT_TRUE(load(player, movie).ok);
    for (int i = 1; i < frames; ++i) {
        player.nextFrame();
    }
    return render(player);
}

TEST(ScriptDrawing, DrawnShapesCountInSizeBoundsAndHitTest) {
    Actions a;
    emptyClip(a, "box", 1);
    rect(a, "box", 10, 20, 100, 50, 0xFF0000);
    traceMember(a, "box", "_width");
    traceMember(a, "box", "_height");
    traceBounds(a, "box");
    call(a, "box", "hitTest", {50.0, 40.0, true}).op(op::Trace);
    call(a, "box", "hitTest", {150.0, 40.0, true}).op(op::Trace);
    // A line adds half its width on every side.
    run(a, "box", "lineStyle", {10.0, 0.0, 100.0});
    run(a, "box", "moveTo", {0.0, 0.0});
    run(a, "box", "lineTo", {0.0, 100.0});
    traceBounds(a, "box");
    // A curve counts where it goes, not where its control point is.
    emptyClip(a, "arc", 2);
    run(a, "arc", "beginFill", {255.0});
    run(a, "arc", "moveTo", {0.0, 0.0});
    run(a, "arc", "curveTo", {50.0, 100.0, 100.0, 0.0});
    run(a, "arc", "endFill");
    traceBounds(a, "arc");
    // With shapeFlag only the drawn area counts: the curve's box holds points it does not.
    call(a, "arc", "hitTest", {50.0, 20.0, true}).op(op::Trace);
    call(a, "arc", "hitTest", {5.0, 40.0, true}).op(op::Trace);
    call(a, "arc", "hitTest", {5.0, 40.0, false}).op(op::Trace);
    // A duplicate has a drawing of its own, the same as its source's when it was made.
    a.push("copy");
    call(a, "arc", "duplicateMovieClip", {"copy", Int{9}});
    a.op(op::SetVariable);
    run(a, "arc", "clear");
    traceMember(a, "copy", "_width");
    traceMember(a, "arc", "_width");
    rect(a, "arc", 0, 0, 10, 10, 0);
    traceMember(a, "copy", "_width");
    // Moving, on its own, draws nothing; clearing takes everything away.
    emptyClip(a, "moved", 3);
    run(a, "moved", "moveTo", {300.0, 300.0});
    run(a, "moved", "lineTo", {400.0, 400.0});
    traceMember(a, "moved", "_width");
    run(a, "box", "clear");
    traceMember(a, "box", "_width");
    call(a, "box", "hitTest", {50.0, 40.0, true}).op(op::Trace);
    EXPECT_EQ(runScript(a),
              (Lines{"100", "50", "10 20 110 70", "true", "false", "-5 -5 110 105", "0 0 100 50",
                     "true", "false", "true", "100", "0", "100", "0", "0", "false"}));
}

TEST(ScriptDrawing, FillsShowWhereDrawnBeneathChildrenAndCloseThemselves) {
    Actions a;
    // On the main timeline itself.
    rect(a, "this", 10, 10, 40, 40, 0xFF0000);
    // A clip whose child covers part of its drawing.
    emptyClip(a, "holder", 1);
    rect(a, "holder", 100, 10, 60, 40, 0x0000FF);
    a.push("child");
    call(a, "holder", "createEmptyMovieClip", {"child", Int{1}});
    a.op(op::SetVariable);
    rect(a, "child", 130, 10, 30, 40, 0x00FF00);
    // A triangle left open: shown closed.
    emptyClip(a, "tri", 2);
    run(a, "tri", "beginFill", {0.0, 100.0});
    run(a, "tri", "moveTo", {10.0, 100.0});
    run(a, "tri", "lineTo", {90.0, 100.0});
    run(a, "tri", "lineTo", {10.0, 180.0});
    // A red line drawn first, covered by a green fill drawn after it.
    emptyClip(a, "over", 3);
    run(a, "over", "lineStyle", {6.0, 16711680.0, 100.0});
    run(a, "over", "moveTo", {100.0, 150.0});
    run(a, "over", "lineTo", {190.0, 150.0});
    run(a, "over", "lineStyle");
    rect(a, "over", 140, 130, 50, 40, 0x00FF00);
    const Frame f = drawScript(a);
    EXPECT_EQ(rgb(f.at(30, 30)), 0xFF0000u);
    EXPECT_EQ(rgb(f.at(5, 5)), 0xFFFFFFu);
    EXPECT_EQ(rgb(f.at(55, 30)), 0xFFFFFFu);
    EXPECT_EQ(rgb(f.at(110, 30)), 0x0000FFu);
    EXPECT_EQ(rgb(f.at(145, 30)), 0x00FF00u); // the child is above the drawing
    EXPECT_EQ(rgb(f.at(20, 110)), 0x000000u);
    EXPECT_EQ(rgb(f.at(80, 170)), 0xFFFFFFu); // beyond the closing edge
    EXPECT_EQ(rgb(f.at(120, 150)), 0xFF0000u);
    EXPECT_EQ(rgb(f.at(160, 150)), 0x00FF00u);
}

TEST(ScriptDrawing, GradientsAndCurvesAreDrawn) {
    Actions a;
    emptyClip(a, "g", 1);
    // Red to blue from left to right across a box of 200 x 100 at the top.
    a.push("m")
        .push({"matrixType", "box", "x", 0.0, "y", 0.0, "w", 200.0, "h", 100.0, "r", 0.0, Int{6}})
        .op(op::InitObject)
        .op(op::SetVariable);
    a.push("m").op(op::GetVariable);
    a.push({255.0, 0.0, Int{2}}).op(op::InitArray);
    a.push({100.0, 100.0, Int{2}}).op(op::InitArray);
    a.push({255.0, 16711680.0, Int{2}}).op(op::InitArray);
    a.push("linear");
    a.push(Int{5}).getVar("g").push("beginGradientFill").op(op::CallMethod).op(op::Pop);
    run(a, "g", "moveTo", {0.0, 0.0});
    run(a, "g", "lineTo", {200.0, 0.0});
    run(a, "g", "lineTo", {200.0, 100.0});
    run(a, "g", "lineTo", {0.0, 100.0});
    run(a, "g", "endFill");
    // A bowl below: filled between the curve and its chord.
    emptyClip(a, "c", 2);
    run(a, "c", "beginFill", {0.0, 100.0});
    run(a, "c", "moveTo", {20.0, 110.0});
    run(a, "c", "curveTo", {100.0, 270.0, 180.0, 110.0});
    run(a, "c", "endFill");
    const Frame f = drawScript(a);
    const std::uint32_t left = rgb(f.at(3, 50));
    const std::uint32_t right = rgb(f.at(196, 50));
    const std::uint32_t middle = rgb(f.at(100, 50));
    EXPECT_GT(left >> 16 & 255, 240u);
    EXPECT_LT(left & 255, 15u);
    EXPECT_GT(right & 255, 240u);
    EXPECT_LT(right >> 16 & 255, 15u);
    EXPECT_TRUE(near(middle, 0x800080, 20)) << std::hex << middle;
    EXPECT_EQ(rgb(f.at(100, 150)), 0x000000u); // inside the bowl (its bottom is at y 190)
    EXPECT_EQ(rgb(f.at(100, 195)), 0xFFFFFFu);
    EXPECT_EQ(rgb(f.at(30, 150)), 0xFFFFFFu); // outside its side
}

TEST(ScriptDrawing, SetMaskShowsTheMaskedClipOnlyWithinTheMaskAndHidesTheMask) {
    Actions a;
    emptyClip(a, "content", 1);
    rect(a, "content", 0, 0, 200, 200, 0x00FF00);
    emptyClip(a, "shade", 2);
    rect(a, "shade", 50, 50, 40, 40, 0xFF0000);
    a.getVar("shade").push("_x").push(20.0).op(op::SetMember); // the mask is where it stands
    a.push("shade").op(op::GetVariable);
    a.push(Int{1}).getVar("content").push("setMask").op(op::CallMethod).op(op::Pop);
    const Frame masked = drawScript(a);
    EXPECT_EQ(rgb(masked.at(90, 70)), 0x00FF00u);
    EXPECT_EQ(rgb(masked.at(60, 70)), 0xFFFFFFu); // where the mask was before it moved
    EXPECT_EQ(rgb(masked.at(150, 150)), 0xFFFFFFu);
    EXPECT_EQ(rgb(masked.at(10, 10)), 0xFFFFFFu);

    // setMask(null) shows all of it again, and the former mask itself.
    Actions b = a;
    b.push(swf::Null{})
        .push(Int{1})
        .getVar("content")
        .push("setMask")
        .op(op::CallMethod)
        .op(op::Pop);
    const Frame unmasked = drawScript(b);
    EXPECT_EQ(rgb(unmasked.at(150, 150)), 0x00FF00u);
    EXPECT_EQ(rgb(unmasked.at(90, 70)), 0xFF0000u);

    // A mask removed leaves the clip it masked whole.
    Actions c = a;
    run(c, "shade", "removeMovieClip");
    const Frame maskGone = drawScript(c);
    EXPECT_EQ(rgb(maskGone.at(150, 150)), 0x00FF00u);
    EXPECT_EQ(rgb(maskGone.at(90, 70)), 0x00FF00u);
}

TEST(ScriptDrawing, CreatedTextFieldsAreScriptObjectsWithTheirText) {
    Actions a;
    a.push("t");
    call(a, "this", "createTextField", {"label", Int{5}, 10.0, 20.0, 150.0, 30.0});
    a.op(op::SetVariable);
    a.getVar("t").op(op::TypeOf).op(op::Trace);
    a.getVar("label").push("text").push("Hello").op(op::SetMember);
    traceMember(a, "t", "text");
    traceMember(a, "label", "_width");
    traceMember(a, "label", "_height");
    traceMember(a, "label", "_x");
    call(a, "label", "getDepth", {}).op(op::Trace);
    a.getVar("label").push("_width").push(200.0).op(op::SetMember);
    traceMember(a, "label", "_width");
    // The default format, and a format set for the whole text.
    a.push("f");
    call(a, "label", "getTextFormat", {});
    a.op(op::SetVariable);
    traceMember(a, "f", "font");
    traceMember(a, "f", "size");
    a.push("g").push(Int{0}).push("TextFormat").op(op::NewObject).op(op::SetVariable);
    a.getVar("g").push("size").push(20.0).op(op::SetMember);
    a.getVar("g").push("bold").push(true).op(op::SetMember);
    a.push("g")
        .op(op::GetVariable)
        .push(Int{1})
        .getVar("label")
        .push("setTextFormat")
        .op(op::CallMethod)
        .op(op::Pop);
    a.push("f");
    call(a, "label", "getTextFormat", {Int{1}});
    a.op(op::SetVariable);
    traceMember(a, "f", "size");
    traceMember(a, "f", "bold");
    // Gone with removeTextField.
    run(a, "label", "removeTextField");
    a.getVar("label").op(op::TypeOf).op(op::Trace);
    EXPECT_EQ(runScript(a), (Lines{"object", "Hello", "150", "30", "10", "5", "200",
                                   "Times New Roman", "12", "20", "true", "undefined"}));
}

TEST(ScriptDrawing, CreatedTextFieldShowsItsTextInsideItsBox) {
    Actions a;
    call(a, "this", "createTextField", {"label", Int{1}, 20.0, 40.0, 160.0, 40.0}).op(op::Pop);
    a.getVar("label").push("text").push("HHHH MMMM").op(op::SetMember);
    const Frame f = drawScript(a);
    int inside = 0, outside = 0;
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            const bool dark = (f.at(x, y) & 255) < 100;
            const bool in = x >= 20 && x < 180 && y >= 40 && y < 80;
            (in ? inside : outside) += dark ? 1 : 0;
        }
    }
    EXPECT_GT(inside, 20);
    EXPECT_EQ(outside, 0);
}

TEST(ScriptDrawing, ADrawnClipWithHandlersTakesClicksOnItsDrawingOnly) {
    Actions a;
    emptyClip(a, "knob", 1);
    // A triangle: its box holds corners that it does not cover.
    run(a, "knob", "beginFill", {255.0, 100.0});
    run(a, "knob", "moveTo", {20.0, 20.0});
    run(a, "knob", "lineTo", {120.0, 20.0});
    run(a, "knob", "lineTo", {20.0, 120.0});
    run(a, "knob", "endFill");
    Actions handler;
    handler.trace("released");
    a.getVar("knob").push("onRelease");
    a.defineFunction("", {}, handler);
    a.op(op::SetMember).op(op::Stop);
    swf::SwfWriter movie(200, 200, 12);
    doAction(movie, a);
    movie.showFrame();
    Player player;
    Lines lines;
    player.setTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
    ASSERT_TRUE(load(player, movie).ok);
    auto click = [&](double x, double y) {
        player.mouseMove({x, y});
        player.mouseDown({x, y});
        player.mouseUp({x, y});
    };
    click(100, 100); // in the box, beyond the long edge
    EXPECT_TRUE(lines.empty());
    click(40, 40);
    EXPECT_EQ(lines, (Lines{"released"}));
}

TEST(ScriptDrawing, RedrawingEveryFrameKeepsNothingOfEarlierFrames) {
    // onEnterFrame: clear, then a polyline of 2000 segments at a new place each frame.
    Actions body;
    body.push("n").getVar("n").op(op::Increment).op(op::SetVariable);
    run(body, "this", "clear");
    run(body, "this", "lineStyle", {1.0, 0.0, 100.0});
    run(body, "this", "moveTo", {0.0, 0.0});
    body.push("i").push(0.0).op(op::SetVariable);
    body.label("loop");
    body.getVar("i").push(10.0).op(op::Divide);
    body.getVar("i").push(100.0).op(op::Modulo).getVar("n").op(op::Add2);
    body.push(Int{2}).getVar("this").push("lineTo").op(op::CallMethod).op(op::Pop);
    body.push("i").getVar("i").op(op::Increment).op(op::SetVariable);
    body.getVar("i").push(2000.0).op(op::Less2).ifTrue("loop");
    Actions a;
    a.push("n").push(0.0).op(op::SetVariable);
    a.getVar("this").push("onEnterFrame");
    a.defineFunction("", {}, body);
    a.op(op::SetMember);
    swf::SwfWriter movie(200, 200, 12);
    doAction(movie, a);
    movie.showFrame();
    Player player;
    ASSERT_TRUE(load(player, movie).ok);
    Frame f;
    for (int frame = 0; frame < 30; ++frame) {
        player.nextFrame();
        f = render(player);
        EXPECT_LE(player.cachedScriptDrawings(), 1u);
    }
    // Only the last frame's polyline shows: it starts at x = n, the first frame's at x = 1.
    EXPECT_EQ(rgb(f.at(1, 100)), 0xFFFFFFu);
    EXPECT_NE(rgb(f.at(60, 10)), 0xFFFFFFu);
}

} // namespace
} // namespace kinovex::flash::test
