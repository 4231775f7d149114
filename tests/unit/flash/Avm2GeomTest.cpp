// flash.geom's Matrix and ColorTransform driven through the machine: each row builds a value
// with the classes' methods and checks what it prints. The rows aim at the order things are
// combined in (concat applies its argument after, or before, the object) and at the gradient
// box's scale and centre.

#include "engine/avm2/Machine.h"

#include <gtest/gtest.h>

namespace kinovex::flash::avm2 {
namespace {

Value make(Machine& vm, const char* cls, std::vector<double> args) {
    std::vector<Value> a;
    for (double d : args) {
        a.push_back(Value::number(d));
    }
    return Value::obj(vm.constructClass(vm.builtin(cls), Args(a)));
}

void call(Machine& vm, const Value& o, const char* method, std::vector<Value> args) {
    vm.callProperty(o, vm.publicName(method), Args(args));
}

struct Row {
    const char* name;
    Value (*build)(Machine&);
    const char* expected;
};

const Row kRows[] = {
    {"TranslateThenScaleScalesTheOffset",
     [](Machine& vm) {
         Value m = make(vm, "flash.geom.Matrix", {});
         call(vm, m, "translate", {Value::number(10), Value::number(20)});
         call(vm, m, "scale", {Value::number(2), Value::number(3)});
         return m;
     },
     "(a=2, b=0, c=0, d=3, tx=20, ty=60)"},
    {"ConcatAppliesItsArgumentAfter",
     [](Machine& vm) {
         Value m = make(vm, "flash.geom.Matrix", {2, 0, 0, 2, 5, 0});
         call(vm, m, "concat", {make(vm, "flash.geom.Matrix", {1, 0, 0, 1, 100, 0})});
         return m;
     },
     "(a=2, b=0, c=0, d=2, tx=105, ty=0)"},
    {"InvertUndoesAScaleAndMove",
     [](Machine& vm) {
         Value m = make(vm, "flash.geom.Matrix", {2, 0, 0, 4, 10, 20});
         call(vm, m, "invert", {});
         return m;
     },
     "(a=0.5, b=0, c=0, d=0.25, tx=-5, ty=-5)"},
    {"GradientBoxIsCentredAndScaledFrom1638Point4",
     [](Machine& vm) {
         Value m = make(vm, "flash.geom.Matrix", {});
         call(vm, m, "createGradientBox",
              {Value::number(1638.4), Value::number(819.2), Value::number(0), Value::number(10),
               Value::number(0)});
         return m;
     },
     "(a=1, b=0, c=0, d=0.5, tx=829.2, ty=409.6)"},
    {"ColorTransformConcatAppliesItsArgumentFirst",
     [](Machine& vm) {
         Value cx = make(vm, "flash.geom.ColorTransform", {0.5, 1, 1, 1, 10, 0, 0, 0});
         call(vm, cx, "concat", {make(vm, "flash.geom.ColorTransform", {2, 1, 1, 1, 4, 0, 0, 0})});
         return cx;
     },
     "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, redOffset=12, "
     "greenOffset=0, blueOffset=0, alphaOffset=0)"},
    {"SettingAColourKeepsAlpha",
     [](Machine& vm) {
         Value cx = make(vm, "flash.geom.ColorTransform", {1, 1, 1, 0.5, 0, 0, 0, 7});
         vm.set(cx, "color", Value::number(0x123456));
         return cx;
     },
     "(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, alphaMultiplier=0.5, redOffset=18, "
     "greenOffset=52, blueOffset=86, alphaOffset=7)"},
};

class Avm2Geom : public ::testing::TestWithParam<Row> {};

TEST_P(Avm2Geom, PrintsTheResult) {
    Machine vm;
    const Value v = GetParam().build(vm);
    EXPECT_EQ(vm.toString(v), GetParam().expected);
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Rows, Avm2Geom, ::testing::ValuesIn(kRows), rowName);

} // namespace
} // namespace kinovex::flash::avm2
