#pragma once
// Boxes around what objects on the display list show, in twips: what scripts measure
// (getBounds, _width, hitTest) and how far the renderer's layers must reach.

#include "engine/definitions/ShapeGeometry.h"
#include "engine/display/Timeline.h"

#include <optional>

namespace kinovex::flash {

// The box around `r` mapped by `m`, in whole twips.
Rect transformRect(const Matrix& m, const Rect& r);
// An empty box is all zero.
bool isEmpty(const Rect& r);
// Makes `into` the box around itself and `r`; the first box united (`any` false) replaces it.
void unite(Rect& into, const Rect& r, bool& any);

// Bounds of a clip's content in its own coordinates, in twips (empty: all zero).
Rect localBounds(const TimelineInstance& clip);
Rect listBounds(const DisplayList& list);
// Bounds of what one object shows, in its own coordinates (before its matrix); none for an
// object that shows nothing measurable (no character, an unplaced clip, an empty one).
std::optional<Rect> contentBounds(const DisplayObject& obj);
} // namespace kinovex::flash
