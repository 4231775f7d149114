// The flash.geom classes, one table per class: each row names the rule it checks, runs a short
// script on a movie of the given version and lists what it traces.

#include "Avm1Rules.h"

#include <gtest/gtest.h>

namespace kinovex::flash::test {
namespace {

using namespace swf;

// Leaves new flash.geom.<cls>(args...) on the stack.
Actions& make(Actions& a, const std::string& cls, std::initializer_list<PushValue> args) {
    for (auto it = std::rbegin(args); it != std::rend(args); ++it) {
        a.push(*it);
    }
    a.push(Int{static_cast<int>(args.size())});
    return a.getVar("flash").push("geom").op(op::GetMember).push(cls).op(op::NewMethod);
}

// Keeps new flash.geom.<cls>(args...) in register r.
Actions& keep(Actions& a, std::uint8_t r, const std::string& cls,
              std::initializer_list<PushValue> args) {
    return make(a, cls, args).storeRegister(r).op(op::Pop);
}

// Calls register r's method(args...), each argument a value or a register, and leaves the
// result on the stack.
Actions& callOn(Actions& a, std::uint8_t r, const std::string& method,
                std::initializer_list<PushValue> args) {
    for (auto it = std::rbegin(args); it != std::rend(args); ++it) {
        a.push(*it);
    }
    return a.push(Int{static_cast<int>(args.size())})
        .push(Register{r})
        .push(method)
        .op(op::CallMethod);
}

// Traces register r's method(args...).
Actions& traceCall(Actions& a, std::uint8_t r, const std::string& method,
                   std::initializer_list<PushValue> args) {
    return callOn(a, r, method, args).op(op::Trace);
}

// ASSetPropFlags(_global, "flash", 0, 4096): shows the package to movies before version 8.
Actions& showFlashPackage(Actions& a) {
    a.push({4096.0, 0.0, "flash"}).getVar("_global");
    return a.call("ASSetPropFlags", 4).op(op::Pop);
}

Actions& traceRegister(Actions& a, std::uint8_t r) {
    return a.push(Register{r}).op(op::Trace);
}

Actions& traceMember(Actions& a, std::uint8_t r, const std::string& name) {
    return a.push(Register{r}).push(name).op(op::GetMember).op(op::Trace);
}

Actions& setMember(Actions& a, std::uint8_t r, const std::string& name, const PushValue& v) {
    return a.push(Register{r}).push(name).push(v).op(op::SetMember);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Point, Avm1Rule,
    testing::Values(
        Rule{"FieldsAreKeptAsGivenAndShownAsTheyAre",
             8,
             [](Actions& a) {
                 make(a, "Point", {}).op(op::Trace);
                 make(a, "Point", {"a"}).op(op::Trace);
             },
             {"(x=0, y=0)", "(x=a, y=undefined)"}},
        Rule{"AddJoinsTextWhereSubtractMakesNumbers",
             8,
             [](Actions& a) {
                 keep(a, 1, "Point", {"1", 2.0});
                 keep(a, 2, "Point", {"3", 4.0});
                 traceCall(a, 1, "add", {Register{2}});
                 traceCall(a, 1, "subtract", {Register{2}});
             },
             {"(x=13, y=6)", "(x=-2, y=-2)"}},
        Rule{"NormalizeScalesToTheLengthButLeavesAZeroPoint",
             8,
             [](Actions& a) {
                 keep(a, 1, "Point", {3.0, 4.0});
                 traceMember(a, 1, "length");
                 callOn(a, 1, "normalize", {10.0}).op(op::Pop);
                 traceRegister(a, 1);
                 keep(a, 2, "Point", {});
                 callOn(a, 2, "normalize", {10.0}).op(op::Pop);
                 traceRegister(a, 2);
             },
             {"5", "(x=6, y=8)", "(x=0, y=0)"}},
        Rule{"EqualsWantsAPointAndTakesNaNForEqual",
             8,
             [](Actions& a) {
                 keep(a, 1, "Point", {kNaN, 1.0});
                 make(a, "Point", {kNaN, 1.0}).storeRegister(2).op(op::Pop);
                 traceCall(a, 1, "equals", {Register{2}});
                 a.push({"x", kNaN, "y", 1.0, Int{2}}).op(op::InitObject);
                 a.storeRegister(3).op(op::Pop);
                 traceCall(a, 1, "equals", {Register{3}});
             },
             {"true", "false"}},
        Rule{"InterpolateStartsFromTheSecondPoint",
             8,
             [](Actions& a) {
                 keep(a, 1, "Point", {0.0, 0.0});
                 keep(a, 2, "Point", {10.0, 20.0});
                 a.push({0.25, Register{2}, Register{1}, Int{3}});
                 a.getVar("flash").push("geom").op(op::GetMember).push("Point").op(op::GetMember);
                 a.push("interpolate").op(op::CallMethod).op(op::Trace);
             },
             {"(x=7.5, y=15)"}}),
    ruleName);

INSTANTIATE_TEST_SUITE_P(
    Rectangle, Avm1Rule,
    testing::Values(Rule{"MissingArgumentsStayUndefinedButNoneMakesItEmpty",
                         8,
                         [](Actions& a) {
                             make(a, "Rectangle", {1.0}).op(op::Trace);
                             make(a, "Rectangle", {}).op(op::Trace);
                         },
                         {"(x=1, y=undefined, w=undefined, h=undefined)", "(x=0, y=0, w=0, h=0)"}},
                    Rule{"ContainsTakesTheLeftEdgeInAndTheRightOneOut",
                         8,
                         [](Actions& a) {
                             keep(a, 1, "Rectangle", {0.0, 0.0, 10.0, 10.0});
                             traceCall(a, 1, "contains", {0.0, 0.0});
                             traceCall(a, 1, "contains", {10.0, 5.0});
                             // A NaN edge gives neither answer.
                             keep(a, 2, "Rectangle", {Undefined{}, 0.0, 10.0, 10.0});
                             traceCall(a, 2, "contains", {5.0, 5.0});
                         },
                         {"true", "false", "undefined"}},
                    Rule{"SettingLeftKeepsTheRightEdge",
                         8,
                         [](Actions& a) {
                             keep(a, 1, "Rectangle", {10.0, 0.0, 20.0, 5.0});
                             setMember(a, 1, "left", 0.0);
                             traceRegister(a, 1);
                             traceMember(a, 1, "bottomRight");
                         },
                         {"(x=0, y=0, w=30, h=5)", "(x=30, y=5)"}},
                    Rule{"IntersectionOfApartRectanglesIsEmptyAndUnionSpansBoth",
                         8,
                         [](Actions& a) {
                             keep(a, 1, "Rectangle", {0.0, 0.0, 10.0, 10.0});
                             keep(a, 2, "Rectangle", {20.0, 20.0, 5.0, 5.0});
                             traceCall(a, 1, "intersection", {Register{2}});
                             traceCall(a, 1, "intersects", {Register{2}});
                             traceCall(a, 1, "union", {Register{2}});
                         },
                         {"(x=0, y=0, w=0, h=0)", "false", "(x=0, y=0, w=25, h=25)"}}),
    ruleName);

INSTANTIATE_TEST_SUITE_P(
    Matrix, Avm1Rule,
    testing::Values(
        Rule{"ConcatAppliesTheArgumentAfterward",
             8,
             [](Actions& a) {
                 keep(a, 1, "Matrix", {2.0, 0.0, 0.0, 2.0, 10.0, 0.0});
                 keep(a, 2, "Matrix", {1.0, 0.0, 0.0, 1.0, 5.0, 7.0});
                 callOn(a, 1, "concat", {Register{2}}).op(op::Pop);
                 traceRegister(a, 1);
                 keep(a, 3, "Matrix", {2.0, 0.0, 0.0, 2.0, 0.0, 0.0});
                 callOn(a, 2, "concat", {Register{3}}).op(op::Pop);
                 traceRegister(a, 2);
             },
             {"(a=2, b=0, c=0, d=2, tx=15, ty=7)", "(a=2, b=0, c=0, d=2, tx=10, ty=14)"}},
        Rule{"InvertUndoesTransformPointAndDeltaLeavesTheTranslation",
             8,
             [](Actions& a) {
                 keep(a, 1, "Matrix", {2.0, 0.0, 0.0, 4.0, 10.0, 20.0});
                 keep(a, 2, "Point", {1.0, 1.0});
                 traceCall(a, 1, "deltaTransformPoint", {Register{2}});
                 callOn(a, 1, "invert", {}).op(op::Pop);
                 keep(a, 3, "Point", {12.0, 24.0});
                 traceCall(a, 1, "transformPoint", {Register{3}});
             },
             {"(x=2, y=4)", "(x=1, y=1)"}},
        Rule{"NoArgumentsCallsTheCurrentIdentity",
             8,
             [](Actions& a) {
                 a.getVar("flash").push("geom").op(op::GetMember).push("Matrix").op(op::GetMember);
                 a.push("prototype").op(op::GetMember).push("identity");
                 Actions body;
                 body.trace("identity");
                 a.defineFunction("", {}, body).op(op::SetMember);
                 make(a, "Matrix", {}).op(op::Trace);
             },
             {"identity", "(a=undefined, b=undefined, c=undefined, d=undefined, tx=undefined, "
                          "ty=undefined)"}},
        Rule{"GradientBoxCentresThe1638TwipSquare",
             8,
             [](Actions& a) {
                 keep(a, 1, "Matrix", {});
                 callOn(a, 1, "createGradientBox", {1638.4, 3276.8}).op(op::Pop);
                 traceRegister(a, 1);
             },
             {"(a=1, b=0, c=0, d=2, tx=819.2, ty=1638.4)"}}),
    ruleName);

INSTANTIATE_TEST_SUITE_P(
    ColorTransform, Avm1Rule,
    testing::Values(
        Rule{"FewerThanEightArgumentsMakeTheIdentity",
             8,
             [](Actions& a) {
                 make(a, "ColorTransform", {2.0, 2.0, 2.0}).op(op::Trace);
             },
             {"(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, "
              "redOffset=0, greenOffset=0, blueOffset=0, alphaOffset=0)"}},
        Rule{"RgbJoinsNegativeOffsetsAsInt32AndSettingItDropsTheMultipliers",
             8,
             [](Actions& a) {
                 keep(a, 1, "ColorTransform", {0.5, 0.5, 0.5, 0.5, -1.0, 2.0, 3.5, 4.0});
                 traceMember(a, 1, "rgb");
                 setMember(a, 1, "rgb", 0x123456 * 1.0);
                 traceMember(a, 1, "redMultiplier");
                 traceMember(a, 1, "redOffset");
                 traceMember(a, 1, "alphaMultiplier");
             },
             {"-65021", "0", "18", "0.5"}},
        Rule{"ConcatAppliesTheArgumentFirst",
             8,
             [](Actions& a) {
                 keep(a, 1, "ColorTransform", {2.0, 1.0, 1.0, 1.0, 10.0, 0.0, 0.0, 0.0});
                 keep(a, 2, "ColorTransform", {3.0, 1.0, 1.0, 1.0, 5.0, 0.0, 0.0, 0.0});
                 callOn(a, 1, "concat", {Register{2}}).op(op::Pop);
                 traceMember(a, 1, "redMultiplier");
                 traceMember(a, 1, "redOffset");
             },
             {"6", "20"}},
        Rule{"BeforeVersion8ItHasNoFieldsAndWritesStayPlainMembers",
             7,
             [](Actions& a) {
                 showFlashPackage(a);
                 keep(a, 1, "ColorTransform", {});
                 traceMember(a, 1, "redMultiplier");
                 setMember(a, 1, "redMultiplier", "x");
                 traceMember(a, 1, "redMultiplier");
             },
             {"undefined", "x"}}),
    ruleName);

} // namespace
} // namespace kinovex::flash::test
