// flash.geom.ColorTransform: four multipliers and four offsets, kept inside the object where
// only its properties reach them.

#include "engine/avm1/builtins/Geom.h"

#include <array>

namespace kinovex::flash::avm1 {

namespace {

constexpr const char* kHostClass = "ColorTransform";
// The fields in the order the constructor takes them and toString shows them.
constexpr std::array<const char*, 8> kFields = {
    "redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
    "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};
constexpr std::size_t kRedOffset = 4;
constexpr std::size_t kGreenOffset = 5;
constexpr std::size_t kBlueOffset = 6;

// The fields of a ColorTransform; null for any other object.
std::vector<Value>* fieldsOf(const Value& v) {
    Object* o = selfObject(v);
    if (o == nullptr || o->hostClass() != kHostClass || !o->primitive().isObject()) {
        return nullptr;
    }
    return &o->primitive().asObject()->elements();
}

void setFields(Vm& vm, Object* o, std::vector<Value> fields) {
    o->setHostClass(kHostClass);
    o->primitive() = Value(vm.newArray(std::move(fields)));
}

// Fewer than eight arguments make the identity; eight or more are all taken as numbers. Movies
// before version 8 get an object with no fields, whose properties are all undefined.
Value construct(Vm& vm, const Value& self, Args args) {
    Object* o = selfObject(self);
    if (o == nullptr) {
        return {};
    }
    std::vector<Value> fields;
    if (args.size() < kFields.size()) {
        fields = {Value(1.0), Value(1.0), Value(1.0), Value(1.0),
                  Value(0.0), Value(0.0), Value(0.0), Value(0.0)};
    } else {
        for (std::size_t i = 0; i < kFields.size(); ++i) {
            fields.emplace_back(vm.toNumber(args[i]));
        }
    }
    if (vm.version() >= 8) {
        setFields(vm, o, std::move(fields));
    }
    return {};
}

double field(const std::vector<Value>& f, std::size_t i) {
    return f[i].asNumber();
}

// rgb: the colour offsets put together as whole numbers; negative ones spill into the bits
// above them.
Value rgb(Vm&, const Value& self, Args) {
    const std::vector<Value>* f = fieldsOf(self);
    if (f == nullptr) {
        return {};
    }
    const auto ch = [&](std::size_t i) {
        return static_cast<std::uint32_t>(toInt32(field(*f, i)));
    };
    const std::uint32_t bits = ch(kRedOffset) << 16 | ch(kGreenOffset) << 8 | ch(kBlueOffset);
    return Value(static_cast<double>(static_cast<std::int32_t>(bits)));
}

// Setting rgb makes the colour that one, whatever it was: no colour multipliers, the colour as
// offsets; alpha stays.
Value setRgb(Vm& vm, const Value& self, Args args) {
    std::vector<Value>* f = fieldsOf(self);
    if (f == nullptr) {
        return {};
    }
    const std::uint32_t c = toUint32(vm.toNumber(arg(args, 0)));
    (*f)[0] = (*f)[1] = (*f)[2] = Value(0.0);
    (*f)[kRedOffset] = Value(static_cast<double>(c >> 16 & 255));
    (*f)[kGreenOffset] = Value(static_cast<double>(c >> 8 & 255));
    (*f)[kBlueOffset] = Value(static_cast<double>(c & 255));
    return {};
}

// concat(second): second applies first, then this one.
Value concat(Vm&, const Value& self, Args args) {
    std::vector<Value>* f = fieldsOf(self);
    const std::vector<Value>* second = fieldsOf(arg(args, 0));
    if (f == nullptr || second == nullptr) {
        return {};
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const double mult = field(*f, i);
        (*f)[i + 4] = Value(field(*f, i + 4) + mult * field(*second, i + 4));
        (*f)[i] = Value(mult * field(*second, i));
    }
    return {};
}

// The properties as a script reads them, whatever object this is.
Value toString(Vm& vm, const Value& self, Args) {
    return fieldsText(vm, self, kFields);
}

} // namespace

Value newColorTransform(Vm& vm, const ColorTransform& cx) {
    const Value fields[] = {Value(cx.rMult), Value(cx.gMult), Value(cx.bMult), Value(cx.aMult),
                            Value(cx.rAdd),  Value(cx.gAdd),  Value(cx.bAdd),  Value(cx.aAdd)};
    return newGeom(vm, "ColorTransform", fields);
}

std::optional<ColorTransform> colorTransformOf(const Value& v) {
    const std::vector<Value>* f = fieldsOf(v);
    if (f == nullptr) {
        return std::nullopt;
    }
    return ColorTransform{field(*f, 0), field(*f, 1), field(*f, 2), field(*f, 3),
                          field(*f, 4), field(*f, 5), field(*f, 6), field(*f, 7)};
}

void installColorTransformClass(Vm& machine) {
    Object* proto = machine.newObject();
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        setGeomProperty(
            machine, proto, kFields[i],
            [i](Vm&, const Value& self, Args) {
                const std::vector<Value>* f = fieldsOf(self);
                return f != nullptr ? (*f)[i] : Value();
            },
            [i](Vm& vm, const Value& self, Args args) {
                Object* o = selfObject(self);
                if (vm.version() < 8 && o != nullptr && o->findOwn(kFields[i]) == nullptr) {
                    // Older movies write a member of their own, which hides the property.
                    o->define(kFields[i], arg(args, 0));
                } else if (std::vector<Value>* f = fieldsOf(self)) {
                    const double n = vm.toNumber(arg(args, 0));
                    // The conversion may have run a script that changed the object.
                    if ((f = fieldsOf(self)) != nullptr) {
                        (*f)[i] = Value(n);
                    }
                }
                return Value();
            });
    }
    setGeomProperty(machine, proto, "rgb", rgb, setRgb);
    machine.setFunction(proto, "concat", concat, 0);
    setGeomFunction(machine, proto, "toString", toString);
    defineGeomClass(machine, "ColorTransform", construct, proto);
}

} // namespace kinovex::flash::avm1
