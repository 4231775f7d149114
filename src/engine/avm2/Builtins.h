#pragma once
// The builtin classes, installed into a machine by part.

namespace kinovex::flash::avm2 {

class Machine;
struct ClassInfo;

void installValueClasses(Machine& m); // Namespace, Boolean, Number, int, uint, String, Math
void installErrorClasses(Machine& m); // Error and its subclasses
void installArrayClass(Machine& m);   // and Vector
// The class Vector.<element> (element null: Vector.<*>), made on first use.
ClassInfo* vectorOf(Machine& m, ClassInfo* element);
void installRegExpClass(Machine& m); // and String's match, replace, search and split
void installJsonClass(Machine& m);
void installDateClass(Machine& m);
void installGlobalFunctions(Machine& m); // trace, parseInt, getQualifiedClassName ...

} // namespace kinovex::flash::avm2
