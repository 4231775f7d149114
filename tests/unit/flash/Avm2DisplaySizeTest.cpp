// The ActionScript 3 display sizes and drawings driven from here through the machine: the box
// around what an object draws and what its children show under their own moves, what setting a
// size does to the scale, the gradients a script fills with, and points and matrices between
// an object's space and the stage.

#include "Avm2Stage.h"
#include "engine/display/ScriptDrawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace kinovex::flash {
namespace {

using avm2::Args;
using avm2::Machine;
using avm2::Value;

// The stage, with sprites and rectangles to size.
struct Running : Avm2Stage {
    Value sprite() {
        return Value::obj(vm().constructClass(vm().builtin("flash.display.Sprite"), {}));
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

TEST(Avm2DisplaySize, GradientFillsTakeTheStopsAllListsHave) {
    struct Row {
        std::vector<double> colors, alphas, ratios;
        std::vector<int> stopRatios; // ratios never go back
    };
    const Row rows[] = {
        {{0xFF0000, 0x0000FF}, {1, 1}, {0, 255}, {0, 255}},
        {{0xFF0000, 0x0000FF, 0xFF}, {1, 0.5}, {0, 128, 255}, {0, 128}},
        {{1, 2, 3}, {1, 1, 1}, {100, 50, 200}, {100, 100, 200}},
    };
    for (const Row& r : rows) {
        Running run;
        Machine& m = run.vm();
        const auto array = [&](const std::vector<double>& v) {
            std::vector<Value> items;
            for (double x : v) {
                items.push_back(Value::number(x));
            }
            return Value::obj(m.newArray(std::move(items)));
        };
        const Value root = Value::obj(run.rt->rootObject());
        const Value g = m.get(root, "graphics");
        run.call(g, "beginGradientFill",
                 {m.str("linear"), array(r.colors), array(r.alphas), array(r.ratios)});
        run.call(g, "drawRect",
                 {Value::integer(0), Value::integer(0), Value::integer(10), Value::integer(10)});
        ASSERT_TRUE(run.root->drawing());
        const auto shape = run.root->drawing()->shape();
        const FillStyle* fill = nullptr;
        for (const StyleTable& t : shape->styles) {
            if (!t.fills.empty()) {
                fill = &t.fills.front();
            }
        }
        ASSERT_NE(fill, nullptr);
        EXPECT_EQ(fill->type, FillStyle::Type::Linear);
        std::vector<int> got;
        for (const GradientStop& stop : fill->gradient.stops) {
            got.push_back(stop.ratio);
        }
        EXPECT_EQ(got, r.stopRatios);
    }
}

TEST(Avm2DisplaySize, PointsAndMatricesComeInWholeTwips) {
    struct Row {
        const char* what;
        double scaleX;
        const char* call; // localToGlobal, globalToLocal, or "matrix" (set then read back)
        double x, y;
        const char* expected;
    };
    const Row rows[] = {
        {"to the stage", 2, "localToGlobal", 3, 4, "(x=16, y=24)"},
        {"and back", 2, "globalToLocal", 16, 24, "(x=3, y=4)"},
        {"landing between twips", 3, "globalToLocal", 11, 20, "(x=0.35, y=0)"},
        {"a point given between twips", 1, "localToGlobal", 0.03, 0, "(x=10.05, y=20)"},
        {"a matrix's move in twips", 1, "matrix", 10.03, 0,
         "(a=1, b=0, c=0, d=1, tx=10.05, ty=20)"},
        {"its scale in single precision", 1.1, "matrix", 0, 0,
         "(a=1.100000023841858, b=0, c=0, d=1, tx=0, ty=20)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Running run;
        Machine& m = run.vm();
        const Value sprite = run.sprite();
        m.set(sprite, "x", Value::integer(10));
        m.set(sprite, "y", Value::integer(20));
        m.set(sprite, "scaleX", Value::number(r.scaleX));
        Value result;
        if (std::string(r.call) == "matrix") {
            const Value transform = m.get(sprite, "transform");
            const Value matrix = m.get(transform, "matrix");
            m.set(matrix, "tx", Value::number(r.x));
            m.set(transform, "matrix", matrix);
            result = m.get(transform, "matrix");
        } else {
            Value xy[2] = {Value::number(r.x), Value::number(r.y)};
            const Value point =
                Value::obj(m.constructClass(m.builtin("flash.geom.Point"), Args(xy, 2)));
            result = run.call(sprite, r.call, {point});
        }
        EXPECT_EQ(m.toString(result), r.expected);
    }
}

} // namespace
} // namespace kinovex::flash
