#pragma once
// flash.system's ApplicationDomain and Capabilities, and flash.crypto.generateRandomBytes:
// installed by the runtime once LoaderInfo exists (it gains applicationDomain).

#include "engine/avm2/Machine.h"

namespace kinovex::flash::avm2 {

void installSystemClasses(Machine& m);

// The domain memory instructions (li8 ... sf64, opcodes 0x35 to 0x3E) on the operand stack:
// little-endian, on the domain's memory, or while a script has set none, on a zeroed block of
// its own of ApplicationDomain.MIN_DOMAIN_MEMORY_LENGTH bytes.
void runDomainMemoryOp(Machine& vm, std::uint8_t opcode, std::vector<Value>& stack);

} // namespace kinovex::flash::avm2
