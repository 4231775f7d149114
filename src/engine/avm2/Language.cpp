// The core classes every movie sees: Object, Class, Function, Namespace, Boolean, Number,
// int, uint, String, Math, the Error classes and the top-level functions.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/ByteArray.h"
#include "engine/avm2/Geom.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/ProxyClass.h"
#include "engine/avm2/Utf16Text.h"

#include "engine/swf/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kinovex::flash::avm2 {

namespace {

ClassInfo* builtinClassOf(Machine& vm, const Value& v) {
    ClassInfo* c = vm.classOfValue(v);
    return c;
}

// ---- Object ----

Value objectToString(Machine& vm, Value self, Args) {
    if (self.isObject() && self.o->kind == ObjKind::Class) {
        return vm.str("[class " + self.o->classInfo->name + "]");
    }
    if (self.isObject() && self.o->kind == ObjKind::Function) {
        return vm.str("function Function() {}");
    }
    ClassInfo* c = builtinClassOf(vm, self);
    return vm.str("[object " + (c != nullptr ? c->name : std::string("Object")) + "]");
}

Value objectValueOf(Machine&, Value self, Args) {
    return self;
}

Value hasOwnProperty(Machine& vm, Value self, Args args) {
    const std::string name = vm.toString(arg(args, 0));
    if (self.isObject()) {
        Object* o = self.o;
        if (o->kind == ObjKind::Array) {
            char* end = nullptr;
            const unsigned long i = std::strtoul(name.c_str(), &end, 10);
            if (!name.empty() && *end == 0 && i < o->elems.size() && !o->elems[i].isHole()) {
                return Value::boolean(true);
            }
        }
        if (o->findDyn(name) != nullptr) {
            return Value::boolean(true);
        }
    }
    Object* holder = nullptr;
    bool isStatic = false;
    const Trait* t = vm.findTrait(self, vm.publicName(name), &holder, &isStatic);
    if (t != nullptr && self.isObject() && self.o->kind == ObjKind::Class && !isStatic) {
        return Value::boolean(false);
    }
    return Value::boolean(t != nullptr);
}

Value propertyIsEnumerable(Machine& vm, Value self, Args args) {
    const std::string name = vm.toString(arg(args, 0));
    if (!self.isObject()) {
        return Value::boolean(false);
    }
    // An array's elements are enumerable; a Vector's are not.
    if (self.o->kind == ObjKind::Array && !(self.o->cls != nullptr && self.o->cls->isVector)) {
        char* end = nullptr;
        const unsigned long i = std::strtoul(name.c_str(), &end, 10);
        if (!name.empty() && *end == 0 && i < self.o->elems.size()) {
            return Value::boolean(true);
        }
    }
    DynProp* p = self.o->findDyn(name);
    return Value::boolean(p != nullptr && p->enumerable);
}

// A Dictionary's keys stay enumerable whatever this is told.
Value setPropertyIsEnumerable(Machine& vm, Value self, Args args) {
    if (self.isObject() && self.o->kind != ObjKind::Dictionary) {
        if (DynProp* p = self.o->findDyn(vm.toString(arg(args, 0)))) {
            p->enumerable = Machine::toBoolean(arg(args, 1));
        }
    }
    return Value();
}

Value isPrototypeOf(Machine& vm, Value self, Args args) {
    const Value v = arg(args, 0);
    if (!self.isObject() || !v.isObject()) {
        return Value::boolean(false);
    }
    for (Object* p = vm.prototypeOf(v); p != nullptr; p = p->proto) {
        if (p == self.o) {
            return Value::boolean(true);
        }
    }
    return Value::boolean(false);
}

Value objectCall(Machine& vm, Value, Args args) {
    const Value v = arg(args, 0);
    if (v.isNullish()) {
        return Value::obj(vm.newPlainObject());
    }
    return v;
}

// ---- Function ----

Value functionCall(Machine& vm, Value self, Args args) {
    const Value recv = arg(args, 0);
    return vm.call(self, recv, args.size() > 1 ? args.subspan(1) : Args());
}

Value functionApply(Machine& vm, Value self, Args args) {
    const Value recv = arg(args, 0);
    std::vector<Value> a;
    const Value list = arg(args, 1);
    if (list.isObject() && list.o->kind == ObjKind::Array) {
        // A hole passes what reading it gives: the prototypes' element of that index, if any.
        for (std::size_t i = 0; i < list.o->elems.size(); ++i) {
            const Value v = list.o->elems[i];
            a.push_back(v.isHole() ? vm.getProperty(list, vm.publicName(std::to_string(i))) : v);
        }
    } else if (!list.isNullish()) {
        vm.throwError("TypeError", 1116,
                      "second argument to Function.prototype.apply must be an array.");
    }
    return vm.call(self, recv, Args(a));
}

Value functionLength(Machine& vm, Value self, Args) {
    if (self.isObject() && self.o->method != nullptr) {
        MethodInfo* m = self.o->method;
        if (m->file != nullptr) {
            return Value::integer(static_cast<std::int32_t>(m->file->methods[m->index].paramCount));
        }
        return Value::integer(static_cast<std::int32_t>(m->paramCount));
    }
    (void)vm;
    return Value::integer(0);
}

Value functionToString(Machine& vm, Value, Args) {
    return vm.str("function Function() {}");
}

// ---- Boolean ----

Value booleanCall(Machine&, Value, Args args) {
    return Value::boolean(Machine::toBoolean(arg(args, 0)));
}

Value primitiveOf(Machine& vm, const Value& self, ClassInfo* cls, const char* method) {
    if (self.isObject() && self.o->kind == ObjKind::Boxed) {
        return self.o->primitive;
    }
    if (self.isObject() && self.o == cls->prototype) {
        return Value();
    }
    if (self.isObject()) {
        vm.throwError("TypeError", 1004,
                      std::string("Method ") + cls->name + ".prototype." + method +
                          " was invoked on an incompatible object.");
    }
    return self;
}

Value booleanToString(Machine& vm, Value self, Args) {
    const Value p = primitiveOf(vm, self, vm.booleanClass, "toString");
    return vm.str(Machine::toBoolean(p) ? "true" : "false");
}

Value booleanValueOf(Machine& vm, Value self, Args) {
    return Value::boolean(Machine::toBoolean(primitiveOf(vm, self, vm.booleanClass, "valueOf")));
}

// ---- Number, int, uint ----

Value numberCall(Machine& vm, Value, Args args) {
    return args.empty() ? Value::integer(0) : Value::number(vm.toNumber(args[0]));
}
Value intCall(Machine& vm, Value, Args args) {
    return Value::integer(vm.toInt(arg(args, 0)));
}
Value uintCall(Machine& vm, Value, Args args) {
    return Value::number(vm.toUint(arg(args, 0)));
}

double numberSelf(Machine& vm, const Value& self) {
    const Value p = primitiveOf(vm, self, vm.numberClass, "toString");
    return p.isUndefined() ? 0 : vm.toNumber(p);
}

Value numberToStringM(Machine& vm, Value self, Args args) {
    const double n = numberSelf(vm, self);
    int radix = 10;
    if (!arg(args, 0).isUndefined()) {
        radix = vm.toInt(args[0]);
    }
    if (radix < 2 || radix > 36) {
        vm.throwError("RangeError", 1003,
                      "The radix argument must be between 2 and 36; got " + std::to_string(radix) +
                          ".");
    }
    return vm.str(numberToString(n, radix, NumberDigits::Shortest));
}

Value numberValueOf(Machine& vm, Value self, Args) {
    return Value::number(numberSelf(vm, self));
}

// Decimal digits plus one in the last place ("199" gives "200", "99" gives "100").
std::string roundedUp(std::string digits) {
    std::size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') {
        digits[--i] = '0';
    }
    if (i == 0) {
        return "1" + digits;
    }
    ++digits[i - 1];
    return digits;
}

// toFixed of a number past 2^53 (a whole number whose neighbours lie 2 or more apart): the
// player gives the fewest leading digits, rounded, that land within half the gap to the
// neighbours divided by 10 for each decimal asked for, and zeros after them.
std::string largeFixed(double n, int digits) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", std::fabs(n));
    const std::string exact = buf;
    int exponent = 0;
    std::frexp(std::fabs(n), &exponent);
    const double tolerance = std::ldexp(1.0, exponent - 54) / std::pow(10.0, digits);
    std::string kept = exact;
    for (std::size_t len = 1; len < exact.size(); ++len) {
        const double tail = std::strtod(exact.substr(len).c_str(), nullptr);
        const double unit = std::pow(10.0, static_cast<double>(exact.size() - len));
        const bool up = tail * 2 >= unit;
        if ((up ? unit - tail : tail) <= tolerance) {
            const std::string head = exact.substr(0, len);
            kept = (up ? roundedUp(head) : head) + std::string(exact.size() - len, '0');
            break;
        }
    }
    std::string out = (n < 0 ? "-" : "") + kept;
    if (digits > 0) {
        out += "." + std::string(static_cast<std::size_t>(digits), '0');
    }
    return out;
}

Value numberToFixed(Machine& vm, Value self, Args args) {
    const double n = numberSelf(vm, self);
    const int digits = vm.toInt(arg(args, 0));
    if (digits < 0 || digits > 20) {
        vm.throwError("RangeError", 1002,
                      "Number.prototype.toFixed has a range of 0 to 20. " + std::to_string(digits) +
                          " is out of range.");
    }
    if (!std::isfinite(n)) {
        return vm.str(Machine::numberText(n));
    }
    if (std::fabs(n) >= 0x1p53) {
        return vm.str(largeFixed(n, digits));
    }
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", digits, n);
    std::string s = buf;
    if (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) {
        s.erase(0, 1);
    }
    return vm.str(s);
}

Value numberToExponential(Machine& vm, Value self, Args args) {
    const double n = numberSelf(vm, self);
    const int digits = vm.toInt(arg(args, 0));
    if (digits < 0 || digits > 20) {
        vm.throwError("RangeError", 1002,
                      "Number.prototype.toExponential has a range of 0 to 20. " +
                          std::to_string(digits) + " is out of range.");
    }
    if (!std::isfinite(n)) {
        return vm.str(Machine::numberText(n));
    }
    // The player cuts the exact decimal value of the number after the digits asked for; it
    // does not round.
    char buf[1024];
    std::snprintf(buf, sizeof buf, "%.800e", n);
    std::string s = buf;
    const auto e = s.find('e');
    const std::size_t point = s.find('.');
    std::string mant =
        s.substr(0, digits == 0 ? point : point + 1 + static_cast<std::size_t>(digits));
    std::string ex = s.substr(e + 1);
    const char sign = ex[0];
    ex.erase(0, 1);
    while (ex.size() > 1 && ex[0] == '0') {
        ex.erase(0, 1);
    }
    return vm.str(mant + "e" + sign + ex);
}

Value numberToPrecision(Machine& vm, Value self, Args args) {
    const double n = numberSelf(vm, self);
    if (arg(args, 0).isUndefined()) {
        return vm.str(Machine::numberText(n));
    }
    const int p = vm.toInt(arg(args, 0));
    if (p < 1 || p > 21) {
        vm.throwError("RangeError", 1002,
                      "Number.prototype.toPrecision has a range of 1 to 21. " + std::to_string(p) +
                          " is out of range.");
    }
    if (!std::isfinite(n)) {
        return vm.str(Machine::numberText(n));
    }
    if (n == 0) {
        std::string s = "0";
        if (p > 1) {
            s += "." + std::string(static_cast<std::size_t>(p - 1), '0');
        }
        return vm.str(s);
    }
    const int e = static_cast<int>(std::floor(std::log10(std::fabs(n))));
    char buf[128];
    if (e < -6 || e >= p) {
        std::snprintf(buf, sizeof buf, "%.*e", p - 1, n);
        std::string s = buf;
        const auto at = s.find('e');
        std::string ex = s.substr(at + 2);
        while (ex.size() > 1 && ex[0] == '0') {
            ex.erase(0, 1);
        }
        return vm.str(s.substr(0, at) + "e" + s[at + 1] + ex);
    }
    std::snprintf(buf, sizeof buf, "%.*f", std::max(0, p - 1 - e), n);
    return vm.str(buf);
}

// ---- String ----

std::string stringSelf(Machine& vm, const Value& self) {
    if (self.isObject() && self.o->kind == ObjKind::Boxed) {
        return vm.toString(self.o->primitive);
    }
    return vm.toString(self);
}

Value stringCall(Machine& vm, Value, Args args) {
    return args.empty() ? vm.str("") : vm.str(vm.toString(args[0]));
}

// The string as the player indexes it: UTF-16 code units.
std::u16string unitsOf(Machine& vm, const Value& self) {
    return toUtf16(stringSelf(vm, self));
}

Value textOf(Machine& vm, std::u16string_view units) {
    return vm.str(fromUtf16(units));
}

Value stringLength(Machine& vm, Value self, Args) {
    const std::string s = stringSelf(vm, self);
    const std::size_t n = isAscii(s) ? s.size() : toUtf16(s).size();
    return Value::integer(static_cast<std::int32_t>(n));
}

// Argument i as an integer, `fallback` when it is left out; an undefined one given is NaN,
// read as 0.
double intArg(Machine& vm, Args args, std::size_t i, double fallback) {
    if (i >= args.size()) {
        return fallback;
    }
    const double d = vm.toNumber(args[i]);
    return std::isnan(d) ? 0 : std::trunc(d);
}

Value stringCharAt(Machine& vm, Value self, Args args) {
    const std::u16string s = unitsOf(vm, self);
    const double i = intArg(vm, args, 0, 0);
    return textOf(vm, i >= 0 && i < static_cast<double>(s.size())
                          ? s.substr(static_cast<std::size_t>(i), 1)
                          : u"");
}

Value stringCharCodeAt(Machine& vm, Value self, Args args) {
    const std::u16string s = unitsOf(vm, self);
    const double i = intArg(vm, args, 0, 0);
    if (i >= 0 && i < static_cast<double>(s.size())) {
        return Value::integer(s[static_cast<std::size_t>(i)]);
    }
    return Value::number(NAN);
}

Value stringIndexOf(Machine& vm, Value self, Args args) {
    const std::u16string s = unitsOf(vm, self);
    if (arg(args, 0).isNullish()) {
        return Value::integer(-1); // a null or missing needle is found nowhere
    }
    const std::u16string needle = toUtf16(vm.toString(arg(args, 0)));
    double from = intArg(vm, args, 1, 0);
    from = std::clamp(from, 0.0, static_cast<double>(s.size()));
    const auto r = s.find(needle, static_cast<std::size_t>(from));
    return Value::integer(r == std::u16string::npos ? -1 : static_cast<std::int32_t>(r));
}

Value stringLastIndexOf(Machine& vm, Value self, Args args) {
    const std::u16string s = unitsOf(vm, self);
    if (arg(args, 0).isNullish()) {
        return Value::integer(-1); // a null or missing needle is found nowhere
    }
    const std::u16string needle = toUtf16(vm.toString(arg(args, 0)));
    double from = arg(args, 1).isUndefined() ? 2147483647.0 : intArg(vm, args, 1, 0);
    if (from < 0) {
        return Value::integer(-1);
    }
    from = std::min(from, static_cast<double>(s.size()));
    const auto r = s.rfind(needle, static_cast<std::size_t>(from));
    return Value::integer(r == std::u16string::npos ? -1 : static_cast<std::int32_t>(r));
}

Value stringSubstring(Machine& vm, Value self, Args args) {
    const std::u16string s = unitsOf(vm, self);
    const double len = static_cast<double>(s.size());
    double a = std::clamp(intArg(vm, args, 0, 0), 0.0, len);
    double b = std::clamp(intArg(vm, args, 1, len), 0.0, len);
    if (a > b) {
        std::swap(a, b);
    }
    return textOf(vm, s.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a)));
}

Value stringSubstr(Machine& vm, Value self, Args args) {
    const std::u16string s = unitsOf(vm, self);
    const double len = static_cast<double>(s.size());
    double a = intArg(vm, args, 0, 0);
    if (a < 0) {
        a = std::max(0.0, len + a);
    }
    a = std::min(a, len);
    double n = std::clamp(intArg(vm, args, 1, len), 0.0, len - a);
    return textOf(vm, s.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(n)));
}

Value stringSlice(Machine& vm, Value self, Args args) {
    const std::u16string s = unitsOf(vm, self);
    const double len = static_cast<double>(s.size());
    double a = intArg(vm, args, 0, 0);
    double b = intArg(vm, args, 1, len);
    if (a < 0) {
        a = std::max(0.0, len + a);
    }
    if (b < 0) {
        b = std::max(0.0, len + b);
    }
    a = std::min(a, len);
    b = std::min(b, len);
    if (b <= a) {
        return vm.str("");
    }
    return textOf(vm, s.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a)));
}

Value stringUpper(Machine& vm, Value self, Args) {
    std::string s = stringSelf(vm, self);
    for (char& c : s) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return vm.str(s);
}

Value stringLower(Machine& vm, Value self, Args) {
    std::string s = stringSelf(vm, self);
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return vm.str(s);
}

Value stringConcat(Machine& vm, Value self, Args args) {
    std::string s = stringSelf(vm, self);
    for (const Value& v : args) {
        s += vm.toString(v);
    }
    return vm.str(s);
}

// The player's localeCompare: the difference of the first code units that differ, else of the
// lengths.
Value stringLocaleCompare(Machine& vm, Value self, Args args) {
    const std::u16string a = unitsOf(vm, self);
    const std::u16string b = toUtf16(vm.toString(arg(args, 0)));
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) {
            return Value::integer(static_cast<std::int32_t>(a[i]) - b[i]);
        }
    }
    return Value::number(static_cast<double>(a.size()) - static_cast<double>(b.size()));
}

Value stringFromCharCode(Machine& vm, Value, Args args) {
    std::u16string units;
    for (const Value& v : args) {
        units += static_cast<char16_t>(vm.toUint(v) & 0xFFFF);
    }
    return textOf(vm, units);
}

Value stringToStringM(Machine& vm, Value self, Args) {
    const Value p = primitiveOf(vm, self, vm.stringClass, "toString");
    return p.isUndefined() ? vm.str("") : vm.str(vm.toString(p));
}

// ---- Math ----

#define MATH1(NAME, EXPR)                                                                          \
    Value NAME(Machine& vm, Value, Args args) {                                                    \
        const double x = vm.toNumber(arg(args, 0));                                                \
        return Value::number(EXPR);                                                                \
    }
MATH1(mathAbs, std::fabs(x))
MATH1(mathFloor, std::floor(x))
MATH1(mathCeil, std::ceil(x))
MATH1(mathRound, std::floor(x + 0.5))
MATH1(mathSqrt, std::sqrt(x))
MATH1(mathSin, std::sin(x))
MATH1(mathCos, std::cos(x))
MATH1(mathTan, std::tan(x))
MATH1(mathAsin, std::asin(x))
MATH1(mathAcos, std::acos(x))
MATH1(mathAtan, std::atan(x))
MATH1(mathExp, std::exp(x))
MATH1(mathLog, std::log(x))
#undef MATH1

Value mathPow(Machine& vm, Value, Args args) {
    return Value::number(std::pow(vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1))));
}
Value mathAtan2(Machine& vm, Value, Args args) {
    return Value::number(std::atan2(vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1))));
}
Value mathMin(Machine& vm, Value, Args args) {
    double r = INFINITY;
    for (const Value& v : args) {
        const double x = vm.toNumber(v);
        if (std::isnan(x)) {
            return Value::number(NAN);
        }
        r = std::min(r, x);
    }
    return Value::number(r);
}
Value mathMax(Machine& vm, Value, Args args) {
    double r = -INFINITY;
    for (const Value& v : args) {
        const double x = vm.toNumber(v);
        if (std::isnan(x)) {
            return Value::number(NAN);
        }
        r = std::max(r, x);
    }
    return Value::number(r);
}
Value mathRandom(Machine& vm, Value, Args) {
    return Value::number(vm.nextRandom());
}

// ---- Error ----

void errorInit(Machine& vm, Value self, Args args) {
    Object* o = self.o;
    o->primitive = vm.str(vm.stackTrace()); // printed when nothing catches it
    // An error is named after the nearest of the core error classes it comes from: those of
    // flash.errors and a script's own subclasses call themselves by their base's name.
    ClassInfo* named = o->cls;
    while (named != nullptr && (named->init != nullptr || !named->ns->uri.empty())) {
        named = named->super;
    }
    if (named != nullptr && named->prototype->findDyn("name") != nullptr) {
        o->setDyn("name", named->prototype->findDyn("name")->value);
        o->dyn.back().enumerable = false;
    }
    o->setDyn("message",
              args.empty() || args[0].isUndefined() ? vm.str("") : vm.str(vm.toString(args[0])));
    o->dyn.back().enumerable = false;
    o->setDyn("errorID", Value::integer(args.size() > 1 ? vm.toInt(args[1]) : 0));
    o->dyn.back().enumerable = false;
}

Value errorNativeInit(Machine& vm, Value self, Args args) {
    errorInit(vm, self, args);
    return Value();
}

Value errorToString(Machine& vm, Value self, Args) {
    const std::string name = vm.toString(vm.get(self, "name"));
    const std::string message = vm.toString(vm.get(self, "message"));
    return vm.str(message.empty() ? name : name + ": " + message);
}

// What the error says, then where the scripts stood when it was made (its lines each start
// with a line break).
Value errorGetStackTrace(Machine& vm, Value self, Args args) {
    const std::string text = vm.toString(errorToString(vm, self, args));
    const std::string where =
        self.isObject() && self.o->primitive.isString() ? self.o->primitive.s->s : std::string();
    return vm.str(text + where);
}

// ---- top level ----

Value traceFn(Machine& vm, Value, Args args) {
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0) {
            line += ' ';
        }
        line += vm.toString(args[i]);
    }
    // A carriage return starts a new line, as in the player's log.
    std::size_t start = 0;
    for (std::size_t at = line.find('\r'); at != std::string::npos; at = line.find('\r', start)) {
        vm.traceLine(std::string_view(line).substr(start, at - start));
        start = at + 1;
    }
    vm.traceLine(std::string_view(line).substr(start));
    return Value();
}

Value isNaNFn(Machine& vm, Value, Args args) {
    return Value::boolean(std::isnan(vm.toNumber(arg(args, 0))));
}
Value isFiniteFn(Machine& vm, Value, Args args) {
    return Value::boolean(std::isfinite(vm.toNumber(arg(args, 0))));
}

Value parseIntFn(Machine& vm, Value, Args args) {
    std::string s = vm.toString(arg(args, 0));
    int radix = arg(args, 1).isUndefined() ? 0 : vm.toInt(args[1]);
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) {
        ++i;
    }
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        neg = s[i] == '-';
        ++i;
    }
    if ((radix == 0 || radix == 16) && i + 1 < s.size() && s[i] == '0' &&
        (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        radix = 16;
        i += 2;
    }
    if (radix == 0) {
        radix = 10;
    }
    if (radix < 2 || radix > 36) {
        return Value::number(NAN);
    }
    double r = 0;
    bool any = false;
    for (; i < s.size(); ++i) {
        const int c = std::tolower(static_cast<unsigned char>(s[i]));
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'z' ? c - 'a' + 10 : 99;
        if (d >= radix) {
            break;
        }
        r = r * radix + d;
        any = true;
    }
    return Value::number(any ? (neg ? -r : r) : NAN);
}

Value parseFloatFn(Machine& vm, Value, Args args) {
    const std::string s = vm.toString(arg(args, 0));
    const char* p = s.c_str();
    while (std::isspace(static_cast<unsigned char>(*p))) {
        ++p;
    }
    if (std::strncmp(p, "Infinity", 8) == 0 || std::strncmp(p, "+Infinity", 9) == 0) {
        return Value::number(INFINITY);
    }
    if (std::strncmp(p, "-Infinity", 9) == 0) {
        return Value::number(-INFINITY);
    }
    if ((p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))) {
        return Value::number(0);
    }
    char* end = nullptr;
    const double d = std::strtod(p, &end);
    if (end == p || std::isinf(d) != 0) {
        return Value::number(end == p ? NAN : d);
    }
    return Value::number(d);
}

Value getQualifiedClassNameFn(Machine& vm, Value, Args args) {
    return vm.str(vm.qualifiedClassName(arg(args, 0)));
}

Value getQualifiedSuperclassNameFn(Machine& vm, Value, Args args) {
    const Value v = arg(args, 0);
    ClassInfo* c =
        v.isObject() && v.o->kind == ObjKind::Class ? v.o->classInfo : vm.classOfValue(v);
    if (c == nullptr || c->super == nullptr) {
        return Value::null();
    }
    return vm.str(c->super->qualifiedName());
}

Value getDefinitionByNameFn(Machine& vm, Value, Args args) {
    const std::string name = vm.toString(arg(args, 0));
    const Value v = vm.getDefinitionByName(name);
    if (v.isUndefined()) {
        vm.throwError("ReferenceError", 1065, "Variable " + name + " is not defined.");
    }
    return v;
}

Value getTimerFn(Machine& vm, Value, Args) {
    return Value::integer(static_cast<std::int32_t>(vm.nowMs));
}

Value namespaceUri(Machine& vm, Value self, Args) {
    return vm.str(self.isObject() && self.o->ns ? self.o->ns->uri : "");
}

Value classPrototype(Machine& vm, Value self, Args) {
    (void)vm;
    if (self.isObject() && self.o->kind == ObjKind::Class) {
        return Value::obj(self.o->classInfo->prototype);
    }
    return Value();
}

void proto(Machine& vm, ClassInfo* c, const std::string& name, NativeFn fn, std::uint32_t len = 0) {
    Object* f = vm.newNativeFunction(fn, name, len);
    c->prototype->setDyn(name, Value::obj(f));
    c->prototype->dyn.back().enumerable = false;
}

} // namespace

void installLanguageClasses(Machine& m) {
    // Object first: every other class's prototype chain ends in its prototype.
    ClassInfo* object = m.defineNativeClass("", "Object", nullptr);
    m.objectClass = object;
    object->sealed = false;
    object->prototype->cls = object;
    object->callAsFunction = objectCall;
    ClassInfo* cls = m.defineNativeClass("", "Class", object);
    m.classClass = cls;
    ClassInfo* function = m.defineNativeClass("", "Function", object, ObjKind::Function);
    m.functionClass = function;
    function->sealed = false;
    for (ClassInfo* c : {object, cls, function}) {
        c->classObj->cls = cls;
        c->classObj->proto = cls->prototype;
        c->prototype->cls = object;
    }
    object->prototype->proto = nullptr;
    // Function.prototype is itself a function (of no code: calling it gives undefined).
    function->prototype->cls = function;
    function->prototype->kind = ObjKind::Function;
    proto(m, object, "hasOwnProperty", hasOwnProperty, 1);
    proto(m, object, "propertyIsEnumerable", propertyIsEnumerable, 1);
    proto(m, object, "setPropertyIsEnumerable", setPropertyIsEnumerable, 2);
    proto(m, object, "isPrototypeOf", isPrototypeOf, 1);
    proto(m, object, "toString", objectToString);
    proto(m, object, "toLocaleString", objectToString);
    proto(m, object, "valueOf", objectValueOf);
    m.defineGetter(cls, "prototype", classPrototype);
    m.defineGetter(function, "length", functionLength);
    m.defineMethod(function, "call", functionCall, 1);
    m.defineMethod(function, "apply", functionApply, 2);
    proto(m, function, "toString", functionToString);
    proto(m, function, "call", functionCall, 1);
    proto(m, function, "apply", functionApply, 2);

    installValueClasses(m);
    installErrorClasses(m);
    installArrayClass(m);
    installRegExpClass(m);
    installJsonClass(m);
    installDateClass(m);
    installDictionaryClass(m);
    installEscapeFunctions(m);
    installGlobalFunctions(m);
    installByteArrayClass(m);
    installGeomClasses(m);
    installMultiByteEscapes(m);
    installHolderClasses(m);
    installProxyClass(m);
    installDrmManagerError(m);
    installXmlClasses(m);
    installXmlDocumentClasses(m);
}

void installValueClasses(Machine& m) {
    ClassInfo* object = m.objectClass;
    ClassInfo* ns = m.defineNativeClass("", "Namespace", object, ObjKind::Namespace);
    m.namespaceClass = ns;
    m.defineGetter(ns, "uri", namespaceUri);
    proto(m, ns, "toString", namespaceUri);

    ClassInfo* boolean = m.defineNativeClass("", "Boolean", object, ObjKind::Boxed);
    m.booleanClass = boolean;
    boolean->callAsFunction = booleanCall;
    proto(m, boolean, "toString", booleanToString);
    proto(m, boolean, "valueOf", booleanValueOf);

    ClassInfo* number = m.defineNativeClass("", "Number", object, ObjKind::Boxed);
    m.numberClass = number;
    number->callAsFunction = numberCall;
    ClassInfo* intc = m.defineNativeClass("", "int", object, ObjKind::Boxed);
    m.intClass = intc;
    intc->callAsFunction = intCall;
    ClassInfo* uintc = m.defineNativeClass("", "uint", object, ObjKind::Boxed);
    m.uintClass = uintc;
    uintc->callAsFunction = uintCall;
    for (ClassInfo* c : {number, intc, uintc}) {
        proto(m, c, "toString", numberToStringM, 1);
        proto(m, c, "valueOf", numberValueOf);
        proto(m, c, "toFixed", numberToFixed, 1);
        proto(m, c, "toExponential", numberToExponential, 1);
        proto(m, c, "toPrecision", numberToPrecision, 1);
        proto(m, c, "toLocaleString", numberToStringM);
    }
    m.defineConstant(number, "MAX_VALUE", Value::number(1.7976931348623157e308));
    m.defineConstant(number, "MIN_VALUE", Value::number(4.9406564584124654e-324));
    m.defineConstant(number, "NaN", Value::number(NAN));
    m.defineConstant(number, "POSITIVE_INFINITY", Value::number(INFINITY));
    m.defineConstant(number, "NEGATIVE_INFINITY", Value::number(-INFINITY));
    m.defineConstant(intc, "MAX_VALUE", Value::integer(2147483647));
    m.defineConstant(intc, "MIN_VALUE", Value::integer(-2147483647 - 1));
    m.defineConstant(uintc, "MAX_VALUE", Value::number(4294967295.0));
    m.defineConstant(uintc, "MIN_VALUE", Value::integer(0));

    ClassInfo* string = m.defineNativeClass("", "String", object, ObjKind::Boxed);
    m.stringClass = string;
    string->callAsFunction = stringCall;
    m.defineGetter(string, "length", stringLength);
    m.defineStatic(string, "fromCharCode", stringFromCharCode, 1);
    const std::pair<const char*, NativeFn> stringMethods[] = {
        {"charAt", stringCharAt},
        {"charCodeAt", stringCharCodeAt},
        {"indexOf", stringIndexOf},
        {"lastIndexOf", stringLastIndexOf},
        {"substring", stringSubstring},
        {"substr", stringSubstr},
        {"slice", stringSlice},
        {"toUpperCase", stringUpper},
        {"toLowerCase", stringLower},
        {"toLocaleUpperCase", stringUpper},
        {"toLocaleLowerCase", stringLower},
        {"concat", stringConcat},
        {"localeCompare", stringLocaleCompare},
        {"toString", stringToStringM},
        {"valueOf", stringToStringM}};
    for (const auto& [name, fn] : stringMethods) {
        proto(m, string, name, fn, 1);
    }

    ClassInfo* math = m.defineNativeClass("", "Math", object);
    const std::pair<const char*, NativeFn> mathFns[] = {
        {"abs", mathAbs},   {"floor", mathFloor},  {"ceil", mathCeil},   {"round", mathRound},
        {"sqrt", mathSqrt}, {"sin", mathSin},      {"cos", mathCos},     {"tan", mathTan},
        {"asin", mathAsin}, {"acos", mathAcos},    {"atan", mathAtan},   {"exp", mathExp},
        {"log", mathLog},   {"pow", mathPow},      {"atan2", mathAtan2}, {"min", mathMin},
        {"max", mathMax},   {"random", mathRandom}};
    for (const auto& [name, fn] : mathFns) {
        m.defineStatic(math, name, fn, 1);
    }
    m.defineConstant(math, "PI", Value::number(M_PI));
    m.defineConstant(math, "E", Value::number(M_E));
    m.defineConstant(math, "LN10", Value::number(M_LN10));
    m.defineConstant(math, "LN2", Value::number(M_LN2));
    m.defineConstant(math, "LOG10E", Value::number(M_LOG10E));
    m.defineConstant(math, "LOG2E", Value::number(M_LOG2E));
    m.defineConstant(math, "SQRT1_2", Value::number(M_SQRT1_2));
    m.defineConstant(math, "SQRT2", Value::number(M_SQRT2));
}

void installErrorClasses(Machine& m) {
    ClassInfo* error = m.defineNativeClass("", "Error", m.objectClass, ObjKind::Error);
    m.errorClass = error;
    error->sealed = false;
    error->nativeInit = errorNativeInit;
    proto(m, error, "toString", errorToString);
    m.defineMethod(error, "getStackTrace", errorGetStackTrace);
    error->prototype->setDyn("name", m.str("Error"));
    error->prototype->dyn.back().enumerable = false;
    error->prototype->setDyn("message", m.str("Error"));
    error->prototype->dyn.back().enumerable = false;
    for (const char* name : {"DefinitionError", "EvalError", "RangeError", "ReferenceError",
                             "SecurityError", "SyntaxError", "TypeError", "URIError", "VerifyError",
                             "UninitializedError", "ArgumentError"}) {
        ClassInfo* c = m.defineNativeClass("", name, error);
        c->sealed = false;
        c->nativeInit = errorNativeInit;
        c->prototype->setDyn("name", m.str(name));
        c->prototype->dyn.back().enumerable = false;
    }
    for (const char* name : {"IOError", "EOFError", "IllegalOperationError", "MemoryError",
                             "ScriptTimeoutError", "StackOverflowError", "InvalidSWFError"}) {
        ClassInfo* c = m.defineNativeClass("flash.errors", name, error);
        c->sealed = false;
        c->nativeInit = errorNativeInit;
        c->prototype->setDyn("name", m.str(name));
        c->prototype->dyn.back().enumerable = false;
    }
}

void installGlobalFunctions(Machine& m) {
    m.defineGlobalFunction("", "trace", traceFn, 1);
    m.defineGlobalFunction("", "isNaN", isNaNFn, 1);
    m.defineGlobalFunction("", "isFinite", isFiniteFn, 1);
    m.defineGlobalFunction("", "parseInt", parseIntFn, 2);
    m.defineGlobalFunction("", "parseFloat", parseFloatFn, 1);
    m.defineGlobalFunction("flash.utils", "getQualifiedClassName", getQualifiedClassNameFn, 1);
    m.defineGlobalFunction("flash.utils", "getQualifiedSuperclassName",
                           getQualifiedSuperclassNameFn, 1);
    m.defineGlobalFunction("flash.utils", "getDefinitionByName", getDefinitionByNameFn, 1);
    m.defineGlobalFunction("avmplus", "getQualifiedClassName", getQualifiedClassNameFn, 1);
    m.defineGlobalFunction("avmplus", "getQualifiedSuperclassName", getQualifiedSuperclassNameFn,
                           1);
    m.defineGlobalFunction("flash.utils", "getTimer", getTimerFn);
    m.defineGlobalValue("NaN", Value::number(NAN));
    m.defineGlobalValue("Infinity", Value::number(INFINITY));
    m.defineGlobalValue("undefined", Value());
}

} // namespace kinovex::flash::avm2
