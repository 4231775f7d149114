#pragma once
// The scenes of a movie clip as ActionScript 3 sees them: the main timeline's come from the
// movie's scene tag, every other timeline is one nameless scene.

#include "engine/definitions/AbcBlocks.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kinovex::flash::avm2 {

struct ClipScene {
    std::string name;
    std::uint32_t start = 0; // 0-based frame of the timeline
    std::uint32_t length = 0;
};

// The scenes of a timeline of `frameCount` frames: each given one reaches to the next one's
// start (the last to the end); without any, one nameless scene holds every frame.
std::vector<ClipScene> scenesOf(const std::vector<SceneDef>& given, std::uint32_t frameCount);
// The scene `frame` lies in: the last one starting at or before it (the first when none does).
const ClipScene& sceneAt(const std::vector<ClipScene>& scenes, std::uint32_t frame);
const ClipScene& sceneAt(std::vector<ClipScene>&& scenes, std::uint32_t frame) = delete;

// The frame (0-based) a goto names in `scene`, before it is kept within the clip. `number` is
// the argument as a number (NaN when it reads as none), `text` as text. A whole number is a
// frame counted from the scene's start (one past the 32-bit range: the last frame, INT64_MAX);
// anything else is a label, looked for in the whole clip, or only in `scene` when `sceneNamed`.
// None for a label that is not there.
std::optional<std::int64_t> gotoFrameIndex(double number, const std::string& text,
                                           const std::vector<FrameLabelDef>& labels,
                                           const ClipScene& scene, bool sceneNamed);

} // namespace kinovex::flash::avm2
