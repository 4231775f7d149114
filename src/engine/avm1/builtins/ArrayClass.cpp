// Array: the methods on Array.prototype (sort and sortOn are in ArraySort.cpp) and the sort
// flags on the constructor.

#include "engine/avm1/builtins/ArraySort.h"
#include "engine/avm1/builtins/Builtins.h"

#include <algorithm>
#include <cmath>

namespace kinovex::flash::avm1 {

namespace {

Object* newArrayOf(Vm& vm, Args args) {
    const auto make = [&vm](std::vector<Value> elements) {
        return vm.constructing() ? vm.newConstructedArray(std::move(elements))
                                 : vm.newArray(std::move(elements));
    };
    if (args.size() == 1 && args[0].isNumber()) {
        // The length is the number as a 32-bit integer (Infinity and NaN give 0); a negative
        // one gives none.
        const std::int32_t n = toInt32(args[0].asNumber());
        const std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
        vm.checkArrayLength(count);
        return make(std::vector<Value>(count));
    }
    return make(std::vector<Value>(args.begin(), args.end()));
}

Value construct(Vm& vm, const Value&, Args args) {
    Object* a = newArrayOf(vm, args);
    if (!vm.constructing()) {
        vm.takeArrayPrototypeNow(a);
    }
    return Value(a);
}

std::string join(Vm& vm, Object* a, const std::string& sep) {
    std::string out;
    for (std::size_t i = 0; i < a->elements().size(); ++i) {
        if (i) {
            out += sep;
        }
        const Value& e = a->elements()[i];
        out += e.isUndefined() ? (vm.version() >= 7 ? "undefined" : "") : vm.toString(e);
        vm.checkStringSize(out.size());
    }
    return out;
}

// A start or end index: negative ones count from the end; the result is within [0, size].
std::size_t clampIndex(Vm& vm, const Value& x, std::size_t size, double fallback) {
    double n = x.isUndefined() ? fallback : toInteger(vm.toNumber(x));
    if (n < 0) {
        n = std::max(0.0, n + static_cast<double>(size));
    }
    return static_cast<std::size_t>(std::min(n, static_cast<double>(size)));
}

Value push(Vm& vm, const Value& self, Args args) {
    Object* a = arrayOf(self);
    if (!a) {
        return Value();
    }
    vm.checkArrayLength(a->elements().size() + args.size());
    a->elements().insert(a->elements().end(), args.begin(), args.end());
    return Value(static_cast<double>(a->elements().size()));
}

Value pop(Vm&, const Value& self, Args) {
    Object* a = arrayOf(self);
    if (!a || a->elements().empty()) {
        return Value();
    }
    Value v = a->elements().back();
    a->elements().pop_back();
    return v;
}

Value shift(Vm&, const Value& self, Args) {
    Object* a = arrayOf(self);
    if (!a || a->elements().empty()) {
        return Value();
    }
    Value v = a->elements().front();
    a->elements().erase(a->elements().begin());
    return v;
}

Value unshift(Vm&, const Value& self, Args args) {
    Object* a = arrayOf(self);
    if (!a) {
        return Value();
    }
    a->elements().insert(a->elements().begin(), args.begin(), args.end());
    return Value(static_cast<double>(a->elements().size()));
}

Value joinMethod(Vm& vm, const Value& self, Args args) {
    Object* a = arrayOf(self);
    if (!a) {
        return Value("");
    }
    const Value sep = arg(args, 0);
    return Value(join(vm, a, sep.isUndefined() ? "," : vm.toString(sep)));
}

Value toString(Vm& vm, const Value& self, Args) {
    Object* a = arrayOf(self);
    return Value(a ? join(vm, a, ",") : std::string());
}

Value reverse(Vm&, const Value& self, Args) {
    if (Object* a = arrayOf(self)) {
        std::reverse(a->elements().begin(), a->elements().end());
    }
    return self;
}

Value slice(Vm& vm, const Value& self, Args args) {
    Object* a = arrayOf(self);
    if (!a) {
        return Value(vm.newArray());
    }
    const auto& el = a->elements();
    const std::size_t from = clampIndex(vm, arg(args, 0), el.size(), 0);
    const std::size_t to = clampIndex(vm, arg(args, 1), el.size(), static_cast<double>(el.size()));
    return Value(vm.newArray(from < to ? std::vector<Value>(el.begin() + static_cast<long>(from),
                                                            el.begin() + static_cast<long>(to))
                                       : std::vector<Value>()));
}

Value splice(Vm& vm, const Value& self, Args args) {
    Object* a = arrayOf(self);
    if (!a || args.empty()) {
        return Value();
    }
    auto& el = a->elements();
    const std::size_t from = clampIndex(vm, arg(args, 0), el.size(), 0);
    double countArg =
        args.size() > 1 ? toInteger(vm.toNumber(args[1])) : static_cast<double>(el.size() - from);
    const std::size_t count =
        static_cast<std::size_t>(std::clamp(countArg, 0.0, static_cast<double>(el.size() - from)));
    std::vector<Value> removed(el.begin() + static_cast<long>(from),
                               el.begin() + static_cast<long>(from + count));
    el.erase(el.begin() + static_cast<long>(from), el.begin() + static_cast<long>(from + count));
    if (args.size() > 2) {
        el.insert(el.begin() + static_cast<long>(from), args.begin() + 2, args.end());
    }
    return Value(vm.newArray(std::move(removed)));
}

Value concat(Vm& vm, const Value& self, Args args) {
    Object* a = arrayOf(self);
    std::vector<Value> out = a ? a->elements() : std::vector<Value>();
    for (const Value& x : args) {
        vm.checkArrayLength(out.size() + 1 + (arrayOf(x) ? arrayOf(x)->elements().size() : 0));
        if (Object* b = arrayOf(x)) {
            out.insert(out.end(), b->elements().begin(), b->elements().end());
        } else {
            out.push_back(x);
        }
    }
    return Value(vm.newArray(std::move(out)));
}

} // namespace

Object* arrayOf(const Value& v) {
    Object* o = selfObject(v);
    return o && o->objectClass() == ObjectClass::Array ? o : nullptr;
}

Object* installArrayClass(Vm& vm) {
    Object* proto = vm.newObjectOfClass(ObjectClass::Array, vm.objectPrototype());
    Object* ctor = defineClass(vm, "Array", construct, proto, true);
    vm.setFunction(proto, "push", push);
    vm.setFunction(proto, "pop", pop);
    vm.setFunction(proto, "shift", shift);
    vm.setFunction(proto, "unshift", unshift);
    vm.setFunction(proto, "join", joinMethod);
    vm.setFunction(proto, "toString", toString);
    vm.setFunction(proto, "reverse", reverse);
    vm.setFunction(proto, "slice", slice);
    vm.setFunction(proto, "splice", splice);
    vm.setFunction(proto, "concat", concat);
    vm.setFunction(proto, "sort", arraySort);
    vm.setFunction(proto, "sortOn", arraySortOn);
    // The sort flags are plain properties: listed, deletable and writable.
    ctor->define("CASEINSENSITIVE", Value(kCaseInsensitive));
    ctor->define("DESCENDING", Value(kDescending));
    ctor->define("UNIQUESORT", Value(kUniqueSort));
    ctor->define("RETURNINDEXEDARRAY", Value(kReturnIndexedArray));
    ctor->define("NUMERIC", Value(kNumeric));
    return proto;
}

} // namespace kinovex::flash::avm1
