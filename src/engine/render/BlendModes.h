#pragma once
// Layers laid on what lies beneath with a separable blend mode, straight into the pixels:
// cairo composites these modes one pixel at a time through a general loop, which costs a
// frame with a layer as large as the stage several milliseconds.

#include "engine/definitions/Characters.h"

#include <cstdint>

namespace kinovex::flash {

// Whether blendImage does `mode`: overlay, hard light, screen, darken, lighten and difference.
// (Multiply is left to cairo, which rounds each of its terms apart.)
bool blendsDirectly(BlendMode mode);

// `src` (premultiplied ARGB, `width` x `height`) laid on `dst` with `mode`, as the compositing
// rules define it: each channel is dst * (1 - src alpha) + src * (1 - dst alpha) + the mode's
// blend of the two, and alpha is src + dst - src * dst, rounded once to 8 bits.
void blendImage(std::uint32_t* dst, int dstStrideWords, const std::uint32_t* src,
                int srcStrideWords, int width, int height, BlendMode mode);

} // namespace kinovex::flash
