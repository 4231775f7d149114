#pragma once
// Bevels, gradient bevels and gradient glows: an effect picture taken from the object's blurred
// coverage, placed inside the object, outside it or both, and combined with the object.

#include "engine/definitions/Characters.h"

#include <cstdint>

namespace kinovex::flash {

// Applies `f` to the w x h premultiplied ARGB32 pixels at `px`, rows `stride` words apart.
// `pixelScale`: device pixels per stage pixel.
void applyBevelOrGradientGlow(std::uint32_t* px, int w, int h, int stride, const Filter& f,
                              double pixelScale);

} // namespace kinovex::flash
