// What the player tells a host about a movie coming to rest (timelines, clips, sound, script
// timers), and the buttons it shows with their names and text.

#include "engine/Player.h"

#include "Actions.h"
#include "Button.h"
#include "FlashTestUtil.h"
#include "Font.h"
#include "Sound.h"
#include "SwfWriter.h"

#include <gtest/gtest.h>

#include <functional>

namespace kinovex::flash {
namespace {

using swf::Actions;
using swf::Int;
namespace op = swf::op;

void DoAction(swf::Timeline& timeline, const Actions& a) {
    timeline.rawTag(swf::tag::DoAction, a.bytes());
}

// `frames` empty frames, a stop() on frame `stopOn` (1-based; 0: none).
void Frames(swf::Timeline& timeline, int frames, int stopOn = 0) {
    for (int f = 1; f <= frames; ++f) {
        if (f == stopOn) {
            DoAction(timeline, Actions().op(op::Stop));
        }
        timeline.showFrame();
    }
}

swf::SwfWriter MainOf(int frames, int stopOn) {
    swf::SwfWriter movie(40, 30, 12);
    Frames(movie, frames, stopOn);
    return movie;
}

// One frame on the main timeline holding a clip of `frames` frames.
swf::SwfWriter ClipOf(int frames, int stopOn) {
    swf::SwfWriter movie(40, 30, 12);
    swf::Sprite clip;
    clip.place(1, test::defineRect(movie, 0, 0, 4, 4, 0xff0000));
    Frames(clip, frames, stopOn);
    movie.place(1, movie.defineSprite(clip));
    movie.showFrame();
    return movie;
}

// One frame on the main timeline holding a clip of 6 frames whose third sends it back to its
// first.
swf::SwfWriter ClipLoopingByScript() {
    swf::SwfWriter movie(40, 30, 12);
    swf::Sprite clip;
    clip.place(1, test::defineRect(movie, 0, 0, 4, 4, 0xff0000));
    for (int f = 1; f <= 6; ++f) {
        if (f == 3) {
            DoAction(clip, Actions().gotoFrame(0).op(op::Play));
        }
        clip.showFrame();
    }
    movie.place(1, movie.defineSprite(clip));
    movie.showFrame();
    return movie;
}

// Ten frames with a half-second tone started on the first.
swf::SwfWriter ToneOf(std::optional<std::uint16_t> loops = {}) {
    swf::SwfWriter movie(40, 30, 12);
    const auto tone = std::vector<std::int16_t>(44100, 1000); // 22050 stereo pairs
    swf::SoundInfoSpec info;
    info.loops = loops;
    swf::StartSound(movie,
                    swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 3, true, true}, 22050,
                                     swf::Pcm16Bytes(tone)),
                    info);
    Frames(movie, 10);
    return movie;
}

// One frame that sets a timer of `periodMs` and stops.
swf::SwfWriter TimerOf(int periodMs) {
    swf::SwfWriter movie(40, 30, 12);
    Actions a;
    a.push(Int{periodMs}).defineFunction("", {}, Actions()).call("setInterval", 2).op(op::Pop);
    a.op(op::Stop);
    DoAction(movie, a);
    movie.showFrame();
    return movie;
}

TEST(PlayerActivity, TellsWhatIsStillGoingOnAfterEachFrame) {
    struct Case {
        const char* what;
        std::function<swf::SwfWriter()> movie;
        int frames; // frames advanced after the first
        std::function<bool(const Activity&)> holds;
    };
    const std::vector<Case> cases = {
        {"main playing", [] { return MainOf(10, 0); }, 3,
         [](const Activity& a) { return a.mainPlaying && !a.mainSettled(); }},
        {"main stopped", [] { return MainOf(10, 3); }, 5,
         [](const Activity& a) { return !a.mainPlaying && a.mainSettled(); }},
        {"main at its last frame", [] { return MainOf(4, 0); }, 3,
         [](const Activity& a) { return a.mainPlaying && a.mainShownLastFrame; }},
        {"main gone round", [] { return MainOf(4, 0); }, 5,
         [](const Activity& a) { return a.mainShownLastFrame && a.mainSettled(); }},
        {"a one-frame main", [] { return MainOf(1, 0); }, 0,
         [](const Activity& a) { return a.mainSettled(); }},
        {"clip playing", [] { return ClipOf(6, 0); }, 3,
         [](const Activity& a) { return a.mainSettled() && !a.clipsSettled; }},
        {"clip stopped", [] { return ClipOf(6, 2); }, 3,
         [](const Activity& a) { return a.clipsSettled; }},
        {"clip looping after its last frame", [] { return ClipOf(6, 0); }, 8,
         [](const Activity& a) { return a.clipsSettled; }},
        {"clip not yet sent back", ClipLoopingByScript, 1,
         [](const Activity& a) { return !a.clipsSettled; }},
        {"clip sent back by its script", ClipLoopingByScript, 2,
         [](const Activity& a) { return a.clipsSettled; }},
        {"tone playing", [] { return ToneOf(); }, 4,
         [](const Activity& a) { return a.soundPlaying; }},
        {"tone over", [] { return ToneOf(); }, 8,
         [](const Activity& a) { return !a.soundPlaying; }},
        {"looping tone in its first round", [] { return ToneOf(100); }, 4,
         [](const Activity& a) { return a.soundPlaying; }},
        // A background loop holds nothing once it went round, as a looping clip.
        {"looping tone gone round", [] { return ToneOf(100); }, 8,
         [](const Activity& a) { return !a.soundPlaying; }},
        {"no timer", [] { return MainOf(2, 1); }, 1,
         [](const Activity& a) { return !a.nextTimerMs && a.loadsPending == 0; }},
        // Set at 0 ms for 2000 ms; 6 frames later the clock stands at 500 ms.
        {"timer due", [] { return TimerOf(2000); }, 6,
         [](const Activity& a) { return a.nextTimerMs && *a.nextTimerMs == 1500; }},
    };
    for (const Case& c : cases) {
        Player player;
        ASSERT_TRUE(test::load(player, c.movie()).ok) << c.what;
        for (int i = 0; i < c.frames; ++i) {
            player.nextFrame();
        }
        EXPECT_TRUE(c.holds(player.activity())) << c.what;
    }
}

// A font whose glyphs are all one box, for the letters `letters`.
swf::Font BoxFont(const std::string& letters) {
    swf::Font font;
    for (char c : letters) {
        swf::Glyph g;
        g.code = static_cast<std::uint16_t>(c);
        g.shape.fill0(1)
            .moveToTwips(0, -700)
            .lineToTwips(500, -700)
            .lineToTwips(500, 0)
            .lineToTwips(0, 0)
            .lineToTwips(0, -700);
        g.advance = 600;
        font.glyphs.push_back(g);
    }
    return font;
}

TEST(PlayerActivity, ButtonsOnStageComeWithTheirNamesAndText) {
    swf::SwfWriter movie(200, 100, 12);
    const swf::Font font = BoxFont("GOPLAY");
    const std::uint16_t fontId = movie.defineFont(font);
    const std::uint16_t label =
        movie.defineText({swf::TextRun::layout(font, fontId, "GO", 12, swf::Rgb(0x000000), 2, 14)},
                         swf::Rect::pixels(0, 0, 40, 20));
    const std::uint16_t face = test::defineRect(movie, 0, 0, 40, 20, 0x808080);
    const std::uint16_t named = swf::DefineButton2(
        movie, {swf::ButtonRecordSpec(swf::ButtonLook::Up | swf::ButtonLook::Hit, face)});
    const std::uint16_t lettered = swf::DefineButton2(
        movie, {swf::ButtonRecordSpec(swf::ButtonLook::Up | swf::ButtonLook::Hit, face, 1),
                swf::ButtonRecordSpec(swf::ButtonLook::Up, label, 2)});
    swf::Place first;
    first.depth = 1;
    first.character = named;
    first.name = "play_btn";
    first.matrix = swf::Matrix::translate(10, 10);
    movie.place(first);
    movie.place(2, lettered, swf::Matrix::translate(100, 50));
    movie.showFrame();
    Player player;
    ASSERT_TRUE(test::load(player, movie).ok);
    const std::vector<StageButton> buttons = player.buttonsOnStage();
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(buttons[0].name, "play_btn");
    EXPECT_EQ(buttons[0].text, "");
    EXPECT_DOUBLE_EQ(buttons[0].centre.x, 30);
    EXPECT_DOUBLE_EQ(buttons[0].centre.y, 20);
    EXPECT_EQ(buttons[1].name, "");
    EXPECT_EQ(buttons[1].text, "GO ");
    EXPECT_DOUBLE_EQ(buttons[1].centre.x, 120);
    EXPECT_DOUBLE_EQ(buttons[1].centre.y, 60);
}

} // namespace
} // namespace kinovex::flash
