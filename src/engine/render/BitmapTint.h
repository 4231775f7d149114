#pragma once
// Bitmaps under a colour transform: the transform applied to each pixel's straight colour.

#include "engine/swf/Types.h"

#include <cairo.h>

namespace kinovex::flash {

// A copy of `src` (an image surface) with a colour transform applied to every pixel.
cairo_surface_t* transformedSurface(cairo_surface_t* src, const ColorTransform& cx);

} // namespace kinovex::flash
