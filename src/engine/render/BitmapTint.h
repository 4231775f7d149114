#pragma once
// Bitmaps under a colour transform: the transform applied to each pixel's straight colour.

#include "engine/swf/Types.h"

#include <cairo.h>

namespace kinovex::flash {

// A copy of `src` (an image surface) with a colour transform applied to every pixel.
cairo_surface_t* transformedSurface(cairo_surface_t* src, const ColorTransform& cx);
// The same into `dst`, an ARGB32 image surface of `src`'s size, every pixel of which it writes.
void transformInto(cairo_surface_t* src, const ColorTransform& cx, cairo_surface_t* dst);

} // namespace kinovex::flash
