#include "engine/avm1/ScriptTextFormat.h"

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptConversions.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/display/TextField.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kinovex::flash {

using avm1::Args;
using avm1::Object;
using avm1::Value;

namespace {

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

// What a TextFormat object changes: its members that are neither undefined nor null.
TextFormatChange formatChange(avm1::Vm& vm, const Value& fmt) {
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
    return change;
}

// new TextFormat(font, size, color, bold, italic, underline, url, target, align, ...): what is
// given becomes the object's properties, the rest is null.
void initTextFormat(avm1::Vm& vm, Object* self, Args args) {
    static constexpr const char* kNames[] = {
        "font",   "size",  "color",      "bold",        "italic", "underline", "url",
        "target", "align", "leftMargin", "rightMargin", "indent", "leading"};
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        vm.setMember(self, kNames[i], i < args.size() ? args[i] : Value::null());
    }
}

} // namespace

// A TextFormat object holding a run's character and paragraph format.
Value formatObject(avm1::Vm& vm, const CharFormat& c, const ParagraphFormat& para) {
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
}

// getTextFormat([index]): the format of the character at `index` (the first by default).
Value getTextFormat(avm1::Vm& vm, TextField& f, Args args) {
    const StyledText& t = f.content();
    if (t.formatOf.empty()) {
        return formatObject(vm, f.newTextFormat(), f.newParagraphFormat());
    }
    const double at = given(args, 0) ? vm.toNumber(args[0]) : 0;
    const std::size_t i = std::isfinite(at) && at > 0
                              ? std::min(static_cast<std::size_t>(at), t.formatOf.size() - 1)
                              : 0;
    const std::uint32_t fi = t.formatOf[i];
    return formatObject(vm, fi < t.formats.size() ? t.formats[fi] : f.newTextFormat(),
                        t.paragraphs.empty() ? f.newParagraphFormat() : t.paragraphs[0]);
}

// setTextFormat([begin, [end,]] format) and setNewTextFormat(format): the format is the last
// argument.
Value setTextFormat(avm1::Vm& vm, TextField& f, Args args, bool forNewText) {
    if (args.empty() || !args.back().isObject()) {
        return {};
    }
    const TextFormatChange change = formatChange(vm, args.back());
    if (forNewText) {
        f.setNewTextFormat(change);
        return {};
    }
    std::size_t begin = 0;
    std::size_t end = f.content().text.size();
    auto index = [&](const Value& x, std::size_t fallback) {
        const double d = vm.toNumber(x);
        return std::isfinite(d) && d >= 0 ? static_cast<std::size_t>(std::min(d, 1e9)) : fallback;
    };
    if (args.size() >= 2) {
        begin = index(args[0], 0);
        end = args.size() >= 3 ? index(args[1], end) : begin + 1;
    }
    f.setTextFormat(change, begin, end);
    return {};
}

void ScriptRuntime::installTextFormatClass() {
    avm1::defineHostClass(*m_vm, "TextFormat", initTextFormat);
}

} // namespace kinovex::flash
