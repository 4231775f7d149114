// Value conversions and comparisons, with the movie's version rules: to number, text, truth,
// primitive and object; typeof; the equality and order operators.

#include "engine/avm1/Vm.h"

#include <cmath>

namespace kinovex::flash::avm1 {

double Vm::toNumber(const Value& v) {
    switch (v.type()) {
    case Type::Undefined:
    case Type::Null:
        return m_version >= 7 ? std::nan("") : 0.0;
    case Type::Boolean:
        return v.asBool() ? 1 : 0;
    case Type::Number:
        return v.asNumber();
    case Type::String:
        return stringToNumber(v.asString(), m_version);
    case Type::Object: {
        Object* o = v.asObject();
        if (o->objectClass() == ObjectClass::Clip) {
            return std::nan("");
        }
        // Version 5 counts a function as 0 in arithmetic.
        if (m_version <= 5 && o->function()) {
            return 0;
        }
        const Value p = toPrimitive(v);
        return p.isObject() ? std::nan("") : toNumber(p);
    }
    }
    return std::nan("");
}

std::string Vm::toString(const Value& v) {
    switch (v.type()) {
    case Type::Undefined:
        return m_version >= 7 ? "undefined" : "";
    case Type::Null:
        return "null";
    case Type::Boolean:
        return v.asBool() ? "true" : "false";
    case Type::Number:
        return numberToString(v.asNumber());
    case Type::String:
        return v.asString();
    case Type::Object: {
        Object* o = v.asObject();
        if (isLeftClip(o)) {
            const ClipId now = referencedClip(o);
            return now != 0 ? targetPath(now) : std::string();
        }
        if (o->objectClass() == ObjectClass::Clip && o->clip() != 0) {
            return targetPath(o->clip());
        }
        // A text field is its target path too (up to version 5 its timeline's path).
        if (o->hostClass() == "TextField") {
            std::string path = m_host.fieldPath(o, m_version >= 6);
            if (!path.empty()) {
                return path;
            }
        }
        // A String object is its text, whatever its toString does.
        if (o->objectClass() == ObjectClass::String && o->primitive().isString()) {
            return o->primitive().asString();
        }
        if (o->hostClass() == "super") {
            return superToString(o);
        }
        // The object's toString must give text; anything else (an object, a number, no method
        // at all) prints as the kind of object it is.
        const Value text = callConversion(o, "toString");
        if (text.isString()) {
            return text.asString();
        }
        return o->function() ? "[type Function]" : "[type Object]";
    }
    }
    return {};
}

bool Vm::toBoolean(const Value& v) const {
    switch (v.type()) {
    case Type::Undefined:
    case Type::Null:
        return false;
    case Type::Boolean:
        return v.asBool();
    case Type::Number:
        return v.asNumber() != 0 && !std::isnan(v.asNumber());
    case Type::String: {
        if (m_version >= 7) {
            return !v.asString().empty();
        }
        const double n = stringToNumber(v.asString(), m_version);
        return n != 0 && !std::isnan(n);
    }
    case Type::Object:
        return true;
    }
    return false;
}

Value Vm::callConversion(Object* o, std::string_view name) {
    const Value self(o);
    const Value fn = getMember(o, name, self);
    // A conversion that would go past the recursion limit gives nothing rather than stopping
    // the script: a toString that converts its own object ends there.
    if (!fn.isObject() || !fn.asObject()->function() || !canNest()) {
        return Value();
    }
    return call(fn, self, {});
}

std::string Vm::superToString(Object* super) {
    const Value self = super->primitive();
    const Value fn = super->proto() ? getMember(super->proto(), "toString", self) : Value();
    const Value text = fn.isObject() && fn.asObject()->function() ? call(fn, self, {}) : Value();
    return text.isString() ? text.asString() : "[type Object]";
}

Value Vm::toPrimitive(const Value& v, bool adding) {
    if (!v.isObject() || v.asObject()->objectClass() == ObjectClass::Clip) {
        return v;
    }
    // One call: valueOf, or a Date's toString when adding from version 6. A method that gives an
    // object leaves the object itself; a clip it gives counts as a value of its own.
    Object* o = v.asObject();
    if (o->hostClass() == "super") { // its value is its `this`'s
        return toPrimitive(o->primitive(), adding);
    }
    const bool dateText = adding && o->objectClass() == ObjectClass::Date && m_version >= 6;
    const Value r = callConversion(o, dateText ? "toString" : "valueOf");
    if (r.isObject() && r.asObject()->objectClass() != ObjectClass::Clip) {
        return v;
    }
    return r;
}

Object* Vm::toObject(const Value& v) {
    switch (v.type()) {
    case Type::Undefined:
    case Type::Null:
        return nullptr;
    case Type::Object:
        return v.asObject();
    case Type::Boolean:
        return wrapperOf(v, ObjectClass::Boolean, m_booleanProto);
    case Type::Number:
        return wrapperOf(v, ObjectClass::Number, m_numberProto);
    case Type::String:
        return wrapperOf(v, ObjectClass::String, m_stringProto);
    }
    return nullptr;
}

// A primitive's wrapper is built as its class's constructor builds one: it names the constructor
// its prototype names, as new does.
Object* Vm::wrapperOf(const Value& v, ObjectClass cls, Object* proto) {
    Object* o = newObjectOfClass(cls, proto);
    o->primitive() = v;
    const Property* ctor = proto->findOwn("constructor");
    if (ctor != nullptr && ctor->value.isObject()) {
        o->define("__constructor__", ctor->value, kDontEnum | kFromVersion6);
        if (m_version < 7) {
            o->define("constructor", ctor->value, kDontEnum);
        }
    }
    return o;
}

std::string Vm::typeOf(const Value& v) {
    switch (v.type()) {
    case Type::Undefined:
        return "undefined";
    case Type::Null:
        return "null";
    case Type::Boolean:
        return "boolean";
    case Type::Number:
        return "number";
    case Type::String:
        return "string";
    case Type::Object:
        if (v.asObject()->objectClass() == ObjectClass::Clip &&
            !(v.asObject()->clip() != 0 && m_host.isButton(v.asObject()->clip()))) {
            return "movieclip";
        }
        return v.asObject()->function() ? "function" : "object";
    }
    return "undefined";
}

bool Vm::strictEquals(const Value& a, const Value& b) const {
    if (a.type() != b.type()) {
        return false;
    }
    switch (a.type()) {
    case Type::Undefined:
    case Type::Null:
        return true;
    case Type::Boolean:
        return a.asBool() == b.asBool();
    case Type::Number:
        return a.asNumber() == b.asNumber() || sameNaNBox(a.asNumber(), b.asNumber());
    case Type::String:
        return a.asString() == b.asString();
    case Type::Object:
        return sameObject(a.asObject(), b.asObject());
    }
    return false;
}

namespace {

bool isPlainObject(const Value& v) {
    return v.isObject() && v.asObject()->objectClass() != ObjectClass::Clip;
}

// == on two values that are not objects.
bool primitiveEquals(Vm& vm, const Value& a, const Value& b) {
    if (a.type() == b.type()) {
        return vm.strictEquals(a, b);
    }
    if (a.isNullish() || b.isNullish()) {
        return a.isNullish() && b.isNullish();
    }
    if (a.isBool()) {
        return primitiveEquals(vm, Value(a.asBool() ? 1.0 : 0.0), b);
    }
    if (b.isBool()) {
        return primitiveEquals(vm, a, Value(b.asBool() ? 1.0 : 0.0));
    }
    return vm.toNumber(a) == vm.toNumber(b);
}

} // namespace

bool Vm::abstractEquals(const Value& a, const Value& b) {
    // From version 6 two objects are equal when they are the same one; neither is asked. A
    // clip does not count here: an object compared with one still gives its value.
    if (m_version >= 6 && a.isObject() && b.isObject() &&
        (sameObject(a.asObject(), b.asObject()) || (isPlainObject(a) && isPlainObject(b)))) {
        return sameObject(a.asObject(), b.asObject());
    }
    // Objects other than clips give their values first, the right one before the left; undefined
    // from a valueOf then equals null and undefined.
    const Value r = isPlainObject(b) ? toPrimitive(b) : b;
    const Value l = isPlainObject(a) ? toPrimitive(a) : a;
    if (l.isObject() && r.isObject()) {
        return sameObject(l.asObject(), r.asObject());
    }
    if (l.isObject() || r.isObject()) {
        // Version 5 then compares numbers, which asks the object's valueOf once more.
        return m_version < 6 && toNumber(l) == toNumber(r);
    }
    return primitiveEquals(*this, l, r);
}

Value Vm::lessThan(const Value& a, const Value& b) {
    // An object that stays an object (its valueOf gave one back) is less than nothing, and
    // nothing is less than it: false, not undefined, without converting the other side when
    // it is the first, and without asking its valueOf again.
    const auto staysObject = [](const Value& v) {
        return v.isObject() && v.asObject()->objectClass() != ObjectClass::Clip;
    };
    const Value pa = toPrimitive(a);
    if (staysObject(pa)) {
        return Value(false);
    }
    const Value pb = toPrimitive(b);
    if (staysObject(pb)) {
        return Value(false);
    }
    if (pa.isString() && pb.isString()) {
        // The empty string orders after every other one here (not in StringLess).
        const std::string& x = pa.asString();
        const std::string& y = pb.asString();
        return Value(y.empty() ? !x.empty() : !x.empty() && x < y);
    }
    const double x = toNumber(pa);
    const double y = toNumber(pb);
    if (std::isnan(x) || std::isnan(y)) {
        return Value();
    }
    return Value(x < y);
}

} // namespace kinovex::flash::avm1
