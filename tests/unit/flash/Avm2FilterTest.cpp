// The colour matrix and bevel filters a script makes: what they keep of what they are given,
// and what a placed object's filters read back once drawn through its placement.

#include "Avm2Stage.h"

#include <gtest/gtest.h>

namespace kinovex::flash {
namespace {

using avm2::Args;
using avm2::Value;

std::vector<Value> numbers(int count) {
    std::vector<Value> out;
    for (int i = 1; i <= count; ++i) {
        out.push_back(Value::integer(i));
    }
    return out;
}

TEST(Avm2Filters, AColorMatrixKeepsTwentyNumbers) {
    struct Row {
        int given; // -1: no matrix
        const char* matrix;
    };
    const Row rows[] = {
        {-1, "1,0,0,0,0,0,1,0,0,0,0,0,1,0,0,0,0,0,1,0"},            // the identity
        {2, "1,2,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"},             // missing ones are 0
        {25, "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20"}, // more are cut
    };
    for (const Row& r : rows) {
        Avm2Stage stage;
        avm2::Machine& vm = stage.vm();
        std::vector<Value> args;
        if (r.given >= 0) {
            args.push_back(Value::obj(vm.newArray(numbers(r.given))));
        }
        const Value filter = Value::obj(vm.constructClass(
            vm.builtin("flash.filters.ColorMatrixFilter"), Args(args.data(), args.size())));
        EXPECT_EQ(vm.toString(vm.get(filter, "matrix")), r.matrix) << r.given;
        const Value copy = stage.call(filter, "clone");
        EXPECT_EQ(vm.toString(vm.get(copy, "matrix")), r.matrix) << r.given;
    }
}

// A bevel's highlight and shadow stay apart through the object's placement.
TEST(Avm2Filters, ABevelReadsBackFromItsObject) {
    Avm2Stage stage;
    avm2::Machine& vm = stage.vm();
    Value a[6] = {Value::integer(5),  Value::integer(90),       Value::integer(0x112233),
                  Value::number(0.5), Value::integer(0x445566), Value::number(0.25)};
    const Value bevel =
        Value::obj(vm.constructClass(vm.builtin("flash.filters.BevelFilter"), Args(a, 6)));
    const Value sprite = Value::obj(vm.constructClass(vm.builtin("flash.display.Sprite"), {}));
    vm.set(sprite, "filters", Value::obj(vm.newArray({bevel})));
    const Value back = vm.get(vm.get(sprite, "filters"), "0");
    std::string seen;
    for (const char* name :
         {"distance", "angle", "highlightColor", "shadowColor", "blurX", "type", "knockout"}) {
        seen += vm.toString(vm.get(back, name)) + " ";
    }
    EXPECT_EQ(seen, "5 90 1122867 4478310 4 inner false ");
}

} // namespace
} // namespace kinovex::flash
