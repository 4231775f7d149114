// Math: its functions and constants. Math.random draws from the movie's own sequence.

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/builtins/Builtins.h"

#include <cmath>

namespace kinovex::flash::avm1 {

namespace {

// Math's members, functions and constants alike, are hidden, permanent and read-only.
constexpr PropFlags kConstant = kDontEnum | kDontDelete | kReadOnly;

// Every Math function reads its first two arguments as numbers, in order, whether it uses them
// or not (their valueOf runs either way); one not given is NaN.
struct Operands {
    double x;
    double y;
};

Operands operands(Vm& vm, Args args) {
    const double x = args.empty() ? std::nan("") : vm.toNumber(args[0]);
    const double y = args.size() < 2 ? std::nan("") : vm.toNumber(args[1]);
    return {x, y};
}

// Math.abs and the other functions of one number.
void unary(Vm& vm, Object* math, std::string_view name, double (*f)(double)) {
    vm.setFunction(
        math, name, [f](Vm& v, const Value&, Args args) { return Value(f(operands(v, args).x)); },
        kConstant);
}

void binary(Vm& vm, Object* math, std::string_view name, double (*f)(double, double)) {
    vm.setFunction(
        math, name,
        [f](Vm& v, const Value&, Args args) {
            const Operands o = operands(v, args);
            return Value(f(o.x, o.y));
        },
        kConstant);
}

// min and max compare two numbers; without arguments they give the end of the range that is
// never chosen.
double min(double x, double y) {
    return std::isnan(x) || std::isnan(y) ? std::nan("") : std::min(x, y);
}

double max(double x, double y) {
    return std::isnan(x) || std::isnan(y) ? std::nan("") : std::max(x, y);
}

void minMax(Vm& vm, Object* math, std::string_view name, double (*f)(double, double), double none) {
    vm.setFunction(
        math, name,
        [f, none](Vm& v, const Value&, Args args) {
            const Operands o = operands(v, args);
            return Value(args.empty() ? none : f(o.x, o.y));
        },
        kConstant);
}

// An infinite base to a power that is not a whole number is NaN: Math.pow(Infinity, 0.4).
double power(double x, double y) {
    if (std::isinf(x) && y != std::trunc(y)) {
        return std::nan("");
    }
    return std::pow(x, y);
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
    binary(vm, math, "atan2", [](double y, double x) { return std::atan2(y, x); });
    binary(vm, math, "pow", power);
    minMax(vm, math, "max", max, -INFINITY);
    minMax(vm, math, "min", min, INFINITY);
    vm.setFunction(
        math, "random",
        [](Vm& v, const Value&, Args args) {
            operands(v, args);
            return Value(v.random());
        },
        kConstant);
    math->define("E", Value(M_E), kConstant);
    math->define("LN10", Value(M_LN10), kConstant);
    math->define("LN2", Value(M_LN2), kConstant);
    math->define("LOG10E", Value(M_LOG10E), kConstant);
    math->define("LOG2E", Value(M_LOG2E), kConstant);
    math->define("PI", Value(M_PI), kConstant);
    math->define("SQRT1_2", Value(M_SQRT1_2), kConstant);
    math->define("SQRT2", Value(M_SQRT2), kConstant);
    // Math is sealed whole: its __proto__ and constructor are hidden, permanent and read-only
    // like its members.
    math->define("constructor", Value(vm.objectConstructor()));
    sealProperties(math);
}

} // namespace kinovex::flash::avm1
