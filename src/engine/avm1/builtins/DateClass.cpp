// Date: times in milliseconds since 1970, read and set in local time (the host's zone) or UTC.

#include "engine/avm1/builtins/Builtins.h"
#include "engine/avm1/builtins/CivilTime.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kinovex::flash::avm1 {

namespace {

// The time of (year, month, day, hours, minutes, seconds, ms) given as arguments, `offset` ms
// ahead of UTC. Years below 100 count from 1900 (99 is 1999, -100 is 1800); a missing day is
// the 1st, the rest 0. The fields end at the first undefined one; a field that is NaN makes
// the time NaN.
double timeOfFields(Vm& vm, Args args, double offset) {
    double parts[7] = {0, 0, 1, 0, 0, 0, 0};
    bool nan = false;
    for (std::size_t i = 0; i < 7 && i < args.size() && !args[i].isUndefined(); ++i) {
        const double n = vm.toNumber(args[i]);
        nan = nan || std::isnan(n);
        parts[i] = toInteger(n);
    }
    if (nan) {
        return std::nan("");
    }
    if (parts[0] < 100) {
        parts[0] += 1900;
    }
    return daysFromCivil(parts[0], parts[1], parts[2]) * 86400000.0 + parts[3] * 3600000.0 +
           parts[4] * 60000.0 + parts[5] * 1000.0 + parts[6] - offset;
}

// new Date(), new Date(ms), new Date(year, month, day, hours, minutes, seconds, ms); Date()
// called as a function gives the text of the time now.
Value construct(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    if (!vm.constructing() || !o) {
        return Value(
            vm.toString(Value(vm.construct(Value(vm.global()->findOwn("Date")->value), {}))));
    }
    o->setObjectClass(ObjectClass::Date);
    double t;
    const double offset = vm.host().utcOffsetMinutes() * 60000.0;
    if (args.empty()) {
        t = std::floor(vm.host().epochMs());
    } else if (args.size() == 1) {
        t = vm.toNumber(args[0]);
    } else {
        t = timeOfFields(vm, args, offset);
    }
    o->primitive() = Value(t);
    return Value(o);
}

// getFullYear() ... getDay() (fields 0-7 of CivilTime), local or UTC; field 8 is the time.
// On an object that is not a Date they give undefined.
void defineGetter(Vm& vm, Object* proto, std::string_view name, bool utc, int field) {
    vm.setFunction(proto, name, [utc, field](Vm& v, const Value& self, Args) -> Value {
        Object* o = selfObject(self);
        if (!o || o->objectClass() != ObjectClass::Date) {
            return Value();
        }
        const double t = v.toNumber(o->primitive());
        if (field == 8) {
            return Value(t);
        }
        if (!std::isfinite(t)) {
            return Value(std::nan(""));
        }
        const CivilTime c = civilFromMs(utc ? t : t + v.host().utcOffsetMinutes() * 60000.0);
        const double values[] = {c.year,    c.month,   c.day, c.hours,
                                 c.minutes, c.seconds, c.ms,  c.weekday};
        return Value(values[field]);
    });
}

// setFullYear(y, m, d), setMonth(m, d), setDate(d), setHours(h, m, s, ms), ... : the arguments
// replace the fields from `first` on (`most` of them at most); local time unless `utc`.
// setYear is setFullYear with years 0 to 99 meaning 1900 to 1999 (`shortYears`).
void defineSetter(Vm& vm, Object* proto, std::string_view name, bool utc, int first, int most,
                  bool shortYears = false) {
    vm.setFunction(proto, name, [=](Vm& v, const Value& self, Args args) -> Value {
        Object* o = selfObject(self);
        if (!o || o->objectClass() != ObjectClass::Date || args.empty()) {
            return Value(std::nan(""));
        }
        const double offset = utc ? 0 : v.host().utcOffsetMinutes() * 60000.0;
        double t = v.toNumber(o->primitive());
        if (!std::isfinite(t)) {
            t = 0;
        }
        const CivilTime c = civilFromMs(t + offset);
        double f[7] = {c.year, c.month, c.day, c.hours, c.minutes, c.seconds, c.ms};
        for (int i = 0; i < most && static_cast<std::size_t>(i) < args.size(); ++i) {
            f[first + i] = toInteger(v.toNumber(args[static_cast<std::size_t>(i)]));
        }
        if (shortYears && f[0] >= 0 && f[0] < 100) {
            f[0] += 1900;
        }
        const double r = daysFromCivil(f[0], f[1], f[2]) * 86400000.0 + f[3] * 3600000.0 +
                         f[4] * 60000.0 + f[5] * 1000.0 + f[6] - offset;
        o->primitive() = Value(r);
        return o->primitive();
    });
}

Value getYear(Vm& vm, const Value& self, Args) {
    const Value y = vm.call(vm.getMember(self, "getFullYear"), self, {});
    return Value(vm.toNumber(y) - 1900);
}

Value getUtcYear(Vm& vm, const Value& self, Args) {
    const Value y = vm.call(vm.getMember(self, "getUTCFullYear"), self, {});
    return Value(vm.toNumber(y) - 1900);
}

// Date.UTC(year, month, day, hours, minutes, seconds, ms): the time of those UTC fields; it
// needs the year and the month at least.
Value utc(Vm& vm, const Value&, Args args) {
    if (args.size() < 2) {
        return Value();
    }
    return Value(timeOfFields(vm, args, 0));
}

Value getTimezoneOffset(Vm& vm, const Value&, Args) {
    return Value(static_cast<double>(-vm.host().utcOffsetMinutes()));
}

Value setTime(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    if (!o) {
        return Value();
    }
    // Whole milliseconds, cut toward zero (and no -0); no time at all, undefined (in every
    // version) or an infinite one is NaN.
    const double t = args.empty() || args[0].isUndefined() ? std::nan("") : vm.toNumber(args[0]);
    o->primitive() = Value(std::isfinite(t) ? std::trunc(t) + 0.0 : std::nan(""));
    return o->primitive();
}

// "Tue Mar 4 09:05:00 GMT+0100 2008"
Value toString(Vm& vm, const Value& self, Args) {
    Object* o = selfObject(self);
    const double t = o ? vm.toNumber(o->primitive()) : std::nan("");
    if (std::isnan(t)) {
        return Value("Invalid Date");
    }
    const int offset = vm.host().utcOffsetMinutes();
    // An infinite time has no fields: it prints as a Sunday at the start of 1970.
    const CivilTime c =
        std::isinf(t) ? CivilTime{1970, 0, 1, 0, 0, 0, 0, 0} : civilFromMs(t + offset * 60000.0);
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char buf[80];
    std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d GMT%c%02d%02d %d",
                  days[static_cast<int>(c.weekday)], months[static_cast<int>(c.month)],
                  static_cast<int>(c.day), static_cast<int>(c.hours), static_cast<int>(c.minutes),
                  static_cast<int>(c.seconds), offset < 0 ? '-' : '+', std::abs(offset) / 60,
                  std::abs(offset) % 60, static_cast<int>(c.year));
    return Value(std::string(buf));
}

} // namespace

void installDateClass(Vm& vm) {
    Object* proto = vm.newObject();
    Object* ctor = defineClass(vm, "Date", construct, proto, true);
    for (const std::string_view name : {"__proto__", "constructor", "prototype"}) {
        ctor->findOwn(name)->flags |= kReadOnly;
    }
    vm.setFunction(ctor, "UTC", utc, kDontEnum | kDontDelete | kReadOnly);
    const char* fields[] = {"FullYear", "Month",   "Date",         "Hours",
                            "Minutes",  "Seconds", "Milliseconds", "Day"};
    for (int i = 0; i < 8; ++i) {
        defineGetter(vm, proto, std::string("get") + fields[i], false, i);
        defineGetter(vm, proto, std::string("getUTC") + fields[i], true, i);
    }
    defineGetter(vm, proto, "getTime", true, 8);
    // valueOf is getTime itself, the same function.
    proto->define("valueOf", proto->findOwn("getTime")->value, kDontEnum | kDontDelete);
    vm.setFunction(proto, "getYear", getYear);
    vm.setFunction(proto, "getUTCYear", getUtcYear);
    vm.setFunction(proto, "getTimezoneOffset", getTimezoneOffset);
    const struct {
        const char* field;
        int first;
        int most;
    } setters[] = {{"FullYear", 0, 3}, {"Month", 1, 2},   {"Date", 2, 1},        {"Hours", 3, 4},
                   {"Minutes", 4, 3},  {"Seconds", 5, 2}, {"Milliseconds", 6, 1}};
    for (const auto& s : setters) {
        defineSetter(vm, proto, std::string("set") + s.field, false, s.first, s.most);
        defineSetter(vm, proto, std::string("setUTC") + s.field, true, s.first, s.most);
    }
    defineSetter(vm, proto, "setYear", false, 0, 3, true);
    vm.setFunction(proto, "setTime", setTime);
    vm.setFunction(proto, "toString", toString);
}

} // namespace kinovex::flash::avm1
