#pragma once
// Checks method bodies before any of them runs, by an abstract walk over the control flow from
// the body's start and from the handlers of code that can throw: every instruction reached is
// known and whole, every index names something that exists, every jump lands on the start of an
// instruction inside the body, and the operand and scope stacks never underflow nor grow past
// what the body declares. Where paths meet, the operand stack has one depth.

#include "engine/abc/AbcFile.h"
#include "engine/abc/Instruction.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kinovex::flash::abc {

struct VerifyError {
    std::uint32_t body = 0;   // index in AbcFile::bodies
    std::uint32_t method = 0; // the method it belongs to
    std::size_t offset = 0;   // in the body's code
    std::string message;
    int playerError = 0; // the number of the player's VerifyError for it, 0 when it has none

    std::string text() const;
};

// What checking a whole file found. A refused body does not spoil the others: its method
// fails when it is called, as every player does it, and the rest of the file stays usable.
struct VerifyReport {
    std::vector<VerifyError> refused; // in the order of the bodies
    std::size_t bodies = 0;           // checked
    std::size_t instructions = 0;     // decoded in them
};

// Scratch lists a run of verifications reuses, so a file is checked without allocating for
// each body. Code is decoded as control reaches it: bytes no path reaches are never run, and
// nothing in them, not even an unknown opcode, is held against the body.
struct VerifyScratch {
    std::vector<Instruction> instructions; // those reached, in the order they were
    std::vector<std::int32_t> caseOffsets;
    std::vector<std::int32_t> instructionAt; // by code offset: see Verifier.cpp
    std::vector<std::int32_t> stackDepth;    // by instruction
    std::vector<std::int32_t> scopeDepth;
    std::vector<std::uint32_t> pending;
};

std::optional<VerifyError> verifyBody(const AbcFile& file, std::uint32_t bodyIndex,
                                      VerifyScratch& scratch);
// Every body of the file.
VerifyReport verifyFile(const AbcFile& file);

} // namespace kinovex::flash::abc
