// The movie's sound through the player: the frames it shows make the sound of their tags.

#include "FlashTestUtil.h"
#include "SoundTestUtil.h"

#include <gtest/gtest.h>

namespace kinovex::flash {
namespace {

using test::Frequency;
using test::Rms;

std::uint16_t DefineTone(swf::SwfWriter& movie, double hz, double seconds) {
    const auto tone = test::Tone(hz, 44100, seconds);
    return swf::DefineSound(movie, {swf::SoundCodec::PcmLittle, 3, true, false},
                            static_cast<std::uint32_t>(tone.size()), swf::Pcm16Bytes(tone));
}

TEST(SoundPlayer, FramesMakeTheirSoundExactlyAndInOrder) {
    swf::SwfWriter movie(100, 100, 29.97);
    const auto id = DefineTone(movie, 1000, 0.05);
    movie.showFrame();
    swf::StartSound(movie, id);
    for (int n = 0; n < 9; ++n) {
        movie.showFrame();
    }
    Player player;
    ASSERT_TRUE(test::load(player, movie).ok);
    std::vector<std::int16_t> pcm;
    player.takeSound(pcm);
    const std::size_t frame0 = pcm.size() / 2;
    EXPECT_EQ(frame0, 1471u) << "the first frame's share at 29.96875 fps";
    EXPECT_EQ(Rms(pcm, 0, frame0), 0.0);
    player.nextFrame(); // frame 2 starts the tone
    player.takeSound(pcm);
    EXPECT_GT(Rms(pcm, frame0, 1000), 7000.0);
    // Frames by the clock and one by one: 200 frames' worth of sound in all, exactly.
    const int byClock = player.advance(3000);
    EXPECT_EQ(byClock, 89);
    for (int n = 2 + byClock; n < 200; ++n) {
        player.nextFrame();
    }
    player.takeSound(pcm);
    EXPECT_EQ(pcm.size() / 2, std::size_t{200} * 44100 * 256 / 7672);
}

TEST(SoundPlayer, AJumpPlaysOnlyTheFrameItLandsOnAndSpritesSoundToo) {
    swf::SwfWriter movie(100, 100, 10);
    const auto low = DefineTone(movie, 500, 0.05);
    const auto high = DefineTone(movie, 2000, 0.05);
    swf::Sprite clip;
    swf::StartSound(clip, high);
    clip.showFrame();
    clip.showFrame();
    const auto clipId = movie.defineSprite(clip);
    movie.showFrame();           // frame 1: silent
    swf::StartSound(movie, low); // frame 2: low, passed over by the jump
    movie.showFrame();
    movie.place(1, clipId); // frame 3: the clip's own sound
    movie.showFrame();
    movie.showFrame();
    Player player;
    ASSERT_TRUE(test::load(player, movie).ok);
    std::vector<std::int16_t> pcm;
    player.takeSound(pcm);
    pcm.clear();
    player.gotoFrame(3);
    player.nextFrame(); // frame 4: what sounds now is only the clip's tone from frame 3
    player.takeSound(pcm);
    ASSERT_EQ(pcm.size() / 2, 4410u);
    EXPECT_NEAR(Frequency(pcm, 0, 2000), 2000.0, 30.0);
}

TEST(SoundPlayer, WithoutTakingTheSoundOnlyTheLastSecondsAreKept) {
    swf::SwfWriter movie(100, 100, 120);
    movie.showFrame();
    movie.showFrame();
    Player player;
    ASSERT_TRUE(test::load(player, movie).ok);
    for (int n = 0; n < 120 * 30; ++n) {
        player.nextFrame();
    }
    EXPECT_EQ(player.pendingSoundSamples(), Player::kMaxPendingSound);
}

} // namespace
} // namespace kinovex::flash
