// flash.text.TextLineMetrics, and TextField.getLineMetrics that makes them from the field's
// laid out lines.

#include "engine/avm2/DisplayNatives.h"

#include "engine/avm2/Avm2Runtime.h"
#include "engine/avm2/Geom.h"
#include "engine/display/TextField.h"

#include <cmath>

namespace kinovex::flash::display_natives {

namespace {

// The variables by slot, in the constructor's order.
constexpr const char* kFields[] = {"x", "width", "height", "ascent", "descent", "leading"};

Value metricsInit(Machine& vm, Value s, Args args) {
    Object* o = self(vm, s);
    for (std::size_t i = 0; i < 6; ++i) {
        avm2::setSlotNumber(o, i, i < args.size() ? vm.toNumber(args[i]) : 0.0);
    }
    return Value();
}

double pixels(double twips) {
    return std::round(twips) / 20.0;
}

// getLineMetrics(lineIndex): where the line starts within the field, its width, and its
// ascent, descent and leading; a RangeError for a line the field does not have.
Value tfGetLineMetrics(Machine& vm, Value s, Args args) {
    const TextLayout& layout = textFieldOf(vm, s).layout(host(vm).textFonts());
    const std::int32_t index = vm.toInt(avm2::arg(args, 0));
    if (index < 0 || static_cast<std::size_t>(index) >= layout.lines.size()) {
        vm.throwError("RangeError", 2006, "The supplied index is out of bounds.");
    }
    const LaidLine& line = layout.lines[static_cast<std::size_t>(index)];
    Value a[6] = {Value::number(pixels(line.left + TextField::kGutter)),
                  Value::number(pixels(line.width)),
                  Value::number(pixels(line.ascent + line.descent + line.leading)),
                  Value::number(pixels(line.ascent)),
                  Value::number(pixels(line.descent)),
                  Value::number(pixels(line.leading))};
    return vm.construct(vm.getDefinitionByName("flash.text.TextLineMetrics"), Args(a, 6));
}

} // namespace

void installTextLineMetrics(Machine& m, ClassInfo* textField) {
    ClassInfo* cls = m.defineNativeClass("flash.text", "TextLineMetrics", m.objectClass);
    for (const char* name : kFields) {
        avm2::addNumberVariable(m, cls, name);
    }
    cls->nativeInit = metricsInit;
    m.defineMethod(textField, "getLineMetrics", tfGetLineMetrics, 1);
}

} // namespace kinovex::flash::display_natives
