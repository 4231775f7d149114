#include "engine/avm1/ScriptStyleSheet.h"

#include "engine/avm1/CssParser.h"
#include "engine/avm1/LoadableObjects.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/TextFormatObject.h"
#include "engine/swf/PercentEncoding.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace kinovex::flash::avm1 {

namespace {

// A CSS value as text. An object gives what its toString returns when that is text, and
// "[type Object]" when it returns anything else or has no toString; a clip gives its path.
std::string cssText(Vm& vm, const Value& v) {
    if (!v.isObject() || v.asObject()->objectClass() == ObjectClass::Clip) {
        return vm.toString(v);
    }
    const Value method = vm.getMember(v, "toString");
    if (method.isObject() && method.asObject()->function()) {
        const Value text = vm.call(method, v, {});
        if (text.isString()) {
            return text.asString();
        }
    }
    return "[type Object]";
}

// parseColor(text): "#RRGGBB" exactly gives the colour as a number; anything else null.
Value parseColor(Vm& vm, const Value&, Args args) {
    if (args.empty() || args[0].isUndefined()) {
        return Value::null();
    }
    const std::string text = cssText(vm, args[0]);
    if (text.size() != 7 || text[0] != '#') {
        return Value::null();
    }
    double rgb = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const int d = hexDigit(text[i]);
        if (d < 0) {
            return Value::null();
        }
        rgb = rgb * 16 + d;
    }
    return Value(rgb);
}

bool sameIgnoringAsciiCase(const std::string& a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != b[i]) {
            return false;
        }
    }
    return true;
}

// parseCSSFontFamily(name): CSS's generic families become the player's device fonts; any other
// name comes back as it is.
Value parseFontFamily(Vm& vm, const Value&, Args args) {
    if (args.empty() || args[0].isNullish()) {
        return args.empty() ? Value() : args[0];
    }
    const std::string name = cssText(vm, args[0]);
    static constexpr std::pair<std::string_view, const char*> kFamilies[] = {
        {"mono", "_typewriter"}, {"sans-serif", "_sans"}, {"serif", "_serif"}};
    for (const auto& [family, device] : kFamilies) {
        if (sameIgnoringAsciiCase(name, family)) {
            return Value(device);
        }
    }
    return Value(name);
}

// The styles a StyleSheet keeps as objects of their own under _css (made when first needed),
// and the TextFormats made from them under _styles.
Object* memberObject(Vm& vm, const Value& self, const char* name) {
    if (!self.isObject()) {
        return nullptr;
    }
    const Value held = vm.getMember(self, name);
    if (held.isObject()) {
        return held.asObject();
    }
    Object* made = vm.newObject();
    vm.setMember(self, name, Value(made));
    return made;
}

// _copy(o): a new object with o's members; null for anything but an object.
Value copyStyle(Vm& vm, const Value&, Args args) {
    const Value o = arg(args, 0);
    if (!o.isObject() || o.asObject()->function() ||
        o.asObject()->objectClass() == ObjectClass::Clip) {
        return Value::null();
    }
    Object* copy = vm.newObject();
    for (const std::string& name : vm.enumerate(o.asObject())) {
        vm.setMember(copy, name, vm.getMember(o, name));
    }
    return Value(copy);
}

// parseCSSInternal(text): an object with an object of declarations for each selector; null when
// the text is not CSS the player takes.
Value parseCssInternal(Vm& vm, const Value&, Args args) {
    if (args.empty()) {
        return {};
    }
    const auto styles = parseCss(vm.toString(args[0]), vm.version());
    if (!styles) {
        return Value::null();
    }
    Object* out = vm.newObject();
    for (const CssStyle& style : *styles) {
        Object* declarations = vm.newObject();
        for (const auto& [name, value] : style.declarations) {
            vm.setMember(declarations, name, Value(value));
        }
        vm.setMember(out, style.selector, Value(declarations));
    }
    return Value(out);
}

// The leading number of a CSS length ("12px"), if there is one.
std::optional<double> cssNumber(const std::string& text) {
    char* end = nullptr;
    const double n = std::strtod(text.c_str(), &end);
    return end != text.c_str() && std::isfinite(n) ? std::optional(n) : std::nullopt;
}

// transform(style): the TextFormat a style stands for; null for anything but an object.
Value transformStyle(Vm& vm, const Value&, Args args) {
    const Value style = arg(args, 0);
    if (!style.isObject()) {
        return Value::null();
    }
    Object* format = kinovex::flash::newTextFormat(vm);
    auto text = [&](const char* name) -> std::optional<std::string> {
        const Value v = vm.getMember(style, name);
        return v.isUndefined() ? std::nullopt : std::optional(vm.toString(v));
    };
    auto set = [&](const char* member, const Value& v) { setFormatMember(vm, format, member, v); };
    if (auto v = text("color")) {
        set("color", parseColor(vm, style, std::span<const Value>(std::array{Value(*v)})));
    }
    if (auto v = text("fontFamily")) {
        set("font", parseFontFamily(vm, style, std::span<const Value>(std::array{Value(*v)})));
    }
    const std::pair<const char*, const char*> kLengths[] = {
        {"fontSize", "size"},     {"marginLeft", "leftMargin"}, {"marginRight", "rightMargin"},
        {"textIndent", "indent"}, {"leading", "leading"},       {"letterSpacing", "letterSpacing"}};
    for (const auto& [css, member] : kLengths) {
        if (auto v = text(css); v && cssNumber(*v)) {
            set(member, Value(*cssNumber(*v)));
        }
    }
    const std::pair<const char*, const char*> kWords[] = {{"textAlign", "align"},
                                                          {"display", "display"}};
    for (const auto& [css, member] : kWords) {
        if (auto v = text(css)) {
            set(member, Value(*v));
        }
    }
    const std::tuple<const char*, const char*, const char*> kFlags[] = {
        {"fontWeight", "bold", "bold"},
        {"fontStyle", "italic", "italic"},
        {"textDecoration", "underline", "underline"},
        {"kerning", "true", "kerning"}};
    for (const auto& [css, word, member] : kFlags) {
        if (auto v = text(css)) {
            set(member, Value(*v == word));
        }
    }
    return Value(format);
}

// doTransform(name): keeps the TextFormat of style `name` under _styles.
void keepFormat(Vm& vm, const Value& self, const std::string& name) {
    Object* css = memberObject(vm, self, "_css");
    Object* styles = memberObject(vm, self, "_styles");
    if (css != nullptr && styles != nullptr) {
        const Value style = vm.getMember(Value(css), name);
        vm.setMember(styles, name, transformStyle(vm, self, std::span<const Value>(&style, 1)));
    }
}

// parse(text): the styles of CSS text join the sheet's, each replacing one of its name; false
// (and nothing changed) when the text is not CSS the player takes.
Value parseStyles(Vm& vm, const Value& self, Args args) {
    const Value parsed = parseCssInternal(vm, self, args);
    Object* css = memberObject(vm, self, "_css");
    if (!parsed.isObject() || css == nullptr) {
        return Value(false);
    }
    for (const std::string& name : vm.enumerate(parsed.asObject())) {
        const Value style = vm.getMember(parsed, name);
        vm.setMember(css, name, copyStyle(vm, self, std::span<const Value>(&style, 1)));
        keepFormat(vm, self, name);
    }
    return Value(true);
}

void defineStyleMethods(Vm& vm, Object* proto) {
    constexpr PropFlags kHidden = kDontEnum | kDontDelete;
    auto script = [&](const char* name, NativeFunction f) {
        vm.setFunction(proto, name, std::move(f), kHidden);
        giveScriptPrototype(vm, proto, name);
    };
    script("_copy", copyStyle);
    script("clear", [](Vm& v, const Value& self, Args) {
        if (self.isObject()) {
            v.setMember(self.asObject(), "_css", Value(v.newObject()));
            v.setMember(self.asObject(), "_styles", Value(v.newObject()));
        }
        return Value();
    });
    script("getStyle", [](Vm& v, const Value& self, Args args) {
        Object* css = memberObject(v, self, "_css");
        const Value style = css != nullptr && !args.empty()
                                ? v.getMember(Value(css), v.toString(args[0]))
                                : Value();
        return copyStyle(v, self, std::span<const Value>(&style, 1));
    });
    script("getStyleNames", [](Vm& v, const Value& self, Args) {
        std::vector<Value> names;
        if (Object* css = memberObject(v, self, "_css")) {
            for (const std::string& name : v.enumerate(css)) {
                names.emplace_back(name);
            }
        }
        return Value(v.newArray(std::move(names)));
    });
    script("setStyle", [](Vm& v, const Value& self, Args args) {
        Object* css = memberObject(v, self, "_css");
        if (css != nullptr && !args.empty()) {
            const std::string name = v.toString(args[0]);
            v.setMember(css, name,
                        copyStyle(v, self, args.subspan(std::min<std::size_t>(1, args.size()))));
            keepFormat(v, self, name);
        }
        return Value();
    });
    script("doTransform", [](Vm& v, const Value& self, Args args) {
        if (!args.empty()) {
            keepFormat(v, self, v.toString(args[0]));
        }
        return Value();
    });
    script("transform", transformStyle);
    script("parse", parseStyles);
    proto->define("parseCSS", proto->findOwn("parse")->value, kHidden);
}

// onData(text): parses what load read, then onLoad(success).
void defineLoadHandlers(Vm& vm, Object* proto) {
    auto script = [&](const char* name, NativeFunction f) {
        vm.setFunction(proto, name, std::move(f), kDontEnum | kDontDelete);
        giveScriptPrototype(vm, proto, name);
    };
    script("onData", [](Vm& v, const Value& self, Args args) {
        if (Object* o = selfObject(self)) {
            const Value ok = arg(args, 0).isUndefined()
                                 ? Value(false)
                                 : v.callAsMethod(v.getMember(self, "parseCSS"), self, args);
            if (!arg(args, 0).isUndefined()) {
                v.setMember(o, "loaded", Value(true));
            }
            v.callMethod(o, "onLoad", std::span<const Value>(&ok, 1));
        }
        return Value();
    });
    script("onLoad", [](Vm&, const Value&, Args) { return Value(); });
}

} // namespace

void installStyleSheetClass(Vm& vm, Object* textFieldCtor) {
    constexpr PropFlags kHidden = kDontEnum | kDontDelete;
    Object* proto = vm.newObject();
    Object* ctor = vm.newFunction([](Vm&, const Value& self, Args) { return self; }, "StyleSheet");
    ctor->define("prototype", Value(proto), kDontEnum | kDontDelete);
    proto->define("constructor", Value(ctor), kDontEnum | kDontDelete);
    defineStyleMethods(vm, proto);
    defineLoadHandlers(vm, proto);
    vm.setFunction(proto, "parseColor", parseColor, kHidden);
    vm.setFunction(proto, "parseCSSFontFamily", parseFontFamily, kHidden);
    vm.setFunction(proto, "parseCSSInternal", parseCssInternal, kHidden);
    // Styles are not applied to fields yet: update has nothing to tell them.
    vm.setFunction(
        proto, "update", [](Vm&, const Value&, Args) { return Value(); }, kHidden);
    // load is LoadVars's: the text read goes to onData.
    vm.setFunction(
        proto, "load",
        [](Vm& v, const Value& self, Args args) {
            constexpr int kLoadGroup = 301;
            Object* load = v.native(kLoadGroup, 0);
            return load != nullptr ? v.call(Value(load), self, args) : Value(false);
        },
        kHidden);
    textFieldCtor->define("StyleSheet", Value(ctor), kDontEnum | kFromVersion7);
}

} // namespace kinovex::flash::avm1
