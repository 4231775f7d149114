// What scripts put into clips besides other clips: drawings (lineStyle, beginFill, lineTo ...),
// masks (setMask) and text fields (createTextField), and the TextField and TextFormat objects
// scripts use on fields.

#include "engine/avm1/Object.h"
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

bool given(std::span<const Value> args, std::size_t i) {
    return i < args.size() && !args[i].isUndefined() && !args[i].isNull();
}

std::uint8_t alphaByte(double percent) {
    if (!std::isfinite(percent)) {
        return 255;
    }
    return static_cast<std::uint8_t>(std::lround(std::clamp(percent, 0.0, 100.0) * 255.0 / 100.0));
}

Rgba colorOf(std::uint32_t rgb, std::uint8_t alpha) {
    return Rgba{static_cast<std::uint8_t>(rgb >> 16 & 255),
                static_cast<std::uint8_t>(rgb >> 8 & 255), static_cast<std::uint8_t>(rgb & 255),
                alpha};
}

std::uint32_t rgbOf(avm1::Vm& vm, const Value& v) {
    return avm1::toUint32(vm.toNumber(v)) & 0xFFFFFF;
}

double finiteOr(double v, double fallback) {
    return std::isfinite(v) ? v : fallback;
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

std::string alignName(TextAlign a) {
    switch (a) {
    case TextAlign::Right:
        return "right";
    case TextAlign::Center:
        return "center";
    case TextAlign::Justify:
        return "justify";
    case TextAlign::Left:
        break;
    }
    return "left";
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

// ---- text fields ----

Object* ScriptRuntime::fieldObject(TimelineInstance& parent, DisplayObject& obj) {
    if (!obj.textField) {
        return nullptr;
    }
    auto known = m_objectOfField.find(obj.textField.get());
    if (known != m_objectOfField.end()) {
        // A new field may stand where one that went stood, before the gone ones are dropped.
        auto ref = m_fieldObjects.find(known->second);
        if (ref != m_fieldObjects.end() && ref->second.field.lock() == obj.textField) {
            return known->second;
        }
        if (ref != m_fieldObjects.end()) {
            m_vm->release(ref->first);
            m_fieldObjects.erase(ref);
        }
        m_objectOfField.erase(known);
    }
    avm1::Vm& vm = *m_vm;
    Object* proto = nullptr;
    const Value ctor = vm.getMember(Value(vm.global()), "TextField");
    if (ctor.isObject()) {
        const Value p = vm.getMember(ctor, "prototype");
        proto = p.isObject() ? p.asObject() : nullptr;
    }
    Object* o = vm.newObject(proto);
    o->setHostClass("TextField");
    vm.keepAlive(o);
    m_fieldObjects.emplace(o, FieldRef{parent.clipId(), obj.textField});
    m_objectOfField.emplace(obj.textField.get(), o);
    return o;
}

DisplayObject* ScriptRuntime::fieldOf(Object* self, TimelineInstance** parentOut) const {
    auto it = m_fieldObjects.find(self);
    if (it == m_fieldObjects.end()) {
        return nullptr;
    }
    const std::shared_ptr<TextField> field = it->second.field.lock();
    TimelineInstance* parent = clip(it->second.parent);
    if (!field || parent == nullptr) {
        return nullptr;
    }
    for (auto& [depth, obj] : parent->displayList()) {
        if (obj.textField == field) {
            if (parentOut != nullptr) {
                *parentOut = parent;
            }
            return &obj;
        }
    }
    return nullptr;
}

void ScriptRuntime::dropGoneFields() {
    for (auto it = m_fieldObjects.begin(); it != m_fieldObjects.end();) {
        // The display object holds the only reference to its field: expired means it went.
        if (it->second.field.expired()) {
            std::erase_if(m_objectOfField, [&](const auto& e) { return e.second == it->first; });
            m_vm->release(it->first);
            it = m_fieldObjects.erase(it);
        } else {
            ++it;
        }
    }
}

Object* ScriptRuntime::childObject(ClipId parentId, std::string_view name, bool caseSensitive) {
    TimelineInstance* parent = clip(parentId);
    if (parent == nullptr) {
        return nullptr;
    }
    for (auto& [depth, obj] : parent->displayList()) {
        if (!obj.textField || obj.name.size() != name.size()) {
            continue;
        }
        const bool same =
            caseSensitive
                ? obj.name == name
                : std::equal(obj.name.begin(), obj.name.end(), name.begin(), [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                  });
        if (same) {
            return fieldObject(*parent, obj);
        }
    }
    return nullptr;
}

Value ScriptRuntime::textFieldMethod(Object* self, std::string_view method,
                                     std::span<const Value> args) {
    avm1::Vm& vm = *m_vm;
    TimelineInstance* parent = nullptr;
    DisplayObject* obj = fieldOf(self, &parent);
    if (obj == nullptr || !obj->textField) {
        return {};
    }
    TextField& f = *obj->textField;
    const Value v = arg(args, 0);
    if (method.starts_with("get:")) {
        const std::string_view p = method.substr(4);
        const Rect box = f.box();
        if (p == "text") {
            return Value(f.text());
        }
        if (p == "htmlText") {
            return Value(f.htmlText());
        }
        if (p == "html") {
            return Value(f.html());
        }
        if (p == "multiline") {
            return Value(f.multiline());
        }
        if (p == "wordWrap") {
            return Value(f.wordWrap());
        }
        if (p == "border") {
            return Value(f.border());
        }
        if (p == "background") {
            return Value(f.background());
        }
        auto rgb = [](Rgba c) { return Value(static_cast<double>(c.r << 16 | c.g << 8 | c.b)); };
        if (p == "backgroundColor") {
            return rgb(f.backgroundColor());
        }
        if (p == "borderColor") {
            return rgb(f.borderColor());
        }
        if (p == "textColor") {
            return rgb(f.textColor());
        }
        if (p == "autoSize") {
            return f.autoSize() ? Value("left") : Value("none");
        }
        if (p == "selectable") {
            return Value(f.definition().selectable);
        }
        if (p == "variable") {
            return f.variable().empty() ? Value::null() : Value(f.variable());
        }
        if (p == "password") {
            return Value(f.password());
        }
        if (p == "type") {
            return Value(f.definition().readOnly ? "dynamic" : "input");
        }
        if (p == "embedFonts") {
            return Value(f.definition().useOutlines);
        }
        if (p == "length") {
            return Value(static_cast<double>(f.content().text.size()));
        }
        if (p == "scroll") {
            return Value(static_cast<double>(f.scroll()));
        }
        if (p == "_x") {
            return Value(obj->matrix.tx / 20.0);
        }
        if (p == "_y") {
            return Value(obj->matrix.ty / 20.0);
        }
        if (p == "_width") {
            return Value(box.width() * std::hypot(obj->matrix.a, obj->matrix.b) / 20.0);
        }
        if (p == "_height") {
            return Value(box.height() * std::hypot(obj->matrix.c, obj->matrix.d) / 20.0);
        }
        if (p == "_visible") {
            return Value(obj->visible);
        }
        if (p == "_alpha") {
            return Value(obj->colorTransform.aMult * 100.0);
        }
        if (p == "_name") {
            return Value(obj->name);
        }
        return {};
    }
    if (method.starts_with("set:")) {
        const std::string_view p = method.substr(4);
        const double n = vm.toNumber(v);
        auto color = [&]() { return colorOf(rgbOf(vm, v), 255); };
        if (p == "text") {
            f.setText(vm.toString(v));
        } else if (p == "htmlText") {
            f.setHtmlText(vm.toString(v));
        } else if (p == "html") {
            f.setHtml(vm.toBoolean(v));
        } else if (p == "multiline") {
            f.setMultiline(vm.toBoolean(v));
        } else if (p == "wordWrap") {
            f.setWordWrap(vm.toBoolean(v));
        } else if (p == "border") {
            f.setBorder(vm.toBoolean(v));
        } else if (p == "background") {
            f.setBackground(vm.toBoolean(v));
        } else if (p == "backgroundColor") {
            f.setBackgroundColor(color());
        } else if (p == "borderColor") {
            f.setBorderColor(color());
        } else if (p == "textColor") {
            f.setTextColor(color());
        } else if (p == "autoSize") {
            // true, "left", "center" and "right" all size the field to its text.
            const bool on =
                v.isString() ? v.asString() != "none" && !v.asString().empty() : vm.toBoolean(v);
            f.setAutoSize(on);
        } else if (p == "variable") {
            f.setVariable(v.isUndefined() || v.isNull() ? std::string() : vm.toString(v));
        } else if (p == "password") {
            f.setPassword(vm.toBoolean(v));
        } else if (p == "scroll") {
            if (std::isfinite(n)) {
                f.setScroll(static_cast<int>(std::clamp(n, 1.0, 1e6)));
            }
        } else if (p == "_x" || p == "_y") {
            if (std::isfinite(n)) {
                (p == "_x" ? obj->matrix.tx : obj->matrix.ty) =
                    std::round(std::clamp(n, -1e7, 1e7) * 20);
            }
        } else if (p == "_width" || p == "_height") {
            if (std::isfinite(n) && n >= 0) {
                const Rect box = f.box();
                const double twips = std::round(std::min(n, 1e7) * 20);
                if (p == "_width") {
                    f.setSize(twips, box.height());
                } else {
                    f.setSize(box.width(), twips);
                }
            }
        } else if (p == "_visible") {
            obj->visible = vm.toBoolean(v);
        } else if (p == "_alpha") {
            if (std::isfinite(n)) {
                obj->colorTransform.aMult = std::trunc(n * 256.0 / 100.0) / 256.0;
            }
        } else if (p == "_name") {
            obj->name = vm.toString(v);
        }
        return {};
    }
    if (method == "getDepth") {
        return Value(static_cast<double>(obj->depth - kScriptDepthBase));
    }
    if (method == "removeTextField") {
        if (parent != nullptr && obj->depth >= kScriptDepthBase) {
            parent->removeObject(obj->depth);
            dropGoneFields();
        }
        return {};
    }
    auto formatObject = [&](const CharFormat& c, const ParagraphFormat& para) {
        Object* o = vm.newObject();
        const Value ctor = vm.getMember(Value(vm.global()), "TextFormat");
        if (ctor.isObject()) {
            const Value proto = vm.getMember(ctor, "prototype");
            if (proto.isObject()) {
                o->setProto(proto.asObject());
            }
        }
        o->setHostClass("TextFormat");
        vm.setMember(o, "font", Value(c.face));
        vm.setMember(o, "size", Value(c.size / 20.0));
        vm.setMember(o, "color",
                     Value(static_cast<double>(c.color.r << 16 | c.color.g << 8 | c.color.b)));
        vm.setMember(o, "bold", Value(c.bold));
        vm.setMember(o, "italic", Value(c.italic));
        vm.setMember(o, "underline", Value(c.underline));
        vm.setMember(o, "align", Value(alignName(para.align)));
        return Value(o);
    };
    if (method == "getNewTextFormat") {
        return formatObject(f.newTextFormat(), f.newParagraphFormat());
    }
    if (method == "getTextFormat") {
        const StyledText& t = f.content();
        if (t.formatOf.empty()) {
            return formatObject(f.newTextFormat(), f.newParagraphFormat());
        }
        const double at = given(args, 0) ? vm.toNumber(args[0]) : 0;
        const std::size_t i = std::isfinite(at) && at > 0
                                  ? std::min(static_cast<std::size_t>(at), t.formatOf.size() - 1)
                                  : 0;
        const std::uint32_t fi = t.formatOf[i];
        return formatObject(fi < t.formats.size() ? t.formats[fi] : f.newTextFormat(),
                            t.paragraphs.empty() ? f.newParagraphFormat() : t.paragraphs[0]);
    }
    if (method == "setTextFormat" || method == "setNewTextFormat") {
        // setTextFormat([begin, [end,]] format): the format is the last argument.
        if (args.empty() || !args.back().isObject()) {
            return {};
        }
        const Value fmt = args.back();
        TextFormatChange change;
        auto member = [&](const char* name) {
            const Value m = vm.getMember(fmt, name);
            return m.isUndefined() || m.isNull() ? std::optional<Value>() : std::optional(m);
        };
        if (auto m = member("font")) {
            change.face = vm.toString(*m);
        }
        if (auto m = member("size")) {
            const double size = vm.toNumber(*m);
            if (std::isfinite(size)) {
                change.size = std::clamp(size, 0.0, 1000.0) * 20;
            }
        }
        if (auto m = member("color")) {
            change.color = colorOf(rgbOf(vm, *m), 255);
        }
        if (auto m = member("bold")) {
            change.bold = vm.toBoolean(*m);
        }
        if (auto m = member("italic")) {
            change.italic = vm.toBoolean(*m);
        }
        if (auto m = member("underline")) {
            change.underline = vm.toBoolean(*m);
        }
        if (auto m = member("align")) {
            const std::string a = vm.toString(*m);
            if (a == "left") {
                change.align = TextAlign::Left;
            } else if (a == "right") {
                change.align = TextAlign::Right;
            } else if (a == "center") {
                change.align = TextAlign::Center;
            } else if (a == "justify") {
                change.align = TextAlign::Justify;
            }
        }
        if (method == "setNewTextFormat") {
            f.setNewTextFormat(change);
            return {};
        }
        std::size_t begin = 0;
        std::size_t end = f.content().text.size();
        auto index = [&](const Value& x, std::size_t fallback) {
            const double d = vm.toNumber(x);
            return std::isfinite(d) && d >= 0 ? static_cast<std::size_t>(std::min(d, 1e9))
                                              : fallback;
        };
        if (args.size() >= 2) {
            begin = index(args[0], 0);
            end = args.size() >= 3 ? index(args[1], end) : begin + 1;
        }
        f.setTextFormat(change, begin, end);
        return {};
    }
    return {};
}

Value ScriptRuntime::textFormatMethod(Object* self, std::string_view method,
                                      std::span<const Value> args) {
    if (method != "constructor" || self == nullptr) {
        return {};
    }
    // new TextFormat(font, size, color, bold, italic, underline, url, target, align, ...):
    // what is given becomes the object's properties, the rest is null.
    avm1::Vm& vm = *m_vm;
    static constexpr const char* kNames[] = {
        "font",   "size",  "color",      "bold",        "italic", "underline", "url",
        "target", "align", "leftMargin", "rightMargin", "indent", "leading"};
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        vm.setMember(self, kNames[i], i < args.size() ? args[i] : Value::null());
    }
    return {};
}

} // namespace kinovex::flash
