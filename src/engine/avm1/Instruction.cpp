#include "engine/avm1/Instruction.h"

#include <algorithm>

namespace kinovex::flash::avm1 {

namespace {

void decodeTry(ByteReader& in, TryOperands& t) {
    t.flags = in.u8();
    t.trySize = in.u16();
    t.catchSize = in.u16();
    t.finallySize = in.u16();
    t.catchRegister = 0;
    t.catchName = {};
    if (t.flags & 4) {
        t.catchRegister = in.u8();
    } else {
        t.catchName = in.str();
    }
}

void decodeFunction(ByteReader& in, bool function2, FunctionOperands& d) {
    d.name = in.str();
    d.paramCount = in.u16();
    d.registerCount = function2 ? in.u8() : 0;
    d.flags = function2 ? in.u16() : 0;
    const std::size_t paramsAt = in.i;
    for (std::uint16_t k = 0; k < d.paramCount && in.ok; ++k) {
        if (function2) {
            in.u8();
        }
        in.str();
    }
    d.params = {in.p + paramsAt, in.i - paramsAt};
    d.bodySize = in.u16();
}

void decodeConstantPool(ByteReader& in, ListOperands& list) {
    list.count = in.u16();
    list.items = {in.p + std::min(in.i, in.n), in.n - std::min(in.i, in.n)};
    ListReader strings(list.items, false);
    std::uint8_t unused = 0;
    std::string_view text;
    for (std::uint16_t k = 0; k < list.count && strings.next(unused, text); ++k) {
    }
    in.ok = in.ok && strings.ok();
}

} // namespace

void decodeOperands(Instruction& ins) {
    ByteReader in(ins.payload);
    switch (ins.op) {
    case Opcode::ActionGotoFrame:
        ins.frame.frame = in.u16();
        ins.frame.skip = 0;
        break;
    case Opcode::ActionWaitForFrame:
        ins.frame.frame = in.u16();
        ins.frame.skip = in.u8();
        break;
    case Opcode::ActionWaitForFrame2:
        ins.frame.frame = 0;
        ins.frame.skip = in.u8();
        break;
    case Opcode::ActionGetURL:
        ins.url.url = in.str();
        ins.url.target = in.str();
        break;
    case Opcode::ActionSetTarget:
    case Opcode::ActionGoToLabel:
        ins.text = in.str();
        break;
    case Opcode::ActionGetURL2:
        ins.flags.flags = in.u8();
        ins.flags.bias = 0;
        break;
    case Opcode::ActionGotoFrame2:
        ins.flags.flags = in.u8();
        ins.flags.bias = (ins.flags.flags & 2) ? in.u16() : 0;
        break;
    case Opcode::ActionWith:
        ins.size = in.u16();
        break;
    case Opcode::ActionTry:
        decodeTry(in, ins.tryBlock);
        break;
    case Opcode::ActionConstantPool:
        decodeConstantPool(in, ins.list);
        break;
    case Opcode::ActionDefineFunction:
    case Opcode::ActionDefineFunction2:
        decodeFunction(in, ins.op == Opcode::ActionDefineFunction2, ins.function);
        break;
    default:
        break; // no operands
    }
    if (!in.ok) {
        ins.status = DecodeStatus::Malformed;
    }
}

std::size_t skipActions(std::span<const std::uint8_t> code, std::size_t pc, std::size_t end,
                        int count) {
    for (int k = 0; k < count && pc < end; ++k) {
        const std::uint8_t op = code[pc];
        if (hasPayload(op)) {
            if (pc + 3 > end) {
                return end;
            }
            pc += 3 + static_cast<std::size_t>(code[pc + 1] | (code[pc + 2] << 8));
        } else {
            pc += 1;
        }
    }
    return std::min(pc, end);
}

} // namespace kinovex::flash::avm1
