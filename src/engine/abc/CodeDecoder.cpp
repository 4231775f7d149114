#include "engine/abc/AbcStream.h"
#include "engine/abc/Instruction.h"
#include "engine/abc/Opcodes.h"

namespace kinovex::flash::abc {

namespace {

std::string hexByte(std::uint8_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string("0x") + kDigits[value >> 4] + kDigits[value & 0x0F];
}

void readLookupSwitch(AbcStream& in, Instruction& ins, std::vector<std::int32_t>& cases) {
    ins.operands[0] = in.s24();
    const std::uint32_t caseCount = in.u30();
    // Each offset takes three bytes; the count may not promise more than the code holds.
    if (in.ok() && caseCount >= in.remaining() / 3) {
        in.fail("lookupswitch has " + std::to_string(caseCount) + " cases and " +
                std::to_string(in.remaining()) + " bytes of code left");
        return;
    }
    ins.operands[1] = static_cast<std::int32_t>(caseCount);
    ins.operands[2] = static_cast<std::int32_t>(cases.size());
    for (std::uint32_t i = 0; i <= caseCount && in.ok(); ++i) {
        cases.push_back(in.s24());
    }
}

void readOperands(AbcStream& in, const OpcodeInfo& info, Instruction& ins,
                  std::vector<std::int32_t>& cases) {
    auto u30 = [&in] { return static_cast<std::int32_t>(in.u30()); };
    switch (info.layout) {
    case OperandLayout::None:
        break;
    case OperandLayout::U8:
        ins.operands[0] = in.u8();
        break;
    case OperandLayout::U30:
        ins.operands[0] = u30();
        break;
    case OperandLayout::Short:
        // Compilers write negative values sign-extended to all 32 bits.
        ins.operands[0] = static_cast<std::int16_t>(in.u32() & 0xFFFF);
        break;
    case OperandLayout::U30U30:
        ins.operands[0] = u30();
        ins.operands[1] = u30();
        break;
    case OperandLayout::S24:
        ins.operands[0] = in.s24();
        break;
    case OperandLayout::LookupSwitch:
        readLookupSwitch(in, ins, cases);
        break;
    case OperandLayout::Debug:
        ins.operands[0] = in.u8();
        ins.operands[1] = u30();
        ins.operands[2] = in.u8();
        ins.operands[3] = u30();
        break;
    }
}

} // namespace

std::optional<AbcError> decodeInstruction(std::span<const std::uint8_t> code, std::size_t offset,
                                          Instruction& out,
                                          std::vector<std::int32_t>& caseOffsets) {
    if (offset >= code.size()) {
        return AbcError{offset, "the code ends here"};
    }
    AbcStream in(code.subspan(offset), offset);
    out = Instruction{};
    out.offset = static_cast<std::uint32_t>(offset);
    out.opcode = in.u8();
    const OpcodeInfo& info = opcodeInfo(out.opcode);
    if (info.name == nullptr) {
        return AbcError{offset, "unknown opcode " + hexByte(out.opcode)};
    }
    readOperands(in, info, out, caseOffsets);
    if (!in.ok()) {
        // Said of the instruction that ran out, at its start.
        return AbcError{offset, std::string(info.name) + ": " + in.error()->message};
    }
    out.length = static_cast<std::uint32_t>(in.position());
    return std::nullopt;
}

std::optional<AbcError> decodeCode(std::span<const std::uint8_t> code, DecodedCode& out) {
    out.instructions.clear();
    out.caseOffsets.clear();
    out.codeLength = static_cast<std::uint32_t>(code.size());
    std::size_t offset = 0;
    while (offset < code.size()) {
        Instruction ins;
        if (auto error = decodeInstruction(code, offset, ins, out.caseOffsets)) {
            return error;
        }
        out.instructions.push_back(ins);
        offset += ins.length;
    }
    return std::nullopt;
}

} // namespace kinovex::flash::abc
