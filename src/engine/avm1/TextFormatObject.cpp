#include "engine/avm1/TextFormatObject.h"

#include "engine/avm1/HostObjects.h"
#include "engine/avm1/Object.h"
#include "engine/avm1/builtins/Builtins.h"
#include "engine/swf/AsciiCase.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kinovex::flash {

using avm1::Args;
using avm1::Object;
using avm1::Value;

namespace {

// How a member converts what is written to it. Lengths are whole numbers: margins are never
// negative, indents may be from version 8 on, sizes always may.
enum class MemberKind {
    Text,
    Flag,
    Margin,
    Indent,
    Size,
    Color,
    Align,
    Display,
    TabStops,
    Spacing
};

struct MemberDef {
    const char* name;
    MemberKind kind;
    bool fromVersion8 = false;
};

// In the order the player lists them.
constexpr MemberDef kMembers[] = {
    {"align", MemberKind::Align},
    {"blockIndent", MemberKind::Indent},
    {"bold", MemberKind::Flag},
    {"bullet", MemberKind::Flag},
    {"color", MemberKind::Color},
    {"display", MemberKind::Display},
    {"font", MemberKind::Text},
    {"indent", MemberKind::Indent},
    {"italic", MemberKind::Flag},
    {"kerning", MemberKind::Flag, true},
    {"leading", MemberKind::Indent},
    {"leftMargin", MemberKind::Margin},
    {"letterSpacing", MemberKind::Spacing, true},
    {"rightMargin", MemberKind::Margin},
    {"size", MemberKind::Size},
    {"tabStops", MemberKind::TabStops},
    {"target", MemberKind::Text},
    {"underline", MemberKind::Flag},
    {"url", MemberKind::Text},
};
constexpr std::size_t kMemberCount = std::size(kMembers);

// The members of one TextFormat: null where not set. The tab stops are a list of their own,
// given out as a new array at each read.
struct FormatValues final : avm1::HostData {
    std::array<Value, kMemberCount> values;
    std::optional<std::vector<double>> tabStops;
    FormatValues() {
        values.fill(Value::null());
        values[5] = Value("block");
    }
    void references(std::vector<Object*>&) const override {}
};

FormatValues* valuesOf(const Value& self) {
    const Object* o = avm1::selfObject(self);
    return o != nullptr ? dynamic_cast<FormatValues*>(o->hostData()) : nullptr;
}

std::optional<std::size_t> memberIndex(std::string_view name) {
    for (std::size_t i = 0; i < kMemberCount; ++i) {
        if (name == kMembers[i].name) {
            return i;
        }
    }
    return std::nullopt;
}

// Whatever the member, the player reads a value written to it as a number twice and then as
// text: an object sees valueOf twice, then toString. Colours take the first number, letter
// spacing the second, lengths the first before version 8 and the second from 8 on.
struct Converted {
    double first;
    double second;
    std::string text;
};

Converted convert(avm1::Vm& vm, const Value& v) {
    const double first = vm.toNumber(v);
    const double second = vm.toNumber(v);
    return {first, second, vm.toString(v)};
}

// A length as a whole number. Before version 8 it wraps as a 32-bit integer; from 8 on, one
// above the 32-bit range (Infinity too) becomes the smallest integer, even where negative
// lengths are not taken, and NaN counts as -Infinity. Other negative lengths, where not
// taken, become 0.
double wholeNumber(int version, const Converted& c, bool negative) {
    const double n = version < 8 ? c.first : c.second;
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    if (version >= 8 && n > kMax) {
        return kMin;
    }
    const double whole = version < 8     ? avm1::toInt32(n)
                         : std::isnan(n) ? kMin
                                         : std::max(std::trunc(n), kMin);
    return !negative && whole < 0 ? 0 : whole;
}

// tabStops takes an array (its items as lengths), a text (as many stops as characters, an
// empty text unsets it); anything else empties a list that is set. An empty array leaves
// an unset list unset.
void setTabStops(avm1::Vm& vm, FormatValues& f, const Value& v) {
    convert(vm, v);
    const int version = vm.version();
    if (v.isUndefined() || v.isNull() || (v.isString() && v.asString().empty())) {
        f.tabStops.reset();
    } else if (v.isObject() && v.asObject()->objectClass() == avm1::ObjectClass::Array) {
        const std::vector<Value> items = v.asObject()->elements();
        if (!f.tabStops && items.empty()) {
            return;
        }
        std::vector<double> stops;
        for (const Value& item : items) {
            stops.push_back(wholeNumber(version, convert(vm, item), true));
        }
        f.tabStops = std::move(stops);
    } else if (v.isString()) {
        const double stop = version >= 8 ? std::numeric_limits<std::int32_t>::min() : 0;
        f.tabStops = std::vector<double>(v.asString().size(), stop);
    } else if (f.tabStops) {
        f.tabStops->clear();
    }
}

// The member's name among `names` whatever the case of `text`, if it is one.
std::optional<const char*> nameAmong(const std::string& text,
                                     std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (equalsIgnoringAsciiCase(text, name)) {
            return name;
        }
    }
    return std::nullopt;
}

void setMember(avm1::Vm& vm, FormatValues& f, std::size_t i, const Value& v) {
    const MemberKind kind = kMembers[i].kind;
    if (kind == MemberKind::TabStops) {
        setTabStops(vm, f, v);
        return;
    }
    const Converted c = convert(vm, v);
    Value& slot = f.values[i];
    if (kind == MemberKind::Align) {
        // Anything but an alignment's name leaves it as it was.
        if (auto name = nameAmong(c.text, {"left", "right", "center", "justify"})) {
            slot = Value(*name);
        }
        return;
    }
    if (kind == MemberKind::Display) {
        // Read as text once more; anything but none and inline is block.
        slot = Value(nameAmong(vm.toString(v), {"none", "inline"}).value_or("block"));
        return;
    }
    if (v.isUndefined() || v.isNull()) {
        slot = Value::null();
        return;
    }
    const int version = vm.version();
    switch (kind) {
    case MemberKind::Text:
        slot = Value(c.text);
        break;
    case MemberKind::Flag:
        slot = Value(vm.toBoolean(v));
        break;
    case MemberKind::Color:
        slot = Value(static_cast<double>(avm1::toUint32(c.first)));
        break;
    case MemberKind::Spacing:
        slot = Value(c.second);
        break;
    case MemberKind::Margin:
    case MemberKind::Indent:
    case MemberKind::Size:
        slot = Value(wholeNumber(
            version, c, kind == MemberKind::Size || (kind == MemberKind::Indent && version >= 8)));
        break;
    default:
        break;
    }
}

Value getMember(avm1::Vm& vm, const FormatValues& f, std::size_t i) {
    if (kMembers[i].kind != MemberKind::TabStops) {
        return f.values[i];
    }
    if (!f.tabStops) {
        return Value::null();
    }
    return Value(vm.newArray(std::vector<Value>(f.tabStops->begin(), f.tabStops->end())));
}

// The getter and setter pairs go on `proto` unless it has them; on anything that is no
// TextFormat they read undefined and ignore what is written.
void installMembers(avm1::Vm& vm, Object* proto) {
    if (proto == nullptr || proto->findOwn(kMembers[0].name) != nullptr) {
        return;
    }
    for (std::size_t i = 0; i < kMemberCount; ++i) {
        if (kMembers[i].fromVersion8 && vm.version() < 8) {
            continue;
        }
        avm1::Property& p = proto->define(kMembers[i].name, Value(), 0);
        p.getter = vm.newFunction([i](avm1::Vm& v, const Value& self, Args) {
            const FormatValues* f = valuesOf(self);
            return f != nullptr ? getMember(v, *f, i) : Value();
        });
        p.setter = vm.newFunction([i](avm1::Vm& v, const Value& self, Args args) {
            if (FormatValues* f = valuesOf(self); f != nullptr && !args.empty()) {
                setMember(v, *f, i, args[0]);
            }
            return Value();
        });
    }
}

// Each TextFormat has getTextExtent as a member of its own. Laying text out for it is not
// done yet: it answers undefined.
void makeFormat(avm1::Vm& vm, Object* self) {
    installMembers(vm, self->proto());
    self->setHostClass("TextFormat");
    self->setHostData(std::make_unique<FormatValues>());
    self->define(
        "getTextExtent",
        Value(avm1::newBareFunction(vm, [](avm1::Vm&, const Value&, Args) { return Value(); })), 0);
}

void initTextFormat(avm1::Vm& vm, Object* self, Args args) {
    static constexpr const char* kArgs[] = {
        "font",   "size",  "color",      "bold",        "italic", "underline", "url",
        "target", "align", "leftMargin", "rightMargin", "indent", "leading"};
    makeFormat(vm, self);
    for (std::size_t i = 0; i < std::min(args.size(), std::size(kArgs)); ++i) {
        setFormatMember(vm, self, kArgs[i], args[i]);
    }
}

} // namespace

void defineTextFormatClass(avm1::Vm& vm) {
    avm1::defineHostClass(vm, "TextFormat", initTextFormat);
}

Object* newTextFormat(avm1::Vm& vm) {
    Object* o = vm.newObject(avm1::currentPrototype(vm, "TextFormat"));
    makeFormat(vm, o);
    return o;
}

void setFormatMember(avm1::Vm& vm, Object* format, std::string_view name, const Value& v) {
    FormatValues* f = valuesOf(Value(format));
    if (const auto i = memberIndex(name); f != nullptr && i) {
        setMember(vm, *f, *i, v);
    }
}

void clearTabStops(Object* format) {
    if (FormatValues* f = valuesOf(Value(format))) {
        f->tabStops.emplace();
    }
}

} // namespace kinovex::flash
