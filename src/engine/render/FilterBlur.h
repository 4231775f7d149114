#pragma once
// Box blur over premultiplied ARGB32 pixels, as Flash's blur filter uses it.

#include <cstdint>

namespace kinovex::flash {

// Box blur of a premultiplied ARGB32 buffer, `passes` times each way (three passes come close
// to a gaussian, which is what the higher qualities look like).
void boxBlur(std::uint32_t* pixels, int width, int height, int strideWords, int radiusX,
             int radiusY, int passes);

// The box's half width in device pixels for a filter's blur amount in stage pixels.
int blurRadius(double blur, double pixelScale);

} // namespace kinovex::flash
