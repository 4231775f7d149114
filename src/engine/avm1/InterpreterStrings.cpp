// Strings, as bytes (the version 4 actions) and as characters (the MB ones), and conversions.

#include "engine/avm1/InterpreterRun.h"
#include "engine/avm1/Utf8.h"

namespace kinovex::flash::avm1 {

namespace {

void stringLength(Run& r) {
    r.push(Value(static_cast<double>(r.popString().size())));
}

void mbStringLength(Run& r) {
    r.push(Value(static_cast<double>(utf8Length(r.popString()))));
}

// StringExtract and MBStringExtract: string, 1-based index, count (negative: to the end).
template <bool characters> void extract(Run& r) {
    const double count = r.popNumber();
    const double index = r.popNumber();
    const std::string s = r.popString();
    const double from = std::max(0.0, toInteger(index) - 1);
    const double n = toInteger(count) < 0 ? 1e18 : toInteger(count);
    if (!characters) {
        const std::size_t a = static_cast<std::size_t>(std::min<double>(from, s.size()));
        const std::size_t b = static_cast<std::size_t>(std::min<double>(n, s.size() - a));
        r.push(Value(s.substr(a, b)));
    } else {
        r.push(Value(utf8Substr(s, from, n)));
    }
}

void stringAdd(Run& r) {
    const std::string b = r.popString();
    std::string a = r.popString();
    r.vm.checkStringSize(a.size() + b.size());
    r.push(Value(std::move(a += b)));
}

template <bool characters> void charToAscii(Run& r) {
    const std::string s = r.popString();
    if (s.empty()) {
        r.push(Value(0.0));
    } else if (characters) {
        r.push(Value(static_cast<double>(utf8At(s, 0))));
    } else {
        r.push(Value(static_cast<double>(static_cast<unsigned char>(s[0]))));
    }
}

void asciiToChar(Run& r) {
    const auto c = static_cast<char>(toUint32(r.popNumber()) & 0xff);
    r.push(Value(std::string(1, c)));
}

void mbAsciiToChar(Run& r) {
    r.push(Value(utf8Encode(toUint32(r.popNumber()) & 0x1fffff)));
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
    t.on<mbStringLength>(Opcode::ActionMBStringLength);
    t.on<extract<false>>(Opcode::ActionStringExtract);
    t.on<extract<true>>(Opcode::ActionMBStringExtract);
    t.on<stringAdd>(Opcode::ActionStringAdd);
    t.on<charToAscii<false>>(Opcode::ActionCharToAscii);
    t.on<charToAscii<true>>(Opcode::ActionMBCharToAscii);
    t.on<asciiToChar>(Opcode::ActionAsciiToChar);
    t.on<mbAsciiToChar>(Opcode::ActionMBAsciiToChar);
    t.on<toNumber>(Opcode::ActionToNumber);
    t.on<toString>(Opcode::ActionToString);
    t.on<typeOf>(Opcode::ActionTypeOf);
}

} // namespace kinovex::flash::avm1
