// Display objects an ActionScript 3 script makes and adds, drawn: where they stand among their
// parent's children, with their moves, visibility, alpha, pixels, and on the stage itself.

#include "Avm2Stage.h"
#include "FlashTestUtil.h"
#include "engine/render/Renderer.h"

#include <gtest/gtest.h>

#include <cairo.h>
#include <functional>
#include <memory>

namespace kinovex::flash {
namespace {

using avm2::Value;

// A red square 20 pixels wide at (10, 10), at depth 1 of the main timeline; `inClip`: inside a
// clip placed there instead.
void timelineSquare(swf::SwfWriter& w, bool inClip) {
    const std::uint16_t square = test::defineRect(w, 10, 10, 20, 20, 0xFF0000);
    if (inClip) {
        swf::Sprite clip;
        clip.place(1, square);
        clip.showFrame();
        w.place(1, w.defineSprite(clip));
    } else {
        w.place(1, square);
    }
    w.showFrame();
    w.showFrame();
}

constexpr int kWidth = 200;
constexpr int kHeight = 100;

struct Scene : Avm2Stage {
    using Avm2Stage::Avm2Stage;
    Value make(const char* cls, std::vector<Value> args = {}) {
        return Value::obj(
            vm().constructClass(vm().builtin(cls), avm2::Args(args.data(), args.size())));
    }
    // A sprite with a filled square at (x, y) of `size` pixels.
    Value square(double x, double y, double size, int color) {
        const Value s = make("flash.display.Sprite");
        const Value g = vm().get(s, "graphics");
        call(g, "beginFill", {Value::integer(color)});
        call(g, "drawRect",
             {Value::number(x), Value::number(y), Value::number(size), Value::number(size)});
        call(g, "endFill");
        return s;
    }
    Value rectangle(double x, double y, double w, double h) {
        return make("flash.geom.Rectangle",
                    {Value::number(x), Value::number(y), Value::number(w), Value::number(h)});
    }
    Value rootObject() { return Value::obj(rt->rootObject()); }
    Value stage() { return Value::obj(rt->stageObject()); }

    // The stage drawn one pixel per stage pixel over transparent black, row after row:
    // 0xAARRGGBB, premultiplied.
    std::vector<std::uint32_t> draw() {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
        cairo_t* cr = cairo_create(surface);
        Renderer renderer(movie, log);
        renderer.setScriptLayers(rt->scriptLayers());
        renderer.render(cr, *root, Matrix::scale(0.05, 0.05), 1);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < kHeight; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(
                cairo_image_surface_get_data(surface) +
                static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(surface));
            pixels.insert(pixels.end(), row, row + kWidth);
        }
        cairo_surface_destroy(surface);
        return pixels;
    }
};

// A red square (10, 10) to (50, 50) masked by a blue one (10, 10) to (20, 20); `maskShown`: the
// mask is on the display list too, above the square.
void maskedSquare(Scene& s, bool maskShown) {
    const Value red = s.square(10, 10, 40, 0xFF0000);
    const Value mask = s.square(10, 10, 10, 0x0000FF);
    s.call(s.rootObject(), "addChild", {red});
    if (maskShown) {
        s.call(s.rootObject(), "addChild", {mask});
    }
    s.vm().set(red, "mask", mask);
}

// A red square (0, 0) to (40, 40) in a sprite at x 50, scrolled to show (10, 10) to (20, 20).
void scrolledSquare(Scene& s) {
    const Value sq = s.square(0, 0, 40, 0xFF0000);
    s.vm().set(sq, "x", Value::integer(50));
    s.vm().set(sq, "scrollRect", s.rectangle(10, 10, 10, 10));
    s.call(s.rootObject(), "addChild", {sq});
}

// The timeline's clip moved into a sprite at x 100 that a script adds; the sprite is returned.
Value moveClipIntoSprite(Scene& s) {
    const Value parent = s.make("flash.display.Sprite");
    s.vm().set(parent, "x", Value::integer(100));
    s.call(parent, "addChild", {s.call(s.rootObject(), "getChildAt", {Value::integer(0)})});
    s.call(s.rootObject(), "addChild", {parent});
    return parent;
}

constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr std::uint32_t kNothing = 0;

TEST(Avm2DrawnTree, ScriptMadeObjectsAreDrawnWhereTheyStand) {
    enum class Timeline { Empty, Square, SquareInClip };
    struct Probe {
        int x, y;
        std::uint32_t expected;
    };
    struct Row {
        const char* what;
        Timeline timeline;
        std::function<void(Scene&)> build;
        std::vector<Probe> probes;
    };
    const Row rows[] = {
        {"a sprite added to the main timeline, nothing beside it",
         Timeline::Empty,
         [](Scene& s) { s.call(s.rootObject(), "addChild", {s.square(10, 10, 20, 0xFF0000)}); },
         {{15, 15, kRed}, {40, 15, kNothing}}},

        {"a child moves with its parent",
         Timeline::Empty,
         [](Scene& s) {
             const Value parent = s.make("flash.display.Sprite");
             s.vm().set(parent, "x", Value::integer(100));
             s.call(parent, "addChild", {s.square(0, 0, 10, 0xFF0000)});
             s.call(s.rootObject(), "addChild", {parent});
         },
         {{105, 5, kRed}}},
        {"one not added is not drawn",
         Timeline::Empty,
         [](Scene& s) { s.square(10, 10, 20, 0xFF0000); },
         {{15, 15, kNothing}}},
        {"an invisible one is not drawn",
         Timeline::Empty,
         [](Scene& s) {
             const Value sq = s.square(10, 10, 20, 0xFF0000);
             s.vm().set(sq, "visible", Value::boolean(false));
             s.call(s.rootObject(), "addChild", {sq});
         },
         {{15, 15, kNothing}}},
        {"a removed one is not drawn",
         Timeline::Empty,
         [](Scene& s) {
             const Value sq = s.square(10, 10, 20, 0xFF0000);
             s.call(s.rootObject(), "addChild", {sq});
             s.call(s.rootObject(), "removeChild", {sq});
         },
         {{15, 15, kNothing}}},
        {"a later child covers an earlier one",
         Timeline::Empty,
         [](Scene& s) {
             s.call(s.rootObject(), "addChild", {s.square(10, 10, 20, 0xFF0000)});
             s.call(s.rootObject(), "addChild", {s.square(10, 10, 20, 0x0000FF)});
         },
         {{15, 15, kBlue}}},
        {"one added at index 0 goes beneath",
         Timeline::Empty,
         [](Scene& s) {
             s.call(s.rootObject(), "addChild", {s.square(10, 10, 20, 0xFF0000)});
             s.call(s.rootObject(), "addChildAt",
                    {s.square(10, 10, 20, 0x0000FF), Value::integer(0)});
         },
         {{15, 15, kRed}}},
        {"alpha scales its colours",
         Timeline::Empty,
         [](Scene& s) {
             const Value sq = s.square(10, 10, 20, 0xFF0000);
             s.vm().set(sq, "alpha", Value::number(0.5));
             s.call(s.rootObject(), "addChild", {sq});
         },
         {{15, 15, 0x80800000}}},
        {"a colour transform tints it",
         Timeline::Empty,
         [](Scene& s) {
             const Value sq = s.square(10, 10, 20, 0xFF0000);
             Value blue[8] = {Value::integer(0),   Value::integer(0), Value::integer(0),
                              Value::integer(1),   Value::integer(0), Value::integer(0),
                              Value::integer(255), Value::integer(0)};
             const Value cx = Value::obj(s.vm().constructClass(
                 s.vm().builtin("flash.geom.ColorTransform"), avm2::Args(blue, 8)));
             s.vm().set(s.vm().get(sq, "transform"), "colorTransform", cx);
             s.call(s.rootObject(), "addChild", {sq});
         },
         {{15, 15, kBlue}}},
        {"a scroll rectangle shows its part at the origin, and nothing past it",
         Timeline::Empty,
         [](Scene& s) { scrolledSquare(s); },
         {{55, 5, kRed}, {65, 5, kNothing}}},

        {"a timeline clip's scroll rectangle",
         Timeline::SquareInClip,
         [](Scene& s) {
             s.vm().set(s.call(s.rootObject(), "getChildAt", {Value::integer(0)}), "scrollRect",
                        s.rectangle(20, 20, 100, 100));
         },
         {{5, 5, kRed}}},
        {"a bitmap shows its pixels",
         Timeline::Empty,
         [](Scene& s) {
             const Value data = s.make("flash.display.BitmapData",
                                       {Value::integer(10), Value::integer(10),
                                        Value::boolean(false), Value::integer(0x0000FF)});
             const Value bitmap = s.make("flash.display.Bitmap", {data});
             s.vm().set(bitmap, "y", Value::integer(50));
             s.call(s.rootObject(), "addChild", {bitmap});
         },
         {{5, 55, kBlue}}},
        {"the stage's own children go above the main timeline",
         Timeline::Empty,
         [](Scene& s) {
             s.call(s.stage(), "addChild", {s.square(10, 10, 20, 0x0000FF)});
             s.call(s.rootObject(), "addChild", {s.square(10, 10, 20, 0xFF0000)});
         },
         {{15, 15, kBlue}}},
        {"a timeline object a script removed is not drawn",
         Timeline::Square,
         [](Scene& s) {
             s.call(s.rootObject(), "removeChild",
                    {s.call(s.rootObject(), "getChildAt", {Value::integer(0)})});
         },
         {{15, 15, kNothing}}},
        {"a script's child goes above the timeline's",
         Timeline::Square,
         [](Scene& s) { s.call(s.rootObject(), "addChild", {s.square(10, 10, 20, 0x0000FF)}); },
         {{15, 15, kBlue}}},
        {"a timeline clip moved into a script's sprite moves with it, leaving where it stood",
         Timeline::SquareInClip,
         [](Scene& s) { moveClipIntoSprite(s); },
         {{115, 15, kRed}, {15, 15, kNothing}}},
        {"a moved timeline clip made invisible",
         Timeline::SquareInClip,
         [](Scene& s) {
             s.vm().set(s.call(moveClipIntoSprite(s), "getChildAt", {Value::integer(0)}), "visible",
                        Value::boolean(false));
         },
         {{115, 15, kNothing}}},
        {"a mask shows what it covers and hides the rest",
         Timeline::Empty,
         [](Scene& s) { maskedSquare(s, false); },
         {{15, 15, kRed}, {35, 35, kNothing}}},
        {"a mask on the display list is not drawn itself",
         Timeline::Empty,
         [](Scene& s) { maskedSquare(s, true); },
         {{15, 15, kRed}}},
        {"a timeline clip a script masks",
         Timeline::SquareInClip,
         [](Scene& s) {
             const Value mask = s.square(0, 0, 10, 0x0000FF);
             s.vm().set(s.call(s.rootObject(), "getChildAt", {Value::integer(0)}), "mask", mask);
         },
         {{25, 25, kNothing}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Scene scene([&r](swf::SwfWriter& w) {
            if (r.timeline == Timeline::Empty) {
                w.showFrame();
                w.showFrame();
            } else {
                timelineSquare(w, r.timeline == Timeline::SquareInClip);
            }
        });
        r.build(scene);
        const std::vector<std::uint32_t> picture = scene.draw();
        for (const Probe& probe : r.probes) {
            const std::uint32_t p = picture[static_cast<std::size_t>(probe.y * kWidth + probe.x)];
            SCOPED_TRACE(std::to_string(probe.x) + ", " + std::to_string(probe.y));
            EXPECT_NEAR(p >> 24, probe.expected >> 24, 1) << std::hex << p;
            EXPECT_NEAR((p >> 16) & 0xFF, (probe.expected >> 16) & 0xFF, 1) << std::hex << p;
            EXPECT_NEAR(p & 0xFF, probe.expected & 0xFF, 1) << std::hex << p;
        }
    }
}

} // namespace
} // namespace kinovex::flash
