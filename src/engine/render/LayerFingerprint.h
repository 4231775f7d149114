#pragma once
// Whether what an object holds can be drawn again from a kept picture: its content is told by
// its state alone, summed up in a fingerprint that changes whenever the picture could.

#include "engine/display/Timeline.h"

#include <cstdint>
#include <optional>

namespace kinovex::flash {

// A fingerprint of everything inside `obj` that drawing it depends on: its character, and for
// a clip the characters, matrices, colours, ratios and masks of all it holds, through every
// level (`obj`'s own matrix, colours and filters are not part of it). None when it holds
// something whose look may change while that state stays the same, or that a fingerprint does
// not follow: text fields, buttons, video, script drawings, masks set by scripts, and objects
// with filters or blend modes of their own.
std::optional<std::uint64_t> contentFingerprint(const DisplayObject& obj);

// True when everything inside `obj` is drawn within the bounds its definitions give: shapes,
// morph shapes, bitmaps and clips holding only those. Text is not (a device font may be wider
// than the box the movie gives), nor are buttons, video or script drawings.
bool drawnWithinBounds(const DisplayObject& obj);

} // namespace kinovex::flash
