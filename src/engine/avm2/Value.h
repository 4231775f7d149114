#pragma once
// An ActionScript 3 value: small and copied freely. Strings and objects live in the machine's
// heap (Heap.h) and are held by plain pointers; the heap frees them once nothing reaches them.

#include <cmath>
#include <cstdint>
#include <string>

namespace kinovex::flash::avm2 {

struct Object;
struct String;

enum class Kind : std::uint8_t { Undefined, Null, Boolean, Int, Number, String, Object };

struct Value {
    Kind kind = Kind::Undefined;
    union {
        bool b;
        std::int32_t i;
        double d;
        String* s;
        Object* o;
    };

    Value() : d(0) {}
    static Value null() {
        Value v;
        v.kind = Kind::Null;
        return v;
    }
    static Value boolean(bool x) {
        Value v;
        v.kind = Kind::Boolean;
        v.b = x;
        return v;
    }
    static Value integer(std::int32_t x) {
        Value v;
        v.kind = Kind::Int;
        v.i = x;
        return v;
    }
    // A number kept as an int when it is one exactly (and not -0).
    static Value number(double x) {
        Value v;
        if (x >= -2147483648.0 && x <= 2147483647.0 &&
            static_cast<double>(static_cast<std::int32_t>(x)) == x &&
            !(x == 0 && std::signbit(x))) {
            v.kind = Kind::Int;
            v.i = static_cast<std::int32_t>(x);
        } else {
            v.kind = Kind::Number;
            v.d = x;
        }
        return v;
    }
    static Value str(String* x) {
        Value v;
        v.kind = Kind::String;
        v.s = x;
        return v;
    }
    static Value obj(Object* x) {
        Value v;
        if (x == nullptr) {
            v.kind = Kind::Null;
        } else {
            v.kind = Kind::Object;
            v.o = x;
        }
        return v;
    }

    // An array element never set: reads as undefined, but lets the prototype chain answer
    // and is left out of enumeration.
    static Value hole() {
        Value v;
        v.i = 1;
        return v;
    }
    bool isHole() const { return kind == Kind::Undefined && i == 1; }

    bool isUndefined() const { return kind == Kind::Undefined; }
    bool isNull() const { return kind == Kind::Null; }
    bool isNullish() const { return kind == Kind::Undefined || kind == Kind::Null; }
    bool isNumeric() const { return kind == Kind::Int || kind == Kind::Number; }
    bool isString() const { return kind == Kind::String; }
    bool isObject() const { return kind == Kind::Object; }
    double num() const { return kind == Kind::Int ? i : d; }
};

} // namespace kinovex::flash::avm2
