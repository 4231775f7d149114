// BitmapData.hitTest: whether this bitmap, placed at a point, has a pixel at least as opaque
// as a threshold under a point, within a rectangle, or where another bitmap's are.

#include "engine/avm2/BitmapDataOps.h"

namespace kinovex::flash::avm2 {

namespace {

bool opaqueAt(const BitmapPixels& p, int x, int y, std::uint32_t threshold) {
    return p.contains(x, y) && (p.get(x, y) >> 24) >= threshold;
}

bool instanceOf(Machine& vm, const Value& v, const char* cls) {
    ClassInfo* c = vm.builtin(cls);
    return c != nullptr && vm.isInstance(v, c);
}

// Two bitmaps, the second at (dx, dy) in the first's pixels: a pixel of both opaque enough.
bool bitmapsMeet(const BitmapPixels& a, std::uint32_t aThreshold, const BitmapPixels& b,
                 std::uint32_t bThreshold, int dx, int dy) {
    const int x0 = std::max(0, dx), y0 = std::max(0, dy);
    const int x1 = std::min(a.width, dx + b.width), y1 = std::min(a.height, dy + b.height);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (opaqueAt(a, x, y, aThreshold) && opaqueAt(b, x - dx, y - dy, bThreshold)) {
                return true;
            }
        }
    }
    return false;
}

// hitTest(firstPoint, firstAlphaThreshold, secondObject, secondBitmapDataPoint = null,
// secondAlphaThreshold = 1): secondObject a Point, a Rectangle, a BitmapData or a Bitmap.
Value hitTest(Machine& vm, Value s, Args args) {
    const BitmapPixels& p = bitmapPixels(vm, s);
    if (arg(args, 0).isNullish()) {
        nullParameter(vm, "firstPoint");
    }
    const auto [fx, fy] = pointOf(vm, args[0]);
    const std::uint32_t threshold = vm.toUint(arg(args, 1));
    Value other = arg(args, 2);
    if (other.isNullish()) {
        nullParameter(vm, "secondObject");
    }
    if (instanceOf(vm, other, "flash.geom.Point")) {
        const auto [x, y] = pointOf(vm, other);
        return Value::boolean(opaqueAt(p, x - fx, y - fy, threshold));
    }
    if (instanceOf(vm, other, "flash.geom.Rectangle")) {
        const double x = vm.toNumber(vm.get(other, "x")) - fx;
        const double y = vm.toNumber(vm.get(other, "y")) - fy;
        Value moved[4] = {Value::number(x), Value::number(y), vm.get(other, "width"),
                          vm.get(other, "height")};
        const Value rect =
            vm.construct(vm.getDefinitionByName("flash.geom.Rectangle"), Args(moved, 4));
        const PixelRegion r = regionWithin(vm, rect, p.width, p.height);
        BitmapPixels whole{r.width(), r.height(), true, {}};
        whole.argb.assign(std::size_t(r.width()) * std::size_t(r.height()), 0xFF000000u);
        return Value::boolean(bitmapsMeet(p, threshold, whole, 1, r.x0, r.y0));
    }
    if (instanceOf(vm, other, "flash.display.Bitmap")) {
        other = vm.get(other, "bitmapData");
    }
    if (!instanceOf(vm, other, "flash.display.BitmapData")) {
        vm.throwError("TypeError", 2005,
                      "Parameter 0 is of the incorrect type. Should be type BitmapData.");
    }
    const BitmapPixels& second = bitmapPixels(vm, other);
    const auto [sx, sy] = pointOf(vm, arg(args, 3));
    const std::uint32_t secondThreshold = args.size() > 4 ? vm.toUint(args[4]) : 1;
    return Value::boolean(bitmapsMeet(p, threshold, second, secondThreshold, sx - fx, sy - fy));
}

} // namespace

void installBitmapHits(Machine& m, ClassInfo* cls) {
    m.defineMethod(cls, "hitTest", hitTest, 3);
}

} // namespace kinovex::flash::avm2
