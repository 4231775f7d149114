#pragma once
// A method body's code decoded into instructions, in the order they stand.

#include "engine/abc/AbcError.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kinovex::flash::abc {

struct Instruction {
    std::uint32_t offset = 0; // in the code
    std::uint32_t length = 0; // in bytes, operands included
    std::uint8_t opcode = 0;
    // As stored: indices and counts, branch offsets (signed), the debug op's four fields. For
    // lookupswitch: the default offset, the case count, and where its cases start in
    // DecodedCode::caseOffsets (which holds case count plus one offsets).
    std::array<std::int32_t, 4> operands{};
};

struct DecodedCode {
    std::vector<Instruction> instructions;
    std::vector<std::int32_t> caseOffsets;
    std::uint32_t codeLength = 0;

    // Where the instruction after instructions[i] starts (the code's length for the last).
    std::uint32_t nextOffset(std::size_t i) const {
        return i + 1 < instructions.size() ? instructions[i + 1].offset : codeLength;
    }
};

// Decodes the instruction at `offset` of `code` (lookupswitch appends its cases to
// `caseOffsets`). An unknown opcode, or operands that run past the end, give an error whose
// offset is the instruction's.
std::optional<AbcError> decodeInstruction(std::span<const std::uint8_t> code, std::size_t offset,
                                          Instruction& out, std::vector<std::int32_t>& caseOffsets);
// Decodes all of `code`, one instruction after the other, into `out` (whose lists are reused).
std::optional<AbcError> decodeCode(std::span<const std::uint8_t> code, DecodedCode& out);

} // namespace kinovex::flash::abc
