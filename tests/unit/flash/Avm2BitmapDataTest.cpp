// BitmapData's region operations driven through the machine: hitTest against a point, a
// rectangle and another bitmap, each placed relative to the first point; merge's weighting
// of the two colours; paletteMap's tables, a missing one leaving its channel as it was.

#include "Avm2Stage.h"

#include <gtest/gtest.h>

#include <vector>

namespace kinovex::flash {
namespace {

using avm2::Value;

struct Running : Avm2Stage {
    Value make(const char* cls, std::vector<double> args) {
        std::vector<Value> a;
        for (double d : args) {
            a.push_back(Value::number(d));
        }
        return Value::obj(vm().constructClass(vm().builtin(cls), avm2::Args(a)));
    }
    Value bitmap(int w, int h, bool transparent, double fill) {
        return make("flash.display.BitmapData",
                    {double(w), double(h), transparent ? 1.0 : 0.0, fill});
    }
    Value point(double x, double y) { return make("flash.geom.Point", {x, y}); }
    Value rect(double x, double y, double w, double h) {
        return make("flash.geom.Rectangle", {x, y, w, h});
    }
    std::uint32_t pixel(const Value& b, int x, int y) {
        return vm().toUint(call(b, "getPixel32", {Value::integer(x), Value::integer(y)}));
    }
};

TEST(Avm2BitmapData, HitTestPlacesTheOtherObjectFromTheFirstPoint) {
    struct Row {
        const char* what;
        int kind; // 0 a point, 1 a rectangle, 2 a 1 x 1 opaque bitmap
        double x, y;
        bool hit;
    };
    // A 4 x 4 transparent bitmap at (10, 10) with one opaque pixel at (2, 2).
    const Row rows[] = {
        {"point on the pixel", 0, 12, 12, true},  {"point beside it", 0, 11, 12, false},
        {"rectangle over it", 1, 11, 11, true},   {"rectangle short of it", 1, 10, 10, false},
        {"bitmap on the pixel", 2, 12, 12, true}, {"bitmap beside it", 2, 13, 12, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Running run;
        const Value b = run.bitmap(4, 4, true, 0);
        run.call(b, "setPixel32",
                 {Value::integer(2), Value::integer(2), Value::number(0xFF000000u)});
        Value other = r.kind == 0   ? run.point(r.x, r.y)
                      : r.kind == 1 ? run.rect(r.x, r.y, 2, 2)
                                    : run.bitmap(1, 1, false, 0);
        std::vector<Value> args{run.point(10, 10), Value::integer(255), other};
        if (r.kind == 2) {
            args.push_back(run.point(r.x, r.y));
        }
        EXPECT_EQ(run.vm().toBoolean(run.call(b, "hitTest", args)), r.hit);
    }
}

TEST(Avm2BitmapData, MergeAndPaletteMapMixChannels) {
    Running run;
    const Value dest = run.bitmap(1, 1, false, 0xFF000000u);
    const Value white = run.bitmap(1, 1, false, 0xFFFFFFFFu);
    run.call(dest, "merge",
             {white, run.rect(0, 0, 1, 1), run.point(0, 0), Value::integer(128),
              Value::integer(128), Value::integer(256), Value::integer(256)});
    EXPECT_EQ(run.pixel(dest, 0, 0), 0xFF7F7FFFu); // red and green halfway, blue all source

    const Value source = run.bitmap(1, 1, false, 0xFF102030u);
    avm2::Object* reds = run.vm().newArray();
    for (int i = 0; i < 256; ++i) {
        reds->elems.push_back(Value::number(0x00AA0000));
    }
    run.call(dest, "paletteMap", {source, run.rect(0, 0, 1, 1), run.point(0, 0), Value::obj(reds)});
    EXPECT_EQ(run.pixel(dest, 0, 0), 0xFFAA2030u);
}

} // namespace
} // namespace kinovex::flash
