#pragma once
// What scripts ask of clips on the display list, in the player's own terms (twips, matrices,
// depths): nothing here takes script values, so any script machine can use it.

#include "engine/definitions/ShapeGeometry.h"
#include "engine/display/Bounds.h"
#include "engine/display/Timeline.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kinovex::flash {

// The clip's matrix to the stage, in twips.
Matrix stageMatrix(const TimelineInstance& clip);

// A box in twips, as a matrix maps a rectangle (not rounded).
struct Box {
    double xMin, yMin, xMax, yMax;
};
Box boxOf(const Matrix& m, const Rect& r);
// The matrix from `clip`'s coordinates to `target`'s; to the stage's when `target` is scaled to
// nothing.
Matrix matrixBetween(const TimelineInstance& clip, const TimelineInstance& target);
// getBounds: the box around the clip's content mapped by `toTarget`; none for an empty clip.
std::optional<Box> boundsIn(const TimelineInstance& clip, const Matrix& toTarget);
// hitTest: the box around the clip's content on the stage (none for an empty clip, which hits
// nothing), and whether two boxes overlap or a box holds a point.
std::optional<Box> stageBox(const TimelineInstance& clip);
bool overlap(const Box& a, const Box& b);
bool contains(const Box& box, Point p);
// localToGlobal and globalToLocal, in twips; no point on a clip scaled to nothing.
Point clipToStage(const TimelineInstance& clip, Point local);
std::optional<Point> stageToClip(const TimelineInstance& clip, Point stage);

// attachMovie and createEmptyMovieClip: a sprite placed by a script at `depth` (as the list
// keeps depths); null when the character is not a sprite.
TimelineInstance* attachSprite(TimelineInstance& parent, const Character& character,
                               std::string name, std::int32_t depth);
// The script depth one above the highest one used on the clip's list (0 on an empty list).
std::int64_t nextHighestDepth(const TimelineInstance& clip);
// The clip at `depth` on the clip's list; null when there is none or it is not a clip.
TimelineInstance* clipAtDepth(TimelineInstance& clip, std::int32_t depth);
// setMask: `mask` masks `clip` (null: nothing does). Each clip masks one clip at most and is
// masked by one at most: old pairs are undone.
void setMask(TimelineInstance& clip, TimelineInstance* mask);
// What stands at depths `a` and `b` on `parent` changes places. Both count as moved by a script:
// the timeline's moves at their old depths are not about them.
void swapDepths(TimelineInstance& parent, std::int32_t a, std::int32_t b);

} // namespace kinovex::flash
