#pragma once
// Drop shadow and glow filters: the object's coverage, moved, blurred and coloured, under the
// object, inside it, or alone.

#include "engine/definitions/Characters.h"

#include <cstdint>

namespace kinovex::flash {

// Applies `f` (a drop shadow or a glow) to the w x h premultiplied ARGB32 pixels at `px`,
// rows `stride` words apart. `pixelScale`: device pixels per stage pixel.
void applyShadow(std::uint32_t* px, int w, int h, int stride, const Filter& f, double pixelScale);

} // namespace kinovex::flash
