#pragma once
// Every instruction of ActionScript 3 bytecode: how its operands are encoded, which pool they
// index, and what it does to the operand and scope stacks.

#include <cstdint>

namespace kinovex::flash::abc {

enum class OperandLayout : std::uint8_t {
    None,
    U8,           // pushbyte, getscopeobject
    U30,          // one index or count
    Short,        // pushshort: a variable-length 32-bit value of which the low 16 bits count
    U30U30,       // two of them
    S24,          // a branch offset from the end of the instruction
    LookupSwitch, // s24 default, u30 case count, that many plus one s24 offsets
    Debug,        // u8 kind, u30 string, u8 register, u30 extra
};

// What an operand stands for, when it indexes something that must exist.
enum class OperandRef : std::uint8_t {
    None,
    Multiname,
    String,
    Int,
    UInt,
    Double,
    Namespace,
    Method,
    Class,
    Exception,
    Local,
};

// How the number of values an instruction pops is found.
enum class PopRule : std::uint8_t {
    Fixed,       // `pops`
    Args,        // `pops` plus the argument count (the last operand)
    NameAndArgs, // `pops`, the argument count and what the name takes at run time
    Name,        // `pops` and what the name (the first operand) takes at run time
    ArgPairs,    // two values for each of the argument count: newobject's names and values
};

enum OpcodeFlags : std::uint8_t {
    OpBranch = 0x01,      // goes to its target or on to the next instruction
    OpJump = 0x02,        // always goes to its target
    OpEndsFlow = 0x04,    // returns or throws
    OpPushesScope = 0x08, // pushscope, pushwith
    OpPopsScope = 0x10,   // popscope
    OpStaticName = 0x20,  // its name is resolved before running: none of it may come at run time
    OpNoThrow = 0x40,     // cannot throw, so no exception handler is entered from it
};

struct OpcodeInfo {
    const char* name = nullptr; // null: not an instruction
    OperandLayout layout = OperandLayout::None;
    OperandRef first = OperandRef::None;
    OperandRef second = OperandRef::None;
    std::uint8_t pops = 0;
    std::uint8_t pushes = 0;
    PopRule popRule = PopRule::Fixed;
    std::uint8_t flags = 0;
};

enum Opcode : std::uint8_t {
    OpLabel = 0x09,
    OpGetScopeObject = 0x65,
    OpLookupSwitch = 0x1B,
    OpGetLocal0 = 0xD0,
    OpSetLocal0 = 0xD4,
};

const OpcodeInfo& opcodeInfo(std::uint8_t opcode);

} // namespace kinovex::flash::abc
