#include "engine/avm1/ScriptStyleSheet.h"

#include "engine/avm1/Object.h"
#include "engine/swf/PercentEncoding.h"

#include <string>
#include <string_view>
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

} // namespace

void installStyleSheetClass(Vm& vm, Object* textFieldCtor) {
    Object* proto = vm.newObject();
    Object* ctor = vm.newFunction([](Vm&, const Value& self, Args) { return self; }, "StyleSheet");
    ctor->define("prototype", Value(proto), kDontEnum | kDontDelete);
    proto->define("constructor", Value(ctor), kDontEnum | kDontDelete);
    vm.setFunction(proto, "parseColor", parseColor);
    vm.setFunction(proto, "parseCSSFontFamily", parseFontFamily);
    textFieldCtor->define("StyleSheet", Value(ctor), kDontEnum | kFromVersion7);
}

} // namespace kinovex::flash::avm1
