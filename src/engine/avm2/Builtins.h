#pragma once
// The builtin classes, installed into a machine by part.

namespace kinovex::flash::avm2 {

class Machine;

void installValueClasses(Machine& m); // Namespace, Boolean, Number, int, uint, String, Math
void installErrorClasses(Machine& m); // Error and its subclasses
void installArrayClass(Machine& m);
void installGlobalFunctions(Machine& m); // trace, parseInt, getQualifiedClassName ...

} // namespace kinovex::flash::avm2
