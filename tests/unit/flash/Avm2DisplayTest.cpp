// The ActionScript 3 display classes driven from here through the machine: containers
// reordering their children, the events adding and removing send and in what order, frame
// events for objects no timeline holds, what a clip or the movie says of itself, and which
// object a press on the stage reaches.

#include "Avm2Stage.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kinovex::flash {
namespace {

using avm2::Args;
using avm2::Machine;
using avm2::Value;

// The stage, with a listener that notes what reaches it.
struct Running : Avm2Stage {
    explicit Running(const std::function<void(swf::SwfWriter&)>& frames = {}) : Avm2Stage(frames) {
        // A listener tracing "<currentTarget's name> <type> <phase>".
        noter = Value::obj(vm().newNativeFunction(
            [](Machine& m, Value, Args args) {
                const Value at = m.get(args[0], "currentTarget");
                m.traceLine(m.toString(m.get(at, "name")) + " " +
                            m.toString(m.get(args[0], "type")) + " " +
                            m.toString(m.get(args[0], "eventPhase")));
                return Value();
            },
            "note"));
    }
    Value make(const char* cls, const char* name) {
        const Value o = Value::obj(vm().constructClass(vm().builtin(cls), {}));
        vm().set(o, "name", vm().str(name));
        return o;
    }
    void listen(const Value& o, const char* type) {
        call(o, "addEventListener", {vm().str(type), noter});
    }
    // The error id a call throws, 0 when it throws none.
    int errorOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const avm2::ScriptException& e) {
            return vm().toInt(vm().get(e.value, "errorID"));
        }
        return 0;
    }
    std::string names(const Value& container) {
        std::string out;
        const int n = vm().toInt(vm().get(container, "numChildren"));
        for (int i = 0; i < n; ++i) {
            out +=
                vm().toString(vm().get(call(container, "getChildAt", {Value::integer(i)}), "name"));
        }
        return out;
    }

    Value noter;
};

TEST(Avm2Display, ContainersReorderTheirChildren) {
    struct Row {
        const char* op;
        char first;
        int second; // a child's letter for swapChildren, else an index
        const char* order;
        int error;
    };
    const Row rows[] = {
        {"setChildIndex", 'a', 2, "bca", 0}, // those between close up behind it
        {"setChildIndex", 'c', 0, "cab", 0},
        {"setChildIndex", 'b', 1, "abc", 0},
        {"setChildIndex", 'a', 3, "abc", 2006},
        {"setChildIndex", 'x', 0, "abc", 2025},
        {"swapChildren", 'a', 'c', "cba", 0},
        {"swapChildren", 'a', 'x', "abc", 2025},
        {"swapChildrenAt", 0, 1, "bac", 0},
        {"swapChildrenAt", 0, -1, "abc", 2006},
        // the box into one of its children: refused, no loop is made
        {"addChild", 'a', 0, "abc", 2150},
    };
    for (const Row& r : rows) {
        Running run;
        const Value box = run.make("flash.display.Sprite", "box");
        Value kids[4];
        for (int i = 0; i < 4; ++i) {
            kids[i] = run.make("flash.display.Sprite",
                               i < 3 ? std::string(1, char('a' + i)).c_str() : "x");
            if (i < 3) {
                run.call(box, "addChild", {kids[i]});
            }
        }
        const auto kid = [&](int letter) { return kids[letter == 'x' ? 3 : letter - 'a']; };
        const std::string op = r.op;
        const int error = run.errorOf([&] {
            if (op == "swapChildrenAt") {
                run.call(box, r.op, {Value::integer(r.first), Value::integer(r.second)});
            } else if (op == "addChild") {
                run.call(kid(r.first), r.op, {box});
            } else if (op == "swapChildren") {
                run.call(box, r.op, {kid(r.first), kid(r.second)});
            } else {
                run.call(box, r.op, {kid(r.first), Value::integer(r.second)});
            }
        });
        EXPECT_EQ(error, r.error) << r.op << " " << r.first << " " << r.second;
        EXPECT_EQ(run.names(box), r.order) << r.op << " " << r.first << " " << r.second;
    }
}

TEST(Avm2Display, AddingAndRemovingSendTheirEventsInTheirOrder) {
    struct Row {
        const char* name;
        std::function<void(Running&, Value&, Value&, Value&)> act; // parent, child, grandchild
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"added bubbles, then the stage reaches the child and what is beneath it",
         [](Running& run, Value& parent, Value& child, Value&) {
             run.call(Value::obj(run.rt->rootObject()), "addChild", {parent});
             run.lines.clear();
             run.call(parent, "addChild", {child});
         },
         {"child added 2", "parent added 3", "child addedToStage 2", "grandchild addedToStage 2"}},
        {"off the stage only added is heard",
         [](Running& run, Value& parent, Value& child, Value&) {
             run.call(parent, "addChild", {child});
         },
         {"child added 2", "parent added 3"}},
        {"a child added again to its own parent only moves",
         [](Running& run, Value& parent, Value& child, Value&) {
             run.call(parent, "addChild", {child});
             run.lines.clear();
             run.call(parent, "addChild", {child});
         },
         {}},
        {"a child taken from another container leaves it first",
         [](Running& run, Value& parent, Value& child, Value&) {
             run.call(Value::obj(run.rt->rootObject()), "addChild", {child});
             run.lines.clear();
             run.call(parent, "addChild", {child});
         },
         {"child removed 2", "child removedFromStage 2", "grandchild removedFromStage 2",
          "child added 2", "parent added 3"}},
    };
    for (const Row& r : rows) {
        Running run;
        Value parent = run.make("flash.display.Sprite", "parent");
        Value child = run.make("flash.display.Sprite", "child");
        Value grandchild = run.make("flash.display.Sprite", "grandchild");
        run.call(child, "addChild", {grandchild});
        for (const char* type : {"added", "addedToStage", "removed", "removedFromStage"}) {
            run.listen(parent, type);
            run.listen(child, type);
            run.listen(grandchild, type);
        }
        run.lines.clear();
        r.act(run, parent, child, grandchild);
        EXPECT_EQ(run.lines, r.expected) << r.name;
    }
}

TEST(Avm2Display, ObjectsAScriptMadeHearFrameEventsOffTheList) {
    Running run;
    const Value loose = run.make("flash.display.Sprite", "loose");
    for (const char* type : {"enterFrame", "frameConstructed", "exitFrame"}) {
        run.listen(loose, type);
    }
    run.rt->runFrame(1000.0 / 24);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"loose enterFrame 2", "loose frameConstructed 2",
                                                   "loose exitFrame 2"}));
}

TEST(Avm2Display, RenderIsHeardOnceAfterEachInvalidate) {
    Running run;
    const Value loose = run.make("flash.display.Sprite", "loose");
    run.listen(loose, "exitFrame");
    run.listen(loose, "render");
    const std::vector<std::string> plain{"loose exitFrame 2"};
    const std::vector<std::string> rendered{"loose exitFrame 2", "loose render 2"};
    for (const bool invalidate : {false, true, false}) {
        if (invalidate) {
            run.call(Value::obj(run.rt->stageObject()), "invalidate");
        }
        run.lines.clear();
        run.rt->runFrame(1000.0 / 24);
        EXPECT_EQ(run.lines, invalidate ? rendered : plain);
    }
}

TEST(Avm2Display, ClipsAndTheMovieDescribeThemselves) {
    Running run;
    Machine& vm = run.vm();
    const Value root = Value::obj(run.rt->rootObject());
    const Value made = run.make("flash.display.MovieClip", "made");
    // A clip a script made stands before its one frame, in one nameless scene.
    EXPECT_EQ(vm.toString(vm.get(made, "currentFrame")), "0");
    const Value scene = vm.get(made, "currentScene");
    EXPECT_EQ(vm.toString(vm.get(scene, "name")), "");
    EXPECT_EQ(vm.toString(vm.get(scene, "numFrames")), "1");
    // The main timeline: its place kept without a placement, its movie's LoaderInfo.
    EXPECT_EQ(vm.toString(vm.get(root, "y")), "0");
    vm.set(root, "rotation", Value::integer(240));
    EXPECT_EQ(vm.toString(vm.get(root, "rotation")), "-120");
    const Value info = vm.get(root, "loaderInfo");
    EXPECT_EQ(vm.toString(vm.get(info, "bytesTotal")), std::to_string(run.movie.fileLength()));
    EXPECT_EQ(vm.toString(vm.get(info, "width")), "550");
    EXPECT_TRUE(vm.get(made, "loaderInfo").isNull());
}

TEST(Avm2Display, ShapesOnTheTimelineAreChildrenInDepthOrder) {
    Running run([](swf::SwfWriter& w) {
        swf::ShapeBuilder box;
        box.fill0(box.addFill(swf::FillStyle::solid(swf::Rgb(0xFF0000)))).rectangle(0, 0, 5, 5);
        const std::uint16_t first = w.defineShape(box);
        const std::uint16_t second = w.defineShape(box);
        swf::Place named;
        named.depth = 2;
        named.character = first;
        named.matrix = swf::Matrix::translate(10, 20);
        named.name = "named";
        w.place(named);
        w.place(1, first);
        w.showFrame();
        // The named one's character replaced, the other removed.
        swf::Place replace;
        replace.depth = 2;
        replace.character = second;
        replace.move = true;
        w.place(replace);
        w.remove(1);
        w.showFrame();
    });
    Machine& vm = run.vm();
    const Value root = Value::obj(run.rt->rootObject());
    EXPECT_EQ(run.names(root), "instance1named");
    const Value named = run.call(root, "getChildAt", {Value::integer(1)});
    EXPECT_EQ(vm.toString(named), "[object Shape]");
    EXPECT_EQ(vm.toString(vm.get(named, "x")), "10");
    EXPECT_EQ(vm.toString(vm.get(named, "y")), "20");
    EXPECT_TRUE(vm.strictEquals(vm.get(named, "parent"), root));
    run.rt->runFrame(1000.0 / 24);
    // A replacing placement keeps the object; a removed one leaves.
    EXPECT_EQ(run.names(root), "named");
    EXPECT_TRUE(vm.strictEquals(run.call(root, "getChildAt", {Value::integer(0)}), named));
}

TEST(Avm2Display, ClipsTheFramePlacesAreMadeAfterEnterFrameAndTellTheirParents) {
    Running run([](swf::SwfWriter& w) {
        swf::Sprite clip;
        clip.showFrame();
        const std::uint16_t id = w.defineSprite(clip);
        w.showFrame();
        w.place(1, id);
        w.showFrame();
        w.remove(1);
        w.showFrame();
    });
    const Value root = Value::obj(run.rt->rootObject());
    for (const char* type : {"enterFrame", "added", "removed", "frameConstructed"}) {
        run.listen(root, type);
    }
    run.rt->runFrame(1000.0 / 24);
    run.rt->runFrame(2000.0 / 24);
    EXPECT_EQ(run.lines, (std::vector<std::string>{
                             "root1 enterFrame 2", "root1 added 3", "root1 frameConstructed 2",
                             "root1 removed 3", "root1 enterFrame 2", "root1 frameConstructed 2"}));
}

TEST(Avm2Display, AGotoSendsItsFrameRoundAtOnceOrAfterTheFrameScript) {
    struct Row {
        const char* name;
        bool fromFrameScript;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"a goto from outside the frame scripts, to the frame it is on",
         false,
         {"root1 frameConstructed 2", "root1 exitFrame 2"}},
        {"a goto of the clip from its own frame script waits for the script to end",
         true,
         {"root1 frameConstructed 2", "goto over at 2", "root1 frameConstructed 2",
          "root1 exitFrame 2", "root1 exitFrame 2"}},
    };
    for (const Row& r : rows) {
        Running run([](swf::SwfWriter& w) {
            for (int i = 0; i < 3; ++i) {
                w.showFrame();
            }
        });
        const Value root = Value::obj(run.rt->rootObject());
        run.listen(root, "frameConstructed");
        run.listen(root, "exitFrame");
        if (!r.fromFrameScript) {
            run.call(root, "gotoAndStop", {Value::integer(1)});
        } else {
            const Value script = Value::obj(run.vm().newNativeFunction(
                [](Machine& m, Value self, Args) {
                    Value to[1] = {Value::integer(3)};
                    m.callProperty(self, m.publicName("gotoAndStop"), Args(to, 1));
                    m.traceLine("goto over at " + m.toString(m.get(self, "currentFrame")));
                    return Value();
                },
                "frame2"));
            run.call(root, "addFrameScript", {Value::integer(1), script});
            run.rt->runFrame(1000.0 / 24);
        }
        EXPECT_EQ(run.lines, r.expected) << r.name;
    }
}

TEST(Avm2Display, HitTestsUseTheStageBoxesAndShapes) {
    // Two 5 px squares on the main timeline, at (10, 20) and (13, 20), and an empty sprite.
    Running run([](swf::SwfWriter& w) {
        swf::ShapeBuilder box;
        box.fill0(box.addFill(swf::FillStyle::solid(swf::Rgb(0xFF0000)))).rectangle(0, 0, 5, 5);
        const std::uint16_t id = w.defineShape(box);
        w.place(1, id, swf::Matrix::translate(10, 20));
        w.place(2, id, swf::Matrix::translate(13, 20));
        w.showFrame();
    });
    Machine& vm = run.vm();
    const Value root = Value::obj(run.rt->rootObject());
    const Value a = run.call(root, "getChildAt", {Value::integer(0)});
    const Value b = run.call(root, "getChildAt", {Value::integer(1)});
    const Value loose = run.make("flash.display.Sprite", "loose");
    const std::tuple<Value, double, double, bool, bool> points[] = {
        {a, 12, 22, false, true},  {a, 12, 22, true, true},    {a, 9, 22, false, false},
        {a, 16, 22, false, false}, {root, 16, 24, true, true}, {loose, 0, 0, false, false},
    };
    for (const auto& [target, x, y, shapeFlag, hits] : points) {
        const Value r = run.call(target, "hitTestPoint",
                                 {Value::number(x), Value::number(y), Value::boolean(shapeFlag)});
        EXPECT_EQ(Machine::toBoolean(r), hits) << x << "," << y << " " << shapeFlag;
    }
    EXPECT_TRUE(Machine::toBoolean(run.call(a, "hitTestObject", {b})));
    vm.set(b, "x", Value::integer(40));
    EXPECT_FALSE(Machine::toBoolean(run.call(a, "hitTestObject", {b})));
    EXPECT_FALSE(Machine::toBoolean(run.call(a, "hitTestObject", {loose})));
}

TEST(Avm2Display, AGotoOfAnotherClipFromAFrameScriptRunsItsScriptsAtOnce) {
    Running run([](swf::SwfWriter& w) {
        swf::Sprite clip;
        for (int i = 0; i < 3; ++i) {
            clip.showFrame();
        }
        w.place(1, w.defineSprite(clip));
        w.showFrame();
        w.showFrame();
    });
    Machine& vm = run.vm();
    const Value root = Value::obj(run.rt->rootObject());
    const Value child = run.call(root, "getChildAt", {Value::integer(0)});
    const auto script = [&](avm2::NativeFn fn) {
        return Value::obj(vm.newNativeFunction(fn, "f"));
    };
    run.call(child, "addFrameScript", {Value::integer(2), script([](Machine& m, Value, Args) {
                                           m.traceLine("child frame 3");
                                           return Value();
                                       })});
    run.call(root, "addFrameScript",
             {Value::integer(1), script([](Machine& m, Value self, Args) {
                  Value at[1] = {Value::integer(0)};
                  const Value kid = m.callProperty(self, m.publicName("getChildAt"), Args(at, 1));
                  Value to[1] = {Value::integer(3)};
                  m.callProperty(kid, m.publicName("gotoAndStop"), Args(to, 1));
                  m.traceLine("after the goto");
                  return Value();
              })});
    run.rt->runFrame(1000.0 / 24);
    EXPECT_EQ(run.lines, (std::vector<std::string>{"child frame 3", "after the goto"}));
}

TEST(Avm2Display, TheStageRefusesWhatItDoesNotHave) {
    Running run;
    Machine& vm = run.vm();
    const Value stage = Value::obj(run.rt->stageObject());
    const std::pair<const char*, int> rows[] = {
        {"x", 2071},       {"alpha", 2071},    {"name", 2071},       {"visible", 2071},
        {"filters", 2071}, {"rotation", 2071}, {"mouseChildren", 0},
    };
    for (const auto& [name, error] : rows) {
        EXPECT_EQ(run.errorOf([&] { vm.set(stage, name, Value::integer(0)); }), error) << name;
    }
    EXPECT_EQ(run.errorOf([&] { vm.get(stage, "textSnapshot"); }), 2071);
    EXPECT_EQ(vm.toString(vm.get(stage, "x")), "0");
}

// The stage measures the movie whatever its scale mode; its settings keep what the player
// accepts, as the player spells them back.
TEST(Avm2Display, TheStageKeepsItsSettings) {
    struct Row {
        const char* property;
        const char* set; // null: only read
        const char* read;
        int error;
    };
    const Row rows[] = {
        {"stageWidth", nullptr, "550", 0},
        {"stageHeight", nullptr, "400", 0},
        {"scaleMode", nullptr, "showAll", 0},
        {"scaleMode", "noScale", "noScale", 0},
        {"scaleMode", "NOSCALE", "showAll", 2008},
        {"align", "lt", "TL", 0},
        {"align", "middle", "L", 0},
        {"quality", nullptr, "HIGH", 0},
        {"quality", "Low", "LOW", 0},
        {"quality", "ugly", "HIGH", 2008},
        {"displayState", "fullScreen", "fullScreen", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.property) + " " + (r.set != nullptr ? r.set : ""));
        Running run;
        Machine& vm = run.vm();
        const Value stage = Value::obj(run.rt->stageObject());
        if (r.set != nullptr) {
            EXPECT_EQ(run.errorOf([&] { vm.set(stage, r.property, vm.str(r.set)); }), r.error);
        }
        EXPECT_EQ(vm.toString(vm.get(stage, r.property)), r.read);
    }
}

// A local shared object lives while the movie plays, one for each name; a local connection
// connects once and closes once.
TEST(Avm2Display, SharedObjectsAndLocalConnectionsStayInTheMovie) {
    Running run;
    Machine& vm = run.vm();
    const Value so = Value::obj(vm.builtin("flash.net.SharedObject")->classObj);
    const Value first = run.call(so, "getLocal", {vm.str("scores")});
    vm.set(vm.get(first, "data"), "best", Value::integer(7));
    EXPECT_EQ(vm.toString(run.call(first, "flush")), "flushed");
    const Value again = run.call(so, "getLocal", {vm.str("scores")});
    EXPECT_EQ(vm.toString(vm.get(vm.get(again, "data"), "best")), "7");
    const Value other = run.call(so, "getLocal", {vm.str("other")});
    EXPECT_TRUE(vm.get(vm.get(other, "data"), "best").isUndefined());
    EXPECT_EQ(run.errorOf([&] { run.call(so, "getLocal", {vm.str("a b")}); }), 2134);

    const Value lc = Value::obj(vm.constructClass(vm.builtin("flash.net.LocalConnection"), {}));
    EXPECT_EQ(run.errorOf([&] { run.call(lc, "close"); }), 2083);
    EXPECT_EQ(run.errorOf([&] { run.call(lc, "connect", {vm.str("_line")}); }), 0);
    EXPECT_EQ(run.errorOf([&] { run.call(lc, "connect", {vm.str("_line")}); }), 2082);
    EXPECT_EQ(run.errorOf([&] { run.call(lc, "send", {vm.str("_other"), vm.str("f")}); }), 0);
}

TEST(Avm2Display, APressReachesTheObjectUnderItThroughItsAncestors) {
    struct Row {
        const char* name;
        bool childMouseEnabled;
        bool parentMouseChildren;
        double x;
        double y;
        std::vector<std::string> expected;
    };
    // The child is a square from (10, 10) to (60, 60) in the parent, itself at (100, 0).
    const Row rows[] = {
        {"the child's fill: capture on the way down, the target, then up to the stage",
         true,
         true,
         130,
         30,
         {"parent mouseDown 1", "child mouseDown 2", "parent mouseDown 3", "root1 mouseDown 3",
          "stage mouseDown 3 child", "parent mouseUp 1", "child mouseUp 2", "parent mouseUp 3",
          "root1 mouseUp 3", "stage mouseUp 3 child", "parent click 1", "child click 2",
          "parent click 3", "root1 click 3", "stage click 3 child"}},
        {"a child that takes no mouse hands it to its parent",
         false,
         true,
         130,
         30,
         {"parent mouseDown 2", "root1 mouseDown 3", "stage mouseDown 3 parent", "parent mouseUp 2",
          "root1 mouseUp 3", "stage mouseUp 3 parent", "parent click 2", "root1 click 3",
          "stage click 3 parent"}},
        {"a parent whose children take no mouse is the target",
         true,
         false,
         130,
         30,
         {"parent mouseDown 2", "root1 mouseDown 3", "stage mouseDown 3 parent", "parent mouseUp 2",
          "root1 mouseUp 3", "stage mouseUp 3 parent", "parent click 2", "root1 click 3",
          "stage click 3 parent"}},
        {"beside the square only the stage hears it",
         true,
         true,
         100,
         30,
         {"stage mouseDown 2 stage", "stage mouseUp 2 stage", "stage click 2 stage"}},
    };
    for (const Row& r : rows) {
        Running run;
        const Value root = Value::obj(run.rt->rootObject());
        const Value stage = Value::obj(run.rt->stageObject());
        const Value parent = run.make("flash.display.Sprite", "parent");
        const Value child = run.make("flash.display.Sprite", "child");
        const Value graphics = run.vm().get(child, "graphics");
        run.call(graphics, "beginFill", {Value::integer(0xff0000)});
        run.call(graphics, "drawRect",
                 {Value::integer(10), Value::integer(10), Value::integer(50), Value::integer(50)});
        run.vm().set(parent, "x", Value::integer(100));
        run.vm().set(child, "mouseEnabled", Value::boolean(r.childMouseEnabled));
        run.vm().set(parent, "mouseChildren", Value::boolean(r.parentMouseChildren));
        run.call(parent, "addChild", {child});
        run.call(root, "addChild", {parent});
        // The stage's listener names the target.
        const Value target = Value::obj(run.vm().newNativeFunction(
            [](Machine& m, Value, Args args) {
                const Value at = m.get(args[0], "target");
                const bool onStage = at.o->cls->name == "Stage";
                m.traceLine("stage " + m.toString(m.get(args[0], "type")) + " " +
                            m.toString(m.get(args[0], "eventPhase")) + " " +
                            (onStage ? "stage" : m.toString(m.get(at, "name"))));
                return Value();
            },
            "target"));
        for (const char* type : {"mouseDown", "mouseUp", "click"}) {
            run.call(parent, "addEventListener",
                     {run.vm().str(type), run.noter, Value::boolean(true)});
            run.listen(parent, type);
            run.listen(child, type);
            run.listen(root, type);
            run.call(stage, "addEventListener", {run.vm().str(type), target});
        }
        run.lines.clear();
        run.rt->mouseDown(r.x, r.y);
        run.rt->mouseUp(r.x, r.y);
        EXPECT_EQ(run.lines, r.expected) << r.name;
    }
}

TEST(Avm2Display, APressOnAShapeReachesItsClipWithinTheTimelinesMask) {
    struct Row {
        double x;
        double y;
        const char* target;
    };
    // A square 100 pixels wide under a mask over its top left quarter.
    const Row rows[] = {{25, 25, "root1"}, {75, 75, "stage"}, {75, 25, "stage"}};
    for (const Row& r : rows) {
        Running run([](swf::SwfWriter& w) {
            swf::ShapeBuilder quarter;
            quarter.fill0(quarter.addFill(swf::FillStyle::solid(swf::Rgb(0x000000))))
                .rectangle(0, 0, 50, 50);
            swf::ShapeBuilder square;
            square.fill0(square.addFill(swf::FillStyle::solid(swf::Rgb(0xFF0000))))
                .rectangle(0, 0, 100, 100);
            swf::Place mask;
            mask.depth = 1;
            mask.character = w.defineShape(quarter);
            mask.clipDepth = 2;
            w.place(mask);
            w.place(2, w.defineShape(square));
            w.showFrame();
            w.showFrame();
        });
        const Value target = Value::obj(run.vm().newNativeFunction(
            [](Machine& m, Value, Args args) {
                const Value at = m.get(args[0], "target");
                m.traceLine(at.o->cls->name == "Stage" ? "stage" : m.toString(m.get(at, "name")));
                return Value();
            },
            "target"));
        run.call(Value::obj(run.rt->stageObject()), "addEventListener",
                 {run.vm().str("mouseDown"), target});
        run.lines.clear();
        run.rt->mouseDown(r.x, r.y);
        EXPECT_EQ(run.lines, std::vector<std::string>{r.target}) << r.x << "," << r.y;
    }
}

TEST(Avm2Display, MovesRollOutOfWhatThePointerLeftAndOverWhatItReached) {
    struct Row {
        const char* name;
        double x;
        double y;
        std::vector<std::string> expected;
    };
    // Two squares side by side in one parent: a from (0, 0) to (20, 20), b from (30, 0).
    const Row rows[] = {
        {"onto a: over its ancestors, outermost first, then over a",
         10,
         10,
         {"parent rollOver 2", "a rollOver 2", "a mouseOver 2", "parent mouseOver 3"}},
        {"from a to b: the parent they share is neither left nor reached",
         40,
         10,
         {"a mouseOut 2", "parent mouseOut 3", "a rollOut 2", "b rollOver 2", "b mouseOver 2",
          "parent mouseOver 3"}},
        {"within b: nothing", 45, 15, {}},
        {"off everything: out of b and its ancestors",
         100,
         100,
         {"b mouseOut 2", "parent mouseOut 3", "b rollOut 2", "parent rollOut 2"}},
    };
    Running run;
    const Value parent = run.make("flash.display.Sprite", "parent");
    for (const char* name : {"a", "b"}) {
        const Value square = run.make("flash.display.Sprite", name);
        const Value graphics = run.vm().get(square, "graphics");
        run.call(graphics, "beginFill", {Value::integer(0xff0000)});
        run.call(graphics, "drawRect",
                 {Value::integer(name[0] == 'a' ? 0 : 30), Value::integer(0), Value::integer(20),
                  Value::integer(20)});
        run.call(parent, "addChild", {square});
        for (const char* type : {"mouseOver", "mouseOut", "rollOver", "rollOut"}) {
            run.listen(square, type);
        }
    }
    for (const char* type : {"mouseOver", "mouseOut", "rollOver", "rollOut"}) {
        run.listen(parent, type);
    }
    run.call(Value::obj(run.rt->rootObject()), "addChild", {parent});
    for (const Row& r : rows) {
        run.lines.clear();
        run.rt->mouseMove(r.x, r.y);
        EXPECT_EQ(run.lines, r.expected) << r.name;
    }
}

TEST(Avm2Display, KeysGoToTheFocusedObjectElseTheStage) {
    for (const bool focused : {false, true}) {
        Running run;
        const Value stage = Value::obj(run.rt->stageObject());
        const Value box = run.make("flash.display.Sprite", "box");
        run.call(Value::obj(run.rt->rootObject()), "addChild", {box});
        const Value atStage = Value::obj(run.vm().newNativeFunction(
            [](Machine& m, Value, Args args) {
                m.traceLine("stage " + m.toString(m.get(args[0], "type")) + " " +
                            m.toString(m.get(args[0], "eventPhase")));
                return Value();
            },
            "atStage"));
        for (const char* type : {"keyDown", "keyUp"}) {
            run.listen(box, type);
            run.call(stage, "addEventListener", {run.vm().str(type), atStage});
        }
        if (focused) {
            run.vm().set(stage, "focus", box);
        }
        run.lines.clear();
        run.rt->keyDown(65, 'a');
        run.rt->keyUp(65, 'a');
        const std::vector<std::string> expected =
            focused ? std::vector<std::string>{"box keyDown 2", "stage keyDown 3", "box keyUp 2",
                                               "stage keyUp 3"}
                    : std::vector<std::string>{"stage keyDown 2", "stage keyUp 2"};
        EXPECT_EQ(run.lines, expected) << focused;
    }
}

TEST(Avm2Display, InputEventsPrintTheirFields) {
    Running run;
    Machine& m = run.vm();
    const struct {
        const char* cls;
        std::vector<Value> args;
        const char* expected;
    } rows[] = {
        {"flash.events.MouseEvent",
         {m.str("click")},
         "[MouseEvent type=\"click\" bubbles=true cancelable=false eventPhase=2 localX=NaN "
         "localY=NaN stageX=NaN stageY=NaN relatedObject=null ctrlKey=false altKey=false "
         "shiftKey=false buttonDown=false delta=0]"},
        {"flash.events.KeyboardEvent",
         {m.str("keyDown"), Value::boolean(false), Value::boolean(false), Value::integer(97),
          Value::integer(65)},
         "[KeyboardEvent type=\"keyDown\" bubbles=false cancelable=false eventPhase=2 "
         "charCode=97 keyCode=65 keyLocation=0 ctrlKey=false altKey=false shiftKey=false]"},
        {"flash.events.IOErrorEvent",
         {m.str("ioError"), Value::boolean(false), Value::boolean(false), m.str("gone")},
         "[IOErrorEvent type=\"ioError\" bubbles=false cancelable=false eventPhase=2 "
         "text=\"gone\"]"},
    };
    for (const auto& r : rows) {
        std::vector<Value> args = r.args;
        const Value e = Value::obj(m.constructClass(m.builtin(r.cls), Args(args)));
        EXPECT_EQ(m.toString(run.call(e, "toString")), r.expected);
        EXPECT_EQ(m.toString(run.call(run.call(e, "clone"), "toString")), r.expected);
    }
}

} // namespace
} // namespace kinovex::flash
