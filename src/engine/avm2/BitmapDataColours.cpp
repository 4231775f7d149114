// BitmapData.colorTransform, threshold and histogram: the colours of a region changed,
// tested or counted.

#include "engine/avm2/BitmapDataOps.h"
#include "engine/avm2/Builtins.h"

#include <array>
#include <cmath>

namespace kinovex::flash::avm2 {

namespace {

// colorTransform(rect, transform): each colour channel c of the region becomes
// c * multiplier + offset, within 0..255.
Value colorTransform(Machine& vm, Value s, Args args) {
    BitmapPixels& p = bitmapPixels(vm, s);
    const PixelRegion r = regionWithin(vm, arg(args, 0), p.width, p.height);
    const Value t = arg(args, 1);
    if (t.isNullish()) {
        nullParameter(vm, "colorTransform");
    }
    static constexpr const char* kNames[4][2] = {{"alphaMultiplier", "alphaOffset"},
                                                 {"redMultiplier", "redOffset"},
                                                 {"greenMultiplier", "greenOffset"},
                                                 {"blueMultiplier", "blueOffset"}};
    std::array<int, 4> mul{}, add{};
    for (std::size_t i = 0; i < 4; ++i) {
        mul[i] = static_cast<int>(vm.toNumber(vm.get(t, kNames[i][0])) * 256);
        add[i] = vm.toInt(vm.get(t, kNames[i][1]));
    }
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            const std::uint32_t c = unpremultiplied(p.at(x, y));
            std::uint32_t out = 0;
            for (int i = 0; i < 4; ++i) {
                const int shift = 24 - 8 * i;
                const int v = ((int((c >> shift) & 0xFF) * mul[i]) >> 8) + add[i];
                out |= static_cast<std::uint32_t>(std::clamp(v, 0, 255)) << shift;
            }
            p.at(x, y) = premultiplied(p.transparent ? out : out | 0xFF000000u);
        }
    }
    return Value();
}

enum class Test { Less, LessOrEqual, Greater, GreaterOrEqual, Equal, NotEqual };

Test thresholdTest(Machine& vm, const Value& operation) {
    if (operation.isNullish()) {
        nullParameter(vm, "operation");
    }
    const std::string op = vm.toString(operation);
    const std::pair<const char*, Test> known[] = {
        {"<", Test::Less},    {"<=", Test::LessOrEqual},
        {">", Test::Greater}, {">=", Test::GreaterOrEqual},
        {"==", Test::Equal},  {"!=", Test::NotEqual}};
    for (const auto& k : known) {
        if (op == k.first) {
            return k.second;
        }
    }
    vm.throwError("ArgumentError", 2005,
                  "Parameter 3 is of the incorrect type. Should be type Operation.");
}

bool passes(Test test, std::uint32_t v, std::uint32_t limit) {
    switch (test) {
    case Test::Less:
        return v < limit;
    case Test::LessOrEqual:
        return v <= limit;
    case Test::Greater:
        return v > limit;
    case Test::GreaterOrEqual:
        return v >= limit;
    case Test::Equal:
        return v == limit;
    case Test::NotEqual:
        return v != limit;
    }
    return false;
}

// threshold(source, rect, point, operation, threshold, color = 0, mask = 0xFFFFFFFF,
// copySource = false): the source pixels whose masked colour passes the test against the
// masked threshold paint `color` here; the others are copied when copySource is set. The
// count of those that passed.
Value threshold(Machine& vm, Value s, Args args) {
    BitmapPixels& dest = bitmapPixels(vm, s);
    BitmapPixels own;
    const BitmapPixels& source =
        unaliased(bitmapArgument(vm, arg(args, 0), "sourceBitmapData"), dest, own);
    const PixelRegion r = regionWithin(vm, arg(args, 1), source.width, source.height);
    const auto [px, py] = pointOf(vm, arg(args, 2));
    const Test test = thresholdTest(vm, arg(args, 3));
    const std::uint32_t mask = args.size() > 6 ? vm.toUint(args[6]) : 0xFFFFFFFFu;
    const std::uint32_t limit = vm.toUint(arg(args, 4)) & mask;
    const std::uint32_t color = vm.toUint(arg(args, 5));
    const bool copySource = Machine::toBoolean(arg(args, 7));
    int count = 0;
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            const int tx = px + x - r.x0, ty = py + y - r.y0;
            if (!dest.contains(tx, ty)) {
                continue;
            }
            const std::uint32_t c = unpremultiplied(source.get(x, y));
            if (passes(test, c & mask, limit)) {
                ++count;
                dest.at(tx, ty) = premultiplied(dest.transparent ? color : color | 0xFF000000u);
            } else if (copySource) {
                dest.at(tx, ty) = premultiplied(dest.transparent ? c : c | 0xFF000000u);
            }
        }
    }
    return Value::integer(count);
}

// histogram(rect = this.rect): for red, green, blue and alpha, how many pixels of the region
// have each of the 256 values.
Value histogram(Machine& vm, Value s, Args args) {
    const BitmapPixels& p = bitmapPixels(vm, s);
    PixelRegion r{0, 0, p.width, p.height};
    if (!arg(args, 0).isNullish()) {
        r = regionWithin(vm, args[0], p.width, p.height);
    }
    std::array<std::array<double, 256>, 4> counts{};
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            const std::uint32_t c = unpremultiplied(p.get(x, y));
            counts[0][(c >> 16) & 0xFF] += 1;
            counts[1][(c >> 8) & 0xFF] += 1;
            counts[2][c & 0xFF] += 1;
            counts[3][c >> 24] += 1;
        }
    }
    ClassInfo* numbers = vectorOf(vm, vm.numberClass);
    Object* all = vm.constructClass(vectorOf(vm, numbers), {});
    for (const auto& channel : counts) {
        Object* v = vm.constructClass(numbers, {});
        for (double n : channel) {
            v->elems.push_back(Value::number(n));
        }
        all->elems.push_back(Value::obj(v));
    }
    return Value::obj(all);
}

} // namespace

void installBitmapColours(Machine& m, ClassInfo* cls) {
    m.defineMethod(cls, "colorTransform", colorTransform, 2);
    m.defineMethod(cls, "threshold", threshold, 5);
    m.defineMethod(cls, "histogram", histogram);
}

} // namespace kinovex::flash::avm2
