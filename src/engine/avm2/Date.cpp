// The Date class: a time value in `number`, read and written by field.

#include "engine/avm2/Builtins.h"
#include "engine/avm2/DateMath.h"
#include "engine/avm2/Machine.h"

#include <cmath>

namespace kinovex::flash::avm2 {

namespace {

using datemath::Fields;

// Date's clock: where it stood when the movie started, plus the movie's time.
double now(const Machine& vm) {
    return std::floor(vm.clockEpochMs + vm.nowMs);
}

Object* dateSelf(Machine& vm, const Value& self) {
    if (!self.isObject() || self.o->kind != ObjKind::Date) {
        vm.throwError("TypeError", 1004,
                      "Method Date.prototype.valueOf was invoked on an incompatible object.");
    }
    return self.o;
}

// A Date's time from the constructor's arguments: none (now), a time value or text, or fields.
double timeFromArgs(Machine& vm, Args args) {
    if (args.empty()) {
        return now(vm);
    }
    if (args.size() == 1) {
        const Value& v = args[0];
        if (v.isObject() && v.o->kind == ObjKind::Date) {
            return v.o->number;
        }
        if (v.isString()) {
            return datemath::parse(vm.toString(v));
        }
        return datemath::timeClip(vm.toNumber(v));
    }
    Fields f{NAN, 0, 1, 0, 0, 0, 0};
    for (std::size_t i = 0; i < args.size() && i < f.size(); ++i) {
        f[i] = vm.toNumber(args[i]);
    }
    if (std::isfinite(f[0]) && f[0] >= 0 && f[0] <= 99) {
        f[0] += 1900;
    }
    return datemath::timeClip(datemath::join(f));
}

Value dateInit(Machine& vm, Value self, Args args) {
    self.o->number = timeFromArgs(vm, args);
    return Value();
}

Value dateCall(Machine& vm, Value, Args) {
    return vm.str(datemath::format(now(vm), 0));
}

// Field 7 stands for the day of the week.
template <int Field> Value dateGet(Machine& vm, Value self, Args) {
    const double t = dateSelf(vm, self)->number;
    if constexpr (Field == 7) {
        return Value::number(datemath::weekDay(t));
    } else {
        return Value::number(datemath::split(t)[Field]);
    }
}

// setFullYear(y, m, d), setHours(h, m, s, ms) ...: the fields from `Field` on, as many as given
// (at most `Count`). A NaN date takes a year as if it were 1 January 1970.
template <int Field, int Count> Value dateSet(Machine& vm, Value self, Args args) {
    Object* d = dateSelf(vm, self);
    Fields f = datemath::split(std::isnan(d->number) && Field == 0 ? 0.0 : d->number);
    const std::size_t given = std::min<std::size_t>(std::max<std::size_t>(args.size(), 1), Count);
    for (std::size_t i = 0; i < given; ++i) {
        f[Field + i] = vm.toNumber(arg(args, i));
    }
    d->number = datemath::timeClip(datemath::join(f));
    return Value::number(d->number);
}

Value dateGetTime(Machine& vm, Value self, Args) {
    return Value::number(dateSelf(vm, self)->number);
}

Value dateSetTime(Machine& vm, Value self, Args args) {
    Object* d = dateSelf(vm, self);
    d->number = datemath::timeClip(vm.toNumber(arg(args, 0)));
    return Value::number(d->number);
}

Value dateZero(Machine& vm, Value self, Args) {
    dateSelf(vm, self);
    return Value::integer(0);
}

template <char Part> Value dateText(Machine& vm, Value self, Args) {
    return vm.str(datemath::format(dateSelf(vm, self)->number, Part));
}

Value dateParse(Machine& vm, Value, Args args) {
    return Value::number(datemath::parse(vm.toString(arg(args, 0))));
}

Value dateUtc(Machine& vm, Value, Args args) {
    return Value::number(timeFromArgs(vm, args.size() < 2 ? Args() : args));
}

struct FieldAccess {
    const char* name; // the property; methods are get<Name>, set<Name> and their UTC twins
    NativeFn get;
    NativeFn set;
};

const FieldAccess kFields[] = {
    {"FullYear", dateGet<0>, dateSet<0, 3>},     {"Month", dateGet<1>, dateSet<1, 2>},
    {"Date", dateGet<2>, dateSet<2, 1>},         {"Hours", dateGet<3>, dateSet<3, 4>},
    {"Minutes", dateGet<4>, dateSet<4, 3>},      {"Seconds", dateGet<5>, dateSet<5, 2>},
    {"Milliseconds", dateGet<6>, dateSet<6, 1>}, {"Day", dateGet<7>, nullptr},
};

void proto(Machine& vm, ClassInfo* c, const std::string& name, NativeFn fn) {
    Object* f = vm.newNativeFunction(fn, name, 0);
    c->prototype->setDyn(name, Value::obj(f));
    c->prototype->dyn.back().enumerable = false;
}

} // namespace

void installDateClass(Machine& m) {
    ClassInfo* date = m.defineNativeClass("", "Date", m.objectClass, ObjKind::Date);
    date->sealed = false;
    date->nativeInit = dateInit;
    date->callAsFunction = dateCall;
    for (const FieldAccess& a : kFields) {
        std::string property = a.name;
        property[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(property[0])));
        for (const std::string& utc : {std::string(), std::string("UTC")}) {
            m.defineGetter(date, property + utc, a.get, a.set);
            proto(m, date, "get" + utc + a.name, a.get);
            if (a.set != nullptr) {
                proto(m, date, "set" + utc + a.name, a.set);
            }
        }
    }
    m.defineGetter(date, "time", dateGetTime, dateSetTime);
    m.defineGetter(date, "timezoneOffset", dateZero);
    const std::pair<const char*, NativeFn> methods[] = {
        {"getTime", dateGetTime},        {"setTime", dateSetTime},
        {"valueOf", dateGetTime},        {"getTimezoneOffset", dateZero},
        {"toString", dateText<0>},       {"toLocaleString", dateText<0>},
        {"toDateString", dateText<'d'>}, {"toLocaleDateString", dateText<'d'>},
        {"toTimeString", dateText<'t'>}, {"toLocaleTimeString", dateText<'t'>},
        {"toUTCString", dateText<'u'>}};
    for (const auto& [name, fn] : methods) {
        proto(m, date, name, fn);
    }
    m.defineStatic(date, "parse", dateParse, 1);
    m.defineStatic(date, "UTC", dateUtc, 7);
}

} // namespace kinovex::flash::avm2
