#pragma once
// TextFormat objects as scripts see them: each keeps its members inside, where getter and setter
// pairs on TextFormat.prototype read and write them. A member that is not set reads as null.
// The pairs go on the prototype the first time a TextFormat is made.

#include "engine/avm1/Vm.h"

#include <string_view>

namespace kinovex::flash {

// _global.TextFormat: new TextFormat(font, size, color, bold, italic, underline, url, target,
// align, leftMargin, rightMargin, indent, leading).
void defineTextFormatClass(avm1::Vm& vm);

// A TextFormat as `new TextFormat()` makes it: nothing set but display.
avm1::Object* newTextFormat(avm1::Vm& vm);

// Writes a member of a TextFormat as a script's assignment does, converting the value.
void setFormatMember(avm1::Vm& vm, avm1::Object* format, std::string_view name,
                     const avm1::Value& v);

// Sets the tab stops of a TextFormat to an empty list (not null).
void clearTabStops(avm1::Object* format);

} // namespace kinovex::flash
