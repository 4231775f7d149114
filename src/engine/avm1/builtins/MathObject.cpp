// Math: its functions and constants. Math.random draws from the movie's own sequence.

#include "engine/avm1/builtins/Builtins.h"

#include <cmath>

namespace kinovex::flash::avm1 {

namespace {

// Math's members, functions and constants alike, are hidden, permanent and read-only.
constexpr PropFlags kConstant = kDontEnum | kDontDelete | kReadOnly;

// Math.abs and the other functions of one number.
void unary(Vm& vm, Object* math, std::string_view name, double (*f)(double)) {
    vm.setFunction(
        math, name,
        [f](Vm& v, const Value&, Args args) { return Value(f(v.toNumber(arg(args, 0)))); },
        kConstant);
}

Value atan2(Vm& vm, const Value&, Args args) {
    return Value(std::atan2(vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1))));
}

Value pow(Vm& vm, const Value&, Args args) {
    return Value(std::pow(vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1))));
}

Value max(Vm& vm, const Value&, Args args) {
    double r = -INFINITY;
    for (const Value& a : args) {
        const double x = vm.toNumber(a);
        if (std::isnan(x)) {
            return Value(x);
        }
        r = std::max(r, x);
    }
    return Value(r);
}

Value min(Vm& vm, const Value&, Args args) {
    double r = INFINITY;
    for (const Value& a : args) {
        const double x = vm.toNumber(a);
        if (std::isnan(x)) {
            return Value(x);
        }
        r = std::min(r, x);
    }
    return Value(r);
}

Value random(Vm& vm, const Value&, Args) {
    return Value(vm.random());
}

} // namespace

void installMathObject(Vm& vm) {
    Object* math = vm.newObject();
    vm.global()->define("Math", Value(math), kDontEnum);
    unary(vm, math, "abs", [](double x) { return std::fabs(x); });
    unary(vm, math, "acos", [](double x) { return std::acos(x); });
    unary(vm, math, "asin", [](double x) { return std::asin(x); });
    unary(vm, math, "atan", [](double x) { return std::atan(x); });
    unary(vm, math, "ceil", [](double x) { return std::ceil(x); });
    unary(vm, math, "cos", [](double x) { return std::cos(x); });
    unary(vm, math, "exp", [](double x) { return std::exp(x); });
    unary(vm, math, "floor", [](double x) { return std::floor(x); });
    unary(vm, math, "log", [](double x) { return std::log(x); });
    unary(vm, math, "round", [](double x) { return std::floor(x + 0.5); });
    unary(vm, math, "sin", [](double x) { return std::sin(x); });
    unary(vm, math, "sqrt", [](double x) { return std::sqrt(x); });
    unary(vm, math, "tan", [](double x) { return std::tan(x); });
    vm.setFunction(math, "atan2", atan2, kConstant);
    vm.setFunction(math, "pow", pow, kConstant);
    vm.setFunction(math, "max", max, kConstant);
    vm.setFunction(math, "min", min, kConstant);
    vm.setFunction(math, "random", random, kConstant);
    math->define("E", Value(M_E), kConstant);
    math->define("LN10", Value(M_LN10), kConstant);
    math->define("LN2", Value(M_LN2), kConstant);
    math->define("LOG10E", Value(M_LOG10E), kConstant);
    math->define("LOG2E", Value(M_LOG2E), kConstant);
    math->define("PI", Value(M_PI), kConstant);
    math->define("SQRT1_2", Value(M_SQRT1_2), kConstant);
    math->define("SQRT2", Value(M_SQRT2), kConstant);
}

} // namespace kinovex::flash::avm1
