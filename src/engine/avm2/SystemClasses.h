#pragma once
// flash.system's ApplicationDomain and Capabilities, and flash.crypto.generateRandomBytes:
// installed by the runtime once LoaderInfo exists (it gains applicationDomain).

#include "engine/avm2/Machine.h"

namespace kinovex::flash::avm2 {

void installSystemClasses(Machine& m);

} // namespace kinovex::flash::avm2
