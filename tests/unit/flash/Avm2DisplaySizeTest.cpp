// The ActionScript 3 display sizes driven from here through the machine: the box around what
// an object draws and what its children show under their own moves, and what setting a size
// does to the scale.

#include "SwfWriter.h"
#include "engine/avm2/Avm2Runtime.h"
#include "engine/definitions/Movie.h"
#include "engine/display/Timeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace kinovex::flash {
namespace {

using avm2::Args;
using avm2::Machine;
using avm2::Value;

// An ActionScript 3 movie without scripts, its first frame shown.
struct Running {
    Movie movie;
    Log log;
    std::size_t liveSprites = 0;
    std::unique_ptr<Avm2Runtime> rt;
    std::unique_ptr<TimelineInstance> root;

    Running() {
        swf::SwfWriter writer(550, 400, 24, {.version = 15, .fileAttributes = false});
        writer.rawTag(69, {0x08, 0, 0, 0});
        writer.showFrame();
        EXPECT_TRUE(movie.load(writer.finish(), log).ok);
        rt = std::make_unique<Avm2Runtime>(movie, log);
        root = std::make_unique<TimelineInstance>(movie, movie.timeline(), 0, liveSprites);
        rt->attachRoot(*root);
        root->start();
        rt->finishFrame();
        vm().setInstructionBudget(100000);
        vm().refillBudget();
    }
    ~Running() { root.reset(); }

    Machine& vm() { return rt->machine(); }
    Value sprite() {
        return Value::obj(vm().constructClass(vm().builtin("flash.display.Sprite"), {}));
    }
    Value call(const Value& o, const char* method, std::vector<Value> args = {}) {
        return vm().callProperty(o, vm().publicName(method), Args(args.data(), args.size()));
    }
    // A filled rectangle in the object's graphics.
    void rect(const Value& o, double x, double y, double w, double h) {
        const Value g = vm().get(o, "graphics");
        call(g, "beginFill", {Value::integer(0xFF0000)});
        call(g, "drawRect",
             {Value::number(x), Value::number(y), Value::number(w), Value::number(h)});
        call(g, "endFill");
    }
    double number(const Value& o, const char* name) { return vm().toNumber(vm().get(o, name)); }
};

TEST(Avm2DisplaySize, SizesCoverDrawingsAndChildren) {
    struct Row {
        const char* what;
        bool ownRect;  // the parent draws 0, 0, 100 x 50
        bool child;    // a child drawing 0, 0, 20 x 20 ...
        double childX; // ... at this x
        double childScaleX;
        double setWidth; // NaN: none set
        double width, height, scaleX;
    };
    const double none = std::nan("");
    const Row rows[] = {
        {"own drawing", true, false, 0, 1, none, 100, 50, 1},
        {"a child's box where it stands", false, true, 10, 1, none, 20, 20, 1},
        {"drawing and child together", true, true, 140, 1, none, 160, 50, 1},
        {"a child's scale", false, true, 0, 2, none, 40, 20, 1},
        {"setting scales to it", true, false, 0, 1, 200, 200, 50, 2},
        {"a negative size is ignored", true, false, 0, 1, -5, 100, 50, 1},
        {"an empty object's scale goes to 0", false, false, 0, 1, 50, 0, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Running run;
        const Value parent = run.sprite();
        if (r.ownRect) {
            run.rect(parent, 0, 0, 100, 50);
        }
        if (r.child) {
            const Value child = run.sprite();
            run.rect(child, 0, 0, 20, 20);
            run.vm().set(child, "x", Value::number(r.childX));
            run.vm().set(child, "scaleX", Value::number(r.childScaleX));
            run.call(parent, "addChild", {child});
        }
        if (!std::isnan(r.setWidth)) {
            run.vm().set(parent, "width", Value::number(r.setWidth));
        }
        EXPECT_DOUBLE_EQ(run.number(parent, "width"), r.width);
        EXPECT_DOUBLE_EQ(run.number(parent, "height"), r.height);
        EXPECT_DOUBLE_EQ(run.number(parent, "scaleX"), r.scaleX);
    }
}

} // namespace
} // namespace kinovex::flash
