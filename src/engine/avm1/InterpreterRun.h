#pragma once
// What the interpreter's action handlers share: the run of actions under way (its frame, the
// stretch of code being run, where the next action is) and the operand stack.

#include "engine/avm1/Instruction.h"
#include "engine/avm1/Interpreter.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace kinovex::flash::avm1 {

// What the run loop does after an action.
enum class Step : std::uint8_t {
    Next,      // goes on at `pc`
    End,       // the action list ends
    Return,    // the function returns `ret`
    Jump,      // to `jumpTo`, outside the stretch being run: the caller goes on there
    Malformed, // the action's payload was cut short: the list ends, and that is reported
};

inline bool isClip(const Value& v) {
    return v.isObject() && v.asObject()->objectClass() == ObjectClass::Clip;
}

// One call of Interpreter::run.
struct Run {
    Interpreter& in;
    Vm& vm;
    Frame& f;
    std::vector<Value>& stack; // the frame's
    std::span<const std::uint8_t> code;
    std::size_t start;
    std::size_t end; // the stretch [start, end) of code
    std::size_t pc;  // the next action
    std::size_t& jumpTo;
    Value& ret;

    Value pop() {
        if (stack.empty()) {
            return Value();
        }
        Value v = std::move(stack.back());
        stack.pop_back();
        return v;
    }
    void push(const Value& v) { stack.push_back(vm.boxed(v)); }
    // A value made for the push moves onto the stack: only a number may need a box.
    void push(Value&& v) {
        if (v.isNumber()) {
            stack.push_back(vm.boxed(v));
        } else {
            stack.push_back(std::move(v));
        }
    }
    double popNumber() { return vm.toNumber(pop()); }
    std::string popString() { return vm.toString(pop()); }
    // A count of values (arguments, elements) that follow on the stack.
    std::size_t popCount() {
        const double n = popNumber();
        if (!(n > 0)) {
            return 0;
        }
        // Counts beyond what the stack holds are malformed; take what there is.
        return std::min(static_cast<std::size_t>(std::min(n, 1e9)), stack.size());
    }
    std::vector<Value> popArgs(std::size_t n) {
        std::vector<Value> args;
        args.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            args.push_back(pop());
        }
        return args;
    }
    void pushBool(bool b) {
        // Version 4 movies work with 1 and 0.
        push(vm.version() >= 5 ? Value(b) : Value(b ? 1.0 : 0.0));
    }

    // A jump by `offset` from `next`: inside the stretch the run goes on there; outside it, or
    // onto its end, the caller takes the jump.
    Step branch(std::size_t next, std::int16_t offset) {
        const auto target = static_cast<long long>(next) + offset;
        if (target < static_cast<long long>(start) || target >= static_cast<long long>(end)) {
            jumpTo = static_cast<std::size_t>(std::max(0LL, target));
            return Step::Jump;
        }
        pc = static_cast<std::size_t>(target);
        return Step::Next;
    }
    // After a with or try block that ended with `e` (jumping to `j`): a return ends this run
    // too; a jump out of the stretch goes up to the caller, one inside it goes on here.
    Step afterBlock(Interpreter::Exit e, std::size_t j) {
        if (e == Interpreter::Exit::Return) {
            return Step::Return;
        }
        if (e == Interpreter::Exit::Jump) {
            if (j < start || j > end) {
                jumpTo = j;
                return Step::Jump;
            }
            pc = j;
        }
        return Step::Next;
    }
};

// What an action does: one handler per action code, in the files of their groups.
using ActionHandler = Step (*)(Run& r, const Instruction& ins);

class ActionTable {
public:
    ActionTable() { m_handlers.fill(&skip); }

    ActionHandler operator[](std::uint8_t code) const { return m_handlers[code]; }
    bool has(Opcode op) const { return m_handlers[static_cast<std::uint8_t>(op)] != &skip; }

    // F is a Step(Run&, const Instruction&), or a void(Run&, const Instruction&) or void(Run&)
    // after which the run goes on.
    template <auto F> void on(Opcode op) { m_handlers[static_cast<std::uint8_t>(op)] = &call<F>; }

private:
    // Codes no action has are stepped over by their length, as the player does.
    static Step skip(Run&, const Instruction&) { return Step::Next; }

    template <auto F> static Step call(Run& r, const Instruction& ins) {
        if constexpr (std::is_invocable_v<decltype(F), Run&, const Instruction&>) {
            if constexpr (std::is_same_v<decltype(F(r, ins)), Step>) {
                return F(r, ins);
            } else {
                F(r, ins);
                return Step::Next;
            }
        } else {
            F(r);
            return Step::Next;
        }
    }

    std::array<ActionHandler, 256> m_handlers;
};

// Every action's handler (made once).
const ActionTable& actionTable();

// Each group's actions, one file each.
void addArithmeticActions(ActionTable& t); // InterpreterArithmetic.cpp
void addLogicActions(ActionTable& t);      // InterpreterLogic.cpp
void addStringActions(ActionTable& t);     // InterpreterStrings.cpp
void addVariableActions(ActionTable& t);   // InterpreterVariables.cpp
void addControlActions(ActionTable& t);    // InterpreterControl.cpp
void addCallActions(ActionTable& t);       // InterpreterCalls.cpp
void addFunctionActions(ActionTable& t);   // InterpreterFunctions.cpp
void addObjectActions(ActionTable& t);     // InterpreterObjects.cpp
void addTimelineActions(ActionTable& t);   // InterpreterTimeline.cpp
void addClipActions(ActionTable& t);       // InterpreterClips.cpp

} // namespace kinovex::flash::avm1
