// flash.display.Graphics: what a script draws into a Shape, Sprite or MovieClip. A clip's
// drawing is the clip's own (shown beneath its children, as AS2 drawings are); an object a
// script made keeps its drawing on its script object.

#include "engine/avm2/DisplayNatives.h"

#include "engine/display/ScriptDrawing.h"
#include "engine/display/Timeline.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kinovex::flash::display_natives {

namespace {

ScriptDrawing& drawingOf(Object* owner) {
    if (owner->clip != nullptr) {
        if (!owner->clip->drawing()) {
            owner->clip->setDrawing(std::make_shared<ScriptDrawing>());
        }
        return *owner->clip->drawing();
    }
    if (!owner->drawing) {
        owner->drawing = std::make_shared<ScriptDrawing>();
    }
    return *owner->drawing;
}

// The drawing of the display object a Graphics object belongs to.
ScriptDrawing& drawing(Machine& vm, const Value& s) {
    const Value owner = hidden(self(vm, s), "owner");
    if (!owner.isObject()) {
        vm.throwError("ArgumentError", 2012, "Graphics$ class cannot be instantiated.");
    }
    return drawingOf(owner.o);
}

double number(Machine& vm, Args args, std::size_t i) {
    return vm.toNumber(avm2::arg(args, i));
}

// A colour as scripts give it (0xRRGGBB) with an alpha of 0 to 1.
Rgba colorOf(Machine& vm, Args args, std::size_t rgb, std::size_t alpha) {
    const std::uint32_t c = vm.toUint(avm2::arg(args, rgb));
    double a = alpha < args.size() ? vm.toNumber(args[alpha]) : 1.0;
    a = std::isnan(a) ? 0 : std::clamp(a, 0.0, 1.0);
    return Rgba{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(std::lround(a * 255))};
}

Value graphicsOf(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    Value g = hidden(o, "graphics");
    if (!g.isObject()) {
        g = Value::obj(vm.newObject(vm.builtin("flash.display.Graphics")));
        setHidden(g.o, "owner", Value::obj(o));
        setHidden(o, "graphics", g);
    }
    return g;
}

Value gClear(Machine& vm, Value s, Args) {
    drawing(vm, s).clear();
    return Value();
}
Value gBeginFill(Machine& vm, Value s, Args args) {
    FillStyle fill;
    fill.color = colorOf(vm, args, 0, 1);
    drawing(vm, s).beginFill(fill);
    return Value();
}
Value gEndFill(Machine& vm, Value s, Args) {
    drawing(vm, s).endFill();
    return Value();
}
// lineStyle(thickness, color, alpha, ...): no thickness (or NaN) draws no line.
Value gLineStyle(Machine& vm, Value s, Args args) {
    const double thickness = number(vm, args, 0);
    if (std::isnan(thickness)) {
        drawing(vm, s).setLineStyle(std::nullopt);
        return Value();
    }
    LineStyle line;
    line.width = static_cast<std::uint16_t>(std::lround(std::clamp(thickness, 0.0, 255.0) * 20));
    line.color = colorOf(vm, args, 1, 2);
    drawing(vm, s).setLineStyle(line);
    return Value();
}
Value gMoveTo(Machine& vm, Value s, Args args) {
    drawing(vm, s).moveTo(number(vm, args, 0), number(vm, args, 1));
    return Value();
}
Value gLineTo(Machine& vm, Value s, Args args) {
    drawing(vm, s).lineTo(number(vm, args, 0), number(vm, args, 1));
    return Value();
}
Value gCurveTo(Machine& vm, Value s, Args args) {
    drawing(vm, s).curveTo(number(vm, args, 0), number(vm, args, 1), number(vm, args, 2),
                           number(vm, args, 3));
    return Value();
}

void rect(ScriptDrawing& d, double x, double y, double w, double h) {
    d.moveTo(x, y);
    d.lineTo(x + w, y);
    d.lineTo(x + w, y + h);
    d.lineTo(x, y + h);
    d.lineTo(x, y);
}
Value gDrawRect(Machine& vm, Value s, Args args) {
    rect(drawing(vm, s), number(vm, args, 0), number(vm, args, 1), number(vm, args, 2),
         number(vm, args, 3));
    return Value();
}

// An ellipse in the box, as eight quadratic curves starting from its right end.
void ellipse(ScriptDrawing& d, double x, double y, double w, double h) {
    const double rx = w / 2, ry = h / 2, cx = x + rx, cy = y + ry;
    constexpr double kStep = std::numbers::pi / 4;
    const double k = 1 / std::cos(kStep / 2);
    d.moveTo(cx + rx, cy);
    for (int i = 1; i <= 8; ++i) {
        const double mid = (i - 0.5) * kStep, end = i * kStep;
        d.curveTo(cx + rx * k * std::cos(mid), cy + ry * k * std::sin(mid), cx + rx * std::cos(end),
                  cy + ry * std::sin(end));
    }
}
Value gDrawEllipse(Machine& vm, Value s, Args args) {
    ellipse(drawing(vm, s), number(vm, args, 0), number(vm, args, 1), number(vm, args, 2),
            number(vm, args, 3));
    return Value();
}
Value gDrawCircle(Machine& vm, Value s, Args args) {
    const double r = number(vm, args, 2);
    ellipse(drawing(vm, s), number(vm, args, 0) - r, number(vm, args, 1) - r, 2 * r, 2 * r);
    return Value();
}
// drawRoundRect(x, y, w, h, ellipseWidth, ellipseHeight): corners of a quarter ellipse each.
Value gDrawRoundRect(Machine& vm, Value s, Args args) {
    ScriptDrawing& d = drawing(vm, s);
    const double x = number(vm, args, 0), y = number(vm, args, 1);
    const double w = number(vm, args, 2), h = number(vm, args, 3);
    const double ew = number(vm, args, 4);
    const double eh = args.size() > 5 && !args[5].isNullish() ? number(vm, args, 5) : ew;
    const double rx = std::clamp(std::isnan(ew) ? 0.0 : ew / 2, 0.0, w / 2);
    const double ry = std::clamp(std::isnan(eh) ? 0.0 : eh / 2, 0.0, h / 2);
    if (rx <= 0 || ry <= 0) {
        rect(d, x, y, w, h);
        return Value();
    }
    d.moveTo(x + w, y + h - ry);
    d.curveTo(x + w, y + h, x + w - rx, y + h);
    d.lineTo(x + rx, y + h);
    d.curveTo(x, y + h, x, y + h - ry);
    d.lineTo(x, y + ry);
    d.curveTo(x, y, x + rx, y);
    d.lineTo(x + w - rx, y);
    d.curveTo(x + w, y, x + w, y + ry);
    d.lineTo(x + w, y + h - ry);
    return Value();
}

// The elements of an array a script gives (nothing for anything else).
std::vector<Value> elementsOf(Machine& vm, const Value& v) {
    std::vector<Value> out;
    if (v.isObject()) {
        const std::uint32_t n = vm.toUint(vm.get(v, "length"));
        for (std::uint32_t i = 0; i < n; ++i) {
            out.push_back(vm.get(v, std::to_string(i)));
        }
    }
    return out;
}

// A gradient's matrix takes its square (819.2 pixels each way from its centre) to the
// object's pixels; the drawing's is in twips. None given: the square as it is.
Matrix gradientMatrix(Machine& vm, const Value& m) {
    if (!m.isObject()) {
        return Matrix{1, 0, 0, 1, 0, 0};
    }
    const auto n = [&](const char* name) { return vm.toNumber(vm.get(m, name)); };
    return Matrix{n("a"), n("b"), n("c"), n("d"), n("tx") * 20, n("ty") * 20};
}

// beginGradientFill(type, colors, alphas, ratios, matrix, spreadMethod, interpolationMethod,
// focalPointRatio): as many stops as the shortest list has (15 at most), ratios never going
// back.
Value gBeginGradientFill(Machine& vm, Value s, Args args) {
    ScriptDrawing& d = drawing(vm, s);
    const std::string type = vm.toString(avm2::arg(args, 0));
    if (type != "linear" && type != "radial") {
        vm.throwError("ArgumentError", 2008, "Parameter type must be one of the accepted values.");
    }
    const std::vector<Value> colors = elementsOf(vm, avm2::arg(args, 1));
    const std::vector<Value> alphas = elementsOf(vm, avm2::arg(args, 2));
    const std::vector<Value> ratios = elementsOf(vm, avm2::arg(args, 3));
    const std::size_t count =
        std::min({colors.size(), alphas.size(), ratios.size(), std::size_t{15}});
    FillStyle fill;
    fill.type = type == "linear" ? FillStyle::Type::Linear : FillStyle::Type::Radial;
    fill.matrix = gradientMatrix(vm, avm2::arg(args, 4));
    std::uint8_t last = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double r = vm.toNumber(ratios[i]);
        last = std::max(last, static_cast<std::uint8_t>(
                                  std::lround(std::isnan(r) ? 0 : std::clamp(r, 0.0, 255.0))));
        Value c[2] = {colors[i], alphas[i]};
        fill.gradient.stops.push_back(GradientStop{last, colorOf(vm, Args(c, 2), 0, 1)});
    }
    const std::string spread = args.size() > 5 ? vm.toString(args[5]) : "pad";
    fill.gradient.spread = spread == "reflect"  ? SpreadMode::Reflect
                           : spread == "repeat" ? SpreadMode::Repeat
                                                : SpreadMode::Pad;
    if (args.size() > 6 && vm.toString(args[6]) == "linearRGB") {
        fill.gradient.interpolation = Interpolation::LinearRgb;
    }
    const double focal = args.size() > 7 ? vm.toNumber(args[7]) : 0;
    if (fill.type == FillStyle::Type::Radial && focal != 0 && !std::isnan(focal)) {
        fill.type = FillStyle::Type::Focal;
        fill.gradient.focalPoint = std::clamp(focal, -1.0, 1.0);
    }
    d.beginFill(count > 0 ? std::optional<FillStyle>(fill) : std::nullopt);
    return Value();
}

Value gNotMade(Machine& vm, Value, Args) {
    vm.throwError("ArgumentError", 2012, "Graphics$ class cannot be instantiated.");
}

} // namespace

void installGraphicsClass(Machine& m, ClassInfo* shape, ClassInfo* sprite) {
    ClassInfo* graphics = m.defineNativeClass("flash.display", "Graphics", m.objectClass);
    graphics->isFinal = true;
    graphics->nativeInit = gNotMade;
    m.defineMethod(graphics, "clear", gClear);
    m.defineMethod(graphics, "beginFill", gBeginFill, 2);
    m.defineMethod(graphics, "beginGradientFill", gBeginGradientFill, 8);
    m.defineMethod(graphics, "endFill", gEndFill);
    m.defineMethod(graphics, "lineStyle", gLineStyle, 8);
    m.defineMethod(graphics, "moveTo", gMoveTo, 2);
    m.defineMethod(graphics, "lineTo", gLineTo, 2);
    m.defineMethod(graphics, "curveTo", gCurveTo, 4);
    m.defineMethod(graphics, "drawRect", gDrawRect, 4);
    m.defineMethod(graphics, "drawEllipse", gDrawEllipse, 4);
    m.defineMethod(graphics, "drawCircle", gDrawCircle, 3);
    m.defineMethod(graphics, "drawRoundRect", gDrawRoundRect, 6);
    m.defineGetter(shape, "graphics", graphicsOf);
    m.defineGetter(sprite, "graphics", graphicsOf);
}

} // namespace kinovex::flash::display_natives
