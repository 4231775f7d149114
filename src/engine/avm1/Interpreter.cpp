#include "engine/avm1/Interpreter.h"

#include "engine/avm1/InterpreterRun.h"

#include <algorithm>

namespace kinovex::flash::avm1 {

Frame Interpreter::topLevelFrame(ClipId clip) {
    Frame f;
    f.target = clip;
    f.baseTarget = clip;
    f.scope = {vm.global(), vm.clipObject(clip)};
    f.targetSlot = 1;
    f.hasTargetSlot = true;
    f.self = Value(vm.clipObject(clip));
    f.registers = vm.m_globalRegisters;
    f.registerCount = 4;
    return f;
}

void Interpreter::runTopLevel(ClipId clip, const Code& code) {
    Frame f = topLevelFrame(clip);
    f.code = code;
    std::size_t jump = 0;
    Value ret;
    run(f, 0, code->size(), jump, ret);
}

void Interpreter::stopRunaway() {
    if (!vm.m_budgetReported) {
        vm.m_budgetReported = true;
        vm.report("A script ran too long and was stopped");
    }
    throw ScriptAbort{};
}

namespace {

std::string hexByte(std::uint8_t b) {
    const char* hex = "0123456789abcdef";
    return std::string{hex[b >> 4], hex[b & 15]};
}

} // namespace

const ActionTable& actionTable() {
    static const ActionTable table = [] {
        ActionTable t;
        addArithmeticActions(t);
        addLogicActions(t);
        addStringActions(t);
        addVariableActions(t);
        addControlActions(t);
        addCallActions(t);
        addFunctionActions(t);
        addObjectActions(t);
        addTimelineActions(t);
        addClipActions(t);
        return t;
    }();
    return table;
}

Interpreter::Exit Interpreter::run(Frame& f, std::size_t start, std::size_t end,
                                   std::size_t& jumpTo, Value& ret) {
    const std::vector<std::uint8_t>& code = *f.code;
    Run r{*this, vm, f, f.stack, code, start, std::min(end, code.size()), start, jumpTo, ret};
    const ActionTable& actions = actionTable();
    while (r.pc < r.end) {
        if (++vm.m_usedThisFrame > vm.m_budget) {
            stopRunaway();
        }
        ++vm.m_totalInstructions;
        const Instruction ins = decodeAction(r.code, r.pc, r.end);
        if (ins.status == DecodeStatus::HeaderCut) {
            vm.report("A script ends in the middle of an action");
            return Exit::End;
        }
        if (ins.status == DecodeStatus::PastEnd) {
            vm.report("A script action runs past the end of its block");
            return Exit::End;
        }
        r.pc = ins.next;
        const Step step = actions[static_cast<std::uint8_t>(ins.op)](r, ins);
        if (step == Step::Next && ins.status == DecodeStatus::Ok) {
            continue;
        }
        switch (step) {
        case Step::End:
            return Exit::End;
        case Step::Return:
            return Exit::Return;
        case Step::Jump:
            return Exit::Jump;
        case Step::Next:      // after an action cut short
        case Step::Malformed: // a Push
            vm.report("A script has a malformed action 0x" +
                      hexByte(static_cast<std::uint8_t>(ins.op)));
            return Exit::End;
        }
    }
    return Exit::End;
}

} // namespace kinovex::flash::avm1
