// A movie clip's scenes as ActionScript 3 sees them: the scene tag read, each scene reaching to
// the next, and the frame a goto names, by number from its scene's start or by label.

#include "engine/avm2/ClipScenes.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace kinovex::flash::avm2 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::int64_t kLast = std::numeric_limits<std::int64_t>::max();

// Scenes at 0, 5 and 8 of 10 frames; labels "a" (frame 3), "2" (6) and "b" (9, and 2 again).
std::vector<std::uint8_t> sceneTag() {
    return {3, 0, 'S', '1', 0, 5,   'S', '2', 0,   8, 'S', '3', 0,
            4, 3, 'a', 0,   6, '2', 0,   9,   'b', 0, 2,   'b', 0};
}

TEST(ClipScenes, ReadsTheSceneTagAndEndsEachSceneAtTheNext) {
    SceneData data;
    ASSERT_TRUE(parseSceneData(sceneTag(), data));
    ASSERT_EQ(data.labels.size(), 4u);
    EXPECT_EQ(data.labels[3].frame, 2u);
    EXPECT_EQ(data.labels[3].name, "b");
    const std::vector<ClipScene> scenes = scenesOf(data.scenes, 10);
    ASSERT_EQ(scenes.size(), 3u);
    const std::tuple<std::uint32_t, const char*, std::uint32_t, std::uint32_t> rows[] = {
        {0, "S1", 0, 5}, {4, "S1", 0, 5}, {5, "S2", 5, 3}, {7, "S2", 5, 3}, {9, "S3", 8, 2},
    };
    for (const auto& [frame, name, start, length] : rows) {
        const ClipScene& at = sceneAt(scenes, frame);
        EXPECT_EQ(at.name, name) << frame;
        EXPECT_EQ(at.start, start) << frame;
        EXPECT_EQ(at.length, length) << frame;
    }
    // Cut short: nothing is kept.
    std::vector<std::uint8_t> cut = sceneTag();
    cut.resize(12);
    SceneData damaged;
    EXPECT_FALSE(parseSceneData(cut, damaged));
    EXPECT_TRUE(damaged.scenes.empty());
    // A timeline without the tag is one nameless scene of all its frames.
    const std::vector<ClipScene> one = scenesOf({}, 7);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].name, "");
    EXPECT_EQ(one[0].length, 7u);
}

TEST(ClipScenes, GotoTakesWholeNumbersAsFramesOfTheSceneAndTheRestAsLabels) {
    SceneData data;
    ASSERT_TRUE(parseSceneData(sceneTag(), data));
    const std::vector<ClipScene> scenes = scenesOf(data.scenes, 10);
    struct Row {
        double number;
        const char* text;
        std::size_t scene;
        bool sceneNamed;
        std::optional<std::int64_t> frame;
    };
    const Row rows[] = {
        {3, "", 0, false, 2},
        {2, "", 1, false, 6}, // counted from the scene's start
        {2, "2", 2, true, 9}, // text that reads as a number is one, though a label has its name
        {2.1, "2.1", 0, false, std::nullopt}, // a part of a frame is a label's name
        {kNaN, "a", 1, false, 3},             // labels are looked for in the whole clip
        {kNaN, "a", 1, true, std::nullopt},   // or only in the scene named
        {kNaN, "b", 2, true, 9},              // the first of its name in that scene
        {kNaN, "b", 0, false, 2},             // the first in frame order otherwise
        {kNaN, "A", 0, false, std::nullopt},  // names match exactly
        {-2147483647.0, "", 0, false, -2147483648LL},
        {-2147483648.0, "", 0, false, kLast},
        {4294967298.0, "", 0, false, kLast},
    };
    std::vector<FrameLabelDef> labels = data.labels;
    std::stable_sort(
        labels.begin(), labels.end(),
        [](const FrameLabelDef& a, const FrameLabelDef& b) { return a.frame < b.frame; });
    for (const Row& r : rows) {
        EXPECT_EQ(gotoFrameIndex(r.number, r.text, labels, scenes[r.scene], r.sceneNamed), r.frame)
            << r.number << " " << r.text << " in scene " << r.scene;
    }
}

} // namespace
} // namespace kinovex::flash::avm2
