// The stage's size and settings as scripts read and set them, and the classes naming their
// values (StageScaleMode, StageAlign, StageQuality, StageDisplayState). The movie is always shown
// whole at its own size, so the stage measures what the movie's header says whatever the mode.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"
#include "engine/avm2/NativeVariables.h"
#include "engine/definitions/Movie.h"
#include "engine/swf/AsciiCase.h"

#include <string_view>

namespace kinovex::flash::display_natives {

namespace {

std::string upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

Value stageWidth(Machine& vm, Value, Args) {
    const Rect& r = host(vm).movie().frameSize();
    return Value::integer(static_cast<std::int32_t>(r.width() / 20));
}
Value stageHeight(Machine& vm, Value, Args) {
    const Rect& r = host(vm).movie().frameSize();
    return Value::integer(static_cast<std::int32_t>(r.height() / 20));
}
Value ignore(Machine&, Value, Args) {
    return Value();
}

// A setting kept on the stage: its value, or `initial` until a script sets one.
Value setting(Machine& vm, const Value& s, const char* field, const char* initial) {
    const Value v = hidden(self(vm, s), field);
    return v.isUndefined() ? vm.str(initial) : v;
}
// `given` when it is one of `accepted` (as the player compares them, ignoring case for
// quality), else ArgumentError 2008.
std::string accepted(Machine& vm, const Value& given, const char* parameter,
                     std::initializer_list<std::string_view> values, bool anyCase) {
    const std::string text = vm.toString(given);
    for (std::string_view v : values) {
        if (text == v || (anyCase && equalsIgnoringAsciiCase(text, v))) {
            return std::string(v);
        }
    }
    vm.throwError("ArgumentError", 2008,
                  std::string("Parameter ") + parameter + " must be one of the accepted values.");
}

Value scaleMode(Machine& vm, Value s, Args) {
    return setting(vm, s, "scaleMode", "showAll");
}
Value setScaleMode(Machine& vm, Value s, Args a) {
    const std::string mode = accepted(vm, avm2::arg(a, 0), "scaleMode",
                                      {"exactFit", "noBorder", "noScale", "showAll"}, false);
    setHidden(self(vm, s), "scaleMode", vm.str(mode));
    return Value();
}
// Align keeps the sides named, top or bottom before left or right ("TL"); anything else is none.
Value align(Machine& vm, Value s, Args) {
    return setting(vm, s, "align", "");
}
Value setAlign(Machine& vm, Value s, Args a) {
    const std::string given = upper(vm.toString(avm2::arg(a, 0)));
    std::string kept;
    for (char side : {'T', 'B', 'L', 'R'}) {
        if (given.find(side) != std::string::npos) {
            kept += side;
        }
    }
    setHidden(self(vm, s), "align", vm.str(kept));
    return Value();
}
// Quality reads back in capitals.
Value quality(Machine& vm, Value s, Args) {
    return setting(vm, s, "quality", "HIGH");
}
Value setQuality(Machine& vm, Value s, Args a) {
    const std::string q = accepted(
        vm, avm2::arg(a, 0), "quality",
        {"low", "medium", "high", "best", "8x8", "8x8linear", "16x16", "16x16linear"}, true);
    setHidden(self(vm, s), "quality", vm.str(upper(q)));
    return Value();
}
Value displayState(Machine& vm, Value s, Args) {
    return setting(vm, s, "displayState", "normal");
}
Value setDisplayState(Machine& vm, Value s, Args a) {
    const std::string state = accepted(vm, avm2::arg(a, 0), "displayState",
                                       {"normal", "fullScreen", "fullScreenInteractive"}, false);
    setHidden(self(vm, s), "displayState", vm.str(state));
    return Value();
}

} // namespace

void installStageSettings(Machine& m, ClassInfo* stage) {
    m.defineGetter(stage, "stageWidth", stageWidth, ignore);
    m.defineGetter(stage, "stageHeight", stageHeight, ignore);
    m.defineGetter(stage, "scaleMode", scaleMode, setScaleMode);
    m.defineGetter(stage, "align", align, setAlign);
    m.defineGetter(stage, "quality", quality, setQuality);
    m.defineGetter(stage, "displayState", displayState, setDisplayState);
    avm2::defineStringConstants(m, "flash.display", "StageScaleMode",
                                {{"EXACT_FIT", "exactFit"},
                                 {"NO_BORDER", "noBorder"},
                                 {"NO_SCALE", "noScale"},
                                 {"SHOW_ALL", "showAll"}});
    avm2::defineStringConstants(m, "flash.display", "StageAlign",
                                {{"TOP", "T"},
                                 {"BOTTOM", "B"},
                                 {"LEFT", "L"},
                                 {"RIGHT", "R"},
                                 {"TOP_LEFT", "TL"},
                                 {"TOP_RIGHT", "TR"},
                                 {"BOTTOM_LEFT", "BL"},
                                 {"BOTTOM_RIGHT", "BR"}});
    avm2::defineStringConstants(m, "flash.display", "StageQuality",
                                {{"LOW", "low"},
                                 {"MEDIUM", "medium"},
                                 {"HIGH", "high"},
                                 {"BEST", "best"},
                                 {"HIGH_8X8", "8x8"},
                                 {"HIGH_8X8_LINEAR", "8x8linear"},
                                 {"HIGH_16X16", "16x16"},
                                 {"HIGH_16X16_LINEAR", "16x16linear"}});
    avm2::defineStringConstants(m, "flash.display", "StageDisplayState",
                                {{"NORMAL", "normal"},
                                 {"FULL_SCREEN", "fullScreen"},
                                 {"FULL_SCREEN_INTERACTIVE", "fullScreenInteractive"}});
}

} // namespace kinovex::flash::display_natives
