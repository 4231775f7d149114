// The built-in classes and functions every movie starts with.

#include "engine/avm1/Interpreter.h"
#include "engine/avm1/Utf8.h"
#include "engine/avm1/Vm.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace kinovex::flash::avm1 {

namespace {

Object* selfObject(const Value& self) {
    return self.isObject() ? self.asObject() : nullptr;
}

// Array.sort flags.
enum SortFlag : int {
    kCaseInsensitive = 1,
    kDescending = 2,
    kUniqueSort = 4,
    kReturnIndexedArray = 8,
    kNumeric = 16,
};

// Times further than this from 1970 (in ms) are not dates.
constexpr double kMaxTime = 8.64e15;

// Days from 1970-01-01 to year/month/day (proleptic Gregorian).
double daysFromCivil(double y, double m, double d) {
    y += std::floor(m / 12);
    m = std::fmod(m, 12);
    if (m < 0) {
        m += 12;
    }
    const double yy = m < 2 ? y - 1 : y;
    const double era = std::floor(yy / 400);
    const double yoe = yy - era * 400;
    const double mp = std::fmod(m + 10, 12); // March is 0
    const double doy = std::floor((153 * mp + 2) / 5) + d - 1;
    const double doe = yoe * 365 + std::floor(yoe / 4) - std::floor(yoe / 100) + doy;
    return era * 146097 + doe - 719468;
}

struct CivilTime {
    double year, month, day, hours, minutes, seconds, ms, weekday;
};

CivilTime civilFromMs(double t) {
    const double days = std::floor(t / 86400000.0);
    double msInDay = t - days * 86400000.0;
    const double z = days + 719468;
    const double era = std::floor(z / 146097);
    const double doe = z - era * 146097;
    const double yoe = std::floor(
        (doe - std::floor(doe / 1460) + std::floor(doe / 36524) - std::floor(doe / 146096)) / 365);
    const double doy = doe - (365 * yoe + std::floor(yoe / 4) - std::floor(yoe / 100));
    const double mp = std::floor((5 * doy + 2) / 153);
    const double d = doy - std::floor((153 * mp + 2) / 5) + 1;
    const double m = mp < 10 ? mp + 2 : mp - 10;
    const double y = yoe + era * 400 + (m < 2 ? 1 : 0);
    CivilTime c{};
    c.year = y;
    c.month = m;
    c.day = d;
    c.hours = std::floor(msInDay / 3600000);
    msInDay -= c.hours * 3600000;
    c.minutes = std::floor(msInDay / 60000);
    msInDay -= c.minutes * 60000;
    c.seconds = std::floor(msInDay / 1000);
    c.ms = msInDay - c.seconds * 1000;
    c.weekday = std::fmod(std::fmod(days + 4, 7) + 7, 7);
    return c;
}

} // namespace

double Vm::random() {
    // xorshift64*: fast, and the same sequence on every machine.
    m_randomState ^= m_randomState >> 12;
    m_randomState ^= m_randomState << 25;
    m_randomState ^= m_randomState >> 27;
    const std::uint64_t r = m_randomState * 2685821657736338717ULL;
    return static_cast<double>(r >> 11) / 9007199254740992.0;
}

void Vm::installBuiltins() {
    Vm& vm = *this;
    m_objectProto = newObjectOfClass(ObjectClass::Object, nullptr);
    m_functionProto = newObjectOfClass(ObjectClass::Object, m_objectProto);
    m_global = newObject();
    auto makeClass = [&](std::string_view name, NativeFunction ctor, Object* proto,
                         bool constructs) {
        Object* c = newFunction(std::move(ctor), name, constructs);
        c->define("prototype", Value(proto), kDontEnum | kDontDelete);
        proto->define("constructor", Value(c), kDontEnum);
        m_global->define(name, Value(c), kDontEnum);
        return c;
    };

    // ---- Object ----
    Object* objectCtor = makeClass(
        "Object",
        [](Vm& v, const Value&, std::span<const Value> args) -> Value {
            Object* o = v.toObject(arg(args, 0));
            return Value(o ? o : v.newObject());
        },
        m_objectProto, true);
    setFunction(m_objectProto, "toString", [](Vm& v, const Value& self, auto) -> Value {
        Object* o = selfObject(self);
        if (o && o->objectClass() == ObjectClass::Clip && o->clip()) {
            return Value(v.targetPath(o->clip()));
        }
        return Value(o && o->function() ? "[type Function]" : "[object Object]");
    });
    setFunction(m_objectProto, "valueOf", [](Vm&, const Value& self, auto) { return self; });
    setFunction(m_objectProto, "hasOwnProperty",
                [](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    Object* o = selfObject(self);
                    if (!o) {
                        return Value(false);
                    }
                    const std::string name = v.toString(arg(args, 0));
                    if (o->objectClass() == ObjectClass::Array) {
                        return Value(o->findOwn(name) != nullptr || v.hasProperty(o, name));
                    }
                    return Value(o->findOwn(name) != nullptr);
                });
    setFunction(m_objectProto, "isPropertyEnumerable",
                [](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    Object* o = selfObject(self);
                    const Property* p = o ? o->findOwn(v.toString(arg(args, 0))) : nullptr;
                    return Value(p && !(p->flags & kDontEnum));
                });
    setFunction(m_objectProto, "isPrototypeOf",
                [](Vm&, const Value& self, std::span<const Value> args) -> Value {
                    Object* o = selfObject(self);
                    const Value v = arg(args, 0);
                    if (!o || !v.isObject()) {
                        return Value(false);
                    }
                    int hops = 0;
                    for (Object* p = v.asObject()->proto(); p && hops < 256;
                         p = p->proto(), ++hops) {
                        if (p == o) {
                            return Value(true);
                        }
                    }
                    return Value(false);
                });
    setFunction(
        m_objectProto, "addProperty",
        [](Vm& v, const Value& self, std::span<const Value> args) -> Value {
            Object* o = selfObject(self);
            const std::string name = v.toString(arg(args, 0));
            const Value getter = arg(args, 1);
            const Value setter = arg(args, 2);
            if (!o || name.empty() || !getter.isObject() || !getter.asObject()->function()) {
                return Value(false);
            }
            Property& p = o->define(name, Value());
            p.getter = getter.asObject();
            p.setter =
                setter.isObject() && setter.asObject()->function() ? setter.asObject() : nullptr;
            return Value(true);
        });
    setFunction(m_objectProto, "watch", [](Vm&, const Value&, auto) { return Value(false); });
    setFunction(m_objectProto, "unwatch", [](Vm&, const Value&, auto) { return Value(false); });
    setFunction(
        objectCtor, "registerClass", [](Vm& v, const Value&, std::span<const Value> args) -> Value {
            // Clips attached from the library under this name get the class.
            Object* registry = v.global()->findOwn("__registeredClasses")
                                   ? v.global()->findOwn("__registeredClasses")->value.asObject()
                                   : nullptr;
            if (!registry) {
                registry = v.newObject();
                v.global()->define("__registeredClasses", Value(registry), kDontEnum);
            }
            registry->define(v.toString(arg(args, 0)), arg(args, 1));
            return Value(true);
        });

    // ---- Function ----
    Object* functionCtor = makeClass(
        "Function", [](Vm&, const Value&, auto) { return Value(); }, m_functionProto, false);
    (void)functionCtor;
    setFunction(m_functionProto, "call",
                [](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    const Value thisArg = arg(args, 0);
                    return v.call(self, thisArg, args.empty() ? args : args.subspan(1));
                });
    setFunction(m_functionProto, "apply",
                [](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    std::vector<Value> list;
                    const Value a = arg(args, 1);
                    if (a.isObject()) {
                        Object* arr = a.asObject();
                        const std::uint32_t n = std::min<std::uint32_t>(v.arrayLength(arr), 65536);
                        for (std::uint32_t i = 0; i < n; ++i) {
                            list.push_back(v.getMember(arr, std::to_string(i), a));
                        }
                    }
                    return v.call(self, arg(args, 0), list);
                });

    // ---- Array ----
    m_arrayProto = newObjectOfClass(ObjectClass::Array, m_objectProto);
    makeClass(
        "Array",
        [](Vm& v, const Value&, std::span<const Value> args) -> Value {
            if (args.size() == 1 && args[0].isNumber()) {
                const double n = args[0].asNumber();
                const std::size_t count =
                    n >= 0 && n == std::floor(n) ? static_cast<std::size_t>(std::min(n, 1e18)) : 0;
                v.checkArrayLength(count);
                return Value(v.newArray(std::vector<Value>(count)));
            }
            return Value(v.newArray(std::vector<Value>(args.begin(), args.end())));
        },
        m_arrayProto, true);
    auto arrayOf = [](const Value& self) -> Object* {
        Object* o = selfObject(self);
        return o && o->objectClass() == ObjectClass::Array ? o : nullptr;
    };
    auto join = [](Vm& v, Object* a, const std::string& sep) {
        std::string out;
        for (std::size_t i = 0; i < a->elements().size(); ++i) {
            if (i) {
                out += sep;
            }
            const Value& e = a->elements()[i];
            out += e.isUndefined() ? (v.version() >= 7 ? "undefined" : "") : v.toString(e);
            v.checkStringSize(out.size());
        }
        return out;
    };
    setFunction(m_arrayProto, "push",
                [arrayOf](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    Object* a = arrayOf(self);
                    if (!a) {
                        return Value();
                    }
                    v.checkArrayLength(a->elements().size() + args.size());
                    a->elements().insert(a->elements().end(), args.begin(), args.end());
                    return Value(static_cast<double>(a->elements().size()));
                });
    setFunction(m_arrayProto, "pop", [arrayOf](Vm&, const Value& self, auto) -> Value {
        Object* a = arrayOf(self);
        if (!a || a->elements().empty()) {
            return Value();
        }
        Value v = a->elements().back();
        a->elements().pop_back();
        return v;
    });
    setFunction(m_arrayProto, "shift", [arrayOf](Vm&, const Value& self, auto) -> Value {
        Object* a = arrayOf(self);
        if (!a || a->elements().empty()) {
            return Value();
        }
        Value v = a->elements().front();
        a->elements().erase(a->elements().begin());
        return v;
    });
    setFunction(m_arrayProto, "unshift",
                [arrayOf](Vm&, const Value& self, std::span<const Value> args) -> Value {
                    Object* a = arrayOf(self);
                    if (!a) {
                        return Value();
                    }
                    a->elements().insert(a->elements().begin(), args.begin(), args.end());
                    return Value(static_cast<double>(a->elements().size()));
                });
    setFunction(m_arrayProto, "join",
                [arrayOf, join](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    Object* a = arrayOf(self);
                    if (!a) {
                        return Value("");
                    }
                    const Value sep = arg(args, 0);
                    return Value(join(v, a, sep.isUndefined() ? "," : v.toString(sep)));
                });
    setFunction(m_arrayProto, "toString", [arrayOf, join](Vm& v, const Value& self, auto) -> Value {
        Object* a = arrayOf(self);
        return Value(a ? join(v, a, ",") : std::string());
    });
    setFunction(m_arrayProto, "reverse", [arrayOf](Vm&, const Value& self, auto) -> Value {
        if (Object* a = arrayOf(self)) {
            std::reverse(a->elements().begin(), a->elements().end());
        }
        return self;
    });
    auto clampIndex = [](Vm& v, const Value& x, std::size_t size, double fallback) {
        double n = x.isUndefined() ? fallback : toInteger(v.toNumber(x));
        if (n < 0) {
            n = std::max(0.0, n + static_cast<double>(size));
        }
        return static_cast<std::size_t>(std::min(n, static_cast<double>(size)));
    };
    setFunction(
        m_arrayProto, "slice",
        [arrayOf, clampIndex](Vm& v, const Value& self, std::span<const Value> args) -> Value {
            Object* a = arrayOf(self);
            if (!a) {
                return Value(v.newArray());
            }
            const auto& el = a->elements();
            const std::size_t from = clampIndex(v, arg(args, 0), el.size(), 0);
            const std::size_t to =
                clampIndex(v, arg(args, 1), el.size(), static_cast<double>(el.size()));
            return Value(v.newArray(from < to
                                        ? std::vector<Value>(el.begin() + static_cast<long>(from),
                                                             el.begin() + static_cast<long>(to))
                                        : std::vector<Value>()));
        });
    setFunction(
        m_arrayProto, "splice",
        [arrayOf, clampIndex](Vm& v, const Value& self, std::span<const Value> args) -> Value {
            Object* a = arrayOf(self);
            if (!a || args.empty()) {
                return Value();
            }
            auto& el = a->elements();
            const std::size_t from = clampIndex(v, arg(args, 0), el.size(), 0);
            double countArg = args.size() > 1 ? toInteger(v.toNumber(args[1]))
                                              : static_cast<double>(el.size() - from);
            const std::size_t count = static_cast<std::size_t>(
                std::clamp(countArg, 0.0, static_cast<double>(el.size() - from)));
            std::vector<Value> removed(el.begin() + static_cast<long>(from),
                                       el.begin() + static_cast<long>(from + count));
            el.erase(el.begin() + static_cast<long>(from),
                     el.begin() + static_cast<long>(from + count));
            if (args.size() > 2) {
                el.insert(el.begin() + static_cast<long>(from), args.begin() + 2, args.end());
            }
            return Value(v.newArray(std::move(removed)));
        });
    setFunction(m_arrayProto, "concat",
                [arrayOf](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    Object* a = arrayOf(self);
                    std::vector<Value> out = a ? a->elements() : std::vector<Value>();
                    for (const Value& x : args) {
                        v.checkArrayLength(out.size() + 1 +
                                           (arrayOf(x) ? arrayOf(x)->elements().size() : 0));
                        if (Object* b = arrayOf(x)) {
                            out.insert(out.end(), b->elements().begin(), b->elements().end());
                        } else {
                            out.push_back(x);
                        }
                    }
                    return Value(v.newArray(std::move(out)));
                });
    // sort and sortOn share the comparison: a script function, or flags.
    struct SortRule {
        Value compare;
        int flags = 0;
        std::vector<std::string> fields;
        std::vector<int> fieldFlags;
    };
    auto sortArray = [](Vm& v, Object* a, const SortRule& rule) -> Value {
        auto keyOf = [&](const Value& e, std::size_t field) -> Value {
            if (rule.fields.empty()) {
                return e;
            }
            return v.getMember(e, rule.fields[field]);
        };
        auto compareBy = [&](const Value& x, const Value& y, int flags) -> int {
            if (flags & kNumeric) {
                const double p = v.toNumber(x);
                const double q = v.toNumber(y);
                if (std::isnan(p) || std::isnan(q)) {
                    return std::isnan(p) ? (std::isnan(q) ? 0 : 1) : -1;
                }
                return p < q ? -1 : p > q ? 1 : 0;
            }
            std::string p = v.toString(x);
            std::string q = v.toString(y);
            if (flags & kCaseInsensitive) {
                for (char& c : p) {
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                }
                for (char& c : q) {
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                }
            }
            return p < q ? -1 : p > q ? 1 : 0;
        };
        auto compare = [&](const Value& x, const Value& y) -> int {
            if (rule.compare.isObject()) {
                const Value pair[2] = {x, y};
                const double r = v.toNumber(v.call(rule.compare, Value(), pair));
                return r < 0 ? -1 : r > 0 ? 1 : 0;
            }
            const std::size_t n = std::max<std::size_t>(rule.fields.size(), 1);
            for (std::size_t k = 0; k < n; ++k) {
                const int flags = k < rule.fieldFlags.size() ? rule.fieldFlags[k] : rule.flags;
                int c = compareBy(keyOf(x, k), keyOf(y, k), flags);
                if (flags & kDescending) {
                    c = -c;
                }
                if (c != 0) {
                    return c;
                }
            }
            return 0;
        };
        std::vector<std::size_t> order(a->elements().size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        const std::vector<Value> items = a->elements();
        std::stable_sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
            return compare(items[i], items[j]) < 0;
        });
        if (rule.flags & kUniqueSort) {
            for (std::size_t i = 1; i < order.size(); ++i) {
                if (compare(items[order[i - 1]], items[order[i]]) == 0) {
                    return Value(0.0);
                }
            }
        }
        if (rule.flags & kReturnIndexedArray) {
            std::vector<Value> idx;
            for (std::size_t i : order) {
                idx.emplace_back(static_cast<double>(i));
            }
            return Value(v.newArray(std::move(idx)));
        }
        for (std::size_t i = 0; i < order.size(); ++i) {
            a->elements()[i] = items[order[i]];
        }
        return Value(a);
    };
    setFunction(
        m_arrayProto, "sort",
        [arrayOf, sortArray](Vm& v, const Value& self, std::span<const Value> args) -> Value {
            Object* a = arrayOf(self);
            if (!a) {
                return Value();
            }
            SortRule rule;
            std::size_t i = 0;
            if (arg(args, 0).isObject() && arg(args, 0).asObject()->function()) {
                rule.compare = args[0];
                i = 1;
            }
            rule.flags = static_cast<int>(toInt32(v.toNumber(arg(args, i))));
            return sortArray(v, a, rule);
        });
    setFunction(
        m_arrayProto, "sortOn",
        [arrayOf, sortArray](Vm& v, const Value& self, std::span<const Value> args) -> Value {
            Object* a = arrayOf(self);
            if (!a) {
                return Value();
            }
            SortRule rule;
            if (Object* names = arrayOf(arg(args, 0))) {
                for (const Value& n : names->elements()) {
                    rule.fields.push_back(v.toString(n));
                }
            } else {
                rule.fields.push_back(v.toString(arg(args, 0)));
            }
            if (Object* fl = arrayOf(arg(args, 1))) {
                for (const Value& n : fl->elements()) {
                    rule.fieldFlags.push_back(static_cast<int>(toInt32(v.toNumber(n))));
                }
                rule.flags = rule.fieldFlags.empty() ? 0 : rule.fieldFlags[0];
            } else {
                rule.flags = static_cast<int>(toInt32(v.toNumber(arg(args, 1))));
            }
            return sortArray(v, a, rule);
        });
    {
        Object* arrayCtor = m_global->findOwn("Array")->value.asObject();
        arrayCtor->define("CASEINSENSITIVE", Value(1), kDontEnum | kDontDelete | kReadOnly);
        arrayCtor->define("DESCENDING", Value(2), kDontEnum | kDontDelete | kReadOnly);
        arrayCtor->define("UNIQUESORT", Value(4), kDontEnum | kDontDelete | kReadOnly);
        arrayCtor->define("RETURNINDEXEDARRAY", Value(8), kDontEnum | kDontDelete | kReadOnly);
        arrayCtor->define("NUMERIC", Value(16), kDontEnum | kDontDelete | kReadOnly);
    }

    // ---- String ----
    m_stringProto = newObjectOfClass(ObjectClass::String, m_objectProto);
    m_stringProto->primitive() = Value("");
    Object* stringCtor = makeClass(
        "String",
        [](Vm& v, const Value& self, std::span<const Value> args) -> Value {
            const std::string s = args.empty() ? std::string() : v.toString(args[0]);
            Object* o = selfObject(self);
            if (v.m_constructing && o) {
                o->setObjectClass(ObjectClass::String);
                o->primitive() = Value(s);
                return Value(o);
            }
            return Value(s);
        },
        m_stringProto, true);
    auto thisString = [](Vm& v, const Value& self) -> std::string {
        if (self.isString()) {
            return self.asString();
        }
        Object* o = selfObject(self);
        if (o && o->objectClass() == ObjectClass::String) {
            return o->primitive().isString() ? o->primitive().asString() : std::string();
        }
        return v.toString(self);
    };
    setFunction(m_stringProto, "toString", [thisString](Vm& v, const Value& self, auto) {
        return Value(thisString(v, self));
    });
    setFunction(m_stringProto, "valueOf", [thisString](Vm& v, const Value& self, auto) {
        return Value(thisString(v, self));
    });
    setFunction(m_stringProto, "charAt",
                [thisString](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    const std::string s = thisString(v, self);
                    const double i = toInteger(v.toNumber(arg(args, 0)));
                    if (i < 0 || i >= static_cast<double>(utf8Length(s))) {
                        return Value("");
                    }
                    return Value(utf8Substr(s, i, 1));
                });
    setFunction(m_stringProto, "charCodeAt",
                [thisString](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    const std::string s = thisString(v, self);
                    const double i = toInteger(v.toNumber(arg(args, 0)));
                    if (i < 0 || i >= static_cast<double>(utf8Length(s))) {
                        return Value(std::nan(""));
                    }
                    return Value(static_cast<double>(utf8At(s, static_cast<std::size_t>(i))));
                });
    setFunction(m_stringProto, "indexOf",
                [thisString](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    const std::string s = thisString(v, self);
                    const std::string needle = v.toString(arg(args, 0));
                    const double from = std::max(0.0, toInteger(v.toNumber(arg(args, 1))));
                    const std::string head = utf8Substr(s, 0, from);
                    const auto at = s.find(needle, head.size());
                    return Value(at == std::string::npos
                                     ? -1.0
                                     : static_cast<double>(utf8Length(s.substr(0, at))));
                });
    setFunction(m_stringProto, "lastIndexOf",
                [thisString](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    const std::string s = thisString(v, self);
                    const std::string needle = v.toString(arg(args, 0));
                    std::size_t from = std::string::npos;
                    if (args.size() > 1) {
                        const double f = toInteger(v.toNumber(args[1]));
                        if (f < 0) {
                            return Value(-1.0);
                        }
                        from = utf8Substr(s, 0, f).size();
                    }
                    const auto at = s.rfind(needle, from);
                    return Value(at == std::string::npos
                                     ? -1.0
                                     : static_cast<double>(utf8Length(s.substr(0, at))));
                });
    setFunction(m_stringProto, "substr",
                [thisString](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    const std::string s = thisString(v, self);
                    const double len = static_cast<double>(utf8Length(s));
                    double from = toInteger(v.toNumber(arg(args, 0)));
                    if (from < 0) {
                        from = std::max(0.0, from + len);
                    }
                    const double count =
                        arg(args, 1).isUndefined() ? len : toInteger(v.toNumber(args[1]));
                    if (count <= 0) {
                        return Value("");
                    }
                    return Value(utf8Substr(s, from, count));
                });
    setFunction(m_stringProto, "substring",
                [thisString](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    const std::string s = thisString(v, self);
                    const double len = static_cast<double>(utf8Length(s));
                    double a = std::clamp(toInteger(v.toNumber(arg(args, 0))), 0.0, len);
                    double b = arg(args, 1).isUndefined()
                                   ? len
                                   : std::clamp(toInteger(v.toNumber(args[1])), 0.0, len);
                    if (a > b) {
                        std::swap(a, b);
                    }
                    return Value(utf8Substr(s, a, b - a));
                });
    setFunction(m_stringProto, "slice",
                [thisString](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    const std::string s = thisString(v, self);
                    const double len = static_cast<double>(utf8Length(s));
                    auto fix = [len](double x) {
                        return x < 0 ? std::max(0.0, x + len) : std::min(x, len);
                    };
                    const double a = fix(toInteger(v.toNumber(arg(args, 0))));
                    const double b =
                        arg(args, 1).isUndefined() ? len : fix(toInteger(v.toNumber(args[1])));
                    return Value(a < b ? utf8Substr(s, a, b - a) : std::string());
                });
    setFunction(m_stringProto, "split",
                [thisString](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    const std::string s = thisString(v, self);
                    std::vector<Value> parts;
                    if (arg(args, 0).isUndefined()) {
                        parts.emplace_back(s);
                        return Value(v.newArray(std::move(parts)));
                    }
                    const std::string sep = v.toString(args[0]);
                    const double limit =
                        arg(args, 1).isUndefined() ? 4294967295.0 : toInteger(v.toNumber(args[1]));
                    if (sep.empty()) {
                        const std::size_t n = utf8Length(s);
                        for (std::size_t i = 0; i < n && parts.size() < limit; ++i) {
                            parts.emplace_back(utf8Substr(s, static_cast<double>(i), 1));
                        }
                    } else {
                        std::size_t at = 0;
                        while (parts.size() < limit) {
                            const auto hit = s.find(sep, at);
                            parts.emplace_back(s.substr(at, hit - at));
                            if (hit == std::string::npos) {
                                break;
                            }
                            at = hit + sep.size();
                        }
                    }
                    return Value(v.newArray(std::move(parts)));
                });
    setFunction(m_stringProto, "toUpperCase",
                [thisString](Vm& v, const Value& self, auto) -> Value {
                    std::string s = thisString(v, self);
                    for (char& c : s) {
                        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                    }
                    return Value(s);
                });
    setFunction(m_stringProto, "toLowerCase",
                [thisString](Vm& v, const Value& self, auto) -> Value {
                    std::string s = thisString(v, self);
                    for (char& c : s) {
                        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                    }
                    return Value(s);
                });
    setFunction(m_stringProto, "concat",
                [thisString](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    std::string s = thisString(v, self);
                    for (const Value& a : args) {
                        s += v.toString(a);
                        v.checkStringSize(s.size());
                    }
                    return Value(s);
                });
    setFunction(stringCtor, "fromCharCode",
                [](Vm& v, const Value&, std::span<const Value> args) -> Value {
                    std::string s;
                    for (const Value& a : args) {
                        s += utf8Encode(toUint32(v.toNumber(a)) & 0xffff);
                    }
                    return Value(s);
                });

    // ---- Number and Boolean ----
    m_numberProto = newObjectOfClass(ObjectClass::Number, m_objectProto);
    m_numberProto->primitive() = Value(0.0);
    Object* numberCtor = makeClass(
        "Number",
        [](Vm& v, const Value& self, std::span<const Value> args) -> Value {
            const double n = args.empty() ? 0.0 : v.toNumber(args[0]);
            Object* o = selfObject(self);
            if (v.m_constructing && o) {
                o->setObjectClass(ObjectClass::Number);
                o->primitive() = Value(n);
                return Value(o);
            }
            return Value(n);
        },
        m_numberProto, true);
    auto thisNumber = [](Vm& v, const Value& self) -> double {
        if (self.isNumber()) {
            return self.asNumber();
        }
        Object* o = selfObject(self);
        if (o && o->objectClass() == ObjectClass::Number) {
            return v.toNumber(o->primitive());
        }
        return std::nan("");
    };
    setFunction(m_numberProto, "toString",
                [thisNumber](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    const double radix =
                        arg(args, 0).isUndefined() ? 10 : toInteger(v.toNumber(args[0]));
                    return Value(numberToString(thisNumber(v, self), static_cast<int>(radix)));
                });
    setFunction(m_numberProto, "valueOf", [thisNumber](Vm& v, const Value& self, auto) {
        return Value(thisNumber(v, self));
    });
    const std::uint8_t constant = kDontEnum | kDontDelete | kReadOnly;
    numberCtor->define("MAX_VALUE", Value(1.7976931348623157e308), constant);
    numberCtor->define("MIN_VALUE", Value(4.9406564584124654e-324), constant);
    numberCtor->define("NaN", Value(std::nan("")), constant);
    numberCtor->define("POSITIVE_INFINITY", Value(INFINITY), constant);
    numberCtor->define("NEGATIVE_INFINITY", Value(-INFINITY), constant);

    m_booleanProto = newObjectOfClass(ObjectClass::Boolean, m_objectProto);
    m_booleanProto->primitive() = Value(false);
    makeClass(
        "Boolean",
        [](Vm& v, const Value& self, std::span<const Value> args) -> Value {
            const bool b = !args.empty() && v.toBoolean(args[0]);
            Object* o = selfObject(self);
            if (v.m_constructing && o) {
                o->setObjectClass(ObjectClass::Boolean);
                o->primitive() = Value(b);
                return Value(o);
            }
            return Value(b);
        },
        m_booleanProto, true);
    auto thisBool = [](const Value& self) -> bool {
        if (self.isBool()) {
            return self.asBool();
        }
        Object* o = selfObject(self);
        return o && o->primitive().isBool() && o->primitive().asBool();
    };
    setFunction(m_booleanProto, "toString", [thisBool](Vm&, const Value& self, auto) {
        return Value(thisBool(self) ? "true" : "false");
    });
    setFunction(m_booleanProto, "valueOf",
                [thisBool](Vm&, const Value& self, auto) { return Value(thisBool(self)); });

    // ---- Math ----
    Object* math = newObject();
    m_global->define("Math", Value(math), kDontEnum);
    auto unary = [&](std::string_view name, double (*f)(double)) {
        setFunction(math, name, [f](Vm& v, const Value&, std::span<const Value> args) {
            return Value(f(v.toNumber(arg(args, 0))));
        });
    };
    unary("abs", [](double x) { return std::fabs(x); });
    unary("acos", [](double x) { return std::acos(x); });
    unary("asin", [](double x) { return std::asin(x); });
    unary("atan", [](double x) { return std::atan(x); });
    unary("ceil", [](double x) { return std::ceil(x); });
    unary("cos", [](double x) { return std::cos(x); });
    unary("exp", [](double x) { return std::exp(x); });
    unary("floor", [](double x) { return std::floor(x); });
    unary("log", [](double x) { return std::log(x); });
    unary("round", [](double x) { return std::floor(x + 0.5); });
    unary("sin", [](double x) { return std::sin(x); });
    unary("sqrt", [](double x) { return std::sqrt(x); });
    unary("tan", [](double x) { return std::tan(x); });
    setFunction(math, "atan2", [](Vm& v, const Value&, std::span<const Value> args) {
        return Value(std::atan2(v.toNumber(arg(args, 0)), v.toNumber(arg(args, 1))));
    });
    setFunction(math, "pow", [](Vm& v, const Value&, std::span<const Value> args) {
        return Value(std::pow(v.toNumber(arg(args, 0)), v.toNumber(arg(args, 1))));
    });
    setFunction(math, "max", [](Vm& v, const Value&, std::span<const Value> args) {
        double r = -INFINITY;
        for (const Value& a : args) {
            const double x = v.toNumber(a);
            if (std::isnan(x)) {
                return Value(x);
            }
            r = std::max(r, x);
        }
        return Value(r);
    });
    setFunction(math, "min", [](Vm& v, const Value&, std::span<const Value> args) {
        double r = INFINITY;
        for (const Value& a : args) {
            const double x = v.toNumber(a);
            if (std::isnan(x)) {
                return Value(x);
            }
            r = std::min(r, x);
        }
        return Value(r);
    });
    setFunction(math, "random", [](Vm& v, const Value&, auto) { return Value(v.random()); });
    math->define("E", Value(M_E), constant);
    math->define("LN10", Value(M_LN10), constant);
    math->define("LN2", Value(M_LN2), constant);
    math->define("LOG10E", Value(M_LOG10E), constant);
    math->define("LOG2E", Value(M_LOG2E), constant);
    math->define("PI", Value(M_PI), constant);
    math->define("SQRT1_2", Value(M_SQRT1_2), constant);
    math->define("SQRT2", Value(M_SQRT2), constant);

    // ---- Date (local time from the host) ----
    Object* dateProto = newObject();
    makeClass(
        "Date",
        [](Vm& v, const Value& self, std::span<const Value> args) -> Value {
            Object* o = selfObject(self);
            if (!v.m_constructing || !o) {
                return Value(
                    v.toString(Value(v.construct(Value(v.global()->findOwn("Date")->value), {}))));
            }
            o->setObjectClass(ObjectClass::Date);
            double t;
            const double offset = v.host().utcOffsetMinutes() * 60000.0;
            if (args.empty()) {
                t = std::floor(v.host().epochMs());
            } else if (args.size() == 1) {
                t = v.toNumber(args[0]);
            } else {
                double parts[7] = {0, 0, 1, 0, 0, 0, 0};
                for (std::size_t i = 0; i < 7 && i < args.size(); ++i) {
                    parts[i] = toInteger(v.toNumber(args[i]));
                }
                if (parts[0] >= 0 && parts[0] < 100) {
                    parts[0] += 1900;
                }
                t = daysFromCivil(parts[0], parts[1], parts[2]) * 86400000.0 +
                    parts[3] * 3600000.0 + parts[4] * 60000.0 + parts[5] * 1000.0 + parts[6] -
                    offset;
            }
            o->primitive() = Value(t);
            return Value(o);
        },
        dateProto, true);
    auto dateGetter = [&](std::string_view name, bool utc, int field) {
        setFunction(dateProto, name, [utc, field](Vm& v, const Value& self, auto) -> Value {
            Object* o = selfObject(self);
            if (!o || o->objectClass() != ObjectClass::Date) {
                return Value(std::nan(""));
            }
            const double t = v.toNumber(o->primitive());
            if (!(std::fabs(t) <= kMaxTime)) {
                return Value(std::nan(""));
            }
            if (field == 8) {
                return Value(t);
            }
            const CivilTime c = civilFromMs(utc ? t : t + v.host().utcOffsetMinutes() * 60000.0);
            const double values[] = {c.year,    c.month,   c.day, c.hours,
                                     c.minutes, c.seconds, c.ms,  c.weekday};
            return Value(values[field]);
        });
    };
    const char* dateFields[] = {"FullYear", "Month",   "Date",         "Hours",
                                "Minutes",  "Seconds", "Milliseconds", "Day"};
    for (int i = 0; i < 8; ++i) {
        dateGetter(std::string("get") + dateFields[i], false, i);
        dateGetter(std::string("getUTC") + dateFields[i], true, i);
    }
    dateGetter("getTime", true, 8);
    dateGetter("valueOf", true, 8);
    setFunction(dateProto, "getYear", [](Vm& v, const Value& self, auto) -> Value {
        const Value y = v.call(v.getMember(self, "getFullYear"), self, {});
        return Value(v.toNumber(y) - 1900);
    });
    setFunction(dateProto, "getTimezoneOffset", [](Vm& v, const Value&, auto) -> Value {
        return Value(static_cast<double>(-v.host().utcOffsetMinutes()));
    });
    // setFullYear(y, m, d), setMonth(m, d), setDate(d), setHours(h, m, s, ms), ... : the
    // arguments replace the fields from `first` on; local time unless `utc`.
    auto dateSetter = [&](std::string_view name, bool utc, int first, int most) {
        setFunction(
            dateProto, name,
            [utc, first, most](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                Object* o = selfObject(self);
                if (!o || o->objectClass() != ObjectClass::Date || args.empty()) {
                    return Value(std::nan(""));
                }
                const double offset = utc ? 0 : v.host().utcOffsetMinutes() * 60000.0;
                double t = v.toNumber(o->primitive());
                if (!(std::fabs(t) <= kMaxTime)) {
                    t = 0;
                }
                const CivilTime c = civilFromMs(t + offset);
                double f[7] = {c.year, c.month, c.day, c.hours, c.minutes, c.seconds, c.ms};
                for (int i = 0; i < most && static_cast<std::size_t>(i) < args.size(); ++i) {
                    f[first + i] = toInteger(v.toNumber(args[static_cast<std::size_t>(i)]));
                }
                const double r = daysFromCivil(f[0], f[1], f[2]) * 86400000.0 + f[3] * 3600000.0 +
                                 f[4] * 60000.0 + f[5] * 1000.0 + f[6] - offset;
                o->primitive() = Value(std::fabs(r) <= kMaxTime ? r : std::nan(""));
                return o->primitive();
            });
    };
    const struct {
        const char* field;
        int first;
        int most;
    } setters[] = {{"FullYear", 0, 3}, {"Month", 1, 2},   {"Date", 2, 1},        {"Hours", 3, 4},
                   {"Minutes", 4, 3},  {"Seconds", 5, 2}, {"Milliseconds", 6, 1}};
    for (const auto& st : setters) {
        dateSetter(std::string("set") + st.field, false, st.first, st.most);
        dateSetter(std::string("setUTC") + st.field, true, st.first, st.most);
    }
    setFunction(dateProto, "setTime",
                [](Vm& v, const Value& self, std::span<const Value> args) -> Value {
                    Object* o = selfObject(self);
                    if (!o) {
                        return Value();
                    }
                    o->primitive() = Value(v.toNumber(arg(args, 0)));
                    return o->primitive();
                });
    setFunction(dateProto, "toString", [](Vm& v, const Value& self, auto) -> Value {
        Object* o = selfObject(self);
        const double t = o ? v.toNumber(o->primitive()) : std::nan("");
        if (!(std::fabs(t) <= kMaxTime)) {
            return Value("Invalid Date");
        }
        const int offset = v.host().utcOffsetMinutes();
        const CivilTime c = civilFromMs(t + offset * 60000.0);
        static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        char buf[80];
        std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d GMT%c%02d%02d %d",
                      days[static_cast<int>(c.weekday)], months[static_cast<int>(c.month)],
                      static_cast<int>(c.day), static_cast<int>(c.hours),
                      static_cast<int>(c.minutes), static_cast<int>(c.seconds),
                      offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60,
                      static_cast<int>(c.year));
        return Value(std::string(buf));
    });

    // ---- Error ----
    m_errorProto = newObject();
    makeClass(
        "Error",
        [](Vm& v, const Value& self, std::span<const Value> args) -> Value {
            Object* o = selfObject(self);
            if (o && !args.empty()) {
                o->define("message", Value(v.toString(args[0])));
            }
            return self;
        },
        m_errorProto, false);
    m_errorProto->define("message", Value("Error"), kDontEnum);
    m_errorProto->define("name", Value("Error"), kDontEnum);
    setFunction(m_errorProto, "toString", [](Vm& v, const Value& self, auto) {
        return Value(v.toString(v.getMember(self, "message")));
    });

    // ---- global functions ----
    setFunction(m_global, "getTimer",
                [](Vm& v, const Value&, auto) { return Value(std::floor(v.host().timeMs())); });
    setFunction(m_global, "trace", [](Vm& v, const Value&, std::span<const Value> args) {
        const Value x = arg(args, 0);
        v.host().trace(x.isUndefined() ? std::string("undefined") : v.toString(x));
        return Value();
    });
    setFunction(m_global, "isNaN", [](Vm& v, const Value&, std::span<const Value> args) {
        return Value(std::isnan(v.toNumber(arg(args, 0))));
    });
    setFunction(m_global, "isFinite", [](Vm& v, const Value&, std::span<const Value> args) {
        return Value(std::isfinite(v.toNumber(arg(args, 0))));
    });
    setFunction(m_global, "parseFloat", [](Vm& v, const Value&, std::span<const Value> args) {
        std::string s = v.toString(arg(args, 0));
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
        return Value(i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) ? n
                                                                                    : std::nan(""));
    });
    setFunction(m_global, "parseInt", [](Vm& v, const Value&, std::span<const Value> args) {
        const std::string s = v.toString(arg(args, 0));
        int radix = static_cast<int>(toInteger(v.toNumber(arg(args, 1))));
        std::size_t i = 0;
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) {
            ++i;
        }
        bool negative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            negative = s[i] == '-';
            ++i;
        }
        if ((radix == 0 || radix == 16) && i + 1 < s.size() && s[i] == '0' &&
            (s[i + 1] == 'x' || s[i + 1] == 'X')) {
            radix = 16;
            i += 2;
        } else if (radix == 0 && i + 1 < s.size() && s[i] == '0') {
            radix = 8; // a leading zero means octal here
        }
        if (radix == 0) {
            radix = 10;
        }
        if (radix < 2 || radix > 36) {
            return Value(std::nan(""));
        }
        double r = 0;
        bool any = false;
        for (; i < s.size(); ++i) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
            const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'z' ? c - 'a' + 10 : 99;
            if (d >= radix) {
                break;
            }
            r = r * radix + d;
            any = true;
        }
        return Value(any ? (negative ? -r : r) : std::nan(""));
    });
    setFunction(m_global, "escape", [](Vm& v, const Value&, std::span<const Value> args) {
        const std::string s = v.toString(arg(args, 0));
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
    });
    setFunction(m_global, "unescape", [](Vm& v, const Value&, std::span<const Value> args) {
        const std::string s = v.toString(arg(args, 0));
        std::string out;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '%' && i + 2 < s.size() &&
                std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
                std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
                out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += s[i];
            }
        }
        return Value(out);
    });
    setFunction(m_global, "setInterval", [](Vm& v, const Value&, std::span<const Value> args) {
        // setInterval(function, ms, args...) or setInterval(object, "method", ms, args...)
        if (args.size() >= 2 && args[0].isObject() && args[0].asObject()->function()) {
            return Value(static_cast<double>(v.addInterval(
                args[0], Value(), {}, std::vector<Value>(args.begin() + 2, args.end()),
                v.toNumber(args[1]))));
        }
        if (args.size() >= 3 && args[0].isObject()) {
            return Value(static_cast<double>(v.addInterval(
                Value(), args[0], v.toString(args[1]),
                std::vector<Value>(args.begin() + 3, args.end()), v.toNumber(args[2]))));
        }
        return Value();
    });
    setFunction(m_global, "clearInterval", [](Vm& v, const Value&, std::span<const Value> args) {
        v.clearInterval(static_cast<int>(toInteger(v.toNumber(arg(args, 0)))));
        return Value();
    });
    setFunction(
        m_global, "ASSetPropFlags", [](Vm& v, const Value&, std::span<const Value> args) -> Value {
            Object* o = selfObject(arg(args, 0));
            if (!o) {
                return Value();
            }
            const auto set = static_cast<std::uint8_t>(toUint32(v.toNumber(arg(args, 2))) & 7);
            const auto clear = static_cast<std::uint8_t>(toUint32(v.toNumber(arg(args, 3))) & 7);
            auto apply = [&](Property& p) {
                p.flags = static_cast<std::uint8_t>((p.flags & ~clear) | set);
            };
            const Value names = arg(args, 1);
            if (names.isNull()) {
                for (Property& p : o->properties()) {
                    apply(p);
                }
                return Value();
            }
            std::vector<std::string> list;
            if (names.isObject() && names.asObject()->objectClass() == ObjectClass::Array) {
                for (const Value& n : names.asObject()->elements()) {
                    list.push_back(v.toString(n));
                }
            } else {
                const std::string text = v.toString(names);
                std::size_t at = 0;
                while (at <= text.size()) {
                    const auto comma = text.find(',', at);
                    list.push_back(text.substr(at, comma - at));
                    if (comma == std::string::npos) {
                        break;
                    }
                    at = comma + 1;
                }
            }
            for (const std::string& n : list) {
                if (Property* p = o->findOwn(n)) {
                    apply(*p);
                }
            }
            return Value();
        });
    if (m_version >= 6) {
        m_global->define("_global", Value(m_global), kDontEnum);
    }
    m_global->define("NaN", Value(std::nan("")), kDontEnum);
    m_global->define("Infinity", Value(INFINITY), kDontEnum);

    installHostClasses();
    (void)vm;
}

} // namespace kinovex::flash::avm1
