// Strings and conversions. Strings count in characters, with the old actions as with the MB
// ones: movies before version 6 have one byte a character, so there the two agree (their text
// is read as Latin-1, see movieText).

#include "engine/avm1/InterpreterRun.h"
#include "engine/avm1/Utf8.h"

namespace kinovex::flash::avm1 {

namespace {

void stringLength(Run& r) {
    r.push(Value(static_cast<double>(utf8Length(r.popString()))));
}

// StringExtract and MBStringExtract: string, 1-based index, count (negative: to the end).
void extract(Run& r) {
    const double count = r.popNumber();
    const double index = r.popNumber();
    const std::string s = r.popString();
    // The index and the count are 32-bit integers (infinity is 0).
    const double from = std::max(0.0, static_cast<double>(toInt32(index)) - 1);
    const double n = toInt32(count) < 0 ? 1e18 : static_cast<double>(toInt32(count));
    r.push(Value(utf8Substr(s, from, n)));
}

void stringAdd(Run& r) {
    const std::string b = r.popString();
    std::string a = r.popString();
    r.vm.checkStringSize(a.size() + b.size());
    r.push(Value(std::move(a += b)));
}

void charToAscii(Run& r) {
    const std::string s = r.popString();
    r.push(Value(static_cast<double>(s.empty() ? 0 : utf8At(s, 0))));
}

// The character with a code; code 0 ends a string, so it gives the empty one.
Value character(std::uint32_t code) {
    return Value(code == 0 ? std::string() : utf8Encode(code));
}

// Before version 6 a character is a byte: AsciiToChar keeps the low byte of the code.
void asciiToChar(Run& r) {
    const std::uint32_t code = toUint32(r.popNumber());
    r.push(character(code & (r.vm.version() < 6 ? 0xffu : 0xffffu)));
}

void mbAsciiToChar(Run& r) {
    r.push(Value(cutAtNul(textOfCode(toUint32(r.popNumber()), r.vm.version()))));
}

void toNumber(Run& r) {
    r.push(Value(r.popNumber()));
}

void toString(Run& r) {
    r.push(Value(r.popString()));
}

void typeOf(Run& r) {
    r.push(Value(r.vm.typeOf(r.pop())));
}

} // namespace

void addStringActions(ActionTable& t) {
    t.on<stringLength>(Opcode::ActionStringLength);
    t.on<stringLength>(Opcode::ActionMBStringLength);
    t.on<extract>(Opcode::ActionStringExtract);
    t.on<extract>(Opcode::ActionMBStringExtract);
    t.on<stringAdd>(Opcode::ActionStringAdd);
    t.on<charToAscii>(Opcode::ActionCharToAscii);
    t.on<charToAscii>(Opcode::ActionMBCharToAscii);
    t.on<asciiToChar>(Opcode::ActionAsciiToChar);
    t.on<mbAsciiToChar>(Opcode::ActionMBAsciiToChar);
    t.on<toNumber>(Opcode::ActionToNumber);
    t.on<toString>(Opcode::ActionToString);
    t.on<typeOf>(Opcode::ActionTypeOf);
}

} // namespace kinovex::flash::avm1
