// Buttons through the player: how they are read, how they look under the pointer, the sounds
// they make and the scripts they run.

#include "Actions.h"
#include "Button.h"
#include "FlashTestUtil.h"
#include "SoundTestUtil.h"
#include "engine/definitions/Movie.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kinovex::flash {
namespace {

namespace look = swf::ButtonLook;
namespace cond = swf::ButtonCond;

TEST(ButtonPlayer, ReadsRecordsConditionsCxformAndSounds) {
    swf::SwfWriter movie(100, 100, 12);
    const auto box = test::defineRect(movie, 0, 0, 10, 10, 0xff0000);
    const auto tone = test::Tone(440, 44100, 0.01);
    const auto sound =
        swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 3, true, false},
                         static_cast<std::uint32_t>(tone.size()), swf::Pcm16Bytes(tone));
    swf::ButtonRecordSpec styled(look::Over | look::Down, box, 3, swf::Matrix::translate(5, 0));
    styled.colorTransform = swf::ColorTransform::alpha(0.5);
    styled.blendMode = swf::BlendMode::Multiply;
    styled.filters = std::vector<swf::Filter>{swf::BlurFilter{}};
    const auto two = swf::DefineButton2(movie, {{look::Up | look::Hit, box}, styled},
                                        {{cond::OverDownToOverUp | cond::OutDownToIdle, 0,
                                          swf::Actions().op(swf::op::Play).bytes()},
                                         {0, 19, swf::Actions().op(swf::op::Stop).bytes()}},
                                        true);
    const auto one = swf::DefineButton(movie, {{look::Up | look::Hit, box}},
                                       swf::Actions().op(swf::op::Stop).bytes());
    swf::DefineButtonCxform(movie, one, swf::ColorTransform::tint(0.5, 1, 1));
    swf::SoundInfoSpec loops;
    loops.loops = 3;
    swf::DefineButtonSound(movie, two, {swf::ButtonSoundSpec{}, {sound, loops}, {sound, {}}, {}});
    movie.showFrame();

    const std::vector<std::uint8_t> bytes = movie.finish();
    Log log;
    Movie m;
    ASSERT_TRUE(m.load(bytes, log).ok);
    EXPECT_TRUE(log.entries().empty());
    const auto* b2 = m.characterAs<Button>(two, Character::Kind::Button);
    ASSERT_NE(b2, nullptr);
    EXPECT_TRUE(b2->trackAsMenu);
    ASSERT_EQ(b2->records.size(), 2u);
    const ButtonRecord& r = b2->records[1];
    EXPECT_EQ(r.looks, ButtonLookOver | ButtonLookDown);
    EXPECT_EQ(r.depth, 3);
    EXPECT_DOUBLE_EQ(r.matrix.tx, 100);
    EXPECT_DOUBLE_EQ(r.colorTransform.aMult, 0.5);
    EXPECT_EQ(r.blendMode, BlendMode::Multiply);
    ASSERT_EQ(r.filters.size(), 1u);
    EXPECT_EQ(r.filters[0].type, Filter::Type::Blur);
    ASSERT_EQ(b2->actions.size(), 2u);
    EXPECT_EQ(b2->actions[0].conditions, ButtonOverDownToOverUp | ButtonOutDownToIdle);
    EXPECT_EQ(b2->actions[0].keyCode, 0);
    EXPECT_EQ(*b2->actions[0].code, swf::Actions().op(swf::op::Play).bytes());
    EXPECT_EQ(b2->actions[1].conditions, 0);
    EXPECT_EQ(b2->actions[1].keyCode, 19);
    EXPECT_EQ(b2->sounds[0].soundId, 0);
    EXPECT_EQ(b2->sounds[1].soundId, sound);
    EXPECT_EQ(b2->sounds[1].info.loopCount, 3);
    EXPECT_EQ(b2->sounds[2].soundId, sound);
    EXPECT_EQ(b2->sounds[3].soundId, 0);

    const auto* b1 = m.characterAs<Button>(one, Character::Kind::Button);
    ASSERT_NE(b1, nullptr);
    ASSERT_EQ(b1->records.size(), 1u);
    EXPECT_DOUBLE_EQ(b1->records[0].colorTransform.rMult, 0.5);
    ASSERT_EQ(b1->actions.size(), 1u);
    EXPECT_EQ(b1->actions[0].conditions, ButtonOverDownToOverUp) << "DefineButton: on release";
    EXPECT_EQ(*b1->actions[0].code, swf::Actions().op(swf::op::Stop).bytes());
}

TEST(ButtonPlayer, DamagedButtonTagsAreReportedNotTrusted) {
    swf::SwfWriter movie(100, 100, 12);
    const auto box = test::defineRect(movie, 0, 0, 10, 10, 0xff0000);
    // An action offset far past the end, a sound for a button that does not exist, and a
    // condition list whose size runs past the tag.
    const std::uint16_t bad = movie.takeId();
    movie.rawTag(swf::tag::DefineButton2, {static_cast<std::uint8_t>(bad), 0, 0, 0xff, 0x7f, 0});
    movie.rawTag(swf::tag::DefineButtonSound, {0x34, 0x12, 0, 0, 0, 0, 0, 0, 0, 0});
    const std::uint16_t runs = movie.takeId();
    movie.rawTag(swf::tag::DefineButton2,
                 {static_cast<std::uint8_t>(runs), 0, 0, 3, 0, 0, 0x40, 0, 0x08, 0, 0x07});
    const auto good = swf::DefineButton2(movie, {{look::Up | look::Hit, box}});
    movie.place(1, good);
    movie.showFrame();
    const std::vector<std::uint8_t> bytes = movie.finish();
    Log log;
    Movie m;
    ASSERT_TRUE(m.load(bytes, log).ok);
    EXPECT_EQ(log.entries().size(), 3u);
    EXPECT_EQ(m.character(bad), nullptr);
    EXPECT_EQ(m.character(runs), nullptr);
    EXPECT_NE(m.character(good), nullptr);
}

// A button at (20, 20), 40 x 40: red up, green over, blue down; its hit area is only the right
// half of what it draws (and reaches 10 pixels beyond it).
struct LookMovie {
    LookMovie() : movie(100, 100, 12) {
        const auto red = test::defineRect(movie, 0, 0, 40, 40, 0xff0000);
        const auto green = test::defineRect(movie, 0, 0, 40, 40, 0x00ff00);
        const auto blue = test::defineRect(movie, 0, 0, 40, 40, 0x0000ff);
        const auto area = test::defineRect(movie, 20, 0, 30, 40, 0);
        button = swf::DefineButton2(
            movie, {{look::Up, red}, {look::Over, green}, {look::Down, blue}, {look::Hit, area}});
    }
    swf::SwfWriter movie;
    std::uint16_t button = 0;
};

std::uint32_t PixelAt(Player& player, int x, int y) {
    return test::rgb(test::render(player).at(x, y));
}

TEST(ButtonPlayer, LooksFollowThePointerOverTheHitAreaNotTheDrawing) {
    LookMovie m;
    m.movie.place(1, m.button, swf::Matrix::translate(20, 20));
    m.movie.showFrame();
    Player player;
    ASSERT_TRUE(test::load(player, m.movie).ok);
    EXPECT_EQ(PixelAt(player, 30, 40), 0xff0000u);

    player.mouseMove({25, 40}); // on the drawing's left half: not part of the hit area
    EXPECT_EQ(PixelAt(player, 30, 40), 0xff0000u);
    EXPECT_FALSE(player.wantsHandCursor());
    player.mouseMove({65, 40}); // beyond the drawing but inside the hit area
    EXPECT_EQ(PixelAt(player, 30, 40), 0x00ff00u);
    EXPECT_TRUE(player.wantsHandCursor());
    player.mouseDown({65, 40});
    EXPECT_EQ(PixelAt(player, 30, 40), 0x0000ffu);
    player.mouseMove({90, 90}); // dragged off: the over look
    EXPECT_EQ(PixelAt(player, 30, 40), 0x00ff00u);
    player.mouseUp({90, 90}); // released outside: up again
    EXPECT_EQ(PixelAt(player, 30, 40), 0xff0000u);

    const auto centre = player.firstButtonCentre();
    ASSERT_TRUE(centre.has_value());
    EXPECT_DOUBLE_EQ(centre->x, 20 + 35);
    EXPECT_DOUBLE_EQ(centre->y, 20 + 20);
}

TEST(ButtonPlayer, AButtonInAMovedScaledSpriteAndUnderAMask) {
    LookMovie m;
    swf::Sprite clip;
    clip.place(1, m.button);
    const auto clipId = m.movie.defineSprite(clip);
    const auto maskShape = test::defineRect(m.movie, 0, 0, 100, 50, 0);
    // The sprite halves the button and puts it at (10, 10): hit area (20..35, 10..30).
    swf::Place mask;
    mask.depth = 1;
    mask.character = maskShape;
    mask.clipDepth = 2;
    m.movie.place(mask); // the lower half of the stage is masked off
    m.movie.place(2, clipId, swf::Matrix::scale(0.5, 0.5, 10, 10));
    m.movie.showFrame();
    Player player;
    ASSERT_TRUE(test::load(player, m.movie).ok);
    player.mouseMove({15, 20}); // the drawing only
    EXPECT_EQ(PixelAt(player, 15, 20), 0xff0000u);
    player.mouseMove({34, 20});
    EXPECT_EQ(PixelAt(player, 15, 20), 0x00ff00u);
    player.mouseMove({36, 20}); // just beyond the scaled hit area
    EXPECT_EQ(PixelAt(player, 15, 20), 0xff0000u);
}

TEST(ButtonPlayer, TheMaskHidesAButtonFromTheMouse) {
    LookMovie m;
    const auto maskShape = test::defineRect(m.movie, 0, 0, 100, 50, 0);
    swf::Place mask;
    mask.depth = 1;
    mask.character = maskShape;
    mask.clipDepth = 2;
    m.movie.place(mask);
    m.movie.place(2, m.button, swf::Matrix::translate(20, 20)); // hit area y 20..60
    m.movie.showFrame();
    Player player;
    ASSERT_TRUE(test::load(player, m.movie).ok);
    player.mouseMove({60, 55}); // inside the hit area, below the mask
    EXPECT_FALSE(player.wantsHandCursor());
    player.mouseMove({60, 45});
    EXPECT_TRUE(player.wantsHandCursor());
    EXPECT_EQ(PixelAt(player, 45, 30), 0x00ff00u);
}

TEST(ButtonPlayer, SoundsOfTransitionsReachTheMixer) {
    swf::SwfWriter movie(100, 100, 10);
    const auto box = test::defineRect(movie, 0, 0, 40, 40, 0xff0000);
    auto defineTone = [&](double hz) {
        const auto tone = test::Tone(hz, 44100, 0.05);
        return swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 3, true, false},
                                static_cast<std::uint32_t>(tone.size()), swf::Pcm16Bytes(tone));
    };
    const auto over = defineTone(1000);
    const auto press = defineTone(3000);
    const auto button = swf::DefineButton2(movie, {{look::Up | look::Hit, box}});
    swf::DefineButtonSound(movie, button, {swf::ButtonSoundSpec{}, {over, {}}, {press, {}}, {}});
    movie.place(1, button);
    movie.showFrame();
    movie.showFrame();
    Player player;
    ASSERT_TRUE(test::load(player, movie).ok);
    std::vector<std::int16_t> pcm;
    player.takeSound(pcm);
    pcm.clear();

    player.nextFrame();
    player.takeSound(pcm);
    EXPECT_EQ(test::Rms(pcm, 0, 4410), 0.0) << "nothing sounds before the pointer comes";
    pcm.clear();
    player.mouseMove({10, 10});
    player.nextFrame();
    player.takeSound(pcm);
    EXPECT_NEAR(test::Frequency(pcm, 0, 2000), 1000.0, 30.0);
    pcm.clear();
    player.mouseDown({10, 10});
    player.nextFrame();
    player.takeSound(pcm);
    EXPECT_NEAR(test::Frequency(pcm, 0, 2000), 3000.0, 60.0);
}

// A button inside a button has no state of its own: it shows its up look, whose sprites stay on
// their first frame and run no scripts, while a sprite in the outer button's own look plays.
TEST(ButtonPlayer, AButtonInsideAButtonShowsItsSpritesFirstFrame) {
    swf::SwfWriter movie(100, 50, 12, {6, false});
    swf::Sprite colours;
    const std::uint32_t shades[] = {0xff0000, 0x0000ff, 0x00ff00};
    for (const std::uint32_t shade : shades) {
        colours.place(1, test::defineRect(movie, 0, 0, 40, 40, shade));
        colours.rawTag(swf::tag::DoAction, swf::Actions().trace("colours").bytes());
        colours.showFrame();
        colours.remove(1);
    }
    const auto sprite = movie.defineSprite(colours);
    const auto box = test::defineRect(movie, 0, 0, 40, 40, 0);
    const auto inner = swf::DefineButton2(movie, {{look::Up | look::Hit, sprite}});
    const auto all = look::Up | look::Over | look::Down;
    const auto outer = swf::DefineButton2(
        movie,
        {{all, inner, 1}, {all, sprite, 2, swf::Matrix::translate(50, 0)}, {look::Hit, box}});
    movie.place(1, outer, swf::Matrix::translate(5, 5));
    movie.showFrame();
    Player player;
    std::vector<std::string> lines;
    player.setTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    ASSERT_TRUE(test::load(player, movie).ok);
    EXPECT_EQ(PixelAt(player, 20, 20), 0xff0000u);
    EXPECT_EQ(PixelAt(player, 70, 20), 0xff0000u);
    player.nextFrame();
    EXPECT_EQ(PixelAt(player, 20, 20), 0xff0000u);
    EXPECT_EQ(PixelAt(player, 70, 20), 0x0000ffu);
    player.mouseMove({20, 20}); // the over look holds the same records
    player.nextFrame();
    EXPECT_EQ(PixelAt(player, 20, 20), 0xff0000u);
    EXPECT_EQ(PixelAt(player, 70, 20), 0x00ff00u);
    EXPECT_EQ(lines, (std::vector<std::string>{"colours", "colours", "colours"}));
}

// Frame 1 stops; the button's release list traces and plays on to frame 2, which traces.
TEST(ButtonPlayer, ReleaseActionsRunThroughTheScriptsOnTheButtonsTimeline) {
    swf::SwfWriter movie(100, 100, 12, {6, false});
    const auto box = test::defineRect(movie, 0, 0, 40, 40, 0xff0000);
    const auto button = swf::DefineButton2(
        movie, {{look::Up | look::Hit, box}},
        {{cond::OverUpToOverDown, 0, swf::Actions().trace("pressed").bytes()},
         {cond::OverDownToOverUp, 0, swf::Actions().trace("released").op(swf::op::Play).bytes()},
         {0, 13, swf::Actions().trace("enter").bytes()}});
    const auto classic = swf::DefineButton(movie, {{look::Up | look::Hit, box}},
                                           swf::Actions().trace("classic").bytes());
    movie.place(1, button);
    movie.place(2, classic, swf::Matrix::translate(50, 50));
    movie.rawTag(swf::tag::DoAction, swf::Actions().op(swf::op::Stop).bytes());
    movie.showFrame();
    movie.rawTag(swf::tag::DoAction, swf::Actions().trace("frame 2").op(swf::op::Stop).bytes());
    movie.showFrame();
    Player player;
    std::vector<std::string> lines;
    player.setTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    ASSERT_TRUE(test::load(player, movie).ok);
    player.nextFrame();
    EXPECT_EQ(player.currentFrame(), 1u);

    player.keyDown(13, 13);
    player.mouseDown({10, 10});
    player.mouseUp({10, 10});
    player.mouseDown({60, 60});
    player.mouseUp({60, 60});
    EXPECT_EQ(lines, (std::vector<std::string>{"enter", "pressed", "released", "classic"}));
    player.nextFrame();
    EXPECT_EQ(player.currentFrame(), 2u);
    EXPECT_EQ(lines.back(), "frame 2");
}

} // namespace
} // namespace kinovex::flash
