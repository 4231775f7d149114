#pragma once
// Bitmap filters applied to an object drawn into its own image surface.

#include "flash/player/Characters.h"

#include <cairo.h>

namespace kinovex::flash {

// `pixelScale`: device pixels per stage pixel, since filter sizes are given in stage pixels.
// Convolution is not drawn: it leaves the surface as it is.
void applyFilter(cairo_surface_t* surface, const Filter& filter, double pixelScale);

// Box blur of a premultiplied ARGB32 buffer, `passes` times each way (three passes come close
// to a gaussian, which is what the higher qualities look like).
void boxBlur(std::uint32_t* pixels, int width, int height, int strideWords, int radiusX,
             int radiusY, int passes);

} // namespace kinovex::flash
