#pragma once
// The builtin classes, installed into a machine by part.

namespace kinovex::flash::avm2 {

class Machine;

void installArrayClass(Machine& m);

} // namespace kinovex::flash::avm2
