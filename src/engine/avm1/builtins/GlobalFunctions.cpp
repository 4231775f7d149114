// The functions and values on _global that belong to no class: trace, getTimer, parseInt and
// the other conversions, setInterval, ASSetPropFlags, NaN and Infinity.

#include "engine/avm1/builtins/Builtins.h"

#include "engine/avm1/Utf8.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace kinovex::flash::avm1 {

namespace {

Value getTimer(Vm& vm, const Value&, Args) {
    return Value(std::floor(vm.host().timeMs()));
}

Value trace(Vm& vm, const Value&, Args args) {
    const Value x = arg(args, 0);
    vm.host().trace(x.isUndefined() ? std::string("undefined") : vm.toString(x));
    return Value();
}

Value isNaN(Vm& vm, const Value&, Args args) {
    return Value(std::isnan(vm.toNumber(arg(args, 0))));
}

Value isFinite(Vm& vm, const Value&, Args args) {
    return Value(std::isfinite(vm.toNumber(arg(args, 0))));
}

Value parseFloat(Vm& vm, const Value&, Args args) {
    if (args.empty()) {
        return Value();
    }
    std::string s = vm.toString(arg(args, 0));
    const double n = stringToNumber(s, 4);
    // Version-4 reading gives 0 for no number; parseFloat gives NaN.
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) {
        ++i;
    }
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
    }
    return Value(i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) ? n : std::nan(""));
}

// Text that starts right away with 0x is hexadecimal, or read in the radix given after the 0x,
// with a minus allowed after the 0x ("-0x2" is no number). Without a radix, a 0 followed by
// octal digits alone is octal, and anything else decimal.
Value parseInt(Vm& vm, const Value&, Args args) {
    const std::string s = vm.toString(arg(args, 0));
    const auto hexAt = [&](std::size_t i) {
        return s.size() > i + 1 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X');
    };
    if ((s.starts_with('-') || s.starts_with('+')) && hexAt(1)) {
        return Value(std::nan(""));
    }
    int radix = static_cast<int>(toInteger(vm.toNumber(arg(args, 1))));
    std::string_view digits = s;
    if (hexAt(0)) {
        digits.remove_prefix(2);
        radix = radix == 0 ? 16 : radix;
    } else if (radix == 0) {
        radix = isOctalText(s) ? 8 : 10;
    }
    if (radix < 2 || radix > 36) {
        return Value(std::nan(""));
    }
    return Value(leadingInteger(digits, radix));
}

Value escape(Vm& vm, const Value&, Args args) {
    const std::string s = vm.toString(arg(args, 0));
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return Value(out);
}

bool isHexDigit(const std::string& s, std::size_t i) {
    return i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i]));
}

// From version 6, %XX gives byte XX and '+' a space; a '%' without two hex digits after it is
// dropped with what was read after it (up to the first character that is no hex digit). The
// bytes are then read as UTF-8, leniently.
std::string unescapeBytes(const std::string& s) {
    std::string out;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '+') {
            out += ' ';
            ++i;
        } else if (s[i] != '%') {
            out += s[i++];
        } else if (isHexDigit(s, i + 1) && isHexDigit(s, i + 2)) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 3;
        } else {
            i += isHexDigit(s, i + 1) ? 3 : 2;
        }
    }
    return readUtf8Leniently(out);
}

Value unescape(Vm& vm, const Value&, Args args) {
    const std::string s = vm.toString(arg(args, 0));
    if (vm.version() >= 6) {
        return Value(unescapeBytes(s));
    }
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && isHexDigit(s, i + 1) && isHexDigit(s, i + 2)) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return Value(out);
}

// setInterval(function, ms, args...) or setInterval(object, "method", ms, args...)
Value setInterval(Vm& vm, const Value&, Args args) {
    if (args.size() >= 2 && args[0].isObject() && args[0].asObject()->function()) {
        return Value(static_cast<double>(
            vm.addInterval(args[0], Value(), {}, std::vector<Value>(args.begin() + 2, args.end()),
                           vm.toNumber(args[1]))));
    }
    if (args.size() >= 3 && args[0].isObject()) {
        return Value(static_cast<double>(vm.addInterval(
            Value(), args[0], vm.toString(args[1]),
            std::vector<Value>(args.begin() + 3, args.end()), vm.toNumber(args[2]))));
    }
    return Value();
}

// setTimeout(function, ms, args...): one call, after ms.
Value setTimeout(Vm& vm, const Value&, Args args) {
    if (args.size() >= 2 && args[0].isObject() && args[0].asObject()->function()) {
        return Value(static_cast<double>(
            vm.addInterval(args[0], Value(), {}, std::vector<Value>(args.begin() + 2, args.end()),
                           vm.toNumber(args[1]), true)));
    }
    return Value();
}

Value clearInterval(Vm& vm, const Value&, Args args) {
    vm.clearInterval(static_cast<int>(toInteger(vm.toNumber(arg(args, 0)))));
    return Value();
}

// The names ASSetPropFlags is given: an array of them, or one text with commas between.
std::vector<std::string> namesOf(Vm& vm, const Value& names) {
    std::vector<std::string> list;
    if (names.isObject() && names.asObject()->objectClass() == ObjectClass::Array) {
        for (const Value& n : names.asObject()->elements()) {
            list.push_back(vm.toString(n));
        }
        return list;
    }
    const std::string text = vm.toString(names);
    std::size_t at = 0;
    while (at <= text.size()) {
        const auto comma = text.find(',', at);
        list.push_back(text.substr(at, comma - at));
        if (comma == std::string::npos) {
            break;
        }
        at = comma + 1;
    }
    return list;
}

Value nothing(Vm&, const Value&, Args) {
    return Value();
}

// Functions of the player itself that a movie's scripts find on _global but that do nothing
// here: a redraw outside the frame rhythm is not needed when frames are rendered one by one.
// enableDebugConsole is a bare function, without even a prototype link.
void installPlayerHooks(Vm& vm) {
    Object* global = vm.global();
    defineClass(vm, "AsSetupError", nothing, vm.newObject(nullptr), false);
    global->define("enableDebugConsole", Value(newBareFunction(vm, nothing)),
                   kDontEnum | kDontDelete);
    vm.setFunction(global, "showRedrawRegions", nothing);
    vm.setFunction(global, "updateAfterEvent", nothing);
}

// ASSetPropFlags(object, names or null for all, flags to set, flags to clear)
Value setPropFlags(Vm& vm, const Value&, Args args) {
    Object* o = selfObject(arg(args, 0));
    if (!o) {
        return Value();
    }
    const auto set = static_cast<PropFlags>(toUint32(vm.toNumber(arg(args, 2))));
    const auto clear = static_cast<PropFlags>(toUint32(vm.toNumber(arg(args, 3))));
    auto apply = [&](Property& p) { p.flags = static_cast<PropFlags>((p.flags & ~clear) | set); };
    const Value names = arg(args, 1);
    if (names.isNull()) {
        for (Property& p : o->properties()) {
            apply(p);
        }
        return Value();
    }
    for (const std::string& n : namesOf(vm, names)) {
        if (Property* p = o->findOwn(n)) {
            apply(*p);
        }
    }
    return Value();
}

} // namespace

void installGlobalFunctions(Vm& vm) {
    Object* global = vm.global();
    vm.setFunction(global, "getTimer", getTimer);
    vm.setFunction(global, "trace", trace);
    vm.setFunction(global, "isNaN", isNaN);
    vm.setFunction(global, "isFinite", isFinite);
    vm.setFunction(global, "parseFloat", parseFloat);
    vm.setFunction(global, "parseInt", parseInt);
    vm.setFunction(global, "escape", escape);
    vm.setFunction(global, "unescape", unescape);
    vm.setFunction(global, "setInterval", setInterval);
    // clearTimeout is clearInterval under a second name.
    Object* clear = vm.newFunction(clearInterval, "clearInterval");
    global->define("clearInterval", Value(clear), kDontEnum | kDontDelete);
    vm.setFunction(global, "setTimeout", setTimeout);
    global->define("clearTimeout", Value(clear), kDontEnum | kDontDelete);
    vm.setFunction(global, "ASSetPropFlags", setPropFlags);
    installPlayerHooks(vm);
    installAsNative(vm);
    if (vm.version() >= 6) {
        global->define("_global", Value(global), kDontEnum);
    }
    global->define("NaN", vm.boxed(Value(std::nan(""))), kDontEnum);
    global->define("Infinity", Value(INFINITY), kDontEnum);
    global->define("o", Value::null(), kDontEnum);
}

} // namespace kinovex::flash::avm1
