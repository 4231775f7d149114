#pragma once
// What scripts ask of clips on the display list, in the player's own terms (twips, matrices,
// depths): nothing here takes script values, so any script machine can use it.

#include "engine/display/Timeline.h"

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
// The clip's matrix to the stage, in twips.
Matrix stageMatrix(const TimelineInstance& clip);

} // namespace kinovex::flash
