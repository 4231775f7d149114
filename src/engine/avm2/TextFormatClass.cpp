// flash.text.TextFormat: a bag of text settings, each null until set. Each setting keeps the
// kind of value it is (text, whole number, colour, switch), converted as the player converts it;
// and flash.text.TextFormatAlign, the names of the alignments.

#include "engine/avm2/DisplayNatives.h"
#include "engine/avm2/NativeVariables.h"

#include <cfenv>
#include <cmath>
#include <utility>

namespace kinovex::flash::display_natives {

namespace {

enum class Kind { Text, Whole, Color, Switch, Number, Stops };

struct Setting {
    const char* name;
    Kind kind;
};

// In the constructor's order first.
constexpr Setting kSettings[] = {
    {"font", Kind::Text},        {"size", Kind::Whole},           {"color", Kind::Color},
    {"bold", Kind::Switch},      {"italic", Kind::Switch},        {"underline", Kind::Switch},
    {"url", Kind::Text},         {"target", Kind::Text},          {"align", Kind::Text},
    {"leftMargin", Kind::Whole}, {"rightMargin", Kind::Whole},    {"indent", Kind::Whole},
    {"leading", Kind::Whole},    {"blockIndent", Kind::Whole},    {"bullet", Kind::Switch},
    {"kerning", Kind::Switch},   {"letterSpacing", Kind::Number}, {"tabStops", Kind::Stops},
    {"display", Kind::Text}};
constexpr std::size_t kConstructorArgs = 13;

// Whole numbers round half to even; what is not a number or lies outside the 32-bit range
// becomes the smallest one.
Value wholeOf(double n) {
    if (!std::isfinite(n) || n < -2147483648.5 || n > 2147483647.5) {
        return Value::integer(INT32_MIN);
    }
    const double r = std::nearbyint(n);
    return r > 2147483647.0 ? Value::integer(INT32_MIN) : Value::integer(static_cast<int>(r));
}

Value converted(Machine& vm, Kind kind, const Value& v) {
    if (v.isNullish()) {
        return Value::null();
    }
    switch (kind) {
    case Kind::Text:
        return vm.str(vm.toString(v));
    case Kind::Whole:
        return wholeOf(vm.toNumber(v));
    case Kind::Color:
        return Value::integer(vm.toInt(v));
    case Kind::Switch:
        return Value::boolean(Machine::toBoolean(v));
    case Kind::Number:
        return Value::number(vm.toNumber(v));
    case Kind::Stops: {
        std::vector<Value> stops;
        const std::uint32_t n = vm.toUint(vm.get(v, "length"));
        for (std::uint32_t i = 0; i < n; ++i) {
            stops.push_back(wholeOf(vm.toNumber(vm.get(v, std::to_string(i)))));
        }
        return Value::obj(vm.newArray(std::move(stops)));
    }
    }
    return Value::null();
}

template <std::size_t i> Value tfGet(Machine& vm, Value s, Args) {
    const Value v = hidden(self(vm, s), kSettings[i].name);
    return v.isUndefined() ? Value::null() : v;
}
template <std::size_t i> Value tfSet(Machine& vm, Value s, Args args) {
    setHidden(self(vm, s), kSettings[i].name, converted(vm, kSettings[i].kind, avm2::arg(args, 0)));
    return Value();
}

Value tfInit(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    for (std::size_t i = 0; i < kConstructorArgs; ++i) {
        setHidden(o, kSettings[i].name, converted(vm, kSettings[i].kind, avm2::arg(args, i)));
    }
    return Value();
}

template <std::size_t... i>
void defineSettings(Machine& m, ClassInfo* cls, std::index_sequence<i...>) {
    (m.defineGetter(cls, kSettings[i].name, tfGet<i>, tfSet<i>), ...);
}

} // namespace

void installTextFormatClass(Machine& m) {
    ClassInfo* format = m.defineNativeClass("flash.text", "TextFormat", m.objectClass);
    format->nativeInit = tfInit;
    defineSettings(m, format, std::make_index_sequence<std::size(kSettings)>{});

    avm2::defineStringConstants(m, "flash.text", "TextFormatAlign",
                                {{"LEFT", "left"},
                                 {"RIGHT", "right"},
                                 {"CENTER", "center"},
                                 {"JUSTIFY", "justify"},
                                 {"START", "start"},
                                 {"END", "end"}});
    avm2::defineStringConstants(m, "flash.text", "TextFieldType",
                                {{"DYNAMIC", "dynamic"}, {"INPUT", "input"}});
    avm2::defineStringConstants(
        m, "flash.text", "TextFieldAutoSize",
        {{"NONE", "none"}, {"LEFT", "left"}, {"CENTER", "center"}, {"RIGHT", "right"}});
    avm2::defineStringConstants(m, "flash.text", "AntiAliasType",
                                {{"NORMAL", "normal"}, {"ADVANCED", "advanced"}});
    avm2::defineStringConstants(m, "flash.text", "GridFitType",
                                {{"NONE", "none"}, {"PIXEL", "pixel"}, {"SUBPIXEL", "subpixel"}});
}

} // namespace kinovex::flash::display_natives
