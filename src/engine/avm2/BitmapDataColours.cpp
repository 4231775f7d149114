// BitmapData.colorTransform, threshold, histogram, getColorBoundsRect and noise: the colours
// of a region changed, tested, counted, found or made up.

#include "engine/avm2/BitmapDataOps.h"
#include "engine/avm2/Builtins.h"
#include "engine/avm2/Geom.h"

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
    const CopyBitmaps bitmaps(vm, s, arg(args, 0));
    BitmapPixels& dest = bitmaps.dest;
    const BitmapPixels& source = bitmaps.source;
    const CopyArea a = copyArea(vm, source, dest, arg(args, 1), arg(args, 2));
    const Test test = thresholdTest(vm, arg(args, 3));
    const std::uint32_t mask = args.size() > 6 ? vm.toUint(args[6]) : 0xFFFFFFFFu;
    const std::uint32_t limit = vm.toUint(arg(args, 4)) & mask;
    const std::uint32_t color = vm.toUint(arg(args, 5));
    const bool copySource = Machine::toBoolean(arg(args, 7));
    int count = 0;
    for (int y = a.from.y0; y < a.from.y1; ++y) {
        for (int x = a.from.x0; x < a.from.x1; ++x) {
            const int tx = x + a.dx, ty = y + a.dy;
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

// The player's noise source: a Park-Miller generator started from the script's seed.
class NoiseSource {
public:
    explicit NoiseSource(std::int32_t seed)
        : m_state(static_cast<std::uint32_t>(seed <= 0 ? -(std::int64_t{seed}) + 1 : seed) %
                  kModulus) {
        if (m_state == 0) {
            m_state = 1;
        }
    }
    int between(int low, int high) {
        m_state = static_cast<std::uint32_t>(std::uint64_t{m_state} * 16807 % kModulus);
        return high <= low ? low : low + static_cast<int>(m_state % std::uint32_t(high - low + 1));
    }

private:
    static constexpr std::uint32_t kModulus = 2147483647;
    std::uint32_t m_state;
};

// noise(seed, low = 0, high = 255, channels = 7, grayScale = false): random values between
// low and high in the chosen channels (1 red, 2 green, 4 blue, 8 alpha), or one grey value for
// the three colours; the colours not chosen are 0, an alpha not chosen 255.
Value noise(Machine& vm, Value s, Args args) {
    BitmapPixels& p = bitmapPixels(vm, s);
    NoiseSource random(vm.toInt(arg(args, 0)));
    const int low = args.size() > 1 ? std::clamp(vm.toInt(args[1]), 0, 255) : 0;
    const int high = args.size() > 2 ? std::clamp(vm.toInt(args[2]), 0, 255) : 255;
    const std::uint32_t channels = args.size() > 3 ? vm.toUint(args[3]) : 7;
    const bool grey = Machine::toBoolean(arg(args, 4));
    for (std::uint32_t& pixel : p.argb) {
        std::uint32_t c = 0;
        if (grey) {
            const auto v = static_cast<std::uint32_t>(random.between(low, high));
            c = v << 16 | v << 8 | v;
        } else {
            for (int i = 0; i < 3; ++i) {
                if ((channels & (1u << i)) != 0) {
                    c |= static_cast<std::uint32_t>(random.between(low, high)) << (16 - 8 * i);
                }
            }
        }
        const bool alpha = (channels & 8u) != 0 && p.transparent;
        c |= (alpha ? static_cast<std::uint32_t>(random.between(low, high)) : 255u) << 24;
        pixel = premultiplied(c);
    }
    return Value();
}

// getColorBoundsRect(mask, color, findColor = true): the smallest rectangle holding every
// pixel whose masked colour is `color` (or, with findColor false, is not).
Value getColorBoundsRect(Machine& vm, Value s, Args args) {
    const BitmapPixels& p = bitmapPixels(vm, s);
    const std::uint32_t mask = vm.toUint(arg(args, 0));
    const std::uint32_t color = vm.toUint(arg(args, 1));
    const bool find = args.size() < 3 || Machine::toBoolean(args[2]);
    PixelRegion found{p.width, p.height, 0, 0};
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            if (((unpremultiplied(p.get(x, y)) & mask) == color) == find) {
                found = {std::min(found.x0, x), std::min(found.y0, y), std::max(found.x1, x + 1),
                         std::max(found.y1, y + 1)};
            }
        }
    }
    // The player takes a match of the first pixel alone for none.
    if (found.empty() || (found.x1 == 1 && found.y1 == 1)) {
        found = PixelRegion{};
    }
    return Value::obj(newRectangle(vm, found.x0, found.y0, found.width(), found.height()));
}

} // namespace

void installBitmapColours(Machine& m, ClassInfo* cls) {
    m.defineMethod(cls, "colorTransform", colorTransform, 2);
    m.defineMethod(cls, "threshold", threshold, 5);
    m.defineMethod(cls, "histogram", histogram);
    m.defineMethod(cls, "noise", noise, 1);
    m.defineMethod(cls, "getColorBoundsRect", getColorBoundsRect, 2);
}

} // namespace kinovex::flash::avm2
