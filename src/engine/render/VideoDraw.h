#pragma once
// Draws a placed video: its current frame as a bitmap filling the stream's box (width x height
// pixels from the placement's origin).

#include "engine/definitions/VideoStream.h"
#include "engine/display/Timeline.h"
#include "engine/swf/Log.h"
#include "engine/swf/Types.h"

#include <cairo.h>

namespace kinovex::flash {

// `matrix` maps twips of the video to the device; `obj` is the placement, whose ratio picks the
// frame and which keeps the decoder (null inside a button: nothing is drawn). With `mask` only
// the box's coverage is drawn.
void drawVideo(cairo_t* cr, const VideoStream& stream, const DisplayObject* obj,
               const Matrix& matrix, const ColorTransform& cx, bool mask, Log& log);

} // namespace kinovex::flash
