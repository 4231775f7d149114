// RegExp and the String methods that take one: match, replace, search and split.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/Machine.h"
#include "engine/avm2/RegExpPattern.h"

#include <cmath>

namespace kinovex::flash::avm2 {

namespace {

enum FlagBit : unsigned { Global = 1, IgnoreCase = 2, Multiline = 4, DotAll = 8, Extended = 16 };
constexpr std::pair<char, unsigned> kFlagLetters[] = {
    {'g', Global}, {'i', IgnoreCase}, {'m', Multiline}, {'s', DotAll}, {'x', Extended}};

// A RegExp keeps its source in `primitive` and its flag bits in `number`; lastIndex is a
// property of the instance.
bool isRegExp(const Value& v) {
    return v.isObject() && v.o->kind == ObjKind::RegExp;
}

unsigned flagBits(const Object* re) {
    return static_cast<unsigned>(re->number);
}

RegExpPattern compile(Machine& vm, const Object* re) {
    const unsigned bits = flagBits(re);
    RegExpFlags flags;
    flags.ignoreCase = (bits & IgnoreCase) != 0;
    flags.multiline = (bits & Multiline) != 0;
    flags.dotAll = (bits & DotAll) != 0;
    flags.extended = (bits & Extended) != 0;
    return RegExpPattern(vm.toString(re->primitive), flags);
}

Value regExpInit(Machine& vm, Value self, Args args) {
    Object* re = self.o;
    const Value source = arg(args, 0);
    if (isRegExp(source)) {
        re->primitive = source.o->primitive;
        re->number = source.o->number;
    } else {
        re->primitive = vm.str(source.isUndefined() ? "" : vm.toString(source));
        const std::string letters = arg(args, 1).isUndefined() ? "" : vm.toString(args[1]);
        unsigned bits = 0;
        for (const auto& [letter, bit] : kFlagLetters) {
            bits |= letters.find(letter) != std::string::npos ? bit : 0;
        }
        re->number = bits;
    }
    re->setDyn("lastIndex", Value::integer(0));
    re->dyn.back().enumerable = false;
    return Value();
}

// RegExp(x) gives x back when it is a RegExp and no flags are given, else a new one.
Value regExpCall(Machine& vm, Value, Args args) {
    if (isRegExp(arg(args, 0)) && arg(args, 1).isUndefined()) {
        return args[0];
    }
    return Value::obj(vm.constructClass(vm.regExpClass, args));
}

Object* requireRegExp(Machine& vm, const Value& self, const char* method) {
    if (!isRegExp(self)) {
        vm.throwError("TypeError", 1004,
                      std::string("Method RegExp.prototype.") + method +
                          " was invoked on an incompatible object.");
    }
    return self.o;
}

double lastIndexOf(Machine& vm, Object* re) {
    return vm.toNumber(vm.get(Value::obj(re), "lastIndex"));
}

void setLastIndex(Machine& vm, Object* re, double at) {
    vm.set(Value::obj(re), "lastIndex", Value::number(at));
}

// The array exec gives: the match, its groups ("" for those that took no part), index, input
// and the named groups.
Value matchArray(Machine& vm, const RegExpPattern& p, const RegExpMatch& m, const std::string& s) {
    std::vector<Value> parts;
    for (const auto& [a, b] : m.groups) {
        parts.push_back(
            vm.str(a < 0 ? std::string()
                         : s.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a))));
    }
    Object* out = vm.newArray(parts);
    out->setDyn("index", Value::number(static_cast<double>(m.groups[0].first)));
    out->setDyn("input", vm.str(s));
    for (std::size_t i = 0; i < p.groupNames().size(); ++i) {
        if (!p.groupNames()[i].empty()) {
            out->setDyn(p.groupNames()[i], parts[i + 1]);
        }
    }
    return Value::obj(out);
}

// exec as scripts call it: a global RegExp starts at lastIndex and moves it.
std::optional<RegExpMatch> execFrom(Machine& vm, Object* re, const RegExpPattern& p,
                                    const std::string& s) {
    const bool global = (flagBits(re) & Global) != 0;
    const double from = global ? lastIndexOf(vm, re) : 0;
    if (from < 0 || from > static_cast<double>(s.size())) {
        setLastIndex(vm, re, 0);
        return std::nullopt;
    }
    auto m = p.exec(s, static_cast<std::size_t>(from));
    if (global) {
        setLastIndex(vm, re, m ? static_cast<double>(m->groups[0].second) : 0);
    }
    return m;
}

Value regExpExec(Machine& vm, Value self, Args args) {
    Object* re = requireRegExp(vm, self, "exec");
    const std::string s = vm.toString(arg(args, 0));
    const RegExpPattern p = compile(vm, re);
    const auto m = execFrom(vm, re, p, s);
    return m ? matchArray(vm, p, *m, s) : Value::null();
}

Value regExpTest(Machine& vm, Value self, Args args) {
    Object* re = requireRegExp(vm, self, "test");
    const std::string s = vm.toString(arg(args, 0));
    return Value::boolean(execFrom(vm, re, compile(vm, re), s).has_value());
}

Value regExpToString(Machine& vm, Value self, Args) {
    Object* re = requireRegExp(vm, self, "toString");
    std::string text = "/" + vm.toString(re->primitive) + "/";
    for (const auto& [letter, bit] : kFlagLetters) {
        if ((flagBits(re) & bit) != 0) {
            text += letter;
        }
    }
    return vm.str(text);
}

Value regExpSource(Machine& vm, Value self, Args) {
    return requireRegExp(vm, self, "source")->primitive;
}

template <unsigned Bit> Value regExpFlag(Machine& vm, Value self, Args) {
    return Value::boolean((flagBits(requireRegExp(vm, self, "flag")) & Bit) != 0);
}

// ---- String methods ----

std::string subjectOf(Machine& vm, const Value& self) {
    if (self.isObject() && self.o->kind == ObjKind::Boxed) {
        return vm.toString(self.o->primitive);
    }
    return vm.toString(self);
}

// The RegExp a String method was given, or one made from the text it was given.
Object* regExpArg(Machine& vm, const Value& v) {
    if (isRegExp(v)) {
        return v.o;
    }
    Value source = vm.str(vm.toString(v));
    return vm.constructClass(vm.regExpClass, Args(&source, 1));
}

Value stringMatch(Machine& vm, Value self, Args args) {
    const std::string s = subjectOf(vm, self);
    if (arg(args, 0).isNullish()) {
        return Value::null();
    }
    Object* re = regExpArg(vm, args[0]);
    const RegExpPattern p = compile(vm, re);
    if ((flagBits(re) & Global) == 0) {
        const auto m = p.exec(s, 0);
        return m ? matchArray(vm, p, *m, s) : Value::null();
    }
    std::vector<Value> found;
    double previous = lastIndexOf(vm, re);
    std::size_t at = 0;
    while (at < s.size() || (at == s.size() && found.empty())) {
        const auto m = p.exec(s, at);
        if (!m) {
            break;
        }
        const auto [a, b] = m->groups[0];
        found.push_back(
            vm.str(s.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a))));
        double next = static_cast<double>(b);
        next += next == previous ? 1 : 0;
        previous = next;
        at = static_cast<std::size_t>(next);
        setLastIndex(vm, re, next >= static_cast<double>(s.size()) ? 0 : next);
    }
    return Value::obj(vm.newArray(std::move(found)));
}

Value stringSearch(Machine& vm, Value self, Args args) {
    const std::string s = subjectOf(vm, self);
    Object* re = regExpArg(vm, arg(args, 0));
    const auto m = compile(vm, re).exec(s, 0);
    return Value::number(m ? static_cast<double>(m->groups[0].first) : -1);
}

// The text a replacement string stands for: $$, $&, $`, $' and $1..$99 are expanded.
std::string expand(Machine& vm, const std::string& rep, const RegExpMatch& m,
                   const std::string& s) {
    const auto part = [&](std::size_t g) {
        const auto [a, b] = m.groups[g];
        return a < 0 ? std::string()
                     : s.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a));
    };
    std::string out;
    for (std::size_t i = 0; i < rep.size(); ++i) {
        vm.checkStringLength(out.size());
        const char c = i + 1 < rep.size() ? rep[i + 1] : 0;
        const char d1 = i + 2 < rep.size() ? rep[i + 2] : 0;
        if (rep[i] != '$' || c == 0) {
            out += rep[i];
        } else if (c == '$') {
            out += '$', ++i;
        } else if (c == '&') {
            out += part(0), ++i;
        } else if (c == '`') {
            out += s.substr(0, static_cast<std::size_t>(m.groups[0].first)), ++i;
        } else if (c == '\'') {
            out += s.substr(static_cast<std::size_t>(m.groups[0].second)), ++i;
        } else if (c == '0' && d1 >= '1' && d1 <= '9' &&
                   static_cast<std::size_t>(d1 - '0') < m.groups.size()) {
            // "$0" and a digit: the player puts in that group and keeps the digit too.
            out += part(static_cast<std::size_t>(d1 - '0'));
            ++i;
        } else if (c >= '0' && c <= '9') {
            std::size_t g = static_cast<std::size_t>(c - '0');
            std::size_t used = 1;
            if (d1 >= '0' && d1 <= '9' &&
                g * 10 + static_cast<std::size_t>(d1 - '0') < m.groups.size()) {
                g = g * 10 + static_cast<std::size_t>(d1 - '0');
                used = 2;
            }
            if (g == 0 || g >= m.groups.size()) {
                out += '$';
                continue;
            }
            out += part(g);
            i += used;
        } else {
            out += '$';
        }
    }
    return out;
}

std::string replacementFor(Machine& vm, const Value& with, const RegExpMatch& m,
                           const std::string& s) {
    if (!(with.isObject() && with.o->kind == ObjKind::Function)) {
        return expand(vm, vm.toString(with), m, s);
    }
    std::vector<Value> a;
    for (const auto& [x, y] : m.groups) {
        a.push_back(
            vm.str(x < 0 ? std::string()
                         : s.substr(static_cast<std::size_t>(x), static_cast<std::size_t>(y - x))));
    }
    a.push_back(Value::number(static_cast<double>(m.groups[0].first)));
    a.push_back(vm.str(s));
    return vm.toString(vm.call(with, Value::null(), Args(a)));
}

Value stringReplace(Machine& vm, Value self, Args args) {
    const std::string s = subjectOf(vm, self);
    const Value with = arg(args, 1);
    if (!isRegExp(arg(args, 0))) {
        const std::string needle = vm.toString(arg(args, 0));
        const auto at = s.find(needle);
        if (at == std::string::npos) {
            return vm.str(s);
        }
        RegExpMatch m{{{static_cast<long>(at), static_cast<long>(at + needle.size())}}};
        return vm.str(s.substr(0, at) + replacementFor(vm, with, m, s) +
                      s.substr(at + needle.size()));
    }
    Object* re = args[0].o;
    const RegExpPattern p = compile(vm, re);
    const bool global = (flagBits(re) & Global) != 0;
    std::string out;
    std::size_t copied = 0;
    std::size_t at = 0;
    while (at <= s.size()) {
        const auto m = p.exec(s, at);
        if (!m) {
            break;
        }
        const auto [a, b] = m->groups[0];
        out += s.substr(copied, static_cast<std::size_t>(a) - copied);
        out += replacementFor(vm, with, *m, s);
        vm.checkStringLength(out.size());
        copied = static_cast<std::size_t>(b);
        at = static_cast<std::size_t>(b == a ? b + 1 : b);
        if (!global) {
            break;
        }
    }
    return vm.str(out + (copied < s.size() ? s.substr(copied) : std::string()));
}

void splitByText(Machine& vm, const std::string& s, const std::string& sep, double limit,
                 std::vector<Value>& out) {
    if (sep.empty()) {
        for (std::size_t i = 0; i < s.size() && static_cast<double>(out.size()) < limit; ++i) {
            out.push_back(vm.str(s.substr(i, 1)));
        }
        return;
    }
    std::size_t at = 0;
    while (static_cast<double>(out.size()) < limit) {
        const auto next = s.find(sep, at);
        if (next == std::string::npos) {
            out.push_back(vm.str(s.substr(at)));
            return;
        }
        out.push_back(vm.str(s.substr(at, next - at)));
        at = next + sep.size();
    }
}

void splitByPattern(Machine& vm, const std::string& s, const RegExpPattern& p, double limit,
                    std::vector<Value>& out) {
    std::size_t piece = 0;
    std::size_t at = 0;
    const auto full = [&] { return static_cast<double>(out.size()) >= limit; };
    // The limit is checked after each piece and each group; one reached among the groups only
    // ends that match's groups: the next piece is still taken.
    bool ended = full();
    while (at < s.size() && !ended) {
        const auto m = p.exec(s, at);
        if (!m || static_cast<std::size_t>(m->groups[0].first) >= s.size()) {
            break;
        }
        const auto [a, b] = m->groups[0];
        if (b == a) { // an empty match never splits, as in the player
            at = static_cast<std::size_t>(a) + 1;
            continue;
        }
        out.push_back(vm.str(s.substr(piece, static_cast<std::size_t>(a) - piece)));
        ended = full();
        for (std::size_t g = 1; g < m->groups.size() && !full(); ++g) {
            const auto [x, y] = m->groups[g];
            out.push_back(x < 0 ? Value()
                                : vm.str(s.substr(static_cast<std::size_t>(x),
                                                  static_cast<std::size_t>(y - x))));
        }
        piece = static_cast<std::size_t>(b);
        at = piece;
    }
    if (!full()) {
        out.push_back(vm.str(s.substr(std::min(piece, s.size()))));
    }
}

Value stringSplit(Machine& vm, Value self, Args args) {
    const std::string s = subjectOf(vm, self);
    std::vector<Value> out;
    const Value limitArg = arg(args, 1);
    const double limit = limitArg.isUndefined() ? 4294967295.0 : vm.toUint(limitArg);
    const Value sep = arg(args, 0);
    if (sep.isUndefined()) {
        out.push_back(vm.str(s));
    } else if (isRegExp(sep)) {
        splitByPattern(vm, s, compile(vm, sep.o), limit, out);
    } else {
        splitByText(vm, s, vm.toString(sep), limit, out);
    }
    return Value::obj(vm.newArray(std::move(out)));
}

void proto(Machine& vm, ClassInfo* c, const std::string& name, NativeFn fn, std::uint32_t len) {
    Object* f = vm.newNativeFunction(fn, name, len);
    c->prototype->setDyn(name, Value::obj(f));
    c->prototype->dyn.back().enumerable = false;
}

} // namespace

void installRegExpClass(Machine& m) {
    ClassInfo* re = m.defineNativeClass("", "RegExp", m.objectClass, ObjKind::RegExp);
    m.regExpClass = re;
    re->sealed = false;
    re->nativeInit = regExpInit;
    re->callAsFunction = regExpCall;
    proto(m, re, "exec", regExpExec, 1);
    proto(m, re, "test", regExpTest, 1);
    proto(m, re, "toString", regExpToString, 0);
    m.defineGetter(re, "source", regExpSource);
    m.defineGetter(re, "global", regExpFlag<Global>);
    m.defineGetter(re, "ignoreCase", regExpFlag<IgnoreCase>);
    m.defineGetter(re, "multiline", regExpFlag<Multiline>);
    m.defineGetter(re, "dotall", regExpFlag<DotAll>);
    m.defineGetter(re, "extended", regExpFlag<Extended>);
    const std::pair<const char*, NativeFn> stringMethods[] = {{"match", stringMatch},
                                                              {"search", stringSearch},
                                                              {"replace", stringReplace},
                                                              {"split", stringSplit}};
    for (const auto& [name, fn] : stringMethods) {
        proto(m, m.stringClass, name, fn, 1);
    }
}

} // namespace kinovex::flash::avm2
