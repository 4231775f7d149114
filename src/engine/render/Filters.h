#pragma once
// Bitmap filters applied to an object drawn into its own image surface.

#include "engine/definitions/Characters.h"
#include "engine/render/FilterBlur.h"

#include <cairo.h>
#include <cstdint>
#include <optional>
#include <utility>

namespace kinovex::flash {

// A rectangle of pixels, ends excluded.
struct PixelArea {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The smallest area of a premultiplied ARGB32 buffer holding every pixel that is not fully
// transparent; none when all are.
std::optional<PixelArea> coveredArea(const std::uint32_t* px, int w, int h, int stride);

// How far a filter's result may reach beyond the object's pixels, in device pixels each way
// (x, y); none for filters that may colour transparent pixels anywhere (a colour matrix's
// offsets, a convolution's bias).
std::optional<std::pair<int, int>> filterReach(const Filter& filter, double pixelScale);

// `pixelScale`: device pixels per stage pixel, since filter sizes are given in stage pixels.
// A convolution's kernel works on device pixels whatever the scale.
void applyFilter(cairo_surface_t* surface, const Filter& filter, double pixelScale);

} // namespace kinovex::flash
