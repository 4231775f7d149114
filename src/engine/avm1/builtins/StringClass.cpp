// String: the methods on String.prototype, which count in characters (the text is UTF-8), and
// String.fromCharCode.

#include "engine/avm1/Utf8.h"
#include "engine/avm1/builtins/Builtins.h"
#include "engine/avm1/builtins/CaseMapping.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace kinovex::flash::avm1 {

namespace {

Value construct(Vm& vm, const Value& self, Args args) {
    const std::string s = args.empty() ? std::string() : vm.toString(args[0]);
    Object* o = selfObject(self);
    if (vm.constructing() && o) {
        o->setObjectClass(ObjectClass::String);
        o->primitive() = Value(s);
        return Value(o);
    }
    return Value(s);
}

std::string thisString(Vm& vm, const Value& self) {
    if (self.isString()) {
        return self.asString();
    }
    Object* o = selfObject(self);
    if (o && o->objectClass() == ObjectClass::String) {
        return o->primitive().isString() ? o->primitive().asString() : std::string();
    }
    return vm.toString(self);
}

Value toString(Vm& vm, const Value& self, Args) {
    return Value(thisString(vm, self));
}

Value charAt(Vm& vm, const Value& self, Args args) {
    const std::string s = thisString(vm, self);
    const double i = toInteger(vm.toNumber(arg(args, 0)));
    if (i < 0 || i >= static_cast<double>(utf8Length(s))) {
        return Value("");
    }
    return Value(utf8Substr(s, i, 1));
}

Value charCodeAt(Vm& vm, const Value& self, Args args) {
    const std::string s = thisString(vm, self);
    const double i = toInteger(vm.toNumber(arg(args, 0)));
    if (i < 0 || i >= static_cast<double>(utf8Length(s))) {
        return Value(std::nan(""));
    }
    return Value(static_cast<double>(utf8At(s, static_cast<std::size_t>(i))));
}

Value indexOf(Vm& vm, const Value& self, Args args) {
    const std::string s = thisString(vm, self);
    const std::string needle = vm.toString(arg(args, 0));
    const double from = std::max(0.0, toInteger(vm.toNumber(arg(args, 1))));
    const std::string head = utf8Substr(s, 0, from);
    const auto at = s.find(needle, head.size());
    return Value(at == std::string::npos ? -1.0 : static_cast<double>(utf8Length(s.substr(0, at))));
}

Value lastIndexOf(Vm& vm, const Value& self, Args args) {
    const std::string s = thisString(vm, self);
    const std::string needle = vm.toString(arg(args, 0));
    std::size_t from = std::string::npos;
    if (args.size() > 1) {
        const double f = toInteger(vm.toNumber(args[1]));
        if (f < 0) {
            return Value(-1.0);
        }
        from = utf8Substr(s, 0, f).size();
    }
    const auto at = s.rfind(needle, from);
    return Value(at == std::string::npos ? -1.0 : static_cast<double>(utf8Length(s.substr(0, at))));
}

Value substr(Vm& vm, const Value& self, Args args) {
    const std::string s = thisString(vm, self);
    const double len = static_cast<double>(utf8Length(s));
    // Positions and counts are 32-bit integers (infinity is 0).
    double from = toInt32(vm.toNumber(arg(args, 0)));
    if (from < 0) {
        from = std::max(0.0, from + len);
    }
    double count = arg(args, 1).isUndefined() ? len : toInt32(vm.toNumber(args[1]));
    // A negative count counts back from the end of the string, and gives nothing when that
    // would reach the last character.
    if (count < 0) {
        count += len;
        if (from + count >= len) {
            return Value("");
        }
    }
    if (count <= 0) {
        return Value("");
    }
    return Value(utf8Substr(s, from, count));
}

Value substring(Vm& vm, const Value& self, Args args) {
    const std::string s = thisString(vm, self);
    const double len = static_cast<double>(utf8Length(s));
    double a = std::clamp(static_cast<double>(toInt32(vm.toNumber(arg(args, 0)))), 0.0, len);
    double b = arg(args, 1).isUndefined()
                   ? len
                   : std::clamp(static_cast<double>(toInt32(vm.toNumber(args[1]))), 0.0, len);
    // A start at or past the end gives nothing, even with an end before it.
    if (a >= len) {
        return Value("");
    }
    if (a > b) {
        std::swap(a, b);
    }
    return Value(utf8Substr(s, a, b - a));
}

// slice() without arguments gives undefined, not the whole string.
Value slice(Vm& vm, const Value& self, Args args) {
    if (args.empty()) {
        return Value();
    }
    const std::string s = thisString(vm, self);
    const double len = static_cast<double>(utf8Length(s));
    auto fix = [len](double x) { return x < 0 ? std::max(0.0, x + len) : std::min(x, len); };
    const double a = fix(toInteger(vm.toNumber(arg(args, 0))));
    const double b = arg(args, 1).isUndefined() ? len : fix(toInteger(vm.toNumber(args[1])));
    return Value(a < b ? utf8Substr(s, a, b - a) : std::string());
}

// The pieces of `s` between the separators, at most `limit` of them. An empty separator
// splits into characters from version 6 on; before, only a one-character separator is looked
// for, any other is never found.
std::vector<Value> splitText(const std::string& s, const std::string& sep, std::int32_t limit,
                             int version) {
    std::vector<Value> parts;
    const auto room = [&parts, limit] { return parts.size() < static_cast<std::size_t>(limit); };
    if (limit <= 0) {
        return parts;
    }
    if (sep.empty() && version >= 6) {
        const std::size_t n = utf8Length(s);
        for (std::size_t i = 0; i < n && room(); ++i) {
            parts.emplace_back(utf8Substr(s, static_cast<double>(i), 1));
        }
        return parts;
    }
    if (version < 6 && utf8Length(sep) != 1) {
        parts.emplace_back(s);
        return parts;
    }
    std::size_t at = 0;
    while (room()) {
        const auto hit = s.find(sep, at);
        parts.emplace_back(s.substr(at, hit - at));
        if (hit == std::string::npos) {
            break;
        }
        at = hit + sep.size();
    }
    return parts;
}

// split(separator, limit): no separator gives the whole string; the limit is an int32, and
// none at all when undefined. From version 6 the empty string split on a separator always
// gives one empty piece, whatever the limit.
Value split(Vm& vm, const Value& self, Args args) {
    const std::string s = thisString(vm, self);
    if (arg(args, 0).isUndefined()) {
        return Value(vm.newArray({Value(s)}));
    }
    const std::string sep = vm.toString(args[0]);
    const std::int32_t limit = arg(args, 1).isUndefined() ? std::numeric_limits<std::int32_t>::max()
                                                          : toInt32(vm.toNumber(args[1]));
    if (vm.version() >= 6 && s.empty() && !sep.empty()) {
        return Value(vm.newArray({Value(s)}));
    }
    return Value(vm.newArray(splitText(s, sep, limit, vm.version())));
}

Value toUpperCase(Vm& vm, const Value& self, Args) {
    return Value(mapCase(thisString(vm, self), upperCase));
}

Value toLowerCase(Vm& vm, const Value& self, Args) {
    return Value(mapCase(thisString(vm, self), lowerCase));
}

// ASnative(102, 0) and (102, 1), the case functions older players had: they map the letters
// A-Z and a-z only and leave every other character as it is.
template <char From, char To> Value asciiCase(Vm& vm, const Value& self, Args) {
    std::string s = thisString(vm, self);
    for (char& c : s) {
        if (c >= From && c <= From + 25) {
            c = static_cast<char>(c - From + To);
        }
    }
    return Value(s);
}

Value concat(Vm& vm, const Value& self, Args args) {
    std::string s = thisString(vm, self);
    for (const Value& a : args) {
        s += vm.toString(a);
        vm.checkStringSize(s.size());
    }
    return Value(s);
}

Value fromCharCode(Vm& vm, const Value&, Args args) {
    std::string s;
    for (const Value& a : args) {
        s += textOfCode(toUint32(vm.toNumber(a)) & 0xffffu, vm.version());
    }
    return Value(cutAtNul(std::move(s)));
}

} // namespace

Object* installStringClass(Vm& vm) {
    Object* proto = vm.newObjectOfClass(ObjectClass::String, vm.objectPrototype());
    proto->primitive() = Value("");
    Object* ctor = defineClass(vm, "String", construct, proto, true);
    vm.setFunction(proto, "toString", toString);
    vm.setFunction(proto, "valueOf", toString);
    vm.setFunction(proto, "charAt", charAt);
    vm.setFunction(proto, "charCodeAt", charCodeAt);
    vm.setFunction(proto, "indexOf", indexOf);
    vm.setFunction(proto, "lastIndexOf", lastIndexOf);
    vm.setFunction(proto, "substr", substr);
    vm.setFunction(proto, "substring", substring);
    vm.setFunction(proto, "slice", slice);
    vm.setFunction(proto, "split", split);
    vm.setFunction(proto, "toUpperCase", toUpperCase);
    vm.setFunction(proto, "toLowerCase", toLowerCase);
    vm.setFunction(proto, "concat", concat);
    vm.setFunction(ctor, "fromCharCode", fromCharCode);
    Object* asciiUpper = vm.newFunction(asciiCase<'a', 'A'>, "toUpperCase");
    Object* asciiLower = vm.newFunction(asciiCase<'A', 'a'>, "toLowerCase");
    vm.keepAlive(asciiUpper);
    vm.keepAlive(asciiLower);
    vm.registerNative(102, 0, asciiUpper);
    vm.registerNative(102, 1, asciiLower);
    return proto;
}

} // namespace kinovex::flash::avm1
