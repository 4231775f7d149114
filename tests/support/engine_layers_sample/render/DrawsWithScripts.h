#pragma once
// A sample for the layer check: the render layer may not use the script machine.
#include "engine/avm1/Vm.h"
