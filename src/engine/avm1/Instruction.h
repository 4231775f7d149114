#pragma once
// One action record decoded: its code, where the next record starts and what its payload says.
// The payload's strings and lists are views into the action list, which outlives the
// instruction. Every operand is read with bounds checks; the run loop reacts to the status.

#include "engine/avm1/Opcodes.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace kinovex::flash::avm1 {

enum class DecodeStatus : std::uint8_t {
    Ok,
    // The payload is shorter than its operands: the ones read so far hold what was there, the
    // rest are zero or empty. The action still runs on them, then the action list stops (a
    // function definition is refused before it runs). Push finds out as it reads its values.
    Malformed,
    // The record's header or payload reaches past the end of the block being run: the action
    // list stops before it.
    HeaderCut,
    PastEnd,
};

struct GotoFrameOperands { // GotoFrame, WaitForFrame, WaitForFrame2
    std::uint16_t frame;   // zero-based
    std::uint8_t skip;     // actions to step over when the frame is not loaded yet
};
struct UrlOperands { // GetURL
    std::string_view url;
    std::string_view target;
};
struct FlagOperands { // GetURL2 (the method), GotoFrame2 (play, scene bias)
    std::uint8_t flags;
    std::uint16_t bias;
};
struct TryOperands {
    std::uint8_t flags; // 1: has a catch block, 2: has a finally block, 4: catch in a register
    std::uint16_t trySize;
    std::uint16_t catchSize;
    std::uint16_t finallySize;
    std::uint8_t catchRegister;
    std::string_view catchName;
};
// The strings of a ConstantPool, read with ListReader.
struct ListOperands {
    std::uint16_t count;
    std::span<const std::uint8_t> items;
};
struct FunctionOperands { // DefineFunction, DefineFunction2
    std::string_view name;
    std::uint16_t paramCount;
    std::uint8_t registerCount; // DefineFunction2 only, as the flags
    std::uint16_t flags;
    std::span<const std::uint8_t> params; // read with ListReader
    std::uint16_t bodySize;               // the body follows the record
};

struct Instruction {
    Instruction() : offset(0) {}

    Opcode op = Opcode::ActionEnd; // may be a code no action has
    DecodeStatus status = DecodeStatus::Ok;
    std::size_t next = 0; // offset of the record after this one
    std::span<const std::uint8_t> payload;
    // What the payload says, for the action that has one (Push reads its values with PushReader).
    union {
        std::int16_t offset;   // Jump, If: from `next`
        std::uint8_t reg;      // StoreRegister
        std::uint16_t size;    // With: the block follows the record
        std::string_view text; // SetTarget, GoToLabel
        GotoFrameOperands frame;
        UrlOperands url;
        FlagOperands flags;
        TryOperands tryBlock;
        ListOperands list;
        FunctionOperands function;
    };
};

// Reads one payload's operands. A read that does not fit gives 0 (a string: empty, and the
// rest of the payload is used up) and clears ok; later reads that fit still read.
struct ByteReader {
    explicit ByteReader(std::span<const std::uint8_t> bytes) : p(bytes.data()), n(bytes.size()) {}

    bool need(std::size_t k) {
        if (n - i < k || i > n) {
            ok = false;
            return false;
        }
        return true;
    }
    std::uint8_t u8() { return need(1) ? p[i++] : 0; }
    std::uint16_t u16() {
        if (!need(2)) {
            return 0;
        }
        const auto v = static_cast<std::uint16_t>(p[i] | (p[i + 1] << 8));
        i += 2;
        return v;
    }
    std::int16_t s16() { return static_cast<std::int16_t>(u16()); }
    std::uint32_t u32() {
        if (!need(4)) {
            return 0;
        }
        const std::uint32_t v = static_cast<std::uint32_t>(p[i]) |
                                (static_cast<std::uint32_t>(p[i + 1]) << 8) |
                                (static_cast<std::uint32_t>(p[i + 2]) << 16) |
                                (static_cast<std::uint32_t>(p[i + 3]) << 24);
        i += 4;
        return v;
    }
    std::string_view str() {
        const void* z = i < n ? std::memchr(p + i, 0, n - i) : nullptr;
        if (!z) {
            ok = false;
            i = n;
            return {};
        }
        const auto len = static_cast<std::size_t>(static_cast<const std::uint8_t*>(z) - (p + i));
        const std::string_view s(reinterpret_cast<const char*>(p + i), len);
        i += len + 1;
        return s;
    }

    const std::uint8_t* p;
    std::size_t n;
    std::size_t i = 0;
    bool ok = true;
};

// The operands of the other records with a payload (decodeAction does the frequent ones).
void decodeOperands(Instruction& ins);

// Decodes the record at `pc` (< end); the block being run ends at `end` (<= code.size()).
inline Instruction decodeAction(std::span<const std::uint8_t> code, std::size_t pc,
                                std::size_t end) {
    Instruction ins;
    const std::uint8_t byte = code[pc];
    ins.op = static_cast<Opcode>(byte);
    if (!hasPayload(byte)) {
        ins.next = pc + 1;
        return ins;
    }
    if (pc + 3 > end) {
        ins.status = DecodeStatus::HeaderCut;
        return ins;
    }
    const auto length = static_cast<std::size_t>(code[pc + 1] | (code[pc + 2] << 8));
    const std::size_t data = pc + 3;
    if (data + length > end) {
        ins.status = DecodeStatus::PastEnd;
        return ins;
    }
    ins.next = data + length;
    ins.payload = code.subspan(data, length);
    ByteReader in(ins.payload);
    switch (ins.op) {
    case Opcode::ActionPush:
        return ins; // its values are read as they are pushed (PushReader)
    case Opcode::ActionJump:
    case Opcode::ActionIf:
        ins.offset = in.s16();
        break;
    case Opcode::ActionStoreRegister:
        ins.reg = in.u8();
        break;
    default:
        decodeOperands(ins);
        return ins;
    }
    if (!in.ok) {
        ins.status = DecodeStatus::Malformed;
    }
    return ins;
}

// Where skipping `count` actions from `pc` ends up (WaitForFrame); at most `end`.
std::size_t skipActions(std::span<const std::uint8_t> code, std::size_t pc, std::size_t end,
                        int count);

// One value of a Push.
struct PushItem {
    enum Kind : std::uint8_t { String, Number, Null, Undefined, Register, Boolean, Constant };
    Kind kind = Undefined;
    bool boolean = false;
    std::uint16_t index = 0; // Register, Constant
    double number = 0;
    std::string_view text;
};

// Reads the values of a Push in turn. A value cut short is still given, as far as it was read
// (a string as empty, a number as 0), and reading stops there with ok() false. An unknown kind
// of value stops reading too, and is not given.
class PushReader {
public:
    explicit PushReader(std::span<const std::uint8_t> payload) : m_in(payload) {}
    bool ok() const { return m_in.ok; }

    bool next(PushItem& item) {
        if (m_in.i >= m_in.n || !m_in.ok) {
            return false;
        }
        switch (m_in.u8()) {
        case 0:
            item.kind = PushItem::String;
            item.text = m_in.str();
            return true;
        case 1:
            item.kind = PushItem::Number;
            item.number = static_cast<double>(std::bit_cast<float>(m_in.u32()));
            return true;
        case 2:
            item.kind = PushItem::Null;
            return true;
        case 3:
            item.kind = PushItem::Undefined;
            return true;
        case 4:
            item.kind = PushItem::Register;
            item.index = m_in.u8();
            return true;
        case 5:
            item.kind = PushItem::Boolean;
            item.boolean = m_in.u8() != 0;
            return true;
        case 6: {
            // The two 32-bit halves come high word first.
            const std::uint64_t hi = m_in.u32();
            const std::uint64_t lo = m_in.u32();
            item.kind = PushItem::Number;
            item.number = std::bit_cast<double>((hi << 32) | lo);
            return true;
        }
        case 7:
            item.kind = PushItem::Number;
            item.number = static_cast<double>(static_cast<std::int32_t>(m_in.u32()));
            return true;
        case 8:
            item.kind = PushItem::Constant;
            item.index = m_in.u8();
            return true;
        case 9:
            item.kind = PushItem::Constant;
            item.index = m_in.u16();
            return true;
        default:
            m_in.ok = false;
            return false;
        }
    }

private:
    ByteReader m_in;
};

// Reads the strings of a ConstantPool, or the parameters of a function definition (each a
// register byte for DefineFunction2, then the name). An item cut short is still given, as far
// as it was read; the next call gives none and ok() is false.
class ListReader {
public:
    ListReader(std::span<const std::uint8_t> items, bool registers)
        : m_in(items), m_registers(registers) {}
    bool ok() const { return m_in.ok; }

    bool next(std::uint8_t& reg, std::string_view& name) {
        if (!m_in.ok) {
            return false;
        }
        reg = m_registers ? m_in.u8() : 0;
        name = m_in.str();
        return true;
    }

private:
    ByteReader m_in;
    bool m_registers;
};

} // namespace kinovex::flash::avm1
