// flash.filters: BitmapFilter and its filter classes, and DisplayObject's
// filters. A placed object's filters are its placement's, so what a script sets is drawn; the
// filters a script reads are copies.

#include "engine/avm2/DisplayNatives.h"

#include "engine/display/Timeline.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kinovex::flash::display_natives {

namespace {

// How a setting keeps what a script gives it.
enum class Keep { Blur, Quality, Unit, Strength, Color, Switch, Number, List, Kind, Matrix };

struct Setting {
    const char* name;
    Keep keep;
    double byDefault; // a List is null, a Kind "inner", a Matrix the identity, by default
};

struct FilterClass {
    const char* name;
    Filter::Type type;
    std::vector<Setting> settings; // in the constructor's order
};

const FilterClass kClasses[] = {
    {"BlurFilter",
     Filter::Type::Blur,
     {{"blurX", Keep::Blur, 4}, {"blurY", Keep::Blur, 4}, {"quality", Keep::Quality, 1}}},
    {"GlowFilter",
     Filter::Type::Glow,
     {{"color", Keep::Color, 0xFF0000},
      {"alpha", Keep::Unit, 1},
      {"blurX", Keep::Blur, 6},
      {"blurY", Keep::Blur, 6},
      {"strength", Keep::Strength, 2},
      {"quality", Keep::Quality, 1},
      {"inner", Keep::Switch, 0},
      {"knockout", Keep::Switch, 0}}},
    {"DropShadowFilter",
     Filter::Type::DropShadow,
     {{"distance", Keep::Number, 4},
      {"angle", Keep::Number, 45},
      {"color", Keep::Color, 0},
      {"alpha", Keep::Unit, 1},
      {"blurX", Keep::Blur, 4},
      {"blurY", Keep::Blur, 4},
      {"strength", Keep::Strength, 1},
      {"quality", Keep::Quality, 1},
      {"inner", Keep::Switch, 0},
      {"knockout", Keep::Switch, 0},
      {"hideObject", Keep::Switch, 0}}},
    {"GradientGlowFilter",
     Filter::Type::GradientGlow,
     {{"distance", Keep::Number, 4},
      {"angle", Keep::Number, 45},
      {"colors", Keep::List, 0},
      {"alphas", Keep::List, 0},
      {"ratios", Keep::List, 0},
      {"blurX", Keep::Blur, 4},
      {"blurY", Keep::Blur, 4},
      {"strength", Keep::Strength, 1},
      {"quality", Keep::Quality, 1},
      {"type", Keep::Kind, 0},
      {"knockout", Keep::Switch, 0}}},
    {"ConvolutionFilter",
     Filter::Type::Convolution,
     {{"matrixX", Keep::Number, 0},
      {"matrixY", Keep::Number, 0},
      {"matrix", Keep::List, 0},
      {"divisor", Keep::Number, 1},
      {"bias", Keep::Number, 0},
      {"preserveAlpha", Keep::Switch, 1},
      {"clamp", Keep::Switch, 1},
      {"color", Keep::Color, 0},
      {"alpha", Keep::Unit, 0}}},
    {"ColorMatrixFilter", Filter::Type::ColorMatrix, {{"matrix", Keep::Matrix, 0}}},
    {"BevelFilter",
     Filter::Type::Bevel,
     {{"distance", Keep::Number, 4},
      {"angle", Keep::Number, 45},
      {"highlightColor", Keep::Color, 0xFFFFFF},
      {"highlightAlpha", Keep::Unit, 1},
      {"shadowColor", Keep::Color, 0},
      {"shadowAlpha", Keep::Unit, 1},
      {"blurX", Keep::Blur, 4},
      {"blurY", Keep::Blur, 4},
      {"strength", Keep::Strength, 1},
      {"quality", Keep::Quality, 1},
      {"type", Keep::Kind, 0},
      {"knockout", Keep::Switch, 0}}},
};

// A colour matrix has 20 numbers: missing ones are 0, more are cut; none is the identity.
constexpr std::size_t kColorMatrixSize = 20;

Value colorMatrix(Machine& vm, const Value& v) {
    std::vector<Value> items(kColorMatrixSize, Value::number(0));
    if (v.isNullish()) {
        for (std::size_t i = 0; i < kColorMatrixSize; i += 6) {
            items[i] = Value::number(1);
        }
        return Value::obj(vm.newArray(std::move(items)));
    }
    const std::uint32_t n =
        std::min<std::uint32_t>(vm.toUint(vm.get(v, "length")), kColorMatrixSize);
    for (std::uint32_t i = 0; i < n; ++i) {
        items[i] = Value::number(vm.toNumber(vm.get(v, std::to_string(i))));
    }
    return Value::obj(vm.newArray(std::move(items)));
}

// A gradient filter's type: where it draws.
constexpr const char* kInner = "inner";

Value kept(Machine& vm, Keep keep, const Value& v) {
    switch (keep) {
    case Keep::Blur:
        return Value::number(std::clamp(vm.toNumber(v), 0.0, 255.0));
    case Keep::Quality:
        return Value::integer(std::clamp(vm.toInt(v), 0, 15));
    case Keep::Unit:
        return Value::number(std::clamp(vm.toNumber(v), 0.0, 1.0));
    case Keep::Strength:
        return Value::number(std::clamp(vm.toNumber(v), 0.0, 255.0));
    case Keep::Color:
        return Value::number(vm.toUint(v) & 0xFFFFFF);
    case Keep::Switch:
        return Value::boolean(Machine::toBoolean(v));
    case Keep::Number:
        return Value::number(vm.toNumber(v));
    case Keep::List: {
        if (v.isNullish()) {
            return Value::null();
        }
        std::vector<Value> items;
        const std::uint32_t n = vm.toUint(vm.get(v, "length"));
        for (std::uint32_t i = 0; i < n; ++i) {
            items.push_back(vm.get(v, std::to_string(i)));
        }
        return Value::obj(vm.newArray(std::move(items)));
    }
    case Keep::Kind:
        return vm.str(v.isNullish() ? kInner : vm.toString(v));
    case Keep::Matrix:
        return colorMatrix(vm, v);
    }
    return v;
}

const FilterClass& classOf(Machine& vm, Object* o) {
    for (const ClassInfo* c = o->cls; c != nullptr; c = c->super) {
        for (const FilterClass& fc : kClasses) {
            if (c->file == nullptr && c->name == fc.name) {
                return fc;
            }
        }
    }
    vm.throwError("ArgumentError", 2012, "BitmapFilter$ class cannot be instantiated.");
}

template <std::size_t cls> Value filterInit(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    const auto& settings = kClasses[cls].settings;
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const bool gone = i >= args.size() || args[i].isUndefined();
        const Keep keep = settings[i].keep;
        const Value given = !gone                                        ? args[i]
                            : keep == Keep::List || keep == Keep::Matrix ? Value::null()
                            : keep == Keep::Kind                         ? vm.str(kInner)
                                                 : Value::number(settings[i].byDefault);
        setHidden(o, settings[i].name, kept(vm, settings[i].keep, given));
    }
    return Value();
}

template <std::size_t cls, std::size_t i> Value filterGet(Machine& vm, Value s, Args) {
    return hidden(self(vm, s), kClasses[cls].settings[i].name);
}
template <std::size_t cls, std::size_t i> Value filterSet(Machine& vm, Value s, Args args) {
    const Setting& setting = kClasses[cls].settings[i];
    setHidden(self(vm, s), setting.name, kept(vm, setting.keep, avm2::arg(args, 0)));
    return Value();
}

Value filterClone(Machine& vm, Value s, Args) {
    Object* o = self(vm, s);
    const FilterClass& fc = classOf(vm, o);
    std::vector<Value> a;
    for (const Setting& setting : fc.settings) {
        a.push_back(hidden(o, setting.name));
    }
    return Value::obj(vm.constructClass(vm.builtin(std::string("flash.filters.") + fc.name),
                                        Args(a.data(), a.size())));
}

template <std::size_t cls, std::size_t... i>
void defineSettings(Machine& m, ClassInfo* c, std::index_sequence<i...>) {
    (m.defineGetter(c, kClasses[cls].settings[i].name, filterGet<cls, i>, filterSet<cls, i>), ...);
}
template <std::size_t cls, std::size_t count> void installFilter(Machine& m, ClassInfo* base) {
    ClassInfo* c = m.defineNativeClass("flash.filters", kClasses[cls].name, base);
    c->nativeInit = filterInit<cls>;
    defineSettings<cls>(m, c, std::make_index_sequence<count>{});
}

double number(Machine& vm, Object* o, const char* name) {
    return vm.toNumber(hidden(o, name));
}
Rgba colorOf(Machine& vm, Object* o, const char* color = "color", const char* alpha = "alpha") {
    const std::uint32_t c = vm.toUint(hidden(o, color));
    return Rgba{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                static_cast<std::uint8_t>(c),
                static_cast<std::uint8_t>(std::lround(number(vm, o, alpha) * 255))};
}

// Where a bevel or gradient filter draws: inside, outside or both.
void kindInto(Machine& vm, Object* o, Filter& f) {
    const std::string type = vm.toString(hidden(o, "type"));
    f.inner = type == kInner;
    f.onTop = type == "full";
}

// A gradient filter's stops (as many as its shortest list has) and where it draws.
void gradientInto(Machine& vm, Object* o, Filter& f) {
    const Value lists[3] = {hidden(o, "colors"), hidden(o, "alphas"), hidden(o, "ratios")};
    std::size_t n = SIZE_MAX;
    for (const Value& l : lists) {
        n = std::min(n, l.isObject() ? l.o->elems.size() : 0);
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t c = vm.toUint(lists[0].o->elems[i]);
        const double alpha = std::clamp(vm.toNumber(lists[1].o->elems[i]), 0.0, 1.0);
        GradientStop stop;
        stop.color =
            Rgba{static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                 static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(std::lround(alpha * 255))};
        stop.ratio = static_cast<std::uint8_t>(std::clamp(vm.toInt(lists[2].o->elems[i]), 0, 255));
        f.gradient.push_back(stop);
    }
    kindInto(vm, o, f);
}

double rgbOf(Rgba c) {
    return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

Value kindOf(Machine& vm, const Filter& f) {
    return vm.str(f.onTop ? "full" : f.inner ? kInner : "outer");
}

std::vector<Value> bevelArgs(Machine& vm, const Filter& f) {
    return {Value::number(f.distance),
            Value::number(f.angle * 180 / std::numbers::pi),
            Value::number(rgbOf(f.highlight)),
            Value::number(f.highlight.a / 255.0),
            Value::number(rgbOf(f.color)),
            Value::number(f.color.a / 255.0),
            Value::number(f.blurX),
            Value::number(f.blurY),
            Value::number(f.strength),
            Value::integer(f.passes),
            kindOf(vm, f),
            Value::boolean(f.knockout)};
}

std::vector<Value> colorMatrixArgs(Machine& vm, const Filter& f) {
    std::vector<Value> matrix;
    for (float v : f.matrix) {
        matrix.push_back(Value::number(v));
    }
    return {Value::obj(vm.newArray(std::move(matrix)))};
}

} // namespace

Value scriptFilter(Machine& vm, const Filter& f) {
    const double rgb = rgbOf(f.color);
    const Value alpha = Value::number(f.color.a / 255.0);
    const Value blurX = Value::number(f.blurX), blurY = Value::number(f.blurY);
    const Value strength = Value::number(f.strength), passes = Value::integer(f.passes);
    std::vector<Value> a;
    std::size_t cls = 0;
    switch (f.type) {
    case Filter::Type::Blur:
        a = {blurX, blurY, passes};
        break;
    case Filter::Type::Glow:
        cls = 1;
        a = {Value::number(rgb),
             alpha,
             blurX,
             blurY,
             strength,
             passes,
             Value::boolean(f.inner),
             Value::boolean(f.knockout)};
        break;
    case Filter::Type::GradientGlow: {
        cls = 3;
        std::vector<Value> colors, alphas, ratios;
        for (const GradientStop& stop : f.gradient) {
            colors.push_back(Value::number((std::uint32_t{stop.color.r} << 16) |
                                           (std::uint32_t{stop.color.g} << 8) | stop.color.b));
            alphas.push_back(Value::number(stop.color.a / 255.0));
            ratios.push_back(Value::integer(stop.ratio));
        }
        a = {Value::number(f.distance),
             Value::number(f.angle * 180 / std::numbers::pi),
             Value::obj(vm.newArray(std::move(colors))),
             Value::obj(vm.newArray(std::move(alphas))),
             Value::obj(vm.newArray(std::move(ratios))),
             blurX,
             blurY,
             strength,
             passes,
             kindOf(vm, f),
             Value::boolean(f.knockout)};
        break;
    }
    case Filter::Type::Convolution: {
        cls = 4;
        std::vector<Value> matrix;
        for (float v : f.matrix) {
            matrix.push_back(Value::number(v));
        }
        a = {Value::integer(f.matrixX),
             Value::integer(f.matrixY),
             Value::obj(vm.newArray(std::move(matrix))),
             Value::number(f.divisor),
             Value::number(f.bias),
             Value::boolean(f.preserveAlpha),
             Value::boolean(f.clamp),
             Value::number(rgb),
             alpha};
        break;
    }
    case Filter::Type::ColorMatrix:
        cls = 5;
        a = colorMatrixArgs(vm, f);
        break;
    case Filter::Type::Bevel:
        cls = 6;
        a = bevelArgs(vm, f);
        break;
    case Filter::Type::DropShadow:
        cls = 2;
        a = {Value::number(f.distance),
             Value::number(f.angle * 180 / std::numbers::pi),
             Value::number(rgb),
             alpha,
             blurX,
             blurY,
             strength,
             passes,
             Value::boolean(f.inner),
             Value::boolean(f.knockout),
             Value::boolean(!f.compositeSource)};
        break;
    default:
        return Value::null();
    }
    return Value::obj(vm.constructClass(
        vm.builtin(std::string("flash.filters.") + kClasses[cls].name), Args(a.data(), a.size())));
}

namespace {

// A convolution's kernel, as many values as its size, missing ones 0; its numbers in single
// precision, as the player keeps them.
Filter convolutionOf(Machine& vm, Object* o) {
    Filter f;
    f.type = Filter::Type::Convolution;
    f.matrixX = std::clamp(vm.toInt(hidden(o, "matrixX")), 0, 15);
    f.matrixY = std::clamp(vm.toInt(hidden(o, "matrixY")), 0, 15);
    const Value list = hidden(o, "matrix");
    for (std::size_t i = 0; i < static_cast<std::size_t>(f.matrixX * f.matrixY); ++i) {
        const bool given = list.isObject() && i < list.o->elems.size();
        f.matrix.push_back(given ? static_cast<float>(vm.toNumber(list.o->elems[i])) : 0.0f);
    }
    f.divisor = static_cast<float>(number(vm, o, "divisor"));
    f.bias = static_cast<float>(number(vm, o, "bias"));
    f.preserveAlpha = Machine::toBoolean(hidden(o, "preserveAlpha"));
    f.clamp = Machine::toBoolean(hidden(o, "clamp"));
    f.color = colorOf(vm, o);
    return f;
}

} // namespace

std::optional<Filter> displayFilter(Machine& vm, Object* o) {
    Filter f;
    f.type = classOf(vm, o).type;
    if (f.type == Filter::Type::Convolution) {
        return convolutionOf(vm, o);
    }
    if (f.type == Filter::Type::ColorMatrix) {
        const Value list = hidden(o, "matrix");
        for (std::size_t i = 0; list.isObject() && i < list.o->elems.size(); ++i) {
            f.matrix.push_back(static_cast<float>(vm.toNumber(list.o->elems[i])));
        }
        return f;
    }
    f.blurX = number(vm, o, "blurX");
    f.blurY = number(vm, o, "blurY");
    f.passes = vm.toInt(hidden(o, "quality"));
    if (f.type == Filter::Type::Glow || f.type == Filter::Type::DropShadow) {
        f.color = colorOf(vm, o);
        f.inner = Machine::toBoolean(hidden(o, "inner"));
    }
    if (f.type != Filter::Type::Blur) {
        // The object keeps its strength in 8.8 fixed point, as the file format does.
        f.strength = std::floor(number(vm, o, "strength") * 256) / 256;
        f.knockout = Machine::toBoolean(hidden(o, "knockout"));
    }
    if (f.type == Filter::Type::GradientGlow) {
        gradientInto(vm, o, f);
    }
    if (f.type == Filter::Type::DropShadow || f.type == Filter::Type::GradientGlow) {
        f.distance = number(vm, o, "distance");
        f.angle = number(vm, o, "angle") * std::numbers::pi / 180;
        f.compositeSource = !Machine::toBoolean(hidden(o, "hideObject"));
    }
    if (f.type == Filter::Type::Bevel) {
        f.highlight = colorOf(vm, o, "highlightColor", "highlightAlpha");
        f.color = colorOf(vm, o, "shadowColor", "shadowAlpha");
        f.distance = number(vm, o, "distance");
        f.angle = number(vm, o, "angle") * std::numbers::pi / 180;
        kindInto(vm, o, f);
    }
    return f;
}

ClassInfo* installFilterClasses(Machine& m) {
    ClassInfo* base = m.defineNativeClass("flash.filters", "BitmapFilter", m.objectClass);
    m.defineMethod(base, "clone", filterClone);
    installFilter<0, 3>(m, base);
    installFilter<1, 8>(m, base);
    installFilter<2, 11>(m, base);
    installFilter<3, 11>(m, base);
    installFilter<4, 9>(m, base);
    installFilter<5, 1>(m, base);
    installFilter<6, 12>(m, base);
    return base;
}

} // namespace kinovex::flash::display_natives
