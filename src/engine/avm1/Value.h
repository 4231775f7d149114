#pragma once
// A script value. Objects live in the interpreter's heap and are referred to by plain pointers:
// the heap owns them and frees the unreachable ones when it collects.

#include "engine/swf/NumberText.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace kinovex::flash::avm1 {

class Object;

enum class Type : std::uint8_t { Undefined, Null, Boolean, Number, String, Object };

class Value {
public:
    // Written out (the members' initialisers do the work) so that a const value may be
    // default-initialised: a defaulted constructor with a union inside does not allow it.
    Value() noexcept {} // NOLINT(modernize-use-equals-default)
    Value(bool b) : m_type(Type::Boolean), m_bool(b) {}
    Value(double n) : m_type(Type::Number), m_number(n) {}
    Value(int n) : m_type(Type::Number), m_number(n) {}
    Value(std::string s) : m_type(Type::String), m_text(Text::make(std::move(s))) {}
    Value(const char* s) : Value(std::string(s)) {}
    Value(std::string_view s) : Value(std::string(s)) {}
    Value(Object* o);

    Value(const Value& other) noexcept : m_type(other.m_type), m_bool(other.m_bool) {
        copyPayload(other);
    }
    Value(Value&& other) noexcept : m_type(other.m_type), m_bool(other.m_bool) {
        takePayload(other);
    }
    Value& operator=(const Value& other) noexcept { return *this = Value(other); }
    Value& operator=(Value&& other) noexcept {
        if (this != &other) {
            Text* const held = heldText();
            m_type = other.m_type;
            m_bool = other.m_bool;
            takePayload(other);
            Text::release(held);
        }
        return *this;
    }
    ~Value() { Text::release(heldText()); }

    static Value null() {
        Value v;
        v.m_type = Type::Null;
        return v;
    }
    // An array element a script deleted: it reads as undefined, but the array no longer has
    // it as its own (hasOwnProperty, for..in).
    static Value hole() {
        Value v;
        v.m_bool = true;
        return v;
    }

    Type type() const { return m_type; }
    bool isUndefined() const { return m_type == Type::Undefined; }
    bool isNull() const { return m_type == Type::Null; }
    bool isNullish() const { return m_type == Type::Undefined || m_type == Type::Null; }
    bool isBool() const { return m_type == Type::Boolean; }
    bool isNumber() const { return m_type == Type::Number; }
    bool isString() const { return m_type == Type::String; }
    bool isObject() const { return m_type == Type::Object; }
    bool isHole() const { return m_type == Type::Undefined && m_bool; }

    bool asBool() const { return m_bool; }
    double asNumber() const { return m_type == Type::Number ? m_number : 0; }
    const std::string& asString() const {
        static const std::string empty;
        return m_type == Type::String && m_text ? m_text->text : empty;
    }
    Object* asObject() const { return m_type == Type::Object ? m_object : nullptr; }

private:
    // The text of a string value, shared by its copies: copying a string value (a push, a
    // property read) costs a count instead of a copy of the characters. A value belongs to one
    // script machine, and so to one thread, so the count needs no atomics. Empty text is no
    // Text at all.
    struct Text {
        std::uint32_t refs;
        std::string text;

        static Text* make(std::string s) { return s.empty() ? nullptr : new Text{1, std::move(s)}; }
        static void release(Text* t) {
            if (t && --t->refs == 0) {
                delete t;
            }
        }
    };

    Text* heldText() const { return m_type == Type::String ? m_text : nullptr; }
    void copyPayload(const Value& other) {
        std::memcpy(&m_number, &other.m_number, sizeof m_number); // whichever member is in use
        if (Text* const t = heldText()) {
            ++t->refs;
        }
    }
    void takePayload(Value& other) {
        std::memcpy(&m_number, &other.m_number, sizeof m_number);
        if (other.m_type == Type::String) {
            other.m_text = nullptr; // what is left is the empty string
        }
    }

    Type m_type = Type::Undefined;
    bool m_bool = false;
    union {
        double m_number = 0;
        Object* m_object;
        Text* m_text;
    };
};

// Number to text the way the player prints numbers (engine/swf/NumberText.h): 15 significant
// digits, exponent form for very large and very small magnitudes.
using flash::numberToString;
// Text to number for scripts of version 5 and later: surrounding white space allowed, from
// version 6 hex after a leading 0x and octal after a leading 0; anything else that is not a
// whole number is NaN. Version 4 and earlier read the longest leading number and give 0 when
// there is none.
double stringToNumber(std::string_view s, int version);
// A 0 followed by octal digits alone, maybe signed: such text reads as octal.
bool isOctalText(std::string_view s);
// The integer `s` starts with in `radix` (after blanks and a sign), as parseInt reads it; NaN
// when there are no digits.
double leadingInteger(std::string_view s, int radix);
// ECMA ToInt32 / ToUint32.
// Flash keeps each number it computes that is no integer in a box of its own and compares
// boxes before values, so a NaN equals a NaN from the same box (a variable read twice) and no
// other. Our NaNs carry the box they stand for as a mark in their payload.
double markedNaN(std::uint64_t box);
bool isMarkedNaN(double n);
bool sameNaNBox(double a, double b);

std::int32_t toInt32(double n);
std::uint32_t toUint32(double n);
// ECMA ToInteger as the player applies it (NaN is 0).
double toInteger(double n);
// A frame number computed by a script (1-based), as a goto takes it: below 1 is the first frame,
// anything past the 32-bit range the last one the timeline could have.
std::uint32_t toFrameNumber(double n);

// The object `v` is (the object a method was called on ...); null for anything else.
inline Object* selfObject(const Value& v) {
    return v.isObject() ? v.asObject() : nullptr;
}

// Argument i of a call; undefined past the last one given, as a script sees it.
inline Value arg(std::span<const Value> args, std::size_t i) {
    return i < args.size() ? args[i] : Value();
}

} // namespace kinovex::flash::avm1
