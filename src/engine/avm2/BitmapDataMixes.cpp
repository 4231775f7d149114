// BitmapData.merge and paletteMap: a source region's colours mixed into this bitmap's, or
// looked up in tables of colours.

#include "engine/avm2/BitmapDataOps.h"

#include <array>

namespace kinovex::flash::avm2 {

namespace {

// merge(source, rect, point, redMultiplier, greenMultiplier, blueMultiplier, alphaMultiplier):
// each channel becomes (source * m + this * (256 - m)) / 256.
Value merge(Machine& vm, Value s, Args args) {
    const CopyBitmaps bitmaps(vm, s, arg(args, 0));
    BitmapPixels& dest = bitmaps.dest;
    const BitmapPixels& source = bitmaps.source;
    const CopyArea a = copyArea(vm, source, dest, arg(args, 1), arg(args, 2));
    // By shift: alpha, red, green, blue.
    const int shifts[4] = {24, 16, 8, 0};
    const std::uint32_t mult[4] = {vm.toUint(arg(args, 6)), vm.toUint(arg(args, 3)),
                                   vm.toUint(arg(args, 4)), vm.toUint(arg(args, 5))};
    for (int y = a.from.y0; y < a.from.y1; ++y) {
        for (int x = a.from.x0; x < a.from.x1; ++x) {
            const std::uint32_t from = unpremultiplied(source.get(x, y));
            std::uint32_t& out = dest.at(x + a.dx, y + a.dy);
            const std::uint32_t was = unpremultiplied(out);
            std::uint32_t c = 0;
            for (int i = 0; i < 4; ++i) {
                const std::uint32_t sc = (from >> shifts[i]) & 0xFF, dc = (was >> shifts[i]) & 0xFF;
                const std::uint32_t v = (sc * mult[i] + dc * (256 - mult[i])) / 256;
                c |= (v & 0xFF) << shifts[i];
            }
            out = premultiplied(dest.transparent ? c : c | 0xFF000000u);
        }
    }
    return Value();
}

// One of paletteMap's tables: the array's 256 entries, or the channel's own value in its place
// when no array is given.
std::array<std::uint32_t, 256> paletteTable(Machine& vm, const Value& array, int shift) {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        table[i] = i << shift;
    }
    if (array.isObject() && array.o->kind == ObjKind::Array) {
        const std::vector<Value>& e = array.o->elems;
        for (std::size_t i = 0; i < 256 && i < e.size(); ++i) {
            table[i] = vm.toUint(e[i].isHole() ? Value() : e[i]);
        }
    }
    return table;
}

// paletteMap(source, rect, point, redArray, greenArray, blueArray, alphaArray): each pixel
// becomes the sum of the four tables' entries for its channels.
Value paletteMap(Machine& vm, Value s, Args args) {
    const CopyBitmaps bitmaps(vm, s, arg(args, 0));
    BitmapPixels& dest = bitmaps.dest;
    const BitmapPixels& source = bitmaps.source;
    const CopyArea a = copyArea(vm, source, dest, arg(args, 1), arg(args, 2));
    const auto red = paletteTable(vm, arg(args, 3), 16);
    const auto green = paletteTable(vm, arg(args, 4), 8);
    const auto blue = paletteTable(vm, arg(args, 5), 0);
    const auto alpha = paletteTable(vm, arg(args, 6), 24);
    for (int y = a.from.y0; y < a.from.y1; ++y) {
        for (int x = a.from.x0; x < a.from.x1; ++x) {
            const std::uint32_t c = unpremultiplied(source.get(x, y));
            const std::uint32_t sum =
                red[(c >> 16) & 0xFF] + green[(c >> 8) & 0xFF] + blue[c & 0xFF] + alpha[c >> 24];
            dest.at(x + a.dx, y + a.dy) = premultiplied(dest.transparent ? sum : sum | 0xFF000000u);
        }
    }
    return Value();
}

} // namespace

void installBitmapMixes(Machine& m, ClassInfo* cls) {
    m.defineMethod(cls, "merge", merge, 7);
    m.defineMethod(cls, "paletteMap", paletteMap, 3);
}

} // namespace kinovex::flash::avm2
