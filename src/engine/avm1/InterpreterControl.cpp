// Control flow: jumps, return and throw, and the with and try blocks, which run their bodies as
// runs of their own on the same frame.

#include "engine/avm1/InterpreterRun.h"

#include <optional>

namespace kinovex::flash::avm1 {

namespace {

using Exit = Interpreter::Exit;

// Where the three parts of a try block end (each follows the one before), and the stack and
// scope to go back to when its body throws.
struct TryParts {
    TryParts(const Run& r, const Instruction& ins)
        : tryEnd(std::min<std::size_t>(ins.next + ins.tryBlock.trySize, r.end)),
          catchEnd(std::min<std::size_t>(tryEnd + ins.tryBlock.catchSize, r.end)),
          finallyEnd(std::min<std::size_t>(catchEnd + ins.tryBlock.finallySize, r.end)),
          stackDepth(r.stack.size()), scopeDepth(r.f.scope.size()) {}

    void unwind(Frame& f) const {
        f.stack.resize(std::min(f.stack.size(), stackDepth));
        f.scope.resize(scopeDepth);
    }

    std::size_t tryEnd;
    std::size_t catchEnd;
    std::size_t finallyEnd;
    std::size_t stackDepth;
    std::size_t scopeDepth;
};

// The catch block, with the thrown value in its variable or register. What it throws in turn
// waits in `pending` until the finally block has run.
Exit runCatch(Run& r, const TryOperands& t, const TryParts& parts, const Value& thrown,
              std::size_t& j, std::optional<Value>& pending) {
    if (t.flags & 4) {
        if (t.catchRegister < r.f.registerCount) {
            r.f.registers[t.catchRegister] = thrown;
        }
    } else {
        r.in.defineLocal(r.f, t.catchName, thrown);
    }
    try {
        return r.in.run(r.f, parts.tryEnd, parts.catchEnd, j, r.ret);
    } catch (ScriptThrow& again) {
        parts.unwind(r.f);
        pending = again.value;
    }
    return Exit::End;
}

// A return or jump in the finally block replaces whatever was leaving the try block.
void runFinally(Run& r, const TryParts& parts, Exit& e, std::size_t& j,
                std::optional<Value>& pending) {
    std::size_t j2 = 0;
    Value r2;
    const Exit e2 = r.in.run(r.f, parts.catchEnd, parts.finallyEnd, j2, r2);
    if (e2 != Exit::End) {
        pending.reset();
        e = e2;
        j = j2;
        r.ret = r2;
    }
}

Step endList(Run&, const Instruction&) {
    return Step::End;
}

Step jump(Run& r, const Instruction& ins) {
    return r.branch(ins.next, ins.offset);
}

Step ifTrue(Run& r, const Instruction& ins) {
    if (r.vm.toBoolean(r.pop())) {
        return r.branch(ins.next, ins.offset);
    }
    return Step::Next;
}

Step returnValue(Run& r, const Instruction&) {
    r.ret = r.pop();
    return Step::Return;
}

[[noreturn]] void throwValue(Run& r) {
    throw ScriptThrow{r.pop()};
}

} // namespace

Step Interpreter::withBlock(Run& r, const Instruction& ins) {
    const std::size_t blockEnd = std::min<std::size_t>(ins.next + ins.size, r.end);
    Object* o = r.vm.toObject(r.pop());
    r.pc = blockEnd;
    if (!o) {
        return Step::Next;
    }
    const Vm::NestingGuard nesting(r.vm);
    Frame& f = r.f;
    f.scope.push_back(o);
    const bool hadSlot = f.hasTargetSlot;
    std::size_t j = 0;
    Exit e;
    try {
        e = r.in.run(f, ins.next, blockEnd, j, r.ret);
    } catch (...) {
        f.scope.pop_back();
        throw;
    }
    f.scope.pop_back();
    f.hasTargetSlot = hadSlot;
    return r.afterBlock(e, j);
}

Step Interpreter::tryBlock(Run& r, const Instruction& ins) {
    const TryOperands& t = ins.tryBlock;
    const TryParts parts(r, ins);
    const Vm::NestingGuard nesting(r.vm);
    std::optional<Value> pending;
    std::size_t j = 0;
    Exit e = Exit::End;
    try {
        e = r.in.run(r.f, ins.next, parts.tryEnd, j, r.ret);
    } catch (ScriptThrow& thrown) {
        parts.unwind(r.f);
        if (t.flags & 1) {
            e = runCatch(r, t, parts, thrown.value, j, pending);
        } else {
            pending = thrown.value;
        }
    }
    if (t.flags & 2) {
        runFinally(r, parts, e, j, pending);
    }
    if (pending) {
        throw ScriptThrow{*pending};
    }
    r.pc = parts.finallyEnd;
    return r.afterBlock(e, j);
}

void addControlActions(ActionTable& t) {
    t.on<endList>(Opcode::ActionEnd);
    t.on<jump>(Opcode::ActionJump);
    t.on<ifTrue>(Opcode::ActionIf);
    t.on<returnValue>(Opcode::ActionReturn);
    t.on<throwValue>(Opcode::ActionThrow);
    t.on<Interpreter::withBlock>(Opcode::ActionWith);
    t.on<Interpreter::tryBlock>(Opcode::ActionTry);
}

} // namespace kinovex::flash::avm1
