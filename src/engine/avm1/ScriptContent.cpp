// What scripts put into clips besides other clips: drawings (lineStyle, beginFill, lineTo ...),
// masks (setMask) and text fields (createTextField).

#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptConversions.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/definitions/Movie.h"
#include "engine/display/ScriptDrawing.h"
#include "engine/display/TextField.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace kinovex::flash {

using avm1::arg;
using avm1::ClipId;
using avm1::Object;
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

} // namespace

Value ScriptRuntime::contentMethod(TimelineInstance& c, std::string_view method,
                                   std::span<const Value> args) {
    avm1::Vm& vm = *m_vm;
    if (method == "setMask") {
        setMask(c, clipOfValue(arg(args, 0)));
        return Value(true);
    }
    if (method == "createTextField") {
        std::int32_t depth = 0;
        if (args.size() < 6 || !scriptDepthOf(vm.toNumber(args[1]), depth)) {
            return {};
        }
        if (!m_fieldDef) {
            // Flash's default format: 12-point Times New Roman in black, as a device font.
            m_fieldDef = std::make_unique<EditText>();
            m_fieldDef->height = 240;
            m_fieldDef->readOnly = false;
        }
        auto twips = [&](std::size_t i) {
            return std::round(std::clamp(finiteOr(vm.toNumber(args[i]), 0), -1e7, 1e7) * 20);
        };
        DisplayObject& obj = c.addObject(depth, *m_fieldDef, vm.toString(args[0]));
        obj.dynamic = true;
        obj.matrix = Matrix::translate(twips(2), twips(3));
        obj.textField = makeTextField(*m_fieldDef, m_movie);
        obj.textField->setSize(std::max(twips(4), 0.0), std::max(twips(5), 0.0));
        return Value(fieldObject(c, obj));
    }
    if (method == "clear" || method == "lineStyle" || method == "beginFill" ||
        method == "beginGradientFill" || method == "beginBitmapFill" || method == "moveTo" ||
        method == "lineTo" || method == "curveTo" || method == "endFill") {
        drawingCommand(c, method, args);
        return {};
    }
    const std::string key = "method " + std::string(method);
    if (m_reported.size() < 64 && m_reported.insert(key).second) {
        report("MovieClip." + std::string(method) + " is not supported");
    }
    return {};
}

void ScriptRuntime::drawingCommand(TimelineInstance& c, std::string_view method,
                                   std::span<const Value> args) {
    avm1::Vm& vm = *m_vm;
    if (!c.drawing()) {
        if (method == "clear") {
            return;
        }
        c.setDrawing(std::make_shared<ScriptDrawing>());
    }
    ScriptDrawing& d = *c.drawing();
    auto number = [&](std::size_t i) { return vm.toNumber(arg(args, i)); };
    if (method == "moveTo" || method == "lineTo") {
        if (args.size() < 2) {
            return;
        }
        if (method == "moveTo") {
            d.moveTo(number(0), number(1));
        } else {
            d.lineTo(number(0), number(1));
        }
        return;
    }
    if (method == "curveTo") {
        if (args.size() >= 4) {
            d.curveTo(number(0), number(1), number(2), number(3));
        }
        return;
    }
    if (method == "clear") {
        d.clear();
        return;
    }
    if (method == "endFill") {
        d.endFill();
        return;
    }
    if (method == "lineStyle") {
        if (!given(args, 0)) {
            d.setLineStyle(std::nullopt);
            return;
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
        d.setLineStyle(line);
        return;
    }
    if (method == "beginFill") {
        if (!given(args, 0)) {
            d.beginFill(std::nullopt);
            return;
        }
        FillStyle fill;
        fill.color = colorOf(rgbOf(vm, args[0]), given(args, 1) ? alphaByte(number(1)) : 255);
        d.beginFill(fill);
        return;
    }
    if (method == "beginGradientFill") {
        FillStyle fill;
        const std::string type = vm.toString(arg(args, 0));
        const std::vector<Value> colors = elementsOf(arg(args, 1));
        const std::vector<Value> alphas = elementsOf(arg(args, 2));
        const std::vector<Value> ratios = elementsOf(arg(args, 3));
        const std::size_t count =
            std::min({colors.size(), alphas.size(), ratios.size(), std::size_t{15}});
        if ((type != "linear" && type != "radial") || count == 0 ||
            !gradientMatrix(vm, arg(args, 4), fill.matrix)) {
            d.beginFill(std::nullopt); // a fill that cannot be made fills nothing
            return;
        }
        fill.type = type == "linear" ? FillStyle::Type::Linear : FillStyle::Type::Radial;
        std::uint8_t last = 0;
        for (std::size_t i = 0; i < count; ++i) {
            // Ratios must not go back; one that does is taken as the one before it.
            const double r = std::clamp(finiteOr(vm.toNumber(ratios[i]), 0), 0.0, 255.0);
            last = std::max(last, static_cast<std::uint8_t>(std::lround(r)));
            fill.gradient.stops.push_back(GradientStop{
                last, colorOf(rgbOf(vm, colors[i]), alphaByte(vm.toNumber(alphas[i])))});
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
            fill.gradient.focalPoint = std::clamp(finiteOr(number(7), 0), -1.0, 1.0);
        }
        d.beginFill(fill);
        return;
    }
    if (method == "beginBitmapFill") {
        // Bitmaps scripts make (BitmapData) do not exist here: the area is left unfilled.
        d.beginFill(std::nullopt);
        const std::string key = "method beginBitmapFill";
        if (m_reported.size() < 64 && m_reported.insert(key).second) {
            report("MovieClip.beginBitmapFill is not supported");
        }
    }
}

void ScriptRuntime::setMask(TimelineInstance& clip, TimelineInstance* mask) {
    // Each clip masks one clip at most and is masked by one at most: old pairs are undone.
    if (TimelineInstance* old = clip.scriptMask()) {
        old->setMaskedClip(nullptr);
        clip.setScriptMask(nullptr);
    }
    if (mask == nullptr || mask == &clip) {
        return;
    }
    if (TimelineInstance* before = mask->maskedClip()) {
        before->setScriptMask(nullptr);
    }
    clip.setScriptMask(mask);
    mask->setMaskedClip(&clip);
}

} // namespace kinovex::flash
