#include "engine/avm1/ScriptTextFormat.h"

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/ScriptConversions.h"
#include "engine/avm1/ScriptRuntime.h"
#include "engine/avm1/TextFormatObject.h"
#include "engine/display/TextField.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

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

// The members a TextFormat reports for one character, in the order they are set. Lengths are
// in pixels. Kerning and letter spacing are members from version 8 on.
struct FormatMember {
    const char* name;
    Value value;
};

std::vector<FormatMember> formatMembers(int version, const CharFormat& c,
                                        const ParagraphFormat& para) {
    std::vector<FormatMember> m = {
        {"font", Value(c.face)},
        {"size", Value(c.size / 20.0)},
        {"color", Value(static_cast<double>(c.color.r << 16 | c.color.g << 8 | c.color.b))},
        {"bold", Value(c.bold)},
        {"italic", Value(c.italic)},
        {"underline", Value(c.underline)},
        {"url", Value(std::string())},
        {"target", Value(std::string())},
        {"align", Value(alignName(para.align))},
        {"leftMargin", Value(para.leftMargin / 20.0)},
        {"rightMargin", Value(para.rightMargin / 20.0)},
        {"indent", Value(para.indent / 20.0)},
        {"leading", Value(para.leading / 20.0)},
        {"blockIndent", Value(para.blockIndent / 20.0)},
        {"bullet", Value(para.bullet)},
        {"display", Value(std::string("block"))},
    };
    if (version >= 8) {
        m.push_back({"kerning", Value(c.kerning)});
        m.push_back({"letterSpacing", Value(c.letterSpacing / 20.0)});
    }
    return m;
}

bool sameMember(const Value& a, const Value& b) {
    if (a.isNumber() && b.isNumber()) {
        return a.asNumber() == b.asNumber();
    }
    if (a.isString() && b.isString()) {
        return a.asString() == b.asString();
    }
    if (a.isBool() && b.isBool()) {
        return a.asBool() == b.asBool();
    }
    return a.isNull() && b.isNull();
}

Object* newFormatObject(avm1::Vm& vm, const std::vector<FormatMember>& members) {
    Object* o = newTextFormat(vm);
    for (const FormatMember& m : members) {
        setFormatMember(vm, o, m.name, m.value);
    }
    clearTabStops(o);
    return o;
}

} // namespace

// A TextFormat object holding a run's character and paragraph format.
Value formatObject(avm1::Vm& vm, const CharFormat& c, const ParagraphFormat& para) {
    return Value(newFormatObject(vm, formatMembers(vm.version(), c, para)));
}

// getTextFormat([begin, [end]]): the format the characters in [begin, end) share; a member
// they differ in is null. No arguments cover the whole text, one the character at `begin`.
Value getTextFormat(avm1::Vm& vm, TextField& f, Args args) {
    const StyledText& t = f.content();
    const std::size_t size = t.formatOf.size();
    if (size == 0) {
        return formatObject(vm, f.newTextFormat(), f.newParagraphFormat());
    }
    // Positions are taken as whole numbers, then kept within the text; a range left empty
    // (one character before the start or past the end, or an end not after the begin) gives a
    // format with nothing set.
    auto position = [&](const Value& x) {
        return std::clamp(avm1::toInteger(vm.toNumber(x)), -1e9, 1e9);
    };
    const double from = given(args, 0) ? position(args[0]) : 0;
    const double to = given(args, 1)   ? position(args[1])
                      : given(args, 0) ? from + 1
                                       : static_cast<double>(size);
    const double clampedTo = std::min(to, static_cast<double>(size));
    if (clampedTo <= std::max(from, 0.0)) {
        return Value(newTextFormat(vm));
    }
    const auto begin = static_cast<std::size_t>(std::max(from, 0.0));
    const auto end = static_cast<std::size_t>(clampedTo);
    std::vector<FormatMember> shared;
    // From version 7 on, the line break that ends a paragraph reports the paragraph after it.
    const bool breakLeads = vm.version() >= 7;
    std::size_t paragraph = 0;
    for (std::size_t i = 0; i < end; ++i) {
        paragraph += breakLeads && t.text[i] == U'\n' ? 1 : 0;
        if (i >= begin) {
            const std::uint32_t fi = t.formatOf[i];
            const auto here = formatMembers(
                vm.version(), fi < t.formats.size() ? t.formats[fi] : f.newTextFormat(),
                paragraph < t.paragraphs.size() ? t.paragraphs[paragraph] : f.newParagraphFormat());
            if (shared.empty()) {
                shared = here;
            }
            for (std::size_t m = 0; m < shared.size(); ++m) {
                if (!sameMember(shared[m].value, here[m].value)) {
                    shared[m].value = Value::null();
                }
            }
        }
        paragraph += !breakLeads && t.text[i] == U'\n' ? 1 : 0;
    }
    return Value(newFormatObject(vm, shared));
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
    defineTextFormatClass(*m_vm);
}

} // namespace kinovex::flash
