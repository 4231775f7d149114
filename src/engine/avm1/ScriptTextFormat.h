#pragma once
// TextFormat objects: what new TextFormat(...) makes, and the formats of a field's text as
// scripts read and change them (TextField's getTextFormat, setTextFormat ...).

#include "engine/avm1/Vm.h"
#include "engine/text/StyledText.h"

namespace kinovex::flash {

class TextField;

// A TextFormat object holding a run's character and paragraph format.
avm1::Value formatObject(avm1::Vm& vm, const CharFormat& c, const ParagraphFormat& para);
avm1::Value getTextFormat(avm1::Vm& vm, TextField& f, avm1::Args args);
avm1::Value setTextFormat(avm1::Vm& vm, TextField& f, avm1::Args args, bool forNewText);

} // namespace kinovex::flash
