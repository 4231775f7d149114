// flash.display.BitmapData: pixels a script makes, reads and paints, or those of the bitmap
// symbol its class is linked to.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"
#include "engine/avm2/BitmapDataOps.h"

#include "engine/media/BitmapDecoder.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash::display_natives {

using avm2::BitmapPixels;

namespace {

constexpr int kMaxSide = 8191;
constexpr long kMaxPixels = 16777215;

[[noreturn]] void invalid(Machine& vm) {
    vm.throwError("ArgumentError", 2015, "Invalid BitmapData.");
}

BitmapPixels& pixelsOf(Machine& vm, const Value& s) {
    return avm2::bitmapPixels(vm, s);
}

// The pixels of the bitmap symbol the class is linked to, if it is.
bool symbolPixels(Machine& vm, Object* o, BitmapPixels& out) {
    const Character* symbol = host(vm).linkedSymbol(o->cls);
    if (symbol == nullptr || symbol->kind != Character::Kind::Bitmap) {
        return false;
    }
    DecodedImage image;
    std::string error;
    if (decodeBitmap(*static_cast<const BitmapCharacter*>(symbol), image, error)) {
        out.width = image.width;
        out.height = image.height;
        out.argb = std::move(image.pixels);
    }
    return true;
}

// new BitmapData(width, height, transparent = true, fillColor = 0xFFFFFFFF)
Value bmdInit(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    auto pixels = std::make_shared<BitmapPixels>();
    pixels->transparent = args.size() < 3 || Machine::toBoolean(args[2]);
    if (!symbolPixels(vm, o, *pixels)) {
        const std::int32_t w = vm.toInt(avm2::arg(args, 0));
        const std::int32_t h = vm.toInt(avm2::arg(args, 1));
        if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide || long{w} * h > kMaxPixels) {
            invalid(vm);
        }
        std::uint32_t fill = args.size() > 3 ? vm.toUint(args[3]) : 0xFFFFFFFFu;
        if (!pixels->transparent) {
            fill |= 0xFF000000u;
        }
        pixels->width = w;
        pixels->height = h;
        pixels->argb.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h),
                            avm2::premultiplied(fill));
    }
    o->pixels = std::move(pixels);
    return Value();
}

Value bmdWidth(Machine& vm, Value s, Args) {
    return Value::integer(pixelsOf(vm, s).width);
}
Value bmdHeight(Machine& vm, Value s, Args) {
    return Value::integer(pixelsOf(vm, s).height);
}
Value bmdTransparent(Machine& vm, Value s, Args) {
    return Value::boolean(pixelsOf(vm, s).transparent);
}
Value bmdRect(Machine& vm, Value s, Args) {
    const BitmapPixels& p = pixelsOf(vm, s);
    Value a[4] = {Value::integer(0), Value::integer(0), Value::integer(p.width),
                  Value::integer(p.height)};
    return vm.construct(vm.getDefinitionByName("flash.geom.Rectangle"), Args(a, 4));
}

std::uint32_t colorAt(Machine& vm, const Value& s, Args args) {
    BitmapPixels& p = pixelsOf(vm, s);
    const int x = vm.toInt(avm2::arg(args, 0)), y = vm.toInt(avm2::arg(args, 1));
    return p.contains(x, y) ? avm2::unpremultiplied(p.at(x, y)) : 0;
}
Value bmdGetPixel(Machine& vm, Value s, Args args) {
    return Value::number(colorAt(vm, s, args) & 0xFFFFFF);
}
Value bmdGetPixel32(Machine& vm, Value s, Args args) {
    return Value::number(colorAt(vm, s, args));
}

void put(BitmapPixels& p, int x, int y, std::uint32_t argb) {
    if (p.contains(x, y)) {
        p.at(x, y) = avm2::premultiplied(p.transparent ? argb : argb | 0xFF000000u);
    }
}
Value bmdSetPixel32(Machine& vm, Value s, Args args) {
    BitmapPixels& p = pixelsOf(vm, s);
    put(p, vm.toInt(avm2::arg(args, 0)), vm.toInt(avm2::arg(args, 1)),
        vm.toUint(avm2::arg(args, 2)));
    return Value();
}
// setPixel keeps the pixel's alpha.
Value bmdSetPixel(Machine& vm, Value s, Args args) {
    BitmapPixels& p = pixelsOf(vm, s);
    const int x = vm.toInt(avm2::arg(args, 0)), y = vm.toInt(avm2::arg(args, 1));
    if (p.contains(x, y)) {
        const std::uint32_t alpha = avm2::unpremultiplied(p.at(x, y)) & 0xFF000000u;
        put(p, x, y, alpha | (vm.toUint(avm2::arg(args, 2)) & 0xFFFFFF));
    }
    return Value();
}

// fillRect(rect, color): the part of the rectangle within the bitmap.
Value bmdFillRect(Machine& vm, Value s, Args args) {
    BitmapPixels& p = pixelsOf(vm, s);
    const avm2::PixelRegion r = avm2::regionWithin(vm, avm2::arg(args, 0), p.width, p.height);
    const std::uint32_t color = vm.toUint(avm2::arg(args, 1));
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            put(p, x, y, color);
        }
    }
    return Value();
}

// floodFill(x, y, color): the pixels of the start pixel's colour that reach it through their
// four neighbours take the colour.
Value bmdFloodFill(Machine& vm, Value s, Args args) {
    BitmapPixels& p = pixelsOf(vm, s);
    const int x = vm.toInt(avm2::arg(args, 0)), y = vm.toInt(avm2::arg(args, 1));
    if (!p.contains(x, y)) {
        return Value();
    }
    const std::uint32_t from = p.at(x, y);
    put(p, x, y, vm.toUint(avm2::arg(args, 2)));
    const std::uint32_t to = p.at(x, y);
    if (to == from) {
        return Value();
    }
    std::vector<std::pair<int, int>> todo{{x, y}};
    while (!todo.empty()) {
        const auto [cx, cy] = todo.back();
        todo.pop_back();
        const std::pair<int, int> next[4] = {
            {cx + 1, cy}, {cx - 1, cy}, {cx, cy + 1}, {cx, cy - 1}};
        for (const auto& [nx, ny] : next) {
            if (p.contains(nx, ny) && p.at(nx, ny) == from) {
                p.at(nx, ny) = to;
                todo.emplace_back(nx, ny);
            }
        }
    }
    return Value();
}

Value bmdDispose(Machine& vm, Value s, Args) {
    self(vm, s)->pixels.reset();
    return Value();
}
Value bmdClone(Machine& vm, Value s, Args) {
    const BitmapPixels& p = pixelsOf(vm, s);
    Object* copy = vm.newObject(vm.builtin("flash.display.BitmapData"));
    copy->pixels = std::make_shared<BitmapPixels>(p);
    return Value::obj(copy);
}

} // namespace

Value symbolBitmapData(Machine& vm, Object* linked) {
    auto pixels = std::make_shared<BitmapPixels>();
    if (!symbolPixels(vm, linked, *pixels)) {
        return Value::null();
    }
    Object* data = vm.newObject(vm.builtin("flash.display.BitmapData"));
    data->pixels = std::move(pixels);
    return Value::obj(data);
}

ClassInfo* installBitmapDataClass(Machine& m) {
    ClassInfo* cls = m.defineNativeClass("flash.display", "BitmapData", m.objectClass);
    cls->nativeInit = bmdInit;
    m.defineGetter(cls, "width", bmdWidth);
    m.defineGetter(cls, "height", bmdHeight);
    m.defineGetter(cls, "transparent", bmdTransparent);
    m.defineGetter(cls, "rect", bmdRect);
    m.defineMethod(cls, "getPixel", bmdGetPixel, 2);
    m.defineMethod(cls, "getPixel32", bmdGetPixel32, 2);
    m.defineMethod(cls, "setPixel", bmdSetPixel, 3);
    m.defineMethod(cls, "setPixel32", bmdSetPixel32, 3);
    m.defineMethod(cls, "fillRect", bmdFillRect, 2);
    m.defineMethod(cls, "floodFill", bmdFloodFill, 3);
    m.defineMethod(cls, "dispose", bmdDispose);
    m.defineMethod(cls, "clone", bmdClone);
    m.defineMethod(cls, "lock", doIgnore);
    m.defineMethod(cls, "unlock", doIgnore);
    avm2::installBitmapCopies(m, cls);
    avm2::installBitmapColours(m, cls);
    avm2::installBitmapVectors(m, cls);
    avm2::installBitmapMixes(m, cls);
    avm2::installBitmapHits(m, cls);
    return cls;
}

} // namespace kinovex::flash::display_natives

namespace kinovex::flash::avm2 {

BitmapPixels& bitmapPixels(Machine& vm, const Value& data) {
    Object* o = display_natives::self(vm, data);
    if (!o->pixels) {
        display_natives::invalid(vm);
    }
    return *o->pixels;
}

BitmapPixels& bitmapArgument(Machine& vm, const Value& data, const char* name) {
    if (data.isNullish()) {
        nullParameter(vm, name);
    }
    return bitmapPixels(vm, data);
}

void nullParameter(Machine& vm, const char* name) {
    vm.throwError("TypeError", 2007, std::string("Parameter ") + name + " must be non-null.");
}

PixelRegion regionWithin(Machine& vm, const Value& rect, int width, int height) {
    if (rect.isNullish()) {
        nullParameter(vm, "rect");
    }
    const double x = vm.toNumber(vm.get(rect, "x")), y = vm.toNumber(vm.get(rect, "y"));
    const double w = vm.toNumber(vm.get(rect, "width")), h = vm.toNumber(vm.get(rect, "height"));
    const auto whole = [](double v, int limit) {
        return std::isnan(v) ? 0 : static_cast<int>(std::clamp(std::trunc(v), 0.0, double(limit)));
    };
    return {whole(x, width), whole(y, height), whole(x + w, width), whole(y + h, height)};
}

CopyArea copyArea(Machine& vm, const BitmapPixels& source, const BitmapPixels& dest,
                  const Value& rect, const Value& point) {
    CopyArea a{regionWithin(vm, rect, source.width, source.height)};
    const double rx = vm.toNumber(vm.get(rect, "x")), ry = vm.toNumber(vm.get(rect, "y"));
    const auto [px, py] = pointOf(vm, point);
    // Parts of the rectangle outside the source still shift the destination.
    a.dx = px - static_cast<int>(std::isnan(rx) ? 0 : rx);
    a.dy = py - static_cast<int>(std::isnan(ry) ? 0 : ry);
    a.from.x0 = std::max(a.from.x0, -a.dx);
    a.from.y0 = std::max(a.from.y0, -a.dy);
    a.from.x1 = std::min(a.from.x1, dest.width - a.dx);
    a.from.y1 = std::min(a.from.y1, dest.height - a.dy);
    return a;
}

std::pair<int, int> pointOf(Machine& vm, const Value& point) {
    if (point.isNullish()) {
        return {0, 0};
    }
    return {vm.toInt(vm.get(point, "x")), vm.toInt(vm.get(point, "y"))};
}

} // namespace kinovex::flash::avm2
