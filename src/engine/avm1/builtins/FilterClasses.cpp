// The flash.filters package: BitmapFilter and the filters made from it. A filter keeps its
// fields inside, where the getter and setter pairs of its class's prototype read and write
// them; scripts see no fields of its own. The values are kept as given: the engine draws no
// filters, so nothing here clamps or converts them.

#include "engine/avm1/builtins/Builtins.h"
#include "engine/avm1/builtins/Geom.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kinovex::flash::avm1 {

namespace {

struct Field {
    const char* name;
    Value initial; // what a constructor call without the argument leaves
};

struct FilterClass {
    const char* name;
    std::vector<Field> fields; // in the order the constructor takes them
};

// The field values of one filter, in its class's order.
struct FilterFields final : HostData {
    std::vector<Value> values;
    void references(std::vector<Object*>& out) const override {
        for (const Value& v : values) {
            if (v.isObject()) {
                out.push_back(v.asObject());
            }
        }
    }
};

FilterFields* fieldsOf(const Value& self) {
    const Object* o = selfObject(self);
    return o != nullptr ? dynamic_cast<FilterFields*>(o->hostData()) : nullptr;
}

std::vector<FilterClass> filterClasses() {
    const Value none;
    const Value yes(true);
    const Value no(false);
    const Value inner("inner");
    const auto n = [](double v) { return Value(v); };
    return {
        {"BevelFilter",
         {{"distance", n(4)},
          {"angle", n(45)},
          {"highlightColor", n(0xFFFFFF)},
          {"highlightAlpha", n(1)},
          {"shadowColor", n(0)},
          {"shadowAlpha", n(1)},
          {"blurX", n(4)},
          {"blurY", n(4)},
          {"strength", n(1)},
          {"quality", n(1)},
          {"type", inner},
          {"knockout", no}}},
        {"BlurFilter", {{"blurX", n(4)}, {"blurY", n(4)}, {"quality", n(1)}}},
        {"ColorMatrixFilter", {{"matrix", none}}},
        {"ConvolutionFilter",
         {{"matrixX", n(0)},
          {"matrixY", n(0)},
          {"matrix", none},
          {"divisor", n(1)},
          {"bias", n(0)},
          {"preserveAlpha", yes},
          {"clamp", yes},
          {"color", n(0)},
          {"alpha", n(0)}}},
        {"DisplacementMapFilter",
         {{"mapBitmap", none},
          {"mapPoint", none},
          {"componentX", n(0)},
          {"componentY", n(0)},
          {"scaleX", n(0)},
          {"scaleY", n(0)},
          {"mode", Value("wrap")},
          {"color", n(0)},
          {"alpha", n(0)}}},
        {"DropShadowFilter",
         {{"distance", n(4)},
          {"angle", n(45)},
          {"color", n(0)},
          {"alpha", n(1)},
          {"blurX", n(4)},
          {"blurY", n(4)},
          {"strength", n(1)},
          {"quality", n(1)},
          {"inner", no},
          {"knockout", no},
          {"hideObject", no}}},
        {"GlowFilter",
         {{"color", n(0xFF0000)},
          {"alpha", n(1)},
          {"blurX", n(6)},
          {"blurY", n(6)},
          {"strength", n(2)},
          {"quality", n(1)},
          {"inner", no},
          {"knockout", no}}},
        {"GradientBevelFilter",
         {{"distance", n(4)},
          {"angle", n(45)},
          {"colors", none},
          {"alphas", none},
          {"ratios", none},
          {"blurX", n(4)},
          {"blurY", n(4)},
          {"strength", n(1)},
          {"quality", n(1)},
          {"type", inner},
          {"knockout", no}}},
        {"GradientGlowFilter",
         {{"distance", n(4)},
          {"angle", n(45)},
          {"colors", none},
          {"alphas", none},
          {"ratios", none},
          {"blurX", n(4)},
          {"blurY", n(4)},
          {"strength", n(1)},
          {"quality", n(1)},
          {"type", Value("outer")},
          {"knockout", no}}},
    };
}

// clone(): a filter of the same class with the same fields.
Value cloneFilter(Vm& vm, const Value& self, Args) {
    const FilterFields* fields = fieldsOf(self);
    if (fields == nullptr) {
        return Value();
    }
    Object* copy = vm.newObject(self.asObject()->proto());
    if (const Property* c = self.asObject()->findOwn("__constructor__")) {
        copy->define("__constructor__", c->value, c->flags);
    }
    copy->setHostData(std::make_unique<FilterFields>(*fields));
    return Value(copy);
}

void defineFilterClass(Vm& vm, Object* package, Object* base, const FilterClass& filter) {
    std::vector<Value> initial;
    for (const Field& f : filter.fields) {
        initial.push_back(f.initial);
    }
    // The player's filters show the __constructor__ that new gave them.
    Object* ctor = vm.newFunction(
        [initial](Vm&, const Value& self, Args args) {
            if (Object* o = selfObject(self)) {
                auto fields = std::make_unique<FilterFields>();
                fields->values = initial;
                for (std::size_t i = 0; i < std::min(args.size(), initial.size()); ++i) {
                    fields->values[i] = args[i];
                }
                o->setHostData(std::move(fields));
                if (Property* c = o->findOwn("__constructor__")) {
                    c->flags = 0;
                }
            }
            return Value();
        },
        filter.name);
    // The prototype is made as `new BitmapFilter` would make it, without a constructor of its
    // own.
    Object* proto = vm.newObject(base);
    proto->define("__constructor__", vm.getMember(Value(base), "constructor"), kDontEnum);
    ctor->define("prototype", Value(proto), kDontEnum | kDontDelete);
    for (std::size_t i = 0; i < filter.fields.size(); ++i) {
        setGeomProperty(
            vm, proto, filter.fields[i].name,
            [i](Vm&, const Value& self, Args) {
                const FilterFields* fields = fieldsOf(self);
                return fields != nullptr ? fields->values[i] : Value();
            },
            [i](Vm&, const Value& self, Args args) {
                if (FilterFields* fields = fieldsOf(self)) {
                    fields->values[i] = arg(args, 0);
                }
                return Value();
            });
    }
    package->define(filter.name, Value(ctor), 0);
}

} // namespace

void installFilterClasses(Vm& vm) {
    Object* package = flashPackage(vm, "filters");
    Object* base = vm.newObject();
    Object* baseCtor =
        vm.newFunction([](Vm&, const Value&, Args) { return Value(); }, "BitmapFilter");
    baseCtor->define("prototype", Value(base), kDontEnum | kDontDelete);
    base->define("constructor", Value(baseCtor), kDontEnum | kDontDelete);
    package->define("BitmapFilter", Value(baseCtor), 0);
    vm.setFunction(base, "clone", cloneFilter, kFromVersion8);
    for (const FilterClass& filter : filterClasses()) {
        defineFilterClass(vm, package, base, filter);
    }
}

} // namespace kinovex::flash::avm1
