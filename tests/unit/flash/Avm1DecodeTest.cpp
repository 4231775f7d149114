// Decoding action records: every action has a handler, operands come out as our movie writer
// put them in, and a record cut short anywhere is refused without reading past its end.

#include "Actions.h"
#include "engine/avm1/InterpreterRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

namespace kinovex::flash::avm1 {
// For failure messages.
void PrintTo(DecodeStatus status, std::ostream* out) {
    const char* names[] = {"Ok", "Malformed", "HeaderCut", "PastEnd"};
    *out << names[static_cast<int>(status)];
}
} // namespace kinovex::flash::avm1

namespace kinovex::flash::test {
namespace {

using namespace swf;
using avm1::DecodeStatus;
using avm1::Instruction;
using avm1::Opcode;

// The operands of a decoded record, as text.
std::string describe(const Instruction& ins) {
    std::ostringstream s;
    switch (ins.op) {
    case Opcode::ActionGotoFrame:
    case Opcode::ActionWaitForFrame:
    case Opcode::ActionWaitForFrame2:
        s << "frame " << ins.frame.frame << " skip " << int{ins.frame.skip};
        break;
    case Opcode::ActionGetURL:
        s << "url " << ins.url.url << " target " << ins.url.target;
        break;
    case Opcode::ActionSetTarget:
    case Opcode::ActionGoToLabel:
        s << ins.text;
        break;
    case Opcode::ActionGetURL2:
    case Opcode::ActionGotoFrame2:
        s << "flags " << int{ins.flags.flags} << " bias " << ins.flags.bias;
        break;
    case Opcode::ActionJump:
    case Opcode::ActionIf:
        s << "offset " << ins.offset;
        break;
    case Opcode::ActionStoreRegister:
        s << "register " << int{ins.reg};
        break;
    case Opcode::ActionWith:
        s << "size " << ins.size;
        break;
    case Opcode::ActionTry: {
        const avm1::TryOperands& t = ins.tryBlock;
        s << "flags " << int{t.flags} << " sizes " << t.trySize << ' ' << t.catchSize << ' '
          << t.finallySize << " catch "
          << (t.flags & 4 ? std::to_string(t.catchRegister) : std::string(t.catchName));
        break;
    }
    case Opcode::ActionConstantPool: {
        s << "count " << ins.list.count << ':';
        avm1::ListReader strings(ins.list.items, false);
        std::uint8_t reg = 0;
        std::string_view text;
        for (int k = 0; k < ins.list.count && strings.next(reg, text); ++k) {
            s << ' ' << text;
        }
        break;
    }
    case Opcode::ActionDefineFunction:
    case Opcode::ActionDefineFunction2: {
        const avm1::FunctionOperands& d = ins.function;
        s << d.name << " registers " << int{d.registerCount} << " flags " << d.flags << " params";
        avm1::ListReader params(d.params, ins.op == Opcode::ActionDefineFunction2);
        std::uint8_t reg = 0;
        std::string_view name;
        for (int k = 0; k < d.paramCount && params.next(reg, name); ++k) {
            s << ' ' << int{reg} << ':' << name;
        }
        s << " body " << d.bodySize;
        break;
    }
    case Opcode::ActionPush: {
        avm1::PushReader values(ins.payload);
        avm1::PushItem item;
        while (values.next(item)) {
            s << "kind " << int{item.kind} << ' ' << item.text << item.number << ' '
              << int{item.boolean} << ' ' << item.index << ';';
        }
        s << (values.ok() ? "" : " malformed");
        break;
    }
    default:
        break;
    }
    return s.str();
}

struct Sample {
    const char* what;
    Actions record; // the record comes first
    std::string operands;
};

std::vector<Sample> samples() {
    const Actions body = Actions().op(op::Pop);
    return {
        {"GotoFrame", Actions().gotoFrame(0x1234), "frame 4660 skip 0"},
        {"GetURL", Actions().getUrl("page.html", "_blank"), "url page.html target _blank"},
        {"WaitForFrame", Actions().waitForFrame(7, 3), "frame 7 skip 3"},
        {"WaitForFrame2", Actions().waitForFrame2(2), "frame 0 skip 2"},
        {"SetTarget", Actions().setTarget("a/b"), "a/b"},
        {"GoToLabel", Actions().gotoLabel("end"), "end"},
        {"GetURL2", Actions().getUrl2(0x42), "flags 66 bias 0"},
        {"GotoFrame2 and play", Actions().gotoFrame2(true), "flags 1 bias 0"},
        {"GotoFrame2 with a scene bias", Actions().gotoFrame2(false, 300), "flags 2 bias 300"},
        {"Jump back to itself", Actions().label("top").jump("top"), "offset -5"},
        {"If over an action", Actions().ifTrue("on").op(op::Pop).label("on"), "offset 1"},
        {"StoreRegister", Actions().storeRegister(3), "register 3"},
        {"With", Actions().with(body), "size 1"},
        {"Try, catch into a variable",
         Actions().tryBlock(body, std::string("e"), Actions().op(op::Pop).op(op::Pop), body),
         "flags 3 sizes 1 2 1 catch e"},
        {"Try, catch into a register", Actions().tryBlock(body, std::uint8_t{2}, body),
         "flags 5 sizes 1 1 0 catch 2"},
        {"ConstantPool", Actions().constantPool({"a", "bc"}), "count 2: a bc"},
        {"DefineFunction", Actions().defineFunction("f", {"x", "y"}, body),
         "f registers 0 flags 0 params 0:x 0:y body 1"},
        {"DefineFunction2",
         Actions().defineFunction2("g", 5, fn2::PreloadThis, {{1, "x"}, {0, "y"}}, body),
         "g registers 5 flags 1 params 1:x 0:y body 1"},
        {"Push a string", Actions().push("hi"), "kind 0 hi0 0 0;"},
        {"Push a float", Actions().push(Float{1.5f}), "kind 1 1.5 0 0;"},
        {"Push null", Actions().push(Null{}), "kind 2 0 0 0;"},
        {"Push undefined", Actions().push(Undefined{}), "kind 3 0 0 0;"},
        {"Push a register", Actions().push(Register{4}), "kind 4 0 0 4;"},
        {"Push a boolean", Actions().push(true), "kind 5 0 1 0;"},
        {"Push a double", Actions().push(-2.25), "kind 1 -2.25 0 0;"},
        {"Push an integer", Actions().push(Int{-7}), "kind 1 -7 0 0;"},
        {"Push a constant", Actions().push(Constant{3}), "kind 6 0 0 3;"},
        {"Push a far constant", Actions().push(Constant{300}), "kind 6 0 0 300;"},
    };
}

// The first record of `code`, with its payload declared and stored `length` bytes long, alone in
// a buffer of its own size (so the sanitizer build sees any read past it).
struct CutRecord {
    CutRecord(const std::vector<std::uint8_t>& code, std::size_t length)
        : size(3 + length), bytes(std::make_unique<std::uint8_t[]>(size)) {
        bytes[0] = code[0];
        bytes[1] = static_cast<std::uint8_t>(length & 0xff);
        bytes[2] = static_cast<std::uint8_t>(length >> 8);
        std::copy_n(code.begin() + 3, length, bytes.get() + 3);
    }
    std::span<const std::uint8_t> span() const { return {bytes.get(), size}; }

    std::size_t size;
    std::unique_ptr<std::uint8_t[]> bytes;
};

std::size_t payloadLength(const std::vector<std::uint8_t>& code) {
    return static_cast<std::size_t>(code[1] | (code[2] << 8));
}

TEST(Avm1Decode, EveryActionHasAHandler) {
    const avm1::ActionTable& actions = avm1::actionTable();
    for (const avm1::OpcodeInfo& info : avm1::kOpcodes) {
        EXPECT_TRUE(actions.has(info.code)) << info.name;
    }
}

TEST(Avm1Decode, OperandsComeOutAsWritten) {
    for (const Sample& sample : samples()) {
        const std::vector<std::uint8_t> code = sample.record.bytes(false);
        const Instruction ins = avm1::decodeAction(code, 0, code.size());
        EXPECT_EQ(ins.status, DecodeStatus::Ok) << sample.what;
        EXPECT_EQ(ins.next, 3 + payloadLength(code)) << sample.what;
        EXPECT_EQ(describe(ins), sample.operands) << sample.what;
    }
}

TEST(Avm1Decode, ARecordCutShortIsRefusedWithoutReadingPastIt) {
    for (const Sample& sample : samples()) {
        const std::vector<std::uint8_t> code = sample.record.bytes(false);
        // A push may hold no values at all; cut anywhere else, every record is malformed.
        const std::size_t shortest = code[0] == 0x96 ? 1 : 0;
        for (std::size_t length = shortest; length < payloadLength(code); ++length) {
            const CutRecord record(code, length);
            const Instruction ins = avm1::decodeAction(record.span(), 0, record.size);
            EXPECT_EQ(ins.next, record.size) << sample.what << ", " << length << " bytes";
            const std::string operands = describe(ins);
            if (ins.op == Opcode::ActionPush) {
                EXPECT_TRUE(operands.ends_with(" malformed")) << sample.what << ", " << length;
            } else {
                EXPECT_EQ(ins.status, DecodeStatus::Malformed) << sample.what << ", " << length;
            }
        }
    }
}

TEST(Avm1Decode, ARecordReachingPastItsBlockIsRefused) {
    const std::vector<std::uint8_t> code = Actions().gotoFrame(5).op(op::Play).bytes(false);
    struct Case {
        std::size_t end;
        DecodeStatus status;
    };
    // The header is cut; the payload is cut (though the code goes on past the block); whole.
    for (const Case& c : {Case{1, DecodeStatus::HeaderCut}, Case{2, DecodeStatus::HeaderCut},
                          Case{3, DecodeStatus::PastEnd}, Case{4, DecodeStatus::PastEnd},
                          Case{5, DecodeStatus::Ok}, Case{6, DecodeStatus::Ok}}) {
        EXPECT_EQ(avm1::decodeAction(code, 0, c.end).status, c.status) << "block of " << c.end;
    }
    // Actions without a payload are one byte, whatever follows.
    const Instruction play = avm1::decodeAction(code, 5, 6);
    EXPECT_EQ(play.op, Opcode::ActionPlay);
    EXPECT_EQ(play.next, 6u);
}

} // namespace
} // namespace kinovex::flash::test
