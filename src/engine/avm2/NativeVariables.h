#pragma once
// Variables (`public var`) of native classes: each takes the next slot of the class's
// instances, so that natives read and write it directly and scripts see a sealed member.

#include "engine/avm2/Object.h"

#include <string>

namespace kinovex::flash::avm2 {

class Machine;

void addVariable(Machine& m, ClassInfo* cls, const std::string& name, const std::string& typeName,
                 Value initial);
// A Number variable, NaN until set.
void addNumberVariable(Machine& m, ClassInfo* cls, const std::string& name);

} // namespace kinovex::flash::avm2
