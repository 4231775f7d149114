// BitmapData.copyPixels, copyChannel and scroll: pixels moved from one place to another.

#include "engine/avm2/BitmapDataOps.h"

#include <cmath>

namespace kinovex::flash::avm2 {

namespace {

std::uint32_t scaled(std::uint32_t argb, std::uint32_t by) {
    const auto part = [&](int shift) { return (((argb >> shift) & 0xFF) * by / 255) << shift; };
    return part(24) | part(16) | part(8) | part(0);
}

// `over` drawn on `under`, both premultiplied.
std::uint32_t blended(std::uint32_t over, std::uint32_t under) {
    const std::uint32_t keep = 255 - (over >> 24);
    const auto part = [&](int shift) {
        const std::uint32_t v = ((over >> shift) & 0xFF) + ((under >> shift) & 0xFF) * keep / 255;
        return std::min<std::uint32_t>(v, 255) << shift;
    };
    return part(24) | part(16) | part(8) | part(0);
}

// copyPixels(source, rect, point, alphaBitmap = null, alphaPoint = null, mergeAlpha = false)
Value copyPixels(Machine& vm, Value s, Args args) {
    const CopyBitmaps bitmaps(vm, s, arg(args, 0));
    BitmapPixels& dest = bitmaps.dest;
    const BitmapPixels& source = bitmaps.source;
    if (arg(args, 1).isNullish()) {
        nullParameter(vm, "sourceRect");
    }
    if (arg(args, 2).isNullish()) {
        nullParameter(vm, "destPoint");
    }
    const CopyArea a = copyArea(vm, source, dest, arg(args, 1), arg(args, 2));
    const BitmapPixels* alpha = arg(args, 3).isNullish() ? nullptr : &bitmapPixels(vm, args[3]);
    const auto [ax, ay] = pointOf(vm, arg(args, 4));
    const double rx = vm.toNumber(vm.get(args[1], "x")), ry = vm.toNumber(vm.get(args[1], "y"));
    const bool merge = Machine::toBoolean(arg(args, 5)) && source.transparent;
    for (int y = a.from.y0; y < a.from.y1; ++y) {
        for (int x = a.from.x0; x < a.from.x1; ++x) {
            std::uint32_t c = source.get(x, y);
            if (alpha != nullptr) {
                const int mx = ax + x - static_cast<int>(rx), my = ay + y - static_cast<int>(ry);
                c = scaled(c, alpha->contains(mx, my) ? alpha->get(mx, my) >> 24 : 0);
            }
            std::uint32_t& out = dest.at(x + a.dx, y + a.dy);
            out = merge || alpha != nullptr ? blended(c, out) : c;
            if (!dest.transparent) {
                out |= 0xFF000000u;
            }
        }
    }
    return Value();
}

// copyChannel(source, rect, point, sourceChannel, destChannel): one channel (1 red, 2 green,
// 4 blue, 8 alpha) of the source's colours written into another of this bitmap's.
int channelShift(std::uint32_t channel) {
    switch (channel) {
    case 1:
        return 16;
    case 2:
        return 8;
    case 4:
        return 0;
    case 8:
        return 24;
    default:
        return -1;
    }
}

Value copyChannel(Machine& vm, Value s, Args args) {
    const CopyBitmaps bitmaps(vm, s, arg(args, 0));
    BitmapPixels& dest = bitmaps.dest;
    const BitmapPixels& source = bitmaps.source;
    if (arg(args, 2).isNullish()) {
        nullParameter(vm, "destPoint");
    }
    const CopyArea a = copyArea(vm, source, dest, arg(args, 1), arg(args, 2));
    const int from = channelShift(vm.toUint(arg(args, 3)));
    const int to = channelShift(vm.toUint(arg(args, 4)));
    if (from < 0 || to < 0 || (to == 24 && !dest.transparent)) {
        return Value();
    }
    for (int y = a.from.y0; y < a.from.y1; ++y) {
        for (int x = a.from.x0; x < a.from.x1; ++x) {
            const std::uint32_t c = unpremultiplied(source.get(x, y));
            std::uint32_t& out = dest.at(x + a.dx, y + a.dy);
            const std::uint32_t was = dest.transparent ? unpremultiplied(out) : out;
            const std::uint32_t v = (c >> from) & 0xFF;
            out = premultiplied((was & ~(0xFFu << to)) | (v << to));
        }
    }
    return Value();
}

// scroll(dx, dy): the pixels move; those uncovered keep their colour.
Value scroll(Machine& vm, Value s, Args args) {
    BitmapPixels& p = bitmapPixels(vm, s);
    const int dx = vm.toInt(arg(args, 0)), dy = vm.toInt(arg(args, 1));
    const std::vector<std::uint32_t> was = p.argb;
    for (int y = std::max(dy, 0); y < std::min(p.height, p.height + dy); ++y) {
        for (int x = std::max(dx, 0); x < std::min(p.width, p.width + dx); ++x) {
            p.at(x, y) = was[std::size_t(y - dy) * std::size_t(p.width) + (x - dx)];
        }
    }
    return Value();
}

} // namespace

void installBitmapCopies(Machine& m, ClassInfo* cls) {
    m.defineMethod(cls, "copyPixels", copyPixels, 3);
    m.defineMethod(cls, "copyChannel", copyChannel, 5);
    m.defineMethod(cls, "scroll", scroll, 2);
}

} // namespace kinovex::flash::avm2
