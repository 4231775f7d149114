#pragma once
// The action interpreter proper; the Vm owns the heap and the conversions, this runs bytecode.

#include "engine/avm1/Vm.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace kinovex::flash::avm1 {

// A script's `throw`, travelling up to the nearest try block (never out of the Vm).
struct ScriptThrow {
    Value value;
};
// The budget or the recursion limit stopped the script (already reported).
struct ScriptAbort {};

struct Frame {
    Code code;
    ConstantPool constants;
    std::vector<Object*> scope; // outermost (_global) first
    std::size_t targetSlot = 0; // the scope entry that is the current timeline, if any
    bool hasTargetSlot = false;
    std::size_t withCount = 0; // the innermost scope entries that with blocks of this frame put
    Value* registers = nullptr;
    std::size_t registerCount = 0;
    Value self;
    ClipId target = 0;        // SetTarget changes it
    ClipId baseTarget = 0;    // where the list started
    Object* locals = nullptr; // functions: their activation object
    Object* home = nullptr;   // the prototype level super stands for (none: no super)
    Object* callee = nullptr;
    std::vector<Value> stack;
};

struct Instruction;
struct Run;
enum class Step : std::uint8_t;

struct Interpreter {
    explicit Interpreter(Vm& v) : vm(v) {}

    void runTopLevel(ClipId clip, const Code& code);
    // The frame a top-level action list on `clip` runs in.
    Frame topLevelFrame(ClipId clip);
    Value callScript(Object* function, const Value& self, std::span<const Value> args,
                     Object* home);

    enum class Exit { End, Return, Jump };
    // Runs the actions in [start, end) of the frame's code.
    Exit run(Frame& f, std::size_t start, std::size_t end, std::size_t& jumpTo, Value& ret);

    Value getVariable(Frame& f, std::string_view name);
    void setVariable(Frame& f, std::string_view name, const Value& v);
    void defineLocal(Frame& f, std::string_view name, const Value& v);
    // The object a variable path's target part names, read from the innermost scope it leads
    // somewhere from; null when it leads nowhere from any.
    Object* resolveInScope(Frame& f, std::string_view path);
    // What `this` is for a function called by `name`.
    Object* callee(Frame& f, std::string_view name);
    // The scope entry at `k` (innermost last) as lookups see it.
    Object* scopeEntry(Frame& f, std::size_t k);
    // Where a path's leading slash goes: the level of the current timeline.
    ClipId pathRoot(Frame& f);
    Object* makeSuper(Frame& f);
    ClipId targetOf(Frame& f, const Value& v);

    Vm& vm;

    // Actions that need the Vm's own workings (the interpreter is its friend); they are in the
    // action table (InterpreterRun.h) with the others.
    static Step withBlock(Run& r, const Instruction& ins);
    static Step tryBlock(Run& r, const Instruction& ins);
    static Step callMethod(Run& r, const Instruction& ins);
    // super(...): the superclass constructor runs on the current `this`.
    static Value callSuperConstructor(Vm& vm, Object* super, std::span<const Value> args);

private:
    [[noreturn]] void stopRunaway(); // the frame's instruction budget is used up
};

} // namespace kinovex::flash::avm1
