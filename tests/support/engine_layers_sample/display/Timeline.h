#pragma once
// A sample for the layer check: the display layer may use what lies below it.
#include "engine/definitions/Characters.h"
