#include "engine/avm1/ScriptDrawingMethods.h"

#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptConversions.h"
#include "engine/display/ScriptDrawing.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash::drawing {

using avm1::arg;
using avm1::Args;
using avm1::Value;

namespace {

std::uint8_t alphaByte(double percent) {
    if (!std::isfinite(percent)) {
        return 255;
    }
    return static_cast<std::uint8_t>(std::lround(std::clamp(percent, 0.0, 100.0) * 255.0 / 100.0));
}

// The elements of a script array (nothing for anything else).
std::vector<Value> elementsOf(const Value& v) {
    if (!v.isObject() || v.asObject()->objectClass() != avm1::ObjectClass::Array) {
        return {};
    }
    return v.asObject()->elements();
}

// A gradient's matrix from the square the file format defines gradients in (32768 twips across)
// to the clip's twips. Scripts give it either as a box to fit or as a matrix that places the
// square from (-1, -1) to (1, 1) in pixels.
bool gradientMatrix(avm1::Vm& vm, const Value& m, Matrix& out) {
    if (!m.isObject()) {
        return false;
    }
    auto number = [&](const char* name) { return vm.toNumber(vm.getMember(m, name)); };
    if (vm.toString(vm.getMember(m, "matrixType")) == "box") {
        const double x = number("x"), y = number("y"), w = number("w"), h = number("h");
        const double r = finiteOr(number("r"), 0);
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w) || !std::isfinite(h)) {
            return false;
        }
        const double sx = w / 1638.4, sy = h / 1638.4;
        out = Matrix{std::cos(r) * sx, std::sin(r) * sy, -std::sin(r) * sx,
                     std::cos(r) * sy, (x + w / 2) * 20, (y + h / 2) * 20};
        return true;
    }
    const double a = number("a"), b = number("b"), d = number("d"), e = number("e");
    const double g = number("g"), h = number("h");
    for (double v : {a, b, d, e, g, h}) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    const double k = 20.0 / 16384.0;
    out = Matrix{a * k, b * k, d * k, e * k, g * 20, h * 20};
    return true;
}

CapStyle capOf(const std::string& s) {
    if (s == "none") {
        return CapStyle::None;
    }
    return s == "square" ? CapStyle::Square : CapStyle::Round;
}

JoinStyle joinOf(const std::string& s) {
    if (s == "miter") {
        return JoinStyle::Miter;
    }
    return s == "bevel" ? JoinStyle::Bevel : JoinStyle::Round;
}

// The clip's drawing, made when it has none.
ScriptDrawing& drawingOf(TimelineInstance& clip) {
    if (!clip.drawing()) {
        clip.setDrawing(std::make_shared<ScriptDrawing>());
    }
    return *clip.drawing();
}

// lineStyle(thickness, rgb, alpha, pixelHinting, noScale, capsStyle, jointStyle, miterLimit);
// no thickness: no line.
std::optional<LineStyle> lineStyleOf(avm1::Vm& vm, Args args) {
    auto number = [&](std::size_t i) { return vm.toNumber(arg(args, i)); };
    if (!given(args, 0)) {
        return std::nullopt;
    }
    LineStyle line;
    const double thickness = std::clamp(finiteOr(number(0), 0), 0.0, 255.0);
    line.width = static_cast<std::uint16_t>(std::lround(thickness * 20));
    line.color = colorOf(rgbOf(vm, arg(args, 1)), given(args, 2) ? alphaByte(number(2)) : 255);
    if (given(args, 4)) {
        const std::string scale = vm.toString(args[4]);
        line.noHScale = scale == "none" || scale == "vertical";
        line.noVScale = scale == "none" || scale == "horizontal";
    }
    if (given(args, 5)) {
        line.startCap = line.endCap = capOf(vm.toString(args[5]));
    }
    if (given(args, 6)) {
        line.join = joinOf(vm.toString(args[6]));
    }
    if (given(args, 7)) {
        line.miterLimit = std::clamp(finiteOr(number(7), 3), 1.0, 255.0);
    }
    return line;
}

// beginGradientFill(type, colors, alphas, ratios, matrix, spreadMethod, interpolationMethod,
// focalPointRatio); a fill that cannot be made fills nothing.
std::optional<FillStyle> gradientFillOf(avm1::Vm& vm, Args args) {
    FillStyle fill;
    const std::string type = vm.toString(arg(args, 0));
    const std::vector<Value> colors = elementsOf(arg(args, 1));
    const std::vector<Value> alphas = elementsOf(arg(args, 2));
    const std::vector<Value> ratios = elementsOf(arg(args, 3));
    const std::size_t count =
        std::min({colors.size(), alphas.size(), ratios.size(), std::size_t{15}});
    if ((type != "linear" && type != "radial") || count == 0 ||
        !gradientMatrix(vm, arg(args, 4), fill.matrix)) {
        return std::nullopt;
    }
    fill.type = type == "linear" ? FillStyle::Type::Linear : FillStyle::Type::Radial;
    std::uint8_t last = 0;
    for (std::size_t i = 0; i < count; ++i) {
        // Ratios must not go back; one that does is taken as the one before it.
        const double r = std::clamp(finiteOr(vm.toNumber(ratios[i]), 0), 0.0, 255.0);
        last = std::max(last, static_cast<std::uint8_t>(std::lround(r)));
        fill.gradient.stops.push_back(
            GradientStop{last, colorOf(rgbOf(vm, colors[i]), alphaByte(vm.toNumber(alphas[i])))});
    }
    const std::string spread = given(args, 5) ? vm.toString(args[5]) : "pad";
    fill.gradient.spread = spread == "reflect"  ? SpreadMode::Reflect
                           : spread == "repeat" ? SpreadMode::Repeat
                                                : SpreadMode::Pad;
    if (given(args, 6) && vm.toString(args[6]) == "linearRGB") {
        fill.gradient.interpolation = Interpolation::LinearRgb;
    }
    if (fill.type == FillStyle::Type::Radial && given(args, 7)) {
        fill.type = FillStyle::Type::Focal;
        fill.gradient.focalPoint = std::clamp(finiteOr(vm.toNumber(arg(args, 7)), 0), -1.0, 1.0);
    }
    return fill;
}

} // namespace

Value clear(avm1::Vm&, TimelineInstance& clip, Args) {
    if (clip.drawing()) {
        clip.drawing()->clear();
    }
    return {};
}

Value lineStyle(avm1::Vm& vm, TimelineInstance& clip, Args args) {
    ScriptDrawing& d = drawingOf(clip);
    d.setLineStyle(lineStyleOf(vm, args));
    return {};
}

// beginFill(rgb, alpha); no colour: no fill.
Value beginFill(avm1::Vm& vm, TimelineInstance& clip, Args args) {
    ScriptDrawing& d = drawingOf(clip);
    if (!given(args, 0)) {
        d.beginFill(std::nullopt);
        return {};
    }
    FillStyle fill;
    fill.color =
        colorOf(rgbOf(vm, args[0]), given(args, 1) ? alphaByte(vm.toNumber(arg(args, 1))) : 255);
    d.beginFill(fill);
    return {};
}

Value beginGradientFill(avm1::Vm& vm, TimelineInstance& clip, Args args) {
    ScriptDrawing& d = drawingOf(clip);
    d.beginFill(gradientFillOf(vm, args));
    return {};
}

Value moveTo(avm1::Vm& vm, TimelineInstance& clip, Args args) {
    ScriptDrawing& d = drawingOf(clip);
    if (args.size() >= 2) {
        d.moveTo(vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1)));
    }
    return {};
}

Value lineTo(avm1::Vm& vm, TimelineInstance& clip, Args args) {
    ScriptDrawing& d = drawingOf(clip);
    if (args.size() >= 2) {
        d.lineTo(vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1)));
    }
    return {};
}

Value curveTo(avm1::Vm& vm, TimelineInstance& clip, Args args) {
    ScriptDrawing& d = drawingOf(clip);
    if (args.size() >= 4) {
        auto number = [&](std::size_t i) { return vm.toNumber(arg(args, i)); };
        d.curveTo(number(0), number(1), number(2), number(3));
    }
    return {};
}

Value endFill(avm1::Vm&, TimelineInstance& clip, Args) {
    drawingOf(clip).endFill();
    return {};
}

} // namespace kinovex::flash::drawing
