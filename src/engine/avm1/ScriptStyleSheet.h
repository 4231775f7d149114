#pragma once
// TextField.StyleSheet: the class of CSS style sheets that scripts give text fields.

#include "engine/avm1/Vm.h"

namespace kinovex::flash::avm1 {

// Puts StyleSheet on the TextField constructor, seen from version 7 on.
void installStyleSheetClass(Vm& vm, Object* textFieldCtor);

} // namespace kinovex::flash::avm1
