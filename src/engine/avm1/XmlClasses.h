#pragma once
// XMLNode and XML on _global, over the tree of XmlDom.h.

#include "engine/avm1/Vm.h"

namespace kinovex::flash::avm1 {

// Needs the load functions of installLoadNatives registered first.
void installXmlClasses(Vm& vm);

} // namespace kinovex::flash::avm1
