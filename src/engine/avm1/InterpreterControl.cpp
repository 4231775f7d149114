// Control flow: jumps, return and throw, and the with and try blocks, which run their bodies as
// runs of their own on the same frame.

#include "engine/avm1/InterpreterRun.h"

#include <optional>

namespace kinovex::flash::avm1 {

namespace {

using Exit = Interpreter::Exit;

// Where the three parts of a try block end (each follows the one before), and the stack and
// scope to go back to when its body throws. A part its flags leave out takes no room, whatever
// size the record gives it: without the catch flag, the finally block starts where the try
// block ends.
struct TryParts {
    TryParts(const Run& r, const Instruction& ins)
        : tryEnd(std::min<std::size_t>(ins.next + ins.tryBlock.trySize, r.end)),
          catchEnd(std::min<std::size_t>(
              tryEnd + ((ins.tryBlock.flags & 1) ? ins.tryBlock.catchSize : 0), r.end)),
          finallyEnd(std::min<std::size_t>(
              catchEnd + ((ins.tryBlock.flags & 2) ? ins.tryBlock.finallySize : 0), r.end)),
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

// A jump onto the end of a block is the same as running off it.
Exit settled(Exit e, std::size_t jumpTo, std::size_t blockEnd) {
    return e == Exit::Jump && jumpTo == blockEnd ? Exit::End : e;
}

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
        return settled(r.in.run(r.f, parts.tryEnd, parts.catchEnd, j, r.ret), j, parts.catchEnd);
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
    const Exit e2 =
        settled(r.in.run(r.f, parts.catchEnd, parts.finallyEnd, j2, r2), j2, parts.finallyEnd);
    if (e2 != Exit::End) {
        // Flash returns, but the throw is not forgotten: see Vm::m_strayThrow.
        if (pending && e2 == Exit::Return) {
            r.vm.noteStrayThrow();
        }
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

// The object of a with block stays in scope while the actions run inside the block. Flash ends
// the block when the run steps past its end, not when a jump lands on it: the action at the end
// still runs with the object in scope, and a jump from there back into the body stays in the
// block. Where the run goes on after the block is left in r.pc.
Exit runWithBody(Run& r, std::size_t bodyStart, std::size_t blockEnd, std::size_t& j) {
    std::size_t pos = bodyStart;
    for (;;) {
        std::size_t stop = blockEnd;
        if (pos == blockEnd) {
            if (blockEnd >= r.end) {
                return Exit::End; // the block reaches the end of the code: no action there
            }
            const Instruction last = decodeAction(r.code, blockEnd, r.end);
            if (last.status != DecodeStatus::Ok || last.next > r.end) {
                return Exit::End;
            }
            stop = last.next;
        }
        const Exit e = r.in.run(r.f, pos, stop, j, r.ret);
        if (e == Exit::Jump && j >= bodyStart && j <= blockEnd) {
            pos = j;
            continue;
        }
        if (e == Exit::End) {
            r.pc = stop;
        }
        return e;
    }
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
    ++f.withCount;
    const bool hadSlot = f.hasTargetSlot;
    std::size_t j = 0;
    Exit e;
    try {
        e = runWithBody(r, ins.next, blockEnd, j);
    } catch (...) {
        f.scope.pop_back();
        --f.withCount;
        throw;
    }
    f.scope.pop_back();
    --f.withCount;
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
        e = settled(r.in.run(r.f, ins.next, parts.tryEnd, j, r.ret), j, parts.tryEnd);
        if (e == Exit::End && r.vm.takeStrayThrow()) {
            throw ScriptThrow{Value()};
        }
    } catch (ScriptThrow& thrown) {
        parts.unwind(r.f);
        if (t.flags & 1) {
            e = runCatch(r, t, parts, thrown.value, j, pending);
        } else {
            pending = thrown.value;
        }
    }
    // A jump out of the try or catch block leaves without running the finally block.
    if ((t.flags & 2) && e != Exit::Jump) {
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
