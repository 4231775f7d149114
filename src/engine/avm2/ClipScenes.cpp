#include "engine/avm2/ClipScenes.h"

#include <cmath>
#include <limits>

namespace kinovex::flash::avm2 {

std::vector<ClipScene> scenesOf(const std::vector<SceneDef>& given, std::uint32_t frameCount) {
    std::vector<ClipScene> out;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const std::uint32_t end = i + 1 < given.size() ? given[i + 1].start : frameCount;
        const std::uint32_t start = given[i].start;
        out.push_back({given[i].name, start, end > start ? end - start : 0});
    }
    if (out.empty()) {
        out.push_back({"", 0, frameCount});
    }
    return out;
}

const ClipScene& sceneAt(const std::vector<ClipScene>& scenes, std::uint32_t frame) {
    const ClipScene* at = &scenes.front();
    for (const ClipScene& s : scenes) {
        if (s.start <= frame) {
            at = &s;
        }
    }
    return *at;
}

std::optional<std::int64_t> gotoFrameIndex(double number, const std::string& text,
                                           const std::vector<FrameLabelDef>& labels,
                                           const ClipScene& scene, bool sceneNamed) {
    if (std::trunc(number) == number) {
        const double d = number - 1;
        return d >= -2147483648.0 && d <= 2147483647.0 ? static_cast<std::int64_t>(d) + scene.start
                                                       : std::numeric_limits<std::int64_t>::max();
    }
    for (const FrameLabelDef& l : labels) {
        const bool inScene = l.frame >= scene.start && l.frame - scene.start < scene.length;
        if (l.name == text && (!sceneNamed || inScene)) {
            return l.frame;
        }
    }
    return std::nullopt;
}

} // namespace kinovex::flash::avm2
