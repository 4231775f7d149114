// The stack, registers and constant pools, and arithmetic on numbers.

#include "engine/avm1/InterpreterRun.h"
#include "engine/avm1/Utf8.h"

#include <cmath>
#include <functional>
#include <memory>

namespace kinovex::flash::avm1 {

namespace {

Value pushedValue(const Vm& vm, const Frame& f, const PushItem& item) {
    switch (item.kind) {
    case PushItem::String:
        return Value(movieText(item.text, vm.version()));
    case PushItem::Number:
        return Value(item.number);
    case PushItem::Null:
        return Value::null();
    case PushItem::Undefined:
        return Value();
    case PushItem::Register:
        return item.index < f.registerCount ? f.registers[item.index] : Value();
    case PushItem::Boolean:
        return Value(item.boolean);
    case PushItem::Constant:
        if (f.constants && item.index < f.constants->size()) {
            return (*f.constants)[item.index];
        }
        return Value();
    }
    return Value();
}

Step push(Run& r, const Instruction& ins) {
    PushReader values(ins.payload);
    PushItem item;
    while (values.next(item)) {
        r.push(pushedValue(r.vm, r.f, item));
    }
    if (!values.ok()) {
        r.vm.report("A script pushes a malformed value");
        return Step::Malformed;
    }
    return Step::Next;
}

void storeRegister(Run& r, const Instruction& ins) {
    if (ins.status != DecodeStatus::Malformed && ins.reg < r.f.registerCount) {
        r.f.registers[ins.reg] = r.stack.empty() ? Value() : r.stack.back();
    }
}

void constantPool(Run& r, const Instruction& ins) {
    auto pool = std::make_shared<std::vector<Value>>();
    pool->reserve(ins.list.count);
    ListReader strings(ins.list.items, false);
    std::uint8_t unused = 0;
    std::string_view text;
    for (std::uint16_t k = 0; k < ins.list.count && strings.next(unused, text); ++k) {
        pool->emplace_back(movieText(text, r.vm.version()));
    }
    r.f.constants = std::move(pool);
}

void pop(Run& r) {
    r.pop();
}

void pushDuplicate(Run& r) {
    r.push(r.stack.empty() ? Value() : r.stack.back());
}

void stackSwap(Run& r) {
    Value a = r.pop();
    Value b = r.pop();
    r.push(std::move(a));
    r.push(std::move(b));
}

// a op b on numbers, b on top of the stack.
template <typename Op> void numbers(Run& r) {
    const double b = r.popNumber();
    r.push(Value(Op{}(r.popNumber(), b)));
}

struct Modulo {
    double operator()(double a, double b) const { return std::fmod(a, b); }
};

void increment(Run& r) {
    r.push(Value(r.popNumber() + 1));
}

void decrement(Run& r) {
    r.push(Value(r.popNumber() - 1));
}

// int(x) is x as a 32-bit integer: it wraps, and gives 0 for infinities and NaN.
void integer(Run& r) {
    r.push(Value(static_cast<double>(toInt32(r.popNumber()))));
}

void divide(Run& r) {
    const double b = r.popNumber();
    const double a = r.popNumber();
    if (b == 0 && r.vm.version() < 5) {
        r.push(Value("#ERROR#"));
    } else if (b == 0) {
        // The sign of a zero divisor does not count: the dividend's sign gives the infinity.
        r.push(Value(a == 0 || std::isnan(a) ? std::nan("") : std::copysign(INFINITY, a)));
    } else {
        r.push(Value(a / b));
    }
}

// a op b on 32-bit integers.
template <typename Op> void bits(Run& r) {
    const std::int32_t b = toInt32(r.popNumber());
    r.push(Value(static_cast<double>(Op{}(toInt32(r.popNumber()), b))));
}

// The shift count is on top, then the value.
void shiftLeft(Run& r) {
    const std::uint32_t count = toUint32(r.popNumber()) & 31;
    const std::uint32_t v = toUint32(r.popNumber());
    r.push(Value(static_cast<double>(static_cast<std::int32_t>(v << count))));
}

void shiftRight(Run& r) {
    const std::uint32_t count = toUint32(r.popNumber()) & 31;
    const std::int32_t v = toInt32(r.popNumber());
    r.push(Value(static_cast<double>(v >> count)));
}

// The shifted bits are read back as a signed number: -1 >>> 0 is -1, while -1 >>> 1 is
// 2147483647.
void shiftRightUnsigned(Run& r) {
    const std::uint32_t count = toUint32(r.popNumber()) & 31;
    const std::uint32_t v = toUint32(r.popNumber());
    r.push(Value(static_cast<double>(static_cast<std::int32_t>(v >> count))));
}

// Strings join, anything else adds as numbers.
void add2(Run& r) {
    const Value b = r.vm.toPrimitive(r.pop(), true);
    const Value a = r.vm.toPrimitive(r.pop(), true);
    if (a.isString() || b.isString()) {
        std::string left = r.vm.toString(a);
        const std::string right = r.vm.toString(b);
        r.vm.checkStringSize(left.size() + right.size());
        r.push(Value(std::move(left += right)));
    } else {
        r.push(Value(r.vm.toNumber(a) + r.vm.toNumber(b)));
    }
}

void randomNumber(Run& r) {
    const double max = toInteger(r.popNumber());
    r.push(Value(max > 0 ? std::floor(r.vm.random() * max) : 0.0));
}

} // namespace

void addArithmeticActions(ActionTable& t) {
    t.on<push>(Opcode::ActionPush);
    t.on<pop>(Opcode::ActionPop);
    t.on<pushDuplicate>(Opcode::ActionPushDuplicate);
    t.on<stackSwap>(Opcode::ActionStackSwap);
    t.on<storeRegister>(Opcode::ActionStoreRegister);
    t.on<constantPool>(Opcode::ActionConstantPool);
    t.on<numbers<std::plus<>>>(Opcode::ActionAdd);
    t.on<numbers<std::minus<>>>(Opcode::ActionSubtract);
    t.on<numbers<std::multiplies<>>>(Opcode::ActionMultiply);
    t.on<divide>(Opcode::ActionDivide);
    t.on<numbers<Modulo>>(Opcode::ActionModulo);
    t.on<add2>(Opcode::ActionAdd2);
    t.on<increment>(Opcode::ActionIncrement);
    t.on<decrement>(Opcode::ActionDecrement);
    t.on<integer>(Opcode::ActionToInteger);
    t.on<randomNumber>(Opcode::ActionRandomNumber);
    t.on<bits<std::bit_and<>>>(Opcode::ActionBitAnd);
    t.on<bits<std::bit_or<>>>(Opcode::ActionBitOr);
    t.on<bits<std::bit_xor<>>>(Opcode::ActionBitXor);
    t.on<shiftLeft>(Opcode::ActionBitLShift);
    t.on<shiftRight>(Opcode::ActionBitRShift);
    t.on<shiftRightUnsigned>(Opcode::ActionBitURShift);
}

} // namespace kinovex::flash::avm1
