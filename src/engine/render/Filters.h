#pragma once
// Bitmap filters applied to an object drawn into its own image surface.

#include "engine/definitions/Characters.h"

#include <cairo.h>

namespace kinovex::flash {

// `pixelScale`: device pixels per stage pixel, since filter sizes are given in stage pixels.
// A convolution's kernel works on device pixels whatever the scale.
void applyFilter(cairo_surface_t* surface, const Filter& filter, double pixelScale);

// Box blur of a premultiplied ARGB32 buffer, `passes` times each way (three passes come close
// to a gaussian, which is what the higher qualities look like).
void boxBlur(std::uint32_t* pixels, int width, int height, int strideWords, int radiusX,
             int radiusY, int passes);

} // namespace kinovex::flash
