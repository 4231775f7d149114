// The built-in classes and functions every movie starts with.

#include "engine/avm1/builtins/Builtins.h"
#include "engine/avm1/Interpreter.h"
#include "engine/avm1/Vm.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace kinovex::flash::avm1 {

namespace {

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
        return defineClass(*this, name, std::move(ctor), proto, constructs);
    };

    installObjectClass(*this);
    installFunctionClass(*this);

    m_arrayProto = installArrayClass(*this);

    m_stringProto = installStringClass(*this);

    m_numberProto = installNumberClass(*this);
    m_booleanProto = installBooleanClass(*this);
    installMathObject(*this);

    // ---- Date (local time from the host) ----
    Object* dateProto = newObject();
    makeClass(
        "Date",
        [](Vm& v, const Value& self, std::span<const Value> args) -> Value {
            Object* o = selfObject(self);
            if (!v.constructing() || !o) {
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
