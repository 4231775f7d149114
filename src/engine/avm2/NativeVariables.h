#pragma once
// Variables (`public var`) of native classes: each takes the next slot of the class's
// instances, so that natives read and write it directly and scripts see a sealed member. And
// classes that only name string values (StageAlign.TOP is "T").

#include "engine/avm2/Object.h"

#include <initializer_list>
#include <string>

namespace kinovex::flash::avm2 {

class Machine;

void addVariable(Machine& m, ClassInfo* cls, const std::string& name, const std::string& typeName,
                 Value initial);
// A Number variable, NaN until set.
void addNumberVariable(Machine& m, ClassInfo* cls, const std::string& name);

struct StringConstant {
    const char* name;
    const char* value;
};
// A final class `pkg`.`cls` whose static constants are `constants`.
ClassInfo* defineStringConstants(Machine& m, const char* pkg, const char* cls,
                                 std::initializer_list<StringConstant> constants);

} // namespace kinovex::flash::avm2
