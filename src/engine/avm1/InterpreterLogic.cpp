// Comparisons and logic: the version 4 ones on numbers, strings and booleans, and the typed
// ones of version 5 on.

#include "engine/avm1/InterpreterRun.h"

#include <functional>

namespace kinovex::flash::avm1 {

namespace {

// a op b on numbers, b on top of the stack; a is converted first.
template <typename Op> void compareNumbers(Run& r) {
    const Value b = r.pop();
    const double x = r.vm.toNumber(r.pop());
    r.pushBool(Op{}(x, r.vm.toNumber(b)));
}

template <typename Op> void compareStrings(Run& r) {
    const std::string b = r.popString();
    r.pushBool(Op{}(r.popString(), b));
}

template <typename Op> void logic(Run& r) {
    const bool b = r.vm.toBoolean(r.pop());
    r.pushBool(Op{}(r.vm.toBoolean(r.pop()), b));
}

void logicalNot(Run& r) {
    r.pushBool(!r.vm.toBoolean(r.pop()));
}

// a < b: true, false, or undefined when either is NaN.
void less2(Run& r) {
    const Value b = r.pop();
    const Value a = r.pop();
    r.push(r.vm.lessThan(a, b));
}

void greater(Run& r) {
    const Value b = r.pop();
    const Value a = r.pop();
    r.push(r.vm.lessThan(b, a));
}

void equals2(Run& r) {
    const Value b = r.pop();
    const Value a = r.pop();
    r.push(Value(r.vm.abstractEquals(a, b)));
}

void strictEquals(Run& r) {
    const Value b = r.pop();
    const Value a = r.pop();
    r.push(Value(r.vm.strictEquals(a, b)));
}

} // namespace

void addLogicActions(ActionTable& t) {
    t.on<compareNumbers<std::equal_to<>>>(Opcode::ActionEquals);
    t.on<compareNumbers<std::less<>>>(Opcode::ActionLess);
    t.on<logic<std::logical_and<>>>(Opcode::ActionAnd);
    t.on<logic<std::logical_or<>>>(Opcode::ActionOr);
    t.on<logicalNot>(Opcode::ActionNot);
    t.on<compareStrings<std::equal_to<>>>(Opcode::ActionStringEquals);
    t.on<compareStrings<std::less<>>>(Opcode::ActionStringLess);
    t.on<compareStrings<std::greater<>>>(Opcode::ActionStringGreater);
    t.on<less2>(Opcode::ActionLess2);
    t.on<greater>(Opcode::ActionGreater);
    t.on<equals2>(Opcode::ActionEquals2);
    t.on<strictEquals>(Opcode::ActionStrictEquals);
}

} // namespace kinovex::flash::avm1
